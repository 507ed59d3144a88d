#include "config/comparison.h"

#include "config/app_state.h"
#include "config/default_config.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;

const std::string kSeparator(320, '-');

// The report cut at its CR LF line ends; a lone LF or CR would be a fault of the report.
std::vector<std::string> Lines(const std::string& report)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < report.size()) {
        const std::size_t end = report.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "report does not end with CR LF";
            lines.push_back(report.substr(start));
            break;
        }
        lines.push_back(report.substr(start, end - start));
        start = end + 2;
    }
    for (const auto& line : lines)
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break in: " << line;
    return lines;
}

std::string Item(const std::string& label, const std::string& verdict, const std::string& a, const std::string& b)
{
    return "  " + label + "\t" + verdict + "\t<" + a + ">\t<" + b + ">";
}

// The lines of one unit's section, from its "Slave n" heading up to the next separator.
std::vector<std::string> UnitSection(const std::vector<std::string>& lines, int unitNumber)
{
    const std::string heading = "Slave " + std::to_string(unitNumber);
    auto begin = std::find(lines.begin(), lines.end(), heading);
    if (begin == lines.end()) {
        ADD_FAILURE() << "no heading " << heading;
        return {};
    }
    EXPECT_EQ(*(begin - 1), kSeparator);
    auto end = std::find(begin, lines.end(), kSeparator);
    return {begin, end};
}

class Comparison : public ::testing::Test {
protected:
    Comparison() { BuildDefaultConfiguration(a); b = a; }

    int Compare()
    {
        report.clear();
        return CompareConfigurations(report, a, b);
    }

    CoreFixture core;
    SystemConfiguration a{};
    SystemConfiguration b{};
    std::string report;
};

TEST_F(Comparison, DigitalUnitComparesThirtyTwoChannels)
{
    a.units[3].SLAVE_TYPE = b.units[3].SLAVE_TYPE = UNIT_KX927;
    a.units[3].channels[5].word = 0x21;
    b.units[3].channels[40].word = 0x7B; // beyond the 32 digital channels: not compared
    a.units[3].SLAVE_CJC = 100;          // no meaning for a digital unit: not compared
    EXPECT_EQ(Compare(), 1);
    const auto section = UnitSection(Lines(report), 4);
    ASSERT_EQ(section.size(), 1u + 1 + 2 + 64);
    EXPECT_EQ(section[2], "");
    EXPECT_EQ(section[3], Item("Ch 1 - Tag", "Ok", "Tag 4.01", "Tag 4.01"));
    EXPECT_EQ(section[14], Item("Ch 6 - Configuration", "Error", "Active no Fault - 5 ms scan time",
                                "Channel Off - 1 ms scan time"));
    EXPECT_EQ(section[35], "");
    EXPECT_EQ(section[36], Item("Ch 17 - Tag", "Ok", "Tag 4.17", "Tag 4.17"));
    EXPECT_EQ(section.back(), Item("Ch 32 - Configuration", "Ok", "Channel Off - 1 ms scan time",
                                   "Channel Off - 1 ms scan time"));
}

} // namespace
} // namespace tarn
