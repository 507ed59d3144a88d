#include "dialogs/open_dialogs.h"

#include "dialogs/channel_dialogs.h"
#include "dialogs/config_edits.h"
#include "dialogs/dialog_support.h"
#include "dialogs/gateway_dialog.h"
#include "dialogs/repeater_dialog.h"
#include "dialogs/unit_dialog.h"
#include "text/user_interface.h"

namespace tarn {

void OpenGatewayDialog(AppState& state, QWidget* parent)
{
    if (ConfigurationDialogsBlocked(state)) return;
    {
        GatewayDialog dialog(state, parent);
        RunDialog(*state.ui, dialog);
    }
    state.RequestRefresh(ViewRefresh::Full);
}

void OpenUnitDialog(AppState& state, QWidget* parent, int unit, int module)
{
    if (ConfigurationDialogsBlocked(state) || unit < 0 || unit >= UNIT_COUNT || module < 0 || module > 3) return;
    int result = UNIT_DIALOG_CANCEL;
    {
        UnitDialog dialog(state, parent, unit, module);
        result = RunDialog(*state.ui, dialog);
    }
    // The choice takes effect once the dialog has closed.
    if (result == UNIT_DIALOG_EDIT_CHANNELS) EditChannels(state, parent, unit, module);
    else ApplyUnitDialogResult(state, unit, result);
    state.RequestRefresh(ViewRefresh::Full);
}

void OpenRepeaterDialog(AppState& state, QWidget* parent, int repeater)
{
    if (ConfigurationDialogsBlocked(state) || repeater < 0 || repeater >= REPEATER_COUNT) return;
    {
        RepeaterDialog dialog(state, parent, repeater);
        RunDialog(*state.ui, dialog);
    }
    state.RequestRefresh(ViewRefresh::Full);
}

} // namespace tarn
