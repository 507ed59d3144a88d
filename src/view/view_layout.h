// The geometry of the main view in client pixels: the layout of the system
// diagram and of the unit panels, the hit regions the diagram registers, the
// channel cells, the status bar fields and the colours of the shaded drawing.
// Plain integer arithmetic without Qt, so that every figure can be checked with
// plain values; the drawing in view_draw.h only follows it.
#pragma once

#include "config/model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

// A rectangle of client pixels. Which of its edges are painted depends on the primitive
// (see view_draw.h); a hit region includes all four.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};

inline constexpr int STATUS_BAR_HEIGHT = 23;

struct ViewLayout {
    int clientWidth = 0, clientHeight = 0;  // the whole client area, status bar included
    int W = 0, H = 0;                       // the drawing area: client width, client height - 23
    int gatewayLeft = 0, gatewayTop = 0, gatewayWidth = 0, gatewayHeight = 0;
    int firstColumn = 0, firstRow = 0;
    int boxWidth = 0, rowHeight = 0;        // a module box is rowHeight - 5 tall
    int columnGap = 0, rowGap = 0;
    int repeaterHeight = 0;
    int modbusLine = 0;                     // y of the Modbus buses
    int lineOffset = 0;                     // spacing of the two lines of a redundant pair
    int thick = 0, thin = 0;                // cable widths: trunks, branches
    int panelHeader = 0;                    // title band of a unit panel
    Rect panels[UNIT_COUNT];                // unit panels, top to bottom

    int CentreX() const { return gatewayLeft + gatewayWidth / 2; }
    int CentreY() const { return gatewayTop + gatewayHeight / 2; }
    int ColumnLeft(int column) const { return firstColumn + column * (boxWidth + columnGap); }
    int RowTop(int row) const { return firstRow + row * (rowGap + rowHeight); }
};

// The layout of a client area of the given size; sizes below the status bar give a zero or
// negative drawing height, which draws nothing sensible but never fails.
ViewLayout ComputeViewLayout(int clientWidth, int clientHeight);

Rect GatewayBoxRect(const ViewLayout& layout);
// Module m (0 = base unit, 1..3 = expansion) of the unit in row n (0..3).
Rect ModuleBoxRect(const ViewLayout& layout, int row, int module);
Rect RepeaterBoxRect(const ViewLayout& layout, int repeater);

// Element ids of the diagram's hit regions.
enum DiagramElementId : int {
    ELEMENT_NONE = 0,
    ELEMENT_GATEWAY = 1,
    ELEMENT_MODULE_BASE = 10,      // + 10 × (unit index) + module: 10u + m for unit u = 1..4
    ELEMENT_REPEATER_BASE = 50,    // + repeater 0..3
    ELEMENT_SERIAL_CABLE = 60,
    ELEMENT_MODBUS_PRIMARY = 61,
    ELEMENT_MODBUS_SECONDARY = 62,
    ELEMENT_FIELD_PRIMARY = 63,
    ELEMENT_FIELD_REDUNDANT = 64,
    ELEMENT_EXPANDER_CABLE = 65,
    ELEMENT_REPEATER_CABLE = 66,
};

inline int ModuleElementId(int unitIndex, int module) { return 10 * (unitIndex + 1) + module; }

struct HitRegion {
    Rect rect;  // edges included
    int element = ELEMENT_NONE;
    bool operator==(const HitRegion&) const = default;
};

// The regions of the last paint in registration (drawing) order.
class HitRegionTable {
public:
    void Clear() { regions_.clear(); }
    void Register(const Rect& rect, int element) { regions_.push_back({rect, element}); }
    // The element of the first registered region holding (x, y), edges included; 0 for none.
    int HitTestElement(int x, int y) const;
    const std::vector<HitRegion>& Regions() const { return regions_; }

private:
    std::vector<HitRegion> regions_;
};

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb WHITE{255, 255, 255};
inline constexpr Rgb CABLE_SHADOW{132, 132, 132};

// Each component (a × weightA + b × weightB) / (weightA + weightB), truncated; a when both
// weights are 0.
Rgb BlendColor(Rgb a, Rgb b, int weightA, int weightB);

// One 1-pixel line of a shaded cable, across [from, to] inclusive at offset d from the centre.
struct CableLine {
    int offset;    // d: y offset of a horizontal cable, x offset of a vertical one
    int from, to;  // x range of a horizontal, y range of a vertical cable, both included
    Rgb colour;
};

// End style bits of a cable: bit 0 bevels the start (left or top), bit 1 the end.
inline constexpr int CABLE_BEVEL_START = 1;
inline constexpr int CABLE_BEVEL_END = 2;

// The lines of a cable from `from` to `to` (both included) of the given thickness: pure colour
// on the centre line, lighter towards negative offsets, darker towards positive ones, each
// bevelled end shortened by |d|. Lines that a bevel shortens to nothing are left out.
std::vector<CableLine> CableLines(int from, int to, int thickness, Rgb colour, int endStyle);
// The hit region of such a cable: the middle half of its width.
Rect HorizontalCableRegion(int x1, int x2, int y, int thickness);
Rect VerticalCableRegion(int x, int y1, int y2, int thickness);

// Channel cells of a unit panel. A cell rectangle has exclusive right and bottom edges, as a
// filled frame covers them, so that cells of adjacent columns and rows share a border pixel.
int PanelCellWidth(const Rect& panel);
// The row height of a KX913 (4 rows) or KX927 (2 rows) panel; 0 for other types.
int PanelRowHeight(const Rect& panel, int panelHeader, std::uint32_t unitType);
// The height of the tag band at the top of each cell: half a KX913 row, a quarter of a KX927 row.
int TagBandHeight(const Rect& panel, int panelHeader, std::uint32_t unitType);
// The cell of a channel 0..63 (column channel mod 16, row channel / 16); all zero for a unit
// type without cells.
Rect ChannelCellRect(const Rect& panel, int panelHeader, std::uint32_t unitType, int channel);

// The bands of a cell: the tag band on top, the value band below, sharing one border line;
// the inner rectangle of a digital state, the value band shrunk by 3 on every side.
Rect TagBandRect(const Rect& cell, int tagBand);
Rect ValueBandRect(const Rect& cell, int tagBand);
Rect DigitalStateRect(const Rect& cell, int tagBand);

// The status bar of a client area (width, height): the fields as bevel boxes with every edge
// painted, the separator line's y.
int StatusSeparatorY(int clientHeight);
Rect StatusMessageField(int clientWidth, int clientHeight);
Rect StatusMessageTextRect(int clientWidth, int clientHeight);
Rect ProgressField(int clientWidth, int clientHeight);
Rect ClockField(int clientWidth, int clientHeight);
// The exclusive-or bar of a progress 1..100 in its field (exclusive right and bottom edges);
// all zero for progress 0.
Rect ProgressBarRect(const Rect& field, int progress);
inline int ClampProgress(int percent) { return percent < 0 ? 0 : percent > 100 ? 100 : percent; }
// The date/time field's text, "2024.03.07   14:05:09".
std::string ClockText(int year, int month, int day, int hour, int minute, int second);

} // namespace tarn
