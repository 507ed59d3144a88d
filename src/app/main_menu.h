// The menu bar of the main window as data: built from the application state and
// the text tables every time the window is refreshed, then turned into widgets.
// Its shape follows AppMode: six menus when idle, grayed titles during a
// transfer, a blank title while the serial test reads, Start/Stop/Exit in a live
// test.
#pragma once

#include "config/app_state.h"

#include <string>
#include <vector>

namespace tarn {

struct MenuEntry {
    enum class Kind { Command, Popup, Separator };
    Kind kind = Kind::Command;
    int id = 0;              // commands only
    std::string label;       // Windows-1252, no mnemonics
    bool enabled = true;
    bool checkable = false;  // commands only: an item with a check mark, checked or not
    bool checked = false;
    std::vector<MenuEntry> items;  // popups only
    bool operator==(const MenuEntry&) const = default;
};

// The bar for the state in force: the mode, TestRunning, the current file name, both ports,
// MASTER_REPT and each unit's SLAVE_EXP of the current image; labels in the current language.
std::vector<MenuEntry> BuildMainMenu(const AppState& state);

} // namespace tarn
