#include "config/channel_word.h"

namespace tarn {

AnalogClass AnalogClassOfType(std::uint32_t type)
{
    type &= 0x3F;
    if (type == 0) return AnalogClass::Off;
    if (type <= 2) return AnalogClass::Millivolt;
    if (type >= 4 && type <= 17) return AnalogClass::Thermocouple;
    return AnalogClass::Wired; // 3 and 18..63: the word class goes by number, not by wording
}

std::uint32_t EncodeAnalogChannelWord(const AnalogChannelSettings& s)
{
    const std::uint32_t type = s.type & 0x3F;
    std::uint32_t word = type | (s.filter & 3) << 11;
    switch (AnalogClassOfType(type)) {
    case AnalogClass::Off: return 0;
    case AnalogClass::Millivolt: word |= (s.burnout & 3) << 7; break;
    case AnalogClass::Thermocouple: word |= (s.burnout & 3) << 7 | (s.cold_junction & 1) << 9; break;
    case AnalogClass::Wired: word |= (s.wires & 1) << 7; break;
    }
    return word;
}

AnalogChannelSettings DecodeAnalogChannelWord(std::uint32_t word)
{
    AnalogChannelSettings s;
    s.type = word & 0x3F;
    const AnalogClass cls = AnalogClassOfType(s.type);
    if (cls == AnalogClass::Off) return s;
    s.filter = word >> 11 & 3;
    if (cls == AnalogClass::Millivolt || cls == AnalogClass::Thermocouple) s.burnout = word >> 7 & 3;
    if (cls == AnalogClass::Thermocouple) s.cold_junction = word >> 9 & 1;
    if (cls == AnalogClass::Wired) s.wires = word >> 7 & 1;
    return s;
}

std::uint32_t EncodeDigitalChannelWord(const DigitalChannelSettings& s)
{
    const std::uint32_t code = s.mode == 2 ? 3 : s.mode;
    return (s.scan_time & 15) << 3 | code;
}

DigitalChannelSettings DecodeDigitalChannelWord(std::uint32_t word)
{
    DigitalChannelSettings s;
    const std::uint32_t code = word & 3;
    s.mode = code == 3 ? 2 : code;
    s.scan_time = word >> 3 & 15;
    return s;
}

UnitDescriptor DecodeUnitDescriptor(std::uint32_t word)
{
    UnitDescriptor d;
    const std::uint32_t code = word >> 4 & 15;
    d.type = code == 1 ? 1 : code == 3 ? 3 : 0;
    d.expansions = word & 3;
    return d;
}

std::uint32_t EncodeUnitDescriptor(std::uint32_t type, std::uint32_t expansions)
{
    if (type == 1) return 0x10 | expansions;
    if (type == 3) return 0x30 | expansions;
    return expansions;
}

} // namespace tarn
