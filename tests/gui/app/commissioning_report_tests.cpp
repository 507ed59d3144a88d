// File > Commissioning Report... against kx940-sim: the report of the configuration on screen
// lands where the file dialog says; a port that does not open says so and keeps the old file.
#include "window_fixture.h"

#include "e2e/e2e_support.h"
#include "text/command_ids.h"

#include <QFileDialog>
#include <QTest>

using namespace tarn;

class CommissioningReportTests : public QObject {
    Q_OBJECT
private slots:
    void writesTheReportWhereTheUserChoseAndNothingWhenThePortFails()
    {
        testing::WindowUnderTest w;
        const std::string pdf = w.dir.file("site.pdf");
        w.onDialog = [&pdf](QDialog& dialog) {
            static_cast<QFileDialog&>(dialog).selectFile(QString::fromStdString(pdf));
            return int(QDialog::Accepted);
        };
        w.state.serialPort = {0, e2e::SharedSimulatorLink("serial")};
        QVERIFY(w.window->DispatchCommand(CMD_COMMISSIONING_REPORT));
        QCOMPARE(w.Messages(), QStringList{});
        QVERIFY(w.answers.reports.empty());
        QCOMPARE(testing::ReadFile(pdf).substr(0, 5), std::string("%PDF-"));
        QCOMPARE(w.state.mode, AppMode::Idle);

        testing::WriteFile(pdf, "the last visit");
        w.state.serialPort = {0, w.dir.file("unplugged")};
        QVERIFY(w.window->DispatchCommand(CMD_COMMISSIONING_REPORT));
        QCOMPARE(w.Messages(), QStringList{QStringLiteral("Unavailable Port")});
        QCOMPARE(testing::ReadFile(pdf), std::string("the last visit"));
    }
};

QTEST_MAIN(CommissioningReportTests)
#include "commissioning_report_tests.moc"
