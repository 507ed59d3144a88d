// Opens one diagnostic dialog against a gateway (kx940-sim) for a look at it, without
// the main window: diag_preview single|factory|calibration [UNIT] --serial PATH
// [--modbus PATH] [--italian]. Message boxes are plain QMessageBoxes.
#include "config/app_state.h"
#include "diag/diag_dialogs.h"
#include "diag/diag_widgets.h"
#include "serial/qt_serial_device.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class BoxInterface : public tarn::SilentUserInterface {
public:
    void ShowMessage(tarn::MessageIcon icon, const std::string& caption, const std::string& text) override
    {
        QMessageBox box(icon == tarn::MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                        tarn::FromCp1252(caption), tarn::FromCp1252(text));
        box.exec();
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override
    {
        return QMessageBox::question(nullptr, tarn::FromCp1252(caption), tarn::FromCp1252(text)) == QMessageBox::Yes;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tarn::AppState state;
    tarn::InstallState(&state);
    BoxInterface ui;
    tarn::InstallUserInterface(&ui);
    tarn::InstallQtSerialDevices();

    std::string which = argc > 1 ? argv[1] : "";
    int unit = 0;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--serial") && i + 1 < argc) state.serialPort.name = argv[++i];
        else if (!std::strcmp(argv[i], "--modbus") && i + 1 < argc) state.modbusPort.name = argv[++i];
        else if (!std::strcmp(argv[i], "--italian")) tarn::SetLanguage(tarn::LANGUAGE_ITALIAN);
        else unit = std::atoi(argv[i]);
    }
    if (which == "single") tarn::OpenSingleChannelTest(nullptr);
    else if (which == "factory") tarn::OpenFactoryTest(nullptr);
    else if (which == "calibration") tarn::OpenCalibration(nullptr, unit);
    else {
        std::fprintf(stderr, "usage: diag_preview single|factory|calibration [UNIT] --serial PATH [--modbus PATH] [--italian]\n");
        return 2;
    }
    tarn::InstallUserInterface(nullptr);
    return 0;
}
