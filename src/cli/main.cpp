// tarnctl: configuration files and the KX940 gateway from the command line.
#include "cli/subcommands.h"
#include "cli/terminal_ui.h"
#include "config/app_state.h"
#include "serial/port_device.h"
#include "text/choices.h"
#include "text/numbers.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn::cli {

namespace {

const char* const kUsage =
    "usage: tarnctl [--lang en|it] [--yes] SUBCOMMAND ...\n"
    "\n"
    "configuration files (read over the built-in default configuration):\n"
    "  tarnctl check FILE...               report the first faulty statement of each file\n"
    "  tarnctl diff [--changes] CURRENT OTHER\n"
    "                                      compare two configurations item by item;\n"
    "                                      --changes: only the differences\n"
    "  tarnctl normalize IN -o OUT         rewrite IN in the standard layout (-o -: stdout)\n"
    "  tarnctl default -o OUT              write the built-in default configuration\n"
    "  tarnctl print FILE -o OUT.pdf       the configuration document of FILE as a PDF (A4)\n"
    "\n"
    "gateway (PORT: a device path, COMn, the COM number n, or tcp://HOST:PORT for a\n"
    "serial device server reached over the network):\n"
    "  tarnctl read --port PORT -o FILE    read the configuration of the KX940\n"
    "  tarnctl write --port PORT [--verify] FILE\n"
    "                                      write FILE to the KX940; --verify: read it back\n"
    "                                      and print the differences (exit 1 when any)\n"
    "  tarnctl compare --port PORT [--changes] FILE\n"
    "                                      compare FILE with the configuration of the KX940\n"
    "  tarnctl ports [--all]               list the serial ports that can be opened; --all:\n"
    "                                      every port, a line of path, by-id link, adapter\n"
    "                                      and \"ok\" or why it does not open (tab-separated)\n"
    "  tarnctl status --port PORT          units found and line quality of each position\n"
    "  tarnctl poll --modbus PORT [--config FILE] [--cycles N] [--address N]\n"
    "               [--baud B] [--format 8N1|8E1|8O1|8N2] [--interval MS]\n"
    "               [--max-failures N]\n"
    "                                      log the live values over Modbus as CSV\n"
    "                                      (time,unit,channel,tag,value,eng_unit,state)\n"
    "                                      until Ctrl-C or N cycles; the Modbus line from\n"
    "                                      FILE (default: the built-in default), each part\n"
    "                                      overridden by its option; a cycle every MS at\n"
    "                                      the most; a failed cycle logs the last values as\n"
    "                                      stale and goes on, N failed in a row exit 3\n"
    "  tarnctl report --port PORT [--modbus PORT] FILE -o OUT.pdf\n"
    "                                      the commissioning report: cover page, document,\n"
    "                                      comparison with the KX940, units and line quality,\n"
    "                                      with --modbus a snapshot of the live values\n"
    "\n"
    "options:\n"
    "  --lang en|it   language of every message and report (default en)\n"
    "  --yes          answer Yes to questions (default No)\n"
    "  --latency MS   added to each reply time-out of a tcp:// port (0..10000, default 0)\n"
    "  --help         this text;  --version  the version\n"
    "\n"
    "exit: 0 done and equal, 1 fault or difference (report: written with differences),\n"
    "      2 usage, or a file that diff, write, compare or poll cannot read,\n"
    "      3 port unavailable, gateway not answering or without units (report: nothing\n"
    "        written, OUT left as it was),\n"
    "      130 (143) a write stopped by Ctrl-C (SIGTERM) after the exchange under way\n";

struct CommandLine {
    bool help = false;
    bool version = false;
    bool answerYes = false;
    bool all = false;                   // ports --all
    int language = LANGUAGE_ENGLISH;
    std::optional<std::string> output;  // -o
    std::optional<std::string> port;    // --port
    std::optional<std::string> modbus;  // --modbus
    std::optional<std::string> config;  // --config
    std::optional<std::string> cycles;  // --cycles
    std::optional<std::string> latency; // --latency
    // The poll's Modbus line and pace: --address, --baud, --format, --interval, --max-failures.
    std::map<std::string, std::string> pollValues;
    bool changes = false;  // --changes: only the differences of diff and compare
    bool verify = false;   // --verify: write reads the configuration back and compares it
    std::vector<std::string> words;     // the subcommand and its operands
};

struct UsageError {
    std::string message;
};

std::optional<int> ParseLanguage(const std::string& value)
{
    if (value == "en") return LANGUAGE_ENGLISH;
    if (value == "it") return LANGUAGE_ITALIAN;
    return std::nullopt;
}

// Options may stand anywhere; "--" ends them, and "-" alone is an operand.
CommandLine Parse(const std::vector<std::string>& args)
{
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            line.words.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) throw UsageError{"option " + name + " needs a value"};
            return args[++i];
        };
        auto flag = [&]() {
            if (inlineValue) throw UsageError{"option " + name + " takes no value"};
        };

        if (name == "--") {
            optionsEnded = true;
        } else if (name == "--help" || name == "-h") {
            flag();
            line.help = true;
        } else if (name == "--version") {
            flag();
            line.version = true;
        } else if (name == "--all") {
            flag();
            line.all = true;
        } else if (name == "--yes" || name == "-y") {
            flag();
            line.answerYes = true;
        } else if (name == "--lang") {
            const std::string v = value();
            const auto language = ParseLanguage(v);
            if (!language) throw UsageError{"unknown language '" + v + "' (en or it)"};
            line.language = *language;
        } else if (name == "-o" || name == "--output") {
            if (line.output) throw UsageError{"-o given twice"};
            line.output = value();
        } else if (name == "--port") {
            if (line.port) throw UsageError{"--port given twice"};
            line.port = value();
        } else if (name == "--modbus") {
            if (line.modbus) throw UsageError{"--modbus given twice"};
            line.modbus = value();
        } else if (name == "--config") {
            if (line.config) throw UsageError{"--config given twice"};
            line.config = value();
        } else if (name == "--latency") {
            if (line.latency) throw UsageError{"--latency given twice"};
            line.latency = value();
        } else if (name == "--cycles") {
            if (line.cycles) throw UsageError{"--cycles given twice"};
            line.cycles = value();
        } else if (name == "--address" || name == "--baud" || name == "--format" || name == "--interval" ||
                   name == "--max-failures") {
            if (line.pollValues.count(name) != 0) throw UsageError{name + " given twice"};
            line.pollValues[name] = value();
        } else if (name == "--changes") {
            flag();
            line.changes = true;
        } else if (name == "--verify") {
            flag();
            line.verify = true;
        } else {
            throw UsageError{"unknown option " + arg};
        }
    }
    return line;
}

// What each subcommand takes: its operand count (-1: one or more) and its options.
struct Shape {
    int operands;
    bool output;
    bool port;
    bool poll = false;  // --modbus required, --config and --cycles allowed
    bool report = false;  // --modbus allowed
};

const std::map<std::string, Shape>& Shapes()
{
    static const std::map<std::string, Shape> shapes = {
        {"check", {-1, false, false}},  {"diff", {2, false, false}},   {"normalize", {1, true, false}},
        {"default", {0, true, false}},  {"read", {0, true, true}},     {"write", {1, false, true}},
        {"compare", {1, false, true}},  {"ports", {0, false, false}},  {"status", {0, false, true}},
        {"poll", {0, false, false, true}}, {"print", {1, true, false}},  {"report", {1, true, true, false, true}},
    };
    return shapes;
}

void CheckShape(const CommandLine& line)
{
    const std::string& name = line.words[0];
    const auto it = Shapes().find(name);
    if (it == Shapes().end()) throw UsageError{"unknown subcommand '" + name + "'"};
    const Shape& shape = it->second;
    const int operands = static_cast<int>(line.words.size()) - 1;
    if (shape.operands < 0 ? operands < 1 : operands != shape.operands)
        throw UsageError{name + ": wrong number of operands"};
    if (shape.output != line.output.has_value())
        throw UsageError{name + (shape.output ? ": -o OUT is required" : ": -o does not apply")};
    if (shape.port != line.port.has_value())
        throw UsageError{name + (shape.port ? ": --port PORT is required" : ": --port does not apply")};
    if (line.output && line.output->empty()) throw UsageError{name + ": -o needs a file name"};
    if (shape.poll ? !line.modbus : (line.modbus && !shape.report))
        throw UsageError{name + (shape.poll ? ": --modbus PORT is required" : ": --modbus does not apply")};
    if (!shape.poll && (line.config || line.cycles))
        throw UsageError{name + ": " + (line.config ? "--config" : "--cycles") + " does not apply"};
    if (!shape.poll && !line.pollValues.empty())
        throw UsageError{name + ": " + line.pollValues.begin()->first + " does not apply"};
    if (line.changes && name != "diff" && name != "compare") throw UsageError{name + ": --changes does not apply"};
    if (line.verify && name != "write") throw UsageError{name + ": --verify does not apply"};
    if (line.config && line.config->empty()) throw UsageError{name + ": --config needs a file name"};
    if (line.latency && !shape.port && !shape.poll) throw UsageError{name + ": --latency does not apply"};
    if (line.all && name != "ports") throw UsageError{name + ": --all does not apply"};
}

// --latency: whole milliseconds, 0..NETWORK_LATENCY_MAX_MS.
int ParseLatency(const std::optional<std::string>& text)
{
    if (!text) return 0;
    int ms = -1;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), ms);
    if (ec != std::errc() || end != text->data() + text->size() || ms < 0 || ms > NETWORK_LATENCY_MAX_MS)
        throw UsageError{"--latency takes milliseconds from 0 to " + std::to_string(NETWORK_LATENCY_MAX_MS) + ", not '" +
                         *text + "'"};
    return ms;
}

// A whole number of an option from low to high.
long ParseWhole(const std::string& name, const std::string& text, long low, long high)
{
    long number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size() || number < low || number > high)
        throw UsageError{name + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) +
                         ", not '" + text + "'"};
    return number;
}

// --cycles: a whole number from 1 on.
std::optional<long> ParseCycles(const std::optional<std::string>& text)
{
    if (!text) return std::nullopt;
    long cycles = 0;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), cycles);
    if (ec != std::errc() || end != text->data() + text->size() || cycles < 1)
        throw UsageError{"--cycles takes a number of cycles from 1 on, not '" + *text + "'"};
    return cycles;
}

// The index of text in a choice list, blanks ignored ("8N2" is "8 N 2").
std::uint32_t ParseChoice(const std::string& name, const std::string& text, ChoiceList list)
{
    auto squeezed = [](std::string t) {
        t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
        std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::toupper(c); });
        return t;
    };
    std::string known;
    for (int i = 0; i < ChoiceCount(list); ++i) {
        if (squeezed(ChoiceText(list, i)) == squeezed(text)) return static_cast<std::uint32_t>(i);
        known += (i ? ", " : "") + squeezed(ChoiceText(list, i));
    }
    throw UsageError{name + " takes one of " + known + ", not '" + text + "'"};
}

PollOptions ParsePollOptions(const CommandLine& line)
{
    PollOptions options;
    options.configFile = line.config;
    options.cycles = ParseCycles(line.cycles);
    for (const auto& [name, text] : line.pollValues) {
        if (name == "--address") options.address = static_cast<std::uint32_t>(ParseWhole(name, text, 1, 250));
        if (name == "--baud") options.baud = ParseChoice(name, text, ChoiceList::ModbusBaud);
        if (name == "--format") options.format = ParseChoice(name, text, ChoiceList::ModbusFormat);
        if (name == "--interval") options.intervalMs = ParseWhole(name, text, 0, 86400000);
        if (name == "--max-failures") options.maxFailures = ParseWhole(name, text, 1, 1000000000);
    }
    return options;
}

int Dispatch(const CommandLine& line, Context& ctx)
{
    const std::string& name = line.words[0];
    const std::vector<std::string> operands(line.words.begin() + 1, line.words.end());
    PortSetting port;
    if (line.port && !ParsePortArgument(*line.port, port)) throw UsageError{"'" + *line.port + "' names no port"};
    PortSetting modbus;
    if (line.modbus && !ParsePortArgument(*line.modbus, modbus)) throw UsageError{"'" + *line.modbus + "' names no port"};
    ctx.session.netLatencyMs = ParseLatency(line.latency);

    if (name == "check") return RunCheck(operands, ctx);
    if (name == "diff") return RunDiff(operands[0], operands[1], line.changes, ctx);
    if (name == "normalize") return RunNormalize(operands[0], *line.output, ctx);
    if (name == "default") return RunDefault(*line.output, ctx);
    if (name == "read") return RunRead(port, *line.output, ctx);
    if (name == "write") return RunWrite(port, operands[0], line.verify, ctx);
    if (name == "compare") return RunCompare(port, operands[0], line.changes, ctx);
    if (name == "print") return RunPrint(operands[0], *line.output, ctx);
    if (name == "status") return RunStatus(port, ctx);
    if (name == "poll") return RunPoll(modbus, ParsePollOptions(line), ctx);
    if (name == "report") return RunReport(port, line.modbus ? std::optional<PortSetting>(modbus) : std::nullopt, operands[0], *line.output, ctx);
    return RunPorts(line.all, ctx);
}

int Run(const std::vector<std::string>& args)
{
    CommandLine line;
    try {
        line = Parse(args);
        if (line.help || line.version) {
            TerminalUserInterface ui(std::cout, std::cerr, false, false, "tarnctl: ");
            return ui.WriteOutput(line.help ? kUsage : "tarnctl " TARN_VERSION "\n") ? EXIT_OK : EXIT_FAULT;
        }
        if (line.words.empty()) throw UsageError{"no subcommand"};
        CheckShape(line);
    } catch (const UsageError& e) {
        std::cerr << "tarnctl: " << e.message << "\n\n" << kUsage;
        return EXIT_USAGE;
    }

    SetLanguage(line.language);
    TerminalUserInterface ui(std::cout, std::cerr, line.answerYes, ::isatty(STDERR_FILENO) == 1, "tarnctl: ");
    Session session(ui, PortDevices());
    Context ctx{std::cout, std::cerr, ui, session};

    int result;
    try {
        result = Dispatch(line, ctx);
    } catch (const UsageError& e) {
        std::cerr << "tarnctl: " << e.message << "\n\n" << kUsage;
        result = EXIT_USAGE;
    }
    ui.ClearProgressLine();
    return result;
}

} // namespace

// Whether the command line asks for the document, which needs fonts and so Qt Gui.
bool PrintsDocument(const std::vector<std::string>& args)
{
    try {
        const CommandLine line = Parse(args);
        return !line.help && !line.version && !line.words.empty() && (line.words[0] == "print" || line.words[0] == "report");
    } catch (const UsageError&) {
        return false;
    }
}

// Qt's own notes (a missing runtime folder, a font substituted) are no business of tarnctl's
// stderr, which carries the program's messages; only Qt's errors get through.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

} // namespace tarn::cli

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    // The serial ports are Qt objects and need the application's thread data, though no event
    // loop runs: every exchange is synchronous. The document is drawn offscreen: it shows no
    // window, so it needs no display.
    std::unique_ptr<QCoreApplication> application;
    if (tarn::cli::PrintsDocument(args)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(tarn::cli::QuietQtMessages);
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Numbers keep their decimal point whatever the locale the application installed.
    tarn::KeepNumericLocaleC();
    return tarn::cli::Run(args);
}
