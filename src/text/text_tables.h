// The raw tables behind GetText and the choice lists.
#pragma once

#include <cstddef>

namespace tarn::tables {

struct TextEntry {
    int id;
    const char* english;
    const char* italian;
};

struct ChoiceEntryPair {
    const char* english;
    const char* italian;
};

struct ChoiceListTable {
    const ChoiceEntryPair* entries;
    std::size_t count;
};

extern const TextEntry kTexts[];
extern const std::size_t kTextCount;
extern const ChoiceListTable kChoiceLists[]; // indexed by ChoiceList

} // namespace tarn::tables
