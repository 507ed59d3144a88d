#include "sim/installation.h"

#include "config/channel_word.h"
#include "config/config_file.h"
#include "config/default_config.h"

#include <iterator>

namespace tarn::sim {

void BuildInstallation(SystemConfiguration& image, bool empty)
{
    BuildDefaultConfiguration(image);
    if (empty) return;

    // type, burnout, cold junction, wires, filter
    static const AnalogChannelSettings analog[] = {
        {1, 0, 0, 0, 1},  {2, 1, 0, 0, 2},  {3, 0, 0, 1, 3},  {7, 1, 0, 0, 1},  {19, 0, 0, 0, 2}, {6, 2, 1, 0, 0},
        {22, 0, 0, 1, 1}, {0, 0, 0, 0, 0},  {5, 0, 0, 0, 3},  {11, 3, 0, 0, 1}, {26, 0, 0, 0, 0}, {30, 0, 0, 1, 2},
        {4, 1, 0, 0, 1},  {12, 0, 1, 0, 2}, {20, 0, 0, 1, 3}, {16, 2, 0, 0, 0},
    };
    UnitRecord& analogUnit = image.units[0];
    analogUnit.SLAVE_TYPE = UNIT_KX913;
    analogUnit.SLAVE_EXP = 1;
    analogUnit.SLAVE_CJC = 235;
    for (int c = 0; c < 32; ++c)
        analogUnit.channels[c].word = EncodeAnalogChannelWord(analog[c % std::size(analog)]);

    UnitRecord& digitalUnit = image.units[1];
    digitalUnit.SLAVE_TYPE = UNIT_KX927;
    digitalUnit.SLAVE_EXP = 0;
    for (int c = 0; c < 32; ++c) {
        const std::uint32_t mode = c % 8 == 7 ? 0 : c % 3 == 2 ? 2 : 1;
        digitalUnit.channels[c].word = EncodeDigitalChannelWord({mode, static_cast<std::uint32_t>(c % 16)});
    }
}

bool LoadInstallation(const std::string& path, SystemConfiguration& image, std::string& error)
{
    BuildDefaultConfiguration(image);
    const ConfigReadFault fault = ParseConfigurationFile(path, image);
    if (fault.ok()) return true;
    switch (fault.kind) {
    case ConfigReadFault::Open: error = path + ": cannot open the configuration file"; break;
    case ConfigReadFault::Read: error = path + ": error reading the configuration file"; break;
    default:
        error = path + ":" + std::to_string(fault.line) + ": statement error " + std::to_string(fault.code) + ": " +
                fault.statement;
        break;
    }
    return false;
}

} // namespace tarn::sim
