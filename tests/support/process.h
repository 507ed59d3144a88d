// Child processes for the tests: a program with its standard streams given as descriptors, and
// a command-line tool run with its output caught in files. Every wait has a time-out and is made
// of short polls, never of one long sleep.
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
using namespace std::chrono_literals;

// A child process, killed when the object goes. Its standard streams are file descriptors; -1
// gives an empty anonymous file (nothing to read, what is written vanishes with it).
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Kill(); }

    bool Spawn(const std::string& program, const std::vector<std::string>& args, int in, int out, int err)
    {
        const int none = ::open(std::filesystem::temp_directory_path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (const auto& [fd, target] : {std::pair{in, STDIN_FILENO}, {out, STDOUT_FILENO}, {err, STDERR_FILENO}})
            posix_spawn_file_actions_adddup2(&actions, fd < 0 ? none : fd, target);
        // posix_spawn takes the strings as char*, and does not change them.
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const bool spawned = none >= 0 && posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        if (none >= 0) ::close(none);
        if (!spawned) pid_ = -1;
        return spawned;
    }

    // The exit code once the process has ended within timeout; -1 for a signal, nothing while it
    // still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout)
    {
        for (const auto end = Clock::now() + timeout; !exit_ && pid_ > 0; poll(nullptr, 0, 5)) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            } else if (r < 0 || Clock::now() >= end) {
                break;
            }
        }
        return exit_;
    }

    // Sends a signal to the running process; false when it has ended.
    bool Signal(int signal) { return pid_ > 0 && kill(pid_, signal) == 0; }

    void Kill()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
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
class Tool : public Child {
public:
    Tool(const std::filesystem::path& scratch, const std::string& name) : out_(scratch / (name + ".out")), err_(scratch / (name + ".err")) {}

    // Standard output goes to out when given (the descriptor is closed here), else to the file.
    bool Start(const std::string& program, const std::vector<std::string>& args, int out = -1)
    {
        if (out < 0) out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = out >= 0 && err >= 0 && Spawn(program, args, -1, out, err);
        for (int fd : {out, err})
            if (fd >= 0) ::close(fd);
        return ok;
    }

    ToolResult Finish(std::chrono::milliseconds timeout)
    {
        const std::optional<int> code = Wait(timeout);
        if (!code) Kill();
        return {code, ReadFile(out_), ReadFile(err_)};
    }

    // What the tool has written to its standard output so far.
    std::string OutputSoFar() const { return ReadFile(out_); }

private:
    std::filesystem::path out_, err_;
};

inline ToolResult RunTool(const std::filesystem::path& scratch, const std::string& program,
                          const std::vector<std::string>& args, std::chrono::milliseconds timeout = 60s)
{
    Tool tool(scratch, "tool");
    return tool.Start(program, args) ? tool.Finish(timeout) : ToolResult{};
}

// Output that goes nowhere: a full device (made with mknod in the scratch folder, c 1 7), or a
// pipe whose reader has gone, with SIGPIPE ignored as a service manager may leave it.
enum class DeadOutput { FullDevice, ClosedPipe };

// Runs a tool with its standard output on a dead output; out stays empty. Nothing for the exit
// code when the tool did not end in time or the output could not be made.
inline ToolResult RunToolIntoDeadOutput(const std::filesystem::path& scratch, DeadOutput kind, const std::string& program,
                                        const std::vector<std::string>& args, std::chrono::milliseconds timeout = 60s)
{
    int out = -1;
    if (kind == DeadOutput::FullDevice) {
        const auto full = scratch / "full";
        if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0 && errno != EEXIST) return {};
        out = ::open(full.c_str(), O_WRONLY | O_CLOEXEC);
    } else if (int fds[2]; ::pipe2(fds, O_CLOEXEC) == 0) {
        ::close(fds[0]);
        out = fds[1];
    }
    if (out < 0) return {};
    // An ignored signal stays ignored across exec.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    Tool tool(scratch, "dead-output");
    const bool started = tool.Start(program, args, out);
    sigaction(SIGPIPE, &previous, nullptr);
    return started ? tool.Finish(timeout) : ToolResult{};
}

} // namespace tarn::testing
