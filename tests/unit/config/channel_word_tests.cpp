#include "config/channel_word.h"

#include <gtest/gtest.h>

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
        {{63, 0, 0, 1, 3}, 63 | 1 << 7 | 3 << 11},
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

} // namespace
} // namespace tarn
