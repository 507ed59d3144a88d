// What every configuration dialog does with its controls: texts from the tables, the
// caption with its leading blank, drop-down lists filled from the choice lists, and the
// way the openers run a modal dialog.
#pragma once

#include "text/choices.h"

#include <functional>
#include <string>

class QComboBox;
class QDialog;
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

// How the openers run their modal dialogs: exec() in the program. A test installs a runner
// that works the dialog's widgets and returns its result; an empty runner restores exec().
using DialogRunner = std::function<int(QDialog&)>;
void SetDialogRunner(DialogRunner runner);
int RunDialog(QDialog& dialog);

// While the configuration is read, written or compared, or the serial live test reads it
// (AppMode 1..4), no configuration dialog opens.
bool ConfigurationDialogsBlocked();

} // namespace tarn
