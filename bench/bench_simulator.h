// kx940-sim as a child process of a benchmark: started with its options, driven
// by operator commands on its stdin, and asked for the bytes it counted.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdio>
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

} // namespace tarn::bench
