// A gateway behind the scripted serial device, for tests of everything that talks
// the ASCII command set. It parses each request line it is written, answers reads
// with the address part, "=" and the value as zero-padded decimal of at least four
// digits (C2.10=0003), tags padded with blanks to 16 characters, and echoes writes.
// On the Modbus link it answers function 3 from the same memory with the register
// map of the live test (live values, channel words, status blocks) at the Modbus
// address of S0.09; other registers get exception 2.
// It records every request in order and can be made to fail: stop answering,
// garble replies, refuse the open (line().openError), or disappear while open.
// What the port saw, the time reads would have waited included, is on line().
#pragma once

#include "config/channel_word.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/modbus_frame.h"
#include "support/fake_serial_device.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarn::testing {

// The gateway's memory, addressed as the commands address it: [unit number 0..4][number].
struct GatewayStore {
    // A fresh gateway answers with Modbus address 1 at 9600 baud; everything else is 0 or blank.
    GatewayStore()
    {
        settings[0][9] = 1;
        settings[0][10] = 1;
    }

    std::uint32_t settings[5][17] = {};  // S u.ss, ss 1..16
    std::uint32_t words[5][65] = {};     // C u.cc, cc 1..64 (unit 0 has none)
    std::uint32_t data[5][65] = {};      // D u.ii
    std::string tags[5][65];             // T u.cc; T0.01 is the gateway's own tag
};

// The same settings, channel words, values and tags.
inline bool SameMemory(const GatewayStore& a, const GatewayStore& b)
{
    for (int u = 0; u <= 4; ++u) {
        for (int n = 1; n <= 16; ++n)
            if (a.settings[u][n] != b.settings[u][n]) return false;
        for (int c = 1; c <= 64; ++c)
            if (a.words[u][c] != b.words[u][c] || a.data[u][c] != b.data[u][c] || a.tags[u][c] != b.tags[u][c])
                return false;
    }
    return true;
}

class FakeGateway {
public:
    GatewayStore store;
    std::vector<std::string> requests;  // every request line received, without its CR; a
                                        // Modbus read as "R<first>+<count>"

    // Faults. Request numbers count from 0 in the order received, repeats included.
    int answerLimit = -1;          // answer only the first N requests (-1: all)
    std::set<int> garbled;         // replies to these requests come back with a wrong address part
    int goneAfter = -1;            // the device disappears once N requests have been received

    // Puts the factory of devices that talk to this gateway into target (a session's).
    explicit FakeGateway(SerialDeviceFactory& target) : port_(target) { Reset(); }

    // A fresh gateway on a fresh line.
    void Reset()
    {
        store = {};
        requests.clear();
        answerLimit = goneAfter = -1;
        garbled.clear();
        *port_.line = {};
        port_.line->responder = [this](const Bytes& written) { return Respond(written); };
    }

    // The gateway holding configuration as a complete write leaves it, every unit found as
    // programmed (n.01 = n.03), both lines perfect.
    void Program(const SystemConfiguration& c)
    {
        store.settings[0][9] = c.MASTER_MOD_ADDR;
        store.settings[0][10] = c.MASTER_MOD_BAUD;
        store.settings[0][11] = c.MASTER_MOD_FORM;
        store.tags[0][1] = std::string(FieldText(c.MASTER_TAG));
        for (int n = 1; n <= UNIT_COUNT; ++n) {
            const UnitRecord& unit = c.units[n - 1];
            store.settings[n][3] = store.settings[n][1] = EncodeUnitDescriptor(unit.SLAVE_TYPE, unit.SLAVE_EXP);
            store.settings[n][16] = ToGateway16(unit.SLAVE_CJC);
            for (int ch = 1; ch <= CHANNEL_COUNT; ++ch) {
                store.words[n][ch] = unit.channels[ch - 1].word;
                store.tags[n][ch] = std::string(FieldText(unit.channels[ch - 1].tag));
            }
        }
    }

    FakeSerialLine& line() { return *port_.line; }
    SerialDeviceFactory Devices() const { return port_.Devices(); }
    bool Gone() const { return port_.line->gone; }

    // The reply to one request line, or nothing (unknown or malformed requests get no reply).
    bool Answer(const std::string& line, std::string& reply)
    {
        if (line.size() < 5 || line[2] != '.') return false;
        const char kind = line[0];
        if (!IsDigit(line[1]) || !IsDigit(line[3]) || !IsDigit(line[4])) return false;
        const int unit = line[1] - '0';
        const int number = (line[3] - '0') * 10 + (line[4] - '0');
        const std::string address = line.substr(0, 5);
        const bool write = line.size() > 5 && line[5] == '=';
        if (line.size() > 5 && !write) return false;
        const std::string value = write ? line.substr(6) : std::string();

        switch (kind) {
        case 'S':
            if (unit > 4 || number < 1 || number > 16) return false;
            return Number(address, store.settings[unit][number], write, value, reply);
        case 'C':
            if (unit < 1 || unit > 4 || number < 1 || number > 64) return false;
            return Number(address, store.words[unit][number], write, value, reply);
        case 'D':
            if (unit < 1 || unit > 4 || number < 1 || number > 64 || write) return false;
            return Number(address, store.data[unit][number], false, value, reply);
        case 'T':
            if (unit > 4 || number < 1 || number > 64) return false;
            if (write) {
                store.tags[unit][number] = value;
                reply = line;
            } else {
                std::string tag = store.tags[unit][number];
                if (tag.size() < 16) tag.append(16 - tag.size(), ' ');
                reply = address + "=" + tag;
            }
            return true;
        default:
            return false;
        }
    }

    // The holding register at address, or nothing outside the map.
    std::optional<std::uint16_t> Register(unsigned address) const
    {
        if (address < 0x100) return static_cast<std::uint16_t>(store.data[address / 64 + 1][address % 64 + 1]);
        if (address >= 0x200 && address < 0x300)
            return static_cast<std::uint16_t>(store.words[(address - 0x200) / 64 + 1][(address - 0x200) % 64 + 1]);
        if (address >= 0x420 && address < 0x4A0) {
            const int unit = static_cast<int>((address - 0x420) / 32) + 1;
            const unsigned k = (address - 0x420) % 32;
            const int setting = k == 0 ? 1 : k == 2 ? 3 : k == 4 ? 5 : k == 5 ? 6 : 0;
            return static_cast<std::uint16_t>(setting ? store.settings[unit][setting] : 0);
        }
        return std::nullopt;
    }

    // The reply frame (CRC included) to a function 3 request, or nothing for another slave.
    std::optional<Bytes> AnswerModbus(const Bytes& frame) const
    {
        if (frame[0] != (store.settings[0][9] & 0xFF)) return std::nullopt;
        const unsigned first = static_cast<unsigned>(frame[2]) << 8 | frame[3];
        const unsigned count = static_cast<unsigned>(frame[4]) << 8 | frame[5];
        Bytes reply{frame[0], 3, static_cast<std::uint8_t>(2 * count)};
        for (unsigned i = 0; i < count; ++i) {
            const auto value = Register(first + i);
            if (!value || count > 125) {
                reply = {frame[0], 0x83, 2};
                break;
            }
            reply.push_back(static_cast<std::uint8_t>(*value >> 8));
            reply.push_back(static_cast<std::uint8_t>(*value & 0xFF));
        }
        return ModbusFrame(reply.data(), reply.size());
    }

private:
    static bool IsModbusRead(const Bytes& w)
    {
        return w.size() == 8 && w[1] == 3 && ModbusPayloadLength(w.data(), w.size()) == 6;
    }

    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    static bool Number(const std::string& address, std::uint32_t& cell, bool write, const std::string& value,
                       std::string& reply)
    {
        if (write) {
            char* end = nullptr;
            const long long v = std::strtoll(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0') return false;
            cell = static_cast<std::uint32_t>(v);
        }
        char text[16];
        std::snprintf(text, sizeof text, "%04u", static_cast<unsigned>(cell));
        reply = address + "=" + text;
        return true;
    }

    FakeReply Respond(const Bytes& written)
    {
        const int index = static_cast<int>(requests.size());
        if (IsModbusRead(written)) {
            requests.push_back("R" + std::to_string(written[2] << 8 | written[3]) + "+" +
                               std::to_string(written[4] << 8 | written[5]));
            if (goneAfter >= 0 && index + 1 >= goneAfter) return FakeReply::Of(FakeReply::Kind::DeviceGoneOnRead);
            std::optional<Bytes> reply = AnswerModbus(written);
            if ((answerLimit >= 0 && index >= answerLimit) || !reply) return FakeReply::Silent();
            if (garbled.count(index)) reply->back() ^= 0x5A;  // the CRC no longer matches
            return FakeReply::Raw(*reply);
        }
        std::string line = ToText(written);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        requests.push_back(line);
        if (goneAfter >= 0 && index + 1 >= goneAfter) return FakeReply::Of(FakeReply::Kind::DeviceGoneOnRead);
        std::string reply;
        if ((answerLimit >= 0 && index >= answerLimit) || !Answer(line, reply)) return FakeReply::Silent();
        if (garbled.count(index)) reply[0] = reply[0] == 'X' ? 'Y' : 'X';  // the address part no longer matches
        return FakeReply::Text(reply + "\r");
    }

    FakeSerialFactory port_;
};

} // namespace tarn::testing
