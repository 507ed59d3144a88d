#include "app/startup.h"

#include "app/close_signals.h"
#include "app/dialog_units.h"
#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "app/window_size.h"
#include "config/app_state.h"
#include "config/settings_file.h"
#include "session/session.h"
#include "serial/threaded_serial_device.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QScreen>
#include <QSessionManager>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>

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

} // namespace

InstanceLockResult TakeInstanceLock(QLockFile& lock)
{
    // Never stale by age, only when the process that took it has gone.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) return InstanceLockResult::Taken;
    return lock.error() == QLockFile::LockFailedError ? InstanceLockResult::HeldByAnotherCopy
                                                      : InstanceLockResult::NotPossible;
}

QString InstanceLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("Tarn,exe.lock"));
}

int RunProgram(QApplication& app)
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

    QLockFile lock(InstanceLockPath());
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

    ShowSplash(screenRect);

    MainWindow window(session, *size);
    ui.AttachWindow(&window);
    window.move(screenRect.x() + (screenRect.width() - window.width()) / 2, screenRect.y());
    window.Refresh();
    window.show();
    session.mode = AppMode::Idle;
    window.StartClock();

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
