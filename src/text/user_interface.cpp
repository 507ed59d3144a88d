#include "text/user_interface.h"

#include "text/texts.h"

namespace tarn {

int ShowErrorBox(UserInterface& ui, const std::string& text)
{
    ui.ShowMessage(MessageIcon::Error, GetText(12), text);
    return 1; // IDOK; no caller looks at it
}

int ShowErrorBoxWithDetails(UserInterface& ui, const std::string& text, const std::string& details)
{
    if (details.empty()) return ShowErrorBox(ui, text);
    ui.ShowMessageWithDetails(MessageIcon::Error, GetText(12), text, details);
    return 1;
}

void ShowInfoBox(UserInterface& ui, const std::string& text) { ui.ShowMessage(MessageIcon::Information, GetText(10), text); }

int AskYesNo(UserInterface& ui, const std::string& text) { return ui.AskYesNo(GetText(11), text) ? 1 : 0; }

int AskProceedAnyway(UserInterface& ui, const std::string& text)
{
    return AskYesNo(ui, text + "\n\n" + GetText(13) + "\n\n");
}

} // namespace tarn
