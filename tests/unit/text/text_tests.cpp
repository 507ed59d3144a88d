#include "config/comparison.h"
#include "diag/cell_text.h"
#include "support/comma_locale.h"
#include "text/numbers.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace tarn {
namespace {

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
    EXPECT_EQ(std::string(c), "25,5") << "the locale is not in force: this test would prove nothing";

    EXPECT_EQ(ColdJunctionReferenceText(255), "25.5");
    EXPECT_EQ(AnalogCellText(0xFF9C, 4), " -10.0 \xB0" "C ");
    EXPECT_EQ(ParseDoubleLikeScanf("23.4"), 23.4);

    KeepNumericLocaleC();
    std::snprintf(c, sizeof c, "%3.1f", 25.5);
    EXPECT_EQ(std::string(c), "25.5");
    EXPECT_EQ(std::string(std::setlocale(LC_CTYPE, nullptr)), comma->name) << "only the numbers go back to C";
    std::setlocale(LC_ALL, "C");
}

} // namespace
} // namespace tarn
