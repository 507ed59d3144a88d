// The program from its start to its end: one copy per start directory, a start from the
// desktop in a folder of its own made with the built-in default, the file named on the command
// line, and a signal that ends a copy, which then writes its Settings file.
#include "window_fixture.h"

#include "app/start_arguments.h"
#include "app/startup.h"
#include "config/settings_file.h"
#include "support/process.h"
#include "text/text_ids.h"

#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace tarn;
namespace fs = std::filesystem;

class StartTests : public QObject {
    Q_OBJECT
    // Runs the program in this process as if started here: what it shows, in turn, is the text
    // of each box (answered), the title of its window (closed once it holds closeAt, or after a
    // box), and last the exit code.
    static QStringList Run(const std::vector<std::string>& args, const QString& closeAt = {})
    {
        QStringList shown;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                shown << box->text(), box->accept();
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<MainWindow*>(w) && w->isVisible() && (w->windowTitle().contains(closeAt) || !shown.isEmpty()))
                    shown << w->windowTitle(), w->close();
        });
        watch.start(50);
        return shown << QString::number(RunProgram(*qApp, ParseStartArguments(args)));
    }

private slots:
    // SIGHUP here: the window tests of close_request_tests take SIGTERM and SIGINT.
    void aCopyPerStartDirectoryBesideADesktopStartInAFolderOfItsOwn()
    {
        testing::TempDir site, data;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.path().string()));
        SystemConfiguration image{};
        BuildDefaultConfiguration(image);
        const std::string builtIn = FormatConfiguration(image);
        testing::WriteFile(site.file("default.mcf"), builtIn);
        testing::WriteFile(site.file("b.mcf"), builtIn);
        const fs::path here = fs::current_path();
        fs::current_path(site.path());

        // A copy started from a terminal holds the site's folder, once its signal handlers are in
        // place: a second one there ends after text 370.
        testing::Child first;
        QVERIFY(first.Spawn(TARN_PROGRAM, {}, -1, -1, -1));
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(site.file("Tarn,exe.lock")), 30000);
        QCOMPARE(Run({}), (QStringList{ToQt(GetText(TEXT_ONLY_ONE_COPY)), "0"}));

        // Beside it a desktop start opens a file named from here, shows no box, and has a start
        // directory of its own, made with the built-in default, where it writes its Settings.
        const QString title = "  " + ToQt(GetText(TEXT_MAIN_WINDOW_TITLE)) + " - " + QString::fromStdString(site.file("b.mcf"));
        QCOMPARE(Run({"--desktop", "b.mcf"}, QStringLiteral("b.mcf")), (QStringList{title, "0"}));
        QCOMPARE(testing::ReadFile(data.path() / "tarn" / "default.mcf"), builtIn);
        QVERIFY(fs::exists(data.path() / "tarn" / SETTINGS_FILE_NAME));

        QVERIFY(first.Signal(SIGHUP));
        QCOMPARE(first.Wait(std::chrono::seconds(30)), std::optional<int>(0));
        QVERIFY(fs::exists(site.file(SETTINGS_FILE_NAME)));
        fs::current_path(here);
    }
};

QTEST_MAIN(StartTests)
#include "start_tests.moc"
