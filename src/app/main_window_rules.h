// What the main window does with its input, apart from drawing: the names that
// hovering shows, the dialog a double-click opens, the guard on closing, and
// the routing of timer 1 by mode.
#pragma once

#include "session/session.h"

#include <string>
#include <vector>

namespace tarn {

// The status-bar name of a diagram element (ids of the diagram's hit regions: 1 gateway,
// 10u + m unit u module m, 50 + r repeater r, 60..66 cables); empty for 0 and unknown ids.
std::string ElementLabel(int element);

struct ElementDialog {
    enum class Kind { None, Gateway, Unit, Repeater };
    Kind kind = Kind::None;
    int index = 0;   // unit 0..3 or repeater 0..3
    int module = 0;  // unit dialogs: 0 base unit, 1..3 expansion
    bool operator==(const ElementDialog&) const = default;
};

// The dialog a double-click on element opens: none while a transfer runs or the serial test
// reads (a transfer mode), and none for cables and unknown ids.
ElementDialog ElementDialogFor(const AppState& state, int element);

// A request to close the main window, or the end of the session: refused while the mode is
// not idle; with unsaved changes only after Yes to text 404.
bool MayCloseMainWindow(AppState& state);

// One tick of timer 1: the transfer step in a transfer mode (the timer is stopped around it
// and armed again at 10 ms when another step is due), then the serial live test's poll step
// in SerialTest, then the Modbus one in ModbusTest, each on the mode the step before left.
// The cells of the unit panels that the poll step changed, for the window to draw.
std::vector<CellChange> MainTimerTick(Session& session);

inline constexpr int TRANSFER_TICK_MS = 10;

} // namespace tarn
