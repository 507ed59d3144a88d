#include "config/channel_word.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(AnalogChannelWord, EncodesByTheClassOfTheTypeNumber)
{
    struct Case {
        AnalogChannelSettings in;
        std::uint32_t word;
    } cases[] = {
        {{0, 3, 1, 1, 3}, 0},                         // channel off is 0 as a whole
        {{18, 3, 1, 1, 2}, 18 | 1 << 7 | 2 << 11},    // A3 - GOST is in the wire class
        {{17, 3, 1, 0, 1}, 17 | 3 << 7 | 1 << 9 | 1 << 11},
        {{3, 0, 0, 1, 3}, 0x1883},
        {{1, 2, 1, 1, 0}, 1 | 2 << 7},                // millivolt: burnout, no cold junction
        {{63, 3, 1, 1, 3}, 63 | 1 << 7 | 3 << 11},
        {{64 + 4, 1, 0, 0, 0}, 4 | 1 << 7},           // the type keeps its six bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeAnalogChannelWord(c.in), c.word) << "type " << c.in.type;
    }
}

TEST(AnalogChannelWord, DecodeKeepsOnlyTheFieldsOfTheClass)
{
    EXPECT_EQ(DecodeAnalogChannelWord(0), AnalogChannelSettings{});
    EXPECT_EQ(DecodeAnalogChannelWord(0xFFC0), AnalogChannelSettings{}); // type 0 ignores the rest
    EXPECT_EQ(DecodeAnalogChannelWord(0x1883), (AnalogChannelSettings{3, 0, 0, 1, 3}));
    EXPECT_EQ(DecodeAnalogChannelWord((0xFFFFu & ~0x3Fu) | 17), (AnalogChannelSettings{17, 3, 1, 0, 3}));
    EXPECT_EQ(DecodeAnalogChannelWord((0xFFFFu & ~0x3Fu) | 2), (AnalogChannelSettings{2, 3, 0, 0, 3}));
    // Every defined type survives encode/decode with the fields of its class.
    for (std::uint32_t type = 1; type < 64; ++type) {
        const AnalogChannelSettings s{type, 2, 1, 1, 1};
        const auto back = DecodeAnalogChannelWord(EncodeAnalogChannelWord(s));
        EXPECT_EQ(EncodeAnalogChannelWord(back), EncodeAnalogChannelWord(s)) << type;
    }
}

TEST(DigitalChannelWord, ModeTwoIsStoredAsCodeThree)
{
    EXPECT_EQ(EncodeDigitalChannelWord({2, 15}), 0x7Bu);
    EXPECT_EQ(EncodeDigitalChannelWord({1, 4}), 0x21u);
    EXPECT_EQ(DecodeDigitalChannelWord(0x7B), (DigitalChannelSettings{2, 15}));
    EXPECT_EQ(DecodeDigitalChannelWord(0x7A), (DigitalChannelSettings{2, 15})); // code 2 reads as 2 too
    EXPECT_EQ(DecodeDigitalChannelWord(0), (DigitalChannelSettings{0, 0}));
}

} // namespace
} // namespace tarn
