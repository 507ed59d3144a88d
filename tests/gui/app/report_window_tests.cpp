// The comparison report window shows the differences alone and saves what it shows.
#include "app/report_window.h"
#include "config/comparison.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>

using namespace tarn;

class ReportWindowTests : public QObject {
    Q_OBJECT
private slots:
    void savesTheReportAsShown()
    {
        tarn::testing::TempDir dir;
        const SystemConfiguration a = tarn::testing::FullInstallation();
        SystemConfiguration b = a;
        b.MASTER_FREQ = 0;
        std::string report = DiskComparisonHeader();
        CompareConfigurations(report, a, b);
        tarn::testing::RecordingUserInterface ui;
        ComparisonReportDialog dialog(report, ui);
        ui.saveChoices = {dir.file("diff"), dir.file("whole.txt")};
        dialog.DifferencesOnly()->setChecked(true);
        QVERIFY(dialog.Text()->toPlainText().contains(QStringLiteral("\tError\t")));
        QVERIFY(!dialog.Text()->toPlainText().contains(QStringLiteral("\tOk\t")));
        QVERIFY(dialog.Save());
        dialog.DifferencesOnly()->setChecked(false);
        QVERIFY(dialog.Save());
        QCOMPARE(tarn::testing::ReadFile(dir.file("diff.txt")), DifferencesOnly(report));
        QCOMPARE(tarn::testing::ReadFile(dir.file("whole.txt")), report);
    }
};

QTEST_MAIN(ReportWindowTests)
#include "report_window_tests.moc"
