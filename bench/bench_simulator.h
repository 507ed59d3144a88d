// kx940-sim as a child process of a benchmark: started with its options, driven
// by operator commands on its stdin, and asked for the bytes it counted; and what
// every benchmark against it sets up first (its command line, a scratch folder with
// the installation as a configuration file, the simulator serving it).
#pragma once

#include "config/config_file.h"
#include "config/model.h"
#include "serial/port_device.h"
#include "serial/threaded_serial_device.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace tarn::bench {

// What the simulator has counted since it started.
struct SimStats {
    unsigned long long serialIn = 0, serialOut = 0;  // bytes it received and sent on the serial link
    unsigned long long modbusIn = 0, modbusOut = 0;  // and on the Modbus link
    unsigned long long requests = 0;                 // requests answered on both links
};

class BenchSimulator {
public:
    static constexpr int START_TIMEOUT_MS = 10000;
    static constexpr int COMMAND_TIMEOUT_MS = 5000;

    // Starts program with arguments and waits for its "ready" line.
    bool Start(const QString& program, const QStringList& arguments)
    {
        process_.setProgram(program);
        process_.setArguments(arguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(START_TIMEOUT_MS)) return false;
        while (auto line = ReadLine(START_TIMEOUT_MS)) {
            if (*line == "ready") return true;
            if (line->rfind("serial ", 0) == 0) serialAddress = line->substr(7);
        }
        return false;
    }

    std::string serialAddress;  // where it serves the serial link, as it printed it

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

    std::optional<SimStats> ReadStats()
    {
        const auto line = Command("stats");
        if (!line || line->rfind("stats ", 0) != 0) return std::nullopt;
        SimStats s;
        if (std::sscanf(line->c_str(), "stats serial_in=%llu serial_out=%llu modbus_in=%llu modbus_out=%llu requests=%llu",
                        &s.serialIn, &s.serialOut, &s.modbusIn, &s.modbusOut, &s.requests) != 5)
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

    ~BenchSimulator() { Stop(); }

private:
    std::optional<std::string> ReadLine(int timeoutMs)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!process_.canReadLine()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
            if (left <= 0 || process_.state() == QProcess::NotRunning) return std::nullopt;
            process_.waitForReadyRead(static_cast<int>(left));
        }
        return process_.readLine().trimmed().toStdString();
    }

    QProcess process_;
};

// The command line of a benchmark: --sim PATH (default: kx940-sim next to the benchmark),
// --threaded (the desktop program's serial device, a worker thread per port, instead of the
// blocking one of tarnctl) and, when countOption is given, that option with a positive count.
struct BenchArguments {
    QString simulator;
    int count = 0;
    bool threaded = false;
    QString picture;  // --picture FILE, where the program takes one
};

inline tarn::SerialDeviceFactory BenchSerialDevices(const BenchArguments& args)
{
    return args.threaded ? tarn::ThreadedSerialDevices() : tarn::PortDevices();
}

inline std::optional<BenchArguments> ParseBenchArguments(const char* usage, const QString& countOption = {},
                                                         int defaultCount = 0, bool takesPicture = false)
{
    BenchArguments parsed{QDir(QCoreApplication::applicationDirPath()).filePath("kx940-sim"), defaultCount, false, {}};
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--sim" && i + 1 < args.size()) {
            parsed.simulator = args[++i];
        } else if (takesPicture && args[i] == "--picture" && i + 1 < args.size()) {
            parsed.picture = args[++i];
        } else if (args[i] == "--threaded") {
            parsed.threaded = true;
        } else if (!countOption.isEmpty() && args[i] == countOption && i + 1 < args.size() && args[i + 1].toInt() > 0) {
            parsed.count = args[++i].toInt();
        } else {
            std::fprintf(stderr, "usage: %s\n", usage);
            return std::nullopt;
        }
    }
    return parsed;
}

// A scratch folder with the installation written as a configuration file and the links of the
// simulator that serves it. Start and Restart say on stderr why they could not.
class BenchGateway {
public:
    bool Start(const QString& simulator, const SystemConfiguration& installation, const QStringList& options)
    {
        if (!dir_.isValid()) return Fail("no temporary directory");
        const std::string configPath = dir_.filePath("bench.mcf").toStdString();
        std::ofstream file(configPath, std::ios::binary);
        if (!(file << FormatConfiguration(installation)).flush()) return Fail("cannot write " + configPath);
        simulator_ = simulator;
        options_ = options + QStringList{"--config", QString::fromStdString(configPath), "--link-dir", dir_.filePath("link")};
        return Restart();
    }
    // A simulator started anew on the same file and links.
    bool Restart()
    {
        sim = std::make_unique<BenchSimulator>();
        return sim->Start(simulator_, options_) || Fail("cannot start " + simulator_.toStdString());
    }
    std::string Link(const char* name) const { return QDir(dir_.filePath("link")).filePath(name).toStdString(); }
    std::string Folder() const { return dir_.path().toStdString(); }

    std::unique_ptr<BenchSimulator> sim;

private:
    static bool Fail(const std::string& why)
    {
        std::fprintf(stderr, "%s\n", why.c_str());
        return false;
    }

    QTemporaryDir dir_;
    QString simulator_;
    QStringList options_;
};

} // namespace tarn::bench
