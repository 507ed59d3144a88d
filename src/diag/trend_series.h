// The trend of the live tests: up to eight channels the user picked from the unit
// panels, each with the readings of the last ten minutes. It is fed with the records
// a poll step has read (no request of its own) and keeps engineering values, so that
// the window only draws it and the CSV holds what the cells showed.
#pragma once

#include "config/model.h"
#include "diag/live_test.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

inline constexpr int TREND_MAX_CHANNELS = 8;
inline constexpr long long TREND_SPAN_MS = 10 * 60 * 1000;

// The state of a reading: an analog value, or a digital channel's state.
enum class TrendState { Ok, Open, Short };

struct TrendSample {
    long long timeMs = 0;  // ms since the Unix epoch, UTC
    double value = 0;      // engineering units; digital: 1 on, 0 off, open or short
    TrendState state = TrendState::Ok;
};

struct TrendChannel {
    int unit = 0;     // 0..3
    int channel = 0;  // 0..63
    bool analog = true;
    std::string tag;       // Windows-1252; empty when the panels show none
    std::string unitText;  // of measure, Windows-1252 ("°C", "mV", "Ohm"); empty for digital
    int decimals = 0;      // of the cell's number
    std::deque<TrendSample> samples;  // oldest first, none older than TREND_SPAN_MS before the newest

    // "1-05" and the tag after a blank when there is one.
    std::string Label() const;
};

struct TrendFigures {
    double last = 0, minimum = 0, maximum = 0;
};

enum class TrendAdd { Added, Present, Full, NoValue };

class TrendSeries {
public:
    // Adds channel (0..63) of unit (0..3) of the panels of gateway, with its tag from tags (the
    // gateway's in the serial test, the configuration's in the Modbus test, which reads none, as
    // the log does): Present when it is in the
    // trend already, Full with TREND_MAX_CHANNELS in it, NoValue for a cell that shows no value
    // (no KX913 or KX927 there, a channel beyond the unit's modules, an analog channel switched
    // off, a digital one not configured).
    TrendAdd Add(const SystemConfiguration& gateway, const SystemConfiguration& tags, int unit, int channel);

    // The readings of the records a poll step read, taken from gateway at timeMs; readings older
    // than TREND_SPAN_MS before timeMs are dropped.
    void Take(const SystemConfiguration& gateway, const RecordsRead& read, long long timeMs);

    // Removes every channel with its readings.
    void Clear();

    const std::vector<TrendChannel>& Channels() const { return channels_; }
    // Last, minimum and maximum of the readings kept; nothing before the first.
    std::optional<TrendFigures> Figures(int index) const;
    // Grows with every change, so that a window redraws only when there is something new.
    unsigned long long Revision() const { return revision_; }

    // Every reading kept, in time order (channels in trend order at equal times), UTF-8:
    // "time,unit,channel,tag,value,eng_unit,state", the time in local ISO 8601 with ms and offset.
    std::string Csv() const;

private:
    std::vector<TrendChannel> channels_;
    unsigned long long revision_ = 0;
};

} // namespace tarn
