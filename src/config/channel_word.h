// The packed words inside the configuration: analog and digital channel
// configuration words and the Unit descriptor word the gateway uses for a unit.
#pragma once

#include <cstdint>

namespace tarn {

struct AnalogChannelSettings {
    std::uint32_t type = 0;          // 0..63, 0..30 defined
    std::uint32_t burnout = 0;       // 0..3, types 1, 2 and 4..17
    std::uint32_t cold_junction = 0; // 0 auto, 1 fixed (SLAVE_CJC), types 4..17
    std::uint32_t wires = 0;         // 0 three-wire, 1 four-wire, type 3 and 18..63
    std::uint32_t filter = 0;        // 0..3, every type but 0
    bool operator==(const AnalogChannelSettings&) const = default;
};

struct DigitalChannelSettings {
    std::uint32_t mode = 0;      // choice list index 0..2; stored as code 0, 1, 3
    std::uint32_t scan_time = 0; // index 0..15
    bool operator==(const DigitalChannelSettings&) const = default;
};

struct UnitDescriptor {
    std::uint32_t type = 0;       // UNIT_NONE, UNIT_KX913 or UNIT_KX927
    std::uint32_t expansions = 0; // 0..3
    bool operator==(const UnitDescriptor&) const = default;
};

// Which optional fields a channel type carries in the analog word.
enum class AnalogClass { Off, Millivolt, Thermocouple, Wired };
AnalogClass AnalogClassOfType(std::uint32_t type);

std::uint32_t EncodeAnalogChannelWord(const AnalogChannelSettings& settings);
AnalogChannelSettings DecodeAnalogChannelWord(std::uint32_t word);
std::uint32_t EncodeDigitalChannelWord(const DigitalChannelSettings& settings);
DigitalChannelSettings DecodeDigitalChannelWord(std::uint32_t word);
UnitDescriptor DecodeUnitDescriptor(std::uint32_t word);
std::uint32_t EncodeUnitDescriptor(std::uint32_t type, std::uint32_t expansions);

} // namespace tarn
