// The simulator's gateway model (sim/gateway.h) behind the scripted serial device, for tests
// of everything that talks to the gateway: each write is cut into requests as the simulator
// cuts them, answered by the model at the line's clock, and recorded in order. It can be made
// to fail: stop answering, garble replies as line noise does, answer what the test gives,
// refuse the open (line().openError), or disappear while open. What the port saw is on line().
#pragma once

#include "config/model.h"
#include "link/modbus_frame.h"
#include "sim/gateway.h"
#include "sim/wire.h"
#include "support/fake_serial_device.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarn::testing {

class FakeGateway {
public:
    // A value of the model as the commands address it: store.settings[unit][number] (S),
    // store.words (C), store.data (D). Read as the gateway answers it; written as the gateway
    // takes a write (a refused value leaves it), except what the gateway measures: the unit
    // found (n.01), the line figures (n.05, n.06) and the hold on one line (S0.05 bits 6, 7)
    // are set on the hardware, and a value written to D is pinned.
    struct Cell {
        FakeGateway& g;
        char kind;
        int unit, number;  // unit -1: the cells of a kind, before their unit is chosen

        Cell operator[](int i) const { return unit < 0 ? Cell{g, kind, i, 0} : Cell{g, kind, unit, i}; }
        operator std::uint32_t() const
        {
            const long long now = g.line().nowMs;
            if (kind == 'S') return g.model.Setting(unit, number, now);
            if (kind == 'D') return g.model.Reading(unit, number, now);
            return *g.model.ReadRegister(sim::REG_WORDS + 64 * (unit - 1) + number - 1, now);
        }
        Cell& operator=(std::uint32_t v)
        {
            sim::Gateway& m = g.model;
            if (kind == 'D') {
                m.PinValue(unit, number, v);
            } else if (kind == 'S' && unit > 0 && number == 1) {
                m.SetFound(unit, v);
            } else if (kind == 'S' && unit > 0 && (number == 5 || number == 6)) {
                m.SetLineFigures(unit, number == 5 ? v : m.Setting(unit, 5), number == 6 ? v : m.Setting(unit, 6));
            } else {
                if (kind == 'S' && unit == 0 && number == 5)  // bits 6 and 7: the gateway's hold on one line
                    m.SetOverride(v & sim::OVERRIDE_LINE1 ? 1 : v & sim::OVERRIDE_LINE2 ? 2 : 0);
                char request[32];
                std::snprintf(request, sizeof request, "%c%d.%02d=%u", kind, unit, number, static_cast<unsigned>(v));
                m.HandleSerialRequest(request, g.line().nowMs);
            }
            return *this;
        }
        Cell& operator=(const Cell& other) { return *this = static_cast<std::uint32_t>(other); }
    };
    sim::Gateway model{Blank()};
    struct {
        Cell settings, words, data;
    } store{{*this, 'S', -1, 0}, {*this, 'C', -1, 0}, {*this, 'D', -1, 0}};
    std::vector<std::string> requests;  // every request received, a serial one without its CR, a
                                        // Modbus read as "R<first>+<count>"

    // Faults. Request numbers count from 0 in the order received, repeats included.
    int answerLimit = -1;   // answer only the first N requests (-1: all)
    std::set<int> garbled;  // replies to these requests come back garbled
    int goneAfter = -1;     // the device disappears once N requests have been received
    std::map<std::string, std::string> replies;  // in place of the model's reply, by serial request

    // Puts the factory of devices that talk to this gateway into target (a session's).
    explicit FakeGateway(SerialDeviceFactory& target) : port_(target) { Reset(); }

    // A fresh gateway without units, Modbus address 1 at 9600 baud, on a fresh line.
    void Reset()
    {
        model = sim::Gateway(Blank());
        requests.clear();
        answerLimit = goneAfter = -1;
        garbled.clear();
        replies.clear();
        receiver_ = {};
        *port_.line = {};
        port_.line->responder = [this](const Bytes& written) { return Respond(written); };
    }
    // The gateway holding configuration as a complete write leaves it, every unit found as programmed.
    void Program(const SystemConfiguration& configuration) { model = sim::Gateway(configuration); }

    FakeSerialLine& line() { return *port_.line; }

private:
    static SystemConfiguration Blank()
    {
        SystemConfiguration c;
        ClearConfiguration(c);
        c.MASTER_MOD_ADDR = 1;
        c.MASTER_MOD_BAUD = 1;
        return c;
    }

    // Records the request; false once the faults say it goes unanswered.
    bool Answers(const std::string& request, FakeReply& fault)
    {
        const int index = static_cast<int>(requests.size());
        requests.push_back(request);
        if (goneAfter >= 0 && index + 1 >= goneAfter) fault.kind = FakeReply::Kind::DeviceGoneOnRead;
        return fault.kind == FakeReply::Kind::Silence && (answerLimit < 0 || index < answerLimit);
    }

    FakeReply Respond(const Bytes& w)
    {
        FakeReply reply = FakeReply::Silent();
        const long long now = line().nowMs;
        if (ModbusPayloadLength(w.data(), w.size()) == 6) {
            const int index = static_cast<int>(requests.size());
            if (!Answers("R" + std::to_string(w[2] << 8 | w[3]) + "+" + std::to_string(w[4] << 8 | w[5]), reply))
                return reply;
            const auto frame = model.HandleModbusFrame(w.data(), w.size(), now);
            if (!frame) return reply;
            reply = FakeReply::Raw(*frame);
            if (garbled.count(index)) sim::GarbleModbusReply(reply.bytes);
            return reply;
        }
        for (const auto& request : receiver_.Add(w.data(), w.size())) {
            const int index = static_cast<int>(requests.size());
            if (!Answers(request.text, reply)) return reply;
            const auto given = replies.find(request.text);
            const std::optional<std::string> text =
                given != replies.end() ? given->second : model.HandleSerialRequest(request.text, now);
            if (!text) continue;
            Bytes bytes = ToBytes(*text + "\r");
            if (garbled.count(index)) sim::GarbleSerialReply(bytes);
            reply.bytes.insert(reply.bytes.end(), bytes.begin(), bytes.end());
        }
        if (!reply.bytes.empty()) reply.kind = FakeReply::Kind::Bytes;
        return reply;
    }

    FakeSerialFactory port_;
    sim::SerialLineReceiver receiver_;
};

} // namespace tarn::testing
