// The main window with the placeholder view: menu bar and title from state, the
// dispatch of the commands, the close guard, the file commands, the instance
// lock, the document options and the port setup.
#include "window_fixture.h"

#include "app/configuration_file_dialog.h"
#include "app/main_menu.h"
#include "app/port_setup_dialog.h"
#include "app/startup.h"
#include "text/command_ids.h"
#include "unit/app/menu_lines.h"
#include "view/main_view.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

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
    void menuBarAndTitleFollowState_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("testRunning");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        for (int language : {LANGUAGE_ENGLISH, LANGUAGE_ITALIAN}) {
            const QString base = language == LANGUAGE_ENGLISH ? kTitle : QStringLiteral("  KVR5160 - Software di Configurazione Tarn KX900");
            // One mode of each bar: full, grayed titles, the blank title, the live test's.
            for (AppMode mode : {AppMode::Idle, AppMode::CompareGateway, AppMode::PrepareSerialTest, AppMode::ModbusTest})
                QTest::addRow("mode %d lang %d", static_cast<int>(mode), language)
                    << static_cast<int>(mode) << (mode == AppMode::ModbusTest) << language << QString() << base;
            QTest::addRow("file lang %d", language) << 0 << false << language << QStringLiteral("/plant/boiler.mcf")
                                                    << base + QStringLiteral(" - /plant/boiler.mcf");
        }
    }
    void menuBarAndTitleFollowState()
    {
        QFETCH(int, mode);
        QFETCH(bool, testRunning);
        QFETCH(int, language);
        QFETCH(QString, file);
        QFETCH(QString, title);
        WindowUnderTest w;
        w.state.serialPort = {0, "/dev/ttyUSB0"};
        w.state.current.MASTER_REPT = 2;
        w.state.current.units[1].SLAVE_EXP = 1;
        w.state.mode = static_cast<AppMode>(mode);
        w.state.TestRunning = testRunning;
        w.state.currentFileName = file.toStdString();
        // The language command repaints: the bar and the title follow at once.
        w.window->DispatchCommand(language == LANGUAGE_ENGLISH ? CMD_ENGLISH : CMD_ITALIAN);
        QCOMPARE(MenuBarLines(*w.window), MenuLines(BuildMainMenu(w.state)));
        QCOMPARE(w.window->windowTitle(), title);
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
        QTest::newRow("KX940") << 2000 << QStringLiteral("dialog: tarn::GatewayDialog");
        QTest::newRow("Unit 4 Expansion 3") << 2430 << QStringLiteral("dialog: tarn::UnitDialog");
        QTest::newRow("Italiano") << 7300 << QStringLiteral("menu: Configurazione");
        QTest::newRow("KX913 #4") << 5400 << QStringLiteral("Unavailable Port");
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
        if (GetLanguage() != LANGUAGE_ENGLISH) seen.append(QStringLiteral("menu: ") + w.window->menuBar()->actions()[1]->text());
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

    void fileCommandsThroughTheWindow()
    {
        WindowUnderTest w;
        const QString plant = QString::fromStdString(w.dir.file("plant.mcf"));
        QCOMPARE(MenuBarLines(*w.window)[3], std::string("File > Save [1200] (grayed)"));

        SetFieldText(w.state.current.MASTER_TAG, "SAVED");
        w.state.MarkConfigurationChanged();
        w.answers.saveChoices = {w.dir.file("plant")};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_SAVE_AS));
        QVERIFY(QFile::exists(plant));
        QCOMPARE(w.window->windowTitle(), kTitle + QStringLiteral(" - ") + plant);
        QCOMPARE(MenuBarLines(*w.window)[3], std::string("File > Save [1200]"));
        QVERIFY(!w.state.FileModified && w.state.GatewayModified);

        // Save a Copy changes neither the title nor the flags.
        w.state.MarkConfigurationChanged();
        w.answers.saveChoices = {w.dir.file("copy.cfg")};
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

    // The save dialog asks before replacing the file that the save will write: the name typed
    // in the focused field, then Enter.
    void saveDialogAsksForTheNameThatIsWritten_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("chosen");  // empty: the dialog stays open
        QTest::addColumn<bool>("asked");
        QTest::newRow(".mcf exists, Yes") << "plantx" << "plantx.mcf" << true << "plantx.mcf" << true;
        QTest::newRow(".mcf exists, No") << "plantx" << "plantx.mcf" << false << "" << true;
        QTest::newRow("only the bare name exists") << "plant" << "plant" << false << "plant.mcf" << false;
        QTest::newRow("own extension exists") << "plant.cfg" << "plant.cfg" << true << "plant.cfg" << true;
    }
    void saveDialogAsksForTheNameThatIsWritten()
    {
        QFETCH(QString, typed);
        QFETCH(QString, existing);
        QFETCH(bool, answer);
        QFETCH(QString, chosen);
        QFETCH(bool, asked);
        tarn::testing::CoreFixture core;
        core.ui.answers = {answer};
        tarn::testing::TempDir dir;
        const QDir folder(QString::fromStdString(dir.path().string()));
        folder.mkdir(QStringLiteral("my.site"));
        if (!existing.isEmpty()) tarn::testing::WriteFile(folder.filePath(existing).toStdString(), "old\n");

        ConfigurationFileDialog save(core.ui, nullptr, QStringLiteral("Save"), QStringLiteral("Files (*.mcf)"), QFileDialog::AcceptSave);
        save.setDirectory(folder);
        save.show();
        QVERIFY(QTest::qWaitForWindowActive(&save));
        auto* field = save.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(core.ui.messages.size(), std::size_t(asked));
        if (asked) QVERIFY(core.ui.messages[0].text.rfind(existing.toStdString() + "\n", 0) == 0);
        QCOMPARE(save.isVisible(), chosen.isEmpty());
        if (!chosen.isEmpty()) QCOMPARE(save.ChosenPath(), folder.filePath(chosen));
    }

    void oneCopyAtATime()
    {
        tarn::testing::TempDir dir;
        const QString path = QString::fromStdString(dir.file("Tarn,exe.lock"));
        // A copy that crashed left its lock behind: the next start takes it over.
        const pid_t crashed = fork();
        if (crashed == 0) {
            QLockFile held(path);
            _exit(held.tryLock(0) ? 0 : 1);  // no unlock: the file stays
        }
        int status = 0;
        QCOMPARE(waitpid(crashed, &status, 0), crashed);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0 && QFile::exists(path));
        QLockFile first(path), second(path);
        QCOMPARE(TakeInstanceLock(first), InstanceLockResult::Taken);
        QCOMPARE(TakeInstanceLock(second), InstanceLockResult::HeldByAnotherCopy);
        first.unlock();
        QCOMPARE(TakeInstanceLock(second), InstanceLockResult::Taken);
        QLockFile nowhere(QString::fromStdString(dir.file("missing/Tarn,exe.lock")));
        QCOMPARE(TakeInstanceLock(nowhere), InstanceLockResult::NotPossible);
    }

    // A stored adapter that is unplugged: reported by name once the dialog is on the screen,
    // over it; its entry stays selected, marked, and Ok keeps it.
    void portSetupKeepsAStoredPortThatIsNotThere()
    {
        // Recorded with the window that stood in front when the box came.
        struct OwnerRecorder : tarn::testing::RecordingUserInterface {
            QList<QWidget*> owners;
            void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override
            {
                owners.append(QApplication::activeModalWidget());
                RecordingUserInterface::ShowMessage(icon, caption, text);
            }
        } boxes;
        WindowUnderTest w;
        w.ui.SetModalSink(&boxes);
        boxes.dialogs = w.answers.dialogs;
        // A path that cannot name a device: a folder of this test's own that holds nothing.
        const std::string absent = w.dir.file("by-id/usb-FTDI_FT232R_USB_UART_A10KQ7Z3-if00-port0");
        w.state.serialPort = {0, absent};  // the Modbus list is filled by the same code
        QString shown;
        bool quietWhileHidden = false;
        QWidget* opened = nullptr;
        w.onDialog = [&](QDialog& dialog) {
            auto& d = static_cast<PortSetupDialog&>(dialog);
            opened = &d;
            quietWhileHidden = boxes.messages.empty();
            d.setModal(true);
            d.show();
            static_cast<void>(QTest::qWaitFor([&] { return !boxes.messages.empty(); }));  // the box is checked below
            shown = d.SerialList()->currentText();
            d.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            return d.result();
        };
        QVERIFY(w.window->DispatchCommand(CMD_PORT_SETUP));
        QVERIFY(quietWhileHidden);
        QCOMPARE(boxes.messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(boxes.messages[0].text), "COM of ini file for RS 232 is unavailable:\n" + QString::fromStdString(absent));
        QCOMPARE(boxes.owners, QList<QWidget*>{opened});
        QCOMPARE(shown, QString::fromStdString(absent) + " (not present)");
        QCOMPARE(w.state.serialPort, (PortSetting{0, absent}));
        QCOMPARE(w.state.modbusPort, PortSetting{});
    }

};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
