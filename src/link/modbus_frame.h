// Modbus RTU framing as pure functions: the CRC, a frame with its CRC, and the
// integrity check of a received frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarn {

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
std::uint16_t ModbusCrc16(const std::uint8_t* data, std::size_t length);

// The request followed by its CRC, low byte first.
std::vector<std::uint8_t> ModbusFrame(const std::uint8_t* request, std::size_t length);

// The number of bytes before the CRC when frame ends with the right CRC (low byte first);
// 0 for a frame shorter than 2 bytes or with a wrong CRC.
int ModbusPayloadLength(const std::uint8_t* frame, std::size_t length);

} // namespace tarn
