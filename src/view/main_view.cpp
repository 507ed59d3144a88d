#include "view/main_view.h"

#include "config/app_state.h"
#include "view/view_draw.h"
#include "view/view_layout.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace tarn {

namespace {
constexpr int DEFAULT_CELL_FONT_HEIGHT = 13;  // of the largest main window, 800 pixels high

QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
// A field whose right and bottom edges are painted too.
QRect ToQRectInclusive(const Rect& r) { return QRect(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1); }
} // namespace

struct MainView::Impl {
    AppState* state = nullptr;  // the session's, drawn from
    int progress = 0;
    ViewResources res = CreateViewResources(DEFAULT_CELL_FONT_HEIGHT);
    QImage screen;        // null while the view has no area
    ViewLayout layout;
    HitRegionTable regions;
    ChannelCells cells;
    bool panelsShown = false;
    std::string message;  // on the screen since the last RepaintNow
    std::string clock;    // the last date/time drawn, shown again until the next tick

    // Draws the whole view from the installed state. A fresh paint is the program's repaint:
    // it clears the message.
    void Render(const QWidget& widget, bool fresh)
    {
        if (fresh) message.clear();
        const qreal dpr = widget.devicePixelRatioF();
        const QSize size = widget.size();
        layout = ComputeViewLayout(size.width(), size.height());
        if (size.isEmpty()) {
            screen = QImage();
            regions.Clear();
            cells = ChannelCells{};
            panelsShown = false;
            return;
        }
        if (screen.size() != size * dpr || screen.devicePixelRatio() != dpr) {
            screen = QImage(size * dpr, QImage::Format_RGB32);
            screen.setDevicePixelRatio(dpr);
        }
        screen.fill(Qt::white);
        AppState& state = *this->state;
        panelsShown = ShowsUnitPanels(state.mode);
        QPainter p(&screen);
        if (panelsShown) {
            DrawUnitPanels(p, res, layout, state.gateway, state.mode, regions, cells);
        } else {
            DrawSystemDiagram(p, res, layout, state.current, regions);
        }
        if (!message.empty()) tarn::DrawStatusMessage(p, res, layout.clientWidth, layout.clientHeight, message);
        tarn::DrawProgressField(p, res, layout.clientWidth, layout.clientHeight, progress);
        if (!clock.empty()) tarn::DrawClockField(p, res, layout.clientWidth, layout.clientHeight, clock);
    }

    // Brings the screen to the widget's present size, drawn without a state change when it is
    // not; false while the view has no area.
    bool EnsureScreen(const QWidget& widget)
    {
        const qreal dpr = widget.devicePixelRatioF();
        if (screen.size() != widget.size() * dpr || screen.devicePixelRatio() != dpr) Render(widget, false);
        return !screen.isNull();
    }

    // Lets draw paint on the screen and shows the area it changed at once.
    template <typename Draw>
    void Update(QWidget& widget, const QRect& changed, Draw draw)
    {
        if (!EnsureScreen(widget)) return;
        {
            QPainter p(&screen);
            if (!draw(p)) return;
        }
        widget.repaint(changed);
    }
};

MainView::MainView(AppState& state, QWidget* parent) : QWidget(parent), impl_(new Impl)
{
    impl_->state = &state;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

MainView::~MainView() { delete impl_; }

void MainView::SetCellFontHeight(int pixels) { impl_->res = CreateViewResources(pixels); }

void MainView::RepaintNow()
{
    impl_->Render(*this, true);
    repaint();
}

void MainView::SetStatusMessage(const std::string& text)
{
    impl_->message = text;
    const int y = StatusSeparatorY(height());
    impl_->Update(*this, QRect(0, y, width(), height() - y), [&](QPainter& p) {
        tarn::DrawStatusMessage(p, impl_->res, width(), height(), text);
        return true;
    });
}

const std::string& MainView::StatusMessage() const { return impl_->message; }

void MainView::SetProgress(int percent)
{
    impl_->progress = ClampProgress(percent);
    impl_->Update(*this, ToQRectInclusive(ProgressField(width(), height())), [&](QPainter& p) {
        tarn::DrawProgressField(p, impl_->res, width(), height(), impl_->progress);
        return true;
    });
}

int MainView::Progress() const { return impl_->progress; }

void MainView::DrawClockField()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    impl_->clock = ClockText(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
    impl_->Update(*this, ToQRectInclusive(ClockField(width(), height())), [&](QPainter& p) {
        tarn::DrawClockField(p, impl_->res, width(), height(), impl_->clock);
        return true;
    });
}

void MainView::DrawAnalogValue(int unit, int channel, int flag)
{
    const QRect cell = impl_->cells.Drawn(unit, channel) ? ToQRect(impl_->cells.rect[unit][channel]) : QRect();
    impl_->Update(*this, cell, [&](QPainter& p) {
        if (!impl_->panelsShown || !impl_->cells.Drawn(unit, channel)) return false;
        tarn::DrawAnalogValue(p, impl_->res, impl_->state->gateway, impl_->cells, unit, channel, flag);
        return true;
    });
}

void MainView::DrawDigitalState(int unit, int channel, int flag)
{
    const QRect cell = impl_->cells.Drawn(unit, channel) ? ToQRect(impl_->cells.rect[unit][channel]) : QRect();
    impl_->Update(*this, cell, [&](QPainter& p) {
        if (!impl_->panelsShown || !impl_->cells.Drawn(unit, channel)) return false;
        tarn::DrawDigitalState(p, impl_->res, impl_->state->gateway, impl_->cells, unit, channel, flag);
        return true;
    });
}

int MainView::HitTestElement(int x, int y) const { return impl_->regions.HitTestElement(x, y); }

bool MainView::HitTestCell(int x, int y, int& unit, int& channel) const
{
    return impl_->panelsShown && impl_->cells.CellAt(x, y, unit, channel);
}

const QImage& MainView::Screen() const
{
    impl_->EnsureScreen(*this);
    return impl_->screen;
}

void MainView::paintEvent(QPaintEvent* event)
{
    if (!impl_->EnsureScreen(*this)) return;
    QPainter p(this);
    const QRect r = event->rect();
    p.drawImage(r, impl_->screen, QRectF(r.topLeft() * impl_->screen.devicePixelRatio(),
                                         r.size() * impl_->screen.devicePixelRatio()));
}

void MainView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    emit ElementHovered(HitTestElement(pos.x(), pos.y()));
}

void MainView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    int unit = 0, channel = 0;
    if (HitTestCell(pos.x(), pos.y(), unit, channel)) emit CellDoubleClicked(unit, channel);
    else emit ElementDoubleClicked(HitTestElement(pos.x(), pos.y()));
}

} // namespace tarn
