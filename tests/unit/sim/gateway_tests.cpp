#include "sim/gateway.h"
#include "sim/installation.h"

#include "config/channel_word.h"
#include "link/commands.h"
#include "link/modbus_frame.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
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

TEST(GatewaySerial, TagsArePaddedToSixteenCharacters)
{
    Gateway g(Sample());
    const ReadCase cases[] = {
        {"T0.01", "T0.01=NORTH \xB0\xE0 GATEWAY"},
        {"T1.05", "T1.05=TI 105 \xB0" "C       "},
        {"T4.64", "T4.64=TT-4.64 BURNER Z"},
    };
    for (const auto& c : cases) {
        const std::string reply = Ask(g, c.request);
        EXPECT_EQ(reply, c.reply);
        ASSERT_TRUE(CheckTagReply(c.request, reply).has_value()) << c.request;
    }
    EXPECT_EQ(*CheckTagReply("T1.05", Ask(g, "T1.05")), "TI 105 \xB0" "C");
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

TEST(GatewaySerial, NegativeValuesAreTakenAsTwosComplement)
{
    Gateway g(Sample());
    EXPECT_EQ(Ask(g, "S1.16=-20"), "S1.16=65516");
    EXPECT_EQ(Ask(g, "S2.09=-32768"), "S2.09=32768");
    EXPECT_EQ(Ask(g, "S2.09=-32769"), "S2.09=32768");  // refused: no 16-bit value
}

TEST(GatewaySerial, TagWritesStoreAtMostSixteenCharacters)
{
    Gateway g(Sample());
    EXPECT_EQ(Ask(g, "T3.12=PUMP 12"), "T3.12=PUMP 12         ");
    EXPECT_EQ(Ask(g, "T3.12"), "T3.12=PUMP 12         ");
    EXPECT_EQ(Ask(g, "T1.01=ABCDEFGHIJKLMNOPQRS"), "T1.01=ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Ask(g, "T0.01="), "T0.01=                ");
    EXPECT_EQ(Ask(g, "T0.01=A=B"), "T0.01=A=B             ");
    EXPECT_EQ(FieldText(g.Programmed().units[2].channels[11].tag), "PUMP 12");
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

TEST(GatewaySerial, LinkTestRequestIsAnsweredByAnEmptyGateway)
{
    SystemConfiguration c;
    BuildInstallation(c, true);
    Gateway empty(c);
    EXPECT_EQ(Ask(empty, "C1.01"), "C1.01=0000");
}

TEST(GatewayControlWord, OverrideStateAndItsClearKeepTheDiagnosticBit)
{
    Gateway g(Sample());
    EXPECT_EQ(Ask(g, "S0.05=4096"), "S0.05=4096");
    ASSERT_TRUE(g.SetOverride(1));
    EXPECT_EQ(Ask(g, "S0.05"), "S0.05=4160");  // 0x1040
    // The program's clear: (read AND 0x1000) OR 0x100.
    const std::string clear = "S0.05=" + std::to_string((4160 & 0x1000) | 0x100);
    const std::string reply = Ask(g, clear);
    EXPECT_TRUE(CheckWriteReply(clear, reply, 0x1100));
    EXPECT_EQ(Ask(g, "S0.05"), "S0.05=4096");
    ASSERT_TRUE(g.SetOverride(2));
    EXPECT_EQ(Ask(g, "S0.05=0"), "S0.05=0000");
    EXPECT_EQ(Ask(g, "S0.05"), "S0.05=0128");
    EXPECT_TRUE(CheckWriteReply("S0.05=0", "S0.05=0000", 0));
}

TEST(GatewayControlWord, LosingOneLineHoldsTheGatewayOnTheOther)
{
    struct Case {
        std::uint32_t cable, line1, line2, expected;
    };
    const Case cases[] = {
        {2, 100, 0, OVERRIDE_LINE2}, {3, 0, 100, OVERRIDE_LINE1}, {2, 100, 100, 0}, {2, 5, 9, 0},
        {0, 100, 0, 0},  // only line 1 in use: nothing to switch to
    };
    for (const auto& c : cases) {
        SystemConfiguration config = Sample();
        config.MASTER_CABLE = c.cable;
        Gateway g(config);
        ASSERT_TRUE(g.SetLineFigures(1, c.line1, c.line2));
        EXPECT_EQ(g.Setting(0, 5) & 0xC0, c.expected) << c.cable << " " << c.line1 << " " << c.line2;
        EXPECT_EQ(g.Setting(1, 5), c.line1);
        EXPECT_EQ(g.Setting(1, 6), c.line2);
    }
}

TEST(GatewayControlWord, DiagnosticModeCountsTheTelegramsLostSinceItBegan)
{
    Gateway g(Sample());
    ASSERT_TRUE(g.SetLineFigures(1, 20, 100));
    EXPECT_EQ(Ask(g, "S1.05", 60000), "S1.05=0020");
    EXPECT_EQ(Ask(g, "S0.05=4096", 1000), "S0.05=4096");
    // 20 % of 10 telegrams a second on line 1, all of them on line 2.
    EXPECT_EQ(Ask(g, "S1.05", 6000), "S1.05=0010");
    EXPECT_EQ(Ask(g, "S1.06", 6000), "S1.06=0050");
    EXPECT_EQ(*g.ReadRegister(0x420 + 5, 11000), 100);
    // Writing the mode again (a clear request keeps it) does not restart the count.
    Ask(g, "S0.05=4352", 11000);
    EXPECT_EQ(Ask(g, "S1.05", 11000), "S1.05=0020");
    EXPECT_EQ(Ask(g, "S0.05=0", 12000), "S0.05=0000");
    EXPECT_EQ(Ask(g, "S1.06", 12000), "S1.06=0100");
}

TEST(GatewayReadings, FollowTheUnitReallyPresentAndItsModules)
{
    Gateway g(Sample());
    ASSERT_TRUE(g.PinValue(1, 48, 1234));
    ASSERT_TRUE(g.PinValue(1, 49, 4321));
    EXPECT_EQ(g.Reading(1, 49, 0), 4321);
    ASSERT_TRUE(g.SetFound(1, 0x12));           // one expansion less than programmed
    EXPECT_EQ(g.Reading(1, 48, 0), 1234);
    EXPECT_EQ(g.Reading(1, 49, 0), 0);          // behind the last module found
    EXPECT_EQ(Ask(g, "S1.01"), "S1.01=0018");
    EXPECT_EQ(Ask(g, "S1.03"), "S1.03=0019");
    ASSERT_TRUE(g.SetFound(1, 0x00));
    for (int i = 1; i <= 64; ++i) EXPECT_EQ(g.Reading(1, i, 5000), 0) << i;
    ASSERT_TRUE(g.PinValue(2, 1, 77));
    EXPECT_EQ(g.Reading(2, 1, 0), 0);           // nothing found at position 2
    EXPECT_FALSE(g.SetFound(5, 0x10));
    EXPECT_FALSE(g.SetFound(1, 0x100));
    EXPECT_FALSE(g.PinValue(1, 65, 0));
    EXPECT_FALSE(g.PinValue(1, 1, 65536));
}

TEST(GatewayReadings, DigitalGroupsPackStateAndFaultBits)
{
    Gateway g(Sample());  // unit 3: channels 4k off, 4k+1 active, 4k+2 and 4k+3 active with fault
    std::set<int> faultsSeen;
    std::vector<std::set<int>> statesSeen(32);
    for (std::int64_t t = 0; t < 120000; t += 250) {
        for (int group = 0; group < 4; ++group) {
            const std::uint16_t packed = g.Reading(3, group + 1, t);
            for (int k = 0; k < 8; ++k) {
                const int ch = 8 * group + k;
                const int state = (packed >> k) & 1;
                const int fault = (packed >> (k + 8)) & 1;
                if (ch % 4 == 0) {
                    EXPECT_EQ(state | fault, 0) << "channel off " << ch;
                }
                if (ch % 4 == 1) {
                    EXPECT_EQ(fault, 0) << "no fault detection on " << ch;
                }
                if (fault) faultsSeen.insert(ch);
                statesSeen[ch].insert(state);
            }
        }
        EXPECT_EQ(g.Reading(3, 5, t), 0);  // a KX927 has four groups
    }
    EXPECT_FALSE(faultsSeen.empty());
    for (int ch = 0; ch < 32; ++ch)
        if (ch % 4 != 0 && !faultsSeen.count(ch)) {
            EXPECT_EQ(statesSeen[ch].size(), 2u) << "channel " << ch << " never changes";
        }
    ASSERT_TRUE(g.PinValue(3, 2, 0x0F01));
    EXPECT_EQ(Ask(g, "D3.02"), "D3.02=3841");
}

TEST(GatewayReadings, GeneratedSignalsStayInsideTheMeasuringRangeAndMove)
{
    struct Range {
        std::uint32_t type;
        std::int32_t low, high;  // raw units of the type
    };
    const Range ranges[] = {
        {1, -21000, 21000}, {2, -2100, 8000}, {3, 0, 4000}, {4, 0, 18200},  // type B up to 1820 degC
        {7, -2700, 13720}, {19, -2000, 8500}, {27, -500, 2000}, {29, -500, 2000}, {30, 0, 500},
    };
    for (const auto& r : ranges) {
        for (int unit = 1; unit <= 4; ++unit) {
            for (int channel = 1; channel <= 64; channel += 7) {
                std::set<std::int32_t> values;
                for (std::int64_t t = 0; t < 60000; t += 3000) {
                    const std::int32_t v = GeneratedSignal(unit, channel, r.type, t);
                    EXPECT_GE(v, r.low) << "type " << r.type;
                    EXPECT_LE(v, r.high) << "type " << r.type;
                    values.insert(v);
                }
                EXPECT_GT(values.size(), 1u) << "type " << r.type << " never moves";
            }
        }
    }
    for (std::uint32_t type : {0u, 31u, 63u}) EXPECT_EQ(GeneratedSignal(1, 1, type, 1234), 0);
}

TEST(GatewayReadings, ChannelSwitchedOffReadsZero)
{
    SystemConfiguration c = Sample();
    c.units[0].channels[7].word = 0;
    Gateway g(c);
    for (std::int64_t t = 0; t < 50000; t += 5000) EXPECT_EQ(Ask(g, "D1.08", t), "D1.08=0000");
}

TEST(GatewayReadings, FactoryCoefficientsReadAnAppliedSignalWithinOneCount)
{
    struct Case {
        std::uint32_t word;
        std::int32_t signal;
    };
    const Case cases[] = {{0x0801, 0}, {0x0801, 20000}, {0x0801, -18500}, {0x0002, 7550}, {0x1883, 4000}, {0x1883, 1234}};
    for (const auto& c : cases) {
        for (int unit : {1, 4}) {
            SystemConfiguration config = Sample();
            config.units[unit - 1].channels[2].word = c.word;
            Gateway g(config);
            ASSERT_TRUE(g.ApplyInput(unit, 3, c.signal));
            const std::int32_t reading = FromGateway16(g.Reading(unit, 3, 0));
            EXPECT_LE(std::abs(reading - c.signal), 1) << "word " << c.word << " signal " << c.signal;
        }
    }
}

TEST(GatewayCalibration, CoefficientsOfOneUnitLeaveTheOthersAlone)
{
    SystemConfiguration c = Sample();
    c.units[3].channels[0].word = 0x0801;
    Gateway g(c);
    ASSERT_TRUE(g.ApplyInput(1, 1, 5000));
    ASSERT_TRUE(g.ApplyInput(4, 1, 5000));
    const auto before4 = g.Reading(4, 1, 0);
    const auto before1 = g.Reading(1, 1, 0);
    EXPECT_EQ(Ask(g, "S1.10=1000"), "S1.10=1000");
    EXPECT_NE(g.Reading(1, 1, 0), before1);
    EXPECT_EQ(g.Reading(4, 1, 0), before4);
}

std::vector<std::uint8_t> Request(std::uint8_t address, unsigned first, unsigned count, std::uint8_t function = 3)
{
    const std::uint8_t r[] = {address, function, static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first),
                              static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)};
    return ModbusFrame(r, sizeof r);
}

std::optional<std::vector<std::uint16_t>> Registers(const Gateway& g, const std::vector<std::uint8_t>& frame,
                                                    std::int64_t now_ms = 0)
{
    const auto reply = g.HandleModbusFrame(frame.data(), frame.size(), now_ms);
    if (!reply) return std::nullopt;
    const int payload = ModbusPayloadLength(reply->data(), reply->size());
    EXPECT_GE(payload, 3);
    if (payload < 3 || (*reply)[1] != 3) return std::nullopt;
    EXPECT_EQ((*reply)[0], frame[0]);
    EXPECT_EQ((*reply)[2], payload - 3);
    std::vector<std::uint16_t> out;
    for (int i = 3; i + 1 < payload; i += 2) out.push_back(static_cast<std::uint16_t>((*reply)[i] << 8 | (*reply)[i + 1]));
    return out;
}

TEST(GatewayModbus, RegisterBlocksMatchTheCommandSet)
{
    Gateway g(Sample());
    for (int unit = 1; unit <= 4; ++unit) {
        SCOPED_TRACE("unit " + std::to_string(unit));
        const auto status = Registers(g, Request(17, 0x420 + 0x20 * (unit - 1), 16));
        ASSERT_TRUE(status);
        ASSERT_EQ(status->size(), 16u);
        EXPECT_EQ((*status)[0], g.Setting(unit, 1));
        EXPECT_EQ((*status)[2], g.Setting(unit, 3));

        const auto words = Registers(g, Request(17, 0x200 + 0x40 * (unit - 1), 64));
        ASSERT_TRUE(words);
        ASSERT_EQ(words->size(), 64u);
        for (int ch = 1; ch <= 64; ++ch) {
            const std::string request = "C" + std::to_string(unit) + (ch < 10 ? ".0" : ".") + std::to_string(ch);
            EXPECT_EQ((*words)[ch - 1], CheckReadReply(request, Ask(g, request)).value) << request;
        }

        const auto values = Registers(g, Request(17, 64 * (unit - 1), 64), 4321);
        ASSERT_TRUE(values);
        for (int i = 1; i <= 64; ++i) EXPECT_EQ((*values)[i - 1], g.Reading(unit, i, 4321));
    }
    EXPECT_EQ((*Registers(g, Request(17, 0x420, 1)))[0], 0x13);
    EXPECT_EQ((*Registers(g, Request(17, 0x460, 3)))[2], 0x30);
}

// The register of the link test, then the gateway settings.
TEST(GatewayModbus, ModelCodeThenTheMasterSettings)
{
    Gateway g(Sample());
    const auto master = Registers(g, Request(17, 0x0400, 12));
    ASSERT_TRUE(master);
    EXPECT_EQ((*master)[0], MODEL_CODE);
    EXPECT_EQ((*master)[9], 17);  // S0.09
    EXPECT_EQ((*master)[10], 2);  // S0.10
}

TEST(GatewayModbus, OtherAddressesFunctionsAndDamagedFramesGetNoReply)
{
    Gateway g(Sample());
    auto badCrc = Request(17, 0x420, 16);
    badCrc[7] ^= 1;
    auto longer = Request(17, 0x420, 16);
    longer.insert(longer.begin() + 6, 0);
    longer = ModbusFrame(longer.data(), 7);
    const std::vector<std::vector<std::uint8_t>> frames = {
        Request(1, 0x420, 16), Request(0, 0x420, 16), Request(17, 0x420, 16, 4), Request(17, 0x420, 16, 6),
        badCrc, longer, {17, 3}, {},
    };
    for (const auto& f : frames) EXPECT_FALSE(g.HandleModbusFrame(f.data(), f.size(), 0).has_value());
    // The address follows a write of S0.09.
    EXPECT_EQ(Ask(g, "S0.09=5"), "S0.09=0005");
    EXPECT_TRUE(Registers(g, Request(5, 0x400, 1)));
    EXPECT_FALSE(g.HandleModbusFrame(Request(17, 0x400, 1).data(), 8, 0).has_value());
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

TEST(GatewayModel, LineSettingsOfTheModbusLinkFollowTheConfiguration)
{
    struct Case {
        std::uint32_t baud, form;
        int rate, bits;
    };
    const Case cases[] = {{0, 0, 4800, 10}, {1, 3, 9600, 11}, {5, 1, 115200, 11}, {2, 2, 19200, 11}};
    for (const auto& c : cases) {
        SystemConfiguration config = Sample();
        config.MASTER_MOD_BAUD = c.baud;
        config.MASTER_MOD_FORM = c.form;
        Gateway g(config);
        EXPECT_EQ(g.ModbusBaud(), c.rate);
        EXPECT_EQ(g.ModbusBitsPerCharacter(), c.bits);
    }
}

} // namespace
} // namespace tarn::sim
