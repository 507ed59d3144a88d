#include "support/recording_ui.h"
#include "text/choices.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <set>

namespace tarn {
namespace {

using testing::CoreFixture;

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

TEST(TextTables, AbsentIdsGiveTheEmptyText)
{
    CoreFixture f;
    for (int id : {0, 19, -1, 9, 424, 100000}) EXPECT_EQ(GetText(id), "") << id;
}

TEST(TextTables, LanguageSelectsTheTable)
{
    CoreFixture f;
    EXPECT_EQ(GetText(70), "Gateway KX940");
    SetLanguage(LANGUAGE_ITALIAN);
    EXPECT_EQ(GetText(70), "Gayeway KX940"); // the system's own spelling
    SetLanguage(7); // any value other than 0 reads the Italian texts
    EXPECT_EQ(GetText(12), "Errore");
    SetLanguage(LANGUAGE_ENGLISH);
    EXPECT_EQ(GetText(12), "Error");
}

// Texts 400, 230, 231, 372 and 148 keep their typos under the tests of the parts that show them.
TEST(TextTables, WordForWordSamplesIncludingTheSystemsTypos)
{
    CoreFixture f;
    EXPECT_EQ(GetText(389), "Error opening the initializtion file");
    EXPECT_EQ(GetText(284), "Fixed Cold Junction reference \xB0""C");
    SetLanguage(LANGUAGE_ITALIAN);
    EXPECT_EQ(GetText(107), "Assegnato all'unit\xE0");
}

TEST(ChoiceLists, SizesAndTheNullThatEndsEachList)
{
    CoreFixture f;
    const std::pair<ChoiceList, int> sizes[] = {
        {ChoiceList::LineUse, 4}, {ChoiceList::LineFrequency, 2}, {ChoiceList::Repeaters, 5},
        {ChoiceList::ModbusBaud, 6}, {ChoiceList::ModbusFormat, 4}, {ChoiceList::UnitType, 4},
        {ChoiceList::UnitOfMeasure, 5}, {ChoiceList::ChannelType, 31}, {ChoiceList::Burnout, 4},
        {ChoiceList::ColdJunction, 2}, {ChoiceList::Wires, 2}, {ChoiceList::Filter, 4},
        {ChoiceList::DigitalMode, 3}, {ChoiceList::ScanTime, 16},
    };
    for (auto [list, n] : sizes) {
        EXPECT_EQ(ChoiceCount(list), n);
        EXPECT_NE(ChoiceEntry(list, n - 1), nullptr);
        EXPECT_EQ(ChoiceEntry(list, n), nullptr);
        EXPECT_EQ(ChoiceText(list, n), "");
    }
    EXPECT_EQ(ChoiceText(ChoiceList::ChannelType, 18), "Thermocouple type A3 - GOST");
    EXPECT_EQ(ChoiceText(ChoiceList::ScanTime, 15), "35 ms scan time");
    SetLanguage(LANGUAGE_ITALIAN);
    EXPECT_EQ(ChoiceText(ChoiceList::ScanTime, 15), "scansione 35 ms");
}

TEST(ChoiceLists, UnitOfMeasureMapsEveryTypeFromFourToDegrees)
{
    CoreFixture f;
    EXPECT_EQ(UnitOfMeasureText(0), "");
    EXPECT_EQ(UnitOfMeasureText(1), "mV");
    EXPECT_EQ(UnitOfMeasureText(2), "mV");
    EXPECT_EQ(UnitOfMeasureText(3), "Ohm");
    for (int type : {4, 18, 30, 63}) EXPECT_EQ(UnitOfMeasureText(type), "\xB0""C") << type;
}

TEST(Cp1252, RoundTripsEveryByteAndMapsTheSpecialRange)
{
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80 \xB0""C \xE0"), "\u20AC \u00B0C \u00E0");
    EXPECT_EQ(Utf8ToCp1252("\u2122\u00E8"), "\x99\xE8");
    EXPECT_EQ(Utf8ToCp1252("\u4E2D"), "?");    // not in the code page
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");   // cut sequence
    EXPECT_EQ(Utf8ToCp1252("\xFF""b"), "?b"); // not UTF-8 at all
}

} // namespace
} // namespace tarn
