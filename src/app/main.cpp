// tarn: the desktop configuration and diagnostics program of the KX900.
#include "app/startup.h"
#include "text/numbers.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Numbers in files, reports and dialogs keep a decimal point whatever the user's locale;
    // QApplication has just set LC_NUMERIC from the environment.
    tarn::KeepNumericLocaleC();
    return tarn::RunProgram(app);
}
