// What the simulator does to bytes between the pseudo-terminal and the gateway
// model: cutting the input into requests, the timing of a real wire, and the
// corruption of a reply on request. Pure, so that the server loop stays small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn::sim {

inline constexpr std::size_t SERIAL_LINE_MAX = 64;  // longer input without CR is noise
inline constexpr std::size_t MODBUS_FRAME_MAX = 256;

// Nanoseconds one character of bits_per_character bits needs at baud.
std::int64_t CharacterTimeNs(int baud, int bits_per_character);

// Requests of the serial link: text up to a carriage return. Line feeds are dropped; a line
// that grows past SERIAL_LINE_MAX is thrown away up to its carriage return.
class SerialLineReceiver {
public:
    // The requests completed by these bytes, without their carriage returns, with their sizes
    // on the wire (terminator included).
    struct Request {
        std::string text;
        std::size_t wire_bytes;
    };
    std::vector<Request> Add(const std::uint8_t* data, std::size_t size);

private:
    std::string line_;
    std::size_t wire_bytes_ = 0;
    bool overflow_ = false;
};

// Frames of the Modbus link. A frame ends with silence on the line; a complete 8-byte request
// with the right CRC (the only request the gateway answers) is taken at once.
class ModbusFrameReceiver {
public:
    explicit ModbusFrameReceiver(std::int64_t silence_ns) : silence_ns_(silence_ns) {}
    void SetSilence(std::int64_t silence_ns) { silence_ns_ = silence_ns; }

    // Frames completed by bytes received at now_ns.
    std::vector<std::vector<std::uint8_t>> Add(const std::uint8_t* data, std::size_t size, std::int64_t now_ns);
    // The bytes pending since a silence that has passed by now_ns, as one frame (none if empty).
    std::vector<std::vector<std::uint8_t>> Expire(std::int64_t now_ns);
    // When the pending bytes end by silence; -1 when nothing is pending.
    std::int64_t SilenceDeadline() const;

private:
    std::vector<std::uint8_t> pending_;
    std::int64_t last_byte_ns_ = 0;
    std::int64_t silence_ns_;
};

// When a reply may start on a half-duplex wire: after the request has crossed it, the
// turnaround of the gateway, and the end of the previous reply.
std::int64_t ReplyStartNs(std::int64_t request_arrived_ns, std::size_t request_bytes, std::int64_t character_ns,
                          std::int64_t turnaround_ns, std::int64_t line_free_ns);

// Line noise over a reply: the first byte of a serial reply (so that the address part no
// longer matches), the last CRC byte of a Modbus frame.
void GarbleSerialReply(std::vector<std::uint8_t>& reply);
void GarbleModbusReply(std::vector<std::uint8_t>& reply);

} // namespace tarn::sim
