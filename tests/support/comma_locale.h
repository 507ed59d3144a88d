// A locale with a decimal comma for the tests of number formats: it_IT.UTF-8, compiled with
// localedef into a folder of its own (for LOCPATH) the first time a test asks. Nothing when
// this machine cannot make it (no localedef, or no sources without Debian's "locales").
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace tarn::testing {

struct CommaLocale {
    std::string name = "it_IT.UTF-8";  // for LC_ALL
    std::string path;                  // for LOCPATH
};

inline std::optional<CommaLocale> MakeCommaLocale()
{
    namespace fs = std::filesystem;
    CommaLocale locale;
    locale.path = (fs::temp_directory_path() / "tarn-comma-locale").string();
    const auto made = [&](const std::string& dir) { return fs::exists(fs::path(dir) / locale.name / "LC_NUMERIC"); };
    if (made(locale.path)) return locale;
    // Made beside the folder and renamed into place: tests running side by side never see half
    // a locale. localedef's warnings make its status non-zero for a usable locale.
    std::string building = locale.path + "-XXXXXX";
    if (!::mkdtemp(building.data())) return std::nullopt;
    (void)std::system(("localedef -i it_IT -f UTF-8 '" + building + "/" + locale.name + "' >/dev/null 2>&1").c_str());
    std::error_code ec;
    if (made(building)) fs::rename(building, locale.path, ec);
    fs::remove_all(building, ec);
    return made(locale.path) ? std::optional(locale) : std::nullopt;
}

} // namespace tarn::testing
