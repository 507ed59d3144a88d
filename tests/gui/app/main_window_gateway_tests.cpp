// The window against kx940-sim: write, read and compare run on timer 1 with the
// menu bar of their mode, progress and the report.
#include "window_fixture.h"

#include "app/main_menu.h"
#include "e2e/e2e_support.h"
#include "link/transfer.h"
#include "support/sample_installation.h"
#include "text/command_ids.h"
#include "view/main_view.h"

#include <QApplication>
#include <QTest>

using namespace tarn;
using tarn::e2e::SharedSimulatorLink;
using tarn::testing::MenuBarLines;
using tarn::testing::TopTitles;
using tarn::testing::WindowUnderTest;

namespace {

constexpr int kTransferTimeoutMs = 30000;

const std::vector<std::string> kGrayedTitles = {"File (grayed)", "Configure (grayed)", "Test (grayed)",
                                                "Tools (grayed)", "Settings (grayed)", "? (grayed)"};

} // namespace

class MainWindowGatewayTests : public QObject {
    Q_OBJECT

    // Runs a transfer command to its end as the window's timer drives it, checking the busy
    // window on the way: the mode, the grayed titles, the hourglass and the progress.
    void RunTransfer(WindowUnderTest& w, int command, AppMode mode)
    {
        QVERIFY(w.window->DispatchCommand(command));
        QCOMPARE(w.state.mode, mode);
        QCOMPARE(MenuBarLines(*w.window), kGrayedTitles);
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        QVERIFY(w.window->MainTimerActive());
        QTRY_VERIFY_WITH_TIMEOUT(w.window->View()->Progress() >= 50, kTransferTimeoutMs);
        QCOMPARE(w.state.mode, mode);
        QTRY_COMPARE_WITH_TIMEOUT(w.state.mode, AppMode::Idle, kTransferTimeoutMs);
        QCOMPARE(w.session.transfer.LastOutcome(), TransferOutcome::Succeeded);
        QCOMPARE(w.window->View()->Progress(), 0);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!w.window->MainTimerActive());
        QCOMPARE(TopTitles(*w.window).front(), std::string("File"));
    }

private slots:
    
    void writeReadAndCompareThroughTheWindow()
    {
        WindowUnderTest w;
        w.state.serialPort = {0, SharedSimulatorLink("serial")};
        const SystemConfiguration plant = tarn::testing::FullInstallation();

        // Write: asked first, the gateway flag cleared at the end, the file flag kept.
        CopyConfiguration(w.state.current, plant);
        w.state.MarkConfigurationChanged();
        w.answers.answers = {true};
        RunTransfer(w, CMD_WRITE_GATEWAY, AppMode::WriteGateway);
        QCOMPARE(w.Messages(), QStringList{QStringLiteral("KX940 content\n\nWill be overwritten!")});
        QVERIFY(!w.state.GatewayModified);
        QVERIFY(w.state.FileModified);

        // Read over another configuration: asked, then the current image is the gateway's.
        BuildDefaultConfiguration(w.state.current);
        w.answers.messages.clear();
        w.answers.answers = {true};
        RunTransfer(w, CMD_READ_GATEWAY, AppMode::ReadGateway);
        QCOMPARE(w.answers.messages.size(), std::size_t(1));
        QVERIFY(tarn::testing::SameBytes(w.state.current, w.state.gateway));
        QCOMPARE(std::string(FieldText(w.state.current.units[3].channels[63].tag)),
                 std::string(FieldText(plant.units[3].channels[63].tag)));
        QVERIFY(!w.state.FileModified && !w.state.GatewayModified);

        // Compare with one tag changed: no question, one Error line in the report.
        SetFieldText(w.state.current.units[0].channels[4].tag, "CHANGED");
        w.answers.messages.clear();
        RunTransfer(w, CMD_COMPARE_GATEWAY, AppMode::CompareGateway);
        QVERIFY(w.answers.messages.empty());
        QCOMPARE(w.answers.reports.size(), std::size_t(1));
        const std::string& report = w.answers.reports[0];
        QVERIFY(report.rfind("Actual Configuration\tGateway Configuration\r\n", 0) == 0);
        const std::string line = "  Ch 5 - Tag\tError\t<CHANGED>\t<" + std::string(FieldText(plant.units[0].channels[4].tag)) + ">\r\n";
        QVERIFY2(report.find(line) != std::string::npos, line.c_str());
        QCOMPARE(w.state.comparisonErrors, 1);
    }

};

QTEST_MAIN(MainWindowGatewayTests)
#include "main_window_gateway_tests.moc"
