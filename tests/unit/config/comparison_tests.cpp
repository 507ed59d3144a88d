#include "config/comparison.h"

#include "config/default_config.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tarn {
namespace {

std::string Item(const std::string& label, const std::string& verdict, const std::string& a, const std::string& b)
{
    return "\r\n  " + label + "\t" + verdict + "\t<" + a + ">\t<" + b + ">\r\n";
}

// A KX927 compares the tags and words of its 32 channels, in two blocks of 16, and no analog field.
TEST(Comparison, DigitalUnitComparesThirtyTwoChannels)
{
    testing::CoreFixture core;
    SystemConfiguration a{};
    BuildDefaultConfiguration(a);
    a.units[3].SLAVE_TYPE = UNIT_KX927;
    SystemConfiguration b = a;
    a.units[3].channels[5].word = 0x21;
    b.units[3].channels[40].word = 0x7B;  // beyond the 32 digital channels: not compared
    a.units[3].SLAVE_CJC = 100;           // no meaning for a digital unit: not compared
    std::string report;
    EXPECT_EQ(CompareConfigurations(report, a, b), 1);
    const std::string unit = report.substr(report.find("\r\nSlave 4\r\n"));
    const std::string off = "Channel Off - 1 ms scan time";
    for (const std::string& item : {"\r\n" + Item("Ch 1 - Tag", "Ok", "Tag 4.01", "Tag 4.01"),
                                    Item("Ch 6 - Configuration", "Error", "Active no Fault - 5 ms scan time", off),
                                    "\r\n" + Item("Ch 17 - Tag", "Ok", "Tag 4.17", "Tag 4.17")})
        EXPECT_NE(unit.find(item), std::string::npos) << item;
    EXPECT_TRUE(unit.ends_with(Item("Ch 32 - Configuration", "Ok", off, off))) << unit.substr(unit.size() - 200);
    EXPECT_EQ(std::count(unit.begin(), unit.end(), '\t'), 3 * 64 + 3);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\r'), std::count(report.begin(), report.end(), '\n'));
}

} // namespace
} // namespace tarn
