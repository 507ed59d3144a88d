// A locale with a decimal comma for the tests of number formats: it_IT.UTF-8, compiled
// with localedef into a folder of its own the first time a test asks, and found through
// LOCPATH. Nothing when this machine cannot make it (no localedef, no locale sources, as
// without Debian's "locales" package); tests then skip with the reason.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace tarn::testing {

struct CommaLocale {
    std::string name;  // for LC_ALL
    std::string path;  // for LOCPATH
};

inline std::optional<CommaLocale> MakeCommaLocale()
{
    namespace fs = std::filesystem;
    const CommaLocale locale{"it_IT.UTF-8", (fs::temp_directory_path() / "tarn-comma-locale").string()};
    const auto made = [&](const fs::path& dir) { return fs::exists(dir / locale.name / "LC_NUMERIC"); };
    if (made(locale.path)) return locale;
    // Built beside the folder and renamed into place, so that test processes running side by
    // side never see half a locale.
    std::string building = locale.path + "-XXXXXX";
    if (!::mkdtemp(building.data())) return std::nullopt;
    const std::string command =
        "localedef -i it_IT -f UTF-8 '" + building + "/" + locale.name + "' >/dev/null 2>&1";
    (void)std::system(command.c_str());  // warnings give a non-zero status to a usable locale
    std::error_code ec;
    if (made(building)) fs::rename(building, locale.path, ec);
    fs::remove_all(building, ec);
    if (made(locale.path)) return locale;
    return std::nullopt;
}

} // namespace tarn::testing
