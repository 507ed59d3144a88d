#include "text/texts.h"

#include <gtest/gtest.h>

#include <set>

namespace tarn {
namespace {

// The program's own 249 texts, and those added since, once each in both languages.
TEST(TextTables, BothLanguagesHoldEveryIdOnceWithNonEmptyTexts)
{
    const auto ids = TextIds();
    EXPECT_GE(ids.size(), 249u);
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size()) << "an id occurs twice";
    for (int id : ids) {
        EXPECT_GE(id, 10);
        EXPECT_FALSE(GetTextIn(LANGUAGE_ENGLISH, id).empty()) << id;
        EXPECT_FALSE(GetTextIn(LANGUAGE_ITALIAN, id).empty()) << id;
    }
}

} // namespace
} // namespace tarn
