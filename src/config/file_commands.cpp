#include "config/file_commands.h"

#include "config/app_state.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

namespace tarn {

namespace {

bool unsavedChanges(const AppState& state) { return state.FileModified || state.GatewayModified; }

// The file just read into the disk image becomes the current image and file name.
void makeCurrentFile(AppState& state, const std::string& path)
{
    CopyConfiguration(state.current, state.disk);
    state.currentFileName = path;
    state.FileModified = false;
    state.GatewayModified = false;
    state.RequestRefresh(ViewRefresh::Full);
}

} // namespace

std::string ConfigurationFileFilter() { return GetText(TEXT_CONFIGURATION_FILES) + " (*.mcf)"; }

void FileNew(AppState& state)
{
    if (unsavedChanges(state) && !AskProceedAnyway(*state.ui, GetText(TEXT_NEW_LOSES_CHANGES))) return;
    state.currentFileName.clear();
    state.FileModified = false;
    state.GatewayModified = false;
    LoadDefaultConfiguration(state);
    state.RequestRefresh(ViewRefresh::Full);
}

void FileOpen(AppState& state)
{
    if (unsavedChanges(state) && !AskProceedAnyway(*state.ui, GetText(TEXT_OPEN_LOSES_CHANGES))) return;
    const std::optional<std::string> path = ChooseAndReadConfigurationFile(state);
    if (path) makeCurrentFile(state, *path);
}

bool OpenConfigurationFile(AppState& state, const std::string& path)
{
    if (!ReadConfigurationFile(state, path)) return false;
    makeCurrentFile(state, path);
    return true;
}

int FileSave(AppState& state)
{
    CopyConfiguration(state.disk, state.current);
    const int written = WriteConfigurationFile(state, state.currentFileName);
    if (written) state.FileModified = false;
    return written;
}

int FileSaveAs(AppState& state, bool makeCurrent)
{
    std::optional<std::string> path = state.ui->ChooseFileToSave(GetText(TEXT_SAVE_CONFIGURATION), ConfigurationFileFilter());
    if (!path) return 0;
    // Any dot counts, a folder's included: "my.plant/unit" keeps its name as it is.
    if (path->find('.') == std::string::npos) *path += ".mcf";
    CopyConfiguration(state.disk, state.current);
    const int written = WriteConfigurationFile(state, *path);
    if (written && makeCurrent) {
        state.currentFileName = *path;
        state.FileModified = false;
        // The window title names the current file.
        state.RequestRefresh(ViewRefresh::Full);
    }
    return written;
}

std::optional<std::string> ChooseAndReadConfigurationFile(AppState& state)
{
    const std::optional<std::string> path = state.ui->ChooseFileToOpen(GetText(TEXT_OPEN_CONFIGURATION), ConfigurationFileFilter());
    if (!path) return std::nullopt;
    if (!ReadConfigurationFile(state, *path)) return std::nullopt;
    return path;
}

} // namespace tarn
