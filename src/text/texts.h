// The text tables of both languages and the process-wide language.
#pragma once

#include <string>
#include <vector>

namespace tarn {

inline constexpr int LANGUAGE_ENGLISH = 0;
inline constexpr int LANGUAGE_ITALIAN = 1;

// The text of id in the current language; the empty text for an id not in the table.
// The reference stays valid for the whole run.
const std::string& GetText(int id);
// The text of id in the given language (0 English, anything else Italian).
const std::string& GetTextIn(int language, int id);

int GetLanguage();
// Stores the language; the caller repaints the main window, so the menu and title follow.
void SetLanguage(int language);

// The ids of the table in table order (the same in both languages).
std::vector<int> TextIds();

} // namespace tarn
