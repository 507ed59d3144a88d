// The log of a live test: CSV rows "time,unit,channel,tag,value,eng_unit,state" made from
// the poll steps, the same for tarnctl poll and the window's Log to File. Texts are UTF-8.
#pragma once

#include "config/model.h"
#include "diag/live_test.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace tarn {

// The header line, with its line end.
std::string LiveLogHeader();

// ISO 8601 local time with milliseconds and the offset from UTC: 2026-12-07T09:15:02.123+01:00.
std::string LogTimeText(std::chrono::system_clock::time_point when);

// A CSV field: quoted when it holds a separator, a quote (doubled) or a line break.
std::string CsvField(const std::string& text);

// The rows of one cycle: the steps of the cycle are fed in, then EndCycle writes them. A cycle
// is the four units of the Modbus test, or one step of the serial test.
class LiveLog {
public:
    // The readings of a step into the cycle's rows, from image (the gateway image after the
    // step), with the channel tags of tags. A step that failed marks the units it names (all
    // units when it names none) as failed for this cycle.
    void AddStep(const SystemConfiguration& image, const SystemConfiguration& tags, const PollStep& step);
    // The cycle's rows, sorted by unit and channel, time-stamped time: the readings taken, and
    // for every channel of a failed unit logged before, its previous value as stale. The
    // cycle is cleared; the rows are remembered for the next failed cycle.
    std::string EndCycle(const std::string& time);
    // Whether a step of the cycle being gathered failed.
    bool CycleFailed() const { return failed_ != 0; }

private:
    struct Row {
        std::string tag, value, unit, state;
    };
    using Key = std::pair<int, int>;  // unit 0..3, channel 0..63

    std::map<Key, Row> last_;    // the latest row written of every channel
    std::map<Key, Row> cycle_;   // the readings of the cycle being gathered
    unsigned failed_ = 0;        // bit u: unit u failed in this cycle
};

// The log file of the window's live tests: the header, then the rows of each cycle, flushed
// at its end. Opened as a save opens its target: symbolic links followed, a file the user
// may not write refused, a device or FIFO written in place.
class LiveLogFile {
public:
    LiveLogFile() = default;
    LiveLogFile(const LiveLogFile&) = delete;
    LiveLogFile& operator=(const LiveLogFile&) = delete;
    ~LiveLogFile() { Close(); }

    // Starts a log at path whose cycles are stepsPerCycle poll steps. false when the file
    // cannot be created or the header not written (error: the system's reason).
    bool Open(const std::string& path, int stepsPerCycle, int* error = nullptr);
    // One poll step; at the end of a cycle its rows are written. false when the write failed:
    // the file is closed then.
    bool Step(const SystemConfiguration& image, const SystemConfiguration& tags, const PollStep& step,
              std::chrono::system_clock::time_point now);
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }
    long long Rows() const { return rows_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    LiveLog log_;
    int stepsPerCycle_ = 1;
    int steps_ = 0;
    long long rows_ = 0;
};

} // namespace tarn
