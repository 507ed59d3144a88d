// A pseudo-terminal made for a test: the device under test opens the slave by its
// path, the test plays the far end on the master with raw descriptor I/O.
#pragma once

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>
#include <string>

namespace tarn::testing {

class PtyPair {
public:
    PtyPair()
    {
        char name[128] = {};
        int slave = -1;
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
        slavePath_ = name;
        // The slave starts in canonical mode with echo; make it raw so that nothing written
        // before the device under test has opened it is echoed or cooked.
        termios tio{};
        if (::tcgetattr(slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave, TCSANOW, &tio);
        }
        ::close(slave);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    // The far end hangs up.
    void CloseMaster()
    {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    // A pseudo-terminal takes a few kilobytes at once: the tests' texts go in one write.
    bool Write(const std::string& text) const
    {
        return ::write(master_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // Reads what the device sends until count bytes have come or timeout_ms have passed.
    std::vector<std::uint8_t> Read(std::size_t count, int timeout_ms) const
    {
        std::vector<std::uint8_t> out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        pollfd p{master_, POLLIN, 0};
        while (out.size() < count && std::chrono::steady_clock::now() < deadline && ::poll(&p, 1, 10) >= 0) {
            std::uint8_t buffer[512];
            const ssize_t n = (p.revents & POLLIN) ? ::read(master_, buffer, std::min(sizeof buffer, count - out.size())) : 0;
            if (n < 0 || (n == 0 && p.revents)) break;  // an error, or the device has hung up
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

} // namespace tarn::testing
