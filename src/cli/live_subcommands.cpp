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
#include "text/command_ids.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tarn::cli {

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

namespace {

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The CSV row of a cell drawn with a value, from the gateway image after the step.
std::string CellRow(const AppState& state, int cycle, const CellChange& cell)
{
    const ChannelRecord& record = state.gateway.units[cell.unit].channels[cell.channel];
    const std::uint32_t group = state.gateway.units[cell.unit].channels[cell.channel / 8].live_value;
    const std::uint32_t raw = cell.analog ? record.live_value : group;
    const std::string text = cell.analog ? AnalogCellText(record.live_value, record.word)
                                         : GetText(DigitalStateTextId(DigitalCellState(group, cell.channel)));
    return std::to_string(cycle) + "," + std::to_string(cell.unit + 1) + "," + std::to_string(cell.channel + 1) + "," +
           std::to_string(raw) + "," + CsvField(Cp1252ToUtf8(Trimmed(text)));
}

} // namespace

int RunPoll(const PortSetting& modbusPort, const std::optional<std::string>& configFile, std::optional<long> cycles,
            Context& ctx)
{
    Session& state = ctx.session;
    BuildDefaultConfiguration(state.current);
    if (configFile && !ReadOverDefault(*configFile, state.current, ctx)) return EXIT_USAGE;
    CopyConfiguration(state.gateway, state.current);
    state.modbusPort = modbusPort;

    const InterruptGuard interrupts;
    int result = EXIT_OK;
    if (!state.live.StartModbus()) {
        result = EXIT_GATEWAY;
    } else {
        // Output that goes nowhere ends the poll, before the first cycle or after the one running.
        const bool headed = ctx.ui.WriteOutput("cycle,unit,channel,raw,display\n");
        if (!headed) result = EXIT_FAULT;
        state.live.Command(CMD_MODBUS_TEST_START);
        // The window's timer: a step every 50 ms, later when a step takes longer.
        auto due = std::chrono::steady_clock::now();
        for (long cycle = 1; headed && (!cycles || cycle <= *cycles); ++cycle) {
            std::string lines;
            bool ok = true;
            for (int step = 0; step < 4 && ok; ++step) {
                std::this_thread::sleep_until(due);
                due = std::chrono::steady_clock::now() + std::chrono::milliseconds(MODBUS_POLL_MS);
                const PollStep polled = state.live.ModbusPollStep();
                ok = polled.ok == 1;
                for (const CellChange& cell : polled.cells)
                    if (cell.flag != 0) lines += CellRow(state, static_cast<int>(cycle), cell) + '\n';
            }
            if (!ok) {
                ShowErrorBox(ctx.ui, GetText(TEXT_GATEWAY_UNREACHABLE));
                result = EXIT_GATEWAY;
                break;
            }
            if (!ctx.ui.WriteOutput(lines)) {
                result = EXIT_FAULT;
                break;
            }
            if (InterruptGuard::Received()) break;
        }
        state.live.Command(CMD_MODBUS_TEST_STOP);
        state.live.Command(CMD_MODBUS_TEST_EXIT);
    }
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
