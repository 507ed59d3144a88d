// Dialog geometry as the dialog templates give it: dialog units of the dialog's
// font (a horizontal unit is a quarter of the font's average character width, a
// vertical one an eighth of its height) turned into pixels.
#pragma once

#include <QFont>
#include <QString>

#include <string>

class QWidget;

namespace tarn {

// "MS Sans Serif" at pointSize, or the system's sans-serif face where that is missing.
QFont DialogFont(int pointSize);

int DialogUnitsX(const QFont& font, int units);
int DialogUnitsY(const QFont& font, int units);

// Windows-1252 texts of the tables and the widgets' Unicode.
QString ToQt(const std::string& cp1252);
std::string FromQt(const QString& text);

// The title with one blank before the text, as every dialog caption of the program has it.
void SetWindowCaption(QWidget* window, const std::string& cp1252);

} // namespace tarn
