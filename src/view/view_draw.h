// Drawing of the main view on any QPainter (the view's screen image, a test's or
// the benchmark's QImage): the primitives, the system diagram, the unit panels
// with their channel cells, and the status bar fields. Geometry comes from
// view_layout.h; shapes are drawn without antialiasing on whole pixels, as the
// layout gives them:
// - a filled frame (FillFrame, the cells) covers [left, right) × [top, bottom);
// - a bevel box covers [left, right] × [top, bottom], every edge included.
#pragma once

#include "config/app_state.h"
#include "config/model.h"
#include "view/view_layout.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <string>

class QPainter;

namespace tarn {

// The fonts of the view. A height is the full line height in pixels (ascent plus descent), as
// the named faces were sized; where a face is missing a similar sans-serif face takes its place.
struct ViewResources {
    QFont boxTitle;       // type names in boxes, 24 bold
    QFont boxText;        // second and third lines in boxes, 15 bold
    QFont status;         // status bar texts, 14 bold
    QFont cableLabel;     // labels on horizontal cables, 12 bold
    QFont verticalLabel;  // labels on vertical cables, 12 bold, drawn turned by 90 degrees
    QFont panelTitle;     // unit panel titles, 16 bold
    QFont cellTag;        // channel tags in cells, cell font height
    QFont cellValue;      // analog values in cells, cell font height
    QFont state;          // digital states in cells, 14 bold, drawn level
};

// cellFontHeight: main window height × 10 / 600, at least 1.
ViewResources CreateViewResources(int cellFontHeight);

QColor ToQColor(Rgb colour);
// A Windows-1252 text for drawing.
QString FromCp1252(const std::string& text);

// Bevel styles: 0x20 raised or 0x10 sunken, low four bits the border width.
inline constexpr int BEVEL_RAISED = 0x20;
inline constexpr int BEVEL_SUNKEN = 0x10;

// A rectangle filled with brush and framed by a 1-pixel pen, [left, right) × [top, bottom).
void FillFrame(QPainter& painter, const Rect& rect, QColor pen, QColor brush);
void DrawBevelBox(QPainter& painter, const Rect& rect, int style);
void DrawHorizontalCable(QPainter& painter, HitRegionTable& regions, int x1, int x2, int y, int thickness,
                         Rgb colour, int endStyle, int element);
void DrawVerticalCable(QPainter& painter, HitRegionTable& regions, int x, int y1, int y2, int thickness,
                       Rgb colour, int endStyle, int element);
// Labels centred on a cable: on a horizontal one at ((x1 + x2) / 2, y - 6) as the top centre;
// on a vertical one reading upwards with its top edge at x - 6, centred on (y1 + y2) / 2.
// Nothing for an empty text.
void DrawCableLabel(QPainter& painter, const ViewResources& res, int x1, int x2, int y, const std::string& text);
void DrawVerticalCableLabel(QPainter& painter, const ViewResources& res, int x, int y1, int y2,
                            const std::string& text);
// One line centred in [left, right) × [top, bottom); a text too wide is narrowed, then clipped.
void DrawBoxText(QPainter& painter, const QFont& font, const Rect& rect, const std::string& text);

// The diagram of the configuration image: empties the hit regions and the status message,
// then draws and registers gateway, cables, units and repeaters in that order.
void DrawSystemDiagram(QPainter& painter, const ViewResources& res, const ViewLayout& layout,
                       const SystemConfiguration& image, HitRegionTable& regions);

// Where the last panel paint put each channel's cell; a cell not drawn is all zero.
struct ChannelCells {
    Rect rect[UNIT_COUNT][CHANNEL_COUNT]{};
    int tagBand = 0;  // of the panel with cells drawn last
    bool Drawn(int unit, int channel) const;
    // The drawn cell that holds (x, y), edges excluded as they are shared: true with its unit
    // and channel, false when no cell does.
    bool CellAt(int x, int y, int& unit, int& channel) const;
};

// The four panels of the gateway image (live values as they stand: AppState::TakeRefresh resets
// them before a full repaint). Empties the hit regions and the status message. appMode
// SerialTest shows the channel tags, any other mode "unit-channel" numbers.
void DrawUnitPanels(QPainter& painter, const ViewResources& res, const ViewLayout& layout,
                    const SystemConfiguration& image, AppMode appMode, HitRegionTable& regions, ChannelCells& cells);
void DrawUnitPanel(QPainter& painter, const ViewResources& res, const ViewLayout& layout,
                   const SystemConfiguration& image, AppMode appMode, int unit, ChannelCells& cells);
// Tag band, then the value band with flag 1 for a configured channel, 0 for one that is off.
void DrawChannelCell(QPainter& painter, const ViewResources& res, const SystemConfiguration& image, AppMode appMode,
                     const ChannelCells& cells, int unit, int channel);
// The value band of a cell; flag 0 blank, 1 the value on white, 2 the value on red. The value
// is drawn only when it was read (live_state): grey when its latest read failed, nothing when
// it was never read.
void DrawAnalogValue(QPainter& painter, const ViewResources& res, const SystemConfiguration& image,
                     const ChannelCells& cells, int unit, int channel, int flag);
void DrawDigitalState(QPainter& painter, const ViewResources& res, const SystemConfiguration& image,
                      const ChannelCells& cells, int unit, int channel, int flag);

// Status bar fields of a client area of clientWidth × clientHeight.
void DrawStatusMessage(QPainter& painter, const ViewResources& res, int clientWidth, int clientHeight,
                       const std::string& text);
// progress 0..100; 0 leaves the field empty.
void DrawProgressField(QPainter& painter, const ViewResources& res, int clientWidth, int clientHeight,
                       int progress);
void DrawClockField(QPainter& painter, const ViewResources& res, int clientWidth, int clientHeight,
                    const std::string& text);

} // namespace tarn
