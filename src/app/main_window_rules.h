// What the main window does with its input, apart from drawing: the names that
// hovering shows, the dialog a double-click opens, the guard on closing, and
// the routing of timer 1 by mode, and the menu commands that name their target.
#pragma once

#include "session/session.h"

#include <functional>
#include <optional>
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

// The target of a menu command that names one: Configure unit u (0..3) module m (0..3)
// 2100 + 100u + 10m, Configure repeater r 2500 + 10r, Calibrate unit u 5100 + 100u; kind None
// for every other id.
struct CommandTarget {
    enum class Kind { None, Unit, Repeater, Calibrate };
    Kind kind = Kind::None;
    int index = 0;   // unit or repeater
    int module = 0;  // Unit: 0 base unit, 1..3 expansion
    bool operator==(const CommandTarget&) const = default;
};
CommandTarget DecodeTargetCommand(int id);

// A request to close the main window: refused while the mode is not idle; with unsaved
// changes only after Yes to text 404.
bool MayCloseMainWindow(AppState& state);

// The end of the session, as the session manager asks for it: refused while an exchange runs
// or the mode is not idle, and with unsaved changes when the user may not be asked (mayAsk is
// called only then); otherwise as MayCloseMainWindow.
bool MayEndSession(AppState& state, bool exchangeInProgress, const std::function<bool()>& mayAsk);

// The window's close event: deferred while an exchange runs (and taken after it with the guard
// as it stands then); accepted at once when the end of the session has been approved, else
// as MayCloseMainWindow answers.
enum class CloseAnswer { Defer, Refuse, Accept };
CloseAnswer AnswerCloseEvent(AppState& state, bool exchangeInProgress, bool endApproved);

// What one tick of timer 1 did: the cells of the unit panels the poll step changed, for the
// window to draw, the records it read, for the trend, and the period in ms timer 1 runs at
// from now on (0 stopped; nothing: as it runs).
struct MainTick {
    std::vector<CellChange> cells;
    std::optional<int> nextTickMs;
    RecordsRead read;
    std::optional<int> pollOk;  // PollStep::ok of the live test's step, when one ran
};

// Whether timer 1 stands still during the tick about to run: a transfer step holds it, so that
// no tick falls due during a slow step, and arms it again only when another step is due.
bool TickHoldsMainTimer(const AppState& state);

// One tick of timer 1: the transfer step in a transfer mode (10 ms to the next one when it is
// due, else 0), then the serial live test's poll step in SerialTest, then the Modbus one in
// ModbusTest, each on the mode the step before left.
MainTick MainTimerTick(Session& session);

inline constexpr int TRANSFER_TICK_MS = 10;

} // namespace tarn
