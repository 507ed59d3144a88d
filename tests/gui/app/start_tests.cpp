// The program's start: one copy per start directory, a start from the desktop in a folder of
// its own made with the built-in default, and the file named on the command line.
#include "app/main_window.h"
#include "app/start_arguments.h"
#include "app/startup.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "config/settings_file.h"
#include "dialogs/dialog_support.h"
#include "support/process.h"
#include "support/recording_ui.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace tarn;
namespace fs = std::filesystem;

class StartTests : public QObject {
    Q_OBJECT
    // Runs the program here as if started in folder: each box it shows is noted and answered,
    // and its window is noted and closed once its title holds closeAt.
    static int Run(const fs::path& folder, const std::vector<std::string>& args, QStringList& shown, const QString& closeAt = {})
    {
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box && box->isVisible()) shown << box->text(), box->accept();
                auto* window = qobject_cast<MainWindow*>(w);
                if (window && window->isVisible() && window->windowTitle().contains(closeAt))
                    shown << window->windowTitle(), window->close();
            }
        });
        watch.start(50);
        const fs::path here = fs::current_path();
        fs::current_path(folder);
        const int code = RunProgram(*qApp, ParseStartArguments(args));
        fs::current_path(here);
        return code;
    }

private slots:
    void aCopyPerStartDirectoryAndTheDesktopStartInAFolderOfItsOwn()
    {
        testing::TempDir site, data;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.path().string()));
        SystemConfiguration image{};
        BuildDefaultConfiguration(image);
        const std::string builtIn = FormatConfiguration(image);
        testing::WriteFile(site.file("default.mcf"), builtIn);
        SetFieldText(image.MASTER_TAG, "GW-SITE-B");
        testing::WriteFile(site.file("b.mcf"), FormatConfiguration(image));

        // A copy started from a terminal in the site's folder holds it: a second one there ends
        // after text 370.
        testing::Child first;
        const fs::path here = fs::current_path();
        fs::current_path(site.path());
        const bool spawned = first.Spawn(TARN_PROGRAM, {}, -1, -1, -1);
        fs::current_path(here);
        QVERIFY(spawned);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(InstanceLockPath(QString::fromStdString(site.path().string()))), 30000);
        QStringList shown;
        QCOMPARE(Run(site.path(), {}, shown), 0);
        QCOMPARE(shown, QStringList{ToQt(GetText(TEXT_ONLY_ONE_COPY))});

        // Beside it, a desktop start with a file named from the site's folder: no box, the file
        // open, and the start directory its own, made with the built-in default.
        shown.clear();
        QCOMPARE(Run(site.path(), {"--desktop", "b.mcf"}, shown, QStringLiteral("b.mcf")), 0);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].endsWith(QString::fromStdString(site.file("b.mcf"))), qPrintable(shown[0]));
        QCOMPARE(testing::ReadFile(data.path() / "tarn" / "default.mcf"), builtIn);
        QVERIFY(fs::exists(data.path() / "tarn" / SETTINGS_FILE_NAME));
        QVERIFY(first.Signal(SIGHUP));
        QCOMPARE(first.Wait(std::chrono::seconds(30)), std::optional<int>(0));
    }
};

QTEST_MAIN(StartTests)
#include "start_tests.moc"
