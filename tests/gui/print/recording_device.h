// A paint device that keeps what is drawn on it instead of drawing: texts with the top left
// corner of their cell, and rectangles, in the document's logical units, by page.
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
    QPointF at;  // top left of the cell
    QFont font;
    qreal width() const { return QFontMetricsF(font).horizontalAdvance(text); }
};

struct DrawnRect {
    int page;
    QRectF rect;
};

class RecordingDevice : public QPaintDevice, private QPaintEngine {
public:
    explicit RecordingDevice(const PageMapping& mapping) : QPaintEngine(AllFeatures), m_(mapping) {}

    int page = 1;
    std::vector<DrawnText> texts;
    std::vector<DrawnRect> rects;

    QPaintEngine* paintEngine() const override { return const_cast<RecordingDevice*>(this); }

private:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_.viewportWidth;
        case PdmHeight: return m_.viewportHeight;
        case PdmDepth: return 32;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 1200;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        default: return 1;
        }
    }
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
        texts.push_back({page, item.text(), Logical({p.x(), p.y() - item.ascent()}), item.font()});
    }
    void drawLines(const QLineF*, int) override {}
    void drawRects(const QRectF* r, int count) override
    {
        for (int i = 0; i < count; ++i) rects.push_back({page, QRectF(Logical(r[i].topLeft()), Logical(r[i].bottomRight()))});
    }
    // The painter hands over its whole transform; the document's window/viewport mapping is undone.
    QPointF Logical(const QPointF& p) const
    {
        const QPointF device = transform_.map(p);
        return {device.x() * m_.windowWidth / m_.viewportWidth + m_.windowX,
                device.y() * m_.windowHeight / m_.viewportHeight + m_.windowY};
    }

    PageMapping m_;
    QTransform transform_;
};

} // namespace tarn::testing
