// The process-wide state of the program: the three configuration images, the
// modified flags, the busy mode of the main window and the settings. main()
// creates one and installs it; a test installs a fresh one.
#pragma once

#include "config/model.h"

#include <string>

namespace tarn {

enum AppModeValue : int {
    MODE_IDLE = 0,
    MODE_READ_GATEWAY = 1,
    MODE_WRITE_GATEWAY = 2,
    MODE_COMPARE_GATEWAY = 3,
    MODE_PREPARE_SERIAL_TEST = 4,
    MODE_SERIAL_TEST = 5,
    MODE_MODBUS_TEST = 6,
};

// A serial port as the settings file keeps it: a COM number 1..256 (0 = none),
// or a device named by path ("/dev/ttyUSB0", a by-id link, a pseudo-terminal).
struct PortSetting {
    int number = 0;      // used when name is empty
    std::string name;    // set when the port was given by name; written back quoted

    bool IsNone() const { return name.empty() && number == 0; }
    // The device to open: "" for none; COM n is /dev/ttySn-1 here, as Wine and DOS emulators map it.
    std::string DevicePath() const;
    bool operator==(const PortSetting&) const = default;
};

struct AppState {
    SystemConfiguration current{};  // what the user edits, the view draws, the printout shows
    SystemConfiguration gateway{};  // filled by every read from the gateway; live readings
    SystemConfiguration disk{};     // staging area of configuration file reads and writes
    bool FileModified = false;
    bool GatewayModified = false;
    int AppMode = MODE_IDLE;
    bool TestRunning = false;

    PortSetting serialPort;         // SERIALPORT
    PortSetting modbusPort;         // MODBUSPORT

    std::string currentFileName;    // empty after start and after New
    std::string startDirectory;     // working directory when the settings were read
    std::string comparisonReport;   // last comparison report, CR LF line ends
    int comparisonErrors = 0;       // items of that report with the verdict Error
};

// The installed state; a default instance is in place until Install is called.
AppState& State();
// Installs state as the process-wide state (nullptr restores the default instance).
void InstallState(AppState* state);

// Sets both modified flags: called when the user confirms a change in a dialog.
void MarkConfigurationChanged();

} // namespace tarn
