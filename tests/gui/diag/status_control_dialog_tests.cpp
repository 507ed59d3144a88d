// The status control dialog over the fake gateway: what it shows, what its buttons
// send, how the command ends, and that no text is cut in either language.
#include "diag/diag_dialogs.h"
#include "diag/status_control_dialog.h"

#include "link/link.h"
#include "serial/exchange_gate.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace tarn;

class StatusControlDialogTests : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::CoreFixture> core;
    std::unique_ptr<testing::FakeGateway> gateway;

    static QString TextOf(QDialog& d, const char* name) { return d.findChild<QLabel*>(name)->text(); }
    static void Click(QDialog& d, const char* name) { QTest::mouseClick(d.findChild<QAbstractButton*>(name), Qt::LeftButton); }
    QStringList ControlWrites() const
    {
        QStringList out;
        for (const std::string& r : gateway->requests)
            if (r.rfind("S0.05=", 0) == 0) out << QString::fromStdString(r.substr(6));
        return out;
    }

private slots:
    void init()
    {
        core = std::make_unique<testing::CoreFixture>();
        gateway = std::make_unique<testing::FakeGateway>(core->devices);
        core->state.serialPort.name = "/dev/fake-serial";
        gateway->store.settings[1][1] = 0x13;
        gateway->store.settings[4][6] = 44;
    }
    void cleanup()
    {
        core->session.links.CloseSerial();
        gateway.reset();
        core.reset();
    }

    void showsTheGatewayAndForwardsTheButtons()
    {
        QVERIFY(!core->session.links.OpenSerial());
        StatusControl engine(core->session.links);
        StatusControlDialog d(engine);
        QVERIFY(d.Begin());
        d.show();
        QCOMPARE(TextOf(d, "description1"), QString());
        gateway->store.settings[0][5] = 0x0040;  // the gateway holds itself on line 1
        d.Tick();
        QCOMPARE(TextOf(d, "description1"), QString("KX913 + 3 x KX914"));
        QCOMPARE(TextOf(d, "line2Figure4"), QString("56 "));
        QCOMPARE(TextOf(d, "line2Label4"), QString("Quality of Slave 4 Line 2"));
        for (const char* name : {"bus1", "bus1Branch4"}) QVERIFY2(d.findChild<QWidget*>(name)->isVisible(), name);
        QVERIFY(!d.findChild<QWidget*>("bus2Branch1")->isVisible());

        Click(d, "clearOverride");
        Click(d, "diagnosticMode");
        d.Tick();
        QCOMPARE(TextOf(d, "line2Figure4"), QString("44 "));
        Click(d, "diagnosticMode");
        QCOMPARE(d.findChild<QCheckBox*>("diagnosticMode")->checkState(), Qt::Unchecked);
        Click(d, "cancel");
        QCOMPARE(d.result(), 1);
        QVERIFY(!d.isVisible());
        QCOMPARE(ControlWrites(), (QStringList{"0", "256", "4096", "0", "0"}));
    }

    // The single shot that fires and a Cancel that comes while a button's exchange waits are
    // kept: no request, nothing ends; then the tick polls and the Cancel ends the dialog.
    void aTickAndACancelDuringAnExchangeWaitForIt()
    {
        QVERIFY(!core->session.links.OpenSerial());
        StatusControl engine(core->session.links);
        StatusControlDialog d(engine);
        QVERIFY(d.Begin());
        d.show();
        const std::size_t requests = gateway->requests.size();
        {
            const ExchangeScope exchange;
            d.Tick();
            d.reject();
            QCOMPARE(gateway->requests.size(), requests);
            QVERIFY(d.isVisible());
        }
        QTRY_VERIFY(!d.isVisible());
        QVERIFY(gateway->requests.size() > requests);
        QCOMPARE(d.result(), 1);
    }

    void aFailedExchangeEndsTheCommandWithText395()
    {
        gateway->answerLimit = 2;  // the opening exchanges only: the first tick ends the dialog
        OpenStatusControl(core->session, nullptr);
        QCOMPARE(core->ui.texts(MessageIcon::Error), std::vector<std::string>{"Communication error with KX940"});
        QVERIFY(!core->session.links.Serial().IsOpen());
        QCOMPARE(ControlWrites(), QStringList{"0"});

        gateway->line().openError = {LinkErrorKind::Busy, "Device or resource busy"};
        OpenStatusControl(core->session, nullptr);
        QCOMPARE(core->ui.texts(MessageIcon::Error).back(), std::string("Unavailable Port"));
    }

    void noTextIsCutInEitherLanguage()
    {
        for (int language : {LANGUAGE_ENGLISH, LANGUAGE_ITALIAN}) {
            SetLanguage(language);
            QVERIFY(!core->session.links.OpenSerial());
            StatusControl engine(core->session.links);
            StatusControlDialog d(engine);
            QVERIFY(d.Begin());
            Click(d, "diagnosticMode");
            d.Tick();  // the longer labels of the raw figures
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            for (QWidget* w : d.findChildren<QWidget*>()) {
                auto* label = qobject_cast<QLabel*>(w);
                if ((!label || !label->pixmap().isNull()) && !qobject_cast<QAbstractButton*>(w)) continue;
                QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
            }
            d.reject();
            core->session.links.CloseSerial();
        }
    }
};

QTEST_MAIN(StatusControlDialogTests)
#include "status_control_dialog_tests.moc"
