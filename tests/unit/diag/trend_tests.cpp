// The trend of the live tests on the sample installation: the cells it follows, the
// readings it takes from the records of a poll step, its ten minutes, its figures and
// its CSV with local times.
#include "diag/trend_series.h"

#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace tarn {
namespace {

class TrendTest : public ::testing::Test {
protected:
    // KX913 + 3 x KX914, nothing, KX927, KX913.
    SystemConfiguration g = testing::FullInstallation();
    TrendSeries trend;
};

TEST_F(TrendTest, FollowsUpToEightCellsThatShowAValue)
{
    g.units[3].channels[5].word = 0x0800;  // an analog channel switched off, its filter set
    const struct {
        int unit, channel;
        TrendAdd expected;
    } rows[] = {
        {0, 0, TrendAdd::Added}, {0, 0, TrendAdd::Present}, {1, 0, TrendAdd::NoValue},  // no unit there
        {2, 0, TrendAdd::NoValue},                                                       // digital, word 0
        {3, 16, TrendAdd::NoValue}, {3, 5, TrendAdd::NoValue}, {0, 64, TrendAdd::NoValue},
        {2, 4, TrendAdd::Added}, {0, 63, TrendAdd::Added}, {3, 15, TrendAdd::Added}, {0, 1, TrendAdd::Added},
        {0, 2, TrendAdd::Added}, {0, 3, TrendAdd::Added}, {0, 4, TrendAdd::Added}, {3, 0, TrendAdd::Full},
        {0, 4, TrendAdd::Present},
    };
    for (const auto& row : rows)
        EXPECT_EQ(trend.Add(g, g, row.unit, row.channel), row.expected) << row.unit << "-" << row.channel;
    EXPECT_EQ(trend.Channels()[1].Label(), "3-05 TI 305 \xB0" "C");
    trend.Clear();
    SystemConfiguration tags = g;  // the Modbus test reads none: the configuration's
    SetFieldText(tags.units[3].channels[0].tag, "TI 401");
    EXPECT_EQ(trend.Add(g, tags, 3, 0), TrendAdd::Added);  // room again
    EXPECT_EQ(trend.Channels()[0].Label(), "4-01 TI 401");
}

// Readings only of the records read, scaled as the cells show them; ten minutes kept.
TEST_F(TrendTest, TakesTheRecordsReadKeepsTenMinutesAndWritesThemAsCsv)
{
    setenv("TZ", "NST+3:30", 1);  // local time 3 h 30 min behind UTC, for this test's process alone
    tzset();
    SetFieldText(g.units[0].channels[0].tag, "A,\"B\"");
    ASSERT_EQ(trend.Add(g, g, 0, 0), TrendAdd::Added);   // mV, 3 decimals
    ASSERT_EQ(trend.Add(g, g, 0, 2), TrendAdd::Added);   // thermocouple K, °C
    ASSERT_EQ(trend.Add(g, g, 2, 9), TrendAdd::Added);   // group record 1, bit 1
    ASSERT_EQ(trend.Add(g, g, 3, 1), TrendAdd::Added);   // never read
    g.units[0].channels[0].live_value = 0xFB2E;      // -1234
    g.units[0].channels[2].live_value = 255;
    g.units[2].channels[1].live_value = (1u << 1) | (1u << 9);  // on with its fault: short
    trend.Take(g, {0, 0, 64}, 1000);
    trend.Take(g, {2, 1, 1}, 1500);
    trend.Take(g, {2, 0, 1}, 1600);
    g.units[0].channels[0].live_value = 500;
    trend.Take(g, {0, 0, 1}, 2000);
    g.units[0].channels[0].live_value = 100;
    trend.Take(g, {0, 0, 1}, 601000);  // the reading at 1000 is exactly ten minutes old: kept
    EXPECT_EQ(trend.Csv(), "time,unit,channel,tag,value,eng_unit,state\n"
                           "1969-12-31T20:30:01.000-03:30,1,1,\"A,\"\"B\"\"\",-1.234,mV,ok\n"
                           "1969-12-31T20:30:01.000-03:30,1,3,TT-1.03 BURNER Z,25.5,\xC2\xB0" "C,ok\n"
                           "1969-12-31T20:30:01.500-03:30,3,10,TT-3.10 BURNER Z,1,,short\n"
                           "1969-12-31T20:30:02.000-03:30,1,1,\"A,\"\"B\"\"\",0.500,mV,ok\n"
                           "1969-12-31T20:40:01.000-03:30,1,1,\"A,\"\"B\"\"\",0.100,mV,ok\n");
    const auto f = trend.Figures(0);
    ASSERT_TRUE(f);
    EXPECT_DOUBLE_EQ(f->last, 0.1);
    EXPECT_DOUBLE_EQ(f->minimum, -1.234);
    EXPECT_DOUBLE_EQ(f->maximum, 0.5);
    EXPECT_FALSE(trend.Figures(3));

    trend.Take(g, {}, 601001);
    EXPECT_EQ(trend.Channels()[0].samples.size(), 2u);
    EXPECT_DOUBLE_EQ(trend.Figures(0)->minimum, 0.1);
    EXPECT_TRUE(trend.Channels()[1].samples.empty());
}

} // namespace
} // namespace tarn
