// How long a whole configuration transfer takes against the gateway simulator on
// wire timing, paced as the desktop program paces it (one step per tick of a
// 10 ms timer that is started again at the end of each step), compared with the
// time the bytes alone need on a 19200 baud wire plus the gateway's turnaround.
// Also how long a transfer takes to give up when the gateway falls silent and
// when the adapter is pulled. Prints figures; exits non-zero only when it cannot
// run at all.
//
//   tarn-bench-transfer [--sim PATH]   (default: kx940-sim next to this program)

#include "../tests/support/sample_installation.h"
#include "config/app_state.h"
#include "config/config_file.h"
#include "config/model.h"
#include "link/link.h"
#include "link/transfer.h"
#include "serial/qt_serial_device.h"
#include "text/numbers.h"
#include "text/user_interface.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
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
constexpr int START_TIMEOUT_MS = 10000;
constexpr int COMMAND_TIMEOUT_MS = 5000;

// Error boxes go to stderr; questions are answered No (the bench asks none).
class BenchUserInterface : public SilentUserInterface {
public:
    std::string lastError;
    void ShowMessage(MessageIcon icon, const std::string&, const std::string& text) override
    {
        if (icon == MessageIcon::Error) lastError = text;
    }
};

struct Stats {
    unsigned long long in = 0;        // bytes the gateway received on the serial link
    unsigned long long out = 0;       // bytes it sent
    unsigned long long requests = 0;
};

class Simulator {
public:
    bool Start(const QString& program, const QString& config, const QString& linkDir)
    {
        process_.setProgram(program);
        process_.setArguments({"--wire-timing", "--turnaround", QString::number(TURNAROUND_MS), "--config", config,
                               "--link-dir", linkDir});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(START_TIMEOUT_MS)) return false;
        while (auto line = ReadLine(START_TIMEOUT_MS)) {
            if (*line == "ready") return true;
        }
        return false;
    }

    // Sends one control command and waits for its answer line ("ok", "stats ..." or "error").
    std::optional<std::string> Command(const std::string& command)
    {
        process_.write((command + "\n").c_str());
        process_.waitForBytesWritten(COMMAND_TIMEOUT_MS);
        while (auto line = ReadLine(COMMAND_TIMEOUT_MS)) {
            if (*line == "ok" || *line == "error" || line->rfind("stats ", 0) == 0) return line;
        }
        return std::nullopt;
    }

    std::optional<Stats> ReadStats()
    {
        const auto line = Command("stats");
        if (!line || line->rfind("stats ", 0) != 0) return std::nullopt;
        Stats s;
        unsigned long long modbusIn = 0, modbusOut = 0;
        if (std::sscanf(line->c_str(), "stats serial_in=%llu serial_out=%llu modbus_in=%llu modbus_out=%llu requests=%llu",
                        &s.in, &s.out, &modbusIn, &modbusOut, &s.requests) != 5)
            return std::nullopt;
        return s;
    }

    void Stop()
    {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }

    ~Simulator() { Stop(); }

private:
    std::optional<std::string> ReadLine(int timeoutMs)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!process_.canReadLine()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0 || process_.state() == QProcess::NotRunning) return std::nullopt;
            process_.waitForReadyRead(static_cast<int>(left));
        }
        return process_.readLine().trimmed().toStdString();
    }

    QProcess process_;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs the transfer of mode with the desktop program's pacing. onStep, when given, runs
// between steps with the number of steps done; it may inject a fault and returns the moment
// it did so. The time from the start (or from the fault) to the end step, in seconds.
template <typename OnStep>
std::optional<double> RunPaced(int mode, OnStep onStep)
{
    State().AppMode = mode;
    Clock::time_point from = Clock::now();
    if (!StartTransfer()) return std::nullopt;
    Clock::time_point due = Clock::now() + TICK;
    for (int steps = 0;; ++steps) {
        if (auto fault = onStep(steps)) from = *fault;
        std::this_thread::sleep_until(due);
        if (!TransferStep()) break;
        due = Clock::now() + TICK;
    }
    return Seconds(Clock::now() - from);
}

std::optional<Clock::time_point> NoFault(int) { return std::nullopt; }

// Wire limit in seconds: the bytes both ways at 19200 baud and the turnaround of each request.
double WireLimit(const Stats& before, const Stats& after)
{
    const double bytes = static_cast<double>((after.in - before.in) + (after.out - before.out));
    const double requests = static_cast<double>(after.requests - before.requests);
    return bytes * BITS_PER_BYTE / WIRE_BAUD + requests * TURNAROUND_MS / 1000.0;
}

bool Measure(Simulator& sim, const char* name, int mode)
{
    const auto before = sim.ReadStats();
    const auto seconds = RunPaced(mode, NoFault);
    const auto after = sim.ReadStats();
    if (!seconds || !before || !after || LastTransferOutcome() != TransferOutcome::Succeeded) {
        std::printf("%s: failed\n", name);
        return false;
    }
    const double limit = WireLimit(*before, *after);
    std::printf("%s: %.2f s, wire limit %.2f s, ratio %.2f  (%llu requests, %llu bytes)\n", name, *seconds, limit,
                *seconds / limit, after->requests - before->requests,
                (after->in - before->in) + (after->out - before->out));
    return true;
}

// A read that meets the fault after 100 steps (in unit 1); the time from the fault to the
// end step.
void MeasureFailure(Simulator& sim, const char* name, const std::string& command, BenchUserInterface& ui)
{
    ui.lastError.clear();
    const auto seconds = RunPaced(MODE_READ_GATEWAY, [&](int steps) -> std::optional<Clock::time_point> {
        if (steps != 100) return std::nullopt;
        const Clock::time_point at = Clock::now();
        sim.Command(command);
        return at;
    });
    if (!seconds) {
        std::printf("%s: could not start\n", name);
        return;
    }
    if (LastTransferOutcome() != TransferOutcome::Failed) {
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
    QString simulator = QDir(QCoreApplication::applicationDirPath()).filePath("kx940-sim");
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--sim" && i + 1 < args.size()) {
            simulator = args[++i];
        } else {
            std::fprintf(stderr, "usage: tarn-bench-transfer [--sim PATH]\n");
            return 2;
        }
    }

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 2;
    }
    // Four KX913 units with three expansions each, every channel in use: the most a transfer carries.
    const SystemConfiguration installation = testing::FullInstallation(testing::FOUR_FULL_KX913);
    const std::string configPath = dir.filePath("bench.mcf").toStdString();
    {
        std::ofstream file(configPath, std::ios::binary);
        file << FormatConfiguration(installation);
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", configPath.c_str());
            return 2;
        }
    }

    AppState state;
    InstallState(&state);
    BenchUserInterface ui;
    InstallUserInterface(&ui);
    InstallQtSerialDevices();

    const QString linkDir = dir.filePath("link");
    Simulator sim;
    if (!sim.Start(simulator, QString::fromStdString(configPath), linkDir)) {
        std::fprintf(stderr, "cannot start %s\n", simulator.toLocal8Bit().constData());
        return 2;
    }
    state.serialPort.name = QDir(linkDir).filePath("serial").toStdString();

    int status = 0;
    if (!Measure(sim, "read", MODE_READ_GATEWAY)) status = 1;
    if (status == 0 && std::memcmp(&state.current.units, &installation.units, sizeof installation.units) != 0)
        std::printf("read: the configuration read differs from the one programmed\n");

    CopyConfiguration(state.gateway, state.current);
    if (!Measure(sim, "write", MODE_WRITE_GATEWAY)) status = 1;

    MeasureFailure(sim, "silence", "silence on", ui);
    sim.Command("silence off");
    MeasureFailure(sim, "hangup", "hangup", ui);

    CloseSerialLink();
    sim.Stop();
    InstallUserInterface(nullptr);
    InstallState(nullptr);
    return status;
}
