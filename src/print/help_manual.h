// Where Help (8000) finds the user manual.
#pragma once

#include <filesystem>

namespace tarn {

inline constexpr const char* HELP_MANUAL_FILE_NAME = "QMN5521.pdf";

// The folder the installation puts the manual in, for a program installed in programDirectory.
std::filesystem::path InstalledManualDirectory(const std::filesystem::path& programDirectory);

// The manual Help opens: "QMN5521.pdf" of the current directory when there is one; else the copy
// beside the program (a build tree); else the installed copy. When there is none at all, the name
// in the current directory, whose opening then fails as it would have.
std::filesystem::path HelpManualPath(const std::filesystem::path& currentDirectory,
                                     const std::filesystem::path& programDirectory);

} // namespace tarn
