// The diagnostic dialogs over their engines and the fake gateway: what the user sees
// of the state, and Cancel and Escape in the states that matter. The tick timers are
// stopped and ticks run one by one.
#include "diag/calibration_dialog.h"
#include "diag/factory_test_dialog.h"
#include "diag/single_channel_dialog.h"
#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/fake_modbus.h"
#include "support/recording_ui.h"
#include "text/texts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
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

void StopTimer(QWidget& dialog) { Child<QTimer>(dialog, "tickTimer")->stop(); }

void Show(QWidget& dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    StopTimer(dialog);
}

} // namespace

class DiagDialogTests : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        fx = std::make_unique<CoreFixture>();
        gw = std::make_unique<FakeGateway>();
        fx->state.serialPort.name = "/dev/fake-serial";
        fx->state.modbusPort.name = "/dev/fake-modbus";
        auto& s = gw->store;
        s.settings[1][1] = s.settings[1][3] = 0x10;
        s.settings[2][1] = 0x30;  // a KX927 where nothing is programmed
        s.words[1][1] = 0x1801;
        s.words[1][2] = 0x1883;
    }
    void cleanup()
    {
        CloseSerialLink();
        CloseModbusLink();
        gw.reset();
        fx.reset();
    }

    void singleChannelShowsTheListsOfTheChannelType()
    {
        SingleChannelTest test;
        QCOMPARE(test.Begin(), 1);
        SingleChannelDialog dialog(test);
        Show(dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral(" Single Channel Test"));
        dialog.RunTick();
        auto* channel = Child<QComboBox>(dialog, "channel");
        QVERIFY(channel->isVisible());
        QCOMPARE(channel->count(), 16);
        QCOMPARE(channel->itemText(1), QStringLiteral(" 02 "));
        QVERIFY(Child<QComboBox>(dialog, "burnoutOrScanTime")->isVisible());
        QVERIFY(!Child<QComboBox>(dialog, "wires")->isVisible());

        channel->setCurrentIndex(1);
        emit channel->activated(1);
        QVERIFY(!channel->isEnabled());
        dialog.RunTick();
        QVERIFY(channel->isEnabled());
        QVERIFY(Child<QComboBox>(dialog, "wires")->isVisible());
        QVERIFY(!Child<QComboBox>(dialog, "burnoutOrScanTime")->isVisible());
        QCOMPARE(Child<QComboBox>(dialog, "typeOrMode")->currentIndex(), 3);

        // A position whose real type is not the programmed one: no channel part, Match usable.
        Child<QTabBar>(dialog, "tabs")->setCurrentIndex(1);
        dialog.RunTick();
        QVERIFY(!channel->isVisible());
        QVERIFY(Child<QPushButton>(dialog, "matchProgrammedToReal")->isEnabled());
        QCOMPARE(Child<QLabel>(dialog, "realType")->text(), QStringLiteral("  KX927"));
    }

    void singleChannelEscapeWithTheLinkDownAsksBeforeLeaving()
    {
        SingleChannelTest test;
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

    void factoryTestButtonsFollowTheCyclesAndEscapeWaitsForThem()
    {
        testing::AnswerModbus(*gw, [](const testing::Bytes&) { return testing::OneRegisterReply(1, 7); });
        QCOMPARE(FactoryTest::Begin(), 1);
        FactoryTest test;
        test.wait = [](int) {};
        FactoryTestDialog dialog(test);
        Show(dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Factory Test Functions"));

        auto* command = Child<QLineEdit>(dialog, "command0");
        command->clear();
        QTest::keyClicks(command, "s1.5=123");
        QTest::keyClicks(Child<QLineEdit>(dialog, "tolerance0"), "x");
        QTest::mouseClick(Child<QPushButton>(dialog, "send"), Qt::LeftButton);
        QCOMPARE(command->text(), QStringLiteral("S1.05=00123"));
        QCOMPARE(Child<QLineEdit>(dialog, "tolerance0")->text(), QStringLiteral("0"));

        QTest::mouseClick(Child<QPushButton>(dialog, "startModbus"), Qt::LeftButton);
        StopTimer(dialog);
        QVERIFY(!Child<QPushButton>(dialog, "startModbus")->isEnabled());
        QVERIFY(!Child<QPushButton>(dialog, "send")->isEnabled());
        QVERIFY(!Child<QPushButton>(dialog, "cancel")->isEnabled());
        dialog.RunTick();
        QCOMPARE(Child<QLineEdit>(dialog, "modbusValue")->text(), QStringLiteral(" 00007"));
        QCOMPARE(Child<QLineEdit>(dialog, "modbusCycles")->text(), QStringLiteral("00001"));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());

        QTest::mouseClick(Child<QPushButton>(dialog, "stopModbus"), Qt::LeftButton);
        QVERIFY(Child<QPushButton>(dialog, "cancel")->isEnabled());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        FactoryTest::Finish();
    }

    void calibrationStepTextsAndEscapeDuringAStep()
    {
        Calibration cal(0);
        QCOMPARE(cal.Begin(), 1);
        CalibrationDialog dialog(cal);
        Show(dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral(" Calibration of KX913 # 1"));
        auto* step = Child<QPushButton>(dialog, "step");
        auto* cancel = Child<QPushButton>(dialog, "cancel");
        QCOMPARE(step->text(), QStringLiteral("Start Calibration"));
        QTest::mouseClick(step, Qt::LeftButton);
        QCOMPARE(step->text(), QStringLiteral("Apply 0 mV - Hit when Ready"));
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

    void calibrationSpeaksItalian()
    {
        SetLanguage(LANGUAGE_ITALIAN);
        Calibration cal(0);
        QCOMPARE(cal.Begin(), 1);
        CalibrationDialog dialog(cal);
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8(" Calibrazione KX913 N° 1"));
        QCOMPARE(Child<QPushButton>(dialog, "step")->text(), QStringLiteral("Start Calibrazione"));
    }

private:
    std::unique_ptr<CoreFixture> fx;
    std::unique_ptr<FakeGateway> gw;
};

QTEST_MAIN(DiagDialogTests)
#include "diag_dialog_tests.moc"
