// Both live tests run through the main window of the desktop program against the
// gateway simulator, as a user runs them (command, Start, Stop, Exit), while the
// gateway answers, while it is silent, and after its adapter is pulled. For each
// phase: the longest time the window's event loop stood still (the longest gap
// between two turns of a 1 ms probe timer: what a user sees as a frozen window),
// the longest and the mean time from one poll step to the next, and the bound the
// window's stand-still must keep in every phase. The window talks to the gateway
// through the desktop program's threaded serial device.
//
//   tarn-bench-window [--sim PATH] [--seconds N] [--picture FILE]
//       (default: kx940-sim next to this program, 5; --picture: the trend window as a PNG at
//       the end of its phase, the manual's picture when run under Xvfb on xcb)
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM names another (xcb under
// Xvfb includes the X server's drawing). Figures vary with the load of the machine.

#include "../tests/support/sample_installation.h"
#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "app/window_size.h"
#include "bench_simulator.h"
#include "config/app_state.h"
#include "diag/live_test.h"
#include "diag/trend_series.h"
#include "diag/trend_window.h"
#include "link/link.h"
#include "serial/threaded_serial_device.h"
#include "session/session.h"
#include "text/command_ids.h"
#include "text/texts.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using namespace tarn;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Message boxes go nowhere but are remembered; every step's end (its status message) is timed.
class BenchUserInterface : public QtUserInterface {
public:
    const AppState* session = nullptr;  // whose test steps are timed
    std::string lastError;
    int steps = 0;
    double longestStepToStepMs = 0;
    double totalStepToStepMs = 0;

    void ResetSteps()
    {
        steps = 0;
        longestStepToStepMs = totalStepToStepMs = 0;
        lastStep_ = {};
    }
    void ShowMessage(MessageIcon, const std::string&, const std::string& text) override { lastError = text; }
    void ShowMessageWithDetails(MessageIcon, const std::string&, const std::string& text, const std::string& details) override
    {
        lastError = text + (details.empty() ? "" : ": " + details);
    }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void SetStatusMessage(const std::string& text) override
    {
        QtUserInterface::SetStatusMessage(text);
        if (!session || !session->TestRunning) return;
        const Clock::time_point now = Clock::now();
        if (lastStep_ != Clock::time_point{}) {
            const double ms = Ms(now - lastStep_);
            longestStepToStepMs = std::max(longestStepToStepMs, ms);
            totalStepToStepMs += ms;
            ++steps;
        }
        lastStep_ = now;
    }

private:
    Clock::time_point lastStep_{};
};

// Turns of the event loop, seen by a 1 ms timer.
class LoopProbe {
public:
    LoopProbe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            longestGapMs = std::max(longestGapMs, Ms(now - last_));
            last_ = now;
        });
    }
    void Start()
    {
        longestGapMs = 0;
        last_ = Clock::now();
        timer_.start();
    }
    void Stop() { timer_.stop(); }
    double longestGapMs = 0;

private:
    QTimer timer_;
    Clock::time_point last_;
};

// Runs the event loop until done() or timeoutMs; false on the time-out.
bool RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() >= end) return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Phase {
    const char* name;
    std::function<void()> before;  // what happens to the gateway as the phase begins
};

void Measure(const char* test, const Phase& phase, int seconds, double boundMs, BenchUserInterface& ui, LoopProbe& probe)
{
    if (phase.before) phase.before();
    ui.ResetSteps();
    probe.Start();
    RunFor(seconds * 1000);
    probe.Stop();
    std::printf("%-7s %-16s longest stand-still %4.0f ms   step to step: longest %4.0f ms, mean %4.0f ms "
                "(%d steps)   bound %3.0f ms\n",
                test, phase.name, probe.longestGapMs, ui.longestStepToStepMs,
                ui.steps ? ui.totalStepToStepMs / ui.steps : 0.0, ui.steps, boundMs);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto args =
        bench::ParseBenchArguments("tarn-bench-window [--sim PATH] [--seconds N] [--picture FILE]", "--seconds", 5, true);
    if (!args) return 2;
    const int seconds = args->count;
    // KX913 + 3 x KX914, nothing, KX927, KX913; Modbus address 17 at 19200 baud, 8 N 2.
    const SystemConfiguration plant = testing::FullInstallation();
    bench::BenchGateway gateway;
    if (!gateway.Start(args->simulator, plant, {})) return 2;
    const auto& sim = gateway.sim;

    BenchUserInterface ui;
    Session state(ui, ThreadedSerialDevices());
    ui.session = &state;
    state.startDirectory = gateway.Folder();
    SetLanguage(LANGUAGE_ENGLISH);
    state.serialPort.name = gateway.Link("serial");
    state.modbusPort.name = gateway.Link("modbus");

    const MainWindowSize size = ComputeMainWindowSize(1280, 1024).value();
    MainWindow window(state, size);
    ui.AttachWindow(&window);
    CopyConfiguration(state.current, plant);  // the gateway's Modbus address and line
    window.show();
    window.Refresh();
    LoopProbe probe;

    // The longest the window may stand still, whatever the gateway does.
    const double boundMs = 50;
    const Phase answering{"answering", [&] { sim->Command("silence off"); }};
    const Phase silent{"silent", [&] { sim->Command("silence on"); }};
    const Phase pulled{"adapter pulled", [&] { sim->Command("hangup"); }};

    std::printf("main window %dx%d on the %s platform, %d s a phase\n", size.width, size.height,
                qPrintable(QGuiApplication::platformName()), seconds);
    window.DispatchCommand(CMD_SERIAL_LIVE_TEST);
    if (!RunUntil([&] { return state.mode != AppMode::PrepareSerialTest; }, 60000) || state.mode != AppMode::SerialTest) {
        std::printf("serial test: the reading phase did not end in mode 5 (%s)\n", ui.lastError.c_str());
        return 1;
    }
    window.DispatchCommand(CMD_SERIAL_TEST_START);
    for (const Phase* phase : {&answering, &silent}) Measure("serial", *phase, seconds, boundMs, ui, probe);
    sim->Command("silence off");
    window.DispatchCommand(CMD_SERIAL_TEST_STOP);
    window.DispatchCommand(CMD_SERIAL_TEST_EXIT);

    window.DispatchCommand(CMD_MODBUS_LIVE_TEST);
    if (state.mode != AppMode::ModbusTest) {
        std::printf("modbus test: could not start (%s)\n", ui.lastError.c_str());
        return 1;
    }
    window.DispatchCommand(CMD_MODBUS_TEST_START);
    // The trend window open, following eight channels spread over the panels.
    const Phase trended{"trend of 8", [&] {
                            for (int k = 0; k < TREND_MAX_CHANNELS; ++k) window.FollowChannel(k % 2 ? 3 : 0, 2 * k);
                        }};
    for (const Phase* phase : {&answering, &trended, &silent, &pulled}) {
        Measure("modbus", *phase, seconds, boundMs, ui, probe);
        if (phase == &trended && !args->picture.isEmpty() && window.TrendView()) {
            window.TrendView()->Redraw();
            if (!window.TrendView()->grab().save(args->picture)) std::printf("cannot write %s\n", qPrintable(args->picture));
        }
    }
    window.DispatchCommand(CMD_MODBUS_TEST_STOP);
    window.DispatchCommand(CMD_MODBUS_TEST_EXIT);

    // The serial test with the adapter pulled while it polls, on a gateway started anew.
    if (!gateway.Restart()) return 2;
    window.DispatchCommand(CMD_SERIAL_LIVE_TEST);
    if (!RunUntil([&] { return state.mode != AppMode::PrepareSerialTest; }, 60000) || state.mode != AppMode::SerialTest)
        return 1;
    window.DispatchCommand(CMD_SERIAL_TEST_START);
    Measure("serial", pulled, seconds, boundMs, ui, probe);
    window.DispatchCommand(CMD_SERIAL_TEST_STOP);
    window.DispatchCommand(CMD_SERIAL_TEST_EXIT);

    ui.AttachWindow(nullptr);
    return 0;
}
