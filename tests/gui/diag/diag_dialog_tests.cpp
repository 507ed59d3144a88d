// The diagnostic dialogs over their engines and the fake gateway: Cancel and Escape in
// the states that matter, the lamp of a link gone down; what status control shows, what
// its buttons send and how the command ends. The tick timers are stopped and
// ticks run one by one.
#include "diag/calibration_dialog.h"
#include "diag/factory_test_dialog.h"
#include "diag/diag_dialogs.h"
#include "diag/single_channel_dialog.h"
#include "diag/status_control_dialog.h"
#include "link/link.h"
#include "serial/exchange_gate.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "text/texts.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tarn;
using testing::CoreFixture;
using testing::FakeGateway;

namespace {

template <class T>
T* Child(QWidget& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!child) qFatal("no child %s", name);
    return child;
}

// The dialogs that poll with a timer of their own; status control polls by single shots.
void StopTimer(QWidget& dialog)
{
    if (auto* timer = dialog.findChild<QTimer*>(QStringLiteral("tickTimer"))) timer->stop();
}

void Show(QWidget& dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    StopTimer(dialog);
}

QString TextOf(QDialog& d, const char* name) { return d.findChild<QLabel*>(name)->text(); }
void Click(QDialog& d, const char* name) { QTest::mouseClick(d.findChild<QAbstractButton*>(name), Qt::LeftButton); }
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

    void singleChannelEscapeWithTheLinkDownAsksBeforeLeaving()
    {
        SingleChannelTest test(fx->session.links);
        QCOMPARE(test.Begin(), 1);
        SingleChannelDialog dialog(test);
        Show(dialog);
        dialog.RunTick();
        gw->answerLimit = static_cast<int>(gw->requests.size());
        dialog.RunTick();
        QVERIFY(Child<QLabel>(dialog, "lamp119")->isHidden());  // lit on the next tick

        QTest::keyClick(&dialog, Qt::Key_Escape);
        auto* cancel = Child<QPushButton>(dialog, "cancel");
        QVERIFY(!cancel->isEnabled());
        QVERIFY(dialog.isVisible());
        fx->ui.answers = {false};
        dialog.RunTick();
        QCOMPARE(fx->ui.texts(MessageIcon::Question).size(), std::size_t(1));
        QVERIFY(dialog.isVisible());
        QVERIFY(cancel->isEnabled());
        QVERIFY(Child<QLabel>(dialog, "lamp119")->isVisible());

        QTest::mouseClick(cancel, Qt::LeftButton);
        fx->ui.answers = {true};
        dialog.RunTick();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
    }

    void factoryTestEscapeWaitsForTheCycles()
    {
        QCOMPARE(FactoryTest::Begin(fx->session.links), 1);
        FactoryTest test(fx->session.links);
        FactoryTestDialog dialog(test);
        Show(dialog);
        QTest::mouseClick(Child<QPushButton>(dialog, "startModbus"), Qt::LeftButton);
        StopTimer(dialog);
        QVERIFY(!Child<QPushButton>(dialog, "send")->isEnabled());
        QVERIFY(!Child<QPushButton>(dialog, "cancel")->isEnabled());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());

        QTest::mouseClick(Child<QPushButton>(dialog, "stopModbus"), Qt::LeftButton);
        QVERIFY(Child<QPushButton>(dialog, "cancel")->isEnabled());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        FactoryTest::Finish(fx->session.links);
    }

    void calibrationEscapeDuringAStep()
    {
        Calibration cal(fx->session.links, 0);
        QCOMPARE(cal.Begin(), 1);
        CalibrationDialog dialog(cal);
        Show(dialog);
        auto* step = Child<QPushButton>(dialog, "step");
        auto* cancel = Child<QPushButton>(dialog, "cancel");
        QTest::mouseClick(step, Qt::LeftButton);
        QTest::mouseClick(step, Qt::LeftButton);
        QCOMPARE(step->text(), QStringLiteral("Calibrating Zero... Please Wait"));
        QVERIFY(!cancel->isVisible());
        dialog.RunTick();
        QCOMPARE(Child<QLabel>(dialog, "currentReading")->text(), QStringLiteral("0 "));

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
        auto check = [this](QDialog& dialog, const std::function<void()>& tick, bool cancelCloses) {
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
            if (cancelCloses) QTRY_VERIFY(!dialog.isVisible());
        };
        if (dialogKind == 0) {
            SingleChannelTest test(fx->session.links);
            QCOMPARE(test.Begin(), 1);
            SingleChannelDialog dialog(test);
            check(dialog, [&] { dialog.RunTick(); }, false);
            // The kept Cancel queued the leave, which the ticks run.
            QTest::qWait(10);  // the turn of the loop that takes the kept Cancel
            for (int i = 0; i < 4 && dialog.isVisible(); ++i) dialog.RunTick();
            QVERIFY(!dialog.isVisible());
        } else if (dialogKind == 1) {
            QCOMPARE(FactoryTest::Begin(fx->session.links), 1);
            FactoryTest test(fx->session.links);
            FactoryTestDialog dialog(test);
            check(dialog, [&] { dialog.RunTick(); }, true);
            FactoryTest::Finish(fx->session.links);
        } else if (dialogKind == 2) {
            Calibration cal(fx->session.links, 0);
            QCOMPARE(cal.Begin(), 1);
            CalibrationDialog dialog(cal);
            check(dialog, [&] { dialog.RunTick(); }, true);
        } else {
            QVERIFY(!fx->session.links.OpenSerial());
            StatusControl engine(fx->session.links);
            StatusControlDialog dialog(engine);
            QVERIFY(dialog.Begin());
            check(dialog, [&] { dialog.Tick(); }, true);
            QCOMPARE(dialog.result(), 1);
        }
    }

    // Status control ends with the diagnostic mode off, whatever the user left it in.
    void statusControlShowsTheGatewayAndForwardsTheButtons()
    {
        gw->store.settings[1][1] = 0x13;
        gw->store.settings[4][6] = 44;
        QVERIFY(!fx->session.links.OpenSerial());
        StatusControl engine(fx->session.links);
        StatusControlDialog d(engine);
        QVERIFY(d.Begin());
        d.show();
        QCOMPARE(TextOf(d, "description1"), QString());
        gw->store.settings[0][5] = 0x0040;  // the gateway holds itself on line 1
        d.Tick();
        QCOMPARE(TextOf(d, "description1"), QString("KX913 + 3 x KX914"));
        QCOMPARE(TextOf(d, "line2Figure4"), QString("56 "));
        for (const char* name : {"bus1", "bus1Branch4"}) QVERIFY2(d.findChild<QWidget*>(name)->isVisible(), name);
        QVERIFY(!d.findChild<QWidget*>("bus2Branch1")->isVisible());

        Click(d, "clearOverride");
        Click(d, "diagnosticMode");
        gw->line().nowMs += 10000;  // ten seconds in diagnostic mode: 44 of the 100 telegrams lost
        d.Tick();
        QCOMPARE(TextOf(d, "line2Figure4"), QString("44 "));
        Click(d, "diagnosticMode");
        QCOMPARE(d.findChild<QCheckBox*>("diagnosticMode")->checkState(), Qt::Unchecked);
        Click(d, "cancel");
        QCOMPARE(d.result(), 1);
        QVERIFY(!d.isVisible());
        QCOMPARE(ControlWrites(), (QStringList{"0", "256", "4096", "0", "0"}));
    }

    void statusControlEndsOnAFailedExchange()
    {
        gw->answerLimit = 2;  // the opening exchanges only: the first tick ends the dialog
        OpenStatusControl(fx->session, nullptr);
        QCOMPARE(fx->ui.texts(MessageIcon::Error), std::vector<std::string>{"Communication error with KX940"});
        QVERIFY(!fx->session.links.Serial().IsOpen());
        QCOMPARE(ControlWrites(), QStringList{"0"});

        gw->line().openError = {LinkErrorKind::Busy, "Device or resource busy"};
        OpenStatusControl(fx->session, nullptr);
        QCOMPARE(fx->ui.texts(MessageIcon::Error).back(), std::string("Unavailable Port"));
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
