// A paint device that keeps what is drawn on it instead of drawing: every text with the top left
// corner of its cell, and every line and rectangle, in the document's logical units, by page.
#pragma once

#include "print/document_layout.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QTextItem>

#include <vector>

namespace tarn::testing {

struct DrawnText {
    int page;
    QString text;
    QPointF at;   // top left of the text's cell (for upward text: where it starts)
    bool upward;
    QFont font;
    qreal width() const { return QFontMetricsF(font).horizontalAdvance(text); }
};

struct DrawnLine {
    int page;
    QLineF line;
};

struct DrawnRect {
    int page;
    QRectF rect;
};

class RecordingDevice : public QPaintDevice {
public:
    // A sheet of the given device pixels at dpi; mapping is what the document sets on it.
    RecordingDevice(const PageMapping& mapping, QSize pixels, int dpi) : engine_(*this), mapping_(mapping), pixels_(pixels), dpi_(dpi) {}

    int page = 1;
    std::vector<DrawnText> texts;
    std::vector<DrawnLine> lines;
    std::vector<DrawnRect> rects;

    QPaintEngine* paintEngine() const override { return &engine_; }

    std::vector<DrawnText> TextsOn(int onPage) const
    {
        std::vector<DrawnText> out;
        for (const auto& t : texts)
            if (t.page == onPage) out.push_back(t);
        return out;
    }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return pixels_.width();
        case PdmHeight: return pixels_.height();
        case PdmWidthMM: return pixels_.width() * 254 / (dpi_ * 10);
        case PdmHeightMM: return pixels_.height() * 254 / (dpi_ * 10);
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return dpi_;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    // Takes the painter's whole transform and undoes the document's window/viewport mapping.
    class Engine : public QPaintEngine {
    public:
        explicit Engine(RecordingDevice& device) : QPaintEngine(AllFeatures), d_(device) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        Type type() const override { return User; }
        void updateState(const QPaintEngineState& state) override
        {
            if (state.state() & DirtyTransform) transform_ = state.transform();
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override
        {
            const QPointF top = Logical(QPointF(p.x(), p.y() - item.ascent()));
            d_.texts.push_back({d_.page, item.text(), top, transform_.m12() != 0, item.font()});
        }
        void drawLines(const QLineF* lines, int count) override
        {
            for (int i = 0; i < count; ++i) d_.lines.push_back({d_.page, QLineF(Logical(lines[i].p1()), Logical(lines[i].p2()))});
        }
        void drawRects(const QRectF* rects, int count) override
        {
            for (int i = 0; i < count; ++i)
                d_.rects.push_back({d_.page, QRectF(Logical(rects[i].topLeft()), Logical(rects[i].bottomRight()))});
        }
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}

    private:
        QPointF Logical(const QPointF& p) const
        {
            const PageMapping& m = d_.mapping_;
            const QPointF device = transform_.map(p);
            return {device.x() * m.windowWidth / m.viewportWidth + m.windowX,
                    device.y() * m.windowHeight / m.viewportHeight + m.windowY};
        }
        RecordingDevice& d_;
        QTransform transform_;
    };

    mutable Engine engine_;
    PageMapping mapping_;
    QSize pixels_;
    int dpi_;
};

} // namespace tarn::testing
