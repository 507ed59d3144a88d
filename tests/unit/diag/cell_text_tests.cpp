// The texts of the unit panels' channel cells: analog values by channel type, digital state bits.
#include "diag/cell_text.h"

#include "text/texts.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {

TEST(AnalogCellText, ScaledByChannelTypeWithUnitOfMeasure)
{
    struct Case {
        std::uint32_t live, word;
        const char* text;
    };
    const Case cases[] = {
        {1234, 0x0001, " +1.234 mV "},
        {65535, 0x0001, " -0.001 mV "},          // two's complement in the low 16 bits
        {65535, 0x0087, " -0.1 \xB0" "C "},      // thermocouple K: only the low 6 bits give the type
        {0x7FFF, 0x0002, " +327.67 mV "},
        {0x8000, 0x0011, " -3276.8 \xB0" "C "},
        {4000, 0x1883, " 400.0 Ohm "},
        {0xABCD0000, 0x0801, " +0.000 mV "},     // bits above 16 are not part of the reading
        {1234, 0x0000, "  "},                     // off: no number, no unit
    };
    for (const Case& c : cases) EXPECT_EQ(AnalogCellText(c.live, c.word), c.text) << c.live << "/" << c.word;
}

TEST(DigitalCellState, StateAndFaultBitsOfTheChannelInItsGroup)
{
    struct Case {
        std::uint32_t group;
        int channel;
        int state;
    };
    // Channel 13 is bit 5 (state) and bit 13 (fault) of channel record 1's live value.
    const Case cases[] = {
        {0x0000, 13, 0x000}, {1u << 5, 13, 0x001}, {1u << 13, 13, 0x100}, {(1u << 5) | (1u << 13), 13, 0x101},
        {0xFFFF & ~((1u << 5) | (1u << 13)), 13, 0x000},  // neighbours' bits do not count
        {0x8080, 7, 0x101}, {0x8080, 15, 0x101}, {0x10001, 0, 0x001},
    };
    for (const Case& c : cases) EXPECT_EQ(DigitalCellState(c.group, c.channel), c.state) << c.group << "/" << c.channel;
}

TEST(DigitalCellState, TextOfEachState)
{
    SetLanguage(LANGUAGE_ENGLISH);
    EXPECT_EQ(GetText(DigitalStateTextId(0x000)), "OFF");
    EXPECT_EQ(GetText(DigitalStateTextId(0x001)), "ON");
    EXPECT_EQ(GetText(DigitalStateTextId(0x100)), "OPEN");
    EXPECT_EQ(GetText(DigitalStateTextId(0x101)), "SHORT");
}

} // namespace
