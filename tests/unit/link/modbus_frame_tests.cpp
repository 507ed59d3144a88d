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
        {"empty", {}, 0xFFFF},
        {"read one register at 0", {0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, 0x0A84},
        {"classic example, slave 17", {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x8776},
        {"slave 1, register 0x6B", {0x01, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x1774},
        {"write single register", {0x01, 0x06, 0x00, 0x01, 0x00, 0x03}, 0x0B98},
        {"single zero byte", {0x00}, 0x40BF},
        {"single 0xFF byte", {0xFF}, 0x00FF},
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
        for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            Bytes bad = frame;
            bad[i] ^= flip;
            EXPECT_EQ(ModbusPayloadLength(bad.data(), bad.size()), 0) << "byte " << i << " flip " << int(flip);
        }
    }
    // CRC bytes swapped (high byte first) is wrong.
    Bytes swapped = frame;
    std::swap(swapped[5], swapped[6]);
    EXPECT_EQ(ModbusPayloadLength(swapped.data(), swapped.size()), 0);
    // A frame cut by one byte is no frame.
    EXPECT_EQ(ModbusPayloadLength(frame.data(), frame.size() - 1), 0);
}

TEST(ModbusPayloadLength, FramesTooShortForACrcFail)
{
    const std::uint8_t one[] = {0xFF};
    EXPECT_EQ(ModbusPayloadLength(nullptr, 0), 0);
    EXPECT_EQ(ModbusPayloadLength(one, 1), 0);
    // Two bytes that are the CRC of nothing: right CRC, but no payload, which is a failure anyway.
    const std::uint8_t empty[] = {0xFF, 0xFF};
    EXPECT_EQ(ModbusPayloadLength(empty, 2), 0);
}

TEST(ReadHoldingRegisters, RequestIsSlaveFunctionFirstAndCountHighBytesFirst)
{
    EXPECT_EQ(ReadHoldingRegistersRequest(1, 0x0400, 1), (Bytes{0x01, 0x03, 0x04, 0x00, 0x00, 0x01}));
    EXPECT_EQ(ReadHoldingRegistersRequest(247, 1056 + 32 * 3, 16), (Bytes{0xF7, 0x03, 0x04, 0x80, 0x00, 0x10}));
    EXPECT_EQ(ReadHoldingRegistersRequest(0, 0xFFFF, 64), (Bytes{0x00, 0x03, 0xFF, 0xFF, 0x00, 0x40}));
}

TEST(ReadHoldingRegisters, DecodesOnlyAReplyOfTheExpectedLength)
{
    // Two registers, 0x1234 and 0xFFEC, in a reply whose header fields are not looked at.
    const Bytes two = {0x09, 0x04, 0x77, 0x12, 0x34, 0xFF, 0xEC, 0xAA, 0xBB};
    ModbusRegisters regs;
    regs.fill(99);
    ASSERT_TRUE(DecodeHoldingRegisters(two.data(), two.size(), 7, 2, regs));
    EXPECT_EQ(regs[0], 0x1234u);
    EXPECT_EQ(regs[1], 0xFFECu);
    for (int i = 2; i < MODBUS_MAX_REGISTERS; ++i) EXPECT_EQ(regs[i], 0u) << i;

    struct Row {
        const char* name;
        std::size_t size;
        int payload;
        int count;
    };
    const Row refused[] = {
        {"payload of one register for two", two.size(), 5, 2},
        {"exception reply", two.size(), 3, 1},
        {"payload longer than expected", two.size(), 9, 2},
        {"count 0", two.size(), 3, 0},
        {"count 65", 200, 133, 65},
        {"fewer bytes than the payload claims", 5, 7, 2},
    };
    Bytes big(200, 0x55);
    for (const Row& row : refused) {
        regs.fill(99);
        EXPECT_FALSE(DecodeHoldingRegisters(big.data(), row.size, row.payload, row.count, regs)) << row.name;
        EXPECT_EQ(regs[0], 0u) << row.name << ": a refused reply leaves all registers 0";
    }

    // 64 registers: the largest read.
    Bytes full = {0x01, 0x03, 128};
    for (int i = 0; i < 64; ++i) {
        full.push_back(static_cast<std::uint8_t>(i));
        full.push_back(static_cast<std::uint8_t>(255 - i));
    }
    ASSERT_TRUE(DecodeHoldingRegisters(full.data(), full.size(), 131, 64, regs));
    for (int i = 0; i < 64; ++i) EXPECT_EQ(regs[i], static_cast<std::uint32_t>(i << 8 | (255 - i)));
}

} // namespace
} // namespace tarn
