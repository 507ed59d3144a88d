// The open and save dialogs of configuration files. Qt's own dialog on every
// desktop, so that it behaves the same everywhere and the save dialog asks
// before overwriting the file that will really be written: a name without any
// dot is written with the filter's extension (".mcf") appended, so the dialog
// checks that name. The
// question goes through the core's user interface, in the program's language.
#pragma once

#include "text/user_interface.h"

#include <QFileDialog>

#include <optional>
#include <string>

namespace tarn {

class ConfigurationFileDialog : public QFileDialog {
    Q_OBJECT
public:
    // filter: the description of the files with their pattern, "... (*.mcf)".
    // ui asks the question of an existing file.
    ConfigurationFileDialog(UserInterface& ui, QWidget* parent, const QString& title, const QString& filter,
                            AcceptMode mode);

    // Runs the dialog; the chosen path in the file system's encoding, nothing when cancelled.
    std::optional<std::string> Choose();

    // The file the dialog was accepted for: in the save dialog the name that will be
    // written, after Yes to the question when that file exists.
    const QString& ChosenPath() const { return chosen_; }

    void accept() override;

private:
    UserInterface& ui_;
    QString filter_;
    QString chosen_;
};

} // namespace tarn
