// The subcommands of tarnctl. Each returns the process's exit code; results go
// to out, errors to err, every text from the text tables in the current language.
#pragma once

#include "cli/terminal_ui.h"
#include "config/app_state.h"
#include "config/statement_reader.h"
#include "diag/live_log.h"
#include "session/session.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tarn::cli {

enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_FAULT = 1,       // a faulty file, a difference, an output that could not be written
    EXIT_USAGE = 2,       // also: diff, write or compare could not read one of its files
    EXIT_GATEWAY = 3,     // the port could not be opened or the gateway did not answer
};

struct Context {
    std::ostream& out;
    std::ostream& err;
    TerminalUserInterface& ui;
    Session& session;  // talks through ui
};

// The file named "-" as an output is the standard output.
inline constexpr const char* STANDARD_OUTPUT = "-";

// Reads path over the built-in default configuration into image; on a fault prints it as
// "FILE:LINE: TEXT (code N)" and the statement, or "FILE: TEXT" for open and read failures.
bool ReadOverDefault(const std::string& path, SystemConfiguration& image, Context& ctx);
void PrintReadFault(const std::string& path, const ReadFault& fault, std::ostream& err);
// Writes image in the standard layout to path (STANDARD_OUTPUT: raw bytes to out), replacing
// the file only when the whole of it was written. false after a message.
bool WriteImage(const std::string& path, const SystemConfiguration& image, Context& ctx);

int RunCheck(const std::vector<std::string>& files, Context& ctx);
// changes: only the Error items of the report, each under its heading (exit codes unchanged).
int RunDiff(const std::string& currentFile, const std::string& otherFile, bool changes, Context& ctx);
int RunNormalize(const std::string& inFile, const std::string& outFile, Context& ctx);
int RunDefault(const std::string& outFile, Context& ctx);
// The configuration document of file as a PDF on A4; OUT is replaced only by a whole document.
int RunPrint(const std::string& file, const std::string& outFile, Context& ctx);

// A port argument: a device path, "COM3" or a bare COM number. false when it names no port.
bool ParsePortArgument(const std::string& argument, PortSetting& port);

int RunRead(const PortSetting& port, const std::string& outFile, Context& ctx);
// verify: the write ends with a comparison with the gateway; exit 1 with its differences.
int RunWrite(const PortSetting& port, const std::string& file, bool verify, Context& ctx);
int RunCompare(const PortSetting& port, const std::string& file, bool changes, Context& ctx);
// The ports that open, one path a line; all: every port, a tab-separated line of path, by-id
// link or "-", adapter or "-", "ok" or the reason it does not open.
int RunPorts(bool all, Context& ctx);

// One reading of the multiplexer status control: a line "POSITION<TAB>DESCRIPTION<TAB>LINE 1
// QUALITY<TAB>LINE 2 QUALITY" for each position 1..4.
int RunStatus(const PortSetting& port, Context& ctx);
// What a poll is told on the command line; the Modbus line settings override those of
// configFile (or of the built-in default), as indexes of their choice lists.
struct PollOptions {
    std::optional<std::string> configFile;
    std::optional<long> cycles;       // nothing: until SIGINT or SIGTERM
    std::optional<std::uint32_t> address, baud, format;
    long intervalMs = 0;              // from the start of one cycle to the next, at least
    std::optional<long> maxFailures;  // failed cycles in a row that end the poll with exit 3
};
// The Modbus live test as a log: the rows of tarn::LiveLog cycle after cycle, a failed cycle
// as stale rows, until the cycles are done or SIGINT or SIGTERM (which end the poll after the
// cycle running).
int RunPoll(const PortSetting& modbusPort, const PollOptions& options, Context& ctx);
// The built-in texts hold no CSV separator today; a translation or a tag may.
using tarn::CsvField;
// The commissioning report of file against the gateway on port (and its live values over
// modbusPort) as a PDF on A4: 0 written and equal, 1 written with differences (or OUT could
// not be written), 3 the gateway failed and nothing was written.
int RunReport(const PortSetting& port, const std::optional<PortSetting>& modbusPort, const std::string& file,
              const std::string& outFile, Context& ctx);

} // namespace tarn::cli
