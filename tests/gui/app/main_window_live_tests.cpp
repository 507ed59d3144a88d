// Both live tests through the window against kx940-sim: the modes and menu bars
// from the command to Exit, the panels appearing unit by unit while the serial
// test reads, the cells after polling (tags or unit-channel numbers, values,
// digital states) compared with the view's own drawing of the gateway image, a cell
// double-clicked into the trend, and an adapter pulled while a test polls and plugged back in.
#include "window_fixture.h"

#include "app/main_menu.h"
#include "config/config_file.h"
#include "diag/live_test.h"
#include "diag/trend_window.h"
#include "e2e/e2e_support.h"
#include "link/link.h"
#include "serial/qt_serial_device.h"
#include "support/sample_installation.h"
#include "text/command_ids.h"
#include "view/main_view.h"
#include "view/view_draw.h"
#include "view/view_layout.h"

#include <QApplication>
#include <QTableWidget>
#include <QTest>

using namespace tarn;
using tarn::testing::MenuBarLines;
using tarn::testing::TopTitles;
using tarn::testing::WindowUnderTest;

namespace {

constexpr int kTimeoutMs = 30000;
constexpr int kCellFontHeight = 10;  // of the fixture's window

const std::vector<std::string> kIdleTitles = {"File", "Configure", "Test", "Tools", "Settings", "?"};

// Channel 1 of unit 1 is a -21..+21 mV channel, its reading pinned; group 1 of the KX927 at
// position 3 pinned to states of every kind (channel 2 on with its fault: SHORT).
constexpr int kPinnedRaw = 1234;
constexpr unsigned kPinnedGroup = 1u | (1u << 1) | (1u << 9) | (1u << 2) | (1u << 13);

// The status text of a step that polled something.
bool Polled(const std::string& status, int unitNumber = -1)
{
    const std::string prefix = unitNumber < 0 ? GetText(120) : PollStatusText(unitNumber, -1, true);
    return status.rfind(prefix, 0) == 0;
}

std::vector<std::string> TestBar(int start, bool running, bool logging = false)
{
    auto item = [](const char* label, int id, bool enabled) {
        return std::string(label) + " [" + std::to_string(id) + "]" + (enabled ? "" : " (grayed)");
    };
    return {item("Start", start, !running), item("Stop", start + 1, running), item("Exit", start + 2, !running),
            item("Log to File...", start + 3, !logging), item("Stop Logging", start + 4, logging),
            item("Trend", start + 10, true)};
}

ViewLayout LayoutOf(const MainView& view) { return ComputeViewLayout(view.width(), view.height()); }

// Whether the view's panel of unit u shows what a fresh paint of the gateway image as it stands
// shows: the cells drawn after polling carry the values read.
bool PanelAsPainted(WindowUnderTest& w, int u)
{
    const MainView& shown = *w.window->View();
    MainView painted(w.state);
    painted.SetCellFontHeight(kCellFontHeight);
    painted.resize(shown.size());
    painted.RepaintNow();
    const Rect& r = LayoutOf(shown).panels[u];
    const QRect panel(r.left, r.top, r.right - r.left, r.bottom - r.top);
    return shown.Screen().copy(panel) == painted.Screen().copy(panel);
}

} // namespace

class MainWindowLiveTests : public QObject {
    Q_OBJECT

    const SystemConfiguration plant_ = tarn::testing::FullInstallation();  // KX913+3, none, KX927, KX913
    tarn::testing::TempDir dir_;

    bool StartSimulator(tarn::e2e::Simulator& sim)
    {
        std::string error;
        const bool started = sim.Start(TARN_SIMULATOR, dir_.file("sim"), {"--config", dir_.file("plant.mcf")}, error);
        if (!started) qWarning("%s", error.c_str());
        return started;
    }

    // A window on the simulator's links with the plant as its current configuration, so that
    // the Modbus line and address are the gateway's.
    void Attach(WindowUnderTest& w, const tarn::e2e::Simulator& sim)
    {
        w.state.serialPort = {0, sim.serialLink};
        w.state.modbusPort = {0, sim.modbusLink};
        CopyConfiguration(w.state.current, plant_);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        w.window->Refresh();
    }

    // A simulator with the pinned readings and the window attached to it; nothing when it did
    // not start.
    std::unique_ptr<tarn::e2e::Simulator> StartPinnedSimulator(WindowUnderTest& w)
    {
        auto sim = std::make_unique<tarn::e2e::Simulator>();
        if (!StartSimulator(*sim) || sim->Command("value 1 1 " + std::to_string(kPinnedRaw)) != "ok" ||
            sim->Command("value 3 1 " + std::to_string(kPinnedGroup)) != "ok")
            return nullptr;
        Attach(w, *sim);
        return sim;
    }

    // Command 4100 until mode 5 (the serial test) or 4200 (Modbus), then Start, until a step
    // has polled unit 1.
    void StartPolling(WindowUnderTest& w, bool serial)
    {
        QVERIFY(w.window->DispatchCommand(serial ? CMD_SERIAL_LIVE_TEST : CMD_MODBUS_LIVE_TEST));
        QTRY_COMPARE_WITH_TIMEOUT(w.state.mode, serial ? AppMode::SerialTest : AppMode::ModbusTest, kTimeoutMs);
        QVERIFY(w.window->DispatchCommand(serial ? CMD_SERIAL_TEST_START : CMD_MODBUS_TEST_START));
        QVERIFY(w.state.TestRunning);
        QVERIFY(w.window->MainTimerActive());
        QTRY_VERIFY_WITH_TIMEOUT(Polled(w.window->View()->StatusMessage()), kTimeoutMs);
    }

    // Stop and Exit: back to the diagram of the current configuration with the full menu bar,
    // both links closed.
    void StopAndExit(WindowUnderTest& w, bool serial, bool logging = false)
    {
        const int start = serial ? CMD_SERIAL_TEST_START : CMD_MODBUS_TEST_START;
        QVERIFY(w.window->DispatchCommand(start + 1));
        QCOMPARE(MenuBarLines(*w.window), TestBar(start, false, logging));
        QVERIFY(!w.window->MainTimerActive());
        QVERIFY(w.window->DispatchCommand(start + 2));
        QCOMPARE(w.state.mode, AppMode::Idle);
        QCOMPARE(TopTitles(*w.window), kIdleTitles);
        QVERIFY(!w.window->MainTimerActive());
        QVERIFY(!w.session.links.Serial().IsOpen() && !w.session.links.Modbus().IsOpen());
        const Rect gateway = GatewayBoxRect(LayoutOf(*w.window->View()));
        QCOMPARE(w.window->View()->HitTestElement(gateway.left + 5, gateway.top + 5), 1);
        QCOMPARE(w.window->View()->StatusMessage(), std::string());
    }

    // The adapter pulled while the test polls: the status bar names the port while it is gone,
    // and once it is back (a simulator on the same links) polling resumes by itself.
    void PullTheAdapterWhilePolling(WindowUnderTest& w, std::unique_ptr<tarn::e2e::Simulator>& sim, bool serial)
    {
        if (QTest::currentTestFailed()) return;  // the walk before it went wrong
        const int start = serial ? CMD_SERIAL_TEST_START : CMD_MODBUS_TEST_START;
        StartPolling(w, serial);
        QCOMPARE(sim->Command("hangup"), std::optional<std::string>("ok"));
        const std::string port = (serial ? w.state.serialPort : w.state.modbusPort).DevicePath();
        QTRY_COMPARE_WITH_TIMEOUT(w.window->View()->StatusMessage(), PortGoneText(port), kTimeoutMs);
        QVERIFY(w.state.TestRunning && w.window->MainTimerActive());
        QCOMPARE(MenuBarLines(*w.window), TestBar(start, true));

        sim = std::make_unique<tarn::e2e::Simulator>();
        QVERIFY(StartSimulator(*sim));
        QTRY_VERIFY_WITH_TIMEOUT(Polled(w.window->View()->StatusMessage()), kTimeoutMs);
        QVERIFY(w.answers.messages.empty());
        StopAndExit(w, serial);
    }

    // The pinned values after polling, drawn in their panels.
    void CheckPinnedCells(WindowUnderTest& w)
    {
        QCOMPARE(w.state.gateway.units[0].channels[0].live_value, std::uint32_t(kPinnedRaw));
        QCOMPARE(w.state.gateway.units[2].channels[0].live_value, std::uint32_t(kPinnedGroup));
        QVERIFY(PanelAsPainted(w, 0) && PanelAsPainted(w, 2));
    }

    // The pinned channel in the trend window and in its readings saved, with its tag in the
    // serial test; the picture saved.
    void CheckTrend(WindowUnderTest& w)
    {
        TrendWindow* trend = w.window->TrendView();
        QVERIFY(trend && trend->isVisible() && w.window->Trend().Channels().size() == 1);
        trend->Redraw();
        QCOMPARE(trend->Figures()->item(0, 1)->text(), QStringLiteral("1.234 mV"));
        w.answers.saveChoices = {dir_.file("trend"), dir_.file("trend")};
        QVERIFY(trend->SaveReadings() && trend->SavePicture());
        const std::string row = ",1,1,TI 101 \xC2\xB0" "C,1.234,mV,ok\n";  // the log's tag in both tests
        QVERIFY(tarn::testing::ReadFile(dir_.file("trend.csv")).find(row) != std::string::npos);
        QVERIFY(tarn::testing::ReadFile(dir_.file("trend.png")).starts_with("\x89PNG"));
    }

private slots:
    void initTestCase()
    {
        tarn::testing::WriteFile(dir_.file("plant.mcf"), FormatConfiguration(plant_));
    }

    void fromTheCommandToExitAndAPulledAdapter_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::newRow("serial") << true;
        QTest::newRow("Modbus") << false;
    }
    void fromTheCommandToExitAndAPulledAdapter()
    {
        QFETCH(bool, serial);
        WindowUnderTest w;
        auto sim = StartPinnedSimulator(w);
        QVERIFY(sim);
        const SystemConfiguration before = w.state.current;
        const MainView& view = *w.window->View();
        const int start = serial ? CMD_SERIAL_TEST_START : CMD_MODBUS_TEST_START;
        const AppMode mode = serial ? AppMode::SerialTest : AppMode::ModbusTest;

        QVERIFY(w.window->DispatchCommand(serial ? CMD_SERIAL_LIVE_TEST : CMD_MODBUS_LIVE_TEST));
        if (serial) {
            // The reading phase: one grayed blank title, the hourglass, the panels unit by unit.
            QCOMPARE(w.state.mode, AppMode::PrepareSerialTest);
            QCOMPARE(MenuBarLines(*w.window), std::vector<std::string>{"  (grayed)"});
            QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
            QTRY_VERIFY_WITH_TIMEOUT(view.Progress() >= 30, kTimeoutMs);  // reading the empty position 2
            QCOMPARE(w.state.mode, AppMode::PrepareSerialTest);
            QVERIFY(PanelAsPainted(w, 0));
            // The tick that ends the read polls nothing: no status, no box.
            QTRY_COMPARE_WITH_TIMEOUT(w.state.mode, AppMode::SerialTest, kTimeoutMs);
            QVERIFY(!QApplication::overrideCursor());
            QCOMPARE(view.StatusMessage(), std::string());
        }
        QCOMPARE(w.state.mode, mode);
        QCOMPARE(MenuBarLines(*w.window), TestBar(start, false));
        QVERIFY(!w.window->MainTimerActive());

        QVERIFY(w.window->DispatchCommand(start));
        QCOMPARE(MenuBarLines(*w.window), TestBar(start, true));
        // The pinned channel joins the trend before its first reading.
        const Rect pinned = ChannelCellRect(LayoutOf(view).panels[0], LayoutOf(view).panelHeader, UNIT_KX913, 0);
        QTest::mouseDClick(w.window->View(), Qt::LeftButton, {}, QPoint(pinned.left + 5, pinned.top + 5));
        // Log to File: the rows of the cells the window draws, until the end of the test.
        w.answers.saveChoices.push_back(dir_.file("live"));
        QVERIFY(w.window->DispatchCommand(start + 3));
        QCOMPARE(MenuBarLines(*w.window), TestBar(start, true, true));
        QTRY_VERIFY_WITH_TIMEOUT(Polled(view.StatusMessage(), 4), kTimeoutMs);  // units 1 to 3 polled
        QTRY_VERIFY_WITH_TIMEOUT(view.StatusMessage().find("   Logging to live.csv: ") != std::string::npos, kTimeoutMs);
        QVERIFY(w.window->DispatchCommand(start + 1));
        QCOMPARE(w.session.links.Modbus().IsOpen(), !serial);  // open from the Modbus test's start to its Exit
        CheckPinnedCells(w);
        CheckTrend(w);
        QVERIFY(w.window->DispatchCommand(start));
        StopAndExit(w, serial, true);
        QVERIFY(!w.state.Logging);
        const std::string log = tarn::testing::ReadFile(dir_.file("live.csv"));
        // The sample's tags; the pinned readings: +1.234 mV, and ON with its fault, ON, OPEN.
        for (const char* expected : {",1,1,TI 101 \u00b0C,1.234,mV,ok\n", ",3,2,TT-3.02 BURNER Z,1,,short\n",
                                     ",3,3,TT-3.03 BURNER Z,1,,ok\n", ",3,6,TT-3.06 BURNER Z,0,,open\n"})
            QVERIFY2(log.find(expected) != std::string::npos, expected);
        QVERIFY(tarn::testing::SameBytes(w.state.current, before));
        QVERIFY(w.answers.messages.empty());
        PullTheAdapterWhilePolling(w, sim, serial);
    }
};

QTEST_MAIN(MainWindowLiveTests)
#include "main_window_live_tests.moc"
