#include "serial/device_read.h"

#include <algorithm>

namespace tarn {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

LinkError Named(LinkError error, const std::string& name)
{
    if (error && !name.empty()) error.reason = error.reason.empty() ? name : name + ": " + error.reason;
    return error;
}

LinkError ReadReply(QIODevice& device, std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms,
                    int interval_ms, int terminator, const std::function<std::optional<LinkError>(int ms)>& waitForMore)
{
    out.clear();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(total_ms, 0));
    Clock::time_point lastByte{};
    for (;;) {
        // Byte by byte, so that bytes behind a terminator stay unread.
        bool arrived = false;
        char c = 0;
        while (out.size() < max_bytes && device.getChar(&c)) {
            out.push_back(static_cast<std::uint8_t>(c));
            arrived = true;
            if (terminator >= 0 && static_cast<std::uint8_t>(c) == terminator) return {};
        }
        if (out.size() >= max_bytes) return {};
        if (arrived) lastByte = Clock::now();

        Clock::time_point until = deadline;
        if (!out.empty() && interval_ms > 0) until = std::min(until, lastByte + std::chrono::milliseconds(interval_ms));
        const int wait = MsUntil(until);
        if (wait == 0) return {};
        if (std::optional<LinkError> ended = waitForMore(wait)) return *ended;
    }
}

} // namespace tarn
