#include "print/help_manual.h"

#include <system_error>

namespace tarn {

namespace fs = std::filesystem;

fs::path InstalledManualDirectory(const fs::path& programDirectory)
{
    // Relative, so that an installation that is moved as a whole still finds its manual.
    return (programDirectory / TARN_MANUAL_RELATIVE_DIR).lexically_normal();
}

fs::path HelpManualPath(const fs::path& currentDirectory, const fs::path& programDirectory)
{
    const fs::path candidates[] = {
        currentDirectory / HELP_MANUAL_FILE_NAME,
        programDirectory / HELP_MANUAL_FILE_NAME,
        InstalledManualDirectory(programDirectory) / HELP_MANUAL_FILE_NAME,
    };
    for (const fs::path& candidate : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate;
    }
    return candidates[0];
}

} // namespace tarn
