// The configuration side of a session: the three configuration images, the
// modified flags, the busy mode of the main window, the ports and the files, and
// the user interface that the file commands and engines talk to. A Session (in
// src/session) adds the links and the engines; a test makes its own.
#pragma once

#include "config/model.h"
#include "config/safe_file.h"
#include "text/user_interface.h"

#include <string>

namespace tarn {

// What the main window is busy with. Timer 1 carries one of them at a time.
enum class AppMode {
    Idle,
    ReadGateway,
    WriteGateway,
    CompareGateway,
    PrepareSerialTest,  // the reading transfer that starts the serial live test
    SerialTest,
    ModbusTest,
};

constexpr bool IsIdle(AppMode mode) { return mode == AppMode::Idle; }
// A whole configuration moves over the serial link, one 10 ms step per tick.
constexpr bool IsTransfer(AppMode mode)
{
    return mode == AppMode::ReadGateway || mode == AppMode::WriteGateway || mode == AppMode::CompareGateway ||
           mode == AppMode::PrepareSerialTest;
}
// A live test's mode after its start reads: Start, Stop and Exit apply.
constexpr bool IsLiveTest(AppMode mode) { return mode == AppMode::SerialTest || mode == AppMode::ModbusTest; }
// The view shows the four unit panels (the live test and its reading phase).
constexpr bool ShowsUnitPanels(AppMode mode) { return mode == AppMode::PrepareSerialTest || IsLiveTest(mode); }

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

// What the main window must draw anew before it shows anything else: the menu bar and title
// alone (a live test's Start and Stop, which keep the cells), or the whole window.
enum class ViewRefresh { None, MenuBar, Full };

// Sets the live values of the channels a panel paint draws to 0, read state none: a KX913's
// channels in use, a KX927's 32 (whose records 0..3 hold the packed states).
void ResetPanelLiveValues(SystemConfiguration& gatewayImage);

// The largest NETLATENCY, in ms.
inline constexpr int NETWORK_LATENCY_MAX_MS = 10000;

struct AppState {
    // ui must outlive the state.
    explicit AppState(UserInterface& userInterface) : ui(&userInterface) {}

    SystemConfiguration current{};  // what the user edits, the view draws, the printout shows
    SystemConfiguration gateway{};  // filled by every read from the gateway; live readings
    SystemConfiguration disk{};     // staging area of configuration file reads and writes
    bool FileModified = false;
    bool GatewayModified = false;
    AppMode mode = AppMode::Idle;
    bool TestRunning = false;
    bool Logging = false;  // a live test's values go to a log file (the window's Log to File)

    PortSetting serialPort;         // SERIALPORT
    PortSetting modbusPort;         // MODBUSPORT
    int netLatencyMs = 0;           // NETLATENCY: ms a network adds to each reply of a network port
    bool verifyAfterWrite = false;  // VERIFYWRITE: a write ends with a comparison with the gateway

    std::string currentFileName;    // empty after start and after New
    std::string startDirectory;     // working directory when the settings were read
    std::string comparisonReport;   // last comparison report, CR LF line ends
    int comparisonErrors = 0;       // items of that report with the verdict Error

    UserInterface* ui;              // never null
    SaveOptions saving;             // how the file commands save (tests inject faults here)

    // Sets both modified flags: called when the user confirms a change in a dialog.
    void MarkConfigurationChanged()
    {
        FileModified = true;
        GatewayModified = true;
    }

    // Engines and file commands ask for a refresh instead of drawing; the larger request wins.
    void RequestRefresh(ViewRefresh refresh)
    {
        if (refresh > pendingRefresh_) pendingRefresh_ = refresh;
    }
    // The refresh asked for since the last call, cleared. A full one while the unit panels are
    // shown resets their cells' live values: the panels are drawn anew with nothing read.
    ViewRefresh TakeRefresh();

private:
    ViewRefresh pendingRefresh_ = ViewRefresh::None;
};

} // namespace tarn
