#include "config/comparison.h"

#include "config/app_state.h"
#include "config/channel_word.h"
#include "config/file_commands.h"
#include "text/choices.h"
#include "text/numbers.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <cstdio>
#include <string_view>

namespace tarn {

namespace {

constexpr int SEPARATOR_LENGTH = 320;
constexpr int DIGITAL_CHANNELS_COMPARED = 32;

// A value outside its choice list (a gateway may report one) reads as its number instead of
// reaching past the end of the list.
std::string ChoiceOrNumber(ChoiceList list, std::uint32_t value)
{
    const std::string* entry = value <= 0xFFFFu ? ChoiceEntry(list, static_cast<int>(value)) : nullptr;
    return entry ? *entry : std::to_string(value);
}

std::string YesNoText(std::uint32_t value) { return GetText(value != 0 ? TEXT_YES : TEXT_NO); }

std::string NumberedLabel(int textId, int number)
{
    return GetText(textId) + " " + std::to_string(number);
}

std::string ChannelLabel(int channel, int what)
{
    return GetText(TEXT_COMPARE_CH) + " " + std::to_string(channel + 1) + " - " + GetText(what);
}

class ReportWriter {
public:
    explicit ReportWriter(std::string& report) : report_(report) {}

    void Line(std::string_view text)
    {
        report_ += text;
        report_ += "\r\n";
    }

    // One item: label, verdict, both values in angle brackets.
    void Item(const std::string& label, bool equal, const std::string& first, const std::string& second)
    {
        report_ += "  ";
        report_ += label;
        report_ += '\t';
        report_ += GetText(equal ? TEXT_COMPARE_OK : TEXT_COMPARE_ERROR);
        report_ += "\t<";
        report_ += first;
        report_ += ">\t<";
        report_ += second;
        report_ += ">\r\n";
        if (!equal) ++errors_;
    }

    template <typename T, typename Describe>
    void Compare(const std::string& label, T first, T second, Describe describe)
    {
        Item(label, first == second, describe(first), describe(second));
    }

    void CompareNumber(const std::string& label, std::uint32_t first, std::uint32_t second)
    {
        Compare(label, first, second, [](std::uint32_t v) { return std::to_string(v); });
    }

    void CompareChoice(const std::string& label, ChoiceList list, std::uint32_t first, std::uint32_t second)
    {
        Compare(label, first, second, [list](std::uint32_t v) { return ChoiceOrNumber(list, v); });
    }

    template <std::size_t N>
    void CompareText(const std::string& label, const char (&first)[N], const char (&second)[N])
    {
        const std::string_view a = FieldText(first);
        const std::string_view b = FieldText(second);
        Item(label, a == b, std::string(a), std::string(b));
    }

    int errors() const { return errors_; }

private:
    std::string& report_;
    int errors_ = 0;
};

void CompareMaster(ReportWriter& out, const SystemConfiguration& a, const SystemConfiguration& b)
{
    out.Line(GetText(TEXT_COMPARE_MASTER));
    out.CompareText(GetText(TEXT_COMPARE_TAG_OF_MASTER), a.MASTER_TAG, b.MASTER_TAG);
    out.CompareChoice(GetText(TEXT_COMPARE_SLAVE_CONNECTION), ChoiceList::LineUse, a.MASTER_CABLE, b.MASTER_CABLE);
    out.CompareChoice(GetText(TEXT_COMPARE_LINE_FREQUENCY), ChoiceList::LineFrequency, a.MASTER_FREQ, b.MASTER_FREQ);
    out.CompareChoice(GetText(TEXT_COMPARE_NUMBER_OF_REPEATERS), ChoiceList::Repeaters, a.MASTER_REPT, b.MASTER_REPT);
    for (int r = 0; r < REPEATER_COUNT; ++r)
        out.CompareNumber(NumberedLabel(TEXT_COMPARE_REPEATER_MATRIX, r + 1), a.MASTER_REPT_MAT[r], b.MASTER_REPT_MAT[r]);
    out.CompareNumber(GetText(TEXT_COMPARE_MODBUS_ADDRESS), a.MASTER_MOD_ADDR, b.MASTER_MOD_ADDR);
    out.CompareChoice(GetText(TEXT_COMPARE_MODBUS_BAUDRATE), ChoiceList::ModbusBaud, a.MASTER_MOD_BAUD, b.MASTER_MOD_BAUD);
    out.CompareChoice(GetText(TEXT_COMPARE_MODBUS_FORMAT), ChoiceList::ModbusFormat, a.MASTER_MOD_FORM, b.MASTER_MOD_FORM);
    out.Compare(GetText(TEXT_COMPARE_MODBUS_CHANGE_CONFIG), a.MASTER_MOD_CONFIG, b.MASTER_MOD_CONFIG, YesNoText);
}

// The two items of one channel; a blank line opens each module's block of 16 channels.
template <typename Describe>
void CompareChannel(ReportWriter& out, const UnitRecord& a, const UnitRecord& b, int c, Describe describe)
{
    if (c % 16 == 0) out.Line("");
    out.CompareText(ChannelLabel(c, TEXT_COMPARE_TAG), a.channels[c].tag, b.channels[c].tag);
    out.Compare(ChannelLabel(c, TEXT_COMPARE_CONFIGURATION), a.channels[c].word, b.channels[c].word, describe);
}

void CompareUnit(ReportWriter& out, int u, const UnitRecord& a, const UnitRecord& b)
{
    out.Line(std::string(SEPARATOR_LENGTH, '-'));
    out.Line(NumberedLabel(TEXT_COMPARE_SLAVE, u + 1));
    out.CompareChoice(GetText(TEXT_COMPARE_TYPE_OF_SLAVE), ChoiceList::UnitType, a.SLAVE_TYPE, b.SLAVE_TYPE);
    if (a.SLAVE_TYPE != b.SLAVE_TYPE) return;

    if (a.SLAVE_TYPE == UNIT_KX913) {
        out.CompareNumber(GetText(TEXT_COMPARE_EXPANSIONS), a.SLAVE_EXP, b.SLAVE_EXP);
        out.Compare(GetText(TEXT_COMPARE_COLD_JUNCTION_REFERENCE), a.SLAVE_CJC, b.SLAVE_CJC, ColdJunctionReferenceText);
        // Every channel, whatever SLAVE_EXP says: the words beyond the modules still travel.
        for (int c = 0; c < CHANNEL_COUNT; ++c) CompareChannel(out, a, b, c, AnalogChannelDescription);
    } else if (a.SLAVE_TYPE == UNIT_KX927) {
        for (int c = 0; c < DIGITAL_CHANNELS_COMPARED; ++c) CompareChannel(out, a, b, c, DigitalChannelDescription);
    }
}

} // namespace

int CompareConfigurations(std::string& report, const SystemConfiguration& first, const SystemConfiguration& second)
{
    ReportWriter out(report);
    CompareMaster(out, first, second);
    for (int u = 0; u < UNIT_COUNT; ++u) CompareUnit(out, u, first.units[u], second.units[u]);
    return out.errors();
}

std::string DifferencesOnly(const std::string& report)
{
    const std::string error = "\t" + GetText(TEXT_COMPARE_ERROR) + "\t<";
    std::string kept, heading;
    std::size_t at = 0;
    for (bool first = true; at < report.size(); first = false) {
        const std::size_t end = report.find('\n', at);
        const std::size_t next = end == std::string::npos ? report.size() : end + 1;
        const std::string_view line(report.data() + at, next - at);
        at = next;
        if (first) {
            kept += line;
        } else if (line.rfind("  ", 0) == 0) {
            // An item: two blanks, its label, then the verdict between tabs.
            const std::size_t tab = line.find('\t');
            if (tab == std::string_view::npos || line.compare(tab, error.size(), error) != 0) continue;
            kept += heading;
            heading.clear();
            kept += line;
        } else if (line.find_first_not_of("-\r\n") != std::string_view::npos) {
            heading = line;
        }
    }
    return kept;
}

std::string DiskComparisonHeader()
{
    return GetText(TEXT_COMPARE_ACTUAL_CONFIGURATION) + "\t\t\t" + GetText(TEXT_COMPARE_DISK_CONFIGURATION) + "\r\n";
}

std::string GatewayComparisonHeader()
{
    return GetText(TEXT_COMPARE_ACTUAL_CONFIGURATION) + "\t" + GetText(TEXT_COMPARE_GATEWAY_CONFIGURATION) + "\r\n";
}

std::string AnalogChannelDescription(std::uint32_t word)
{
    const AnalogChannelSettings s = DecodeAnalogChannelWord(word);
    std::string text = ChoiceOrNumber(ChoiceList::ChannelType, s.type);
    if (s.type == 0) return text;
    text += " - ";
    switch (AnalogClassOfType(s.type)) {
    case AnalogClass::Millivolt:
        text += ChoiceText(ChoiceList::Burnout, static_cast<int>(s.burnout));
        break;
    case AnalogClass::Thermocouple:
        text += ChoiceText(ChoiceList::Burnout, static_cast<int>(s.burnout));
        text += " - ";
        text += ChoiceText(ChoiceList::ColdJunction, static_cast<int>(s.cold_junction));
        break;
    case AnalogClass::Wired:
    case AnalogClass::Off:
        text += ChoiceText(ChoiceList::Wires, static_cast<int>(s.wires));
        break;
    }
    text += " - ";
    text += ChoiceText(ChoiceList::Filter, static_cast<int>(s.filter));
    return text;
}

std::string DigitalChannelDescription(std::uint32_t word)
{
    const DigitalChannelSettings s = DecodeDigitalChannelWord(word);
    return ChoiceText(ChoiceList::DigitalMode, static_cast<int>(s.mode)) + " - " +
           ChoiceText(ChoiceList::ScanTime, static_cast<int>(s.scan_time));
}

std::string ColdJunctionReferenceText(std::int32_t reference)
{
    // The 0.04 is the rounding the report has always used: -400 reads -40.0, 255 reads 25.5.
    return FormatFixed((reference + 0.04) / 10, 1, 3);
}

int CompareWithDisk(AppState& state)
{
    if (!ChooseAndReadConfigurationFile(state)) return 0;
    state.comparisonReport = DiskComparisonHeader();
    state.comparisonErrors = CompareConfigurations(state.comparisonReport, state.current, state.disk);
    state.ui->ShowComparisonReport(state.comparisonReport);
    return 1;
}

} // namespace tarn
