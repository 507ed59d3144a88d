// tarn: the desktop configuration and diagnostics program of the KX900.
#include "app/start_arguments.h"
#include "app/startup.h"
#include "text/numbers.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Answered before QApplication, which needs a display: both also work over a plain terminal.
    const tarn::StartArguments asked = tarn::ParseStartArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (asked.help || asked.version) {
        const bool written = std::fputs(asked.help ? tarn::START_USAGE : "tarn " TARN_VERSION "\n", stdout) >= 0;
        return std::fflush(stdout) == 0 && written ? 0 : 1;
    }

    QApplication app(argc, argv);
    // Numbers in files, reports and dialogs keep a decimal point whatever the user's locale;
    // QApplication has just set LC_NUMERIC from the environment.
    tarn::KeepNumericLocaleC();
    // Read again without Qt's own options, which QApplication has taken out of argv.
    const tarn::StartArguments start = tarn::ParseStartArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!start.error.empty()) {
        std::fprintf(stderr, "tarn: %s\n\n%s", start.error.c_str(), tarn::START_USAGE);
        return 2;
    }
    return tarn::RunProgram(app, start);
}
