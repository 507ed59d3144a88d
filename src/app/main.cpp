// tarn: the desktop configuration and diagnostics program of the KX900.
#include "app/startup.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Numbers in files, reports and dialogs keep a decimal point whatever the user's locale;
    // QApplication has just set LC_NUMERIC from the environment.
    std::setlocale(LC_NUMERIC, "C");
    return tarn::RunProgram(app);
}
