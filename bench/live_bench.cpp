// The Modbus live test against the gateway simulator on wire timing: four KX913
// units with three expansions each, 19200 baud 8N2, polled as the desktop program
// polls them (one step per tick of a 50 ms timer whose ticks merge behind a slow
// step). The time of a cycle is compared with the time its bytes need on the wire
// plus the waits of every exchange: the program's 5 ms turnaround, the 12 ms of
// silence that end a reply at 19200 baud, and the simulator's own turnaround.
// The same cycles again with every step logged to a file give the cost of logging.
// Then the gateway falls silent, and the longest step of the Modbus and of the
// serial live test is compared with the exchange time-outs of one step. The Modbus cycle is
// measured again while it feeds a trend of eight channels, as the window does.
// Figures vary with the load of the machine: the simulator paces its replies with
// timers, and a reply that stalls for the 12 ms of silence is cut short.
//
//   tarn-bench-live [--sim PATH] [--cycles N] [--threaded]   (default: kx940-sim next to this program, 10;
//                                                             --threaded: the desktop program's device)

#include "../tests/support/sample_installation.h"
#include "bench_simulator.h"
#include "config/app_state.h"
#include "diag/live_log.h"
#include "diag/live_test.h"
#include "diag/trend_series.h"
#include "link/link.h"
#include "serial/qt_serial_device.h"
#include "session/session.h"
#include "text/command_ids.h"
#include "text/user_interface.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include <stdlib.h>
#include <unistd.h>

namespace {

using namespace tarn;
using Clock = std::chrono::steady_clock;

constexpr int SIM_TURNAROUND_MS = 2;
constexpr double WIRE_BAUD = 19200.0;
constexpr double BITS_PER_BYTE = 11.0;       // start, 8 data, 2 stop: 8 N 2
constexpr double SILENCE_MS = 12.0;          // end of a reply at 19200 baud
constexpr int STEPS_PER_CYCLE = 4;
constexpr int SILENT_STEPS = 8;

class BenchUserInterface : public SilentUserInterface {
public:
    std::string lastError;
    void ShowMessage(MessageIcon icon, const std::string&, const std::string& text) override
    {
        if (icon == MessageIcon::Error) lastError = text;
    }
    void ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                const std::string& details) override
    {
        ShowMessage(icon, caption, text + (details.empty() ? "" : ": " + details));
    }
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs steps ticks of a timer of period ms the way a window timer delivers them: a tick is due
// one period after the one before began, and a tick that fell due during a long step comes at
// once, merged with any others. The longest step in ms.
double RunTicks(int steps, int periodMs, const std::function<int()>& step)
{
    double longest = 0;
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(periodMs);
    for (int i = 0; i < steps; ++i) {
        std::this_thread::sleep_until(due);
        const Clock::time_point began = Clock::now();
        due = began + std::chrono::milliseconds(periodMs);
        step();
        longest = std::max(longest, Ms(Clock::now() - began));
    }
    return longest;
}

long long WallMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The mean Modbus cycle in ms, 0 after a failure; each step's result also goes to after.
double MeasureModbusCycle(Session& session, bench::BenchSimulator& sim, int cycles,
                          const std::function<void(const PollStep&)>& after = nullptr)
{
    const auto before = sim.ReadStats();
    const Clock::time_point start = Clock::now();
    RunTicks(cycles * STEPS_PER_CYCLE, MODBUS_POLL_MS, [&session, &after] {
        const PollStep step = session.live.ModbusPollStep();
        if (after) after(step);
        return step.ok;
    });
    const double elapsedMs = Ms(Clock::now() - start);
    const auto stats = sim.ReadStats();
    if (!before || !stats) return 0;
    const double bytes = static_cast<double>((stats->modbusIn - before->modbusIn) + (stats->modbusOut - before->modbusOut));
    const double requests = static_cast<double>(stats->requests - before->requests);
    if (requests != cycles * STEPS_PER_CYCLE * 2.0) {
        std::printf("modbus cycle: %.0f requests answered, %d expected\n", requests, cycles * STEPS_PER_CYCLE * 2);
        return 0;
    }
    const double cycleMs = elapsedMs / cycles;
    const double wireMs = bytes * BITS_PER_BYTE / WIRE_BAUD * 1000.0 / cycles;
    const double waitsMs = requests * (MODBUS_TURNAROUND_MS + SILENCE_MS + SIM_TURNAROUND_MS) / cycles;
    std::printf("modbus cycle (4 x KX913 + 3 x KX914, 19200 8N2): %.1f ms, wire %.1f ms + waits %.1f ms = %.1f ms, "
                "ratio %.2f (goal 1.30)  [%d cycles, %.0f requests and %.0f bytes a cycle]\n",
                cycleMs, wireMs, waitsMs, wireMs + waitsMs, cycleMs / (wireMs + waitsMs), cycles, requests / cycles,
                bytes / cycles);
    return cycleMs;
}

// The same cycles with every step logged to a file, as the window's Log to File does.
bool MeasureLoggedCycle(Session& session, bench::BenchSimulator& sim, int cycles, double plainMs)
{
    char folder[] = "/tmp/tarn-bench-log-XXXXXX";
    if (!::mkdtemp(folder)) return false;
    const std::string path = std::string(folder) + "/live.csv";
    LiveLogFile log;
    bool written = log.Open(path, STEPS_PER_CYCLE);
    std::printf("with logging: ");
    const double loggedMs = MeasureModbusCycle(session, sim, cycles, [&](const PollStep& step) {
        written = log.Step(session.gateway, session.current, step, std::chrono::system_clock::now()) && written;
    });
    const long long rows = log.Rows();
    log.Close();
    std::remove(path.c_str());
    ::rmdir(folder);
    if (!written || loggedMs == 0) return false;
    std::printf("logging: %.1f ms a cycle against %.1f ms without, %+.1f%% (goal at most +5%%)  [%lld rows]\n", loggedMs,
                plainMs, (loggedMs / plainMs - 1) * 100, rows);
    return true;
}

// The longest step while the gateway answers nothing, against the time-outs of one step.
void MeasureSilentSteps(const char* name, int periodMs, const std::function<int()>& step, double boundMs)
{
    const double longest = RunTicks(SILENT_STEPS, periodMs, step);
    std::printf("%s step, gateway silent: longest %.0f ms, exchange time-outs of a step %.0f ms\n", name, longest,
                boundMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto args = bench::ParseBenchArguments("tarn-bench-live [--sim PATH] [--cycles N] [--threaded]", "--cycles", 10);
    if (!args) return 2;
    const int cycles = args->count;
    // Modbus address 17 at 19200 baud, 8 N 2, as the sample installation has it.
    const SystemConfiguration installation = testing::FullInstallation(testing::FOUR_FULL_KX913);
    bench::BenchGateway gateway;
    if (!gateway.Start(args->simulator, installation, {"--wire-timing", "--turnaround", QString::number(SIM_TURNAROUND_MS)}))
        return 2;
    bench::BenchSimulator& sim = *gateway.sim;

    BenchUserInterface ui;
    Session state(ui, bench::BenchSerialDevices(*args));
    CopyConfiguration(state.current, installation);
    state.serialPort.name = gateway.Link("serial");
    state.modbusPort.name = gateway.Link("modbus");

    int status = 0;
    if (!state.live.StartModbus()) {
        const auto stats = sim.ReadStats();
        std::printf("modbus test: could not start (%s; %llu requests answered)\n", ui.lastError.c_str(),
                    stats ? stats->requests : 0ULL);
        return 1;
    }
    state.live.Command(CMD_MODBUS_TEST_START);
    const double plainMs = MeasureModbusCycle(state, sim, cycles);
    if (plainMs == 0 || !MeasureLoggedCycle(state, sim, cycles, plainMs)) status = 1;
    // The same cycle feeding a trend of eight channels spread over the four units.
    TrendSeries trend;
    for (int k = 0; k < TREND_MAX_CHANNELS; ++k) trend.Add(state.gateway, state.current, k % UNIT_COUNT, 9 * k);
    std::printf("with a trend: ");
    const double trendMs = MeasureModbusCycle(state, sim, cycles, [&](const PollStep& step) {
        trend.Take(state.gateway, step.read, WallMs());
    });
    if (plainMs == 0 || trendMs == 0 || trend.Channels().size() != TREND_MAX_CHANNELS) status = 1;
    else
        std::printf("modbus cycle with a trend of %zu channels: %.1f ms, without %.1f ms: %+.1f%% (goal at most +5%%)\n",
                    trend.Channels().size(), trendMs, plainMs, (trendMs / plainMs - 1) * 100);
    sim.Command("silence on");
    // Two reads a step, each waiting its 5 ms turnaround and its 200 ms read time-out.
    MeasureSilentSteps("modbus", MODBUS_POLL_MS, [&state] { return state.live.ModbusPollStep().ok; }, 2.0 * (MODBUS_TURNAROUND_MS + MODBUS_READ_TOTAL_MS));
    sim.Command("silence off");
    state.live.Command(CMD_MODBUS_TEST_STOP);
    state.live.Command(CMD_MODBUS_TEST_EXIT);

    // The serial test, with the gateway image its reading phase would have left.
    CopyConfiguration(state.gateway, installation);
    state.mode = AppMode::SerialTest;
    state.live.Command(CMD_SERIAL_TEST_START);
    if (!state.TestRunning) {
        std::printf("serial test: could not start (%s)\n", ui.lastError.c_str());
        return 1;
    }
    RunTicks(4, SERIAL_POLL_MS, [&state] { return state.live.SerialPollStep().ok; });
    sim.Command("silence on");
    // At most two commands a step (the unit check and a value), each of two attempts that wait
    // their 100 ms read time-out; a failed check ends the step at once.
    MeasureSilentSteps("serial", SERIAL_POLL_MS, [&state] { return state.live.SerialPollStep().ok; }, 2.0 * 2 * SERIAL_READ_TOTAL_MS);
    state.live.Command(CMD_SERIAL_TEST_STOP);
    state.live.Command(CMD_SERIAL_TEST_EXIT);

    sim.Stop();
    return status;
}
