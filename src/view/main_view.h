// The client area of the main window: the system diagram while the program is
// idle or transferring, the four unit panels during the live tests and the
// serial test's reading phase, and below either the 23-pixel status bar with its
// message, progress and date/time fields. It draws a session's state and reports
// hover and double-click as element ids; what they do is the window's business.
//
// The view keeps what it shows in a picture of its own, as a screen would: RepaintNow
// draws it anew from the state, the status bar and cell updates draw into it
// at once, and an expose only shows it again, so a status message lives until the next
// RepaintNow. A size change draws it anew without touching any state.
#pragma once

#include "config/app_state.h"

#include <QImage>
#include <QWidget>

#include <string>

namespace tarn {

class MainView : public QWidget {
    Q_OBJECT
public:
    // state must outlive the view.
    explicit MainView(AppState& state, QWidget* parent = nullptr);
    ~MainView() override;

    // Height in pixels of the cell tag and cell value fonts (main window height × 10 / 600).
    void SetCellFontHeight(int pixels);

    // Invalidate and paint at once, as a configuration or mode change needs.
    void RepaintNow();

    // Status bar, drawn at once. Texts are Windows-1252. The message lives until the next
    // RepaintNow; the date/time field keeps the last time drawn until the next DrawClockField.
    void SetStatusMessage(const std::string& text);
    const std::string& StatusMessage() const;  // empty after a RepaintNow
    void SetProgress(int percent);  // clamped to 0..100; 0 shows no progress
    int Progress() const;
    void DrawClockField();          // the date/time field, from the local time now

    // Cell updates of the live tests, drawn at once in the cells of the last panel paint from
    // the gateway image; flag 0 blank, 1 value on white, 2 value on red. Nothing for a cell
    // that paint did not draw, nor while the diagram is shown.
    void DrawAnalogValue(int unit, int channel, int flag);
    void DrawDigitalState(int unit, int channel, int flag);

    // The element registered first by the last paint whose region holds (x, y), edges
    // included; 0 for none.
    int HitTestElement(int x, int y) const;
    // The channel cell of the unit panels that holds (x, y): true with its unit (0..3) and
    // channel (0..63); false while the diagram is shown or outside every cell.
    bool HitTestCell(int x, int y, int& unit, int& channel) const;

    // What the view shows, in device pixels.
    const QImage& Screen() const;

signals:
    void ElementHovered(int element);
    void ElementDoubleClicked(int element);
    void CellDoubleClicked(int unit, int channel);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Impl;
    Impl* impl_;
};

} // namespace tarn
