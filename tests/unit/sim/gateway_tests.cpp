#include "sim/gateway.h"
#include "sim/wire.h"

#include "link/commands.h"
#include "link/modbus_frame.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tarn::sim {
namespace {

// Every master field away from its default: a KX913 with three expansions at position 1,
// nothing at 2, a KX927 at 3, a KX913 without expansion at 4.
const SystemConfiguration kSample = testing::FullInstallation();

TEST(GatewaySerial, WritesAreEchoedAndRefusedValuesKeepTheOldOne)
{
    // The reply, which a read afterwards gives too, and whether the program's write check passes.
    const std::tuple<const char*, const char*, std::uint32_t, bool> cases[] = {
        {"C1.06=70000", "C1.06=2194", 70000, false},
        {"S0.03=16", "S0.03=0014", 16, false},
        {"S0.09=250", "S0.09=0250", 250, true},
        {"S0.09=0", "S0.09=0017", 0, false},
        {"S1.03=256", "S1.03=0019", 256, false},
        {"S1.01=0", "S1.01=0019", 0, false},          // the unit present is not programmable
        {"S1.05=00123", "S1.05=0001", 123, false},    // line figures are measured
        {"S1.16=1001", "S1.16=65136", 1001, false},
    };
    for (const auto& [request, expected, written, accepted] : cases) {
        Gateway g(kSample);
        const std::string reply = g.HandleSerialRequest(request, 0).value_or("<none>");
        EXPECT_EQ(reply, expected) << request;
        EXPECT_EQ(CheckWriteReply(request, reply, written), accepted) << request;
        EXPECT_EQ(g.HandleSerialRequest(std::string(request).substr(0, 5), 0), expected) << request;
    }
}

TEST(GatewaySerial, MalformedOrUnknownRequestsGetNoReply)
{
    const char* requests[] = {
        "", "C", "C1", "C1.", "C.01", "C1.00", "C1.65", "C0.01", "C5.01", "C1.0001", "C1.01 ", " C1.01",
        "c1.01", "X1.01", "S5.01", "S0.00", "S0.17", "S1.99", "T0.02", "T5.01", "T1.65", "D0.01", "D1.65",
        "D1.01=5", "C1.01=", "C1.01=12a", "C1.01=+5", "S0.05=99999999999", "C1.01:5", "garbage", "\x01\x02\x03\x04",
    };
    Gateway g(kSample);
    for (const char* r : requests) EXPECT_FALSE(g.HandleSerialRequest(r, 0).has_value()) << '"' << r << '"';
}

TEST(GatewayModbus, IllegalRangesGetAnExceptionReply)
{
    const std::tuple<unsigned, unsigned, std::uint8_t> cases[] = {  // first, count, exception (0: none)
        {0x0000, 0, EXCEPTION_ILLEGAL_VALUE}, {0x0000, 126, EXCEPTION_ILLEGAL_VALUE},
        {0x0100, 1, EXCEPTION_ILLEGAL_ADDRESS}, {0x00F0, 32, EXCEPTION_ILLEGAL_ADDRESS},
        {0x04A0, 1, EXCEPTION_ILLEGAL_ADDRESS}, {0x0490, 16, 0}, {0xFFFF, 1, EXCEPTION_ILLEGAL_ADDRESS},
    };
    Gateway g(kSample);
    for (const auto& [first, count, code] : cases) {
        const std::uint8_t request[] = {17, 3, static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first), 0,
                                        static_cast<std::uint8_t>(count)};
        const auto frame = ModbusFrame(request, sizeof request);
        const auto reply = g.HandleModbusFrame(frame.data(), frame.size(), 0);
        ASSERT_TRUE(reply) << first;
        const int length = ModbusPayloadLength(reply->data(), reply->size());
        if (code == 0) {
            EXPECT_EQ(length, 3 + 2 * static_cast<int>(count));
        } else {
            EXPECT_EQ(length, 3) << first;
            EXPECT_EQ((*reply)[1] << 8 | (*reply)[2], 0x8300 | code) << first << " " << count;
        }
    }
}

// ---- the wire ------------------------------------------------------------------------------

TEST(SerialLineReceiver, CutsAtCarriageReturnsAcrossChunks)
{
    using Strings = std::vector<std::string>;
    const std::pair<Strings, Strings> cases[] = {  // chunks received, requests cut
        {{"C1", ".05", "\r"}, {"C1.05"}},
        {{"S0.01\r\nS0.02\r\n"}, {"S0.01", "S0.02"}},  // line feeds are dropped
        {{"T1.01=A B"}, {}},                           // no terminator yet
        {{std::string(70, 'x'), "y\rC1.01\r"}, {"C1.01"}},  // an over-long line is noise up to its CR
    };
    for (const auto& [chunks, requests] : cases) {
        SerialLineReceiver rx;
        Strings got;
        for (const auto& chunk : chunks)
            for (const auto& r : rx.Add(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size())) got.push_back(r.text);
        EXPECT_EQ(got, requests) << chunks.front();
    }
}

// ---- the operator's commands -----------------------------------------------------------------

} // namespace
} // namespace tarn::sim
