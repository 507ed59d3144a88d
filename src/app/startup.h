// The desktop program from start to end: one copy at a time, the window fitted to
// the screen, the Settings file, the splash, the main window and its event loop,
// and the Settings file written at the end.
#pragma once

#include <QString>

class QApplication;
class QLockFile;

namespace tarn {

// The exit code: 0 also when start-up is abandoned (second copy, screen too small, faulty
// Settings file).
int RunProgram(QApplication& app);

enum class InstanceLockResult {
    Taken,
    HeldByAnotherCopy,  // a running copy holds it; a lock left by a crashed copy is taken over
    NotPossible,        // the folder takes no lock file: the program runs without one
};
// Takes the lock that marks a running copy of the program, without waiting.
InstanceLockResult TakeInstanceLock(QLockFile& lock);

// The lock file that marks a running copy: "Tarn,exe.lock" in the user's runtime folder, or
// in the temporary folder where there is none.
QString InstanceLockPath();

} // namespace tarn
