// Modbus RTU framing as pure functions: the CRC, a frame with its CRC, and the
// integrity check of a received frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
std::uint16_t ModbusCrc16(const std::uint8_t* data, std::size_t length);

// The request followed by its CRC, low byte first.
std::vector<std::uint8_t> ModbusFrame(const std::uint8_t* request, std::size_t length);

// The number of bytes before the CRC when frame ends with the right CRC (low byte first);
// 0 for a frame shorter than 2 bytes or with a wrong CRC.
int ModbusPayloadLength(const std::uint8_t* frame, std::size_t length);

// Function 3, read holding registers: at most 64 registers per request.
inline constexpr int MODBUS_MAX_REGISTERS = 64;
using ModbusRegisters = std::array<std::uint32_t, MODBUS_MAX_REGISTERS>;

// The request without its CRC: slave, 3, first register and count, high bytes first.
std::vector<std::uint8_t> ReadHoldingRegistersRequest(std::uint8_t slave, std::uint16_t first, std::uint16_t count);

// The registers of a reply to a read of count registers (1..64), whose payload - the bytes
// before the CRC, as ModbusPayloadLength gives them - must be 3 + 2 * count; the address,
// function and byte count fields are not examined. Register i is reply bytes 3 + 2i (high)
// and 4 + 2i (low); entries from count on are 0. Nothing is read beyond size.
// Whether the reply to a read of count registers from slave answers it: the bytes before the
// CRC (payload of them) must name that slave and function 3, carry the byte count 2 count and
// be exactly 3 + 2 count long. An exception reply (function 0x83) gives its code. reason is
// empty for a reply that answers, else it says what did not match.
struct ReplyCheck {
    std::string reason;
    int exception = 0;
};
ReplyCheck CheckHoldingRegistersReply(const std::uint8_t* reply, int payload, std::uint8_t slave, int count);

bool DecodeHoldingRegisters(const std::uint8_t* reply, std::size_t size, int payload, int count,
                            ModbusRegisters& registers);

} // namespace tarn
