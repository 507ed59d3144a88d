// SIGTERM and SIGINT as a close request: a diagnostic that runs ends by its Cancel path with
// every restore before the window closes (start_tests: the program exits on SIGHUP and writes
// its Settings file).
#include "window_fixture.h"

#include "app/close_signals.h"
#include "app/main_menu.h"
#include "support/fake_gateway.h"
#include "text/command_ids.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <csignal>

using namespace tarn;
using tarn::testing::WindowUnderTest;

class CloseRequestTests : public QObject {
    Q_OBJECT
private slots:
    void aSignalEndsTheDiagnosticByItsCancelPathThenCloses_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("signal");
        QTest::newRow("single channel test, SIGTERM") << int(CMD_SINGLE_CHANNEL_TEST) << SIGTERM;
        QTest::newRow("calibration step running, SIGINT") << int(CMD_CALIBRATE_FIRST) << SIGINT;
    }
    void aSignalEndsTheDiagnosticByItsCancelPathThenCloses()
    {
        QFETCH(int, command);
        QFETCH(int, signal);
        WindowUnderTest w;
        tarn::testing::FakeGateway gw{w.devices};
        w.state.serialPort.name = "/dev/fake-serial";
        gw.store.settings[1][1] = gw.store.settings[1][3] = 0x10;
        gw.store.words[1][1] = 0x0887;  // thermocouple K
        CloseSignals closeSignals;
        QVERIFY(closeSignals.Installed());
        connect(&closeSignals, &CloseSignals::CloseRequested, w.window.get(), &MainWindow::RequestClose);
        w.window->show();

        bool signalled = false, ended = false;
        w.onDialog = [&](QDialog& dialog) -> int {
            dialog.show();
            if (command == CMD_SINGLE_CHANNEL_TEST) {
                // A trial word on channel 1: millivolts in place of the thermocouple.
                auto* type = dialog.findChild<QComboBox*>(QStringLiteral("typeOrMode"));
                if (!QTest::qWaitFor([&] { return type->isVisible() && type->isEnabled(); })) return -1;
                type->setCurrentIndex(1);
                emit type->activated(1);
                if (!QTest::qWaitFor([&] { return gw.store.words[1][1] != 0x0887u; })) return -1;
            } else {
                auto* step = dialog.findChild<QPushButton*>(QStringLiteral("step"));
                QTest::mouseClick(step, Qt::LeftButton);
                QTest::mouseClick(step, Qt::LeftButton);  // the zero adjustment runs
                if (gw.store.words[1][1] != 6145u) return -1;
            }
            signalled = ::raise(signal) == 0;
            ended = QTest::qWaitFor([&] { return !dialog.isVisible(); }, 10000);
            return dialog.result();
        };
        QVERIFY(w.window->DispatchCommand(command));
        QVERIFY(signalled && ended);
        QTRY_VERIFY(!w.window->isVisible());
        QCOMPARE(gw.store.words[1][1], 0x0887u);
        QCOMPARE(gw.store.settings[1][3], 0x10u);
        QCOMPARE(w.Messages(), QStringList{});
    }
};

QTEST_MAIN(CloseRequestTests)
#include "close_request_tests.moc"
