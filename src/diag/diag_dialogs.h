// The diagnostic dialogs as the Test and Tools menus open them; each is modal over
// parent and opens and closes its own link.
#pragma once

#include "session/session.h"

class QWidget;

namespace tarn {

// A close request of the program (a signal, the end of the session) while a diagnostic
// command runs: the command's dialog is ended by its Cancel path, so that every restore of the
// command runs, and the program closes once the command has returned.
bool DiagnosticRunning(const DiagnosticCommand& command);
// Ends the open diagnostic dialog by its Cancel path; nothing when none is open.
void CancelRunningDiagnostic(DiagnosticCommand& command);

void OpenSingleChannelTest(Session& session, QWidget* parent);   // 4000
void OpenFactoryTest(Session& session, QWidget* parent);         // 3999
void OpenStatusControl(Session& session, QWidget* parent);       // 4300
void OpenCalibration(Session& session, QWidget* parent, int unit);  // 5100..5400, unit 0..3

} // namespace tarn
