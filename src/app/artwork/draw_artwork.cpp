// Draws the program's pictures: the icon at the sizes the desktop asks for and the
// splash picture (370 × 129, shown stretched to 400 × 150). The PNG files it
// writes are kept beside it; run it again after changing a drawing:
//   cmake --build build --target tarn-draw-artwork && build/bin/tarn-draw-artwork src/app/artwork
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

const QColor kDeep(18, 52, 86);
const QColor kWater(40, 120, 160);
const QColor kCable(250, 190, 40);
const QColor kBox(245, 248, 250);

// The installation in a square of side s: the gateway below left, a trunk cable up the
// middle and three units to the right of it, on a rounded plate.
void DrawIcon(QPainter& p, qreal s)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient plate(0, 0, 0, s);
    plate.setColorAt(0, kWater);
    plate.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(plate);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

    const qreal line = qMax<qreal>(1.0, s * 0.06);
    p.setPen(QPen(kCable, line, Qt::SolidLine, Qt::RoundCap));
    const qreal trunk = s * 0.3;
    p.drawLine(QPointF(trunk, s * 0.2), QPointF(trunk, s * 0.64));
    for (int u = 0; u < 3; ++u) {
        const qreal y = s * (0.2 + 0.2 * u);
        p.drawLine(QPointF(trunk, y), QPointF(s * 0.6, y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kBox);
    for (int u = 0; u < 3; ++u) p.drawRoundedRect(QRectF(s * 0.56, s * (0.13 + 0.2 * u), s * 0.3, s * 0.14), s * 0.02, s * 0.02);
    // The gateway, wider, where the trunk ends.
    p.drawRoundedRect(QRectF(s * 0.12, s * 0.64, s * 0.44, s * 0.2), s * 0.02, s * 0.02);
    p.setBrush(kCable);
    p.drawEllipse(QPointF(s * 0.2, s * 0.74), s * 0.035, s * 0.035);
}

QImage Icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    DrawIcon(p, size);
    return image;
}

QImage Splash()
{
    QImage image(370, 129, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 370, 129);
    sky.setColorAt(0, kWater);
    sky.setColorAt(1, kDeep);
    p.fillRect(image.rect(), sky);

    // Ripples of the tarn across the bottom.
    p.setPen(QPen(QColor(255, 255, 255, 60), 2));
    for (int r = 0; r < 3; ++r) {
        QPainterPath wave;
        const qreal y = 100 + 9 * r;
        wave.moveTo(0, y);
        for (int x = 0; x <= 370; x += 20) wave.quadTo(x + 5, y - 4, x + 10, y), wave.quadTo(x + 15, y + 4, x + 20, y);
        p.drawPath(wave);
    }

    p.save();
    p.translate(18, 18);
    DrawIcon(p, 72);
    p.restore();

    QFont name(QStringLiteral("DejaVu Sans"));
    name.setPixelSize(44);
    name.setBold(true);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QRectF(110, 12, 250, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tarn"));
    QFont model(QStringLiteral("DejaVu Sans"));
    model.setPixelSize(18);
    p.setFont(model);
    p.setPen(kCable);
    p.drawText(QRectF(112, 64, 250, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KX900"));
    return image;
}

bool Save(const QImage& image, const QDir& dir, const QString& name)
{
    const bool ok = image.save(dir.filePath(name), "PNG");
    if (!ok) std::fprintf(stderr, "cannot write %s\n", qPrintable(dir.filePath(name)));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarn-draw-artwork DIRECTORY\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    bool ok = Save(Splash(), dir, QStringLiteral("splash.png"));
    for (int size : {16, 32, 48, 256}) ok = Save(Icon(size), dir, QStringLiteral("tarn-%1.png").arg(size)) && ok;
    return ok ? 0 : 1;
}
