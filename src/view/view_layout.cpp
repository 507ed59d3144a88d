#include "view/view_layout.h"

#include <cstdio>
#include <cstdlib>

namespace tarn {

ViewLayout ComputeViewLayout(int clientWidth, int clientHeight)
{
    ViewLayout l;
    l.clientWidth = clientWidth;
    l.clientHeight = clientHeight;
    const int W = clientWidth;
    const int H = clientHeight - STATUS_BAR_HEIGHT;
    l.W = W;
    l.H = H;
    l.gatewayLeft = W * 80 / 1000;
    l.gatewayTop = H * 650 / 1000;
    l.gatewayWidth = W * 180 / 1000;
    l.gatewayHeight = H * 150 / 1000;
    l.firstColumn = W * 300 / 1000;
    l.firstRow = H * 20 / 1000;
    l.boxWidth = W * 150 / 1000;
    l.rowHeight = H * 130 / 1000;
    l.columnGap = W * 25 / 1000;
    l.rowGap = H * 30 / 1000;
    l.repeaterHeight = H * 100 / 1000;
    l.modbusLine = H * 900 / 1000;
    l.lineOffset = H * 50 / 1000;
    l.thick = H * 23 / 1000;
    l.thin = H * 16 / 1000;
    l.panelHeader = H * 40 / 1000;
    const int margin = H * 5 / 1000;
    const int panelHeight = (H - 5 * margin) / 4;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        Rect& p = l.panels[i];
        p.left = W * 5 / 1000;
        p.right = W * 995 / 1000;
        p.top = (margin + panelHeight) * i + margin;
        p.bottom = p.top + panelHeight;
    }
    return l;
}

Rect GatewayBoxRect(const ViewLayout& l)
{
    return {l.gatewayLeft, l.gatewayTop, l.gatewayLeft + l.gatewayWidth, l.gatewayTop + l.gatewayHeight};
}

Rect ModuleBoxRect(const ViewLayout& l, int row, int module)
{
    const int left = l.ColumnLeft(module);
    const int top = l.RowTop(row);
    return {left, top, left + l.boxWidth, top + l.rowHeight - 5};
}

Rect RepeaterBoxRect(const ViewLayout& l, int repeater)
{
    const int left = l.ColumnLeft(repeater);
    return {left, l.CentreY() - l.repeaterHeight / 2, left + l.boxWidth, l.CentreY() + l.repeaterHeight / 2};
}

int HitRegionTable::HitTestElement(int x, int y) const
{
    for (const HitRegion& h : regions_)
        if (h.rect.left <= x && x <= h.rect.right && h.rect.top <= y && y <= h.rect.bottom) return h.element;
    return ELEMENT_NONE;
}

Rgb BlendColor(Rgb a, Rgb b, int weightA, int weightB)
{
    const int sum = weightA + weightB;
    if (sum == 0) return a;
    return {(a.r * weightA + b.r * weightB) / sum, (a.g * weightA + b.g * weightB) / sum,
            (a.b * weightA + b.b * weightB) / sum};
}

std::vector<CableLine> CableLines(int from, int to, int thickness, Rgb colour, int endStyle)
{
    const int h = std::abs(thickness / 2);
    std::vector<CableLine> lines;
    lines.reserve(2 * h + 1);
    for (int d = -h; d <= h; ++d) {
        const int a = std::abs(d);
        const int start = from + (endStyle & CABLE_BEVEL_START ? a : 0);
        const int end = to - (endStyle & CABLE_BEVEL_END ? a : 0);
        if (start > end) continue;
        lines.push_back({d, start, end, BlendColor(colour, d < 0 ? WHITE : CABLE_SHADOW, 4, a)});
    }
    return lines;
}

Rect HorizontalCableRegion(int x1, int x2, int y, int thickness)
{
    const int h = std::abs(thickness / 2);
    return {x1, y - h / 2, x2, y + h / 2};
}

Rect VerticalCableRegion(int x, int y1, int y2, int thickness)
{
    const int h = std::abs(thickness / 2);
    return {x - h / 2, y1, x + h / 2, y2};
}

int PanelCellWidth(const Rect& panel) { return (panel.right - panel.left - 19) / 16 + 1; }

int PanelRowHeight(const Rect& panel, int panelHeader, std::uint32_t unitType)
{
    const int inner = panel.bottom - panel.top - panelHeader;
    if (unitType == UNIT_KX913) return (inner - 7) / 4 + 1;
    if (unitType == UNIT_KX927) return (inner - 5) / 2 + 1;
    return 0;
}

int TagBandHeight(const Rect& panel, int panelHeader, std::uint32_t unitType)
{
    const int h = PanelRowHeight(panel, panelHeader, unitType);
    return unitType == UNIT_KX913 ? h / 2 : h / 4;
}

Rect ChannelCellRect(const Rect& panel, int panelHeader, std::uint32_t unitType, int channel)
{
    const int h = PanelRowHeight(panel, panelHeader, unitType);
    const int rows = unitType == UNIT_KX913 ? 4 : 2;
    if (h == 0 || channel < 0 || channel >= 16 * rows) return {};
    const int w = PanelCellWidth(panel);
    const int x0 = panel.left + (panel.right - panel.left - 16 * w + 15) / 2;
    const int y0 = panel.top + panelHeader;
    const int left = x0 + channel % 16 * (w - 1);
    const int top = y0 + channel / 16 * (h - 1);
    return {left, top, left + w, top + h};
}

Rect TagBandRect(const Rect& cell, int tagBand) { return {cell.left, cell.top, cell.right, cell.top + tagBand}; }

Rect ValueBandRect(const Rect& cell, int tagBand)
{
    return {cell.left, cell.top + tagBand - 1, cell.right, cell.bottom};
}

Rect DigitalStateRect(const Rect& cell, int tagBand)
{
    const Rect v = ValueBandRect(cell, tagBand);
    return {v.left + 3, v.top + 3, v.right - 3, v.bottom - 3};
}

int StatusSeparatorY(int clientHeight) { return clientHeight - 22; }

Rect StatusMessageField(int w, int h) { return {5, h - 19, w - 325, h - 2}; }
Rect StatusMessageTextRect(int w, int h) { return {9, h - 19, w - 325, h - 2}; }
Rect ProgressField(int w, int h) { return {w - 315, h - 19, w - 165, h - 2}; }
Rect ClockField(int w, int h) { return {w - 155, h - 19, w - 5, h - 2}; }

Rect ProgressBarRect(const Rect& field, int progress)
{
    if (progress <= 0) return {};
    const int width = field.right - field.left;
    return {field.left + 3, field.top + 3, field.left + (width - 6) * ClampProgress(progress) / 100 + 4,
            field.bottom - 3};
}

std::string ClockText(int year, int month, int day, int hour, int minute, int second)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d.%02d.%02d   %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

} // namespace tarn
