#include "sim/wire.h"

#include "link/modbus_frame.h"

#include <algorithm>

namespace tarn::sim {

std::int64_t CharacterTimeNs(int baud, int bits_per_character)
{
    return baud > 0 ? static_cast<std::int64_t>(bits_per_character) * 1'000'000'000 / baud : 0;
}

std::vector<SerialLineReceiver::Request> SerialLineReceiver::Add(const std::uint8_t* data, std::size_t size)
{
    std::vector<Request> requests;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        ++wire_bytes_;
        if (c == '\r') {
            if (!overflow_) requests.push_back({line_, wire_bytes_});
            line_.clear();
            wire_bytes_ = 0;
            overflow_ = false;
        } else if (c != '\n' && !overflow_) {
            line_.push_back(c);
            if (line_.size() > SERIAL_LINE_MAX) {
                overflow_ = true;
                line_.clear();
            }
        }
    }
    return requests;
}

std::vector<std::vector<std::uint8_t>> ModbusFrameReceiver::Add(const std::uint8_t* data, std::size_t size,
                                                                std::int64_t now_ns)
{
    std::vector<std::vector<std::uint8_t>> frames;
    // Bytes after a silence begin a new frame.
    if (!pending_.empty() && now_ns - last_byte_ns_ >= silence_ns_) frames = Expire(now_ns);
    pending_.insert(pending_.end(), data, data + size);
    last_byte_ns_ = now_ns;
    while (pending_.size() >= 8 && ModbusPayloadLength(pending_.data(), 8) == 6) {
        frames.emplace_back(pending_.begin(), pending_.begin() + 8);
        pending_.erase(pending_.begin(), pending_.begin() + 8);
    }
    if (pending_.size() > MODBUS_FRAME_MAX) pending_.clear();
    return frames;
}

std::vector<std::vector<std::uint8_t>> ModbusFrameReceiver::Expire(std::int64_t now_ns)
{
    std::vector<std::vector<std::uint8_t>> frames;
    if (!pending_.empty() && now_ns - last_byte_ns_ >= silence_ns_) {
        frames.push_back(std::move(pending_));
        pending_.clear();
    }
    return frames;
}

std::int64_t ModbusFrameReceiver::SilenceDeadline() const
{
    return pending_.empty() ? -1 : last_byte_ns_ + silence_ns_;
}

std::int64_t ReplyStartNs(std::int64_t request_arrived_ns, std::size_t request_bytes, std::int64_t character_ns,
                          std::int64_t turnaround_ns, std::int64_t line_free_ns)
{
    const std::int64_t after_request =
        request_arrived_ns + static_cast<std::int64_t>(request_bytes) * character_ns + turnaround_ns;
    return std::max(after_request, line_free_ns);
}

void GarbleSerialReply(std::vector<std::uint8_t>& reply)
{
    if (!reply.empty()) reply.front() ^= 0x40;
}

void GarbleModbusReply(std::vector<std::uint8_t>& reply)
{
    if (!reply.empty()) reply.back() ^= 0x5A;
}

} // namespace tarn::sim
