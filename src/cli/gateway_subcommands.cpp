// read, write, compare and ports: the KX940 gateway over the serial link.
#include "cli/subcommands.h"

#include "cli/interrupts.h"
#include "config/app_state.h"
#include "config/default_config.h"
#include "link/transfer.h"
#include "serial/qt_serial_device.h"
#include "text/cp1252.h"

#include <cctype>
#include <charconv>

namespace tarn::cli {

namespace {

constexpr int HIGHEST_COM_NUMBER = 256;

// COM numbers 1..256, as the settings file keeps them.
bool ParseComNumber(std::string_view digits, int& number)
{
    if (digits.empty() || digits.size() > 3) return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return ec == std::errc() && end == digits.data() + digits.size() && number >= 1 && number <= HIGHEST_COM_NUMBER;
}

bool StartsWithCom(const std::string& argument)
{
    return argument.size() >= 3 && std::toupper(static_cast<unsigned char>(argument[0])) == 'C' &&
           std::toupper(static_cast<unsigned char>(argument[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(argument[2])) == 'M';
}

// Runs the started transfer to its end, step after step: the ticks of the desktop program
// only pace its window, so the command line needs no pause between them.
TransferOutcome RunTransfer(Context& ctx)
{
    while (ctx.session.transfer.Step()) {
    }
    ctx.ui.ClearProgressLine();
    return ctx.session.transfer.LastOutcome();
}

} // namespace

bool ParsePortArgument(const std::string& argument, PortSetting& port)
{
    port = PortSetting{};
    int number = 0;
    if (ParseComNumber(argument, number) ||
        (StartsWithCom(argument) && ParseComNumber(std::string_view(argument).substr(3), number))) {
        port.number = number;
        return true;
    }
    // A path names its device; otherwise a COM-looking or numeric word that was not a valid
    // COM number (COM0, 999) is a mistake rather than a file in the working directory.
    const bool path = argument.find('/') != std::string::npos;
    if (argument.empty() || (!path && (StartsWithCom(argument) ||
                                       argument.find_first_not_of("0123456789") == std::string::npos)))
        return false;
    port.name = argument;
    return true;
}

int RunRead(const PortSetting& port, const std::string& outFile, Context& ctx)
{
    Session& state = ctx.session;
    state.serialPort = port;
    BuildDefaultConfiguration(state.current);
    CopyConfiguration(state.gateway, state.current);
    // Nothing is unsaved in a fresh state, so the read asks no question.
    if (!state.transfer.ReadConfigurationFromGateway()) return EXIT_GATEWAY;
    if (RunTransfer(ctx) != TransferOutcome::Succeeded) return EXIT_GATEWAY;
    // Only a complete read reaches the file; a failed one has left the current image alone.
    return WriteImage(outFile, state.current, ctx) ? EXIT_OK : EXIT_FAULT;
}

int RunWrite(const PortSetting& port, const std::string& file, bool verify, Context& ctx)
{
    Session& state = ctx.session;
    state.verifyAfterWrite = verify;
    if (!ReadOverDefault(file, state.current, ctx)) return EXIT_USAGE;
    state.serialPort = port;
    // The command itself is the confirmation: no question, unlike the menu operation.
    CopyConfiguration(state.gateway, state.current);
    // Ctrl-C or SIGTERM ends the write after the exchange under way, with the message that the
    // gateway holds a partly written configuration, instead of leaving without a word.
    const InterruptGuard interrupts;
    state.transfer.WatchStopFlag(InterruptGuard::Flag());
    state.mode = AppMode::WriteGateway;
    if (!state.transfer.Start()) return EXIT_GATEWAY;
    switch (RunTransfer(ctx)) {
    case TransferOutcome::Succeeded:
        if (ctx.ui.OutputFailed()) return EXIT_FAULT;
        return verify && state.comparisonErrors != 0 ? EXIT_FAULT : EXIT_OK;
    case TransferOutcome::Stopped: return ExitCodeForSignal(InterruptGuard::Received());
    default: return EXIT_GATEWAY;
    }
}

int RunCompare(const PortSetting& port, const std::string& file, bool changes, Context& ctx)
{
    Session& state = ctx.session;
    ctx.ui.SetDifferencesOnly(changes);
    // 2 as in diff: exit 1 means the gateway differs, so an unreadable file must not say so.
    if (!ReadOverDefault(file, state.current, ctx)) return EXIT_USAGE;
    state.serialPort = port;
    CopyConfiguration(state.gateway, state.current);
    if (!state.transfer.CompareWithGateway()) return EXIT_GATEWAY;
    // The end step shows the report, which the terminal interface prints on the output.
    if (RunTransfer(ctx) != TransferOutcome::Succeeded) return EXIT_GATEWAY;
    if (ctx.ui.OutputFailed()) return EXIT_FAULT;
    return state.comparisonErrors == 0 ? EXIT_OK : EXIT_FAULT;
}

int RunPorts(bool all, Context& ctx)
{
    std::string lines;
    for (const PortListEntry& entry : SerialPortList()) {
        if (all) lines += Cp1252ToUtf8(PortTableLine(entry)) + '\n';
        else if (entry.Opens()) lines += Cp1252ToUtf8(entry.path) + '\n';
    }
    return ctx.ui.WriteOutput(lines) ? EXIT_OK : EXIT_FAULT;
}

} // namespace tarn::cli
