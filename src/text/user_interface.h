// How core talks with the user. The message boxes, the status bar, the choice of
// files and the comparison report are calls of one small interface: the desktop
// program gives its session the Qt version, tarnctl a terminal version, tests a
// recorder with scripted answers. What the window draws is not its business: engines
// ask the session for a refresh (AppState::RequestRefresh). Every text is
// Windows-1252, as in the tables.
#pragma once

#include <optional>
#include <string>

namespace tarn {

enum class MessageIcon { Error, Information, Question };

class DialogHost;  // dialogs/dialog_support.h

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A modal message box with OK; caption already in the current language.
    virtual void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) = 0;
    // As ShowMessage, with the system's own words on a failure (e.g. "Permission denied") for a
    // details area; interfaces without one show the message alone.
    virtual void ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                        const std::string& details)
    {
        (void)details;
        ShowMessage(icon, caption, text);
    }
    // A modal Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
    // The status bar's message field and progress field (percent 0..100).
    virtual void SetStatusMessage(const std::string& text) = 0;
    virtual void SetProgress(int percent) = 0;
    // The open and save file dialogs of configuration files: the chosen path, or nothing
    // when cancelled. filter is the description shown for "*.mcf" files.
    virtual std::optional<std::string> ChooseFileToOpen(const std::string& title, const std::string& filter) = 0;
    virtual std::optional<std::string> ChooseFileToSave(const std::string& title, const std::string& filter) = 0;
    // The read-only report window of a comparison, modal.
    virtual void ShowComparisonReport(const std::string& report) = 0;

    // Who runs the modal dialogs of the program's windows (RunDialog); nullptr: their own exec().
    virtual DialogHost* Dialogs() { return nullptr; }
};

// A user interface that shows nothing, answers No and cancels every file choice.
class SilentUserInterface : public UserInterface {
public:
    void ShowMessage(MessageIcon, const std::string&, const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void SetStatusMessage(const std::string&) override {}
    void SetProgress(int) override {}
    std::optional<std::string> ChooseFileToOpen(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> ChooseFileToSave(const std::string&, const std::string&) override { return {}; }
    void ShowComparisonReport(const std::string&) override {}
};

// The four message boxes; captions from the text tables (10, 11, 12), questions 1 for Yes.
int ShowErrorBox(UserInterface& ui, const std::string& text);
// The error box with details (empty details: the plain error box).
int ShowErrorBoxWithDetails(UserInterface& ui, const std::string& text, const std::string& details);
void ShowInfoBox(UserInterface& ui, const std::string& text);
int AskYesNo(UserInterface& ui, const std::string& text);
int AskProceedAnyway(UserInterface& ui, const std::string& text);

} // namespace tarn
