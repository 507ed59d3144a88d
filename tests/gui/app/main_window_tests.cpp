// The main window with the placeholder view: menu bar and title from state, the
// dispatch of every command, the close guard, the file commands, the document
// options, about, the report window, and the port setup over pseudo-terminals.
#include "window_fixture.h"

#include "app/about_dialog.h"
#include "app/configuration_file_dialog.h"
#include "app/dialog_units.h"
#include "app/document_options_dialog.h"
#include "app/main_menu.h"
#include "app/port_setup_dialog.h"
#include "app/report_window.h"
#include "app/startup.h"
#include "serial/pty_pair.h"
#include "serial/qt_serial_device.h"
#include "view/main_view.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QLockFile>
#include <QTest>

#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

using namespace tarn;
using tarn::testing::FlatMenuBar;
using tarn::testing::WindowUnderTest;

namespace {

std::vector<std::string> FlatModel()
{
    std::vector<std::string> out;
    std::function<void(const std::vector<MenuEntry>&, const std::string&)> walk = [&](const auto& entries, const std::string& path) {
        for (const MenuEntry& e : entries) {
            const std::string grayed = e.enabled ? "" : " (grayed)";
            if (e.kind == MenuEntry::Kind::Separator) out.push_back(path + "---");
            else if (e.kind == MenuEntry::Kind::Command) out.push_back(path + e.label + " [" + std::to_string(e.id) + "]" + grayed);
            else {
                out.push_back(path + e.label + grayed);
                walk(e.items, path + e.label + " > ");
            }
        }
    };
    walk(BuildMainMenu(), "");
    return out;
}

const QString kTitle = QStringLiteral("  KVR5160 - KX900 Configuration Software");

} // namespace

class MainWindowTests : public QObject {
    Q_OBJECT
public slots:
    void openUrl(const QUrl& url) { opened.append(url); }

private:
    QList<QUrl> opened;

private slots:
    void initTestCase()
    {
        InstallQtSerialDevices();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void menuBarAndTitleFollowState_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("testRunning");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        const QString italian = QStringLiteral("  KVR5160 - Software di Configurazione Tarn KX900");
        for (int language : {LANGUAGE_ENGLISH, LANGUAGE_ITALIAN}) {
            const QString base = language == LANGUAGE_ENGLISH ? kTitle : italian;
            for (int mode = MODE_IDLE; mode <= MODE_MODBUS_TEST; ++mode)
                for (bool running : {false, true}) {
                    if (running && mode < MODE_SERIAL_TEST) continue;
                    QTest::addRow("mode %d%s lang %d", mode, running ? " running" : "", language)
                        << mode << running << language << QString() << base;
                }
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
        w.state.AppMode = mode;
        w.state.TestRunning = testRunning;
        w.state.currentFileName = file.toStdString();
        SetLanguage(language);  // repaints: the bar and the title follow at once
        QCOMPARE(FlatMenuBar(*w.window), FlatModel());
        QCOMPARE(w.window->windowTitle(), title);
    }

    void everyCommandIsDispatched()
    {
        WindowUnderTest w;
        for (int id : MainMenuCommandIds()) QVERIFY2(w.window->DispatchCommand(id), qPrintable(QString::number(id)));
        for (int id : {0, 999, 1001, 2140, 2440, 2540, 3998, 5000, 5500, 6200, 10103, 10203})
            QVERIFY2(!w.window->DispatchCommand(id), qPrintable(QString::number(id)));
    }

    // What a command shows first with unsaved changes, no ports and every answer No.
    void commandsReachTheirOperations_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("first");
        const QString proceed = QStringLiteral("\n\nProceed anyway?\n\n");
        QTest::newRow("New") << 1000 << QStringLiteral("A new default\n\nWill overwite any change") + proceed;
        QTest::newRow("Open") << 1100 << QStringLiteral("Loading a file\n\nAny change will be lost!") + proceed;
        QTest::newRow("Save As") << 1300 << QStringLiteral("file: Save a Multiplexer Configuration");
        QTest::newRow("Save a Copy") << 1400 << QStringLiteral("file: Save a Multiplexer Configuration");
        QTest::newRow("Read") << 1500 << QStringLiteral("KX940 content\n\nWill overwite changes!") + proceed;
        QTest::newRow("Write") << 1600 << QStringLiteral("KX940 content\n\nWill be overwritten!");
        QTest::newRow("Exit") << 1800 << QStringLiteral("Any change not saved will be lost!") + proceed;
        QTest::newRow("Compare with Disk") << 6000 << QStringLiteral("file: Open a Multiplexer Configuration");
        QTest::newRow("Compare with Gateway") << 6100 << QStringLiteral("Unavailable Port");
        QTest::newRow("Serial Port Setup") << 7000 << QStringLiteral("dialog: tarn::PortSetupDialog");
        QTest::newRow("Preferences") << 7100 << QStringLiteral("dialog: tarn::DocumentOptionsDialog");
        QTest::newRow("About") << 8200 << QStringLiteral("dialog: tarn::AboutDialog");
        QTest::newRow("Help") << 8000 << QStringLiteral("url: ") + QDir::current().absoluteFilePath(QStringLiteral("QMN5521.pdf"));
        QTest::newRow("Italiano") << 7300 << QStringLiteral("title: Configurazione");
        // Dialogs, tests and printing of other parts: nothing to see until they are built.
        for (int id : {1700, 2000, 2100, 2430, 2530, 3999, 4000, 4300, 5400, 10100, 10202})
            QTest::addRow("%d", id) << id << QString();
    }
    void commandsReachTheirOperations()
    {
        QFETCH(int, id);
        QFETCH(QString, first);
        WindowUnderTest w;
        w.state.FileModified = true;
        opened.clear();
        QVERIFY(w.window->DispatchCommand(id));
        QStringList seen;
        for (const auto& t : w.answers.fileDialogTitles) seen.append(QStringLiteral("file: ") + QString::fromStdString(t));
        seen += w.Messages();
        for (const QString& d : w.dialogsRun) seen.append(QStringLiteral("dialog: ") + d);
        for (const QUrl& u : opened) seen.append(QStringLiteral("url: ") + u.toLocalFile());
        if (GetLanguage() != LANGUAGE_ENGLISH) seen.append(QStringLiteral("title: ") + w.window->menuBar()->actions()[1]->text());
        QCOMPARE(seen.value(0), first);
        QCOMPARE(w.state.AppMode, int(MODE_IDLE));
    }

    void closeGuard_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("questions");
        QTest::newRow("idle, saved") << 0 << false << false << true << 0;
        QTest::newRow("idle, unsaved, Yes") << 0 << true << true << true << 1;
        QTest::newRow("idle, unsaved, No") << 0 << true << false << false << 1;
        for (int mode = MODE_READ_GATEWAY; mode <= MODE_MODBUS_TEST; ++mode)
            QTest::addRow("mode %d", mode) << mode << true << true << false << 0;
    }
    void closeGuard()
    {
        QFETCH(int, mode);
        QFETCH(bool, modified);
        QFETCH(bool, answer);
        QFETCH(bool, closes);
        QFETCH(int, questions);
        for (bool sessionEnd : {false, true}) {
            WindowUnderTest w;
            w.window->show();
            w.state.AppMode = mode;
            w.state.GatewayModified = modified;
            w.answers.answers = {answer};
            const bool closed = sessionEnd ? w.window->QueryEndSession() : w.window->close();
            QCOMPARE(closed, closes);
            QCOMPARE(w.window->isVisible(), !closes);
            QCOMPARE(int(w.answers.messages.size()), questions);
        }
        // Without leave to ask, a session end keeps unsaved changes rather than losing them.
        WindowUnderTest w;
        w.state.FileModified = true;
        QVERIFY(!w.window->QueryEndSession([] { return false; }));
        QVERIFY(w.answers.messages.empty());
    }

    void fileCommandsThroughTheWindow()
    {
        WindowUnderTest w;
        const QString folder = QString::fromStdString(w.dir.path().string());
        auto saveMenuItem = [&] { return FlatModel()[3]; };
        QCOMPARE(saveMenuItem(), std::string("File > Save [1200] (grayed)"));

        // Save As a name without a dot: ".mcf" appended, the file becomes current.
        SetFieldText(w.state.current.MASTER_TAG, "SAVED");
        MarkConfigurationChanged();
        w.answers.saveChoices = {w.dir.file("plant")};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_SAVE_AS));
        QVERIFY(QFile::exists(folder + QStringLiteral("/plant.mcf")));
        QCOMPARE(w.window->windowTitle(), kTitle + QStringLiteral(" - ") + folder + QStringLiteral("/plant.mcf"));
        QVERIFY(!w.state.FileModified);
        QVERIFY(w.state.GatewayModified);
        QCOMPARE(FlatMenuBar(*w.window)[3], std::string("File > Save [1200]"));

        // Save a Copy: written, but neither the title nor the flags change.
        MarkConfigurationChanged();
        w.answers.saveChoices = {w.dir.file("copy.cfg")};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_SAVE_COPY));
        QVERIFY(QFile::exists(folder + QStringLiteral("/copy.cfg")));
        QVERIFY(w.window->windowTitle().endsWith(QStringLiteral("/plant.mcf")));
        QVERIFY(w.state.FileModified);

        // Save: FileModified cleared, the gateway flag kept, so New still asks.
        QVERIFY(w.window->DispatchCommand(CMD_FILE_SAVE));
        QVERIFY(!w.state.FileModified);
        w.answers.answers = {false};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_NEW));
        QCOMPARE(w.answers.messages.size(), std::size_t(1));
        QVERIFY(w.window->windowTitle().endsWith(QStringLiteral("/plant.mcf")));
        w.answers.answers = {true};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_NEW));
        QCOMPARE(w.window->windowTitle(), kTitle);
        QCOMPARE(std::string(FieldText(w.state.current.MASTER_TAG)), std::string("Tag 0.0"));

        // Open without unsaved changes asks nothing and brings the saved configuration back.
        w.answers.messages.clear();
        w.answers.openChoices = {w.dir.file("plant.mcf")};
        QVERIFY(w.window->DispatchCommand(CMD_FILE_OPEN));
        QVERIFY(w.answers.messages.empty());
        QCOMPARE(std::string(FieldText(w.state.current.MASTER_TAG)), std::string("SAVED"));
        QVERIFY(w.window->windowTitle().endsWith(QStringLiteral("/plant.mcf")));
        QVERIFY(!w.state.FileModified && !w.state.GatewayModified);
        QCOMPARE(w.answers.fileDialogTitles,
                 (std::vector<std::string>{"Save a Multiplexer Configuration", "Save a Multiplexer Configuration",
                                           "Open a Multiplexer Configuration"}));
    }

    // The save dialog's overwrite check must see the name the save will write.
    void saveDialogChoosesTheNameThatIsWritten_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("no dot") << "plant" << "plant.mcf";
        QTest::newRow("own extension") << "plant.cfg" << "plant.cfg";
        QTest::newRow("dotted folder") << "my.site/plant" << "my.site/plant";
    }
    void saveDialogChoosesTheNameThatIsWritten()
    {
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        tarn::testing::TempDir dir;
        const QDir folder(QString::fromStdString(dir.path().string()));
        folder.mkdir(QStringLiteral("my.site"));
        ConfigurationFileDialog save(nullptr, QStringLiteral("Save"), QStringLiteral("Files (*.mcf)"), QFileDialog::AcceptSave);
        save.setDirectory(folder);
        save.selectFile(folder.filePath(typed));
        save.accept();
        QCOMPARE(save.result(), int(QDialog::Accepted));
        QCOMPARE(save.selectedFiles(), QStringList{folder.filePath(chosen)});
    }

    void documentOptions()
    {
        WindowUnderTest w;
        SetFieldText(w.state.current.DOCUMENT, "MUX-CFG-0412");
        struct Run {
            const char* name;
            std::function<int(DocumentOptionsDialog&)> act;
            bool fileModified;
            std::string document;
        };
        const Run runs[] = {
            {"Enter presses Cancel", [](DocumentOptionsDialog& d) {
                 d.Edits()[5]->setText(QStringLiteral("changed"));
                 d.show();
                 QTest::keyClick(d.Edits()[5], Qt::Key_Return);
                 return d.result();
             }, false, "MUX-CFG-0412"},
            {"Ok without a change", [](DocumentOptionsDialog& d) { d.accept(); return d.result(); }, false, "MUX-CFG-0412"},
            {"Ok with a change", [](DocumentOptionsDialog& d) {
                 d.Edits()[5]->setText(QStringLiteral("rev. D \"final\""));
                 d.accept();
                 return d.result();
             }, true, "rev. D final"},
        };
        for (const Run& run : runs) {
            w.state.FileModified = false;
            QList<int> limits;
            QString shown;
            w.onDialog = [&](QDialog& dialog) {
                auto& d = static_cast<DocumentOptionsDialog&>(dialog);
                for (QLineEdit* edit : d.Edits()) limits.append(edit->maxLength());
                shown = d.Edits()[5]->text();
                return run.act(d);
            };
            QVERIFY(w.window->DispatchCommand(CMD_PREFERENCES));
            QCOMPARE(limits, QList<int>(8, DOCUMENT_TEXT_LENGTH));
            QCOMPARE(shown, QStringLiteral("MUX-CFG-0412"));
            QVERIFY2(w.state.FileModified == run.fileModified, run.name);
            QVERIFY2(!w.state.GatewayModified, run.name);
            QCOMPARE(std::string(FieldText(w.state.current.DOCUMENT)), run.document);
            SetFieldText(w.state.current.DOCUMENT, "MUX-CFG-0412");
        }

        SetLanguage(LANGUAGE_ITALIAN);
        DocumentOptionsDialog italian;
        QCOMPARE(italian.windowTitle(), QStringLiteral(" Preferenze Documento"));
        QStringList groups;
        for (QGroupBox* g : italian.findChildren<QGroupBox*>()) groups.append(g->title());
        QCOMPARE(groups, (QStringList{"Azienda", "Indirizzo", "Documento", "Operatori"}));
        QCOMPARE(italian.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(), QStringLiteral("Annulla"));
    }

    // The document field's limit is the longest text whose statement line still reads back.
    void documentTextLimitReadsBack()
    {
        for (int length : {DOCUMENT_TEXT_LENGTH, DOCUMENT_TEXT_LENGTH + 1}) {
            SystemConfiguration written{}, read{};
            BuildDefaultConfiguration(written);
            BuildDefaultConfiguration(read);
            SetFieldText(written.ADDRESS[0], std::string(static_cast<std::size_t>(length), 'x'));
            std::istringstream in(FormatConfiguration(written));
            const bool readBack = ParseConfiguration(in, read).kind == ReadFault::None &&
                                  FieldText(read.ADDRESS[0]) == FieldText(written.ADDRESS[0]);
            QCOMPARE(readBack, length == DOCUMENT_TEXT_LENGTH);
        }
    }

    void aboutInBothLanguages()
    {
        WindowUnderTest w;
        AboutDialog english;
        QCOMPARE(english.windowTitle(), QStringLiteral(" Information on Tarn Configuration Program"));
        QCOMPARE(english.findChild<QLabel*>(QStringLiteral("versionText"))->text(),
                 QStringLiteral("Multiplexer Configuration Program 1.5"));
        SetLanguage(LANGUAGE_ITALIAN);
        AboutDialog italian;
        QCOMPARE(italian.windowTitle(), QStringLiteral(" Informazioni sul Programma"));
        QCOMPARE(italian.findChild<QPushButton*>(QStringLiteral("okButton"))->text(), QStringLiteral("Ok"));
    }

    void reportWindow()
    {
        WindowUnderTest w;
        SetLanguage(LANGUAGE_ITALIAN);
        ComparisonReportDialog report("Master\r\n  Tag of Master\tOk\t<GW \xB0" "C>\t<GW \xB0" "C>\r\n");
        QCOMPARE(report.windowTitle(), QStringLiteral(" Risultatto del Confronto"));
        QVERIFY(report.Text()->isReadOnly());
        QCOMPARE(report.Text()->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(report.Text()->toPlainText(), QString::fromUtf8("Master\n  Tag of Master\tOk\t<GW °C>\t<GW °C>\n"));
        const QFont font = report.font();
        QCOMPARE(report.TabStops(), (QList<qreal>{qreal(DialogUnitsX(font, 100)), qreal(DialogUnitsX(font, 125)),
                                                  qreal(DialogUnitsX(font, 380))}));
        QVERIFY(DialogUnitsX(font, 100) > 100);
        QCOMPARE(report.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(), QStringLiteral("Cancel"));
    }

    void hoverNamesTheElementInTheStatusBar()
    {
        WindowUnderTest w;
        tarn::testing::RecordingUserInterface status;
        InstallUserInterface(&status);
        SetLanguage(LANGUAGE_ITALIAN);
        emit w.window->View()->ElementHovered(21);
        emit w.window->View()->ElementHovered(0);
        InstallUserInterface(&w.ui);
        QCOMPARE(status.statusMessages, (std::vector<std::string>{"Slave 2 - Espansione 1", ""}));
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

    void portSetupTakesATypedPseudoTerminal()
    {
        tarn::testing::PtyPair pty;
        QVERIFY(pty.Ok());
        const QString path = QString::fromStdString(pty.SlavePath());
        WindowUnderTest w;
        w.onDialog = [&](QDialog& dialog) {
            auto& d = static_cast<PortSetupDialog&>(dialog);
            d.SerialList()->setEditText(path);
            d.accept();
            return d.result();
        };
        QVERIFY(w.window->DispatchCommand(CMD_PORT_SETUP));
        QCOMPARE(w.state.serialPort, (PortSetting{0, pty.SlavePath()}));
        QCOMPARE(w.state.modbusPort, PortSetting{});
        QCOMPARE(FlatMenuBar(*w.window)[7], std::string("File > Read Configuration from KX940 [1500]"));

        // Opened again, the stored pseudo-terminal is listed and selected without a message.
        w.onDialog = [&](QDialog& dialog) {
            auto& d = static_cast<PortSetupDialog&>(dialog);
            [&] {
                QVERIFY(d.SerialList()->currentIndex() > 0);
                QCOMPARE(d.SerialList()->currentText(), path);
                QCOMPARE(d.ModbusList()->currentIndex(), 0);
                QCOMPARE(d.ModbusList()->currentText(), QStringLiteral("No Serial"));
            }();
            return int(QDialog::Rejected);
        };
        QVERIFY(w.window->DispatchCommand(CMD_PORT_SETUP));
        QVERIFY(w.answers.messages.empty());
    }

    void portSetupSelectsOnlyTheExactStoredPort()
    {
        tarn::testing::PtyPair pty;
        QVERIFY(pty.Ok());
        WindowUnderTest w;
        // The Modbus port is listed; the serial port is a stored name that begins it only.
        const std::string listed = pty.SlavePath();
        w.state.modbusPort = {0, listed};
        w.state.serialPort = {0, listed.substr(0, listed.size() - 1)};
        int serialIndex = -1, modbusIndex = -1;
        w.onDialog = [&](QDialog& dialog) {
            auto& d = static_cast<PortSetupDialog&>(dialog);
            serialIndex = d.SerialList()->currentIndex();
            modbusIndex = d.ModbusList()->currentIndex();
            d.SerialList()->setEditText(QString::fromStdString(listed));  // changed, then Cancel
            return int(QDialog::Rejected);
        };
        QVERIFY(w.window->DispatchCommand(CMD_PORT_SETUP));
        QCOMPARE(w.Messages(), QStringList{QStringLiteral("COM of ini file for RS 232 is unavailable")});
        QCOMPARE(serialIndex, 0);
        QVERIFY(modbusIndex > 0);
        QCOMPARE(w.state.serialPort, (PortSetting{0, listed.substr(0, listed.size() - 1)}));
        QCOMPARE(w.state.modbusPort, (PortSetting{0, listed}));
    }
};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
