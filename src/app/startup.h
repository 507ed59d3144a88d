// The desktop program from start to end: one copy at a time, the window fitted to
// the screen, the Settings file, the splash, the main window and its event loop,
// and the Settings file written at the end.
#pragma once

#include <QString>

class QApplication;

namespace tarn {

// The exit code: 0 also when start-up is abandoned (second copy, screen too small, faulty
// Settings file).
int RunProgram(QApplication& app);

// The lock file that marks a running copy: "Tarn,exe.lock" in the user's runtime folder, or
// in the temporary folder where there is none.
QString InstanceLockPath();

} // namespace tarn
