#include "link/modbus_frame.h"

#include <gtest/gtest.h>

#include <numeric>

#include <string>
#include <vector>

namespace tarn {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(ModbusCrc, KnownVectors)
{
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0);
    struct Row {
        const char* name;
        Bytes data;
        std::uint16_t crc;
    };
    const Row rows[] = {
        {"check string", Of("123456789"), 0x4B37},
        {"read one register at 0", {0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, 0x0A84},
        {"slave 1, register 0x6B", {0x01, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x1774},
        {"bytes 0..255", all, 0xDE6C},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ModbusCrc16(row.data.data(), row.data.size()), row.crc);
    }
}

TEST(ModbusPayloadLength, AcceptsOnlyFramesWithTheirOwnCrc)
{
    const Bytes reply = {0x01, 0x03, 0x02, 0x00, 0x2A};
    const Bytes frame = ModbusFrame(reply.data(), reply.size());
    ASSERT_EQ(frame.size(), 7u);
    EXPECT_EQ(ModbusPayloadLength(frame.data(), frame.size()), 5);

    // Any single changed byte, CRC bytes included, is caught.
    for (std::size_t i = 0; i < frame.size(); ++i) {
        Bytes bad = frame;
        bad[i] ^= 0x01;
        EXPECT_EQ(ModbusPayloadLength(bad.data(), bad.size()), 0) << "byte " << i;
    }
    // A frame cut by one byte is no frame.
    EXPECT_EQ(ModbusPayloadLength(frame.data(), frame.size() - 1), 0);
}

} // namespace
} // namespace tarn
