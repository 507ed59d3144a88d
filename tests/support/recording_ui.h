// A user interface for tests: records every call and answers questions and
// file choices from scripted queues (No and Cancel once a queue is empty).
#pragma once

#include "config/app_state.h"
#include "session/session.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <filesystem>
#include <stdlib.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tarn::testing {

class RecordingUserInterface : public UserInterface {
public:
    struct Message {
        MessageIcon icon;
        std::string caption;
        std::string text;
        std::string details;  // from ShowMessageWithDetails
    };

    std::vector<Message> messages;          // boxes and questions, in order
    std::vector<std::string> statusMessages;
    std::vector<int> progress;
    std::vector<std::string> reports;

    std::deque<bool> answers;                          // for AskYesNo
    std::deque<std::optional<std::string>> openChoices; // for ChooseFileToOpen
    std::deque<std::optional<std::string>> saveChoices; // for ChooseFileToSave
    std::vector<std::string> fileDialogTitles;
    DialogHost* dialogs = nullptr;  // runs the windows' dialogs in a GUI test

    void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override
    {
        messages.push_back({icon, caption, text, {}});
    }
    void ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                const std::string& details) override
    {
        messages.push_back({icon, caption, text, details});
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override
    {
        messages.push_back({MessageIcon::Question, caption, text, {}});
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void SetStatusMessage(const std::string& text) override { statusMessages.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    std::optional<std::string> ChooseFileToOpen(const std::string& title, const std::string&) override
    {
        fileDialogTitles.push_back(title);
        return pop(openChoices);
    }
    std::optional<std::string> ChooseFileToSave(const std::string& title, const std::string&) override
    {
        fileDialogTitles.push_back(title);
        return pop(saveChoices);
    }
    void ShowComparisonReport(const std::string& report) override { reports.push_back(report); }
    DialogHost* Dialogs() override { return dialogs; }

    // Messages of one icon only, e.g. the error boxes.
    std::vector<std::string> texts(MessageIcon icon) const
    {
        std::vector<std::string> out;
        for (const auto& m : messages)
            if (m.icon == icon) out.push_back(m.text);
        return out;
    }

private:
    static std::optional<std::string> pop(std::deque<std::optional<std::string>>& q)
    {
        if (q.empty()) return std::nullopt;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

// A session of a test's own that talks to a recorder, its links opening what devices makes
// (the fakes set it); English during the test and after it.
class CoreFixture {
public:
    CoreFixture() { SetLanguage(LANGUAGE_ENGLISH); }
    ~CoreFixture() { SetLanguage(LANGUAGE_ENGLISH); }
    CoreFixture(const CoreFixture&) = delete;
    CoreFixture& operator=(const CoreFixture&) = delete;

    RecordingUserInterface ui;
    SerialDeviceFactory devices;
    Session session{ui, [this]() -> std::unique_ptr<SerialDevice> { return devices ? devices() : nullptr; }};
    AppState& state = session;
};

// A fresh, empty directory under the system's temp folder, removed with the object.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarn-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace tarn::testing
