// The simulator's realistic inputs: readings that settle with the channel's filter and
// carry a little noise, and a KX913 calibration run by the program's engine against the
// gateway model, tick by tick on the model's clock.
#include "sim/gateway.h"
#include "sim/installation.h"

#include "config/channel_word.h"
#include "diag/calibration.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/modbus_frame.h"
#include "support/fake_serial_device.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace tarn::sim {
namespace {

using testing::Bytes;
using testing::FakeReply;

SystemConfiguration Installation()
{
    SystemConfiguration c;
    BuildInstallation(c, false);  // a KX913 + 1 x KX914 at position 1, a KX927 at 2
    return c;
}

std::int32_t Read(Gateway& g, const std::string& request, std::int64_t now_ms)
{
    const auto reply = g.HandleSerialRequest(request, now_ms);
    return reply ? FromGateway16(static_cast<std::uint32_t>(std::stoul(reply->substr(6)))) : -99999;
}

TEST(RealisticInputs, AReadingSettlesWithItsFilterAndStaysWithinItsNoise)
{
    std::vector<int> ticksToSettle;  // 200 ms ticks until a 10 mV step is within the noise
    for (std::uint32_t filter = 0; filter < 4; ++filter) {
        SCOPED_TRACE("filter " + std::to_string(filter));
        Gateway g(Installation(), true);
        const std::uint32_t word = EncodeAnalogChannelWord({1, 0, 0, 0, filter});
        ASSERT_TRUE(g.HandleSerialRequest("C1.03=" + std::to_string(word), 0));
        ASSERT_TRUE(g.ApplyInput(1, 3, 5000, 0));
        std::int64_t t = 10000;
        const std::int32_t before = Read(g, "D1.03", t);
        ASSERT_TRUE(g.ApplyInput(1, 3, 15000, t));
        const std::int32_t settled = Read(g, "D1.03", t + 60000);
        EXPECT_NEAR(settled - before, 10000, 100);
        int ticks = 0;
        for (; std::abs(Read(g, "D1.03", t) - settled) > 2 && ticks < 50; t += 200) ++ticks;
        ticksToSettle.push_back(ticks);
        std::set<std::int32_t> seen;
        for (std::int64_t u = t + 20000; u < t + 30000; u += 50) seen.insert(Read(g, "D1.03", u));
        EXPECT_LE(*seen.rbegin() - *seen.begin(), 2);
        if (filter == 0) EXPECT_GE(seen.size(), 2u) << "no noise at all";
    }
    EXPECT_EQ(ticksToSettle.front(), 0);
    EXPECT_TRUE(std::is_sorted(ticksToSettle.begin(), ticksToSettle.end()));
    EXPECT_LE(ticksToSettle.back(), 15);  // a few seconds with the slow filter
}

TEST(RealisticInputs, AThreeWireConnectionReadsItsLeadImbalance)
{
    Gateway g(Installation(), true);
    const auto settledAverage = [&g](std::uint32_t word) {
        EXPECT_TRUE(g.HandleSerialRequest("C1.03=" + std::to_string(word), 0));
        EXPECT_TRUE(g.ApplyInput(1, 3, 1500, 0));
        long long sum = 0;
        for (int i = 0; i < 200; ++i) sum += Read(g, "D1.03", 60000 + 50 * i);
        return static_cast<double>(sum) / 200;
    };
    const double fourWire = settledAverage(EncodeAnalogChannelWord({3, 0, 0, 1, 3}));
    const double threeWire = settledAverage(EncodeAnalogChannelWord({3, 0, 0, 0, 3}));
    EXPECT_NEAR(threeWire - fourWire, 2.0, 0.3);  // 0.2 Ohm
}

TEST(RealisticInputs, TheFactoryTestsModbusRequestIsAnsweredAtAddressOne)
{
    Gateway g(Installation(), true);
    ASSERT_TRUE(g.HandleSerialRequest("S0.09=17", 0));
    const std::uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    const auto frame = ModbusFrame(request, sizeof request);
    const auto reply = g.HandleModbusFrame(frame.data(), frame.size(), 500);
    ASSERT_TRUE(reply);
    EXPECT_EQ(ModbusPayloadLength(reply->data(), reply->size()), 5);
    EXPECT_EQ((*reply)[3] << 8 | (*reply)[4], g.Reading(1, 1, 500));
}

// The calibration command of the program against the model: the link's device answers with the
// model at the model's time, which each tick moves on by 200 ms.
class CalibrationAgainstTheModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.state.serialPort.name = "/dev/kx940";
        port.line->responder = [this](const Bytes& written) {
            std::string text(written.begin(), written.end());
            if (!text.empty() && text.back() == '\r') text.pop_back();
            const auto reply = gateway.HandleSerialRequest(text, now);
            return reply ? FakeReply::Text(*reply + "\r") : FakeReply::Silent();
        };
    }

    // Runs a calibration of unit 1 as a technician does: each "Hit when Ready" clicked
    // reactionTicks after it appears. The ticks each running step took.
    std::map<int, int> Calibrate(int reactionTicks)
    {
        Calibration cal(0);
        EXPECT_EQ(cal.Begin(), 1);
        cal.Start();
        std::map<int, int> ticks;
        int waiting = 0;
        for (int tick = 0; tick < 1200 && cal.StepState() < CAL_DONE; ++tick) {
            now += CAL_TICK_MS;
            cal.Tick();
            const int state = cal.StepState();
            if (state == CAL_ZERO || state == CAL_SPAN || state == CAL_RESISTANCE) ++ticks[state];
            if (state == CAL_WAITING || state == CAL_APPLY_ZERO || state == CAL_APPLY_SPAN || state == CAL_APPLY_RESISTANCE) {
                if (waiting++ >= reactionTicks) {
                    cal.StepClicked();
                    waiting = 0;
                }
            }
        }
        EXPECT_EQ(cal.StepState(), CAL_DONE) << "reading " << cal.Reading() << " after step " << ticks.size();
        cal.StepClicked();
        cal.Finish(cal.Result());
        return ticks;
    }

    testing::CoreFixture fx;
    testing::FakeSerialFactory port;
    Gateway gateway{Installation(), true};
    std::int64_t now = 1000;
};

TEST_F(CalibrationAgainstTheModel, ConvergesOnAllThreeStepsAndLeavesChannelOneAsItWas)
{
    const std::int32_t word = Read(gateway, "C1.01", now);
    const std::int32_t coefficients[] = {Read(gateway, "S1.09", now), Read(gateway, "S1.10", now), Read(gateway, "S1.11", now)};
    // A technician who clicks a second after each "Hit when Ready", then one who clicks at once
    // (the span step then starts before the 20 mV have settled).
    for (int reaction : {5, 0}) {
        SCOPED_TRACE("reaction " + std::to_string(reaction));
        const bool first = reaction == 5;
        const std::map<int, int> ticks = Calibrate(reaction);
        std::printf("calibration ticks (reaction %d): zero %d, span %d, resistance %d\n", reaction, ticks.at(CAL_ZERO),
                    ticks.at(CAL_SPAN), ticks.at(CAL_RESISTANCE));
        // A step that corrects takes ten readings before and ten after its correction; the
        // drifted unit corrects in every step, the calibrated one only its zero (the new leads).
        // All stay far from the limit of 300.
        for (const auto& [state, count] : ticks) {
            if (first || state == CAL_ZERO) EXPECT_GE(count, 19) << state;
            EXPECT_LE(count, 100) << state;
        }
        EXPECT_TRUE(fx.ui.texts(MessageIcon::Error).empty());
        EXPECT_EQ(Read(gateway, "C1.01", now), word);
        EXPECT_EQ(gateway.CalibratorState().phase, Calibrator::Off);
    }
    EXPECT_NE(Read(gateway, "S1.09", now), coefficients[0]);
    EXPECT_NE(Read(gateway, "S1.10", now), coefficients[1]);
    EXPECT_NE(Read(gateway, "S1.11", now), coefficients[2]);
    // Calibrated: 20 mV on a 4-wire millivolt channel read as 20 mV, give or take the noise and
    // the EMF of the last calibrator's leads.
    ASSERT_TRUE(gateway.HandleSerialRequest("C1.02=6145", now));
    ASSERT_TRUE(gateway.ApplyInput(1, 2, 20000, now));
    EXPECT_NEAR(Read(gateway, "D1.02", now + 10000), 20000, 18);
}

} // namespace
} // namespace tarn::sim
