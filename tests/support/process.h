// Child processes for the tests: a program with its standard streams given as
// descriptors, and a command-line tool run with its output caught in files.
// Every wait has a time-out and is made of short polls, never of one long sleep.
#pragma once

#include "support/files.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace tarn::testing {

using Clock = std::chrono::steady_clock;

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

    // Sends a signal to the running process; false when it has ended.
    bool Signal(int signal) { return pid_ > 0 && kill(pid_, signal) == 0; }

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
        r.out = ReadFile(out_);
        r.err = ReadFile(err_);
        return r;
    }

    bool Signal(int signal) { return child_.Signal(signal); }
    // What the tool has written to its standard output so far.
    std::string OutputSoFar() const { return ReadFile(out_); }

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

// Output that goes nowhere: a full device (made with mknod in the scratch folder, c 1 7), or a
// pipe whose reader has gone, with SIGPIPE ignored as a service manager may leave it.
enum class DeadOutput { FullDevice, ClosedPipe };

// Runs a tool with its standard output on a dead output; out stays empty. Nothing for the exit
// code when the tool did not end in time or the output could not be made.
inline ToolResult RunToolIntoDeadOutput(const std::filesystem::path& scratch, DeadOutput kind, const std::string& program,
                                        const std::vector<std::string>& args,
                                        std::chrono::milliseconds timeout = std::chrono::milliseconds(60000))
{
    ToolResult r;
    int out = -1;
    if (kind == DeadOutput::FullDevice) {
        const auto full = scratch / "full";
        if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0 && errno != EEXIST) return r;
        out = ::open(full.c_str(), O_WRONLY | O_CLOEXEC);
    } else {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return r;
        ::close(fds[0]);
        out = fds[1];
    }
    const auto errPath = scratch / "dead-output.err";
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    // An ignored signal stays ignored across exec.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    Child child;
    const bool started = out >= 0 && err >= 0 && child.Spawn(program, args, -1, out, err);
    sigaction(SIGPIPE, &previous, nullptr);
    if (out >= 0) ::close(out);
    if (err >= 0) ::close(err);
    if (!started) return r;
    r.exitCode = child.Wait(timeout);
    if (!r.exitCode) child.Kill();
    r.err = ReadFile(errPath);
    return r;
}

} // namespace tarn::testing
