// The ids of the menu commands: the items of the main menu, the Start/Stop/Exit menu
// of the live tests, and what the command line and the window dispatch.
#pragma once

namespace tarn {

enum CommandId : int {
    CMD_FILE_NEW = 1000,
    CMD_FILE_OPEN = 1100,
    CMD_FILE_SAVE = 1200,
    CMD_FILE_SAVE_AS = 1300,
    CMD_FILE_SAVE_COPY = 1400,
    CMD_READ_GATEWAY = 1500,
    CMD_WRITE_GATEWAY = 1600,
    CMD_PRINT = 1700,
    CMD_COMMISSIONING_REPORT = 1750,
    CMD_EXIT = 1800,
    CMD_CONFIGURE_GATEWAY = 2000,
    CMD_CONFIGURE_UNIT_FIRST = 2100,  // unit index u (0..3), module k (0..3): UnitCommand(u, k)
    CMD_CONFIGURE_UNIT_LAST = 2430,
    CMD_CONFIGURE_REPEATER_FIRST = 2500,  // repeater r (0..3): RepeaterCommand(r)
    CMD_CONFIGURE_REPEATER_LAST = 2530,
    CMD_EMI_TEST = 3999,
    CMD_SINGLE_CHANNEL_TEST = 4000,
    CMD_SERIAL_LIVE_TEST = 4100,
    CMD_MODBUS_LIVE_TEST = 4200,
    CMD_STATUS_TEST = 4300,
    CMD_CALIBRATE_FIRST = 5100,  // unit index u (0..3): CalibrateCommand(u)
    CMD_CALIBRATE_LAST = 5400,
    CMD_COMPARE_DISK = 6000,
    CMD_COMPARE_GATEWAY = 6100,
    CMD_PORT_SETUP = 7000,
    CMD_PREFERENCES = 7100,
    CMD_ENGLISH = 7200,
    CMD_ITALIAN = 7300,
    CMD_VERIFY_AFTER_WRITE = 7400,
    CMD_HELP = 8000,
    CMD_ABOUT = 8200,
    CMD_SERIAL_TEST_START = 10100,  // the menu of the serial live test
    CMD_SERIAL_TEST_STOP = 10101,
    CMD_SERIAL_TEST_EXIT = 10102,
    CMD_SERIAL_TEST_LOG = 10103,  // Log to File... and Stop Logging, after the three of the test
    CMD_SERIAL_TEST_STOP_LOG = 10104,
    CMD_SERIAL_TEST_TREND = 10110,
    CMD_MODBUS_TEST_START = 10200,  // the menu of the Modbus live test
    CMD_MODBUS_TEST_STOP = 10201,
    CMD_MODBUS_TEST_EXIT = 10202,
    CMD_MODBUS_TEST_LOG = 10203,
    CMD_MODBUS_TEST_STOP_LOG = 10204,
    CMD_MODBUS_TEST_TREND = 10210,
};

inline constexpr int UnitCommand(int unitIndex, int module)
{
    return CMD_CONFIGURE_UNIT_FIRST + 100 * unitIndex + 10 * module;
}
inline constexpr int RepeaterCommand(int repeater) { return CMD_CONFIGURE_REPEATER_FIRST + 10 * repeater; }
inline constexpr int CalibrateCommand(int unitIndex) { return CMD_CALIBRATE_FIRST + 100 * unitIndex; }

} // namespace tarn
