#include "text/texts.h"

#include "text/choices.h"
#include "text/text_tables.h"

#include <array>
#include <vector>

namespace tarn {

namespace {

int g_language = LANGUAGE_ENGLISH;

// The tables as std::string, built once: the references GetText hands out stay valid for the run.
struct Strings {
    std::vector<int> ids;
    std::array<std::vector<std::string>, 2> texts;
    std::array<std::array<std::vector<std::string>, CHOICE_LIST_COUNT>, 2> choices;

    Strings()
    {
        for (std::size_t i = 0; i < tables::kTextCount; ++i) {
            ids.push_back(tables::kTexts[i].id);
            texts[0].emplace_back(tables::kTexts[i].english);
            texts[1].emplace_back(tables::kTexts[i].italian);
        }
        for (int l = 0; l < CHOICE_LIST_COUNT; ++l) {
            const auto& list = tables::kChoiceLists[l];
            for (std::size_t i = 0; i < list.count; ++i) {
                choices[0][l].emplace_back(list.entries[i].english);
                choices[1][l].emplace_back(list.entries[i].italian);
            }
        }
    }
};

const Strings& strings()
{
    static const Strings s;
    return s;
}

const std::string& empty()
{
    static const std::string e;
    return e;
}

// Any language but English selects the Italian text table.
int textColumn(int language) { return language == LANGUAGE_ENGLISH ? 0 : 1; }

} // namespace

const std::string& GetTextIn(int language, int id)
{
    const Strings& s = strings();
    // Linear, first match wins: the table is small and fetched at the moment of use.
    for (std::size_t i = 0; i < s.ids.size(); ++i)
        if (s.ids[i] == id) return s.texts[textColumn(language)][i];
    return empty();
}

const std::string& GetText(int id) { return GetTextIn(g_language, id); }

int GetLanguage() { return g_language; }

void SetLanguage(int language) { g_language = language; }

std::vector<int> TextIds() { return strings().ids; }

int ChoiceCount(ChoiceList list)
{
    return static_cast<int>(strings().choices[0][static_cast<int>(list)].size());
}

const std::string* ChoiceEntry(ChoiceList list, int index)
{
    // The choice lists exist in English and Italian only; other language values read English.
    const int column = g_language == LANGUAGE_ITALIAN ? 1 : 0;
    const auto& entries = strings().choices[column][static_cast<int>(list)];
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return nullptr;
    return &entries[static_cast<std::size_t>(index)];
}

const std::string& ChoiceText(ChoiceList list, int index)
{
    const std::string* entry = ChoiceEntry(list, index);
    return entry ? *entry : empty();
}

const std::string& UnitOfMeasureText(int channelType)
{
    return ChoiceText(ChoiceList::UnitOfMeasure, channelType >= 4 ? 4 : channelType);
}

} // namespace tarn
