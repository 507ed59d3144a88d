// The menu bar of the main window as data: built from the application state and
// the text tables every time the window is refreshed, then turned into widgets.
// Its shape follows AppMode: six menus when idle, grayed titles during a
// transfer, a blank title while the serial test reads, Start/Stop/Exit in a live
// test.
#pragma once

#include "config/app_state.h"

#include <span>
#include <string>
#include <vector>

namespace tarn {

enum MenuCommand : int {
    CMD_FILE_NEW = 1000,
    CMD_FILE_OPEN = 1100,
    CMD_FILE_SAVE = 1200,
    CMD_FILE_SAVE_AS = 1300,
    CMD_FILE_SAVE_COPY = 1400,
    CMD_READ_GATEWAY = 1500,
    CMD_WRITE_GATEWAY = 1600,
    CMD_PRINT = 1700,
    CMD_EXIT = 1800,
    CMD_CONFIGURE_GATEWAY = 2000,
    CMD_CONFIGURE_UNIT_FIRST = 2100,  // unit n (1..4), module k (0..3): 2000 + 100 n + 10 k
    CMD_CONFIGURE_UNIT_LAST = 2430,
    CMD_CONFIGURE_REPEATER_FIRST = 2500,  // repeater r (0..3): 2500 + 10 r
    CMD_CONFIGURE_REPEATER_LAST = 2530,
    CMD_EMI_TEST = 3999,
    CMD_SINGLE_CHANNEL_TEST = 4000,
    CMD_SERIAL_LIVE_TEST = 4100,
    CMD_MODBUS_LIVE_TEST = 4200,
    CMD_STATUS_TEST = 4300,
    CMD_CALIBRATE_FIRST = 5100,  // unit index u (0..3): 5100 + 100 u
    CMD_CALIBRATE_LAST = 5400,
    CMD_COMPARE_DISK = 6000,
    CMD_COMPARE_GATEWAY = 6100,
    CMD_PORT_SETUP = 7000,
    CMD_PREFERENCES = 7100,
    CMD_ENGLISH = 7200,
    CMD_ITALIAN = 7300,
    CMD_HELP = 8000,
    CMD_ABOUT = 8200,
    CMD_SERIAL_TEST_START = 10100,
    CMD_SERIAL_TEST_STOP = 10101,
    CMD_SERIAL_TEST_EXIT = 10102,
    CMD_MODBUS_TEST_START = 10200,
    CMD_MODBUS_TEST_STOP = 10201,
    CMD_MODBUS_TEST_EXIT = 10202,
};

inline constexpr int UnitCommand(int unitIndex, int module) { return 2100 + 100 * unitIndex + 10 * module; }
inline constexpr int RepeaterCommand(int repeater) { return 2500 + 10 * repeater; }
inline constexpr int CalibrateCommand(int unitIndex) { return 5100 + 100 * unitIndex; }

// Every id of the command table, in menu order.
std::span<const int> MainMenuCommandIds();

struct MenuEntry {
    enum class Kind { Command, Popup, Separator };
    Kind kind = Kind::Command;
    int id = 0;              // commands only
    std::string label;       // Windows-1252, no mnemonics
    bool enabled = true;
    std::vector<MenuEntry> items;  // popups only
    bool operator==(const MenuEntry&) const = default;
};

// The bar for the state in force: the mode, TestRunning, the current file name, both ports,
// MASTER_REPT and each unit's SLAVE_EXP of the current image; labels in the current language.
std::vector<MenuEntry> BuildMainMenu(const AppState& state);

} // namespace tarn
