// A fully configured installation for tests and the benchmark: every field the
// configuration file and the transfer carry is away from its default and inside
// the ranges the gateway accepts. Tags hold Windows-1252 letters and inner blanks
// (no trailing blanks: the file and the gateway drop those); texts are as long as
// their fields allow.
#pragma once

#include "config/channel_word.h"
#include "config/default_config.h"
#include "config/model.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace tarn::testing {

struct UnitPlan {
    std::uint32_t type, expansions;
    std::int32_t coldJunction;
};

// The default plan: a KX913 with three expansions, an empty position (its reference the
// one-off -1), a KX927, and a KX913 without expansions at the top of the reference range.
inline constexpr std::array<UnitPlan, UNIT_COUNT> MIXED_UNITS{
    {{UNIT_KX913, 3, -400}, {UNIT_NONE, 0, -1}, {UNIT_KX927, 0, 0}, {UNIT_KX913, 0, 1000}}};
// The most a transfer can carry: four KX913 with three expansions each.
inline constexpr std::array<UnitPlan, UNIT_COUNT> FOUR_FULL_KX913{
    {{UNIT_KX913, 3, -400}, {UNIT_KX913, 3, -50}, {UNIT_KX913, 3, 300}, {UNIT_KX913, 3, 1000}}};

// Analog words of every class: mV with fast filter, 4-wire resistance, thermocouple K,
// -21..80 mV, GOST thermocouples, Pt 100, compensator, coded-burnout mV.
inline constexpr std::uint32_t ANALOG_WORDS[] = {0x0801, 0x1883, 0x0087, 0x0002, 0x0211, 0x0892, 0x0393, 0x001E, 0x1181};

// Digital channel ch (0-based): every fourth off, then active without and twice with fault.
inline std::uint32_t DigitalWord(int ch)
{
    const std::uint32_t mode = ch % 4 == 0 ? 0 : ch % 4 == 1 ? 1 : 2;
    return EncodeDigitalChannelWord({mode, static_cast<std::uint32_t>(ch % 16)});
}

inline SystemConfiguration FullInstallation(const std::array<UnitPlan, UNIT_COUNT>& plan = MIXED_UNITS)
{
    SystemConfiguration c{};
    BuildDefaultConfiguration(c);
    SetFieldText(c.MASTER_TAG, "NORTH \xB0\xE0 GATEWAY");  // 16 characters
    c.MASTER_CABLE = 2;
    c.MASTER_FREQ = 1;
    c.MASTER_MOD_CONFIG = 1;
    c.MASTER_REPT = 2;
    for (int r = 0; r < REPEATER_COUNT; ++r) c.MASTER_REPT_MAT[r] = static_cast<std::uint32_t>(3 - r);
    c.MASTER_MOD_ADDR = 17;
    c.MASTER_MOD_BAUD = 2;  // 19200
    c.MASTER_MOD_FORM = 3;  // 8 N 2: no parity, which a pseudo-terminal could not take
    SetFieldText(c.ORGANIZATION, "Acme \xE0 S.p.A. // not a comment");
    for (int a = 0; a < 4; ++a) SetFieldText(c.ADDRESS[a], " Via Roma " + std::to_string(a + 1) + " ");
    SetFieldText(c.DOCUMENT, std::string(278, 'D'));
    SetFieldText(c.OPERATOR_1, "Op\xB0 1");
    for (int u = 0; u < UNIT_COUNT; ++u) {
        UnitRecord& unit = c.units[u];
        unit.SLAVE_TYPE = plan[u].type;
        unit.SLAVE_EXP = plan[u].expansions;
        unit.SLAVE_CJC = plan[u].coldJunction;
        for (int ch = 0; ch < CHANNEL_COUNT; ++ch) {
            char tag[32];
            std::snprintf(tag, sizeof tag, ch % 4 ? "TT-%d.%02d BURNER Z" : "TI %d%02d \xB0" "C", u + 1, ch + 1);
            SetFieldText(unit.channels[ch].tag, tag);
            unit.channels[ch].word = unit.SLAVE_TYPE == UNIT_KX927 ? DigitalWord(ch) : ANALOG_WORDS[(u + ch) % 9];
        }
    }
    return c;
}

// Equal to the last byte, the bytes behind the texts' terminators included.
inline bool SameBytes(const SystemConfiguration& a, const SystemConfiguration& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace tarn::testing
