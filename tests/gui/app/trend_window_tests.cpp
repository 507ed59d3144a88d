// The trend of the Modbus live test through the window against kx940-sim: cells
// double-clicked join the trend window, whose figures follow the readings the test
// makes, saved as CSV and PNG; and the comparison report's differences alone, saved.
#include "window_fixture.h"

#include "app/report_window.h"
#include "config/comparison.h"
#include "diag/trend_window.h"
#include "e2e/e2e_support.h"
#include "support/sample_installation.h"
#include "text/command_ids.h"
#include "text/text_ids.h"
#include "view/main_view.h"
#include "view/view_layout.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <filesystem>

using namespace tarn;
using tarn::testing::WindowUnderTest;

namespace {

constexpr int kTimeoutMs = 30000;

QString Figure(const TrendWindow& trend, int row, int column)
{
    const QTableWidgetItem* item = trend.Figures()->item(row, column);
    return item ? item->text() : QString();
}

void DoubleClickCell(MainView& view, const SystemConfiguration& gateway, int unit, int channel)
{
    const ViewLayout layout = ComputeViewLayout(view.width(), view.height());
    const Rect r = ChannelCellRect(layout.panels[unit], layout.panelHeader, gateway.units[unit].SLAVE_TYPE, channel);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
}

} // namespace

class TrendWindowTests : public QObject {
    Q_OBJECT
    tarn::testing::TempDir dir_;

private slots:
    void doubleClickedCellsFollowTheReadingsOfTheTest()
    {
        const SystemConfiguration plant = tarn::testing::FullInstallation();  // KX913+3, none, KX927, KX913
        tarn::testing::WriteFile(dir_.file("plant.mcf"), FormatConfiguration(plant));
        tarn::e2e::Simulator sim;
        std::string error;
        QVERIFY2(sim.Start(TARN_SIMULATOR, dir_.file("sim"), {"--config", dir_.file("plant.mcf")}, error), error.c_str());
        QCOMPARE(sim.Command("value 1 1 1234"), std::optional<std::string>("ok"));
        QCOMPARE(sim.Command("value 3 2 514"), std::optional<std::string>("ok"));  // channel 10 (group 2): on with its fault, SHORT

        WindowUnderTest w;
        w.state.modbusPort = {0, sim.modbusLink};
        CopyConfiguration(w.state.current, plant);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        w.window->Refresh();
        QVERIFY(w.window->DispatchCommand(CMD_MODBUS_LIVE_TEST));
        QCOMPARE(w.state.mode, AppMode::ModbusTest);
        QVERIFY(w.window->DispatchCommand(CMD_MODBUS_TEST_START));

        MainView& view = *w.window->View();
        DoubleClickCell(view, w.state.gateway, 0, 0);
        DoubleClickCell(view, w.state.gateway, 2, 9);
        DoubleClickCell(view, w.state.gateway, 0, 0);  // followed already
        TrendWindow* trend = w.window->TrendView();
        QVERIFY(trend && trend->isVisible());
        QCOMPARE(w.window->Trend().Channels().size(), 2u);
        QTRY_COMPARE_WITH_TIMEOUT(Figure(*trend, 0, 1), QStringLiteral("1.234 mV"), kTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(Figure(*trend, 1, 1), QStringLiteral("1"), kTimeoutMs);
        QCOMPARE(Figure(*trend, 0, 0), QStringLiteral("1-01"));
        QCOMPARE(sim.Command("value 1 1 65036"), std::optional<std::string>("ok"));  // -500
        QTRY_COMPARE_WITH_TIMEOUT(Figure(*trend, 0, 1), QStringLiteral("-0.500 mV"), kTimeoutMs);
        QCOMPARE(Figure(*trend, 0, 2), QStringLiteral("-0.500 mV"));
        QCOMPARE(Figure(*trend, 0, 3), QStringLiteral("1.234 mV"));
        QVERIFY(w.window->DispatchCommand(CMD_MODBUS_TEST_STOP));

        // Saved: the readings of both channels, then a picture; a name without a dot gets the type's.
        w.answers.saveChoices = {dir_.file("trend"), dir_.file("trend")};
        QVERIFY(trend->SaveReadings() && trend->SavePicture());
        const std::string csv = tarn::testing::ReadFile(dir_.file("trend.csv"));
        QCOMPARE(csv, w.window->Trend().Csv());
        QVERIFY(csv.find(",1,1,,1.234,mV,ok\n") != std::string::npos);
        QVERIFY(csv.find(",3,10,,1,,short\n") != std::string::npos);
        QVERIFY(tarn::testing::ReadFile(dir_.file("trend.png")).starts_with("\x89PNG"));
        // Paused, the window keeps its picture; Clear empties it at once.
        QTest::mouseClick(trend->findChild<QPushButton*>("pauseButton"), Qt::LeftButton);
        QTest::mouseClick(trend->findChild<QPushButton*>("clearButton"), Qt::LeftButton);
        QVERIFY(trend->Paused() && w.window->Trend().Channels().empty());
        QCOMPARE(trend->Figures()->rowCount(), 0);
        QVERIFY(w.answers.messages.empty());
    }

    void theReportShowsAndSavesTheDifferencesAlone()
    {
        const SystemConfiguration a = tarn::testing::FullInstallation();
        SystemConfiguration b = a;
        b.MASTER_FREQ = 0;
        std::string report = DiskComparisonHeader();
        CompareConfigurations(report, a, b);
        tarn::testing::RecordingUserInterface ui;
        ComparisonReportDialog dialog(report, ui);
        dialog.DifferencesOnly()->setChecked(true);
        QCOMPARE(dialog.Text()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 3);  // header, Master, the item
        ui.saveChoices = {dir_.file("diff"), dir_.file("none/diff.txt")};
        QVERIFY(dialog.Save());
        QCOMPARE(tarn::testing::ReadFile(dir_.file("diff.txt")), ReportDifferencesOnly(report));
        dialog.DifferencesOnly()->setChecked(false);
        QCOMPARE(dialog.Shown(), report);
        QVERIFY(!dialog.Save());
        QCOMPARE(ui.messages.size(), 1u);
        QVERIFY(ui.messages[0].text.starts_with(GetText(TEXT_FILE_WRITE_FAILED)));
    }
};

QTEST_MAIN(TrendWindowTests)
#include "trend_window_tests.moc"
