#include "diag/commissioning.h"

#include "config/comparison.h"
#include "config/model.h"
#include "diag/cell_text.h"
#include "diag/status_control.h"
#include "text/command_ids.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <sstream>

namespace tarn {

namespace {

// The session's interface, but the comparison report window: the report goes into the document.
class ReportKeepingInterface : public UserInterface {
public:
    explicit ReportKeepingInterface(UserInterface& inner) : inner_(inner) {}
    void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override
    {
        inner_.ShowMessage(icon, caption, text);
    }
    void ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                const std::string& details) override
    {
        inner_.ShowMessageWithDetails(icon, caption, text, details);
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override { return inner_.AskYesNo(caption, text); }
    void SetStatusMessage(const std::string& text) override { inner_.SetStatusMessage(text); }
    void SetProgress(int percent) override { inner_.SetProgress(percent); }
    std::optional<std::string> ChooseFileToOpen(const std::string& title, const std::string& filter) override
    {
        return inner_.ChooseFileToOpen(title, filter);
    }
    std::optional<std::string> ChooseFileToSave(const std::string& title, const std::string& filter) override
    {
        return inner_.ChooseFileToSave(title, filter);
    }
    void ShowComparisonReport(const std::string&) override {}
    DialogHost* Dialogs() override { return inner_.Dialogs(); }

private:
    UserInterface& inner_;
};

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "<value>" without its brackets.
std::string Unbracketed(const std::string& field)
{
    if (field.size() >= 2 && field.front() == '<' && field.back() == '>') return field.substr(1, field.size() - 2);
    return field;
}

bool CompareWithGateway(Session& session, CommissioningData& data)
{
    ReportKeepingInterface quiet(*session.ui);
    UserInterface* const shown = session.ui;
    session.ui = &quiet;
    bool compared = session.transfer.CompareWithGateway() != 0;
    while (compared && session.transfer.Step()) {
    }
    session.ui = shown;
    if (!compared || session.transfer.LastOutcome() != TransferOutcome::Succeeded) return false;
    SplitComparisonReport(session.comparisonReport, data.differences, data.equalItems);
    return true;
}

bool ReadStatus(Session& session, CommissioningData& data)
{
    bool read = false;
    StatusControlCommand(session.links, [&](StatusControl& control) {
        if (!control.Start() || !control.Tick()) return 0;
        for (int p = 0; p < 4; ++p)
            data.positions[p] = {control.Description(p), Trimmed(control.LineFigureText(p, 1)),
                                 Trimmed(control.LineFigureText(p, 2))};
        read = true;
        return 1;
    });
    return read;
}

LiveReading Reading(const Session& session, const CellChange& cell)
{
    const ChannelRecord& found = session.gateway.units[cell.unit].channels[cell.channel];
    LiveReading r{cell.unit + 1, cell.channel + 1, std::string(FieldText(session.current.units[cell.unit].channels[cell.channel].tag)),
                  {}, {}, {}};
    if (!cell.analog) {
        const std::uint32_t group = session.gateway.units[cell.unit].channels[cell.channel / 8].live_value;
        r.state = GetText(DigitalStateTextId(DigitalCellState(group, cell.channel)));
        return r;
    }
    // " +1.234 mV ": the number, then the unit of measure.
    const std::string text = Trimmed(AnalogCellText(found.live_value, found.word));
    const auto blank = text.find(' ');
    r.value = text.substr(0, blank);
    if (blank != std::string::npos) r.measure = text.substr(blank + 1);
    r.state = GetText((found.word & 0x3F) == 0 ? TEXT_REPORT_STATE_OFF : TEXT_REPORT_STATE_OK);
    return r;
}

bool ReadLiveValues(Session& session, CommissioningData& data)
{
    if (!session.live.StartModbus()) return false;
    session.live.Command(CMD_MODBUS_TEST_START);
    bool ok = true;
    // A step polls one unit: four make one snapshot of the whole gateway.
    for (int step = 0; step < UNIT_COUNT && ok; ++step) {
        const PollStep polled = session.live.ModbusPollStep();
        ok = polled.ok == 1;
        for (const CellChange& cell : polled.cells)
            if (cell.flag != 0) data.live.push_back(Reading(session, cell));
    }
    session.live.Command(CMD_MODBUS_TEST_STOP);
    session.live.Command(CMD_MODBUS_TEST_EXIT);
    if (!ok) ShowErrorBox(*session.ui, GetText(TEXT_GATEWAY_UNREACHABLE));
    return ok;
}

} // namespace

void SplitComparisonReport(const std::string& report, std::vector<ComparedItem>& differences, int& equalItems)
{
    std::istringstream lines(report);
    std::string line, section;
    const std::string equal = GetText(TEXT_COMPARE_OK);
    bool header = true;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (header) {
            header = false;
            continue;
        }
        if (line.rfind("  ", 0) != 0) {
            if (!line.empty() && line.find_first_not_of('-') != std::string::npos) section = line;
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream parts(line.substr(2));
        for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
        fields.resize(4);
        if (fields[1] == equal) ++equalItems;
        else differences.push_back({section, fields[0], Unbracketed(fields[2]), Unbracketed(fields[3])});
    }
}

CommissioningOutcome GatherCommissioningData(Session& session, bool withModbus, CommissioningData& data)
{
    data = CommissioningData{};
    data.withModbus = withModbus;
    if (!CompareWithGateway(session, data) || !ReadStatus(session, data)) return CommissioningOutcome::GatewayFailed;
    if (withModbus && !ReadLiveValues(session, data)) return CommissioningOutcome::GatewayFailed;
    return data.differences.empty() ? CommissioningOutcome::Equal : CommissioningOutcome::Differs;
}

} // namespace tarn
