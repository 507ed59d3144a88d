#include "diag/trend_series.h"

#include "config/model.h"
#include "diag/cell_text.h"
#include "diag/live_log.h"
#include "text/choices.h"
#include "text/cp1252.h"
#include "text/numbers.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace tarn {

namespace {

constexpr int GROUP_SIZE = 8;

// The divisor and the decimals of an analog cell's number by channel type (1..63), as the cell
// shows it.
struct AnalogScale {
    double divisor;
    int decimals;
};
AnalogScale ScaleOfType(int type)
{
    if (type == 1) return {1000.0, 3};
    if (type == 2) return {100.0, 2};
    return {10.0, 1};
}

int AnalogType(const UnitRecord& unit, int channel) { return static_cast<int>(unit.channels[channel].word & 0x3F); }

TrendSample Reading(const UnitRecord& unit, const TrendChannel& t, long long timeMs)
{
    if (t.analog) {
        int raw = static_cast<int>(unit.channels[t.channel].live_value & 0xFFFF);
        if (raw > 32767) raw -= 65536;
        return {timeMs, raw / ScaleOfType(AnalogType(unit, t.channel)).divisor, TrendState::Ok};
    }
    const int state = DigitalCellState(unit.channels[t.channel / GROUP_SIZE].live_value, t.channel);
    const TrendState kind = state == 0x100 ? TrendState::Open : state == 0x101 ? TrendState::Short : TrendState::Ok;
    return {timeMs, static_cast<double>(state & 1), kind};
}

int RecordOf(const TrendChannel& t) { return t.analog ? t.channel : t.channel / GROUP_SIZE; }

const char* StateName(TrendState state)
{
    switch (state) {
    case TrendState::Open: return "open";
    case TrendState::Short: return "short";
    case TrendState::Ok: break;
    }
    return "ok";
}

} // namespace

std::string TrendChannel::Label() const
{
    char position[32];
    std::snprintf(position, sizeof position, "%d-%02d", unit + 1, channel + 1);
    return tag.empty() ? std::string(position) : std::string(position) + " " + tag;
}

TrendAdd TrendSeries::Add(const SystemConfiguration& gateway, const SystemConfiguration& tags, int unit, int channel)
{
    if (unit < 0 || unit >= UNIT_COUNT || channel < 0 || channel >= CHANNEL_COUNT) return TrendAdd::NoValue;
    const UnitRecord& record = gateway.units[unit];
    // A cell the panel does not draw, or draws blank, has nothing to follow.
    if (channel >= ChannelsInUse(record) || record.channels[channel].word == 0) return TrendAdd::NoValue;
    if (record.SLAVE_TYPE == UNIT_KX913 && AnalogType(record, channel) == 0) return TrendAdd::NoValue;
    for (const TrendChannel& t : channels_)
        if (t.unit == unit && t.channel == channel) return TrendAdd::Present;
    if (channels_.size() >= TREND_MAX_CHANNELS) return TrendAdd::Full;

    TrendChannel t;
    t.unit = unit;
    t.channel = channel;
    t.analog = record.SLAVE_TYPE == UNIT_KX913;
    t.tag = std::string(FieldText(tags.units[unit].channels[channel].tag));
    if (t.analog) {
        const int type = AnalogType(record, channel);
        t.unitText = UnitOfMeasureText(type);
        t.decimals = ScaleOfType(type).decimals;
    }
    channels_.push_back(std::move(t));
    ++revision_;
    return TrendAdd::Added;
}

void TrendSeries::Take(const SystemConfiguration& gateway, const RecordsRead& read, long long timeMs)
{
    for (TrendChannel& t : channels_) {
        std::deque<TrendSample>& samples = t.samples;
        while (!samples.empty() && samples.front().timeMs < timeMs - TREND_SPAN_MS) samples.pop_front();
        if (!read.Holds(t.unit, RecordOf(t))) continue;
        samples.push_back(Reading(gateway.units[t.unit], t, timeMs));
        ++revision_;
    }
}

void TrendSeries::Clear()
{
    channels_.clear();
    ++revision_;
}

std::optional<TrendFigures> TrendSeries::Figures(int index) const
{
    const std::deque<TrendSample>& samples = channels_.at(static_cast<std::size_t>(index)).samples;
    if (samples.empty()) return std::nullopt;
    TrendFigures f{samples.back().value, samples.front().value, samples.front().value};
    for (const TrendSample& s : samples) {
        f.minimum = std::min(f.minimum, s.value);
        f.maximum = std::max(f.maximum, s.value);
    }
    return f;
}

std::string TrendSeries::Csv() const
{
    // (time, channel index, sample index): a stable merge of the channels by time.
    std::vector<std::tuple<long long, std::size_t, std::size_t>> order;
    for (std::size_t i = 0; i < channels_.size(); ++i)
        for (std::size_t k = 0; k < channels_[i].samples.size(); ++k) order.emplace_back(channels_[i].samples[k].timeMs, i, k);
    std::sort(order.begin(), order.end());

    std::string csv = LiveLogHeader();
    for (const auto& [time, i, k] : order) {
        const TrendChannel& t = channels_[i];
        const TrendSample& s = t.samples[k];
        csv += LogTimeText(std::chrono::system_clock::time_point(std::chrono::milliseconds(time))) + ',' + std::to_string(t.unit + 1) + ',' + std::to_string(t.channel + 1) + ',' +
               CsvField(Cp1252ToUtf8(t.tag)) + ',' +
               (t.analog ? FormatFixed(s.value, t.decimals) : std::to_string(static_cast<int>(s.value))) + ',' +
               CsvField(Cp1252ToUtf8(t.unitText)) + ',' + StateName(s.state) + '\n';
    }
    return csv;
}

} // namespace tarn
