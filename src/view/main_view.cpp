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
    int progress = 0;
    ViewResources res = CreateViewResources(DEFAULT_CELL_FONT_HEIGHT);
    QImage screen;
    ViewLayout layout;
    HitRegionTable regions;
    ChannelCells cells;
    bool panelsShown = false;
    std::string message;  // on the screen since the last RepaintNow
    std::string clock;    // the last date/time drawn, shown again until the next tick

    // Draws the whole view from the installed state. A fresh paint is the program's repaint:
    // it resets the live values of the panels' cells and clears the message.
    void Render(const QWidget& widget, bool fresh)
    {
        const qreal dpr = widget.devicePixelRatioF();
        const QSize size = widget.size();
        if (screen.size() != size * dpr || screen.devicePixelRatio() != dpr) {
            screen = QImage(size * dpr, QImage::Format_RGB32);
            screen.setDevicePixelRatio(dpr);
        }
        screen.fill(Qt::white);
        layout = ComputeViewLayout(size.width(), size.height());
        if (fresh) message.clear();
        AppState& state = State();
        panelsShown = state.AppMode >= MODE_PREPARE_SERIAL_TEST && state.AppMode <= MODE_MODBUS_TEST;
        QPainter p(&screen);
        if (panelsShown) {
            if (fresh) ResetPanelLiveValues(state.gateway);
            DrawUnitPanels(p, res, layout, state.gateway, state.AppMode, regions, cells);
        } else {
            DrawSystemDiagram(p, res, layout, state.current, regions);
        }
        if (!message.empty()) tarn::DrawStatusMessage(p, res, layout.clientWidth, layout.clientHeight, message);
        tarn::DrawProgressField(p, res, layout.clientWidth, layout.clientHeight, progress);
        if (!clock.empty()) tarn::DrawClockField(p, res, layout.clientWidth, layout.clientHeight, clock);
    }

    // The screen at the widget's present size, drawn without a state change when it is not.
    void EnsureScreen(const QWidget& widget)
    {
        const qreal dpr = widget.devicePixelRatioF();
        if (screen.isNull() || screen.size() != widget.size() * dpr || screen.devicePixelRatio() != dpr)
            Render(widget, false);
    }
};

MainView::MainView(QWidget* parent) : QWidget(parent), impl_(new Impl)
{
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
    impl_->EnsureScreen(*this);
    impl_->message = text;
    {
        QPainter p(&impl_->screen);
        tarn::DrawStatusMessage(p, impl_->res, width(), height(), text);
    }
    repaint(0, StatusSeparatorY(height()), width(), height() - StatusSeparatorY(height()));
}

void MainView::SetProgress(int percent)
{
    impl_->progress = ClampProgress(percent);
    impl_->EnsureScreen(*this);
    {
        QPainter p(&impl_->screen);
        tarn::DrawProgressField(p, impl_->res, width(), height(), impl_->progress);
    }
    repaint(ToQRectInclusive(ProgressField(width(), height())));
}

int MainView::Progress() const { return impl_->progress; }

void MainView::DrawClockField()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    impl_->EnsureScreen(*this);
    impl_->clock = ClockText(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
    {
        QPainter p(&impl_->screen);
        tarn::DrawClockField(p, impl_->res, width(), height(), impl_->clock);
    }
    repaint(ToQRectInclusive(ClockField(width(), height())));
}

void MainView::DrawAnalogValue(int unit, int channel, int flag)
{
    impl_->EnsureScreen(*this);
    if (!impl_->panelsShown || !impl_->cells.Drawn(unit, channel)) return;
    {
        QPainter p(&impl_->screen);
        tarn::DrawAnalogValue(p, impl_->res, State().gateway, impl_->cells, unit, channel, flag);
    }
    repaint(ToQRect(impl_->cells.rect[unit][channel]));
}

void MainView::DrawDigitalState(int unit, int channel, int flag)
{
    impl_->EnsureScreen(*this);
    if (!impl_->panelsShown || !impl_->cells.Drawn(unit, channel)) return;
    {
        QPainter p(&impl_->screen);
        tarn::DrawDigitalState(p, impl_->res, State().gateway, impl_->cells, unit, channel, flag);
    }
    repaint(ToQRect(impl_->cells.rect[unit][channel]));
}

int MainView::HitTestElement(int x, int y) const { return impl_->regions.HitTestElement(x, y); }

const QImage& MainView::Screen() const
{
    impl_->EnsureScreen(*this);
    return impl_->screen;
}

void MainView::paintEvent(QPaintEvent* event)
{
    impl_->EnsureScreen(*this);
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
    emit ElementDoubleClicked(HitTestElement(pos.x(), pos.y()));
}

} // namespace tarn
