#include "dialogs/open_dialogs.h"

#include "dialogs/channel_dialogs.h"
#include "dialogs/config_edits.h"
#include "dialogs/dialog_support.h"
#include "dialogs/gateway_dialog.h"
#include "dialogs/repeater_dialog.h"
#include "dialogs/unit_dialog.h"
#include "text/user_interface.h"

namespace tarn {

void OpenGatewayDialog(QWidget* parent)
{
    if (ConfigurationDialogsBlocked()) return;
    {
        GatewayDialog dialog(parent);
        RunDialog(dialog);
    }
    RepaintMainWindow();
}

void OpenUnitDialog(QWidget* parent, int unit, int module)
{
    if (ConfigurationDialogsBlocked() || unit < 0 || unit >= UNIT_COUNT || module < 0 || module > 3) return;
    int result = UNIT_DIALOG_CANCEL;
    {
        UnitDialog dialog(parent, unit, module);
        result = RunDialog(dialog);
    }
    // The choice takes effect once the dialog has closed.
    if (result == UNIT_DIALOG_EDIT_CHANNELS) EditChannels(parent, unit, module);
    else ApplyUnitDialogResult(unit, result);
    RepaintMainWindow();
}

void OpenRepeaterDialog(QWidget* parent, int repeater)
{
    if (ConfigurationDialogsBlocked() || repeater < 0 || repeater >= REPEATER_COUNT) return;
    {
        RepeaterDialog dialog(parent, repeater);
        RunDialog(dialog);
    }
    RepaintMainWindow();
}

} // namespace tarn
