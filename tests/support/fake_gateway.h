// A gateway behind a fake serial port, for tests of everything that talks the
// ASCII command set. It parses each request line it is written, answers reads
// with the address part, "=" and the value as zero-padded decimal of at least
// four digits (C2.10=0003), tags padded with blanks to 16 characters, and echoes
// writes. It records every request in order and can be made to fail: stop
// answering, garble replies, refuse the open, or disappear while open.
//
// No real time passes: a read that would wait for bytes adds the time-out it was
// given to waitedMs instead, so tests can bound the time a link would block.
#pragma once

#include "link/serial_device.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
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
    bool refuseOpen = false;       // Open fails as for a missing device

    // What the port saw.
    int opens = 0;
    int closes = 0;
    bool open = false;
    long long waitedMs = 0;        // time reads would have blocked waiting for bytes
    int callsWhileGone = 0;        // device calls made after the device had gone
    std::string openedDevice;

    bool Gone() const { return goneAfter >= 0 && static_cast<int>(requests.size()) >= goneAfter; }

    // A factory for SetSerialDeviceFactory; every port it makes talks to this gateway.
    SerialDeviceFactory Factory()
    {
        return [this]() -> std::unique_ptr<SerialDevice> { return std::make_unique<Port>(*this); };
    }

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

    // The line as it would be corrupted on the wire: the address part no longer matches.
    static void Garble(std::string& reply)
    {
        if (!reply.empty()) reply[0] = reply[0] == 'X' ? 'Y' : 'X';
    }

    class Port : public SerialDevice {
    public:
        explicit Port(FakeGateway& gateway) : gateway_(gateway) {}

        LinkError Open(const std::string& device, const LineSettings&) override
        {
            if (gateway_.refuseOpen || gateway_.Gone()) return {LinkErrorKind::NotFound, "no such device"};
            ++gateway_.opens;
            gateway_.open = true;
            gateway_.openedDevice = device;
            open_ = true;
            return {};
        }
        void Close() override
        {
            if (!open_) return;
            open_ = false;
            gateway_.open = false;
            ++gateway_.closes;
        }
        bool IsOpen() const override { return open_; }
        void PurgeInput() override
        {
            if (GoneCall()) return;
            input_.clear();
        }
        void ClearErrors() override { GoneCall(); }
        LinkError Write(const std::uint8_t* data, std::size_t size, int) override
        {
            if (GoneCall()) return Gone();
            for (std::size_t i = 0; i < size; ++i) {
                if (data[i] != '\r') {
                    line_ += static_cast<char>(data[i]);
                    continue;
                }
                const int index = static_cast<int>(gateway_.requests.size());
                gateway_.requests.push_back(line_);
                std::string reply;
                const bool answers = gateway_.answerLimit < 0 || index < gateway_.answerLimit;
                if (answers && gateway_.Answer(line_, reply)) {
                    if (gateway_.garbled.count(index)) Garble(reply);
                    input_.insert(input_.end(), reply.begin(), reply.end());
                    input_.push_back('\r');
                }
                line_.clear();
            }
            return {};
        }
        LinkError Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                       int terminator) override
        {
            out.clear();
            if (GoneCall()) return Gone();
            if (input_.empty()) {
                gateway_.waitedMs += total_ms;
                return {};
            }
            while (!input_.empty() && out.size() < max_bytes) {
                const std::uint8_t byte = input_.front();
                input_.pop_front();
                out.push_back(byte);
                if (terminator >= 0 && byte == terminator) return {};
            }
            if (out.size() < max_bytes) gateway_.waitedMs += interval_ms;  // silence ends the read
            return {};
        }

    private:
        // A gone device is closed; every call fails at once.
        bool GoneCall()
        {
            if (!gateway_.Gone()) return false;
            ++gateway_.callsWhileGone;
            if (open_) Close();
            return true;
        }
        static LinkError Gone() { return {LinkErrorKind::DeviceGone, "device disconnected"}; }

        FakeGateway& gateway_;
        bool open_ = false;
        std::string line_;
        std::deque<std::uint8_t> input_;
    };
};

} // namespace tarn::testing
