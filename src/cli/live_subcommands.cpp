// poll and status: the Modbus live test and the multiplexer status control
// without a window.
#include "cli/subcommands.h"

#include "cli/interrupts.h"
#include "config/app_state.h"
#include "config/default_config.h"
#include "diag/live_log.h"
#include "diag/live_test.h"
#include "diag/status_control.h"
#include "serial/qt_serial_device.h"
#include "text/command_ids.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <algorithm>
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

} // namespace

int RunPoll(const PortSetting& modbusPort, const PollOptions& options, Context& ctx)
{
    Session& state = ctx.session;
    BuildDefaultConfiguration(state.current);
    if (options.configFile && !ReadOverDefault(*options.configFile, state.current, ctx)) return EXIT_USAGE;
    if (options.address) state.current.MASTER_MOD_ADDR = *options.address;
    if (options.baud) state.current.MASTER_MOD_BAUD = *options.baud;
    if (options.format) state.current.MASTER_MOD_FORM = *options.format;
    CopyConfiguration(state.gateway, state.current);
    state.modbusPort = modbusPort;

    const InterruptGuard interrupts;
    int result = EXIT_OK;
    if (!state.live.StartModbus()) {
        result = EXIT_GATEWAY;
    } else {
        // Output that goes nowhere ends the poll, before the first cycle or after the one running.
        const bool headed = ctx.ui.WriteOutput(LiveLogHeader());
        if (!headed) result = EXIT_FAULT;
        state.live.Command(CMD_MODBUS_TEST_START);
        LiveLog log;
        long failures = 0;  // failed cycles in a row
        // The window's timer: a step every 50 ms, later when a step takes longer; a cycle
        // starts interval ms after the one before at the earliest.
        using Clock = std::chrono::steady_clock;
        auto due = Clock::now();
        for (long cycle = 1; headed && (!options.cycles || cycle <= *options.cycles); ++cycle) {
            // The cycle's time: its first request, as it went out.
            Clock::time_point cycleStart;
            std::chrono::system_clock::time_point stamp;
            for (int step = 0; step < 4; ++step) {
                std::this_thread::sleep_until(due);
                if (step == 0) {
                    cycleStart = Clock::now();
                    stamp = std::chrono::system_clock::now();
                }
                due = Clock::now() + std::chrono::milliseconds(MODBUS_POLL_MS);
                log.AddStep(state.gateway, state.current, state.live.ModbusPollStep());
            }
            due = std::max(due, cycleStart + std::chrono::milliseconds(options.intervalMs));
            failures = log.CycleFailed() ? failures + 1 : 0;
            if (!ctx.ui.WriteOutput(log.EndCycle(LogTimeText(stamp)))) {
                result = EXIT_FAULT;
                break;
            }
            if (options.maxFailures && failures >= *options.maxFailures) {
                ShowErrorBox(ctx.ui, GetText(TEXT_GATEWAY_UNREACHABLE));
                result = EXIT_GATEWAY;
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
