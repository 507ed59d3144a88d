// The desktop program's user interface for core: message boxes, file dialogs and
// the report window as Qt dialogs, the status bar as the main window's. Before it
// shows anything it lets the window draw what the session asked for. The modal part
// goes to a sink that tests replace with a recorder of scripted answers, so that a
// window under test still repaints and shows progress while no box ever waits for
// a click; the sink's dialog host runs the window's dialogs.
#pragma once

#include "text/user_interface.h"

#include <QPointer>

class QWidget;

namespace tarn {

class MainWindow;

// Qt's own boxes and dialogs, owned by the active modal dialog or else the main window.
class QtModalDialogs : public UserInterface {
public:
    void SetMainWindow(QWidget* window) { window_ = window; }

    void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;
    void ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                const std::string& details) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& title, const std::string& filter) override;
    std::optional<std::string> ChooseFileToSave(const std::string& title, const std::string& filter) override;
    void ShowComparisonReport(const std::string& report) override;

    // Not modal: the window's business.
    void SetStatusMessage(const std::string&) override {}
    void SetProgress(int) override {}

private:
    QWidget* Owner() const;
    QPointer<QWidget> window_;
};

class QtUserInterface : public UserInterface {
public:
    QtUserInterface();
    ~QtUserInterface() override;
    QtUserInterface(const QtUserInterface&) = delete;
    QtUserInterface& operator=(const QtUserInterface&) = delete;

    // Until a window is attached (start-up), the window's operations do nothing.
    void AttachWindow(MainWindow* window);
    // Where message boxes, questions, file choices and the report go; nullptr: Qt's dialogs.
    void SetModalSink(UserInterface* sink);

    void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;
    void ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                const std::string& details) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& title, const std::string& filter) override;
    std::optional<std::string> ChooseFileToSave(const std::string& title, const std::string& filter) override;
    void ShowComparisonReport(const std::string& report) override;

    void SetStatusMessage(const std::string& text) override;
    void SetProgress(int percent) override;
    DialogHost* Dialogs() override { return sink_ ? sink_->Dialogs() : nullptr; }

private:
    // The modal part, once the window shows what the session asked for.
    UserInterface& Modal();

    QtModalDialogs dialogs_;
    UserInterface* sink_ = nullptr;
    QPointer<MainWindow> window_;
};

} // namespace tarn
