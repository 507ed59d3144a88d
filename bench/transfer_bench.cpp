// How long a whole configuration transfer takes against the gateway simulator on
// wire timing, paced as the desktop program paces it (one step per tick of a
// 10 ms timer that is started again at the end of each step), compared with the
// time the bytes alone need on a 19200 baud wire plus the gateway's turnaround.
// Also how long a transfer takes to give up when the gateway falls silent and
// when the adapter is pulled. Then the read and the write again through the
// simulator's TCP ports, as through a serial device server, with 0 and 50 ms of
// network latency. Prints figures; exits non-zero only when it cannot run at all.
//
//   tarn-bench-transfer [--sim PATH] [--threaded]   (default: kx940-sim next to this program;
//                                                   --threaded: the desktop program's device)

#include "../tests/support/sample_installation.h"
#include "bench_simulator.h"
#include "config/app_state.h"
#include "config/model.h"
#include "link/link.h"
#include "link/transfer.h"
#include "session/session.h"
#include "serial/qt_serial_device.h"
#include "text/numbers.h"
#include "text/user_interface.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

namespace {

using namespace tarn;
using Clock = std::chrono::steady_clock;

constexpr int TURNAROUND_MS = 2;
constexpr double WIRE_BAUD = 19200.0;
constexpr double BITS_PER_BYTE = 10.0;  // start, 8 data, stop
constexpr auto TICK = std::chrono::milliseconds(10);

// Error boxes go to stderr; questions are answered No (the bench asks none).
class BenchUserInterface : public SilentUserInterface {
public:
    std::string lastError;
    void ShowMessage(MessageIcon icon, const std::string&, const std::string& text) override
    {
        if (icon == MessageIcon::Error) lastError = text;
    }
};

using bench::SimStats;
using Simulator = bench::BenchSimulator;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs the transfer of mode with the desktop program's pacing. onStep, when given, runs
// between steps with the number of steps done; it may inject a fault and returns the moment
// it did so. The time from the start (or from the fault) to the end step, in seconds.
template <typename OnStep>
std::optional<double> RunPaced(Session& session, AppMode mode, OnStep onStep)
{
    session.mode = mode;
    Clock::time_point from = Clock::now();
    if (!session.transfer.Start()) return std::nullopt;
    Clock::time_point due = Clock::now() + TICK;
    for (int steps = 0;; ++steps) {
        if (auto fault = onStep(steps)) from = *fault;
        std::this_thread::sleep_until(due);
        if (!session.transfer.Step()) break;
        due = Clock::now() + TICK;
    }
    return Seconds(Clock::now() - from);
}

std::optional<Clock::time_point> NoFault(int) { return std::nullopt; }

// Wire limit in seconds: the bytes both ways at 19200 baud and the turnaround of each request.
double WireLimit(const SimStats& before, const SimStats& after)
{
    const double bytes = static_cast<double>((after.serialIn - before.serialIn) + (after.serialOut - before.serialOut));
    const double requests = static_cast<double>(after.requests - before.requests);
    return bytes * BITS_PER_BYTE / WIRE_BAUD + requests * TURNAROUND_MS / 1000.0;
}

bool Measure(Session& session, Simulator& sim, const char* name, AppMode mode)
{
    const auto before = sim.ReadStats();
    const auto seconds = RunPaced(session, mode, NoFault);
    const auto after = sim.ReadStats();
    if (!seconds || !before || !after || session.transfer.LastOutcome() != TransferOutcome::Succeeded) {
        std::printf("%s: failed\n", name);
        return false;
    }
    const double limit = WireLimit(*before, *after);
    std::printf("%s: %.2f s, wire limit %.2f s, ratio %.2f  (%llu requests, %llu bytes)\n", name, *seconds, limit,
                *seconds / limit, after->requests - before->requests,
                (after->serialIn - before->serialIn) + (after->serialOut - before->serialOut));
    return true;
}

// A read that meets the fault after 100 steps (in unit 1); the time from the fault to the
// end step.
void MeasureFailure(Session& session, Simulator& sim, const char* name, const std::string& command, BenchUserInterface& ui)
{
    ui.lastError.clear();
    const auto seconds = RunPaced(session, AppMode::ReadGateway, [&](int steps) -> std::optional<Clock::time_point> {
        if (steps != 100) return std::nullopt;
        const Clock::time_point at = Clock::now();
        sim.Command(command);
        return at;
    });
    if (!seconds) {
        std::printf("%s: could not start\n", name);
        return;
    }
    if (session.transfer.LastOutcome() != TransferOutcome::Failed) {
        std::printf("%s: the transfer did not fail\n", name);
        return;
    }
    std::printf("%s: failed after %.3f s (%s)\n", name, *seconds, ui.lastError.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    tarn::KeepNumericLocaleC();
    const auto args = bench::ParseBenchArguments("tarn-bench-transfer [--sim PATH] [--threaded]");
    if (!args) return 2;
    // Four KX913 units with three expansions each, every channel in use: the most a transfer carries.
    const SystemConfiguration installation = testing::FullInstallation(testing::FOUR_FULL_KX913);
    bench::BenchGateway gateway;
    if (!gateway.Start(args->simulator, installation, {"--wire-timing", "--turnaround", QString::number(TURNAROUND_MS)}))
        return 2;
    Simulator& sim = *gateway.sim;

    BenchUserInterface ui;
    Session state(ui, bench::BenchSerialDevices(*args));
    state.serialPort.name = gateway.Link("serial");

    int status = 0;
    if (!Measure(state, sim, "read", AppMode::ReadGateway)) status = 1;
    if (status == 0 && std::memcmp(&state.current.units, &installation.units, sizeof installation.units) != 0)
        std::printf("read: the configuration read differs from the one programmed\n");

    CopyConfiguration(state.gateway, state.current);
    if (!Measure(state, sim, "write", AppMode::WriteGateway)) status = 1;

    MeasureFailure(state, sim, "silence", "silence on", ui);
    sim.Command("silence off");
    MeasureFailure(state, sim, "hangup", "hangup", ui);

    state.links.CloseSerial();
    sim.Stop();

    // The same transfers through a serial device server on the loopback: the wire timing stays
    // the simulator's, the network adds its latency to each reply.
    for (const int latency : {0, 50}) {
        bench::BenchGateway network;
        if (!network.Start(args->simulator, installation,
                           {"--wire-timing", "--turnaround", QString::number(TURNAROUND_MS), "--tcp", "0",
                            "--net-latency", QString::number(latency)}))
            return 2;
        Session overNetwork(ui, bench::BenchSerialDevices(*args));
        overNetwork.serialPort.name = network.sim->serialAddress;
        overNetwork.netLatencyMs = latency;
        const std::string tag = "tcp " + std::to_string(latency) + " ms ";
        if (!Measure(overNetwork, *network.sim, (tag + "read").c_str(), AppMode::ReadGateway)) status = 1;
        CopyConfiguration(overNetwork.gateway, overNetwork.current);
        if (!Measure(overNetwork, *network.sim, (tag + "write").c_str(), AppMode::WriteGateway)) status = 1;
        overNetwork.links.CloseSerial();
    }
    return status;
}
