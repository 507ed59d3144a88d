// The desktop program's command line: tarn [--desktop] [FILE], tarn --help, tarn --version.
// Qt's own options (-platform, -style, ...) are taken out by QApplication before this reads
// what is left.
#pragma once

#include <string>
#include <vector>

namespace tarn {

struct StartArguments {
    bool help = false;
    bool version = false;
    // Started by the desktop entry (menu, file manager): the start directory is the program's
    // data folder, not the current directory.
    bool desktop = false;
    std::string file;   // the configuration file to open, as given; empty for none
    std::string error;  // what is wrong with the line; empty when nothing is
};

// --help and --version are seen even on a faulty line, so that they answer any line.
StartArguments ParseStartArguments(const std::vector<std::string>& args);

extern const char* const START_USAGE;

} // namespace tarn
