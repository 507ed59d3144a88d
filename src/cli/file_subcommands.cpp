// check, diff, normalize and default: configuration files without a gateway.
#include "cli/subcommands.h"

#include "config/comparison.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "config/safe_file.h"
#include "text/text_ids.h"
#include "text/texts.h"

namespace tarn::cli {

namespace {

void PrintFileError(const std::string& path, int textId, std::ostream& err)
{
    err << path << ": " << ToTerminalText(GetText(textId)) << '\n';
}

} // namespace

void PrintReadFault(const std::string& path, const ReadFault& fault, std::ostream& err)
{
    switch (fault.kind) {
    case ReadFault::None:
        return;
    case ReadFault::Open:
        PrintFileError(path, TEXT_CONFIG_OPEN_FAILED, err);
        return;
    case ReadFault::Read:
        PrintFileError(path, TEXT_CONFIG_READ_FAILED, err);
        return;
    case ReadFault::Statement: {
        // The statement's own indentation gives way to the fixed one of the message.
        const std::size_t start = fault.statement.find_first_not_of(" \t");
        const std::string statement = start == std::string::npos ? std::string() : fault.statement.substr(start);
        err << path << ':' << fault.line << ": " << ToTerminalText(StatementErrorText(fault.code)) << " (code "
            << fault.code << ")\n    " << ToTerminalText(statement) << '\n';
        return;
    }
    }
}

bool ReadOverDefault(const std::string& path, SystemConfiguration& image, Context& ctx)
{
    BuildDefaultConfiguration(image);
    const ReadFault fault = ParseConfigurationFile(path, image);
    PrintReadFault(path, fault, ctx.err);
    return fault.ok();
}

bool WriteImage(const std::string& path, const SystemConfiguration& image, Context& ctx)
{
    const std::string bytes = FormatConfiguration(image);
    if (path == STANDARD_OUTPUT) return ctx.ui.WriteOutput(bytes);
    switch (SaveFileSafely(path, bytes)) {
    case SaveResult::Saved:
        return true;
    case SaveResult::CreateFailed:
        PrintFileError(path, TEXT_CONFIG_OPEN_FAILED, ctx.err);
        return false;
    case SaveResult::WriteFailed:
        break;
    }
    PrintFileError(path, TEXT_CONFIG_WRITE_FAILED, ctx.err);
    return false;
}

int RunCheck(const std::vector<std::string>& files, Context& ctx)
{
    // Every file is checked, so one run names the faults of all of them.
    int result = EXIT_OK;
    for (const std::string& file : files) {
        SystemConfiguration image;
        if (!ReadOverDefault(file, image, ctx)) result = EXIT_FAULT;
    }
    return result;
}

int RunDiff(const std::string& currentFile, const std::string& otherFile, bool changes, Context& ctx)
{
    ctx.ui.SetDifferencesOnly(changes);
    AppState& state = ctx.session;
    const bool currentRead = ReadOverDefault(currentFile, state.current, ctx);
    const bool otherRead = ReadOverDefault(otherFile, state.disk, ctx);
    if (!currentRead || !otherRead) return EXIT_USAGE;

    state.comparisonReport = DiskComparisonHeader();
    state.comparisonErrors = CompareConfigurations(state.comparisonReport, state.current, state.disk);
    ctx.ui.ShowComparisonReport(state.comparisonReport);
    if (ctx.ui.OutputFailed()) return EXIT_FAULT;
    return state.comparisonErrors == 0 ? EXIT_OK : EXIT_FAULT;
}

int RunNormalize(const std::string& inFile, const std::string& outFile, Context& ctx)
{
    SystemConfiguration image;
    if (!ReadOverDefault(inFile, image, ctx)) return EXIT_FAULT;
    return WriteImage(outFile, image, ctx) ? EXIT_OK : EXIT_FAULT;
}

int RunDefault(const std::string& outFile, Context& ctx)
{
    SystemConfiguration image;
    BuildDefaultConfiguration(image);
    return WriteImage(outFile, image, ctx) ? EXIT_OK : EXIT_FAULT;
}

} // namespace tarn::cli
