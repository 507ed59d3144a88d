// The status control dialog over the fake gateway: what it shows after a tick, what
// its buttons write, how it ends, and that no text is cut in either language.
#include "diag/diag_dialogs.h"
#include "diag/status_control_dialog.h"

#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace tarn;
using testing::CoreFixture;
using testing::FakeGateway;

class StatusControlDialogTests : public QObject {
    Q_OBJECT

    std::unique_ptr<CoreFixture> core;
    std::unique_ptr<FakeGateway> gateway;

    QString TextOf(QDialog& d, const QString& name) { return d.findChild<QLabel*>(name)->text(); }
    bool Shown(QDialog& d, const QString& name) { return !d.findChild<QWidget*>(name)->isHidden(); }
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
        core = std::make_unique<CoreFixture>();
        gateway = std::make_unique<FakeGateway>();
        State().serialPort.name = "/dev/fake-serial";
        auto& s = gateway->store.settings;
        s[1][1] = 0x13;
        s[2][1] = 0x30;
        for (int n = 1; n <= 4; ++n) s[n][5] = static_cast<std::uint32_t>(n), s[n][6] = static_cast<std::uint32_t>(n + 40);
    }
    void cleanup()
    {
        CloseSerialLink();
        gateway.reset();
        core.reset();
    }

    void showsTheUnitsFiguresAndTheLineHeldOn()
    {
        QVERIFY(OpenSerialLink());
        StatusControlDialog d;
        QVERIFY(d.Begin());
        QCOMPARE(TextOf(d, "description1"), QString());
        QVERIFY(!Shown(d, "bus1"));
        gateway->store.settings[0][5] = 0x0040;  // the gateway holds itself on line 1
        d.Tick();
        QCOMPARE(TextOf(d, "description1"), QString("KX913 + 3 x KX914"));
        QCOMPARE(TextOf(d, "description2"), QString("KX927"));
        QCOMPARE(TextOf(d, "description3"), QString());
        QCOMPARE(TextOf(d, "line1Figure3"), QString("97 "));
        QCOMPARE(TextOf(d, "line2Figure4"), QString("56 "));
        QCOMPARE(TextOf(d, "line2Label4"), QString("Quality of Slave 4 Line 2"));
        for (const char* name : {"bus1", "bus1Branch1", "bus1Branch4"}) QVERIFY2(Shown(d, name), name);
        for (const char* name : {"bus2", "bus2Branch1"}) QVERIFY2(!Shown(d, name), name);
        gateway->store.settings[0][5] = 0x00C0;
        d.Tick();
        QVERIFY(!Shown(d, "bus1") && !Shown(d, "bus2"));
    }

    void buttonsWriteTheControlWordAndCancelEndsWithOne()
    {
        QVERIFY(OpenSerialLink());
        StatusControlDialog d;
        QVERIFY(d.Begin());
        d.show();
        auto* diagnostic = d.findChild<QCheckBox*>("diagnosticMode");
        QTest::mouseClick(d.findChild<QPushButton*>("clearOverride"), Qt::LeftButton);
        QTest::mouseClick(diagnostic, Qt::LeftButton);
        QVERIFY(diagnostic->isChecked());
        QTest::mouseClick(d.findChild<QPushButton*>("clearOverride"), Qt::LeftButton);
        d.Tick();
        QCOMPARE(TextOf(d, "line1Figure1"), QString("1 "));
        QCOMPARE(TextOf(d, "line1Label1"), QString("Receive Errors of Slave 1 Line 1"));
        QTest::mouseClick(diagnostic, Qt::LeftButton);
        QCOMPARE(diagnostic->checkState(), Qt::Unchecked);
        QTest::mouseClick(d.findChild<QPushButton*>("cancel"), Qt::LeftButton);
        QCOMPARE(d.result(), 1);
        QVERIFY(!d.isVisible());
        QCOMPARE(ControlWrites(), (QStringList{"0", "256", "4096", "4352", "0", "0"}));
    }

    void aFailedExchangeEndsTheCommandWithText395()
    {
        // The opening exchanges are answered, the first tick is not: the dialog ends by itself.
        gateway->answerLimit = 2;
        OpenStatusControl(nullptr);
        QCOMPARE(core->ui.texts(MessageIcon::Error), std::vector<std::string>{"Communication error with KX940"});
        QVERIFY(!SerialLinkOpen());
        QCOMPARE(ControlWrites(), QStringList{"0"});
        QCOMPARE(core->ui.repaints, 1);

        gateway->answerLimit = -1;
        gateway->line().openError = {LinkErrorKind::Busy, "Device or resource busy"};
        OpenStatusControl(nullptr);
        QCOMPARE(core->ui.texts(MessageIcon::Error).back(), std::string("Unavailable Port"));
    }

    void noTextIsCutInEitherLanguage()
    {
        for (int language : {LANGUAGE_ENGLISH, LANGUAGE_ITALIAN}) {
            SetLanguage(language);
            QVERIFY(OpenSerialLink());
            gateway->store.settings[1][1] = 0x13;
            StatusControlDialog d;
            QVERIFY(d.Begin());
            QTest::mouseClick(d.findChild<QCheckBox*>("diagnosticMode"), Qt::LeftButton);
            d.Tick();  // the longer labels of the raw figures
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            for (QWidget* w : d.findChildren<QWidget*>()) {
                if (qobject_cast<QLabel*>(w) && static_cast<QLabel*>(w)->pixmap().isNull() == false) continue;
                if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w)) continue;
                QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName() + " " + QString::number(language)));
            }
            d.reject();
            CloseSerialLink();
        }
    }
};

QTEST_MAIN(StatusControlDialogTests)
#include "status_control_dialog_tests.moc"
