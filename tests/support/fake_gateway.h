// A gateway behind the scripted serial device, for tests of everything that talks
// the ASCII command set. It parses each request line it is written, answers reads
// with the address part, "=" and the value as zero-padded decimal of at least four
// digits (C2.10=0003), tags padded with blanks to 16 characters, and echoes writes.
// It records every request in order and can be made to fail: stop answering,
// garble replies, refuse the open (line().openError), or disappear while open.
// What the port saw, the time reads would have waited included, is on line().
#pragma once

#include "support/fake_serial_device.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

class FakeGateway {
public:
    GatewayStore store;
    std::vector<std::string> requests;  // every request line received, without its CR

    // Faults. Request numbers count from 0 in the order received, repeats included.
    int answerLimit = -1;          // answer only the first N requests (-1: all)
    std::set<int> garbled;         // replies to these requests come back with a wrong address part
    int goneAfter = -1;            // the device disappears once N requests have been received

    // Installs the factory of devices that talk to this gateway.
    FakeGateway() { Reset(); }

    // A fresh gateway on a fresh line.
    void Reset()
    {
        store = {};
        requests.clear();
        answerLimit = goneAfter = -1;
        garbled.clear();
        *port_.line = {};
        port_.line->responder = [this](const Bytes& written) { return Respond(ToText(written)); };
    }

    FakeSerialLine& line() { return *port_.line; }
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

private:
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

    FakeReply Respond(std::string line)
    {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const int index = static_cast<int>(requests.size());
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
