// Two sample installations for the end-to-end tests, written as configuration
// files by the program's own writer.
#pragma once

#include "config/channel_word.h"
#include "config/config_file.h"
#include "config/default_config.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace tarn::e2e {

// Every master field away from its default; a full KX913, a KX927 and a small KX913.
inline SystemConfiguration PlantA()
{
    SystemConfiguration c;
    BuildDefaultConfiguration(c);
    SetFieldText(c.MASTER_TAG, "PLANT A");
    c.MASTER_CABLE = 2;
    c.MASTER_FREQ = 1;
    c.MASTER_MOD_ADDR = 17;
    c.MASTER_MOD_BAUD = 2;
    c.MASTER_MOD_FORM = 3;
    c.MASTER_MOD_CONFIG = 1;
    c.MASTER_REPT = 2;
    c.MASTER_REPT_MAT[0] = 2;
    c.MASTER_REPT_MAT[1] = 2;

    UnitRecord& analog = c.units[0];
    analog.SLAVE_TYPE = UNIT_KX913;
    analog.SLAVE_EXP = 3;
    analog.SLAVE_CJC = -125;
    for (int ch = 0; ch < 64; ++ch) {
        const std::uint32_t type = static_cast<std::uint32_t>(ch % 31);
        analog.channels[ch].word = EncodeAnalogChannelWord({type, static_cast<std::uint32_t>(ch % 4), static_cast<std::uint32_t>(ch % 2),
                                                            static_cast<std::uint32_t>(ch / 2 % 2), static_cast<std::uint32_t>(ch / 4 % 4)});
        char tag[17];
        std::snprintf(tag, sizeof tag, "TT-1%02d", ch + 1);
        SetFieldText(analog.channels[ch].tag, tag);
    }

    UnitRecord& digital = c.units[2];
    digital.SLAVE_TYPE = UNIT_KX927;
    for (int ch = 0; ch < 32; ++ch) {
        digital.channels[ch].word = EncodeDigitalChannelWord({static_cast<std::uint32_t>(ch % 3), static_cast<std::uint32_t>(ch % 16)});
        char tag[17];
        std::snprintf(tag, sizeof tag, "XS-3%02d VALVE", ch + 1);
        SetFieldText(digital.channels[ch].tag, tag);
    }

    UnitRecord& small = c.units[3];
    small.SLAVE_TYPE = UNIT_KX913;
    small.SLAVE_CJC = 1000;
    for (int ch = 0; ch < 16; ++ch) small.channels[ch].word = EncodeAnalogChannelWord({3, 0, 0, 1, 3});
    return c;
}

// PlantA with a handful of differences in every part of the record.
inline SystemConfiguration PlantB()
{
    SystemConfiguration c = PlantA();
    SetFieldText(c.MASTER_TAG, "PLANT B");
    c.MASTER_FREQ = 0;
    c.units[0].SLAVE_EXP = 1;
    c.units[0].channels[5].word = EncodeAnalogChannelWord({7, 1, 0, 0, 2});
    SetFieldText(c.units[2].channels[9].tag, "CHANGED");
    c.units[1].SLAVE_TYPE = UNIT_KX927;
    return c;
}

inline bool WriteSample(const std::string& path, const SystemConfiguration& c)
{
    std::ofstream out(path, std::ios::binary);
    out << FormatConfiguration(c);
    return static_cast<bool>(out);
}

} // namespace tarn::e2e
