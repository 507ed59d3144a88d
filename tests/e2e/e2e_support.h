// kx940-sim with its operator pipes for the end-to-end tests.
#pragma once

#include "support/process.h"
#include "support/sample_installation.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarn::e2e {

using testing::Child;
using testing::Clock;
using testing::ReadFile;
using testing::RunTool;
using testing::Tool;
using testing::ToolResult;

// The full sample installation without the document texts, which the gateway does not hold:
// KX913 + 3 x KX914, nothing, KX927, KX913; Modbus 17 at 19200 8N2.
inline SystemConfiguration GatewayPlant()
{
    SystemConfiguration c = testing::FullInstallation();
    for (auto* text : {&c.ORGANIZATION, &c.ADDRESS[0], &c.ADDRESS[1], &c.ADDRESS[2], &c.ADDRESS[3], &c.DOCUMENT, &c.OPERATOR_1})
        SetFieldText(*text, "");
    return c;
}

// A link ("serial", "modbus") of the simulator the CTest fixture shares; empty when
// TARN_SIM_DIR is not set (the test was not run through ctest).
inline std::string SharedSimulatorLink(const char* name)
{
    const char* dir = std::getenv("TARN_SIM_DIR");
    return dir ? (std::filesystem::path(dir) / name).string() : std::string();
}

// What the diagnostics tests program into the shared simulator: a KX913 without expansion at
// position 1, where the simulator finds one with an expansion, and the KX927 it finds at 2.
inline SystemConfiguration DiagnosticsPlant()
{
    SystemConfiguration c = testing::FullInstallation();
    c.units[0].SLAVE_EXP = 0;
    c.units[1] = c.units[2];
    c.units[2].SLAVE_TYPE = c.units[3].SLAVE_TYPE = UNIT_NONE;
    return c;
}

struct SimStats {
    unsigned long long serialIn = 0, serialOut = 0, modbusIn = 0, modbusOut = 0, requests = 0;
};

// kx940-sim with pipes on stdin and stdout: operator commands and their answers.
class Simulator {
public:
    Simulator() = default;
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator() { Stop(); }

    // Starts the simulator with its links in linkDir and waits for "ready"; error says why not.
    bool Start(const std::string& program, const std::string& linkDir, const std::vector<std::string>& args,
               std::string& error)
    {
        int toSim[2], fromSim[2];
        if (pipe2(toSim, O_CLOEXEC) != 0 || pipe2(fromSim, O_CLOEXEC) != 0) return error = "pipe", false;
        std::vector<std::string> all = {"--link-dir", linkDir};
        all.insert(all.end(), args.begin(), args.end());
        const bool spawned = child_.Spawn(program, all, toSim[0], fromSim[1], STDERR_FILENO);
        ::close(toSim[0]);
        ::close(fromSim[1]);
        in_ = toSim[1];
        out_ = fromSim[0];
        if (!spawned) return error = "cannot start " + program, false;
        serialLink = (std::filesystem::path(linkDir) / "serial").string();
        modbusLink = (std::filesystem::path(linkDir) / "modbus").string();
        for (auto line = ReadLine(std::chrono::milliseconds(10000)); !line || *line != "ready";
             line = ReadLine(std::chrono::milliseconds(10000))) {
            if (!line) return error = "no ready line from the simulator", false;
            // With --tcp the links are the addresses it printed.
            if (line->rfind("serial tcp://", 0) == 0) serialLink = line->substr(7);
            if (line->rfind("modbus tcp://", 0) == 0) modbusLink = line->substr(7);
        }
        return true;
    }

    // Sends one command line and returns the simulator's answer line.
    std::optional<std::string> Command(const std::string& line)
    {
        const std::string text = line + "\n";
        if (in_ < 0 || ::write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return std::nullopt;
        return ReadLine(std::chrono::milliseconds(10000));
    }

    std::optional<SimStats> Stats()
    {
        const auto line = Command("stats");
        SimStats s;
        if (!line || std::sscanf(line->c_str(), "stats serial_in=%llu serial_out=%llu modbus_in=%llu modbus_out=%llu requests=%llu",
                                 &s.serialIn, &s.serialOut, &s.modbusIn, &s.modbusOut, &s.requests) != 5)
            return std::nullopt;
        return s;
    }

    // Polls the statistics until at least count requests have been answered.
    bool WaitForRequests(unsigned long long count, std::chrono::milliseconds timeout)
    {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            const auto s = Stats();
            if (!s) return false;
            if (s->requests >= count) return true;
            poll(nullptr, 0, 2);
        }
        return false;
    }

    // SIGTERM and the exit code.
    std::optional<int> Stop()
    {
        if (in_ >= 0) ::close(in_);
        if (out_ >= 0) ::close(out_);
        in_ = out_ = -1;
        return child_.Terminate();
    }

    std::string serialLink, modbusLink;  // the links to its terminals

private:
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout)
    {
        const auto end = Clock::now() + timeout;
        for (;;) {
            const auto nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char chunk[512];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    Child child_;
    int in_ = -1, out_ = -1;
    std::string buffer_;
};

} // namespace tarn::e2e
