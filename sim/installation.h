// The configuration the simulated gateway starts with.
#pragma once

#include "config/model.h"

#include <string>

namespace tarn::sim {

// The built-in default; unless empty, with a small installation: a KX913 with one expansion
// at position 1 (a mix of channel types, one channel off) and a KX927 at position 2.
void BuildInstallation(SystemConfiguration& image, bool empty);

// The built-in default overlaid by a configuration file. false with a message naming the
// file, the line and the fault when the file cannot be read in full.
bool LoadInstallation(const std::string& path, SystemConfiguration& image, std::string& error);

} // namespace tarn::sim
