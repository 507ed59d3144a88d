#include "config/file_commands.h"

#include "config/app_state.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "text/texts.h"
#include "text/user_interface.h"

namespace tarn {

namespace {

bool unsavedChanges() { return State().FileModified || State().GatewayModified; }

} // namespace

std::string ConfigurationFileFilter() { return GetText(350) + " (*.mcf)"; }

void FileNew()
{
    if (unsavedChanges() && !AskProceedAnyway(GetText(400))) return;
    AppState& state = State();
    state.currentFileName.clear();
    state.FileModified = false;
    state.GatewayModified = false;
    LoadDefaultConfiguration();
    RepaintMainWindow();
}

void FileOpen()
{
    if (unsavedChanges() && !AskProceedAnyway(GetText(401))) return;
    const std::optional<std::string> path = ChooseAndReadConfigurationFile();
    if (!path) return;
    AppState& state = State();
    CopyConfiguration(state.current, state.disk);
    state.currentFileName = *path;
    state.FileModified = false;
    state.GatewayModified = false;
    RepaintMainWindow();
}

int FileSave()
{
    AppState& state = State();
    CopyConfiguration(state.disk, state.current);
    const int written = WriteConfigurationFile(state.currentFileName);
    if (written) state.FileModified = false;
    return written;
}

int FileSaveAs(bool makeCurrent)
{
    std::optional<std::string> path = UI().ChooseFileToSave(GetText(352), ConfigurationFileFilter());
    if (!path) return 0;
    // Any dot counts, a folder's included: "my.plant/unit" keeps its name as it is.
    if (path->find('.') == std::string::npos) *path += ".mcf";
    AppState& state = State();
    CopyConfiguration(state.disk, state.current);
    const int written = WriteConfigurationFile(*path);
    if (written && makeCurrent) {
        state.currentFileName = *path;
        state.FileModified = false;
        // The window title names the current file.
        RepaintMainWindow();
    }
    return written;
}

std::optional<std::string> ChooseAndReadConfigurationFile()
{
    const std::optional<std::string> path = UI().ChooseFileToOpen(GetText(351), ConfigurationFileFilter());
    if (!path) return std::nullopt;
    if (!ReadConfigurationFile(*path)) return std::nullopt;
    return path;
}

} // namespace tarn
