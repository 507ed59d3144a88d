// The factory test and the calibration opened from the window's menus against the
// fixture's kx940-sim and worked as a user works them, each between a read of the
// gateway and a comparison with it (by tarnctl) that must find nothing changed. (The
// single channel test does the same through its engine: tests/e2e/diag_e2e_tests.cpp.)
#include "gui/app/window_fixture.h"

#include "app/main_menu.h"
#include "diag/calibration.h"
#include "config/config_file.h"
#include "e2e/e2e_support.h"
#include "serial/qt_serial_device.h"
#include "text/command_ids.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tarn;
using tarn::e2e::SharedSimulatorLink;
using tarn::testing::WindowUnderTest;

namespace {

constexpr int kTimeoutMs = 30000;

template <class T>
T* Child(QDialog& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!child) qFatal("no child %s", name);
    return child;
}

tarn::testing::ToolResult Tarnctl(const tarn::testing::TempDir& dir, const std::vector<std::string>& args)
{
    return tarn::testing::RunTool(dir.path(), TARN_TARNCTL, args);
}

// The dialogs are worked by these while the opener's modal run waits for them.

// The commands write what the gateway holds already, so the comparison still finds nothing.
void WorkFactoryTest(QDialog& dialog)
{
    dialog.show();
    const char* commands[] = {"s1.3=16", "?", "c2.1=0"};
    for (int i = 0; i < 3; ++i) {
        auto* edit = Child<QLineEdit>(dialog, qPrintable(QStringLiteral("command%1").arg(i)));
        edit->clear();
        QTest::keyClicks(edit, commands[i]);
    }
    QTest::mouseClick(Child<QPushButton>(dialog, "send"), Qt::LeftButton);
    QCOMPARE(Child<QLineEdit>(dialog, "command0")->text(), QStringLiteral("S1.03=00016"));
    QTest::mouseClick(Child<QPushButton>(dialog, "startSerial"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(dialog, "startModbus"), Qt::LeftButton);
    auto* serialCycles = Child<QLineEdit>(dialog, "serialCycles");
    auto* modbusCycles = Child<QLineEdit>(dialog, "modbusCycles");
    QTRY_VERIFY_WITH_TIMEOUT(serialCycles->text().toInt() >= 20 && modbusCycles->text().toInt() >= 20, kTimeoutMs);
    QTest::mouseClick(Child<QPushButton>(dialog, "stopSerial"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(dialog, "stopModbus"), Qt::LeftButton);
    QCOMPARE(Child<QLineEdit>(dialog, "serialErrors")->text(), QStringLiteral("00000"));
    QCOMPARE(Child<QLineEdit>(dialog, "modbusErrors")->text(), QStringLiteral("00000"));
    QCOMPARE(Child<QLineEdit>(dialog, "reply0")->text(), QStringLiteral("S1.03=0016"));
    QVERIFY(Child<QLineEdit>(dialog, "modbusValue")->text().startsWith(QLatin1Char(' ')));
    QTest::mouseClick(Child<QPushButton>(dialog, "cancel"), Qt::LeftButton);
}

// Each "Hit when Ready" is clicked as soon as it shows, up to "Calibration Done".
void WorkCalibration(QDialog& dialog)
{
    dialog.show();
    auto* step = Child<QPushButton>(dialog, "step");
    const QStringList clicks = {TextQ(336), TextQ(337), TextQ(339), TextQ(341)};
    QElapsedTimer clock;
    clock.start();
    while (step->text() != TextQ(343) && step->text() != TextQ(344) && clock.elapsed() < 4 * kTimeoutMs) {
        if (clicks.contains(step->text())) QTest::mouseClick(step, Qt::LeftButton);
        QTest::qWait(20);
    }
    QCOMPARE(step->text(), QStringLiteral("Calibration Done... Hit to Exit"));
    QVERIFY(Child<QPushButton>(dialog, "cancel")->isVisible());
    QTest::mouseClick(step, Qt::LeftButton);
}

} // namespace

class DiagGatewayTests : public QObject {
    Q_OBJECT

    // The gateway compared with the read of initTestCase: each test leaves it as it found it.
    void ExpectGatewayAsRead()
    {
        QCOMPARE(w->Messages(), QStringList{});
        const auto compare = Tarnctl(dir, {"compare", "--port", SharedSimulatorLink("serial"), dir.file("before.mcf")});
        QVERIFY2(compare.exitCode == 0, compare.out.c_str());
    }

    // Opens the dialog of command from the window, works it with work, and compares the gateway.
    void Run(int command, void (*work)(QDialog&), const char* dialogClass)
    {
        w->onDialog = [work](QDialog& dialog) {
            work(dialog);
            return dialog.result();
        };
        QVERIFY(w->window->DispatchCommand(command));
        if (QTest::currentTestFailed()) return;
        QCOMPARE(w->dialogsRun, QStringList{QString::fromLatin1(dialogClass)});
        ExpectGatewayAsRead();
    }

private slots:
    // The plant of the diagnostics tests written to the gateway and read back.
    void initTestCase()
    {
        const std::string file =
            tarn::testing::WriteFile(dir.file("programmed.mcf"), FormatConfiguration(tarn::e2e::DiagnosticsPlant()));
        QCOMPARE(Tarnctl(dir, {"write", "--port", SharedSimulatorLink("serial"), file}).exitCode, std::optional<int>(0));
        QCOMPARE(Tarnctl(dir, {"read", "--port", SharedSimulatorLink("serial"), "-o", dir.file("before.mcf")}).exitCode,
                 std::optional<int>(0));
    }
    void init()
    {
        w = std::make_unique<WindowUnderTest>();
        w->state.serialPort = {0, SharedSimulatorLink("serial")};
        w->state.modbusPort = {0, SharedSimulatorLink("modbus")};
    }
    void cleanup() { w.reset(); }

    void factoryTest() { Run(CMD_EMI_TEST, WorkFactoryTest, "tarn::FactoryTestDialog"); }
    void calibrationRunsToDone() { Run(CMD_CALIBRATE_FIRST, WorkCalibration, "tarn::CalibrationDialog"); }

private:
    tarn::testing::TempDir dir;
    std::unique_ptr<WindowUnderTest> w;
};

QTEST_MAIN(DiagGatewayTests)
#include "diag_gateway_tests.moc"
