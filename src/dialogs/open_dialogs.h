// The configuration dialogs as the menu and the diagram open them. Each is modal
// over parent, edits the current image and asks for a full refresh when it closes.
// None opens while the configuration is being transferred or read for the serial live
// test (a transfer mode), nor for an index out of range.
#pragma once

#include "config/app_state.h"

class QWidget;

namespace tarn {

void OpenGatewayDialog(AppState& state, QWidget* parent);
// unit 0..3; module 0 the base unit, 1..3 an expansion
void OpenUnitDialog(AppState& state, QWidget* parent, int unit, int module);
// repeater 0..3
void OpenRepeaterDialog(AppState& state, QWidget* parent, int repeater);

} // namespace tarn
