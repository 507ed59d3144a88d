// A scripted serial device for tests of the links. Every device the factory makes
// shares one FakeSerialLine: the test scripts the replies there and reads back what
// the port saw (opens with which settings, writes, purges, reads with which
// time-outs, closes), also after the link has dropped the device.
//
// No real time passes (waitedMs adds up what reads would have waited). A reply scripted with a delay longer than the read's total
// time-out arrives only after that read has ended: it sits in the input queue until
// the next purge. Read applies the device contract to the queued bytes: at most
// max_bytes, and up to the terminator when one is given.
#pragma once

#include "link/serial_device.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline std::string ToText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// What the far end does after one write.
struct FakeReply {
    enum class Kind { Bytes, Silence, WriteFails, ReadFails, DeviceGoneOnWrite, DeviceGoneOnRead };
    Kind kind = Kind::Bytes;
    Bytes bytes;
    int delay_ms = 0;  // when the reply starts arriving, counted from the write

    static FakeReply Text(const std::string& text, int delay_ms = 0) { return {Kind::Bytes, ToBytes(text), delay_ms}; }
    static FakeReply Raw(Bytes bytes, int delay_ms = 0) { return {Kind::Bytes, std::move(bytes), delay_ms}; }
    static FakeReply Silent() { return {Kind::Silence, {}, 0}; }
    static FakeReply Of(Kind kind) { return {kind, {}, 0}; }
};

struct FakeSerialLine {
    // Script.
    LinkError openError;                  // returned by Open
    std::deque<FakeReply> replies;        // one per write, in order
    // Answers writes once replies is empty; without it the far end is silent.
    std::function<FakeReply(const Bytes& written)> responder;

    // What the port saw.
    struct ReadCall {
        std::size_t max_bytes;
        int total_ms;
        int interval_ms;
        int terminator;
    };
    int devicesCreated = 0;
    std::vector<std::string> openedPaths;
    std::vector<LineSettings> openedSettings;
    std::vector<Bytes> writes;
    std::vector<int> writeTimeouts;
    std::vector<ReadCall> reads;
    std::vector<std::string> events;      // "open", "purge", "clear", "write", "read", "close" in order
    std::vector<std::chrono::steady_clock::time_point> writeTimes, readTimes;
    int closes = 0;
    bool open = false;
    bool gone = false;
    int callsAfterGone = 0;
    long long waitedMs = 0;               // time reads would have blocked waiting for bytes

    Bytes input;                          // arrived, not yet read
    Bytes late;                           // arrives once the current read has ended

    // Port activity of any kind: a refused request must leave this at 0.
    std::size_t Activity() const { return events.size(); }
    std::vector<std::string> WrittenTexts() const
    {
        std::vector<std::string> out;
        for (const Bytes& w : writes) out.push_back(ToText(w));
        return out;
    }
};

class FakeSerialDevice : public SerialDevice {
public:
    explicit FakeSerialDevice(std::shared_ptr<FakeSerialLine> line) : line_(std::move(line)) { ++line_->devicesCreated; }
    ~FakeSerialDevice() override { Close(); }

    LinkError Open(const std::string& device, const LineSettings& settings) override
    {
        line_->events.push_back("open");
        line_->openedPaths.push_back(device);
        line_->openedSettings.push_back(settings);
        if (line_->openError) {
            // A device that refuses its settings is closed again before Open returns.
            line_->open = false;
            return line_->openError;
        }
        line_->open = true;
        line_->gone = false;
        isOpen_ = true;
        return {};
    }
    void Close() override
    {
        if (!isOpen_) return;
        isOpen_ = false;
        line_->open = false;
        ++line_->closes;
        line_->events.push_back("close");
    }
    bool IsOpen() const override { return isOpen_; }
    void PurgeInput() override
    {
        if (GoneCall()) return;
        line_->events.push_back("purge");
        line_->input.clear();
    }
    void ClearErrors() override
    {
        if (GoneCall()) return;
        line_->events.push_back("clear");
    }
    LinkError Write(const std::uint8_t* data, std::size_t size, int timeout_ms) override
    {
        if (GoneCall()) return Gone();
        line_->events.push_back("write");
        line_->writes.emplace_back(data, data + size);
        line_->writeTimeouts.push_back(timeout_ms);
        line_->writeTimes.push_back(std::chrono::steady_clock::now());
        pending_ = NextReply(line_->writes.back());
        if (pending_.kind == FakeReply::Kind::WriteFails) return {LinkErrorKind::Timeout, "write timed out"};
        if (pending_.kind == FakeReply::Kind::DeviceGoneOnWrite) return GoAway();
        return {};
    }
    LinkError Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                   int terminator) override
    {
        out.clear();
        if (GoneCall()) return Gone();
        line_->events.push_back("read");
        line_->reads.push_back({max_bytes, total_ms, interval_ms, terminator});
        line_->readTimes.push_back(std::chrono::steady_clock::now());
        const FakeReply reply = std::exchange(pending_, FakeReply::Silent());
        if (reply.kind == FakeReply::Kind::DeviceGoneOnRead) return GoAway();
        if (reply.kind == FakeReply::Kind::ReadFails) return {LinkErrorKind::Other, "read failed"};
        if (reply.kind == FakeReply::Kind::Bytes) {
            Bytes& target = reply.delay_ms >= total_ms ? line_->late : line_->input;
            target.insert(target.end(), reply.bytes.begin(), reply.bytes.end());
        }
        std::size_t n = 0;
        while (n < line_->input.size() && n < max_bytes) {
            const bool end = terminator >= 0 && line_->input[n] == terminator;
            ++n;
            if (end) break;
        }
        // Nothing there: the read waits its total time-out; bytes without a terminator end in silence.
        if (n == 0) line_->waitedMs += total_ms;
        else if (n < max_bytes && (terminator < 0 || line_->input[n - 1] != terminator)) line_->waitedMs += interval_ms;
        out.assign(line_->input.begin(), line_->input.begin() + static_cast<std::ptrdiff_t>(n));
        line_->input.erase(line_->input.begin(), line_->input.begin() + static_cast<std::ptrdiff_t>(n));
        line_->input.insert(line_->input.end(), line_->late.begin(), line_->late.end());
        line_->late.clear();
        return {};
    }

private:
    FakeReply NextReply(const Bytes& written)
    {
        if (!line_->replies.empty()) {
            FakeReply r = std::move(line_->replies.front());
            line_->replies.pop_front();
            return r;
        }
        return line_->responder ? line_->responder(written) : FakeReply::Silent();
    }
    bool GoneCall()
    {
        if (isOpen_) return false;
        ++line_->callsAfterGone;
        return true;
    }
    static LinkError Gone() { return {LinkErrorKind::DeviceGone, "Input/output error"}; }
    LinkError GoAway()
    {
        line_->gone = true;
        line_->events.push_back("gone");
        isOpen_ = false;
        line_->open = false;
        return Gone();
    }

    std::shared_ptr<FakeSerialLine> line_;
    bool isOpen_ = false;
    FakeReply pending_ = FakeReply::Silent();
};

// Installs a factory of fake devices on one shared line for the life of the object.
class FakeSerialFactory {
public:
    FakeSerialFactory()
        : line(std::make_shared<FakeSerialLine>())
    {
        auto shared = line;
        SetSerialDeviceFactory([shared]() -> std::unique_ptr<SerialDevice> {
            return std::make_unique<FakeSerialDevice>(shared);
        });
    }
    ~FakeSerialFactory() { SetSerialDeviceFactory(nullptr); }
    FakeSerialFactory(const FakeSerialFactory&) = delete;
    FakeSerialFactory& operator=(const FakeSerialFactory&) = delete;

    std::shared_ptr<FakeSerialLine> line;
};

} // namespace tarn::testing
