#include "text/numbers.h"

#include "config/comparison.h"
#include "diag/cell_text.h"
#include "support/comma_locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tarn {
namespace {

std::string Printf(double value, int precision, int width, bool plus)
{
    const std::string format = std::string("%") + (plus ? "+" : "") + std::to_string(width) + "." +
                               std::to_string(precision) + "f";
    char text[512];
    std::snprintf(text, sizeof text, format.c_str(), value);
    return text;
}

// printf in the "C" locale is the reference: rounding of halves, negative zero, padding.
TEST(Numbers, FormatFixedIsPrintfWithADecimalPoint)
{
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    const double values[] = {0.0, -0.0, 0.04, -0.04, 0.05, 0.15, 0.25, 2.5, 25.5, (255 + 0.04) / 10,
                             (-400 + 0.04) / 10, 1e6, -123456.789, 1e-10, -32768.0f / 1000, 32767.0f / 100,
                             3.2767e300, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::quiet_NaN()};
    const struct {
        int precision, width;
        bool plus;
    } formats[] = {{1, 3, false}, {1, 4, true}, {3, 2, true}, {2, 2, true}, {0, 0, false}, {6, 12, false}, {2, 10, true}};
    for (double value : values)
        for (const auto& f : formats)
            EXPECT_EQ(FormatFixed(value, f.precision, f.width, f.plus), Printf(value, f.precision, f.width, f.plus))
                << value << " " << f.precision << " " << f.width << " " << f.plus;
}

TEST(Numbers, ParseReadsWhatScanfReads)
{
    const struct {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"23.4", 23.4},          {" \t-1.5e2 C", -150.0},  {"+.5", 0.5},     {"1,5", 1.0},  // a comma ends it
        {"0x1.8p1", 3.0},        {"-inf", -HUGE_VAL},      {"1e999", HUGE_VAL}, {"", std::nullopt},
        {"abc", std::nullopt},   {"- 1", std::nullopt},    {"+-1", std::nullopt}, {".", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDoubleLikeScanf(c.text), c.value) << c.text;
}

// Under a locale with a decimal comma the C library writes 25,5 and reads 23,4; the core's
// numbers do not follow it, and the programs put LC_NUMERIC back.
TEST(Numbers, ADecimalCommaLocaleReachesNoNumberOfOurs)
{
    const auto comma = testing::MakeCommaLocale();
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma could be made (localedef and Debian's locales package)";
    ::setenv("LOCPATH", comma->path.c_str(), 1);
    const bool switched = std::setlocale(LC_ALL, comma->name.c_str()) != nullptr;
    ::unsetenv("LOCPATH");
    ASSERT_TRUE(switched);
    char c[16];
    std::snprintf(c, sizeof c, "%3.1f", 25.5);
    double scanned = 0;
    std::sscanf("23.4", "%lf", &scanned);
    EXPECT_EQ(std::string(c), "25,5") << "the locale is not in force: this test would prove nothing";
    EXPECT_EQ(scanned, 23.0);

    EXPECT_EQ(ColdJunctionReferenceText(255), "25.5");
    EXPECT_EQ(AnalogCellText(0xFF9C, 4), " -10.0 \xB0" "C ");
    EXPECT_EQ(AnalogCellText(1234, 1), " +1.234 mV ");
    EXPECT_EQ(ParseDoubleLikeScanf("23.4"), 23.4);

    KeepNumericLocaleC();
    std::snprintf(c, sizeof c, "%3.1f", 25.5);
    EXPECT_EQ(std::string(c), "25.5");
    EXPECT_EQ(std::string(std::setlocale(LC_CTYPE, nullptr)), comma->name) << "only the numbers go back to C";
    std::setlocale(LC_ALL, "C");
}

} // namespace
} // namespace tarn
