#include "sim/gateway.h"
#include "sim/installation.h"

#include "link/commands.h"
#include "link/modbus_frame.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::sim {
namespace {

// Every master field away from its default: a KX913 with three expansions at position 1,
// nothing at 2, a KX927 at 3, a KX913 without expansion at 4.
SystemConfiguration Sample() { return testing::FullInstallation(); }

std::string Ask(Gateway& g, const std::string& request, std::int64_t now_ms = 0)
{
    return g.HandleSerialRequest(request, now_ms).value_or("<none>");
}

struct ReadCase {
    const char* request;
    const char* reply;
};

TEST(GatewaySerial, ReadsAnswerWithAddressAndFourDigitValue)
{
    const ReadCase cases[] = {
        {"C1.05", "C1.05=0529"},
        {"C2.64", "C2.64=6275"},   // an empty position keeps its words
        {"S0.03", "S0.03=0014"},   // both lines, 60 Hz, configuration over Modbus
        {"S0.04", "S0.04=8275"},   // 2 repeaters serving units 3, 2, 1, 0
        {"S0.09", "S0.09=0017"},
        {"S1.01", "S1.01=0019"},   // found as programmed: KX913 + 3
        {"S1.03", "S1.03=0019"},
        {"S3.01", "S3.01=0048"},
        {"S1.05", "S1.05=0001"},
        {"S2.05", "S2.05=0100"},   // nobody there: no contact on either line
        {"S1.16", "S1.16=65136"},  // -40.0 degC in two's complement
        {"D2.01", "D2.01=0000"},   // an empty position reads 0
    };
    Gateway g(Sample());
    for (const auto& c : cases) {
        const std::string reply = Ask(g, c.request);
        EXPECT_EQ(reply, c.reply) << c.request;
        EXPECT_TRUE(CheckReadReply(c.request, reply).accepted) << c.request;
    }
}

TEST(GatewaySerial, WritesAreEchoedAndRefusedValuesKeepTheOldOne)
{
    const struct {
        const char* request;
        const char* reply;   // and what a read gives afterwards
        std::uint32_t written;
        bool accepted;       // the program's write check passes
    } cases[] = {
        {"C2.10=3", "C2.10=0003", 3, true},
        {"C1.06=70000", "C1.06=2194", 70000, false},
        {"S0.03=5", "S0.03=0005", 5, true},
        {"S0.03=16", "S0.03=0014", 16, false},
        {"S0.05=4096", "S0.05=4096", 0x1000, true},  // the control word, as the program writes it
        {"S0.09=250", "S0.09=0250", 250, true},
        {"S0.09=0", "S0.09=0017", 0, false},
        {"S0.10=5", "S0.10=0005", 5, true},
        {"S0.10=6", "S0.10=0002", 6, false},
        {"S0.11=4", "S0.11=0003", 4, false},
        {"S0.07=12345", "S0.07=12345", 12345, true},
        {"S1.03=49", "S1.03=0049", 49, true},
        {"S1.03=256", "S1.03=0019", 256, false},
        {"S1.01=0", "S1.01=0019", 0, false},          // the unit present is not programmable
        {"S1.05=00123", "S1.05=0001", 123, false},    // line figures are measured
        {"S1.16=65516", "S1.16=65516", 65516, true},  // -2.0 degC
        {"S1.16=64000", "S1.16=65136", 64000, false},
        {"S1.16=1001", "S1.16=65136", 1001, false},
    };
    for (const auto& c : cases) {
        Gateway g(Sample());
        const std::string reply = Ask(g, c.request);
        EXPECT_EQ(reply, c.reply) << c.request;
        EXPECT_EQ(CheckWriteReply(c.request, reply, c.written), c.accepted) << c.request;
        EXPECT_EQ(Ask(g, std::string(c.request).substr(0, 5)), c.reply) << c.request;
    }
}

TEST(GatewaySerial, MalformedOrUnknownRequestsGetNoReply)
{
    const char* requests[] = {
        "", "C", "C1", "C1.", "C.01", "C1.00", "C1.65", "C0.01", "C5.01", "C1.0001", "C1.01 ", " C1.01",
        "c1.01", "X1.01", "S5.01", "S0.00", "S0.17", "S1.99", "T0.02", "T5.01", "T1.65", "D0.01", "D1.65",
        "D1.01=5", "C1.01=", "C1.01=12a", "C1.01=+5", "S0.05=99999999999", "C1.01:5", "garbage", "\x01\x02\x03\x04",
    };
    Gateway g(Sample());
    for (const char* r : requests) EXPECT_FALSE(g.HandleSerialRequest(r, 0).has_value()) << '"' << r << '"';
}

std::vector<std::uint8_t> Request(std::uint8_t address, unsigned first, unsigned count, std::uint8_t function = 3)
{
    const std::uint8_t r[] = {address, function, static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first),
                              static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)};
    return ModbusFrame(r, sizeof r);
}

TEST(GatewayModbus, IllegalRangesGetAnExceptionReply)
{
    struct Case {
        unsigned first, count;
        std::uint8_t code;
    };
    const Case cases[] = {
        {0x0000, 0, EXCEPTION_ILLEGAL_VALUE}, {0x0000, 126, EXCEPTION_ILLEGAL_VALUE},
        {0x0100, 1, EXCEPTION_ILLEGAL_ADDRESS}, {0x00F0, 32, EXCEPTION_ILLEGAL_ADDRESS},
        {0x0300, 1, EXCEPTION_ILLEGAL_ADDRESS}, {0x04A0, 1, EXCEPTION_ILLEGAL_ADDRESS},
        {0x0490, 16, 0}, {0xFFFF, 1, EXCEPTION_ILLEGAL_ADDRESS},
    };
    Gateway g(Sample());
    for (const auto& c : cases) {
        const auto frame = Request(17, c.first, c.count);
        const auto reply = g.HandleModbusFrame(frame.data(), frame.size(), 0);
        ASSERT_TRUE(reply) << c.first;
        if (c.code == 0) {
            EXPECT_EQ(ModbusPayloadLength(reply->data(), reply->size()), 3 + 2 * static_cast<int>(c.count));
            continue;
        }
        ASSERT_EQ(ModbusPayloadLength(reply->data(), reply->size()), 3) << c.first;
        EXPECT_EQ((*reply)[1], 0x83);
        EXPECT_EQ((*reply)[2], c.code) << c.first << " " << c.count;
    }
}

} // namespace
} // namespace tarn::sim
