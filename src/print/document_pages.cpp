#include "print/document_pages.h"

#include "config/channel_word.h"
#include "text/choices.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace tarn {

namespace {

// A text too long for its space is narrowed down to this width in percent, then made smaller down
// to this share of its size, before it is cut.
constexpr int MIN_STRETCH = 70;
constexpr qreal MIN_SCALE = 0.75;
// Space kept between a field's label and its value, and between a table text and the next column.
constexpr int LABEL_GAP = 15;
constexpr int CELL_PADDING = 6;

// Columns of the analog tables: the lines between them and the text cells (left, right).
constexpr int ANALOG_COLUMN_LINES[] = {180, 450, 850, 1100, 1400};
constexpr int ANALOG_CELLS[][2] = {{60, 180}, {190, 450}, {460, 850}, {860, 1100}, {1110, 1400}, {1410, 1600}};
constexpr int DIGITAL_COLUMN_LINES[] = {180, 450, 850};
constexpr int DIGITAL_CELLS[][2] = {{60, 180}, {190, 450}, {460, 850}};
constexpr int SIDE_COLUMN = 50;
constexpr int DIGITAL_TABLE_TOP = 50;
constexpr int DIGITAL_ROWS = 32;

QString Text(int id) { return ToQString(GetText(id)); }

QString Choice(ChoiceList list, std::uint32_t index) { return ToQString(ChoiceText(list, static_cast<int>(index))); }

class PageDrawer {
public:
    PageDrawer(QPainter& painter, const SystemConfiguration& image, int pageCount)
        : p_(painter), image_(image), pageCount_(pageCount), title_(DocumentFont(TITLE_FONT_HEIGHT, true)),
          label_(DocumentFont(LABEL_FONT_HEIGHT, true)), side_(DocumentFont(SIDE_FONT_HEIGHT, true)),
          text_(DocumentFont(TEXT_FONT_HEIGHT, false)), thin_(Qt::black, THIN_PEN_WIDTH, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin),
          thick_(Qt::black, THICK_PEN_WIDTH, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin)
    {
    }

    void Page(const DocumentPage& page, int pageNumber)
    {
        p_.setPen(thin_);
        p_.setBrush(Qt::NoBrush);
        if (page.kind == DocumentPageKind::System)
            SystemPage();
        else
            UnitPage(page);
        Footer(pageNumber);
    }

private:
    void SystemPage()
    {
        p_.setFont(title_);
        TextAt(0, 340, Text(TEXT_PRINT_SYSTEM_TITLE), DOCUMENT_LAYOUT_WIDTH);
        for (const LabelledField& field : DocumentInformationFields(image_)) Field(0, field);
        Sketch();
        p_.setFont(title_);
        TextAt(0, 1900, Text(TEXT_PRINT_GATEWAY_TITLE), DOCUMENT_LAYOUT_WIDTH);
        for (const LabelledField& field : GatewayFields(image_)) Field(0, field);
    }

    // The installation as a drawing: frame, gateway, Modbus buses, field lines, units, repeaters.
    void Sketch()
    {
        p_.setFont(title_);
        TextBox(0, 800, 1600, 1850, QString());
        TextBox(100, 1500, 400, 1650, Text(TEXT_KX940));

        p_.setPen(thick_);
        HLine(30, 1570, 1750);
        HLine(30, 1570, 1800);
        HLine(30, 100, 1575);  // the serial link to the PC
        p_.setPen(thin_);
        VLine(230, 1650, 1750);
        VLine(270, 1650, 1800);

        p_.setPen(thick_);
        if (image_.MASTER_CABLE == 2) {
            VLine(230, 895, 1500);
            VLine(270, 935, 1500);
            for (int u = 0; u < UNIT_COUNT; ++u) {
                HLine(230, 500, 895 + 160 * u);
                HLine(270, 500, 935 + 160 * u);
            }
        } else {
            // One line, also for both lines in smart mode.
            VLine(250, 915, 1500);
            for (int u = 0; u < UNIT_COUNT; ++u) HLine(250, 500, 915 + 160 * u);
        }

        p_.setFont(title_);
        for (int u = 0; u < UNIT_COUNT; ++u) UnitRow(u);

        p_.setFont(label_);
        const int repeaters = static_cast<int>(std::min<std::uint32_t>(image_.MASTER_REPT, REPEATER_COUNT));
        for (int r = 0; r < repeaters; ++r) {
            const int x = 500 + 270 * r;
            p_.setPen(thick_);
            HLine(r == 0 ? 400 : x - 70, x, 1575);
            TextBox(x, 1515, x + 200, 1635, Text(TEXT_KX966_67));
        }
        p_.setPen(thin_);
    }

    void UnitRow(int u)
    {
        const UnitRecord& unit = image_.units[u];
        const int top = 855 + 160 * u;
        TextBox(500, top, 700, top + 120, Choice(ChoiceList::UnitType, unit.SLAVE_TYPE));
        if (unit.SLAVE_TYPE != UNIT_KX913) return;
        const int expansions = static_cast<int>(std::min<std::uint32_t>(unit.SLAVE_EXP, 3));
        for (int e = 1; e <= expansions; ++e) {
            const int x = 500 + 270 * e;
            p_.setPen(thick_);
            HLine(x - 70, x, top + 60);
            TextBox(x, top, x + 200, top + 120, Choice(ChoiceList::UnitType, 2));
        }
    }

    void UnitPage(const DocumentPage& page)
    {
        p_.setFont(title_);
        TextAt(0, 0, ToQString(UnitPageTitle(page.unit)), DOCUMENT_LAYOUT_WIDTH);
        if (page.kind == DocumentPageKind::AnalogUnit)
            AnalogTables(image_.units[page.unit], page.unit);
        else
            DigitalTable(image_.units[page.unit]);
    }

    void AnalogTables(const UnitRecord& unit, int u)
    {
        const int modules = 1 + static_cast<int>(std::min<std::uint32_t>(unit.SLAVE_EXP, 3));
        for (int i = 0; i < modules; ++i) {
            const int y0 = AnalogTableTop(i);
            const int rowsBottom = y0 + 16 * TABLE_ROW_HEIGHT;
            TableFrame(y0, AnalogTableBottom(i), rowsBottom, ANALOG_COLUMN_LINES);
            SideText(y0 + 400, Choice(ChoiceList::UnitType, i == 0 ? UNIT_KX913 : 2));
            p_.setFont(text_);
            RowLines(y0, 16);
            for (int k = 0; k < 16; ++k) {
                const int c = 16 * i + k;
                const std::uint32_t word = unit.channels[c].word;
                const QString cells[] = {
                    ToQString(AnalogChannelLabel(u, c)),
                    ToQString(std::string(FieldText(unit.channels[c].tag))),
                    Choice(ChoiceList::ChannelType, word & 0x3F),
                    ToQString(AnalogDetailText(word, 0)),
                    ToQString(AnalogDetailText(word, 1)),
                    ToQString(AnalogDetailText(word, 2)),
                };
                Row(y0, k, ANALOG_CELLS, cells);
            }
            if (i == 0)
                CellText(60, rowsBottom + 2, DOCUMENT_LAYOUT_WIDTH, rowsBottom + 36,
                         ToQString(ColdJunctionRowText(unit.SLAVE_CJC)));
        }
    }

    void DigitalTable(const UnitRecord& unit)
    {
        const int bottom = DIGITAL_TABLE_TOP + DIGITAL_ROWS * TABLE_ROW_HEIGHT;
        TableFrame(DIGITAL_TABLE_TOP, bottom, bottom, DIGITAL_COLUMN_LINES);
        // The digital unit's name whatever the unit's type.
        SideText(450, Choice(ChoiceList::UnitType, UNIT_KX927));
        p_.setFont(text_);
        RowLines(DIGITAL_TABLE_TOP, DIGITAL_ROWS);
        for (int k = 0; k < DIGITAL_ROWS; ++k) {
            const DigitalChannelSettings s = DecodeDigitalChannelWord(unit.channels[k].word);
            const QString cells[] = {
                ToQString(DigitalChannelLabel(k)),
                Choice(ChoiceList::DigitalMode, s.mode),
                Choice(ChoiceList::ScanTime, s.scan_time),
            };
            Row(DIGITAL_TABLE_TOP, k, DIGITAL_CELLS, cells);
        }
    }

    // Thick frame and side column over the whole table, thin column lines over the channel rows.
    template <std::size_t N>
    void TableFrame(int top, int bottom, int rowsBottom, const int (&columnLines)[N])
    {
        p_.setPen(thick_);
        p_.setBrush(Qt::white);
        p_.drawRect(QRectF(0, top, DOCUMENT_LAYOUT_WIDTH, bottom - top));
        p_.setBrush(Qt::NoBrush);
        VLine(SIDE_COLUMN, top, bottom);
        p_.setPen(thin_);
        for (int x : columnLines) VLine(x, top, rowsBottom);
    }

    void RowLines(int top, int rows)
    {
        p_.setPen(thin_);
        for (int k = 1; k <= rows; ++k) HLine(SIDE_COLUMN, DOCUMENT_LAYOUT_WIDTH, top + TABLE_ROW_HEIGHT * k);
    }

    template <std::size_t N>
    void Row(int top, int k, const int (&cells)[N][2], const QString (&texts)[N])
    {
        const int y = top + TABLE_ROW_HEIGHT * k;
        for (std::size_t i = 0; i < N; ++i)
            CellText(cells[i][0], y + 2, cells[i][1], y + 36, texts[i]);
    }

    // The module's name written upward in the side column, starting at y.
    void SideText(int y, const QString& text)
    {
        p_.save();
        p_.setFont(side_);
        p_.translate(5, y);
        p_.rotate(-90);
        Fitted(QRectF(0, 0, 600, SIDE_FONT_HEIGHT), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
        p_.restore();
    }

    void Field(int x, const LabelledField& field)
    {
        p_.setFont(label_);
        TextAt(x, field.y, ToQString(field.label), FIELD_VALUE_OFFSET - LABEL_GAP);
        p_.setFont(text_);
        TextAt(x + FIELD_VALUE_OFFSET, field.y, ToQString(field.value), DOCUMENT_LAYOUT_WIDTH - x - FIELD_VALUE_OFFSET);
    }

    void Footer(int pageNumber)
    {
        p_.setFont(text_);
        p_.setPen(thin_);
        TextAt(FOOTER_X, FooterY(pageNumber), ToQString(PageFooterText(pageNumber, pageCount_)),
               DOCUMENT_PAGE_RIGHT - FOOTER_X);
    }

    // A frame with a white inside and the text centred on one line, in the current font.
    void TextBox(int left, int top, int right, int bottom, const QString& text)
    {
        p_.save();
        p_.setPen(thick_);
        p_.setBrush(Qt::white);
        p_.drawRect(QRectF(left, top, right - left, bottom - top));
        p_.setPen(thin_);
        const int inset = THICK_PEN_WIDTH + 4;
        Fitted(QRectF(left + inset, top, right - left - 2 * inset, bottom - top), Qt::AlignCenter, text);
        p_.restore();
    }

    // Text whose cell has its top left corner at (x, y), in at most width units.
    void TextAt(int x, int y, const QString& text, int width)
    {
        const qreal height = QFontMetricsF(p_.font(), p_.device()).height();
        Fitted(QRectF(x, y, width, height), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
    }

    // Table text from the cell's top left corner, kept inside the cell.
    void CellText(int left, int top, int right, int bottom, const QString& text)
    {
        Fitted(QRectF(left, top, right - left - CELL_PADDING, bottom - top), Qt::AlignLeft | Qt::AlignTop, text);
    }

    // Draws text in space with flags. A text too wide for its space, which a substitute font may
    // make of a text that fits in the original one, is narrowed, then made smaller, and only past
    // both limits cut with an ellipsis: it never runs into the next column, field or box edge.
    void Fitted(const QRectF& space, int flags, const QString& text)
    {
        if (text.isEmpty()) return;
        const QFont previous = p_.font();
        QFont font = previous;
        auto width = [&] { return QFontMetricsF(font, p_.device()).horizontalAdvance(text); };
        qreal natural = width();
        if (natural > space.width()) {
            font.setStretch(std::max(MIN_STRETCH, static_cast<int>(100 * space.width() / natural)));
            natural = width();
        }
        if (natural > space.width()) {
            const qreal scale = std::max(MIN_SCALE, space.width() / natural);
            font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * scale)));
            natural = width();
        }
        const QString shown = natural <= space.width()
                                  ? text
                                  : QFontMetricsF(font, p_.device()).elidedText(text, Qt::ElideRight, space.width());
        p_.setFont(font);
        p_.drawText(space, flags | Qt::TextSingleLine, shown);
        p_.setFont(previous);
    }

    void HLine(int x1, int x2, int y) { p_.drawLine(QLine(x1, y, x2, y)); }
    void VLine(int x, int y1, int y2) { p_.drawLine(QLine(x, y1, x, y2)); }

    QPainter& p_;
    const SystemConfiguration& image_;
    const int pageCount_;
    const QFont title_, label_, side_, text_;
    const QPen thin_, thick_;
};

} // namespace

QString ToQString(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }

QFont DocumentFont(int cellHeight, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")});
    font.setStyleHint(QFont::SansSerif, QFont::PreferNoShaping);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setPixelSize(cellHeight);
    // The size asked of a font is its em; the layout gives the height of the whole cell.
    const qreal cell = QFontMetricsF(font).height();
    if (cell > 0) font.setPixelSize(std::max(1, qRound(cellHeight * cellHeight / cell)));
    return font;
}

PrintDeviceFacts PagedDeviceFacts(const QPagedPaintDevice& device)
{
    PrintDeviceFacts facts;
    facts.widthTenths = device.widthMM() * 10;
    facts.heightTenths = device.heightMM() * 10;
    const QRect sheet = device.pageLayout().fullRectPixels(device.logicalDpiX());
    facts.physicalWidth = sheet.width();
    facts.physicalHeight = sheet.height();
    return facts;
}

bool DrawConfigurationDocument(QPainter& painter, const SystemConfiguration& image, const PageMapping& mapping,
                               const NextPage& nextPage)
{
    const std::vector<DocumentPage> pages = DocumentPages(image);
    PageDrawer drawer(painter, image, static_cast<int>(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !nextPage()) return false;
        painter.setWindow(mapping.windowX, mapping.windowY, mapping.windowWidth, mapping.windowHeight);
        painter.setViewport(0, 0, mapping.viewportWidth, mapping.viewportHeight);
        drawer.Page(pages[i], static_cast<int>(i) + 1);
    }
    return true;
}

} // namespace tarn
