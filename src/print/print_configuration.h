// The configuration document of the current image, printed through the print dialog.
#pragma once

#include "config/app_state.h"

class QWidget;

namespace tarn {

void PrintConfiguration(AppState& state, QWidget* parent);

} // namespace tarn
