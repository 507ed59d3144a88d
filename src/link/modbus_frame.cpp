#include "link/modbus_frame.h"

namespace tarn {

std::uint16_t ModbusCrc16(const std::uint8_t* data, std::size_t length)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

std::vector<std::uint8_t> ModbusFrame(const std::uint8_t* request, std::size_t length)
{
    std::vector<std::uint8_t> frame(request, request + length);
    const std::uint16_t crc = ModbusCrc16(request, length);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

int ModbusPayloadLength(const std::uint8_t* frame, std::size_t length)
{
    if (length < 2) return 0;
    const std::size_t payload = length - 2;
    const std::uint16_t crc = ModbusCrc16(frame, payload);
    if (frame[payload] != (crc & 0xFF) || frame[payload + 1] != (crc >> 8)) return 0;
    return static_cast<int>(payload);
}

} // namespace tarn
