// The built-in default configuration and the start/New configuration: the
// default overlaid by "default.mcf" from the start directory.
#pragma once

#include "config/app_state.h"
#include "config/model.h"

namespace tarn {

inline constexpr const char* DEFAULT_CONFIGURATION_FILE_NAME = "default.mcf";

// Clears image and fills in the built-in default. The tags use text 18 of the
// language in force: "Tag 0.0" for the gateway, "Tag 1.01" .. "Tag 4.64" for channels.
void BuildDefaultConfiguration(SystemConfiguration& image);

// Builds the default into the disk image, reads "default.mcf" of the start
// directory over it (a missing or faulty file shows the reader's error box and
// leaves what was read before the fault), then copies disk to current and
// current to gateway.
void LoadDefaultConfiguration(AppState& state);

} // namespace tarn
