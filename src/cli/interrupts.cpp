#include "cli/interrupts.h"

namespace tarn::cli {

namespace {

volatile std::sig_atomic_t g_received = 0;

void OnInterrupt(int signal)
{
    // A transfer running watches this flag and ends after the exchange under way.
    g_received = signal;
}

} // namespace

InterruptGuard::InterruptGuard()
{
    g_received = 0;
    struct sigaction action{};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
}

InterruptGuard::~InterruptGuard()
{
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
}

int InterruptGuard::Received() { return g_received; }

const volatile std::sig_atomic_t* InterruptGuard::Flag() { return &g_received; }

} // namespace tarn::cli
