// Shows one configuration dialog over a fully configured installation, to look at it (not a
// test): dialog_gallery gateway|unit U M|analog U M|digital U|repeater R [it] [--grab FILE.png]
// With --grab the dialog is drawn into FILE.png and the program ends; without, it stays open.
#include "config/app_state.h"
#include "dialogs/channel_dialogs.h"
#include "dialogs/gateway_dialog.h"
#include "dialogs/repeater_dialog.h"
#include "dialogs/unit_dialog.h"
#include "support/sample_installation.h"
#include "text/texts.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace tarn;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString grab;
    if (const qsizetype at = args.indexOf("--grab"); at >= 0 && at + 1 < args.size()) {
        grab = args[at + 1];
        args.remove(at, 2);
    }
    if (args.removeAll("it")) SetLanguage(LANGUAGE_ITALIAN);
    SilentUserInterface ui;
    AppState state(ui);
    state.current = testing::FullInstallation();

    const QString kind = args.value(0);
    const int a = args.value(1).toInt(), b = args.value(2).toInt();
    std::unique_ptr<QDialog> dialog;
    if (kind == "gateway") dialog = std::make_unique<GatewayDialog>(state);
    else if (kind == "unit") dialog = std::make_unique<UnitDialog>(state, nullptr, a, b);
    else if (kind == "analog") dialog = std::make_unique<AnalogChannelsDialog>(state, nullptr, a, b);
    else if (kind == "digital") dialog = std::make_unique<DigitalChannelsDialog>(state, nullptr, a);
    else if (kind == "repeater") dialog = std::make_unique<RepeaterDialog>(state, nullptr, a);
    else {
        std::fprintf(stderr, "usage: dialog_gallery gateway|unit U M|analog U M|digital U|repeater R [it] [--grab FILE]\n");
        return 2;
    }
    dialog->show();
    if (grab.isEmpty()) return app.exec();
    QTimer::singleShot(0, [&] {
        dialog->grab().save(grab);
        app.quit();
    });
    return app.exec();
}
