#include "print/commissioning_pdf.h"

#include "print/document_pages.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

#include <initializer_list>
#include <utility>

namespace tarn {

namespace {

// Logical units as in the configuration document (0.1 mm): rows of text, and the lowest row top
// before the footer.
constexpr int ROW_HEIGHT = 44;
constexpr int PAGE_BOTTOM = 2480;
constexpr int FOOTER_Y = 2570;
constexpr int CELL_GAP = 15;

QString T(int id) { return ToQString(GetText(id)); }

// A column: its left edge and its text.
using Cell = std::pair<int, QString>;

class ReportPages {
public:
    ReportPages(QPainter& painter, QPdfWriter& writer, const PageMapping& mapping, QString footer)
        : p_(painter), writer_(writer), mapping_(mapping), footer_(std::move(footer)),
          title_(DocumentFont(TITLE_FONT_HEIGHT, true)), bold_(DocumentFont(TEXT_FONT_HEIGHT, true)),
          text_(DocumentFont(TEXT_FONT_HEIGHT, false))
    {
    }

    // The painter stands on a fresh page: set it up for this page's drawing.
    void Begin()
    {
        p_.setWindow(mapping_.windowX, mapping_.windowY, mapping_.windowWidth, mapping_.windowHeight);
        p_.setViewport(0, 0, mapping_.viewportWidth, mapping_.viewportHeight);
        p_.setPen(QPen(Qt::black, THIN_PEN_WIDTH));
        y_ = 0;
        p_.setFont(text_);
        Draw(0, FOOTER_Y, DOCUMENT_LAYOUT_WIDTH, footer_);
    }
    bool NewPage()
    {
        if (!writer_.newPage()) return ok_ = false;
        Begin();
        return true;
    }

    void Title(const QString& text)
    {
        Room(3 * ROW_HEIGHT);
        p_.setFont(title_);
        Draw(0, y_, DOCUMENT_LAYOUT_WIDTH, text);
        y_ += 2 * ROW_HEIGHT;
    }
    // A row of cells; each cell runs to the next one's left edge (the last to the layout's edge).
    void Row(std::initializer_list<Cell> cells, bool bold = false)
    {
        Room(ROW_HEIGHT);
        p_.setFont(bold ? bold_ : text_);
        for (auto it = cells.begin(); it != cells.end(); ++it) {
            const int right = std::next(it) == cells.end() ? DOCUMENT_LAYOUT_WIDTH : std::next(it)->first;
            Draw(it->first, y_, right - it->first - CELL_GAP, it->second);
        }
        y_ += ROW_HEIGHT;
        if (bold) p_.drawLine(0, y_ - 4, DOCUMENT_LAYOUT_WIDTH, y_ - 4);
    }
    void Skip(int rows) { y_ += rows * ROW_HEIGHT; }
    // A line to write on after label, at the row's foot.
    void WritingLine(int x, const QString& label, int lineStart, int lineEnd)
    {
        Room(2 * ROW_HEIGHT);
        p_.setFont(text_);
        Draw(x, y_ + ROW_HEIGHT, lineStart - x - CELL_GAP, label);
        p_.drawLine(lineStart, y_ + 2 * ROW_HEIGHT - 6, lineEnd, y_ + 2 * ROW_HEIGHT - 6);
        y_ += 2 * ROW_HEIGHT;
    }

    bool ok() const { return ok_; }

private:
    void Room(int height)
    {
        if (y_ + height > PAGE_BOTTOM) NewPage();
    }
    void Draw(int x, int y, int width, const QString& text)
    {
        const QString shown = QFontMetricsF(p_.font(), p_.device()).elidedText(text, Qt::ElideRight, width);
        p_.drawText(QRect(x, y, width, ROW_HEIGHT), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }

    QPainter& p_;
    QPdfWriter& writer_;
    const PageMapping mapping_;
    const QString footer_;
    const QFont title_, bold_, text_;
    int y_ = 0;
    bool ok_ = true;
};

void CoverPage(ReportPages& pages, const SystemConfiguration& image, const CommissioningCover& cover)
{
    pages.Skip(2);
    pages.Title(T(TEXT_REPORT_TITLE));
    constexpr int VALUE = 500;
    const std::pair<int, std::string> fields[] = {
        {TEXT_REPORT_INSTALLATION, std::string(FieldText(image.MASTER_TAG))},
        {TEXT_REPORT_DATE, cover.when},
        {TEXT_REPORT_VERSION, TARN_VERSION},
        {TEXT_REPORT_SERIAL_PORT, cover.serialPort},
        {TEXT_REPORT_MODBUS_PORT, cover.modbusPort.empty() ? GetText(TEXT_REPORT_NO_PORT) : cover.modbusPort},
    };
    for (const auto& [label, value] : fields) pages.Row({{0, T(label)}, {VALUE, ToQString(value)}});
    pages.Skip(6);
    for (int who : {TEXT_REPORT_ENGINEER, TEXT_REPORT_CUSTOMER}) {
        pages.Row({{0, T(who)}}, true);
        pages.WritingLine(0, T(TEXT_REPORT_NAME), 300, 1200);
        pages.WritingLine(0, T(TEXT_REPORT_SIGNATURE), 300, 1200);
        pages.Skip(2);
    }
}

void ComparisonPages(ReportPages& pages, const CommissioningData& data)
{
    pages.Title(T(TEXT_REPORT_COMPARISON_TITLE));
    pages.Row({{0, T(TEXT_REPORT_DIFFERENCES)}, {500, QString::number(data.differences.size())}}, true);
    if (data.differences.empty()) {
        pages.Row({{0, T(TEXT_REPORT_NO_DIFFERENCES)}});
    } else {
        pages.Skip(1);
        pages.Row({{0, QString()}, {250, T(TEXT_REPORT_ITEM)}, {800, T(TEXT_REPORT_FILE_VALUE)}, {1200, T(TEXT_REPORT_GATEWAY_VALUE)}},
                  true);
        for (const ComparedItem& item : data.differences)
            pages.Row({{0, ToQString(item.section)}, {250, ToQString(item.label)}, {800, ToQString(item.fileValue)}, {1200, ToQString(item.gatewayValue)}});
    }
    pages.Skip(1);
    pages.Row({{0, T(TEXT_REPORT_EQUAL_ITEMS)}, {500, QString::number(data.equalItems)}}, true);
}

void StatusPage(ReportPages& pages, const CommissioningData& data)
{
    pages.Title(T(TEXT_REPORT_STATUS_TITLE));
    pages.Row({{0, T(TEXT_REPORT_POSITION)}, {200, T(TEXT_REPORT_UNIT_FOUND)}, {800, T(TEXT_REPORT_QUALITY_LINE_1)},
               {1200, T(TEXT_REPORT_QUALITY_LINE_2)}},
              true);
    for (int p = 0; p < 4; ++p) {
        const PositionReading& r = data.positions[p];
        if (r.unitFound.empty())
            pages.Row({{0, QString::number(p + 1)}, {200, T(TEXT_REPORT_NO_UNIT)}});
        else
            pages.Row({{0, QString::number(p + 1)}, {200, ToQString(r.unitFound)}, {800, ToQString(r.line1)}, {1200, ToQString(r.line2)}});
    }
}

void LivePages(ReportPages& pages, const CommissioningData& data)
{
    pages.Title(T(TEXT_REPORT_LIVE_TITLE));
    if (data.live.empty()) {
        pages.Row({{0, T(TEXT_REPORT_NO_LIVE_VALUES)}});
        return;
    }
    pages.Row({{0, T(TEXT_REPORT_UNIT_CHANNEL)}, {250, T(TEXT_TAG)}, {650, T(TEXT_REPORT_VALUE)}, {950, T(TEXT_REPORT_MEASURE)},
               {1300, T(TEXT_REPORT_STATE)}},
              true);
    for (const LiveReading& r : data.live)
        pages.Row({{0, QStringLiteral("%1-%2").arg(r.unit).arg(r.channel, 2, 10, QLatin1Char('0'))}, {250, ToQString(r.tag)},
                   {650, ToQString(r.value)}, {950, ToQString(r.measure)}, {1300, ToQString(r.state)}});
}

DocumentOutcome Draw(QPdfWriter& writer, const SystemConfiguration& image, const CommissioningCover& cover,
                     const CommissioningData& data)
{
    QPainter painter;
    if (!painter.begin(&writer)) return {TEXT_DEVICE_NOT_SUITABLE, {}};
    const PageMapping mapping = ComputePageMapping(PagedDeviceFacts(writer));
    ReportPages pages(painter, writer, mapping, T(TEXT_REPORT_TITLE) + QStringLiteral(" - ") + ToQString(std::string(FieldText(image.MASTER_TAG))));
    pages.Begin();
    CoverPage(pages, image, cover);
    bool drawn = writer.newPage() && DrawConfigurationDocument(painter, image, mapping, [&writer] { return writer.newPage(); });
    if (drawn && pages.NewPage()) {
        ComparisonPages(pages, data);
        pages.Skip(2);
        StatusPage(pages, data);
        if (data.withModbus && pages.NewPage()) LivePages(pages, data);
    }
    drawn = drawn && pages.ok();
    const bool ended = painter.end();
    if (!drawn || !ended) return {TEXT_DEVICE_NOT_SUITABLE, {}};
    return {};
}

} // namespace

DocumentOutcome RenderCommissioningPdf(QByteArray& pdf, const SystemConfiguration& image, const CommissioningCover& cover,
                                       const CommissioningData& data, const QPageLayout& layout, int resolution)
{
    pdf.clear();
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    SetUpPdfWriter(writer, layout, resolution, TEXT_REPORT_TITLE);
    if (const int refusal = DocumentRefusal(PagedDeviceFacts(writer))) return {refusal, {}};
    return Draw(writer, image, cover, data);
}

DocumentOutcome SaveCommissioningPdf(const QString& path, const SystemConfiguration& image, const CommissioningCover& cover,
                                     const CommissioningData& data, const QPageLayout& layout, int resolution)
{
    QByteArray pdf;
    if (DocumentOutcome outcome = RenderCommissioningPdf(pdf, image, cover, data, layout, resolution); !outcome.ok())
        return outcome;
    return SavePdf(path, pdf);
}

} // namespace tarn
