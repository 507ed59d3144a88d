// Shows one window or dialog over a fully configured installation, to look at it (not a test):
// dialog_gallery KIND [A B] [it] [--grab FILE.png | --screen FILE.png], KIND one of main, about,
// options, ports, report, save, gateway, unit U M, analog U M, digital U, repeater R, single,
// factory, status, calibration U. With --grab the dialog is drawn into FILE.png, with --screen
// the whole screen (under xvfb-run -s "-screen 0 800x600x24"), and the program ends; without,
// it stays open.
#include "app/about_dialog.h"
#include "app/configuration_file_dialog.h"
#include "app/document_options_dialog.h"
#include "app/main_window.h"
#include "app/port_setup_dialog.h"
#include "app/report_window.h"
#include "app/window_size.h"
#include "config/app_state.h"
#include "diag/calibration.h"
#include "diag/calibration_dialog.h"
#include "diag/factory_test.h"
#include "diag/factory_test_dialog.h"
#include "diag/single_channel_dialog.h"
#include "diag/single_channel_test.h"
#include "diag/status_control_dialog.h"
#include "dialogs/channel_dialogs.h"
#include "dialogs/gateway_dialog.h"
#include "dialogs/repeater_dialog.h"
#include "dialogs/unit_dialog.h"
#include "support/sample_installation.h"
#include "text/texts.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace tarn;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString grab;
    bool wholeScreen = false;
    for (const char* option : {"--grab", "--screen"})
        if (const qsizetype at = args.indexOf(option); at >= 0 && at + 1 < args.size()) {
            grab = args[at + 1];
            wholeScreen = args[at] == "--screen";
            args.remove(at, 2);
        }
    if (args.removeAll("it")) SetLanguage(LANGUAGE_ITALIAN);
    AppState state;
    state.current = testing::FullInstallation();
    InstallState(&state);

    const QString kind = args.value(0);
    const int a = args.value(1).toInt(), b = args.value(2).toInt();
    SingleChannelTest single;
    FactoryTest factory;
    Calibration calibration(a);
    std::unique_ptr<QWidget> dialog;
    if (kind == "main") dialog = std::make_unique<MainWindow>(*ComputeMainWindowSize(800, 600));
    else if (kind == "about") dialog = std::make_unique<AboutDialog>();
    else if (kind == "options") dialog = std::make_unique<DocumentOptionsDialog>();
    else if (kind == "ports") {
        // An adapter that is not plugged in, as the lists then show it.
        state.serialPort = {0, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KQ7Z3-if00-port0"};
        dialog = std::make_unique<PortSetupDialog>();
    }
    else if (kind == "report")
        dialog = std::make_unique<ComparisonReportDialog>("Master\r\n  Tag of Master\tError\t<BOILER 1>\t<BOILER 2>\r\n");
    else if (kind == "save")
        dialog = std::make_unique<ConfigurationFileDialog>(nullptr, "Save", "Files (*.mcf)", QFileDialog::AcceptSave);
    else if (kind == "single") dialog = std::make_unique<SingleChannelDialog>(single);
    else if (kind == "factory") dialog = std::make_unique<FactoryTestDialog>(factory);
    else if (kind == "status") dialog = std::make_unique<StatusControlDialog>();
    else if (kind == "calibration") dialog = std::make_unique<CalibrationDialog>(calibration);
    else if (kind == "gateway") dialog = std::make_unique<GatewayDialog>();
    else if (kind == "unit") dialog = std::make_unique<UnitDialog>(nullptr, a, b);
    else if (kind == "analog") dialog = std::make_unique<AnalogChannelsDialog>(nullptr, a, b);
    else if (kind == "digital") dialog = std::make_unique<DigitalChannelsDialog>(nullptr, a);
    else if (kind == "repeater") dialog = std::make_unique<RepeaterDialog>(nullptr, a);
    else {
        std::fprintf(stderr, "usage: dialog_gallery KIND [A B] [it] [--grab FILE | --screen FILE]\n");
        return 2;
    }
    dialog->show();
    if (grab.isEmpty()) return app.exec();
    // The whole screen only once the X server has drawn the window.
    QTimer::singleShot(wholeScreen ? 500 : 0, [&] {
        (wholeScreen ? dialog->screen()->grabWindow(0) : dialog->grab()).save(grab);
        app.quit();
    });
    return app.exec();
}
