#include "app/start_arguments.h"

namespace tarn {

const char* const START_USAGE =
    "usage: tarn [--desktop] [FILE]\n"
    "\n"
    "The configuration and diagnostics program of the KX900 field multiplexer system.\n"
    "\n"
    "  FILE        a configuration file (.mcf) to open at the start, as File > Open does\n"
    "  --desktop   started from the desktop menu or a file manager: the start directory is\n"
    "              the program's data folder ($XDG_DATA_HOME/tarn, by default\n"
    "              ~/.local/share/tarn), made at the first start with a default.mcf of the\n"
    "              built-in default configuration\n"
    "  --help      this text;  --version  the version\n"
    "\n"
    "Without --desktop the current directory is the start directory: the program reads its\n"
    "Settings file and default.mcf there and writes the Settings file there at the end. One\n"
    "copy of the program runs per start directory.\n";

StartArguments ParseStartArguments(const std::vector<std::string>& args)
{
    StartArguments start;
    auto fault = [&start](std::string text) {
        if (start.error.empty()) start.error = std::move(text);
    };
    bool optionsEnded = false;
    bool haveFile = false;
    for (const std::string& arg : args) {
        // An empty word names nothing: it opens nothing.
        if (arg.empty()) continue;
        if (optionsEnded || arg == "-" || arg[0] != '-') {
            if (haveFile) fault("only one FILE can be opened, '" + arg + "' is a second");
            else start.file = arg;
            haveFile = true;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            start.help = true;
        } else if (arg == "--version") {
            start.version = true;
        } else if (arg == "--desktop") {
            start.desktop = true;
        } else {
            fault("unknown option " + arg);
        }
    }
    return start;
}

} // namespace tarn
