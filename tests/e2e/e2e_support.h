// Processes for the end-to-end tests: a simulator with its operator pipes, and
// tarnctl runs with their output caught. Every wait has a time-out and is made
// of short polls, never of one long sleep.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace tarn::e2e {

using Clock = std::chrono::steady_clock;

inline std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A child process with its standard streams given as file descriptors (-1: /dev/null).
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Kill(); }

    bool Spawn(const std::string& program, const std::vector<std::string>& args, int in, int out, int err)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        auto stream = [&](int fd, int target, int mode) {
            if (fd < 0) posix_spawn_file_actions_addopen(&actions, target, "/dev/null", mode, 0);
            else posix_spawn_file_actions_adddup2(&actions, fd, target);
        };
        stream(in, STDIN_FILENO, O_RDONLY);
        stream(out, STDOUT_FILENO, O_WRONLY);
        stream(err, STDERR_FILENO, O_WRONLY);
        std::vector<std::string> strings{program};
        strings.insert(strings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& s : strings) argv.push_back(s.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) pid_ = -1;
        return rc == 0;
    }

    // The exit code once the process has ended within timeout; -1 for a signal, nothing
    // while it still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout)
    {
        if (exit_) return exit_;
        if (pid_ < 0) return std::nullopt;
        const auto end = Clock::now() + timeout;
        for (;;) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return exit_;
            }
            if (r < 0 || Clock::now() >= end) return std::nullopt;
            poll(nullptr, 0, 5);
        }
    }

    bool Running() { return !Wait(std::chrono::milliseconds(0)) && pid_ > 0; }

    // SIGTERM, then the end of the process (SIGKILL if it ignores it).
    std::optional<int> Terminate(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
    {
        if (pid_ > 0) kill(pid_, SIGTERM);
        auto code = Wait(timeout);
        if (!code) Kill();
        return code;
    }

    void Kill()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> exit_;
};

struct ToolResult {
    std::optional<int> exitCode;  // nothing when the tool did not end in time (it was killed)
    std::string out;
    std::string err;
};

// A command-line tool started in the background, its output caught in files of scratch.
class Tool {
public:
    Tool(const std::filesystem::path& scratch, const std::string& name) : out_(scratch / (name + ".out")), err_(scratch / (name + ".err")) {}

    bool Start(const std::string& program, const std::vector<std::string>& args)
    {
        const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = out >= 0 && err >= 0 && child_.Spawn(program, args, -1, out, err);
        if (out >= 0) ::close(out);
        if (err >= 0) ::close(err);
        return ok;
    }

    ToolResult Finish(std::chrono::milliseconds timeout)
    {
        ToolResult r;
        r.exitCode = child_.Wait(timeout);
        if (!r.exitCode) child_.Kill();
        r.out = ReadWholeFile(out_);
        r.err = ReadWholeFile(err_);
        return r;
    }

    bool Running() { return child_.Running(); }

private:
    std::filesystem::path out_, err_;
    Child child_;
};

inline ToolResult RunTool(const std::filesystem::path& scratch, const std::string& program,
                          const std::vector<std::string>& args,
                          std::chrono::milliseconds timeout = std::chrono::milliseconds(60000))
{
    Tool tool(scratch, "tool");
    if (!tool.Start(program, args)) return {};
    return tool.Finish(timeout);
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
        for (;;) {
            const auto line = ReadLine(std::chrono::milliseconds(10000));
            if (!line) return error = "no ready line from the simulator", false;
            if (line->rfind("serial ", 0) == 0) serial = line->substr(7);
            else if (line->rfind("modbus ", 0) == 0) modbus = line->substr(7);
            else if (*line == "ready") break;
        }
        serialLink = (std::filesystem::path(linkDir) / "serial").string();
        modbusLink = (std::filesystem::path(linkDir) / "modbus").string();
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

    std::string serial, modbus;          // the terminals
    std::string serialLink, modbusLink;  // the links to them

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
