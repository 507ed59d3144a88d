// The diagnostic dialogs over their engines and the fake gateway: Cancel and Escape in
// the states that matter, a tick and a Cancel that come during an exchange; what status
// control's buttons send. The tick timers
// are stopped and ticks run one by one.
#include "diag/calibration_dialog.h"
#include "diag/factory_test_dialog.h"
#include "diag/single_channel_dialog.h"
#include "diag/status_control_dialog.h"
#include "gui/dialogs/dialog_script.h"
#include "link/link.h"
#include "serial/exchange_gate.h"
#include "support/fake_gateway.h"
#include "text/texts.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>

#include <memory>

using namespace tarn;
using namespace tarn::testing;

namespace {

// Shown, with the timer of the dialogs that poll by one stopped (status control polls by
// single shots).
void Show(QWidget& dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (auto* timer = dialog.findChild<QTimer*>(QStringLiteral("tickTimer"))) timer->stop();
}

} // namespace

class DiagDialogTests : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        fx = std::make_unique<CoreFixture>();
        gw = std::make_unique<FakeGateway>(fx->devices);
        fx->state.serialPort.name = "/dev/fake-serial";
        fx->state.modbusPort.name = "/dev/fake-modbus";
        gw->store.settings[1][1] = gw->store.settings[1][3] = 0x10;
    }
    void cleanup()
    {
        fx->session.links.CloseSerial();
        fx->session.links.CloseModbus();
        gw.reset();
        fx.reset();
    }

    void factoryTestEscapeWaitsForTheCycles()
    {
        QCOMPARE(FactoryTest::Begin(fx->session.links), 1);
        FactoryTest test(fx->session.links);
        FactoryTestDialog dialog(test);
        Show(dialog);
        Click(dialog, "startModbus");
        Find<QTimer>(dialog, "tickTimer")->stop();
        QVERIFY(!Find<QPushButton>(dialog, "send")->isEnabled() && !Find<QPushButton>(dialog, "cancel")->isEnabled());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());

        Click(dialog, "stopModbus");
        QVERIFY(Find<QPushButton>(dialog, "cancel")->isEnabled());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        FactoryTest::Finish(fx->session.links);
    }

    // Escape during a step interrupts the calibration; the step button then leaves.
    void calibrationEscapeDuringAStep()
    {
        Calibration cal(fx->session.links, 0);
        QCOMPARE(cal.Begin(), 1);
        CalibrationDialog dialog(cal);
        Show(dialog);
        auto* step = Find<QPushButton>(dialog, "step");
        QTest::mouseClick(step, Qt::LeftButton);
        QTest::mouseClick(step, Qt::LeftButton);
        QVERIFY(!Find<QPushButton>(dialog, "cancel")->isVisible());
        dialog.RunTick();

        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(step->text(), QStringLiteral("Calibration interrupted... Hit to Exit"));
        QTest::mouseClick(step, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), 1);
    }

    // While an exchange of another handler waits (a button's), the dialog's tick and its Cancel
    // path are kept: no request, nothing closes; the Cancel is taken once the exchange is over.
    void aTickAndACancelDuringAnExchangeWaitForIt_data()
    {
        QTest::addColumn<int>("dialogKind");
        QTest::newRow("single channel test") << 0;
        QTest::newRow("factory test") << 1;
        QTest::newRow("calibration") << 2;
        QTest::newRow("status control") << 3;
    }
    void aTickAndACancelDuringAnExchangeWaitForIt()
    {
        QFETCH(int, dialogKind);
        auto check = [this](QDialog& dialog, const std::function<void()>& tick) {
            Show(dialog);
            const std::size_t requests = gw->requests.size();
            {
                const ExchangeScope exchange;
                tick();
                dialog.reject();
                QCOMPARE(gw->requests.size(), requests);
                QVERIFY(dialog.isVisible());
            }
            QCOMPARE(gw->requests.size(), requests);
            QTest::qWait(10);  // the turn of the loop that takes the kept Cancel
        };
        if (dialogKind == 0) {
            SingleChannelTest test(fx->session.links);
            QCOMPARE(test.Begin(), 1);
            SingleChannelDialog dialog(test);
            check(dialog, [&] { dialog.RunTick(); });
            // The kept Cancel queued the leave, which the ticks run.
            for (int i = 0; i < 4 && dialog.isVisible(); ++i) dialog.RunTick();
            QVERIFY(!dialog.isVisible());
        } else if (dialogKind == 1) {
            QCOMPARE(FactoryTest::Begin(fx->session.links), 1);
            FactoryTest test(fx->session.links);
            FactoryTestDialog dialog(test);
            check(dialog, [&] { dialog.RunTick(); });
            QTRY_VERIFY(!dialog.isVisible());
            FactoryTest::Finish(fx->session.links);
        } else if (dialogKind == 2) {
            Calibration cal(fx->session.links, 0);
            QCOMPARE(cal.Begin(), 1);
            CalibrationDialog dialog(cal);
            check(dialog, [&] { dialog.RunTick(); });
            QTRY_VERIFY(!dialog.isVisible());
        } else {
            QVERIFY(!fx->session.links.OpenSerial());
            StatusControl engine(fx->session.links);
            StatusControlDialog dialog(engine);
            QVERIFY(dialog.Begin());
            check(dialog, [&] { dialog.Tick(); });
            QTRY_VERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), 1);
        }
    }

    // A tick shows what the gateway holds; the buttons reach the gateway, and status control
    // ends with the diagnostic mode off, whatever the user left it in.
    void statusControlShowsTheGatewayAndForwardsTheButtons()
    {
        gw->store.settings[1][1] = 0x13;
        QVERIFY(!fx->session.links.OpenSerial());
        StatusControl engine(fx->session.links);
        StatusControlDialog d(engine);
        QVERIFY(d.Begin());
        d.show();
        auto* description = Find<QLabel>(d, "description1");
        QCOMPARE(description->text(), QString());
        d.Tick();
        QCOMPARE(description->text(), QString("KX913 + 3 x KX914"));

        Click(d, "clearOverride");
        Click(d, "diagnosticMode");
        Click(d, "diagnosticMode");
        QCOMPARE(Find<QCheckBox>(d, "diagnosticMode")->checkState(), Qt::Unchecked);
        Click(d, "cancel");
        QCOMPARE(d.result(), 1);
        QVERIFY(!d.isVisible());
        QCOMPARE(ControlWrites(), (QStringList{"0", "256", "4096", "0", "0"}));
    }

private:
    QStringList ControlWrites() const
    {
        QStringList out;
        for (const std::string& r : gw->requests)
            if (r.rfind("S0.05=", 0) == 0) out << QString::fromStdString(r.substr(6));
        return out;
    }
    std::unique_ptr<CoreFixture> fx;
    std::unique_ptr<FakeGateway> gw;
};

QTEST_MAIN(DiagDialogTests)
#include "diag_dialog_tests.moc"
