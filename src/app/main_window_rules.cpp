#include "app/main_window_rules.h"

#include "dialogs/config_edits.h"
#include "session/session.h"
#include "text/command_ids.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

namespace tarn {

namespace {

// Unit u (1..4) and module m (0..3) of a unit element, or false.
bool UnitElement(int element, int& unit, int& module)
{
    unit = element / 10;
    module = element % 10;
    return unit >= 1 && unit <= 4 && module <= 3;
}

} // namespace

std::string ElementLabel(int element)
{
    int unit = 0, module = 0;
    if (element == 1) return GetText(TEXT_ELEMENT_GATEWAY);
    if (UnitElement(element, unit, module)) {
        std::string label = GetText(TEXT_ELEMENT_SLAVE) + " " + std::to_string(unit);
        if (module > 0) label += " - " + GetText(TEXT_ELEMENT_EXPANSION) + " " + std::to_string(module);
        return label;
    }
    if (element >= 50 && element <= 53) return GetText(TEXT_ELEMENT_REPEATER) + " " + std::to_string(element - 50 + 1);
    if (element >= 60 && element <= 66) return GetText(TEXT_ELEMENT_CABLE_FIRST + element - 60);
    return {};
}

ElementDialog ElementDialogFor(const AppState& state, int element)
{
    if (ConfigurationDialogsBlocked(state)) return {};
    int unit = 0, module = 0;
    if (element == 1) return {ElementDialog::Kind::Gateway, 0, 0};
    if (UnitElement(element, unit, module)) return {ElementDialog::Kind::Unit, unit - 1, module};
    if (element >= 50 && element <= 53) return {ElementDialog::Kind::Repeater, element - 50, 0};
    return {};
}

CommandTarget DecodeTargetCommand(int id)
{
    using Kind = CommandTarget::Kind;
    if (id >= CMD_CONFIGURE_UNIT_FIRST && id <= CMD_CONFIGURE_UNIT_LAST && id % 10 == 0) {
        const int module = id % 100 / 10;
        if (module <= 3) return {Kind::Unit, (id - CMD_CONFIGURE_UNIT_FIRST) / 100, module};
    }
    for (int i = 0; i < 4; ++i) {
        if (id == RepeaterCommand(i)) return {Kind::Repeater, i, 0};
        if (id == CalibrateCommand(i)) return {Kind::Calibrate, i, 0};
    }
    return {};
}

bool MayCloseMainWindow(AppState& s)
{
    if (!IsIdle(s.mode)) return false;
    if (s.FileModified || s.GatewayModified) return AskProceedAnyway(*s.ui, GetText(TEXT_UNSAVED_CHANGES_LOST)) != 0;
    return true;
}

bool MayEndSession(AppState& s, bool exchangeInProgress, const std::function<bool()>& mayAsk)
{
    // The answer cannot wait for the exchange: the session stays, as it does while a mode runs.
    if (exchangeInProgress || !IsIdle(s.mode)) return false;
    // Without leave to ask, unsaved changes keep the session alive rather than being lost.
    if ((s.FileModified || s.GatewayModified) && !mayAsk()) return false;
    return MayCloseMainWindow(s);
}

CloseAnswer AnswerCloseEvent(AppState& state, bool exchangeInProgress, bool endApproved)
{
    if (exchangeInProgress) return CloseAnswer::Defer;
    return endApproved || MayCloseMainWindow(state) ? CloseAnswer::Accept : CloseAnswer::Refuse;
}

bool TickHoldsMainTimer(const AppState& state) { return IsTransfer(state.mode); }

MainTick MainTimerTick(Session& session)
{
    MainTick tick;
    if (IsTransfer(session.mode)) tick.nextTickMs = session.transfer.Step() ? TRANSFER_TICK_MS : 0;
    if (session.mode == AppMode::SerialTest) {
        PollStep serial = session.live.SerialPollStep();
        tick.cells = std::move(serial.cells);
        tick.read = serial.read;
        tick.pollOk = serial.ok;
    }
    if (session.mode == AppMode::ModbusTest) {
        PollStep modbus = session.live.ModbusPollStep();
        tick.cells.insert(tick.cells.end(), modbus.cells.begin(), modbus.cells.end());
        if (modbus.read.unit >= 0) tick.read = modbus.read;
        tick.pollOk = modbus.ok;
    }
    return tick;
}

} // namespace tarn
