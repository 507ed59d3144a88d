// Every window and dialog of the program fits the smallest screen the program accepts,
// 800 × 600, in both languages with the default font: each one no larger than the main
// window takes on that screen, so the title bar and a panel still leave it whole.
#include "app/about_dialog.h"
#include "app/configuration_file_dialog.h"
#include "app/document_options_dialog.h"
#include "app/main_window.h"
#include "app/port_setup_dialog.h"
#include "app/report_window.h"
#include "app/window_size.h"
#include "diag/calibration.h"
#include "diag/calibration_dialog.h"
#include "diag/factory_test.h"
#include "diag/factory_test_dialog.h"
#include "diag/single_channel_dialog.h"
#include "diag/single_channel_test.h"
#include "diag/status_control_dialog.h"
#include "dialogs/channel_dialogs.h"
#include "dialogs/dialog_support.h"
#include "dialogs/gateway_dialog.h"
#include "dialogs/repeater_dialog.h"
#include "dialogs/unit_dialog.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"
#include "text/texts.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <functional>
#include <memory>

using namespace tarn;

namespace {

// A window with whatever it stands on (the engine of a diagnostic dialog).
struct Shown {
    std::shared_ptr<void> engine;
    std::unique_ptr<QWidget> window;
};

template <class Engine, class Dialog>
Shown WithEngine(std::shared_ptr<Engine> engine)
{
    Shown s{engine, nullptr};
    s.window = std::make_unique<Dialog>(*engine);
    return s;
}

// A comparison report with the longest lines a report has: a channel tag and two values.
const std::string kReport = "Slave 4 - Expansion 3\r\n  Channel 64 WWWWWWWWWWWWWWWW\tError\t<Compensator Quillet option 91>\t"
                            "<Compensator Quillet option 91>\r\n";

const struct {
    const char* name;
    std::function<Shown(Session&)> make;
} kWindows[] = {
    {"main window",
     [](Session& s) { return Shown{nullptr, std::make_unique<MainWindow>(s, *ComputeMainWindowSize(800, 600))}; }},
    {"about", [](Session&) { return Shown{nullptr, std::make_unique<AboutDialog>()}; }},
    {"document options", [](Session& s) { return Shown{nullptr, std::make_unique<DocumentOptionsDialog>(s)}; }},
    {"port setup", [](Session& s) { return Shown{nullptr, std::make_unique<PortSetupDialog>(s.links)}; }},
    {"comparison report", [](Session& s) { return Shown{nullptr, std::make_unique<ComparisonReportDialog>(kReport, *s.ui)}; }},
    {"save file",
     [](Session& s) {
         return Shown{nullptr, std::make_unique<ConfigurationFileDialog>(*s.ui, nullptr, TextQ(352),
                                                                         TextQ(350) + " (*.mcf)", QFileDialog::AcceptSave)};
     }},
    {"gateway", [](Session& s) { return Shown{nullptr, std::make_unique<GatewayDialog>(s)}; }},
    {"unit", [](Session& s) { return Shown{nullptr, std::make_unique<UnitDialog>(s, nullptr, 0, 0)}; }},
    {"analog channels", [](Session& s) { return Shown{nullptr, std::make_unique<AnalogChannelsDialog>(s, nullptr, 0, 0)}; }},
    {"digital channels", [](Session& s) { return Shown{nullptr, std::make_unique<DigitalChannelsDialog>(s, nullptr, 1)}; }},
    {"repeater", [](Session& s) { return Shown{nullptr, std::make_unique<RepeaterDialog>(s, nullptr, 0)}; }},
    {"single channel test",
     [](Session& s) { return WithEngine<SingleChannelTest, SingleChannelDialog>(std::make_shared<SingleChannelTest>(s.links)); }},
    {"factory test",
     [](Session& s) { return WithEngine<FactoryTest, FactoryTestDialog>(std::make_shared<FactoryTest>(s.links)); }},
    {"status control",
     [](Session& s) { return WithEngine<StatusControl, StatusControlDialog>(std::make_shared<StatusControl>(s.links)); }},
    {"calibration", [](Session& s) { return WithEngine<Calibration, CalibrationDialog>(std::make_shared<Calibration>(s.links, 0)); }},
};

} // namespace

class WindowSizesTests : public QObject {
    Q_OBJECT
private slots:
    // The offscreen platform's screen is the smallest one the program accepts.
    void initTestCase() { QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), QSize(800, 600)); }

    void everyWindowFitsTheSmallestScreen_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("language");
        for (int language : {LANGUAGE_ENGLISH, LANGUAGE_ITALIAN})
            for (int i = 0; i < int(std::size(kWindows)); ++i)
                QTest::addRow("%s %s", kWindows[i].name, language == LANGUAGE_ENGLISH ? "en" : "it") << i << language;
    }
    void everyWindowFitsTheSmallestScreen()
    {
        QFETCH(int, window);
        QFETCH(int, language);
        testing::CoreFixture core;
        testing::TempDir dir;
        core.state.startDirectory = dir.path().string();
        core.state.current = testing::FullInstallation();
        // A stored adapter that is not plugged in: the longest entry the port lists show.
        core.state.serialPort = {0, dir.file("serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller_D_AB0123456789-if00-port0")};
        SetLanguage(language);

        const Shown shown = kWindows[window].make(core.session);
        shown.window->show();
        const QSize size = shown.window->size();
        const MainWindowSize screen = *ComputeMainWindowSize(800, 600);
        QVERIFY2(size.width() <= screen.width && size.height() <= screen.height,
                 qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    }
};

QTEST_MAIN(WindowSizesTests)
#include "window_sizes_tests.moc"
