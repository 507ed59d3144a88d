// SIGINT and SIGTERM for the subcommands that must not stop in the middle of an
// exchange with the gateway: while a guard lives, the first of them only asks the
// subcommand to stop at its next safe point; a second one ends the process as usual.
#pragma once

#include <csignal>

#include <signal.h>

namespace tarn::cli {

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // The signal received since the guard was made, 0 for none.
    static int Received();
    // The signal received, as a flag that a transfer can watch between its exchanges.
    static const volatile std::sig_atomic_t* Flag();

private:
    struct sigaction oldInt_{}, oldTerm_{};
};

// The exit code of a subcommand that a signal stopped, as a shell reports it (130 for SIGINT).
inline int ExitCodeForSignal(int signal) { return 128 + signal; }

} // namespace tarn::cli
