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

using namespace testing;

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

// kx940-sim with a pipe on stdin for the operator's commands and its answers in a file of the
// link folder. It ends with the object (SIGTERM, then SIGKILL if it has not ended in 5 s).
class Simulator {
public:
    ~Simulator()
    {
        if (in_ >= 0) ::close(in_);
        child_.Signal(SIGTERM);
        child_.Wait(5s);
    }

    // Starts the simulator with its links in linkDir and waits for "ready"; error says why not.
    bool Start(const std::string& program, const std::string& linkDir, const std::vector<std::string>& args,
               std::string& error)
    {
        std::filesystem::create_directories(linkDir);
        answers_ = std::filesystem::path(linkDir) / "answers";
        const int out = ::open(answers_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        int toSim[2];
        if (out < 0 || pipe2(toSim, O_CLOEXEC) != 0) return error = "no answer file or pipe", false;
        std::vector<std::string> all = {"--link-dir", linkDir};
        all.insert(all.end(), args.begin(), args.end());
        const bool spawned = child_.Spawn(program, all, toSim[0], out, STDERR_FILENO);
        for (int fd : {toSim[0], out}) ::close(fd);
        in_ = toSim[1];
        if (!spawned) return error = "cannot start " + program, false;
        serialLink = (std::filesystem::path(linkDir) / "serial").string();
        modbusLink = (std::filesystem::path(linkDir) / "modbus").string();
        for (auto line = ReadLine(); !line || *line != "ready"; line = ReadLine()) {
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
        if (::write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return std::nullopt;
        return ReadLine();
    }

    // The requests answered on both links so far, from the last field of the "stats" line.
    std::optional<unsigned long long> Requests()
    {
        const auto line = Command("stats");
        const std::size_t at = line ? line->rfind(" requests=") : std::string::npos;
        if (at == std::string::npos) return std::nullopt;
        return std::stoull(line->substr(at + 10));
    }

    // Polls the statistics until at least count requests have been answered (20 s at most).
    bool WaitForRequests(unsigned long long count)
    {
        for (const auto end = Clock::now() + 20s; Clock::now() < end; poll(nullptr, 0, 2)) {
            const auto n = Requests();
            if (!n || *n >= count) return n.has_value();
        }
        return false;
    }

    std::string serialLink, modbusLink;  // the links to its terminals

private:
    // The next line the simulator prints, within 10 s.
    std::optional<std::string> ReadLine()
    {
        for (const auto end = Clock::now() + 10s; Clock::now() < end; poll(nullptr, 0, 2)) {
            const std::string answers = ReadFile(answers_);
            if (const auto nl = answers.find('\n', read_); nl != std::string::npos) {
                std::string line = answers.substr(read_, nl - read_);
                read_ = nl + 1;
                return line;
            }
        }
        return std::nullopt;
    }

    Child child_;
    int in_ = -1;
    std::filesystem::path answers_;
    std::size_t read_ = 0;  // the length of the answers read
};

} // namespace tarn::e2e
