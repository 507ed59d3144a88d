// poll and status: the Modbus live test and the multiplexer status control
// without a window.
#include "cli/subcommands.h"

#include "cli/interrupts.h"
#include "config/app_state.h"
#include "config/default_config.h"
#include "diag/cell_text.h"
#include "diag/live_test.h"
#include "diag/status_control.h"
#include "serial/qt_serial_device.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tarn::cli {

namespace {

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A CSV field: quoted when it holds a separator, a quote or a line break.
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

// The terminal interface, with the live test's cell updates turned into CSV rows of the
// cells drawn with a value.
class PollUserInterface : public UserInterface {
public:
    PollUserInterface(TerminalUserInterface& terminal, const AppState& state) : terminal_(terminal), state_(state) {}

    std::vector<std::string> rows;  // of the cycle running, without the cycle number
    int cycle = 1;

    void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override
    {
        terminal_.ShowMessage(icon, caption, text);
    }
    void ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                const std::string& details) override
    {
        terminal_.ShowMessageWithDetails(icon, caption, text, details);
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override { return terminal_.AskYesNo(caption, text); }
    void SetStatusMessage(const std::string& text) override { terminal_.SetStatusMessage(text); }
    void SetProgress(int percent) override { terminal_.SetProgress(percent); }
    void RepaintMainWindow() override {}
    void SetWaitCursor(bool) override {}
    std::optional<std::string> ChooseFileToOpen(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> ChooseFileToSave(const std::string&, const std::string&) override { return {}; }
    void ShowComparisonReport(const std::string&) override {}

    void DrawAnalogValue(int unit, int channel, int flag) override
    {
        if (flag == 0) return;
        const ChannelRecord& record = state_.gateway.units[unit].channels[channel];
        AddRow(unit, channel, record.live_value, AnalogCellText(record.live_value, record.word));
    }
    void DrawDigitalState(int unit, int channel, int flag) override
    {
        if (flag == 0) return;
        const std::uint32_t group = state_.gateway.units[unit].channels[channel / 8].live_value;
        AddRow(unit, channel, group, GetText(DigitalStateTextId(DigitalCellState(group, channel))));
    }

private:
    void AddRow(int unit, int channel, std::uint32_t raw, const std::string& text)
    {
        rows.push_back(std::to_string(cycle) + "," + std::to_string(unit + 1) + "," + std::to_string(channel + 1) + "," +
                       std::to_string(raw) + "," + CsvField(Cp1252ToUtf8(Trimmed(text))));
    }

    TerminalUserInterface& terminal_;
    const AppState& state_;
};

} // namespace

int RunPoll(const PortSetting& modbusPort, const std::optional<std::string>& configFile, std::optional<long> cycles,
            Context& ctx)
{
    Session& state = ctx.session;
    BuildDefaultConfiguration(state.current);
    if (configFile && !ReadOverDefault(*configFile, state.current, ctx)) return EXIT_USAGE;
    CopyConfiguration(state.gateway, state.current);
    state.modbusPort = modbusPort;

    PollUserInterface ui(ctx.ui, state);
    state.ui = &ui;
    const InterruptGuard interrupts;
    int result = EXIT_OK;
    if (!state.live.StartModbus()) {
        result = EXIT_GATEWAY;
    } else {
        // Output that goes nowhere ends the poll, before the first cycle or after the one running.
        const bool headed = ctx.ui.WriteOutput("cycle,unit,channel,raw,display\n");
        if (!headed) result = EXIT_FAULT;
        state.live.Command(COMMAND_MODBUS_START);
        // The window's timer: a step every 50 ms, later when a step takes longer.
        auto due = std::chrono::steady_clock::now();
        for (long cycle = 1; headed && (!cycles || cycle <= *cycles); ++cycle) {
            ui.cycle = static_cast<int>(cycle);
            ui.rows.clear();
            bool ok = true;
            for (int step = 0; step < 4 && ok; ++step) {
                std::this_thread::sleep_until(due);
                due = std::chrono::steady_clock::now() + std::chrono::milliseconds(MODBUS_POLL_MS);
                ok = state.live.ModbusPollStep() == 1;
            }
            if (!ok) {
                ShowErrorBox(ui, GetText(119));
                result = EXIT_GATEWAY;
                break;
            }
            std::string lines;
            for (const std::string& row : ui.rows) lines += row + '\n';
            if (!ctx.ui.WriteOutput(lines)) {
                result = EXIT_FAULT;
                break;
            }
            if (InterruptGuard::Received()) break;
        }
        state.live.Command(COMMAND_MODBUS_STOP);
        state.live.Command(COMMAND_MODBUS_EXIT);
    }
    state.ui = &ctx.ui;
    return result;
}

int RunStatus(const PortSetting& port, Context& ctx)
{
    ctx.session.serialPort = port;
    bool opened = false;
    bool read = false;
    std::string lines;
    StatusControlCommand(ctx.session.links, [&](StatusControl& control) {
        opened = true;
        if (!control.Start() || !control.Tick()) return 0;
        for (int p = 0; p < 4; ++p)
            lines += std::to_string(p + 1) + '\t' + Cp1252ToUtf8(control.Description(p)) + '\t' +
                     Trimmed(control.LineFigureText(p, 1)) + '\t' + Trimmed(control.LineFigureText(p, 2)) + '\n';
        control.Cancel();
        read = true;
        return 1;
    });
    // Written once the gateway is back as it was found.
    if (!opened || !read) return EXIT_GATEWAY;
    return ctx.ui.WriteOutput(lines) ? EXIT_OK : EXIT_FAULT;
}

} // namespace tarn::cli
