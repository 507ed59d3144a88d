#include "text/user_interface.h"

#include "text/text_ids.h"
#include "text/texts.h"

namespace tarn {

int ShowErrorBox(UserInterface& ui, const std::string& text)
{
    ui.ShowMessage(MessageIcon::Error, GetText(TEXT_ERROR), text);
    return 1; // IDOK; no caller looks at it
}

int ShowErrorBoxWithDetails(UserInterface& ui, const std::string& text, const std::string& details)
{
    if (details.empty()) return ShowErrorBox(ui, text);
    ui.ShowMessageWithDetails(MessageIcon::Error, GetText(TEXT_ERROR), text, details);
    return 1;
}

void ShowInfoBox(UserInterface& ui, const std::string& text) { ui.ShowMessage(MessageIcon::Information, GetText(TEXT_INFORMATION), text); }

int AskYesNo(UserInterface& ui, const std::string& text) { return ui.AskYesNo(GetText(TEXT_WARNING), text) ? 1 : 0; }

int AskProceedAnyway(UserInterface& ui, const std::string& text)
{
    return AskYesNo(ui, text + "\n\n" + GetText(TEXT_PROCEED_ANYWAY) + "\n\n");
}

} // namespace tarn
