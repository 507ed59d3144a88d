#include "diag/live_log.h"

#include "diag/cell_text.h"
#include "text/choices.h"
#include "text/cp1252.h"
#include "text/numbers.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace tarn {

namespace {

std::string Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::string();
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The number the panel shows, without padding, sign or unit; empty for a channel switched off.
std::string AnalogValueText(std::uint32_t liveValue, std::uint32_t channelWord)
{
    const int type = static_cast<int>(channelWord & 0x3F);
    int raw = static_cast<int>(liveValue & 0xFFFF);
    if (raw > 32767) raw -= 65536;
    const float v = static_cast<float>(raw);
    // The same float quotients as the panel, so the log holds the digits the cell showed.
    if (type == 1) return FormatFixed(v / 1000, 3);
    if (type == 2) return FormatFixed(v / 100, 2);
    if (type >= 3) return FormatFixed(v / 10, 1);
    return std::string();
}

} // namespace

std::string LiveLogHeader() { return "time,unit,channel,tag,value,eng_unit,state\n"; }

std::string LogTimeText(std::chrono::system_clock::time_point when)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    std::tm local{};
    localtime_r(&seconds, &local);
    const long offset = local.tm_gmtoff / 60;  // minutes east of UTC
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>((ms % 1000 + 1000) % 1000), offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return text;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void LiveLog::AddStep(const SystemConfiguration& image, const SystemConfiguration& tags, const PollStep& step)
{
    if (step.ok != 1) {
        unsigned units = 0;
        for (const CellChange& cell : step.cells) units |= 1u << cell.unit;
        failed_ |= units != 0 ? units : 0xFu;
        return;
    }
    // The serial test draws the cell it has just read on red and the one of the step before
    // on white again: a row for each reading, so only the red ones count when there are any.
    const bool anyRead = std::any_of(step.cells.begin(), step.cells.end(), [](const CellChange& c) { return c.flag == 2; });
    const int readFlag = anyRead ? 2 : 1;
    for (const CellChange& cell : step.cells) {
        if (cell.flag != readFlag) continue;
        const UnitRecord& unit = image.units[cell.unit];
        const ChannelRecord& record = unit.channels[cell.channel];
        Row row;
        row.tag = CsvField(Cp1252ToUtf8(Trimmed(FieldText(tags.units[cell.unit].channels[cell.channel].tag))));
        const ChannelRecord* source = &record;
        if (cell.analog) {
            row.value = AnalogValueText(record.live_value, record.word);
            if (!row.value.empty()) row.unit = Cp1252ToUtf8(UnitOfMeasureText(static_cast<int>(record.word & 0x3F)));
            row.state = "ok";
        } else {
            source = &unit.channels[cell.channel / 8];
            const int state = DigitalCellState(source->live_value, cell.channel);
            row.value = (state & 1) != 0 ? "1" : "0";
            row.state = state == 0x100 ? "open" : state == 0x101 ? "short" : "ok";
        }
        if (source->live_state == LIVE_STALE) row.state = "stale";
        cycle_[{cell.unit, cell.channel}] = std::move(row);
    }
}

std::string LiveLog::EndCycle(const std::string& time)
{
    for (const auto& [key, row] : last_) {
        if ((failed_ & (1u << key.first)) == 0) continue;
        Row stale = row;
        stale.state = "stale";
        cycle_[key] = std::move(stale);
    }
    std::string rows;
    for (auto& [key, row] : cycle_) {
        rows += time + ',' + std::to_string(key.first + 1) + ',' + std::to_string(key.second + 1) + ',' + row.tag + ',' +
                row.value + ',' + row.unit + ',' + row.state + '\n';
        last_[key] = std::move(row);
    }
    cycle_.clear();
    failed_ = 0;
    return rows;
}

bool LiveLogFile::Open(const std::string& path, int stepsPerCycle, int* error)
{
    Close();
    errno = 0;
    file_ = std::fopen(path.c_str(), "wb");
    const std::string header = LiveLogHeader();
    if (file_ && (std::fwrite(header.data(), 1, header.size(), file_) != header.size() || std::fflush(file_) != 0)) {
        const int reason = errno;
        Close();
        errno = reason;
    }
    if (error) *error = file_ ? 0 : errno;
    if (!file_) return false;
    path_ = path;
    log_ = LiveLog{};
    stepsPerCycle_ = std::max(stepsPerCycle, 1);
    steps_ = 0;
    rows_ = 0;
    return true;
}

bool LiveLogFile::Step(const SystemConfiguration& image, const SystemConfiguration& tags, const PollStep& step,
                       std::chrono::system_clock::time_point now)
{
    if (!file_) return false;
    log_.AddStep(image, tags, step);
    if (++steps_ < stepsPerCycle_) return true;
    steps_ = 0;
    const std::string rows = log_.EndCycle(LogTimeText(now));
    if (std::fwrite(rows.data(), 1, rows.size(), file_) != rows.size() || std::fflush(file_) != 0) {
        Close();
        return false;
    }
    rows_ += std::count(rows.begin(), rows.end(), '\n');
    return true;
}

void LiveLogFile::Close()
{
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

} // namespace tarn
