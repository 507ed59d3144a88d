#include "app/startup.h"

#include "app/close_signals.h"
#include "app/dialog_units.h"
#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "app/start_arguments.h"
#include "app/window_size.h"
#include "config/app_state.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "config/safe_file.h"
#include "config/settings_file.h"
#include "session/session.h"
#include "serial/threaded_serial_device.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QScreen>
#include <QSessionManager>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>

#include <filesystem>

static void InitArtwork() { Q_INIT_RESOURCE(artwork); }

namespace tarn {

namespace {

constexpr int kSplashWidth = 400;
constexpr int kSplashHeight = 150;
constexpr int kSplashMs = 3000;

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 256}) icon.addFile(QStringLiteral(":/artwork/tarn-%1.png").arg(size), QSize(size, size));
    return icon;
}

// The splash picture centred on the screen for 3 s. The wait sleeps in the event loop, which
// paints the picture but takes no input.
void ShowSplash(const QRect& screen)
{
    QLabel splash(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    splash.setPixmap(QPixmap(QStringLiteral(":/artwork/splash.png"))
                         .scaled(kSplashWidth, kSplashHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    splash.setFixedSize(kSplashWidth, kSplashHeight);
    splash.move(screen.x() + (screen.width() - kSplashWidth) / 2, screen.y() + (screen.height() - kSplashHeight) / 2);
    splash.show();
    QEventLoop wait;
    QTimer::singleShot(kSplashMs, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

// A start from the desktop runs in the program's own folder, made at the first start. When it
// cannot be made the start stays where it is, and the reader tells what is missing there.
void EnterDesktopStartDirectory()
{
    const QString folder = DesktopStartDirectory();
    if (QDir().mkpath(folder)) QDir::setCurrent(folder);
}

// A desktop start shows no reader's box for a missing default.mcf: the built-in default, in the
// language of the Settings file just read, is written in its place, a file for the user to adapt.
void ProvideDefaultFile(const AppState& state)
{
    const std::filesystem::path path = std::filesystem::path(state.startDirectory) / DEFAULT_CONFIGURATION_FILE_NAME;
    if (QFileInfo::exists(QFile::decodeName(path.c_str()))) return;
    SystemConfiguration image{};
    BuildDefaultConfiguration(image);
    (void)SaveFileSafely(path.string(), FormatConfiguration(image));
}

// The command line's file is named from where the program was started, which a desktop start
// then leaves, and stays valid for Save however the file dialogs move about.
std::string AbsoluteFileName(const std::string& file)
{
    if (file.empty()) return file;
    return QFile::encodeName(QFileInfo(QFile::decodeName(QByteArray::fromStdString(file))).absoluteFilePath()).toStdString();
}

} // namespace

QString DesktopStartDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(QStringLiteral("tarn"));
}

InstanceLockResult TakeInstanceLock(QLockFile& lock)
{
    // Never stale by age, only when the process that took it has gone.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) return InstanceLockResult::Taken;
    return lock.error() == QLockFile::LockFailedError ? InstanceLockResult::HeldByAnotherCopy
                                                      : InstanceLockResult::NotPossible;
}

QString InstanceLockPath(const QString& startDirectory)
{
    return QDir(startDirectory).filePath(QStringLiteral("Tarn,exe.lock"));
}

int RunProgram(QApplication& app, const StartArguments& start)
{
    InitArtwork();
    QApplication::setWindowIcon(ProgramIcon());
    // The buttons of message and file dialogs are the desktop's own, in the desktop's language
    // where Qt's translations are installed; the program's texts follow its own setting.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    QtUserInterface ui;
    // The window keeps turning while the gateway is talked to.
    Session session(ui, ThreadedSerialDevices());

    // From here on a signal is a close request: one that comes before the window is there is
    // kept for it.
    CloseSignals closeSignals;

    const std::string file = AbsoluteFileName(start.file);
    if (start.desktop) EnterDesktopStartDirectory();

    QLockFile lock(InstanceLockPath(QDir::currentPath()));
    if (TakeInstanceLock(lock) == InstanceLockResult::HeldByAnotherCopy) {
        ShowErrorBox(ui, GetText(TEXT_ONLY_ONE_COPY));
        return 0;
    }

    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect();
    const std::optional<MainWindowSize> size = ComputeMainWindowSize(screenRect.width(), screenRect.height());
    if (!size) {
        ShowErrorBox(ui, GetText(TEXT_SCREEN_TOO_SMALL));
        return 0;
    }

    if (!ReadSettingsFile(session)) return 0;
    if (start.desktop) ProvideDefaultFile(session);

    ShowSplash(screenRect);

    MainWindow window(session, *size);
    ui.AttachWindow(&window);
    window.move(screenRect.x() + (screenRect.width() - window.width()) / 2, screenRect.y());
    window.Refresh();
    window.show();
    session.mode = AppMode::Idle;
    window.StartClock();
    // From the event loop, so that a box of the reader stands over the window.
    if (!file.empty()) QMetaObject::invokeMethod(&window, [&window, file] { window.OpenFile(file); }, Qt::QueuedConnection);

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager& manager) {
        if (!window.QueryEndSession([&manager] { return manager.allowsInteraction(); })) manager.cancel();
    });

    QObject::connect(&closeSignals, &CloseSignals::CloseRequested, &window, &MainWindow::RequestClose);
    if (closeSignals.Requested())
        QMetaObject::invokeMethod(&window, &MainWindow::RequestClose, Qt::QueuedConnection);

    const int code = QApplication::exec();
    ui.AttachWindow(nullptr);
    WriteSettingsFile(session);
    return code;
}

} // namespace tarn
