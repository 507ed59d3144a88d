#include "app/dialog_units.h"

#include "text/cp1252.h"

#include <QFontMetrics>
#include <QWidget>

namespace tarn {

QFont DialogFont(int pointSize)
{
    QFont font(QStringLiteral("MS Sans Serif"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int DialogUnitsX(const QFont& font, int units)
{
    // The average width as the templates' system measures it: all 52 letters, rounded.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int average = (letters / 26 + 1) / 2;
    return units * average / 4;
}

int DialogUnitsY(const QFont& font, int units) { return units * QFontMetrics(font).height() / 8; }

QString ToQt(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }

std::string FromQt(const QString& text) { return Utf8ToCp1252(text.toStdString()); }

void SetWindowCaption(QWidget* window, const std::string& cp1252) { window->setWindowTitle(ToQt(" " + cp1252)); }

} // namespace tarn
