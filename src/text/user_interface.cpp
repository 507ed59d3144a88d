#include "text/user_interface.h"

#include "text/texts.h"

namespace tarn {

namespace {
SilentUserInterface g_silent;
UserInterface* g_ui = &g_silent;
} // namespace

void InstallUserInterface(UserInterface* ui) { g_ui = ui ? ui : &g_silent; }
UserInterface& UI() { return *g_ui; }

int ShowErrorBox(const std::string& text)
{
    g_ui->ShowMessage(MessageIcon::Error, GetText(12), text);
    return 1; // IDOK; no caller looks at it
}

int ShowErrorBoxWithDetails(const std::string& text, const std::string& details)
{
    if (details.empty()) return ShowErrorBox(text);
    g_ui->ShowMessageWithDetails(MessageIcon::Error, GetText(12), text, details);
    return 1;
}

void ShowInfoBox(const std::string& text) { g_ui->ShowMessage(MessageIcon::Information, GetText(10), text); }

int AskYesNo(const std::string& text) { return g_ui->AskYesNo(GetText(11), text) ? 1 : 0; }

int AskProceedAnyway(const std::string& text)
{
    return AskYesNo(text + "\n\n" + GetText(13) + "\n\n");
}

void SetStatusMessage(const std::string& text) { g_ui->SetStatusMessage(text); }
void SetProgress(int percent) { g_ui->SetProgress(percent); }
void RepaintMainWindow() { g_ui->RepaintMainWindow(); }
void SetMainTimer(int periodMs) { g_ui->SetMainTimer(periodMs); }
void RefreshMenuBar() { g_ui->RefreshMenuBar(); }
void DrawAnalogValue(int unit, int channel, int flag) { g_ui->DrawAnalogValue(unit, channel, flag); }
void DrawDigitalState(int unit, int channel, int flag) { g_ui->DrawDigitalState(unit, channel, flag); }

} // namespace tarn
