// The factory test and the calibration opened from the window's menus against the
// fixture's kx940-sim and worked as a user works them, each between a read of the
// gateway and a comparison with it (by tarnctl) that must find nothing changed.
#include "gui/app/window_fixture.h"
#include "gui/dialogs/dialog_script.h"

#include "app/main_menu.h"
#include "config/config_file.h"
#include "e2e/e2e_support.h"
#include "text/command_ids.h"

#include <QElapsedTimer>

using namespace tarn;
using tarn::e2e::SharedSimulatorLink;
using namespace tarn::testing;

namespace {

constexpr int kTimeoutMs = 30000;

QString Field(QDialog& dialog, const char* name) { return Edit(dialog, name)->text(); }

// The dialogs are worked by these while the opener's modal run waits for them.

// The commands write what the gateway holds already, so the comparison still finds nothing.
void WorkFactoryTest(QDialog& dialog)
{
    dialog.show();
    const char* commands[] = {"s1.3=16", "?", "c2.1=0"};
    for (int i = 0; i < 3; ++i)
        Type(dialog, QStringLiteral("command%1").arg(i), commands[i]);
    Click(dialog, "send");
    QCOMPARE(Field(dialog, "command0"), QStringLiteral("S1.03=00016"));
    Click(dialog, "startSerial");
    Click(dialog, "startModbus");
    QTRY_VERIFY_WITH_TIMEOUT(Field(dialog, "serialCycles").toInt() >= 20 && Field(dialog, "modbusCycles").toInt() >= 20,
                             kTimeoutMs);
    Click(dialog, "stopSerial");
    Click(dialog, "stopModbus");
    QCOMPARE(Field(dialog, "serialErrors") + Field(dialog, "modbusErrors"), QStringLiteral("0000000000"));
    QCOMPARE(Field(dialog, "reply0"), QStringLiteral("S1.03=0016"));
    Click(dialog, "cancel");
}

// Each "Hit when Ready" is clicked as soon as it shows, up to "Calibration Done".
void WorkCalibration(QDialog& dialog)
{
    dialog.show();
    auto* step = Find<QPushButton>(dialog, "step");
    const QStringList clicks = {TextQ(336), TextQ(337), TextQ(339), TextQ(341)};
    QElapsedTimer clock;
    clock.start();
    while (step->text() != TextQ(343) && step->text() != TextQ(344) && clock.elapsed() < 4 * kTimeoutMs) {
        if (clicks.contains(step->text())) QTest::mouseClick(step, Qt::LeftButton);
        QTest::qWait(20);
    }
    QCOMPARE(step->text(), TextQ(343));  // done, not failed
    QTest::mouseClick(step, Qt::LeftButton);
}

} // namespace

class DiagGatewayTests : public QObject {
    Q_OBJECT

    ToolResult Tarnctl(const std::vector<std::string>& args)
    {
        return RunTool(dir.path(), TARN_TARNCTL, args);
    }

    // Opens the dialog of command from the window, works it with work, and compares the gateway
    // with the read of initTestCase: each test leaves it as it found it.
    void Run(int command, void (*work)(QDialog&), const char* dialogClass)
    {
        w->onDialog = [work](QDialog& dialog) {
            work(dialog);
            return dialog.result();
        };
        QVERIFY(w->window->DispatchCommand(command));
        if (QTest::currentTestFailed()) return;
        QCOMPARE(w->dialogsRun, QStringList{QString::fromLatin1(dialogClass)});
        QCOMPARE(w->Messages(), QStringList{});
        const auto compare = Tarnctl({"compare", "--port", SharedSimulatorLink("serial"), dir.file("before.mcf")});
        QVERIFY2(compare.exitCode == 0, compare.out.c_str());
    }

private slots:
    // The plant of the diagnostics tests written to the gateway and read back.
    void initTestCase()
    {
        const std::string file =
            WriteFile(dir.file("programmed.mcf"), FormatConfiguration(e2e::DiagnosticsPlant()));
        QCOMPARE(Tarnctl({"write", "--port", SharedSimulatorLink("serial"), file}).exitCode, std::optional<int>(0));
        QCOMPARE(Tarnctl({"read", "--port", SharedSimulatorLink("serial"), "-o", dir.file("before.mcf")}).exitCode,
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
    TempDir dir;
    std::unique_ptr<WindowUnderTest> w;
};

QTEST_MAIN(DiagGatewayTests)
#include "diag_gateway_tests.moc"
