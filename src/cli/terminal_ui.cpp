#include "cli/terminal_ui.h"

#include "config/comparison.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tarn::cli {

namespace {

// Message texts of the tables end in blank lines meant for a box; a terminal line ends once.
std::string WithoutTrailingBreaks(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

} // namespace

std::string ToTerminalText(const std::string& text)
{
    std::string lf;
    lf.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        lf += text[i];
    }
    return Cp1252ToUtf8(lf);
}

TerminalUserInterface::TerminalUserInterface(std::ostream& out, std::ostream& err, bool answerYes,
                                             bool progressLine, std::string errorPrefix)
    : out_(out), err_(err), answerYes_(answerYes), progressLine_(progressLine), errorPrefix_(std::move(errorPrefix))
{
}

void TerminalUserInterface::ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text)
{
    ShowMessageWithDetails(icon, caption, text, std::string());
}

void TerminalUserInterface::ShowMessageWithDetails(MessageIcon icon, const std::string&, const std::string& text,
                                                   const std::string& details)
{
    ClearProgressLine();
    if (icon == MessageIcon::Error) err_ << errorPrefix_;
    err_ << ToTerminalText(WithoutTrailingBreaks(text));
    if (!details.empty()) err_ << ": " << ToTerminalText(details);
    err_ << '\n';
    err_.flush();
}

bool TerminalUserInterface::AskYesNo(const std::string&, const std::string& text)
{
    ClearProgressLine();
    err_ << ToTerminalText(WithoutTrailingBreaks(text)) << ' ' << ToTerminalText(GetText(answerYes_ ? TEXT_YES : TEXT_NO))
         << '\n';
    err_.flush();
    return answerYes_;
}

void TerminalUserInterface::SetStatusMessage(const std::string& text)
{
    status_ = text;
    if (status_.empty())
        ClearProgressLine();
    else
        DrawProgressLine();
}

void TerminalUserInterface::SetProgress(int percent)
{
    percent_ = percent;
    if (!status_.empty()) DrawProgressLine();
}

void TerminalUserInterface::ShowComparisonReport(const std::string& report)
{
    ClearProgressLine();
    WriteOutput(ToTerminalText(differencesOnly_ ? DifferencesOnly(report) : report));
}

bool TerminalUserInterface::WriteOutput(std::string_view bytes)
{
    if (outputFailed_) return false;
    errno = 0;
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out_.flush();
    if (out_) return true;
    const int error = errno;
    outputFailed_ = true;
    // The system's reason, when the stream left one (no space left, broken pipe).
    ShowMessageWithDetails(MessageIcon::Error, GetText(TEXT_ERROR), GetText(TEXT_OUTPUT_FAILED),
                           error != 0 ? Utf8ToCp1252(std::strerror(error)) : std::string());
    return false;
}

void TerminalUserInterface::DrawProgressLine()
{
    if (!progressLine_) return;
    char percent[16];
    std::snprintf(percent, sizeof percent, " %2d%% ", percent_);
    // Width in characters: one byte is one character in Windows-1252.
    const std::string line = percent + status_;
    // A step sets its status and then its progress: draw each different line once.
    if (drawnWidth_ != 0 && line == drawnLine_) return;
    err_ << '\r' << ToTerminalText(line);
    if (line.size() < drawnWidth_) err_ << std::string(drawnWidth_ - line.size(), ' ');
    drawnWidth_ = line.size();
    drawnLine_ = line;
    err_.flush();
}

void TerminalUserInterface::ClearProgressLine()
{
    if (drawnWidth_ == 0) return;
    err_ << '\r' << std::string(drawnWidth_, ' ') << '\r';
    err_.flush();
    drawnWidth_ = 0;
}

} // namespace tarn::cli
