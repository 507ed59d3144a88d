#include "app/dialog_units.h"

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

} // namespace tarn
