// The configuration dialogs are not built yet: their commands do nothing.
#include "dialogs/open_dialogs.h"

namespace tarn {

void OpenGatewayDialog(QWidget*) {}
void OpenUnitDialog(QWidget*, int, int) {}
void OpenRepeaterDialog(QWidget*, int) {}

} // namespace tarn
