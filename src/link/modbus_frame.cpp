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

std::vector<std::uint8_t> ReadHoldingRegistersRequest(std::uint8_t slave, std::uint16_t first, std::uint16_t count)
{
    return {slave,
            0x03,
            static_cast<std::uint8_t>(first >> 8),
            static_cast<std::uint8_t>(first & 0xFF),
            static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count & 0xFF)};
}

ReplyCheck CheckHoldingRegistersReply(const std::uint8_t* reply, int payload, std::uint8_t slave, int count)
{
    if (payload < 2) return {"reply too short", 0};
    if (reply[0] != slave) return {"reply from slave " + std::to_string(reply[0]) + ", not " + std::to_string(slave), 0};
    if (reply[1] == 0x83 && payload >= 3)
        return {"exception " + std::to_string(reply[2]) + " from slave " + std::to_string(slave), reply[2]};
    if (reply[1] != 0x03) return {"reply with function " + std::to_string(reply[1]) + ", not 3", 0};
    if (payload != 3 + 2 * count)
        return {"reply of " + std::to_string(payload) + " bytes, not " + std::to_string(3 + 2 * count), 0};
    if (reply[2] != 2 * count) return {"byte count " + std::to_string(reply[2]) + ", not " + std::to_string(2 * count), 0};
    return {};
}

bool DecodeHoldingRegisters(const std::uint8_t* reply, std::size_t size, int payload, int count,
                            ModbusRegisters& registers)
{
    registers.fill(0);
    if (count < 1 || count > MODBUS_MAX_REGISTERS || payload != 3 + 2 * count) return false;
    if (size < static_cast<std::size_t>(payload)) return false;
    for (int i = 0; i < count; ++i) registers[i] = static_cast<std::uint32_t>(reply[3 + 2 * i]) << 8 | reply[4 + 2 * i];
    return true;
}

} // namespace tarn
