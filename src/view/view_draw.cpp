#include "view/view_draw.h"

#include "config/app_state.h"
#include "diag/cell_text.h"
#include "text/choices.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <QTextLayout>
#include <QtMath>

#include <algorithm>
#include <cstdio>

namespace tarn {

namespace {

const QColor BLACK(0, 0, 0);
const QColor WHITE_COLOUR(255, 255, 255);
const QColor RED(255, 0, 0);
const QColor YELLOW(255, 255, 0);
const QColor GREY(224, 224, 224);
const QColor PALE_YELLOW(255, 255, 200);
const QColor STALE_TEXT(128, 128, 128);  // a value whose latest read failed

struct BevelColours {
    QColor brush, light, dark;
};
const BevelColours RAISED{QColor(210, 210, 210), QColor(235, 235, 235), QColor(155, 155, 155)};
const BevelColours SUNKEN{QColor(200, 200, 200), QColor(245, 245, 245), QColor(125, 125, 125)};

const Rgb SERIAL_CABLE_COLOUR{130, 200, 130};
const Rgb MODBUS_PRIMARY_COLOUR{220, 180, 0};
const Rgb MODBUS_SECONDARY_COLOUR{180, 180, 100};
const Rgb FIELD_PRIMARY_COLOUR{140, 140, 200};
const Rgb FIELD_REDUNDANT_COLOUR{200, 140, 140};
const Rgb EXPANDER_CABLE_COLOUR{50, 160, 50};
const Rgb REPEATER_CABLE_COLOUR{50, 150, 150};

// A text wider than its rectangle is first narrowed, down to this share of its width, to keep
// this many pixels free at either side; what is still too wide is clipped.
constexpr int MIN_STRETCH_PERCENT = 65;
constexpr int FIT_MARGIN = 2;

// The faces the program was drawn with come first; the others have about their metrics.
const QStringList& SansSerifFamilies()
{
    static const QStringList families{"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans",
                                      "Arimo", "Nimbus Sans", "Helvetica", "DejaVu Sans"};
    return families;
}

const QStringList& ArialFamilies()
{
    static const QStringList families{"Arial", "Liberation Sans", "Arimo", "Nimbus Sans", "Helvetica", "DejaVu Sans"};
    return families;
}

// A font whose line height (ascent plus descent) is height pixels.
QFont MakeFont(const QStringList& families, int height, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setPixelSize(std::max(1, height));
    const int lineHeight = QFontMetrics(font).height();
    if (lineHeight > height && lineHeight > 0)
        font.setPixelSize(std::max(1, (height * height + lineHeight / 2) / lineHeight));
    return font;
}

QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
// The area inside a filled frame's 1-pixel border: a text fitted there never touches the border.
QRect InsideFrame(const Rect& r) { return ToQRect(r).adjusted(1, 1, -1, -1); }

// One line of text in rect, centred or right-aligned, vertically centred; narrowed when it
// does not fit, and clipped to rect when it does not fit even so. Laid out once, so that
// measuring and drawing share the shaping, which is most of a panel paint's time.
void DrawFittedText(QPainter& painter, const QFont& font, const QRect& rect, Qt::Alignment alignment,
                    const QString& text)
{
    if (text.isEmpty() || rect.width() <= 0 || rect.height() <= 0) return;
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    int width = qCeil(line.naturalTextWidth());
    if (width > rect.width()) {
        const int room = std::max(1, rect.width() - 2 * FIT_MARGIN);
        QFont narrow(font);
        narrow.setStretch(std::max(MIN_STRETCH_PERCENT, room * 100 / width));
        layout.setFont(narrow);
        layout.beginLayout();
        line = layout.createLine();
        layout.endLayout();
        width = qCeil(line.naturalTextWidth());
    }
    const int x = alignment & Qt::AlignRight ? rect.left() + rect.width() - width
                                             : rect.left() + (rect.width() - width) / 2;
    const int y = rect.top() + (rect.height() - qRound(line.height())) / 2;
    if (width > rect.width()) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        layout.draw(&painter, QPoint(x, y));
        painter.restore();
    } else {
        layout.draw(&painter, QPoint(x, y));
    }
}

std::string UnitLabel(int unit)
{
    return GetText(TEXT_UNIT) + " " + std::to_string(unit + 1) + " - " + GetText(TEXT_ADDRESS) + " " + std::to_string(unit);
}

void DrawModuleBox(QPainter& p, const ViewResources& res, const ViewLayout& layout, HitRegionTable& regions,
                   int row, int module, const std::string& typeName, const std::string& unitLabel,
                   const std::string& channelText)
{
    const Rect box = ModuleBoxRect(layout, row, module);
    DrawBevelBox(p, box, BEVEL_RAISED | 3);
    regions.Register(box, ModuleElementId(row, module));
    if (module > 0)
        DrawHorizontalCable(p, regions, box.left - layout.columnGap, box.left, box.top + layout.rowHeight / 2,
                            layout.thin, EXPANDER_CABLE_COLOUR, 0, ELEMENT_EXPANDER_CABLE);
    const int left = box.left + 2;
    const int bottom = box.bottom - 2;
    const int mid = (box.top + bottom) / 2;
    const int quarter = (mid + bottom) / 2;
    DrawBoxText(p, res.boxTitle, {left, box.top, box.right, mid}, typeName);
    if (module == 0) DrawBoxText(p, res.boxText, {left, mid, box.right, quarter}, unitLabel);
    DrawBoxText(p, res.boxText, {left, quarter, box.right, bottom}, channelText);
}

std::string ChannelRangeText(int first, int last)
{
    return GetText(TEXT_CHANNELS) + " " + std::to_string(first) + " - " + std::to_string(last);
}

void DrawUnit(QPainter& p, const ViewResources& res, const ViewLayout& layout, HitRegionTable& regions,
              const UnitRecord& unit, int n)
{
    const std::string label = UnitLabel(n);
    switch (unit.SLAVE_TYPE) {
    case UNIT_NONE:
        DrawModuleBox(p, res, layout, regions, n, 0, ChoiceText(ChoiceList::UnitType, 0), label, "");
        break;
    case UNIT_KX913:
        DrawModuleBox(p, res, layout, regions, n, 0, ChoiceText(ChoiceList::UnitType, 1), label,
                      ChannelRangeText(1, 16));
        for (int e = 0; e < static_cast<int>(unit.SLAVE_EXP & 3); ++e)
            DrawModuleBox(p, res, layout, regions, n, e + 1, ChoiceText(ChoiceList::UnitType, 2), label,
                          ChannelRangeText(16 * e + 17, 16 * e + 32));
        break;
    case UNIT_KX927:
        DrawModuleBox(p, res, layout, regions, n, 0, ChoiceText(ChoiceList::UnitType, 3), label,
                      ChannelRangeText(1, 32));
        break;
    default:  // a KX914 cannot stand as a unit of its own: nothing to draw
        break;
    }
}

void DrawModbusCable(QPainter& p, const ViewResources& res, const ViewLayout& layout, HitRegionTable& regions,
                     int x, int y, Rgb colour, int element, const std::string& text)
{
    DrawHorizontalCable(p, regions, 0, layout.W, y, layout.thick, colour, 0, element);
    DrawVerticalCable(p, regions, x, GatewayBoxRect(layout).bottom, y, layout.thin, colour, CABLE_BEVEL_END,
                      element);
    DrawCableLabel(p, res, 0, layout.W, y, text);
}

void DrawFieldCable(QPainter& p, const ViewResources& res, const ViewLayout& layout, HitRegionTable& regions,
                    int x, int shift, Rgb colour, int element, const std::string& text)
{
    const int top = layout.firstRow + layout.rowHeight / 2 + shift - layout.thin / 2 - 3;
    DrawVerticalCable(p, regions, x, top, layout.gatewayTop, layout.thick, colour, 0, element);
    for (int k = 0; k < UNIT_COUNT; ++k)
        DrawHorizontalCable(p, regions, x, layout.firstColumn, layout.RowTop(k) + layout.rowHeight / 2 + shift,
                            layout.thin, colour, CABLE_BEVEL_START, element);
    DrawVerticalCableLabel(p, res, x, 0, layout.gatewayTop, text);
}

void DrawRepeaters(QPainter& p, const ViewResources& res, const ViewLayout& layout, HitRegionTable& regions,
                   const SystemConfiguration& image)
{
    const int count = std::min<int>(static_cast<int>(image.MASTER_REPT), REPEATER_COUNT);
    for (int r = 0; r < count; ++r) {
        const std::uint32_t assigned = image.MASTER_REPT_MAT[r];
        const bool valid = assigned < UNIT_COUNT && image.units[assigned].SLAVE_TYPE == UNIT_KX927;
        const std::string label = valid ? GetText(TEXT_ASSIGNED_TO_UNIT) + " " + std::to_string(assigned + 1) : GetText(TEXT_INVALID_ASSIGNMENT);
        const Rect box = RepeaterBoxRect(layout, r);
        DrawBevelBox(p, box, BEVEL_RAISED | 3);
        regions.Register(box, ELEMENT_REPEATER_BASE + r);
        const int mid = (box.top + box.bottom) / 2;
        DrawBoxText(p, res.boxTitle, {box.left, box.top, box.right, mid}, GetText(TEXT_KX966_67));
        DrawBoxText(p, res.boxText, {box.left, mid, box.right, box.bottom}, label);
        const int from = r == 0 ? GatewayBoxRect(layout).right : box.left - layout.columnGap;
        DrawHorizontalCable(p, regions, from, box.left, layout.CentreY(), layout.thin, REPEATER_CABLE_COLOUR, 0,
                            ELEMENT_REPEATER_CABLE);
    }
}

// The value band's frame, red for the item being polled.
void DrawValueBand(QPainter& p, const Rect& band, int flag)
{
    FillFrame(p, band, BLACK, flag == 2 ? RED : WHITE_COLOUR);
}

bool ValidCell(int unit, int channel)
{
    return unit >= 0 && unit < UNIT_COUNT && channel >= 0 && channel < CHANNEL_COUNT;
}

} // namespace

ViewResources CreateViewResources(int cellFontHeight)
{
    const int cell = std::max(1, cellFontHeight);
    ViewResources res;
    res.boxTitle = MakeFont(SansSerifFamilies(), 24, true);
    res.boxText = MakeFont(SansSerifFamilies(), 15, true);
    res.status = MakeFont(SansSerifFamilies(), 14, true);
    res.cableLabel = MakeFont(SansSerifFamilies(), 12, true);
    res.verticalLabel = MakeFont(ArialFamilies(), 12, true);
    res.panelTitle = MakeFont(SansSerifFamilies(), 16, true);
    res.cellTag = MakeFont(ArialFamilies(), cell, false);
    res.cellValue = MakeFont(ArialFamilies(), cell, false);
    res.state = MakeFont(SansSerifFamilies(), 14, true);
    return res;
}

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QString FromCp1252(const std::string& text)
{
    return QString::fromUtf8(Cp1252ToUtf8(text));
}

void FillFrame(QPainter& p, const Rect& r, QColor pen, QColor brush)
{
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    if (w > 2 && h > 2) p.fillRect(r.left + 1, r.top + 1, w - 2, h - 2, brush);
    p.fillRect(r.left, r.top, w, 1, pen);
    p.fillRect(r.left, r.bottom - 1, w, 1, pen);
    p.fillRect(r.left, r.top, 1, h, pen);
    p.fillRect(r.right - 1, r.top, 1, h, pen);
}

void DrawBevelBox(QPainter& p, const Rect& rect, int style)
{
    const BevelColours& c = style & BEVEL_RAISED ? RAISED : SUNKEN;
    Rect r = rect;
    if (r.right <= r.left || r.bottom <= r.top) return;
    FillFrame(p, r, c.light, c.brush);
    // Each ring: first pen up the left edge and along the top, second pen down the right edge
    // and back along the bottom; the right and bottom edges are painted at right and bottom.
    const QColor& first = style & BEVEL_RAISED ? c.light : c.dark;
    const QColor& second = style & BEVEL_RAISED ? c.dark : c.light;
    for (int i = 0; i < (style & 0x0F) && r.right > r.left && r.bottom > r.top; ++i) {
        p.fillRect(r.left, r.top + 1, 1, r.bottom - r.top, first);
        p.fillRect(r.left, r.top, r.right - r.left, 1, first);
        p.fillRect(r.right, r.top, 1, r.bottom - r.top, second);
        p.fillRect(r.left + 1, r.bottom, r.right - r.left, 1, second);
        ++r.left, ++r.top, --r.right, --r.bottom;
    }
}

void DrawHorizontalCable(QPainter& p, HitRegionTable& regions, int x1, int x2, int y, int thickness, Rgb colour,
                         int endStyle, int element)
{
    for (const CableLine& line : CableLines(x1, x2, thickness, colour, endStyle))
        p.fillRect(line.from, y + line.offset, line.to - line.from + 1, 1, ToQColor(line.colour));
    regions.Register(HorizontalCableRegion(x1, x2, y, thickness), element);
}

void DrawVerticalCable(QPainter& p, HitRegionTable& regions, int x, int y1, int y2, int thickness, Rgb colour,
                       int endStyle, int element)
{
    for (const CableLine& line : CableLines(y1, y2, thickness, colour, endStyle))
        p.fillRect(x + line.offset, line.from, 1, line.to - line.from + 1, ToQColor(line.colour));
    regions.Register(VerticalCableRegion(x, y1, y2, thickness), element);
}

void DrawCableLabel(QPainter& p, const ViewResources& res, int x1, int x2, int y, const std::string& text)
{
    if (text.empty()) return;
    const QString label = FromCp1252(text);
    const QFontMetrics metrics(res.cableLabel);
    p.setFont(res.cableLabel);
    p.setPen(BLACK);
    p.drawText(QPoint((x1 + x2) / 2 - metrics.horizontalAdvance(label) / 2, y - 6 + metrics.ascent()), label);
}

void DrawVerticalCableLabel(QPainter& p, const ViewResources& res, int x, int y1, int y2, const std::string& text)
{
    if (text.empty()) return;
    const QString label = FromCp1252(text);
    const QFontMetrics metrics(res.verticalLabel);
    p.save();
    p.translate(x - 6, (y1 + y2) / 2);
    p.rotate(-90);  // reads upwards; the text's top edge faces left
    p.setFont(res.verticalLabel);
    p.setPen(BLACK);
    p.drawText(QPoint(-metrics.horizontalAdvance(label) / 2, metrics.ascent()), label);
    p.restore();
}

void DrawBoxText(QPainter& p, const QFont& font, const Rect& rect, const std::string& text)
{
    p.setPen(BLACK);
    DrawFittedText(p, font, ToQRect(rect), Qt::AlignCenter, FromCp1252(text));
}

void DrawSystemDiagram(QPainter& p, const ViewResources& res, const ViewLayout& layout,
                       const SystemConfiguration& image, HitRegionTable& regions)
{
    regions.Clear();
    DrawStatusMessage(p, res, layout.clientWidth, layout.clientHeight, "");

    const Rect gateway = GatewayBoxRect(layout);
    regions.Register(gateway, ELEMENT_GATEWAY);
    DrawBevelBox(p, gateway, BEVEL_RAISED | 3);
    const int mid = (gateway.top + gateway.bottom) / 2;
    DrawBoxText(p, res.boxTitle, {gateway.left, gateway.top, gateway.right, mid}, GetText(TEXT_KX940));
    DrawBoxText(p, res.boxText, {gateway.left, mid, gateway.right, (mid + gateway.bottom) / 2}, GetText(TEXT_GATEWAY));

    const int cx = layout.CentreX();
    const int cy = layout.CentreY();
    DrawHorizontalCable(p, regions, 0, gateway.left, cy, layout.thick, SERIAL_CABLE_COLOUR, 0, ELEMENT_SERIAL_CABLE);
    DrawCableLabel(p, res, 0, gateway.left, cy, GetText(TEXT_RS232));

    const int half = layout.lineOffset / 2;
    DrawModbusCable(p, res, layout, regions, cx - half, layout.modbusLine - half, MODBUS_PRIMARY_COLOUR,
                    ELEMENT_MODBUS_PRIMARY, GetText(TEXT_MODBUS_PRIMARY_CONNECTION));
    DrawModbusCable(p, res, layout, regions, cx + half, layout.modbusLine + half, MODBUS_SECONDARY_COLOUR,
                    ELEMENT_MODBUS_SECONDARY, GetText(TEXT_MODBUS_REDUNDANT_CONNECTION));

    switch (image.MASTER_CABLE) {
    case 0:
        DrawFieldCable(p, res, layout, regions, cx, 0, FIELD_PRIMARY_COLOUR, ELEMENT_FIELD_PRIMARY, GetText(TEXT_FIELD_PRIMARY_CONNECTION));
        break;
    case 1:
        DrawFieldCable(p, res, layout, regions, cx, 0, FIELD_REDUNDANT_COLOUR, ELEMENT_FIELD_REDUNDANT,
                       GetText(TEXT_FIELD_REDUNDANT_CONNECTION));
        break;
    case 2:
    case 3:
        DrawFieldCable(p, res, layout, regions, cx - half, -half, FIELD_PRIMARY_COLOUR, ELEMENT_FIELD_PRIMARY,
                       GetText(TEXT_FIELD_PRIMARY_CONNECTION));
        DrawFieldCable(p, res, layout, regions, cx + half, half, FIELD_REDUNDANT_COLOUR, ELEMENT_FIELD_REDUNDANT,
                       GetText(TEXT_FIELD_REDUNDANT_CONNECTION));
        break;
    default:
        break;
    }

    for (int n = 0; n < UNIT_COUNT; ++n) DrawUnit(p, res, layout, regions, image.units[n], n);
    DrawRepeaters(p, res, layout, regions, image);
}

bool ChannelCells::Drawn(int unit, int channel) const
{
    if (!ValidCell(unit, channel)) return false;
    const Rect& r = rect[unit][channel];
    return r.right > r.left && r.bottom > r.top;
}

bool ChannelCells::CellAt(int x, int y, int& unit, int& channel) const
{
    for (int u = 0; u < UNIT_COUNT; ++u)
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            const Rect& r = rect[u][c];
            if (!Drawn(u, c) || x < r.left || x >= r.right || y < r.top || y >= r.bottom) continue;
            unit = u;
            channel = c;
            return true;
        }
    return false;
}

void DrawUnitPanels(QPainter& p, const ViewResources& res, const ViewLayout& layout, const SystemConfiguration& image,
                    AppMode appMode, HitRegionTable& regions, ChannelCells& cells)
{
    regions.Clear();
    DrawStatusMessage(p, res, layout.clientWidth, layout.clientHeight, "");
    cells = ChannelCells{};
    for (int u = 0; u < UNIT_COUNT; ++u) DrawUnitPanel(p, res, layout, image, appMode, u, cells);
}

void DrawUnitPanel(QPainter& p, const ViewResources& res, const ViewLayout& layout, const SystemConfiguration& image,
                   AppMode appMode, int unit, ChannelCells& cells)
{
    const Rect& panel = layout.panels[unit];
    const UnitRecord& record = image.units[unit];
    DrawBevelBox(p, panel, BEVEL_RAISED | 2);
    const std::string title = UnitLabel(unit) + " - " + ChoiceText(ChoiceList::UnitType, static_cast<int>(record.SLAVE_TYPE));
    DrawBoxText(p, res.panelTitle, {panel.left, panel.top, panel.right, panel.top + layout.panelHeader}, title);

    if (record.SLAVE_TYPE != UNIT_KX913 && record.SLAVE_TYPE != UNIT_KX927) return;
    cells.tagBand = TagBandHeight(panel, layout.panelHeader, record.SLAVE_TYPE);
    const int count = ChannelsInUse(record);
    for (int c = 0; c < count; ++c) {
        cells.rect[unit][c] = ChannelCellRect(panel, layout.panelHeader, record.SLAVE_TYPE, c);
        DrawChannelCell(p, res, image, appMode, cells, unit, c);
    }
}

void DrawChannelCell(QPainter& p, const ViewResources& res, const SystemConfiguration& image, AppMode appMode,
                     const ChannelCells& cells, int unit, int channel)
{
    if (!cells.Drawn(unit, channel)) return;
    const Rect tagBand = TagBandRect(cells.rect[unit][channel], cells.tagBand);
    FillFrame(p, tagBand, BLACK, PALE_YELLOW);
    const ChannelRecord& record = image.units[unit].channels[channel];
    p.setPen(BLACK);
    DrawFittedText(p, res.cellTag, InsideFrame(tagBand), Qt::AlignCenter,
                   FromCp1252(CellTagText(image, appMode, unit, channel)));
    const int flag = record.word != 0 ? 1 : 0;
    if (image.units[unit].SLAVE_TYPE == UNIT_KX913)
        DrawAnalogValue(p, res, image, cells, unit, channel, flag);
    else
        DrawDigitalState(p, res, image, cells, unit, channel, flag);
}

void DrawAnalogValue(QPainter& p, const ViewResources& res, const SystemConfiguration& image,
                     const ChannelCells& cells, int unit, int channel, int flag)
{
    if (!cells.Drawn(unit, channel)) return;
    const Rect band = ValueBandRect(cells.rect[unit][channel], cells.tagBand);
    DrawValueBand(p, band, flag);
    const ChannelRecord& record = image.units[unit].channels[channel];
    if (flag == 0 || record.live_state == LIVE_NONE) return;
    p.setPen(record.live_state == LIVE_STALE ? STALE_TEXT : BLACK);
    DrawFittedText(p, res.cellValue, InsideFrame(band), Qt::AlignRight | Qt::AlignVCenter,
                   FromCp1252(AnalogCellText(record.live_value, record.word)));
}

void DrawDigitalState(QPainter& p, const ViewResources& res, const SystemConfiguration& image,
                      const ChannelCells& cells, int unit, int channel, int flag)
{
    if (!cells.Drawn(unit, channel)) return;
    const Rect& cell = cells.rect[unit][channel];
    DrawValueBand(p, ValueBandRect(cell, cells.tagBand), flag);
    const Rect inner = DigitalStateRect(cell, cells.tagBand);
    if (flag == 0) {
        FillFrame(p, inner, BLACK, GREY);
        return;
    }
    const ChannelRecord& group = image.units[unit].channels[channel / 8];
    if (group.live_state == LIVE_NONE) return;
    const int state = DigitalCellState(group.live_value, channel);
    const bool stale = group.live_state == LIVE_STALE;
    FillFrame(p, inner, BLACK, stale ? GREY : state == 0x001 ? YELLOW : state == 0x000 ? GREY : RED);
    p.setPen(stale ? STALE_TEXT : BLACK);
    DrawFittedText(p, res.state, InsideFrame(inner), Qt::AlignCenter, FromCp1252(GetText(DigitalStateTextId(state))));
}

void DrawStatusMessage(QPainter& p, const ViewResources& res, int clientWidth, int clientHeight,
                       const std::string& text)
{
    p.fillRect(0, StatusSeparatorY(clientHeight), clientWidth + 1, 1, BLACK);
    DrawBevelBox(p, StatusMessageField(clientWidth, clientHeight), BEVEL_SUNKEN | 2);
    if (text.empty()) return;
    // A long message is cut at the field's end, never narrowed.
    p.setFont(res.status);
    p.setPen(BLACK);
    p.drawText(ToQRect(StatusMessageTextRect(clientWidth, clientHeight)),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, FromCp1252(text));
}

void DrawProgressField(QPainter& p, const ViewResources& res, int clientWidth, int clientHeight, int progress)
{
    const Rect field = ProgressField(clientWidth, clientHeight);
    DrawBevelBox(p, field, BEVEL_SUNKEN | 2);
    const int percent = ClampProgress(progress);
    if (percent == 0) return;
    char text[16];
    std::snprintf(text, sizeof text, "%3d%%", percent);
    p.setFont(res.status);
    p.setPen(BLACK);
    p.drawText(ToQRect(field), Qt::AlignCenter | Qt::TextSingleLine, QString::fromLatin1(text));
    // Exclusive-or, so that the covered part of the text shows inverted.
    const QPainter::CompositionMode mode = p.compositionMode();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.fillRect(ToQRect(ProgressBarRect(field, percent)), YELLOW);
    p.setCompositionMode(mode);
}

void DrawClockField(QPainter& p, const ViewResources& res, int clientWidth, int clientHeight, const std::string& text)
{
    const Rect field = ClockField(clientWidth, clientHeight);
    DrawBevelBox(p, field, BEVEL_SUNKEN | 2);
    p.setFont(res.status);
    p.setPen(BLACK);
    p.drawText(ToQRect(field), Qt::AlignCenter | Qt::TextSingleLine, QString::fromLatin1(text.c_str()));
}

} // namespace tarn
