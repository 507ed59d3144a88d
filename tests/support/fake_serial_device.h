// A scripted serial device for tests of the links. Every device the factory makes
// shares one FakeSerialLine: the test scripts the replies there and reads back what
// the port saw (opens with which settings, writes, the silence that ends each read), also
// after the link has dropped the device.
//
// No real time passes: the line keeps a clock of its own (nowMs) that only reads move
// on. A reply arrives delay_ms after its write; a read takes what has arrived and waits,
// on that clock, for more by the device contract (max_bytes, the terminator when one is
// given, interval_ms of silence after the first byte, total_ms in all). A reply that
// arrives after a read has ended waits for the next read, unless a purge comes after
// its arrival. waitedMs adds up the time reads took.
#pragma once

#include "link/serial_device.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarn::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline std::string ToText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// What the far end does after one write.
struct FakeReply {
    enum class Kind { Bytes, Silence, DeviceGoneOnRead };
    Kind kind = Kind::Bytes;
    Bytes bytes;
    int delay_ms = 0;  // when the reply starts arriving, counted from the write

    static FakeReply Text(const std::string& text, int delay_ms = 0) { return {Kind::Bytes, ToBytes(text), delay_ms}; }
    static FakeReply Raw(Bytes bytes) { return {Kind::Bytes, std::move(bytes), 0}; }
    static FakeReply Silent() { return {Kind::Silence, {}, 0}; }
};

struct FakeSerialLine {
    // Script.
    LinkError openError;            // returned by Open
    std::deque<FakeReply> replies;  // one per write, in order
    // Answers writes once replies is empty; without it the far end is silent.
    std::function<FakeReply(const Bytes& written)> responder;

    // What the port saw.
    std::vector<std::string> openedPaths;
    std::vector<LineSettings> openedSettings;
    std::vector<Bytes> writes;
    std::vector<int> readIntervals;  // the silence after a byte that ends each read, in ms
    std::vector<int> readTotals;     // the reply time-out of each read, in ms
    bool gone = false;
    long long waitedMs = 0;  // time reads would have blocked waiting for bytes

    long long nowMs = 0;     // the line's clock
    struct Arrival {
        long long atMs;
        Bytes bytes;
    };
    std::vector<Arrival> coming;  // bytes on their way, in order of arrival
    Bytes input;                  // arrived, not yet read

    // Moves what has arrived by nowMs into input.
    void Deliver()
    {
        auto it = coming.begin();
        for (; it != coming.end() && it->atMs <= nowMs; ++it) input.insert(input.end(), it->bytes.begin(), it->bytes.end());
        coming.erase(coming.begin(), it);
    }
    void Schedule(long long atMs, const Bytes& bytes)
    {
        coming.insert(std::find_if(coming.begin(), coming.end(), [&](const Arrival& a) { return a.atMs > atMs; }),
                      Arrival{atMs, bytes});
    }
};

class FakeSerialDevice : public SerialDevice {
public:
    explicit FakeSerialDevice(std::shared_ptr<FakeSerialLine> line) : line_(std::move(line)) {}

    LinkError Open(const std::string& device, const LineSettings& settings) override
    {
        line_->openedPaths.push_back(device);
        line_->openedSettings.push_back(settings);
        // A device that refuses its settings is closed again before Open returns.
        isOpen_ = !line_->openError;
        if (isOpen_) line_->gone = false;
        return line_->openError;
    }
    void Close() override { isOpen_ = false; }
    bool IsOpen() const override { return isOpen_; }
    void PurgeInput() override
    {
        line_->Deliver();
        line_->input.clear();
    }
    void ClearErrors() override {}
    LinkError Write(const std::uint8_t* data, std::size_t size, int /*timeout_ms*/) override
    {
        if (!isOpen_) return Gone();
        FakeSerialLine& l = *line_;
        l.writes.emplace_back(data, data + size);
        if (!l.replies.empty()) {
            pending_ = std::move(l.replies.front());
            l.replies.pop_front();
        } else {
            pending_ = l.responder ? l.responder(l.writes.back()) : FakeReply::Silent();
        }
        if (pending_.kind == FakeReply::Kind::Bytes) l.Schedule(l.nowMs + pending_.delay_ms, pending_.bytes);
        return {};
    }
    LinkError Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                   int terminator) override
    {
        out.clear();
        if (!isOpen_) return Gone();
        FakeSerialLine& l = *line_;
        l.readIntervals.push_back(interval_ms);
        l.readTotals.push_back(total_ms);
        if (std::exchange(pending_, FakeReply::Silent()).kind == FakeReply::Kind::DeviceGoneOnRead) {
            l.gone = true;
            isOpen_ = false;
            return Gone();
        }
        const long long started = l.nowMs;
        const long long deadline = started + total_ms;
        long long lastByte = started;
        for (;;) {
            l.Deliver();
            bool took = false;
            while (!l.input.empty() && out.size() < max_bytes) {
                out.push_back(l.input.front());
                l.input.erase(l.input.begin());
                took = true;
                if (terminator >= 0 && out.back() == terminator) break;
            }
            if (took) lastByte = l.nowMs;
            if (out.size() >= max_bytes || (took && terminator >= 0 && out.back() == terminator)) break;
            long long until = deadline;
            if (!out.empty() && interval_ms > 0) until = std::min(until, lastByte + interval_ms);
            if (l.coming.empty() || l.coming.front().atMs > until) {
                l.nowMs = std::max(l.nowMs, until);
                break;
            }
            l.nowMs = l.coming.front().atMs;
        }
        l.waitedMs += l.nowMs - started;
        return {};
    }

private:
    static LinkError Gone() { return {LinkErrorKind::DeviceGone, "Input/output error"}; }

    std::shared_ptr<FakeSerialLine> line_;
    bool isOpen_ = false;
    FakeReply pending_ = FakeReply::Silent();
};

// Fake devices on one shared line, made by the factory it puts into target (a session's).
class FakeSerialFactory {
public:
    explicit FakeSerialFactory(SerialDeviceFactory& target) : line(std::make_shared<FakeSerialLine>())
    {
        target = [shared = line]() -> std::unique_ptr<SerialDevice> { return std::make_unique<FakeSerialDevice>(shared); };
    }
    FakeSerialFactory(const FakeSerialFactory&) = delete;
    FakeSerialFactory& operator=(const FakeSerialFactory&) = delete;

    std::shared_ptr<FakeSerialLine> line;
};

} // namespace tarn::testing
