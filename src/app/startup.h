// The desktop program from start to end: the start directory, one copy per start directory,
// the window fitted to the screen, the Settings file, the splash, the main window with the file
// of the command line and its event loop, and the Settings file written at the end.
#pragma once

#include <QString>

class QApplication;
class QLockFile;

namespace tarn {

struct StartArguments;

// The exit code: 0 also when start-up is abandoned (second copy, screen too small, faulty
// Settings file).
int RunProgram(QApplication& app, const StartArguments& start);

// The start directory of a start from the desktop: "tarn" in the user's data folder
// ($XDG_DATA_HOME, by default ~/.local/share).
QString DesktopStartDirectory();

enum class InstanceLockResult {
    Taken,
    HeldByAnotherCopy,  // a running copy holds it; a lock left by a crashed copy is taken over
    NotPossible,        // the folder takes no lock file: the program runs without one
};
// Takes the lock that marks a running copy of the program, without waiting.
InstanceLockResult TakeInstanceLock(QLockFile& lock);

// The lock file that marks the copy running in a start directory: "Tarn,exe.lock" in it, beside
// the Settings file and default.mcf it guards.
QString InstanceLockPath(const QString& startDirectory);

} // namespace tarn
