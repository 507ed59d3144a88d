// The diagnostic dialogs are not built yet: their commands do nothing.
#include "diag/diag_dialogs.h"

namespace tarn {

void OpenSingleChannelTest(QWidget*) {}
void OpenFactoryTest(QWidget*) {}
void OpenCalibration(QWidget*, int) {}

} // namespace tarn
