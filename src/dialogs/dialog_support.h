// What every configuration dialog does with its controls: texts from the tables, the
// caption with its leading blank, drop-down lists filled from the choice lists, and the
// way the openers run a modal dialog.
#pragma once

#include "config/app_state.h"
#include "text/choices.h"
#include "text/user_interface.h"

#include <string>

class QComboBox;
class QDialog;
class QLineEdit;
class QScrollArea;
class QSize;
class QString;
class QWidget;

namespace tarn {

// Windows-1252 texts of the tables and the widgets' Unicode.
QString ToQt(const std::string& cp1252);
std::string FromQt(const QString& text);
// GetText of id, for a widget.
QString TextQ(int id);

// The window title: one blank, then text.
void SetWindowCaption(QWidget* window, const std::string& text);

// Appends the list's entries in the current language: entry position = stored value.
void FillComboFromChoices(QComboBox* combo, ChoiceList list);
// Selects entry index; an index past the last entry (or below 0) selects entry 0.
void SelectComboItem(QComboBox* combo, int index);
// The selected entry's index, -1 when nothing is selected.
int GetComboSelection(const QComboBox* combo);

// Runs the modal dialogs of a user interface in its place: a test's host works the dialog's
// widgets and returns its result instead of waiting for a click.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual int Run(QDialog& dialog) = 0;
};

// How the openers run their modal dialogs: by ui's host when it has one, else exec().
int RunDialog(UserInterface& ui, QDialog& dialog);

// The most a dialog may take of the screen it opens on: the screen's free area less a frame
// and a title bar, as the main window leaves them (790 × 530 of an 800 × 600 screen).
QSize RoomOnScreen(const QWidget* widget);

// The width of a tag edit: room for 16 average characters, the longest tag, not Qt's usual 17
// wide ones, so that the rows of tags fit small screens.
void SizeTagEdit(QLineEdit* edit);

// Puts rows, the first item of a dialog's vertical layout, into a scroll area that shows all of
// them where the screen has room and scrolls only where it has not (an 800 × 600 screen).
QScrollArea* ScrollingWhereTheScreenIsSmall(QWidget* rows);

} // namespace tarn
