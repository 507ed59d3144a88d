// The desktop program's serial device on its worker thread: what comes in while an exchange
// waits (a timer's ticks, a close request, a close of the window) kept for after it.
#include "window_fixture.h"

#include "serial/exchange_gate.h"
#include "serial/pty_pair.h"
#include "serial/threaded_serial_device.h"
#include "support/fake_gateway.h"
#include "support/sample_installation.h"
#include "text/command_ids.h"

#include <QTest>
#include <QTimer>

using namespace tarn;
using tarn::testing::PtyPair;
using tarn::testing::WindowUnderTest;

namespace {

constexpr int kReadTotalMs = 60;
const LineSettings kLine{19200, 8, Parity::None, 1};

} // namespace

class ExchangeTests : public QObject {
    Q_OBJECT
private slots:
    // A step of two reads: a timer that ticks all through it runs its handler once, after the
    // step, never inside it, also not in the gap between the two reads.
    void ticksDuringAStepRunOnceAfterIt()
    {
        PtyPair pty;
        QVERIFY(pty.Ok());
        ThreadedSerialDevice device;
        QVERIFY(!device.Open(pty.SlavePath(), kLine));
        QStringList log;
        QTimer ticker;
        ticker.setInterval(1);
        std::function<void()> tick = [&] {
            if (DeferDuringExchange(&ticker, 1, [&] { log << "kept tick"; })) return;
            log << "tick";
        };
        connect(&ticker, &QTimer::timeout, this, [&] { tick(); });
        bool stepping = false;
        QTimer::singleShot(0, this, [&] {
            ticker.start();
            stepping = true;
            log << "step";
            std::vector<std::uint8_t> out;
            for (int i = 0; i < 2; ++i) QVERIFY(!device.Read(out, 8, kReadTotalMs, 0));
            log << "step end";
            ticker.stop();
            stepping = false;
        });
        QTRY_VERIFY(log.contains("kept tick"));
        QVERIFY(!stepping);
        QCOMPARE(log, QStringList({"step", "step end", "kept tick"}));
    }

    // A kept request whose own run keeps the next one (a slow step with its tick falling due
    // meanwhile): the loop that runs it gets control back in between and can end.
    void aLoopThatRunsKeptRequestsSeesItsExit()
    {
        QObject owner;
        QEventLoop loop;
        int runs = 0;
        std::function<void()> step = [&] {
            ++runs;
            const ExchangeScope exchange;
            if (runs == 1) loop.quit();
            if (runs < 5) DeferDuringExchange(&owner, 1, step);
        };
        {
            const ExchangeScope exchange;
            DeferDuringExchange(&owner, 1, step);
        }
        loop.exec();
        QCOMPARE(runs, 1);
        QTRY_COMPARE(runs, 5);
    }

    // Timer 1 ticks while an exchange of someone else's waits: no step runs under it; once it
    // is over, one step runs for all the ticks kept, as a blocked timer fires once.
    void mainTimerTicksDuringAnExchangeRunOneStepAfterIt()
    {
        WindowUnderTest w;
        tarn::testing::FakeGateway gateway{w.devices};
        w.state.modbusPort.name = "/dev/fake-modbus";
        const SystemConfiguration plant = tarn::testing::FullInstallation();
        CopyConfiguration(w.state.current, plant);
        gateway.Program(plant);
        QVERIFY(w.window->DispatchCommand(CMD_MODBUS_LIVE_TEST));
        QVERIFY(w.state.mode == AppMode::ModbusTest);
        auto* timer1 = w.window->findChild<QTimer*>(QStringLiteral("mainTimer"));
        QVERIFY(timer1);
        int ticks = 0;
        connect(timer1, &QTimer::timeout, this, [&] { ++ticks; });
        QVERIFY(w.window->DispatchCommand(CMD_MODBUS_TEST_START));
        QVERIFY(w.window->MainTimerActive());

        const std::size_t before = gateway.requests.size();
        {
            const ExchangeScope exchange;
            QVERIFY(QTest::qWaitFor([&] { return ticks >= 2; }));
            QCoreApplication::sendPostedEvents();  // every tick so far has reached the window
            QCOMPARE(gateway.requests.size(), before);
            timer1->start(60000);  // no tick of its own before the kept one has run
        }
        // One step: the unit's status and values.
        QTRY_COMPARE(gateway.requests.size(), before + 2);
        QVERIFY(w.window->DispatchCommand(CMD_MODBUS_TEST_STOP));
        QVERIFY(w.window->DispatchCommand(CMD_MODBUS_TEST_EXIT));
    }

    // What arrives while the first command's exchange waits is taken once the command has
    // ended: the live test's start fails on the silent gateway with its box, then the window
    // closes. Nothing closes under the exchange.
    void aCloseDuringAnExchangeIsTakenAfterIt_data()
    {
        QTest::addColumn<bool>("signalled");
        QTest::newRow("close request (SIGTERM)") << true;
        QTest::newRow("close of the window") << false;
    }
    void aCloseDuringAnExchangeIsTakenAfterIt()
    {
        QFETCH(bool, signalled);
        WindowUnderTest w;
        w.devices = ThreadedSerialDevices();
        PtyPair pty;
        QVERIFY(pty.Ok());
        w.state.modbusPort.name = pty.SlavePath();
        w.window->show();

        QStringList order;
        bool duringExchange = false;
        bool closedUnderIt = true;
        QTimer::singleShot(0, this, [&] {
            duringExchange = ExchangeInProgress();
            if (signalled) w.window->RequestClose();
            else w.window->close();
            closedUnderIt = !w.window->isVisible();
            order << "close asked";
        });
        QVERIFY(w.window->DispatchCommand(CMD_MODBUS_LIVE_TEST));
        order << "command returned";
        QTRY_VERIFY(!w.window->isVisible());

        QVERIFY(duringExchange);
        QVERIFY(!closedUnderIt);
        QCOMPARE(order, QStringList({"close asked", "command returned"}));
        QVERIFY(IsIdle(w.state.mode));
        QCOMPARE(w.Messages(), QStringList{QString::fromStdString(Cp1252ToUtf8(GetText(119)))});
    }
};

QTEST_MAIN(ExchangeTests)
#include "exchange_tests.moc"
