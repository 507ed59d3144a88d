#include "sim/wire.h"

#include "link/commands.h"
#include "link/modbus_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::sim {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<std::string> Texts(const std::vector<SerialLineReceiver::Request>& requests)
{
    std::vector<std::string> out;
    for (const auto& r : requests) out.push_back(r.text);
    return out;
}

TEST(SerialLineReceiver, CutsAtCarriageReturnsAcrossChunks)
{
    struct Case {
        std::vector<std::string> chunks;
        std::vector<std::string> requests;
    };
    const Case cases[] = {
        {{"C1.05\r"}, {"C1.05"}},
        {{"C1", ".05", "\r"}, {"C1.05"}},
        {{"S0.01\rS0.02\r"}, {"S0.01", "S0.02"}},
        {{"S0.01\r\nS0.02\r\n"}, {"S0.01", "S0.02"}},  // line feeds are dropped
        {{"\r"}, {""}},
        {{"T1.01=A B"}, {}},                           // no terminator yet
        {{std::string(70, 'x'), "y\rC1.01\r"}, {"C1.01"}},  // an over-long line is noise up to its CR
    };
    for (const auto& c : cases) {
        SerialLineReceiver rx;
        std::vector<std::string> got;
        for (const auto& chunk : c.chunks) {
            const auto b = Bytes(chunk);
            for (const auto& t : Texts(rx.Add(b.data(), b.size()))) got.push_back(t);
        }
        EXPECT_EQ(got, c.requests) << c.chunks.front();
    }
}

TEST(SerialLineReceiver, CountsTheBytesEachRequestTookOnTheWire)
{
    SerialLineReceiver rx;
    const auto b = Bytes("C1.05\rS0.05=4096\r\n");
    const auto requests = rx.Add(b.data(), b.size());
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].wire_bytes, 6u);
    EXPECT_EQ(requests[1].wire_bytes, 11u);
}

std::vector<std::uint8_t> Request(std::uint8_t address, unsigned first, unsigned count)
{
    const std::uint8_t r[] = {address, 3, static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first), 0,
                              static_cast<std::uint8_t>(count)};
    return ModbusFrame(r, sizeof r);
}

TEST(ModbusFrameReceiver, TakesCompleteRequestsAtOnce)
{
    ModbusFrameReceiver rx(2'000'000);
    const auto a = Request(1, 0x400, 1);
    const auto b = Request(1, 0x420, 16);
    std::vector<std::uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());

    auto frames = rx.Add(both.data(), 5, 0);
    EXPECT_TRUE(frames.empty());
    EXPECT_EQ(rx.SilenceDeadline(), 2'000'000);
    frames = rx.Add(both.data() + 5, both.size() - 5, 100'000);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], a);
    EXPECT_EQ(frames[1], b);
    EXPECT_EQ(rx.SilenceDeadline(), -1);
}

TEST(ModbusFrameReceiver, OtherFramesEndBySilence)
{
    ModbusFrameReceiver rx(2'000'000);
    const std::vector<std::uint8_t> noise = {0x55, 0x01, 0x03};
    EXPECT_TRUE(rx.Add(noise.data(), noise.size(), 1'000).empty());
    EXPECT_TRUE(rx.Expire(1'999'999 + 1'000 - 1).empty());
    const auto expired = rx.Expire(2'001'000);
    ASSERT_EQ(expired.size(), 1u);
    EXPECT_EQ(expired[0], noise);

    // Noise in front of a request spoils that frame; the next request after a silence is clean.
    const auto r = Request(1, 0, 1);
    std::vector<std::uint8_t> spoiled = {0xFF};
    spoiled.insert(spoiled.end(), r.begin(), r.end());
    EXPECT_TRUE(rx.Add(spoiled.data(), spoiled.size(), 10'000'000).empty());
    const auto frames = rx.Add(r.data(), r.size(), 13'000'000);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], spoiled);
    EXPECT_EQ(frames[1], r);
}

TEST(ModbusFrameReceiver, ThrowsAwayRunawayInput)
{
    ModbusFrameReceiver rx(2'000'000);
    const std::vector<std::uint8_t> junk(MODBUS_FRAME_MAX + 1, 0xAA);
    EXPECT_TRUE(rx.Add(junk.data(), junk.size(), 0).empty());
    EXPECT_EQ(rx.SilenceDeadline(), -1);
}

TEST(WireTiming, CharacterTimesAndReplyStart)
{
    EXPECT_EQ(CharacterTimeNs(19200, 10), 520'833);
    EXPECT_EQ(CharacterTimeNs(9600, 11), 1'145'833);
    EXPECT_EQ(CharacterTimeNs(115200, 10), 86'805);
    EXPECT_EQ(CharacterTimeNs(0, 10), 0);

    const std::int64_t c = CharacterTimeNs(19200, 10);
    // "C1.05\r" needs 6 characters on the wire, then the gateway's turnaround.
    EXPECT_EQ(ReplyStartNs(1'000'000, 6, c, 2'000'000, 0), 1'000'000 + 6 * c + 2'000'000);
    // A reply still on the wire delays the next one.
    EXPECT_EQ(ReplyStartNs(1'000'000, 6, c, 0, 50'000'000), 50'000'000);
}

TEST(Garble, GarbledRepliesFailTheProgramsChecks)
{
    auto text = [](const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); };
    auto read = Bytes("C1.05=2049");
    GarbleSerialReply(read);
    EXPECT_FALSE(CheckReadReply("C1.05", text(read)).accepted);
    auto tag = Bytes("T1.05=Tag 1.05        ");
    GarbleSerialReply(tag);
    EXPECT_FALSE(CheckTagReply("T1.05", text(tag)).has_value());
    // The control word's reply must not slip through the rule that accepts any reply ordering
    // after "S0.05=0000".
    auto control = Bytes("S0.05=4096");
    GarbleSerialReply(control);
    EXPECT_FALSE(CheckWriteReply("S0.05=4096", text(control), 4096));

    const std::uint8_t payload[] = {1, 3, 2, 0x09, 0x40};
    auto reply = ModbusFrame(payload, sizeof payload);
    ASSERT_EQ(ModbusPayloadLength(reply.data(), reply.size()), 5);
    GarbleModbusReply(reply);
    EXPECT_EQ(ModbusPayloadLength(reply.data(), reply.size()), 0);
}

} // namespace
} // namespace tarn::sim
