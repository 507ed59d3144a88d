// Dialog geometry as the dialog templates give it: dialog units of the dialog's
// font (a horizontal unit is a quarter of the font's average character width, a
// vertical one an eighth of its height) turned into pixels.
#pragma once

#include "dialogs/dialog_support.h"

#include <QFont>

namespace tarn {

// "MS Sans Serif" at pointSize, or the system's sans-serif face where that is missing.
QFont DialogFont(int pointSize);

int DialogUnitsX(const QFont& font, int units);
int DialogUnitsY(const QFont& font, int units);

} // namespace tarn
