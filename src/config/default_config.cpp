#include "config/default_config.h"

#include "config/app_state.h"
#include "config/config_file.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <cstdio>
#include <filesystem>

namespace tarn {

void BuildDefaultConfiguration(SystemConfiguration& image)
{
    ClearConfiguration(image);
    const std::string& tag = GetText(TEXT_TAG);
    SetFieldText(image.MASTER_TAG, tag + " 0.0");
    image.MASTER_CABLE = 0;
    image.MASTER_FREQ = 0;
    for (int r = 0; r < REPEATER_COUNT; ++r) image.MASTER_REPT_MAT[r] = static_cast<std::uint32_t>(r);
    image.MASTER_MOD_ADDR = 1;
    image.MASTER_MOD_BAUD = 1; // 9600 baud
    image.MASTER_MOD_FORM = 0;
    image.MASTER_MOD_CONFIG = 0;
    for (int u = 0; u < UNIT_COUNT; ++u) {
        image.units[u].SLAVE_TYPE = UNIT_NONE;
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            char number[16];
            std::snprintf(number, sizeof number, " %d.%02d", u + 1, c + 1);
            SetFieldText(image.units[u].channels[c].tag, tag + number);
        }
    }
}

void LoadDefaultConfiguration(AppState& state)
{
    BuildDefaultConfiguration(state.disk);
    // Addressed through the start directory: the file dialogs may have moved the working one.
    const std::string path = state.startDirectory.empty()
                                 ? std::string(DEFAULT_CONFIGURATION_FILE_NAME)
                                 : (std::filesystem::path(state.startDirectory) / DEFAULT_CONFIGURATION_FILE_NAME).string();
    // Whatever the reader left in the disk image is used, fault or not.
    (void)ReadConfigurationFile(state, path, DEFAULT_CONFIGURATION_FILE_NAME);
    CopyConfiguration(state.current, state.disk);
    CopyConfiguration(state.gateway, state.current);
}

} // namespace tarn
