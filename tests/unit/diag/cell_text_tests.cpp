// The texts of the unit panels' channel cells: analog values by channel type, digital state bits.
#include "diag/cell_text.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace tarn;

namespace {

TEST(AnalogCellText, ScaledByChannelTypeWithUnitOfMeasure)
{
    const std::tuple<std::uint32_t, std::uint32_t, const char*> cases[] = {
        {1234, 0x0001, " +1.234 mV "},
        {65535, 0x0087, " -0.1 \xB0" "C "},      // two's complement; thermocouple K: the low 6 bits give the type
        {0x8000, 0x0011, " -3276.8 \xB0" "C "},
        {4000, 0x1883, " 400.0 Ohm "},
        {0xABCD0000, 0x0801, " +0.000 mV "},     // bits above 16 are not part of the reading
        {1234, 0x0000, "  "},                     // off: no number, no unit
    };
    for (const auto& [live, word, text] : cases) EXPECT_EQ(AnalogCellText(live, word), text) << live << "/" << word;
}

TEST(DigitalCellState, StateAndFaultBitsOfTheChannelInItsGroup)
{
    // Channel 13 is bit 5 (state) and bit 13 (fault) of its group; neighbours' bits do not count.
    const std::tuple<std::uint32_t, int, int> cases[] = {
        {1u << 5, 13, 0x001}, {1u << 13, 13, 0x100}, {0xFFFF & ~((1u << 5) | (1u << 13)), 13, 0x000}, {0x8080, 15, 0x101},
    };
    for (const auto& [group, channel, state] : cases) EXPECT_EQ(DigitalCellState(group, channel), state) << group;
}

} // namespace
