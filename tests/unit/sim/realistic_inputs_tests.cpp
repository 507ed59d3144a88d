// The simulator's realistic inputs: readings that settle with the channel's filter and
// carry a little noise. (The calibrator, and the factory test's Modbus request at address 1,
// are exercised from the window: tests/gui/diag/diag_gateway_tests.cpp.)
#include "sim/gateway.h"
#include "sim/installation.h"

#include "config/channel_word.h"
#include "link/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace tarn::sim {
namespace {

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
        if (filter == 0) {
            EXPECT_GE(seen.size(), 2u) << "no noise at all";
        }
    }
    EXPECT_EQ(ticksToSettle.front(), 0);
    EXPECT_TRUE(std::is_sorted(ticksToSettle.begin(), ticksToSettle.end()));
    EXPECT_LE(ticksToSettle.back(), 15);  // a few seconds with the slow filter
}

} // namespace
} // namespace tarn::sim
