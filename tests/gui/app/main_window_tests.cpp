// The main window: menu bar and title from state, the dispatch of the commands, the
// close guard, and the file commands' refresh.
#include "window_fixture.h"

#include "app/main_menu.h"
#include "text/command_ids.h"
#include "unit/app/menu_lines.h"
#include "view/main_view.h"

#include <QApplication>
#include <QTest>


using namespace tarn;
using tarn::testing::MenuBarLines;
using tarn::testing::MenuLines;
using tarn::testing::WindowUnderTest;

namespace {
const QString kTitle = QStringLiteral("  KVR5160 - KX900 Configuration Software");
}

class MainWindowTests : public QObject {
    Q_OBJECT
private slots:
    // The bar of one mode of each kind (full, grayed titles, the blank title, the live test's),
    // and the language command that repaints the bar and the title at once.
    void menuBarAndTitleFollowState()
    {
        WindowUnderTest w;
        w.state.serialPort = {0, "/dev/ttyUSB0"};
        w.state.current.MASTER_REPT = 2;
        w.state.current.units[1].SLAVE_EXP = 1;
        for (AppMode mode : {AppMode::CompareGateway, AppMode::PrepareSerialTest, AppMode::ModbusTest, AppMode::Idle}) {
            w.state.mode = mode;
            w.state.TestRunning = mode == AppMode::ModbusTest;
            w.window->Refresh();
            QCOMPARE(MenuBarLines(*w.window), MenuLines(BuildMainMenu(w.state)));
        }
        w.state.currentFileName = "/plant/boiler.mcf";  // the loop ends in Idle
        QVERIFY(w.window->DispatchCommand(CMD_ITALIAN));
        QCOMPARE(MenuBarLines(*w.window), MenuLines(BuildMainMenu(w.state)));
        QCOMPARE(w.window->windowTitle(), QStringLiteral("  KVR5160 - Software di Configurazione Tarn KX900 - /plant/boiler.mcf"));
    }

    // What each command shows first with unsaved changes, no ports and every answer No.
    void commandsReachTheirOperations_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("first");
        const QString proceed = QStringLiteral("\n\nProceed anyway?\n\n");
        QTest::newRow("New") << 1000 << QStringLiteral("A new default\n\nWill overwite any change") + proceed;
        QTest::newRow("Save As") << 1300 << QStringLiteral("file: Save a Multiplexer Configuration");
        QTest::newRow("Read") << 1500 << QStringLiteral("KX940 content\n\nWill overwite changes!") + proceed;
        QTest::newRow("Write") << 1600 << QStringLiteral("KX940 content\n\nWill be overwritten!");
        QTest::newRow("Compare with Gateway") << 6100 << QStringLiteral("Unavailable Port");
        QTest::newRow("Serial Port Setup") << 7000 << QStringLiteral("dialog: tarn::PortSetupDialog");
        // The live test commands do nothing while no live test runs.
        for (int id : {10100, 10202})
            QTest::addRow("%d", id) << id << QString();
    }
    void commandsReachTheirOperations()
    {
        QFETCH(int, id);
        QFETCH(QString, first);
        WindowUnderTest w;
        w.state.FileModified = true;
        QVERIFY(w.window->DispatchCommand(id));
        QStringList seen;
        for (const auto& t : w.answers.fileDialogTitles) seen.append(QStringLiteral("file: ") + QString::fromStdString(t));
        seen += w.Messages();
        for (const QString& d : w.dialogsRun) seen.append(QStringLiteral("dialog: ") + d);
        QCOMPARE(seen.value(0), first);
        QCOMPARE(w.state.mode, AppMode::Idle);
    }

    // The window asks the guard of core (its rules: main_window_rules_tests.cpp) on a close and
    // at the end of the session.
    void closeGuard()
    {
        for (bool sessionEnd : {false, true}) {
            for (bool answer : {false, true}) {
                WindowUnderTest w;
                w.window->show();
                w.state.GatewayModified = true;
                w.answers.answers = {answer};
                QCOMPARE(sessionEnd ? w.window->QueryEndSession() : w.window->close(), answer);
                QCOMPARE(w.window->isVisible(), !answer);
                QCOMPARE(w.Messages(), QStringList{QStringLiteral("Any change not saved will be lost!\n\nProceed anyway?\n\n")});
            }
        }
    }

    // The file commands ask for a refresh; the window draws it once the command has returned.
    void fileCommandsThroughTheWindow()
    {
        WindowUnderTest w;
        const QString plant = QString::fromStdString(w.dir.file("plant.mcf"));
        SetFieldText(w.state.current.MASTER_TAG, "SAVED");
        w.state.MarkConfigurationChanged();
        w.answers.saveChoices = {w.dir.file("plant"), w.dir.file("copy.cfg")};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_SAVE_AS));
        QCOMPARE(w.window->windowTitle(), kTitle + QStringLiteral(" - ") + plant);
        QVERIFY(!w.state.FileModified && w.state.GatewayModified);
        // Save a Copy changes neither the title nor the flags.
        w.state.MarkConfigurationChanged();
        QVERIFY(w.window->DispatchCommand(CMD_FILE_SAVE_COPY));
        QVERIFY(QFile::exists(QString::fromStdString(w.dir.file("copy.cfg"))));
        QCOMPARE(w.window->windowTitle(), kTitle + QStringLiteral(" - ") + plant);
        QVERIFY(w.state.FileModified);
        // New after Yes: no file name; Open brings the file and its name back.
        w.answers.answers = {true, true};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_NEW));
        QCOMPARE(w.window->windowTitle(), kTitle);
        w.answers.openChoices = {plant.toStdString()};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_OPEN));
        QCOMPARE(std::string(FieldText(w.state.current.MASTER_TAG)), std::string("SAVED"));
        QCOMPARE(w.window->windowTitle(), kTitle + QStringLiteral(" - ") + plant);
    }
};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
