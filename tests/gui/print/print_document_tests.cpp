// The configuration document: its pages, what stands where on them, the mapping onto small
// paper, the refusals, and the PDF as a reader extracts it.
#include "print/document_pages.h"
#include "print/help_manual.h"
#include "print/pdf_document.h"
#include "print/print_job.h"
#include "recording_device.h"
#include "support/recording_ui.h"

#include "config/channel_word.h"
#include "config/default_config.h"

#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTest>

#include <QRegularExpression>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

Q_DECLARE_METATYPE(tarn::SystemConfiguration)
Q_DECLARE_METATYPE(tarn::PrintDeviceFacts)
Q_DECLARE_METATYPE(tarn::AnalogChannelSettings)

using namespace tarn;
using tarn::testing::CoreFixture;
using tarn::testing::DrawnText;
using tarn::testing::RecordingDevice;
using tarn::testing::TempDir;

namespace {

// A4 at 1200 dpi with 10 pt margins, as the PDF printer starts.
const PrintDeviceFacts A4{true, 2030, 2900, 9917, 14033};

struct Unit {
    std::uint32_t type, expansions = 0;
};

SystemConfiguration Installation(std::initializer_list<Unit> units)
{
    SystemConfiguration c{};
    BuildDefaultConfiguration(c);
    int u = 0;
    for (const Unit& unit : units) {
        c.units[u].SLAVE_TYPE = unit.type;
        c.units[u++].SLAVE_EXP = unit.expansions;
    }
    return c;
}

std::unique_ptr<RecordingDevice> Draw(const SystemConfiguration& image, const PrintDeviceFacts& facts = A4)
{
    auto device = std::make_unique<RecordingDevice>(ComputePageMapping(facts), QSize(facts.physicalWidth, facts.physicalHeight), 1200);
    QPainter painter(device.get());
    DrawConfigurationDocument(painter, image, ComputePageMapping(facts), [&] { return ++device->page > 0; });
    return device;
}

// The text drawn on page whose cell starts at (x, y), to half a unit.
QString TextAt(const RecordingDevice& d, int page, int x, int y)
{
    for (const DrawnText& t : d.TextsOn(page))
        if (qAbs(t.at.x() - x) < 0.5 && qAbs(t.at.y() - y) < 0.5) return t.text;
    return QStringLiteral("<nothing at %1,%2>").arg(x).arg(y);
}

QString Utf8(const char* text) { return QString::fromUtf8(text); }

QString PdfText(const QString& path, QStringList options = {})
{
    QProcess process;
    process.start(QStringLiteral(PDFTOTEXT_PATH), options << path << QStringLiteral("-"));
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class PrintDocumentTests : public QObject {
    Q_OBJECT
private slots:
    void init() { core_ = std::make_unique<CoreFixture>(); }
    void cleanup() { core_.reset(); }

    void pagesInUnitOrderWithTheirCountInEveryFooter_data()
    {
        QTest::addColumn<SystemConfiguration>("image");
        QTest::addColumn<QStringList>("titles");  // the title of each unit page
        QTest::newRow("no unit") << Installation({}) << QStringList{};
        QTest::newRow("empty positions skipped")
            << Installation({{1, 2}, {0}, {3}, {1}})
            << QStringList{"Configuration of Unit 1", "Configuration of Unit 3", "Configuration of Unit 4"};
        QTest::newRow("type 2 as a digital unit") << Installation({{0}, {2}}) << QStringList{"Configuration of Unit 2"};
    }
    void pagesInUnitOrderWithTheirCountInEveryFooter()
    {
        QFETCH(SystemConfiguration, image);
        QFETCH(QStringList, titles);
        const auto drawn = Draw(image);
        const RecordingDevice& d = *drawn;
        const int count = static_cast<int>(titles.size()) + 1;
        QCOMPARE(d.page, count);
        for (int page = 1; page <= count; ++page)
            QCOMPARE(TextAt(d, page, FOOTER_X, page == 1 ? 2370 : 2570), QStringLiteral("Page %1 of %2").arg(page).arg(count));
        for (int i = 0; i < titles.size(); ++i) QCOMPARE(TextAt(d, i + 2, 0, 0), titles[i]);
    }

    void systemPageFieldsAtTheirPlaces()
    {
        SystemConfiguration c = Installation({{1, 3}, {0}, {3}});
        SetFieldText(c.ORGANIZATION, "Acme \xE0 S.p.A.");
        SetFieldText(c.ADDRESS[1], "Via Roma 1");
        c.MASTER_REPT = 2;
        c.MASTER_REPT_MAT[3] = 0;  // not the KX927: an invalid assignment, printed although unused
        c.MASTER_MOD_ADDR = 17;
        c.MASTER_MOD_CONFIG = 1;
        const auto drawn = Draw(c);
        const RecordingDevice& d = *drawn;
        const std::pair<QPoint, QString> expected[] = {
            {{0, 340}, "Configuration of KX900 Multiplexer System"},
            {{0, 395}, "Organization:"}, {{500, 395}, Utf8("Acme à S.p.A.")},
            {{500, 485}, "Via Roma 1"}, {{0, 665}, "Tag of Master:"}, {{500, 665}, "Tag 0.0"},
            {{0, 755}, "Verified by:"}, {{0, 1900}, "Configuration of Gateway"},
            {{0, 1945}, "Field Connection"}, {{500, 1945}, "Use Line # 1"},
            {{0, 2215}, "Mapping of Repeater 4"}, {{500, 2215}, "Repeater assigned to Unit 1 - Invalid Assignment"},
            {{500, 2170}, "Repeater assigned to Unit 3"},
            {{500, 2260}, "017"}, {{0, 2395}, "Configuration via Modbus"}, {{500, 2395}, "Yes"},
        };
        for (const auto& [at, text] : expected) QCOMPARE(TextAt(d, 1, at.x(), at.y()), text);

        // The sketch: every module of a row in its box, a repeater box per repeater in use.
        auto centres = [&](const QString& text) {
            QList<int> xs;
            for (const DrawnText& t : d.TextsOn(1))
                if (t.text == text) xs << qRound(t.at.x() + t.width() / 2);
            return xs;
        };
        QCOMPARE(centres("KX914"), (QList<int>{870, 1140, 1410}));
        QCOMPARE(centres("KX966/67"), (QList<int>{600, 870}));
        QCOMPARE(centres("No Unit"), (QList<int>{600, 600}));
        QCOMPARE(centres("KX940"), QList<int>{250});
    }

    void fieldLinesFollowLineUse_data()
    {
        QTest::addColumn<int>("lineUse");
        QTest::addColumn<QList<int>>("trunks");  // x of the field trunks, which end at the gateway
        QTest::newRow("line 1") << 0 << QList<int>{250};
        QTest::newRow("line 2") << 1 << QList<int>{250};
        QTest::newRow("both lines") << 2 << QList<int>{230, 270};
        QTest::newRow("smart mode: one line, unlike the screen") << 3 << QList<int>{250};
    }
    void fieldLinesFollowLineUse()
    {
        QFETCH(int, lineUse);
        QFETCH(QList<int>, trunks);
        SystemConfiguration c = Installation({});
        c.MASTER_CABLE = static_cast<std::uint32_t>(lineUse);
        QList<int> found;
        for (const auto& l : Draw(c)->lines)
            if (l.line.x1() == l.line.x2() && qRound(l.line.y2()) == 1500) found << qRound(l.line.x1());
        QCOMPARE(found, trunks);
    }

    void analogTablesFillThePage()
    {
        SystemConfiguration c = Installation({{1, 3}});
        c.units[0].SLAVE_CJC = -5;
        c.units[0].channels[0].word = EncodeAnalogChannelWord({7, 1, 1, 0, 2});  // K, upscale, fixed, medium
        SetFieldText(c.units[0].channels[63].tag, "TT-164");
        const auto drawn = Draw(c);
        const RecordingDevice& d = *drawn;
        const std::pair<QPoint, QString> expected[] = {
            {{60, 52}, "Ch 1-01"}, {{460, 52}, "Thermocouple type K"}, {{860, 52}, "Burnout Upscale"},
            {{1110, 52}, "Fixed Cold Junction"}, {{1410, 52}, "Medium Filter"},
            {{60, 660}, Utf8("Fixed Cold Junction reference °C: -0.5")},
            {{60, 2514}, "Ch 1-64"}, {{190, 2514}, "TT-164"}, {{460, 2514}, "Channel Off"},
        };
        for (const auto& [at, text] : expected) QCOMPARE(TextAt(d, 2, at.x(), at.y()), text);

        QStringList sides;
        for (const DrawnText& t : d.TextsOn(2))
            if (t.upward) sides << QStringLiteral("%1@%2,%3").arg(t.text).arg(qRound(t.at.x())).arg(qRound(t.at.y()));
        QCOMPARE(sides, (QStringList{"KX913@5,450", "KX914@5,1106", "KX914@5,1724", "KX914@5,2342"}));
        QList<QRect> frames;
        for (const auto& r : d.rects)
            if (r.page == 2) frames << r.rect.toRect();
        QCOMPARE(frames, (QList<QRect>{{0, 50, 1600, 646}, {0, 706, 1600, 608}, {0, 1324, 1600, 608}, {0, 1942, 1600, 608}}));
    }

    void digitalTableHasThirtyTwoRowsAndNoTags()
    {
        SystemConfiguration c = Installation({{3}});
        c.units[0].channels[31].word = EncodeDigitalChannelWord({2, 15});
        SetFieldText(c.units[0].channels[0].tag, "NOT-PRINTED");
        const auto drawn = Draw(c);
        const RecordingDevice& d = *drawn;
        QCOMPARE(TextAt(d, 2, 60, 52), QStringLiteral("Ch 01"));
        QCOMPARE(TextAt(d, 2, 60, 1230), QStringLiteral("Ch 32"));
        QCOMPARE(TextAt(d, 2, 190, 1230), QStringLiteral("Active with Fault"));
        QCOMPARE(TextAt(d, 2, 460, 1230), QStringLiteral("35 ms scan time"));
        for (const DrawnText& t : d.texts) QVERIFY(t.text != "NOT-PRINTED");
    }

    void analogDetailTextByClass_data()
    {
        QTest::addColumn<AnalogChannelSettings>("s");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("off") << AnalogChannelSettings{0, 3, 1, 1, 3} << QStringList{"", "", ""};
        QTest::newRow("millivolt") << AnalogChannelSettings{1, 3, 1, 0, 1} << QStringList{"Coded Burnout", "", "Fast Filter"};
        QTest::newRow("resistance") << AnalogChannelSettings{3, 0, 0, 1, 3} << QStringList{"4 Wire connection", "", "Slow Filter"};
        QTest::newRow("thermocouple") << AnalogChannelSettings{17, 2, 1, 0, 0}
                                      << QStringList{"Burnout Downscale", "Fixed Cold Junction", "No Filter"};
        QTest::newRow("A3 - GOST is in the wired class") << AnalogChannelSettings{18, 0, 0, 1, 2}
                                                         << QStringList{"4 Wire connection", "", "Medium Filter"};
    }
    void analogDetailTextByClass()
    {
        QFETCH(AnalogChannelSettings, s);
        QFETCH(QStringList, columns);
        for (int column = 0; column < 3; ++column)
            QCOMPARE(QString::fromStdString(AnalogDetailText(EncodeAnalogChannelWord(s), column)), columns[column]);
    }

    void reductionsKeepThePageOnTheSheet_data()
    {
        QTest::addColumn<PrintDeviceFacts>("paper");
        QTest::addColumn<QSize>("viewport");
        QTest::newRow("A4: no reduction") << A4 << QSize(9917, 14033);
        QTest::newRow("narrow: by width") << PrintDeviceFacts{true, 1500, 2900, 7559, 14033} << QSize(5669, 10524);
        QTest::newRow("short: by height") << PrintDeviceFacts{true, 2030, 2600, 9917, 12598} << QSize(9208, 11698);
        // After the width reduction the 200 mm of printable height hold 2000 x 2000 / 1500 = 2666
        // units, short of 2800: the height takes the page further down, to fill the sheet's height.
        QTest::newRow("narrow and short: by both") << PrintDeviceFacts{true, 1500, 2000, 7559, 9921} << QSize(5397, 7083);
    }
    void reductionsKeepThePageOnTheSheet()
    {
        QFETCH(PrintDeviceFacts, paper);
        QFETCH(QSize, viewport);
        const PageMapping m = ComputePageMapping(paper);
        QCOMPARE(QSize(m.viewportWidth, m.viewportHeight), viewport);
        QCOMPARE(QRect(m.windowX, m.windowY, m.windowWidth, m.windowHeight), QRect(-150, -100, paper.widthTenths, paper.heightTenths));
        // The far corner of the 2000 x 2800 page lands on the sheet.
        QVERIFY(qint64(DOCUMENT_PAGE_WIDTH) * m.viewportWidth <= qint64(paper.physicalWidth) * m.windowWidth);
        QVERIFY(qint64(DOCUMENT_PAGE_HEIGHT) * m.viewportHeight <= qint64(paper.physicalHeight) * m.windowHeight);
    }

    void refusals_data()
    {
        QTest::addColumn<PrintDeviceFacts>("device");
        QTest::addColumn<int>("text");
        QTest::newRow("smallest readable paper") << PrintDeviceFacts{true, 100, 150, 500, 750} << 0;
        QTest::newRow("device that cannot print") << PrintDeviceFacts{false, 2030, 2900, 9917, 14033} << 396;
        QTest::newRow("device without a sheet") << PrintDeviceFacts{true, 2030, 2900, 0, 0} << 396;
        QTest::newRow("too narrow") << PrintDeviceFacts{true, 90, 150, 500, 750} << 397;
        QTest::newRow("too short") << PrintDeviceFacts{true, 100, 140, 500, 750} << 397;
    }
    void refusals()
    {
        QFETCH(PrintDeviceFacts, device);
        QFETCH(int, text);
        QCOMPARE(DocumentRefusal(device), text);
    }

    void printerRefusesWhatItCannotPrint()
    {
        TempDir dir;
        QPrinter tiny(QPrinter::HighResolution);
        tiny.setOutputFileName(QString::fromStdString(dir.file("tiny.pdf")));
        tiny.setPageLayout(QPageLayout(QPageSize(QSizeF(9, 14), QPageSize::Millimeter), QPageLayout::Portrait, QMarginsF()));
        QCOMPARE(PrintConfigurationOn(tiny, Installation({})), 0);
        QVERIFY(!QFile::exists(tiny.outputFileName()));

        QPrinter absent(QPrinter::HighResolution);  // a system printer that is not there
        absent.setOutputFormat(QPrinter::NativeFormat);
        absent.setPrinterName(QStringLiteral("tarn-no-such-printer"));
        QCOMPARE(PrintConfigurationOn(absent, Installation({})), 0);
        QCOMPARE(core_->ui.texts(MessageIcon::Error),
                 (std::vector<std::string>{"Paper size too small for a readable document", "Output Device not suitable for printing"}));
    }

    void pdfThatCannotBeWrittenSaysWhy()
    {
        TempDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(QString::fromStdString(dir.file("no-folder/plant.pdf")));
        QCOMPARE(PrintConfigurationOn(printer, Installation({{1}})), 0);
        QCOMPARE(core_->ui.messages.size(), std::size_t(1));
        QCOMPARE(core_->ui.messages[0].text, std::string("Output Device not suitable for printing"));
        QCOMPARE(core_->ui.messages[0].details, std::string("No such file or directory"));
        QVERIFY(std::filesystem::is_empty(dir.path()));
    }

    void pdfCarriesTheWordsWhereTheyBelong()
    {
        TempDir dir;
        SystemConfiguration c = Installation({{1, 1}, {3}});
        SetFieldText(c.units[0].channels[0].tag, "TI-101 fire flow");
        const QString path = QString::fromStdString(dir.file("plant.pdf"));
        QVERIFY(SaveConfigurationPdf(path, c, DefaultPdfPageLayout(), DEFAULT_PDF_RESOLUTION).ok());
        const QString text = PdfText(path);
        for (const char* words : {"Configuration of KX900 Multiplexer System", "TI-101 fire flow", "Page 1 of 3", "Page 3 of 3"})
            QVERIFY2(text.contains(QLatin1String(words)), words);
        QVERIFY(!text.contains(QChar(0xFB01)) && !text.contains(QChar(0xFB02)));
        // The title's cell starts 150 units right of the printable corner, 10 pt in from the edge.
        const QString box = PdfText(path, {QStringLiteral("-bbox"), QStringLiteral("-l"), QStringLiteral("1")});
        const auto first = QRegularExpression(QStringLiteral("<word xMin=\"([0-9.]+)\"")).match(box);
        const double points = 10 + 150.0 * A4.physicalWidth / A4.widthTenths / DEFAULT_PDF_RESOLUTION * 72;
        QVERIFY2(qAbs(first.captured(1).toDouble() - points) < 0.5, qPrintable(first.captured(0)));
    }

    void italianDocument()
    {
        SetLanguage(LANGUAGE_ITALIAN);
        SystemConfiguration c = Installation({{1}, {3}});
        c.MASTER_CABLE = 2;
        const auto drawn = Draw(c);
        const RecordingDevice& d = *drawn;
        QCOMPARE(TextAt(d, 1, 0, 340), QStringLiteral("Configurazione del Sistema Multiplexer KX900"));
        QCOMPARE(TextAt(d, 1, 0, 395), QStringLiteral("Azienda:"));
        QCOMPARE(TextAt(d, 1, 500, 1945), QStringLiteral("Uso di ambedue le linee"));
        QCOMPARE(TextAt(d, 1, FOOTER_X, 2370), QStringLiteral("Pagina 1 di 3"));
        QCOMPARE(TextAt(d, 2, 0, 0), Utf8("Configurazione Unità 1"));
        QCOMPARE(TextAt(d, 3, 190, 52), QStringLiteral("Canale Off"));
    }

    void longTextsStayInTheirSpace()
    {
        SetLanguage(LANGUAGE_ITALIAN);  // "Nessuna unità" is wider than a unit box
        SystemConfiguration c = Installation({});
        SetFieldText(c.DOCUMENT, std::string(300, 'W'));
        const auto drawn = Draw(c);
        const RecordingDevice& d = *drawn;
        for (const DrawnText& t : d.texts) {
            if (t.text.startsWith(Utf8("Nessuna unit"))) QVERIFY(t.width() <= 200 - 2 * 8);
            if (t.text.startsWith('W')) {
                QVERIFY(t.text.endsWith(QChar(0x2026)));
                QVERIFY(t.at.x() + t.width() <= DOCUMENT_LAYOUT_WIDTH);
            }
        }
    }

    void helpFindsTheNearestManual_data()
    {
        QTest::addColumn<QStringList>("copies");  // where a manual lies: current, program, installed
        QTest::addColumn<QString>("opened");
        QTest::newRow("current directory first") << QStringList{"current", "program", "installed"} << "current";
        QTest::newRow("the built copy") << QStringList{"program", "installed"} << "program";
        QTest::newRow("the installed copy") << QStringList{"installed"} << "installed";
        QTest::newRow("none: the name as specified") << QStringList{} << "current";
    }
    void helpFindsTheNearestManual()
    {
        QFETCH(QStringList, copies);
        QFETCH(QString, opened);
        TempDir dir;
        const std::map<QString, std::filesystem::path> folders = {
            {"current", dir.path() / "work"}, {"program", dir.path() / "bin"}, {"installed", InstalledManualDirectory(dir.path() / "bin")}};
        for (const auto& [name, folder] : folders) std::filesystem::create_directories(folder);
        for (const QString& copy : copies) std::ofstream(folders.at(copy) / HELP_MANUAL_FILE_NAME) << "%PDF";
        QCOMPARE(HelpManualPath(folders.at("current"), folders.at("program")), folders.at(opened) / HELP_MANUAL_FILE_NAME);
    }

    void manualIsBuiltBesideThePrograms()
    {
        const QString text = PdfText(QStringLiteral(MANUAL_PDF_PATH));
        for (const char* words : {"User manual QMN5521", "Serial ports on Linux", "dialout", "Calibration of a KX913", "print FILE -o OUT.pdf"})
            QVERIFY2(text.contains(QLatin1String(words)), words);
        QVERIFY(!text.contains(QChar(0xFB01)) && !text.contains(QChar(0xFB02)));
    }

private:
    std::unique_ptr<CoreFixture> core_;
};

QTEST_MAIN(PrintDocumentTests)
#include "print_document_tests.moc"
