// A menu bar as lines of text for comparisons: the path of labels, the id of a
// command, "(grayed)" when disabled, "---" for a separator.
#pragma once

#include "app/main_menu.h"

#include <string>
#include <vector>

namespace tarn::testing {

inline void AppendMenuLines(const std::vector<MenuEntry>& entries, const std::string& path, std::vector<std::string>& out)
{
    for (const MenuEntry& e : entries) {
        const std::string grayed = e.enabled ? "" : " (grayed)";
        if (e.kind == MenuEntry::Kind::Separator) out.push_back(path + "---");
        else if (e.kind == MenuEntry::Kind::Command) out.push_back(path + e.label + " [" + std::to_string(e.id) + "]" + grayed);
        else out.push_back(path + e.label + grayed), AppendMenuLines(e.items, path + e.label + " > ", out);
    }
}

inline std::vector<std::string> MenuLines(const std::vector<MenuEntry>& bar)
{
    std::vector<std::string> out;
    AppendMenuLines(bar, "", out);
    return out;
}

} // namespace tarn::testing
