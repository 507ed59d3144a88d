// Modbus replies of any bytes through the frame check and the register decoding,
// with the contracts they promise checked; and every frame we build checks as ours.
//
// Input: one byte, the register count asked for (low 7 bits), then the reply.
#include "link/modbus_frame.h"
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarn;
    if (size == 0) return 0;
    const int count = data[0] & 0x7F;
    // A copy of exactly the reply's size, so that a read past it is caught.
    const std::vector<std::uint8_t> reply(data + 1, data + size);

    const int payload = ModbusPayloadLength(reply.data(), reply.size());
    Require(payload == 0 || static_cast<std::size_t>(payload) == reply.size() - 2);
    if (payload > 0) {
        const std::uint16_t crc = ModbusCrc16(reply.data(), static_cast<std::size_t>(payload));
        Require(reply[payload] == (crc & 0xFF) && reply[payload + 1] == (crc >> 8));
    }

    for (const int asked : {count, (payload - 3) / 2}) {
        ModbusRegisters registers;
        registers.fill(0xDEAD);
        const bool decoded = DecodeHoldingRegisters(reply.data(), reply.size(), payload, asked, registers);
        Require(!decoded || (asked >= 1 && asked <= MODBUS_MAX_REGISTERS && payload == 3 + 2 * asked));
        for (int i = decoded ? asked : 0; i < MODBUS_MAX_REGISTERS; ++i) Require(registers[i] == 0);
        for (int i = 0; decoded && i < asked; ++i)
            Require(registers[i] == (static_cast<std::uint32_t>(reply[3 + 2 * i]) << 8 | reply[4 + 2 * i]));
    }

    // Whatever we frame, we accept back with its full length.
    if (!reply.empty()) {
        const std::vector<std::uint8_t> frame = ModbusFrame(reply.data(), reply.size());
        Require(frame.size() == reply.size() + 2);
        Require(ModbusPayloadLength(frame.data(), frame.size()) == static_cast<int>(reply.size()));
    }
    return 0;
}
