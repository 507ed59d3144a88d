#include "app/main_window_rules.h"

#include "session/session.h"
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
    if (IsTransfer(state.mode)) return {};
    int unit = 0, module = 0;
    if (element == 1) return {ElementDialog::Kind::Gateway, 0, 0};
    if (UnitElement(element, unit, module)) return {ElementDialog::Kind::Unit, unit - 1, module};
    if (element >= 50 && element <= 53) return {ElementDialog::Kind::Repeater, element - 50, 0};
    return {};
}

bool MayCloseMainWindow(AppState& s)
{
    if (!IsIdle(s.mode)) return false;
    if (s.FileModified || s.GatewayModified) return AskProceedAnyway(*s.ui, GetText(TEXT_UNSAVED_CHANGES_LOST)) != 0;
    return true;
}

std::vector<CellChange> MainTimerTick(Session& session)
{
    UserInterface& ui = *session.ui;
    if (IsTransfer(session.mode)) {
        ui.SetMainTimer(0);
        if (session.transfer.Step()) ui.SetMainTimer(TRANSFER_TICK_MS);
    }
    std::vector<CellChange> cells;
    if (session.mode == AppMode::SerialTest) cells = session.live.SerialPollStep().cells;
    if (session.mode == AppMode::ModbusTest) {
        std::vector<CellChange> modbus = session.live.ModbusPollStep().cells;
        cells.insert(cells.end(), modbus.begin(), modbus.end());
    }
    return cells;
}

} // namespace tarn
