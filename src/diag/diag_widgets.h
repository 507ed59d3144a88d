// Small pieces the diagnostic dialogs share: texts across the Windows-1252
// boundary, captions, drop-down lists filled from the choice lists, sunken value
// fields, the bold value font and the two lamps.
#pragma once

#include "text/choices.h"

#include <QFrame>
#include <QLabel>
#include <QString>

#include <string>

class QComboBox;
class QWidget;

namespace tarn {

QString FromCp1252(const std::string& text);
std::string ToCp1252(const QString& text);
// The dialog's title: one blank, then the text.
void SetWindowCaption(QWidget* window, const std::string& text);

// Appends the list's entries in order, so entry positions are stored values.
void FillComboFromChoices(QComboBox* combo, ChoiceList list);
// Selects the entry at index; an index past the last entry selects entry 0.
void SelectComboItem(QComboBox* combo, int index);

// A read-only field with a sunken frame, as the dialogs show values in.
class SunkenField : public QLabel {
    Q_OBJECT
public:
    explicit SunkenField(Qt::Alignment alignment, QWidget* parent = nullptr);
    // Sets the text only when it differs, so an unchanged value does not repaint.
    void Show(const QString& text);
};

// Bold, 18 pixels high, of "MS Sans Serif" where it exists and a sans-serif face elsewhere.
QFont ValueFont();

// The lamps of the dialogs (icons 3000 and 3001 of the resources).
enum class LampColour { Yellow, Red };
QLabel* MakeLamp(LampColour colour, QWidget* parent);

// Keeps a widget's place in its layout while it is hidden, so the dialog does not jump.
void KeepPlaceWhenHidden(QWidget* widget);

} // namespace tarn
