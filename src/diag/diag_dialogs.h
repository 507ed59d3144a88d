// The diagnostic dialogs as the Test and Tools menus open them; each is modal over
// parent and opens and closes its own link.
#pragma once

class QWidget;

namespace tarn {

void OpenSingleChannelTest(QWidget* parent);   // 4000
void OpenFactoryTest(QWidget* parent);         // 3999
void OpenStatusControl(QWidget* parent);       // 4300
void OpenCalibration(QWidget* parent, int unit);  // 5100..5400, unit 0..3

} // namespace tarn
