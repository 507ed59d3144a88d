// The configuration document: its pages, what stands where on them, the mapping onto small
// paper, the refusals, and the PDF as a reader extracts it.
#include "print/document_pages.h"
#include "print/help_manual.h"
#include "print/pdf_document.h"
#include "print/print_job.h"
#include "recording_device.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include "config/default_config.h"

#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <fstream>
#include <memory>

using namespace tarn;
using tarn::testing::DrawnText;
using tarn::testing::FullInstallation;
using tarn::testing::RecordingDevice;
using tarn::testing::TempDir;

namespace {

// A4 at 1200 dpi with 10 pt margins, as the PDF printer starts.
const PrintDeviceFacts A4{true, 2030, 2900, 9917, 14033};

std::unique_ptr<RecordingDevice> Draw(const SystemConfiguration& image)
{
    auto device = std::make_unique<RecordingDevice>(ComputePageMapping(A4));
    QPainter painter(device.get());
    DrawConfigurationDocument(painter, image, ComputePageMapping(A4), [&] { return ++device->page > 0; });
    return device;
}

// The line of a page that holds the text first, left to right: a table row or a label and its value.
QStringList Line(const RecordingDevice& d, int page, const QString& first)
{
    QMap<qreal, QString> line;  // by x
    for (const DrawnText& s : d.texts)
        for (const DrawnText& t : d.texts)
            if (s.page == page && t.page == page && s.text == first && qAbs(t.at.y() - s.at.y()) < 0.5) line[t.at.x()] = t.text;
    return line.values();
}

QString PdfText(const QString& path, QStringList options = {})
{
    QProcess process;
    process.start(QStringLiteral(PDFTOTEXT_PATH), options << path << QStringLiteral("-"));
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool HasLigatures(const QString& text) { return text.contains(QChar(0xFB01)) || text.contains(QChar(0xFB02)); }

} // namespace

class PrintDocumentTests : public QObject {
    Q_OBJECT
private slots:
    void init() { core_ = std::make_unique<testing::CoreFixture>(); }
    void cleanup() { core_.reset(); }

    void pagesInUnitOrderWithTheirCountInEveryFooter()
    {
        const std::pair<SystemConfiguration, QStringList> cases[] = {  // the titles of the unit pages
            {FullInstallation({}), {}},
            {FullInstallation(testing::MIXED_UNITS), {"Unit 1", "Unit 3", "Unit 4"}},  // an empty position skipped
            {FullInstallation({{{0, 0, 0}, {2, 0, 0}}}), {"Unit 2"}},  // type 2 printed as a digital unit
        };
        for (const auto& [image, titles] : cases) {
            const auto d = Draw(image);
            const int count = static_cast<int>(titles.size()) + 1;
            QCOMPARE(d->page, count);
            for (int page = 1; page <= count; ++page)
                QVERIFY(!Line(*d, page, QStringLiteral("Page %1 of %2").arg(page).arg(count)).isEmpty());
            for (int i = 0; i < titles.size(); ++i) QVERIFY(!Line(*d, i + 2, "Configuration of " + titles[i]).isEmpty());
        }
    }

    // Labels with their values and table rows with their columns, as they stand on the page; the
    // frames of a KX913's table and its three expansions', of which only the base module's holds
    // the cold junction row under its sixteen channels.
    void linesAndTablesOfTheDocument()
    {
        const auto d = Draw(FullInstallation());
        const std::pair<int, QStringList> rows[] = {  // page, the line
            {1, {"Organization:", "Acme à S.p.A. // not a comment"}},
            {1, {"Mapping of Repeater 1", "Repeater assigned to Unit 4 - Invalid Assignment"}},  // a KX913
            {1, {"Mapping of Repeater 2", "Repeater assigned to Unit 3"}},
            {1, {"Configuration via Modbus", "Yes"}},
            {2, {"Ch 1-05", "TI 105 °C", "Thermocouple type A2 - GOST", "No Burnout", "Fixed Cold Junction", "No Filter"}},
            {2, {"Ch 1-06", "TT-1.06 BURNER Z", "Thermocouple type A3 - GOST", "4 Wire connection", "Fast Filter"}},
            {2, {"Fixed Cold Junction reference °C: -40.0"}},
            {3, {"Ch 01", "Channel Off", "1 ms scan time"}},  // the digital table has no tags
            {3, {"Ch 32", "Active with Fault", "35 ms scan time"}},
        };
        for (const auto& [page, line] : rows) QCOMPARE(Line(*d, page, line.first()), line);
        QList<int> heights;
        for (const auto& r : d->rects)
            if (r.page == 2) heights << qRound(r.rect.height());
        QCOMPARE(heights, (QList<int>{17 * TABLE_ROW_HEIGHT, 16 * TABLE_ROW_HEIGHT, 16 * TABLE_ROW_HEIGHT, 16 * TABLE_ROW_HEIGHT}));
    }

    void reductionsKeepThePageOnTheSheet()
    {
        const std::pair<PrintDeviceFacts, QSize> cases[] = {  // paper, viewport
            {A4, {9917, 14033}},                                  // none
            {{true, 1500, 2900, 7559, 14033}, {5669, 10524}},    // narrow: by width
            {{true, 2030, 2600, 9917, 12598}, {9208, 11698}},    // short: by height
            // After the width reduction the 200 mm of printable height hold 2000 x 2000 / 1500 = 2666
            // units, short of 2800: the height takes the page further down, to fill the sheet's height.
            {{true, 1500, 2000, 7559, 9921}, {5397, 7083}},
        };
        for (const auto& [paper, viewport] : cases) {
            const PageMapping m = ComputePageMapping(paper);
            QCOMPARE(QSize(m.viewportWidth, m.viewportHeight), viewport);
            QCOMPARE(QRect(m.windowX, m.windowY, m.windowWidth, m.windowHeight), QRect(-150, -100, paper.widthTenths, paper.heightTenths));
            // The far corner of the 2000 x 2800 page lands on the sheet.
            QVERIFY(qint64(DOCUMENT_PAGE_WIDTH) * m.viewportWidth <= qint64(paper.physicalWidth) * m.windowWidth);
            QVERIFY(qint64(DOCUMENT_PAGE_HEIGHT) * m.viewportHeight <= qint64(paper.physicalHeight) * m.windowHeight);
        }
    }

    void printerRefusesWhatItCannotPrint()
    {
        TempDir dir;
        QPrinter tiny(QPrinter::HighResolution);
        tiny.setOutputFileName(QString::fromStdString(dir.file("tiny.pdf")));
        tiny.setPageLayout(QPageLayout(QPageSize(QSizeF(9, 14), QPageSize::Millimeter), QPageLayout::Portrait, QMarginsF()));
        QPrinter absent(QPrinter::HighResolution);  // a system printer that is not there
        absent.setOutputFormat(QPrinter::NativeFormat);
        absent.setPrinterName(QStringLiteral("tarn-no-such-printer"));
        QPrinter unwritable(QPrinter::HighResolution);
        unwritable.setOutputFileName(QString::fromStdString(dir.file("no-folder/plant.pdf")));
        for (QPrinter* printer : {&tiny, &absent, &unwritable})
            QCOMPARE(PrintConfigurationOn(core_->ui, *printer, FullInstallation({{{1, 0, 0}}})), 0);
        QCOMPARE(core_->ui.texts(MessageIcon::Error), (std::vector<std::string>{"Paper size too small for a readable document",
                                                       "Output Device not suitable for printing", "Output Device not suitable for printing"}));
        QCOMPARE(core_->ui.messages[2].details, std::string("No such file or directory"));
        QVERIFY(std::filesystem::is_empty(dir.path()));
    }

    void pdfCarriesTheWordsWhereTheyBelong()
    {
        TempDir dir;
        SystemConfiguration c = FullInstallation({{{1, 1, 0}, {3, 0, 0}}});
        SetFieldText(c.units[0].channels[0].tag, "TI-101 fire flow");
        const QString path = QString::fromStdString(dir.file("plant.pdf"));
        QVERIFY(SaveConfigurationPdf(path, c, DefaultPdfPageLayout(), DEFAULT_PDF_RESOLUTION).ok());
        const QString text = PdfText(path);
        for (const char* words : {"Configuration of KX900 Multiplexer System", "TI-101 fire flow", "Page 1 of 3", "Page 3 of 3"})
            QVERIFY2(text.contains(QLatin1String(words)), words);
        QVERIFY(!HasLigatures(text));
        // The title's cell starts 150 units right of the printable corner, 10 pt in from the edge.
        const auto first = QRegularExpression(QStringLiteral("<word xMin=\"([0-9.]+)\"")).match(PdfText(path, {"-bbox", "-l", "1"}));
        const double points = 10 + 150.0 * A4.physicalWidth / A4.widthTenths / DEFAULT_PDF_RESOLUTION * 72;
        QVERIFY2(qAbs(first.captured(1).toDouble() - points) < 0.5, qPrintable(first.captured(0)));
    }

    void longTextsStayInTheirSpace()
    {
        SetLanguage(LANGUAGE_ITALIAN);  // "Nessuna unità" is wider than a unit box
        SystemConfiguration c = FullInstallation({});
        SetFieldText(c.DOCUMENT, std::string(300, 'W'));
        int checked = 0;
        const auto d = Draw(c);
        for (const DrawnText& t : d->texts) {
            if (t.text.startsWith(QLatin1String("Nessuna unit"))) checked += t.width() <= 200 - 2 * 8;
            if (t.text.startsWith('W')) checked += t.text.endsWith(QChar(0x2026)) && t.at.x() + t.width() <= DOCUMENT_LAYOUT_WIDTH;
        }
        QCOMPARE(checked, 5);
    }

    void helpFindsTheNearestManual()
    {
        const std::pair<QStringList, QString> cases[] = {  // where manuals lie, the one opened
            {{"work", "bin", "installed"}, "work"}, {{"bin", "installed"}, "bin"}, {{"installed"}, "installed"},
            {{}, "work"},  // none: the name in the current directory, as specified
        };
        for (const auto& [copies, opened] : cases) {
            TempDir dir;
            auto folder = [&](const QString& name) {
                return name == "installed" ? InstalledManualDirectory(dir.path() / "bin") : dir.path() / name.toStdString();
            };
            for (const QString& copy : copies) {
                std::filesystem::create_directories(folder(copy));
                std::ofstream(folder(copy) / HELP_MANUAL_FILE_NAME) << "%PDF";
            }
            QCOMPARE(HelpManualPath(folder("work"), folder("bin")), folder(opened) / HELP_MANUAL_FILE_NAME);
        }
    }

private:
    std::unique_ptr<testing::CoreFixture> core_;
};

QTEST_MAIN(PrintDocumentTests)
#include "print_document_tests.moc"
