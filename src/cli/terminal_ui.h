// The user interface of tarnctl: message boxes become lines on the error
// stream, questions are answered by a command-line flag, the status bar becomes
// one progress line redrawn in place (only on a terminal), and a comparison
// report goes to the output stream. Texts arrive as Windows-1252 and leave as UTF-8.
#pragma once

#include "text/user_interface.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace tarn::cli {

// The report or file text for a terminal: CR LF becomes LF, Windows-1252 becomes UTF-8.
std::string ToTerminalText(const std::string& text);

class TerminalUserInterface : public UserInterface {
public:
    // answerYes: the answer to every question. progressLine: draw the status and progress
    // line on err (only when err is a terminal, or a test looks at the drawing). errorPrefix
    // goes before every error message ("tarnctl: ").
    TerminalUserInterface(std::ostream& out, std::ostream& err, bool answerYes, bool progressLine,
                          std::string errorPrefix = {});

    void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;
    void ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                const std::string& details) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    void SetStatusMessage(const std::string& text) override;
    void SetProgress(int percent) override;
    // There are no file dialogs on the command line: every file is named by an argument.
    std::optional<std::string> ChooseFileToOpen(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> ChooseFileToSave(const std::string&, const std::string&) override { return {}; }
    // Prints the report, with only its differences after SetDifferencesOnly(true).
    void ShowComparisonReport(const std::string& report) override;
    void SetDifferencesOnly(bool on) { differencesOnly_ = on; }

    // Wipes the progress line, so that whatever follows starts on a clean line.
    void ClearProgressLine();

    // Every byte for the output stream goes through here: written, flushed and checked, so
    // that output going nowhere (a full disk, a reader gone) ends the subcommand. A failure is
    // told once on the error stream; then this and every later call return false.
    bool WriteOutput(std::string_view bytes);
    bool OutputFailed() const { return outputFailed_; }

private:
    void DrawProgressLine();

    std::ostream& out_;
    std::ostream& err_;
    bool answerYes_;
    bool progressLine_;
    std::string errorPrefix_;
    std::string status_;   // Windows-1252, as the core sets it
    int percent_ = 0;
    std::string drawnLine_;
    std::size_t drawnWidth_ = 0; // characters of the line now on the terminal, 0 = none
    bool outputFailed_ = false;
    bool differencesOnly_ = false;
};

} // namespace tarn::cli
