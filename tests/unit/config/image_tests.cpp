// The configuration image: the channel words it holds and the comparison of two images.
#include "config/channel_word.h"
#include "config/comparison.h"
#include "config/default_config.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tarn {
namespace {

// Reference words of every class, both ways: a class stores only its own fields.
TEST(ChannelWord, AnalogReferenceWords)
{
    const std::pair<AnalogChannelSettings, std::uint32_t> rows[] = {
        {{}, 0},
        {{2, 3, 0, 0, 0}, 2 | 3 << 7},                       // millivolt: burnout, no cold junction
        {{3, 0, 0, 1, 3}, 0x1883},
        {{4, 2, 0, 0, 3}, 4 | 2 << 7 | 3 << 11},
        {{17, 3, 1, 0, 1}, 17 | 3 << 7 | 1 << 9 | 1 << 11},  // the last thermocouple
        {{18, 0, 0, 1, 2}, 18 | 1 << 7 | 2 << 11},           // A3 - GOST is in the wire class
    };
    for (const auto& [settings, word] : rows) {
        EXPECT_EQ(EncodeAnalogChannelWord(settings), word) << settings.type;
        EXPECT_EQ(DecodeAnalogChannelWord(word), settings) << settings.type;
    }
    // The fields of other classes are dropped both ways, and the type keeps its six bits.
    EXPECT_EQ(EncodeAnalogChannelWord({0, 3, 1, 1, 3}), 0u);
    EXPECT_EQ(EncodeAnalogChannelWord({64 + 18, 3, 1, 1, 0}), 18u | 1 << 7);
    EXPECT_EQ(DecodeAnalogChannelWord(0xFFC0), AnalogChannelSettings{});
    EXPECT_EQ(DecodeAnalogChannelWord(0xFFC0 | 2), (AnalogChannelSettings{2, 3, 0, 0, 3}));
    EXPECT_EQ(DecodeAnalogChannelWord(0xFFC0 | 17), (AnalogChannelSettings{17, 3, 1, 0, 3}));
    EXPECT_EQ(DecodeAnalogChannelWord(0xFFC0 | 18), (AnalogChannelSettings{18, 0, 0, 1, 3}));
}

TEST(ChannelWord, DigitalModeTwoIsStoredAsCodeThree)
{
    const std::pair<DigitalChannelSettings, std::uint32_t> rows[] = {{{0, 0}, 0}, {{1, 4}, 0x21}, {{2, 15}, 0x7B}};
    for (const auto& [settings, word] : rows) {
        EXPECT_EQ(EncodeDigitalChannelWord(settings), word);
        EXPECT_EQ(DecodeDigitalChannelWord(word), settings);
    }
    EXPECT_EQ(DecodeDigitalChannelWord(0x7A), (DigitalChannelSettings{2, 15}));  // code 2 reads as 2 too
}

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
