// The File menu's New, Open, Save, Save As and Save a Copy, and the choice and
// read of a configuration file that Open and Compare with Disk share.
#pragma once

#include "config/app_state.h"

#include <optional>
#include <string>

namespace tarn {

// New: after asking when there are unsaved changes, the default configuration
// with no file name and both modified flags clear.
void FileNew(AppState& state);
// Open: after asking when there are unsaved changes, a chosen file becomes the
// current image and file name. A cancelled or failed open changes nothing.
void FileOpen(AppState& state);
// Open of a file named on the command line: what Open does once the file is chosen, without
// the question (nothing is loaded yet). false after the reader's message.
bool OpenConfigurationFile(AppState& state, const std::string& path);
// Save to the current file name; 1 when written (FileModified is then cleared).
int FileSave(AppState& state);
// Save As (makeCurrent true) or Save a Copy (false) to a chosen path; ".mcf" is
// appended when the path has no dot anywhere. 1 when written.
int FileSaveAs(AppState& state, bool makeCurrent);
// Shows the open dialog and reads the chosen file into the disk image; the path
// when the read succeeded, nothing when cancelled or failed (after its message).
std::optional<std::string> ChooseAndReadConfigurationFile(AppState& state);

// The description the file dialogs show for "*.mcf" files, in the current language.
std::string ConfigurationFileFilter();

} // namespace tarn
