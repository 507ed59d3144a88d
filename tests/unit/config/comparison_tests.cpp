#include "config/comparison.h"

#include "config/app_state.h"
#include "config/default_config.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::TempDir;

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

TEST_F(Comparison, DefaultAgainstItselfIsOkEverywhere)
{
    EXPECT_EQ(Compare(), 0);
    std::vector<std::string> expected = {
        "Master",
        Item("Tag of Master", "Ok", "Tag 0.0", "Tag 0.0"),
        Item("Slave connection", "Ok", "Use Line # 1", "Use Line # 1"),
        Item("Line frequency", "Ok", "50 Hz", "50 Hz"),
        Item("Number of repeaters", "Ok", "No Repeater", "No Repeater"),
        Item("Repeater connect. matrix 1", "Ok", "0", "0"),
        Item("Repeater connect. matrix 2", "Ok", "1", "1"),
        Item("Repeater connect. matrix 3", "Ok", "2", "2"),
        Item("Repeater connect. matrix 4", "Ok", "3", "3"),
        Item("Modbus Address", "Ok", "1", "1"),
        Item("Modbus baudrate", "Ok", "9600", "9600"),
        Item("Modbus format", "Ok", "8 N 1", "8 N 1"),
        Item("Modbus change config", "Ok", "No", "No"),
    };
    for (int u = 1; u <= 4; ++u) {
        expected.push_back(kSeparator);
        expected.push_back("Slave " + std::to_string(u));
        expected.push_back(Item("Type of Slave", "Ok", "No Unit", "No Unit"));
    }
    EXPECT_EQ(Lines(report), expected);
}

TEST_F(Comparison, EachMasterItemReportsItsOwnDifference)
{
    struct Case {
        const char* name;
        std::function<void(SystemConfiguration&)> change;
        std::string line;
    } cases[] = {
        {"tag differing by case", [](auto& c) { SetFieldText(c.MASTER_TAG, "TAG 0.0"); },
         Item("Tag of Master", "Error", "Tag 0.0", "TAG 0.0")},
        {"tag with a trailing blank", [](auto& c) { SetFieldText(c.MASTER_TAG, "Tag 0.0 "); },
         Item("Tag of Master", "Error", "Tag 0.0", "Tag 0.0 ")},
        {"line use", [](auto& c) { c.MASTER_CABLE = 3; },
         Item("Slave connection", "Error", "Use Line # 1", "Use Both Lines in Smart Mode")},
        {"frequency", [](auto& c) { c.MASTER_FREQ = 1; }, Item("Line frequency", "Error", "50 Hz", "60 Hz")},
        {"repeaters", [](auto& c) { c.MASTER_REPT = 4; },
         Item("Number of repeaters", "Error", "No Repeater", "4 Repeaters")},
        {"repeater count beyond the list", [](auto& c) { c.MASTER_REPT = 7; },
         Item("Number of repeaters", "Error", "No Repeater", "7")},
        {"matrix entry 3", [](auto& c) { c.MASTER_REPT_MAT[2] = 0; },
         Item("Repeater connect. matrix 3", "Error", "2", "0")},
        {"modbus address", [](auto& c) { c.MASTER_MOD_ADDR = 250; }, Item("Modbus Address", "Error", "1", "250")},
        {"baud rate", [](auto& c) { c.MASTER_MOD_BAUD = 5; }, Item("Modbus baudrate", "Error", "9600", "115200")},
        {"format", [](auto& c) { c.MASTER_MOD_FORM = 3; }, Item("Modbus format", "Error", "8 N 1", "8 N 2")},
        {"configuration via modbus", [](auto& c) { c.MASTER_MOD_CONFIG = 1; },
         Item("Modbus change config", "Error", "No", "Yes")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        b = a;
        c.change(b);
        EXPECT_EQ(Compare(), 1);
        const auto lines = Lines(report);
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << report.substr(0, 1200);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.find("\tError\t") != std::string::npos; }),
                  1);
    }
}

TEST_F(Comparison, FieldsOutsideTheReportAreNotCompared)
{
    SetFieldText(b.ORGANIZATION, "Somebody else");
    SetFieldText(b.DOCUMENT, "D-17");
    b.master_param1 = 99;
    b.units[0].second_type = 3;
    b.units[0].channels[0].live_value = 1234;
    EXPECT_EQ(Compare(), 0);
}

TEST_F(Comparison, UnitTypeMismatchGivesOneLineAndNoChannels)
{
    a.units[1].SLAVE_TYPE = UNIT_KX913;
    a.units[1].SLAVE_CJC = -400;
    EXPECT_EQ(Compare(), 1);
    const auto section = UnitSection(Lines(report), 2);
    EXPECT_EQ(section, (std::vector<std::string>{"Slave 2", Item("Type of Slave", "Error", "KX913", "No Unit")}));

    b = a;
    b.units[1].SLAVE_TYPE = UNIT_KX927;
    EXPECT_EQ(Compare(), 1);
    EXPECT_EQ(UnitSection(Lines(report), 2),
              (std::vector<std::string>{"Slave 2", Item("Type of Slave", "Error", "KX913", "KX927")}));
}

TEST_F(Comparison, AnalogUnitItemsReportTheirDifferences)
{
    a.units[2].SLAVE_TYPE = b.units[2].SLAVE_TYPE = UNIT_KX913;
    b.units[2].SLAVE_EXP = 2;
    a.units[2].SLAVE_CJC = -400;
    SetFieldText(b.units[2].channels[17].tag, "TAG 3.18");
    a.units[2].channels[63].word = 0x0087; // beyond the modules of SLAVE_EXP, compared all the same
    EXPECT_EQ(Compare(), 4);
    const auto section = UnitSection(Lines(report), 3);
    auto has = [&](const std::string& line) { return std::find(section.begin(), section.end(), line) != section.end(); };
    EXPECT_TRUE(has(Item("Expansions", "Error", "0", "2")));
    EXPECT_TRUE(has(Item("Cold juncrion fixed ref.", "Error", "-40.0", "0.0")));
    EXPECT_TRUE(has(Item("Ch 18 - Tag", "Error", "Tag 3.18", "TAG 3.18")));
    EXPECT_TRUE(has(Item("Ch 64 - Configuration", "Error",
                         "Thermocouple type K - Burnout Upscale - Auto Cold Junction - No Filter", "Channel Off")));
}

TEST(ComparisonValues, ColdJunctionReferenceInDegrees)
{
    CoreFixture core;
    const std::pair<std::int32_t, const char*> cases[] = {
        {-400, "-40.0"}, {0, "0.0"}, {255, "25.5"}, {1000, "100.0"}, {-1, "-0.1"}, {5, "0.5"}, {-15, "-1.5"},
    };
    for (const auto& [reference, text] : cases) EXPECT_EQ(ColdJunctionReferenceText(reference), text) << reference;
}

TEST(ComparisonValues, AnalogDescriptionFollowsTheClassOfTheType)
{
    CoreFixture core;
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x0000, "Channel Off"},
        {0xFFC0, "Channel Off"}, // type 0: the other bits mean nothing
        {0x0087, "Thermocouple type K - Burnout Upscale - Auto Cold Junction - No Filter"},
        {0x1883, "Resistance 0.0 to 400.0 Ohm - 4 Wire connection - Slow Filter"},
        {0x1181, "-21.000 to +21.000 mV - Coded Burnout - Medium Filter"},
        {0x0202, "-21.00 to +80.00 mV - No Burnout - No Filter"}, // bit 9 is no field of type 2
        {0x0211, "Thermocouple type A2 - GOST - No Burnout - Fixed Cold Junction - No Filter"},
        {0x0892, "Thermocouple type A3 - GOST - 4 Wire connection - Fast Filter"},
        {0x0393, "Thermores. Pt 100 a=385 - 4 Wire connection - No Filter"},
        {0x001E, "Compensator Quillet option 91 - 3 Wire connection - No Filter"},
        {0x0028, "40 - 3 Wire connection - No Filter"}, // a type without a name shows its number
    };
    for (const auto& [word, text] : cases) EXPECT_EQ(AnalogChannelDescription(word), text) << std::hex << word;
}

TEST(ComparisonValues, DigitalDescriptionIsModeAndScanTime)
{
    CoreFixture core;
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x0000, "Channel Off - 1 ms scan time"},
        {0x0021, "Active no Fault - 5 ms scan time"},
        {0x007B, "Active with Fault - 35 ms scan time"},
        {0x007A, "Active with Fault - 35 ms scan time"}, // code 2 reads as mode 2 too
        {0x0063, "Active with Fault - 20 ms scan time"},
    };
    for (const auto& [word, text] : cases) EXPECT_EQ(DigitalChannelDescription(word), text) << std::hex << word;
}

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

TEST_F(Comparison, FullyConfiguredInstallationIsReportedWhole)
{
    a = testing::FullInstallation(testing::FOUR_FULL_KX913);
    b = a;
    for (UnitRecord& unit : b.units)
        for (ChannelRecord& channel : unit.channels) channel.word ^= 0x1000;  // another filter everywhere

    EXPECT_EQ(Compare(), 4 * 64);
    EXPECT_GT(report.size(), 30000u);
    const auto lines = Lines(report);
    // Master block, then per unit: separator, heading, type, expansions, reference, 4 blanks, 128 items.
    EXPECT_EQ(lines.size(), 13u + 4 * (1 + 1 + 1 + 1 + 1 + 4 + 128));
    EXPECT_EQ(lines.back(), Item("Ch 64 - Configuration", "Error", "-21.00 to +80.00 mV - No Burnout - No Filter",
                                 "-21.00 to +80.00 mV - No Burnout - Medium Filter"));
    EXPECT_EQ(UnitSection(lines, 4)[1 + 3 + 1], Item("Ch 1 - Tag", "Ok", "TI 401 \xB0" "C", "TI 401 \xB0" "C"));
}

TEST_F(Comparison, ItalianReport)
{
    SetLanguage(LANGUAGE_ITALIAN);
    a.units[0].SLAVE_TYPE = UNIT_KX913;
    b.MASTER_MOD_CONFIG = 1;
    EXPECT_EQ(Compare(), 2);
    const auto lines = Lines(report);
    EXPECT_EQ(lines[0], "Master");
    EXPECT_EQ(lines[1], Item("Tag del Master", "Ok", "Tag 0.0", "Tag 0.0"));
    EXPECT_EQ(lines[12], Item("Modifica da Modbus", "Errore", "No", "Si"));
    EXPECT_EQ(UnitSection(lines, 1),
              (std::vector<std::string>{"Slave 1", Item("Tipo di Slave", "Errore", "KX913", "Nessuna unit\340")}));

    b.units[0].SLAVE_TYPE = UNIT_KX913;
    b.units[0].channels[0].word = 0x1883;
    Compare();
    const auto section = UnitSection(Lines(report), 1);
    EXPECT_EQ(section[2], Item("Espansioni", "Ok", "0", "0"));
    EXPECT_EQ(section[3], Item("Riferimento giunto freddo", "Ok", "0.0", "0.0"));
    EXPECT_EQ(section[6], Item("Ch 1 - Configurazione", "Errore", "Canale Off",
                               "Resistenza 0.0 ... 400.0 Ohm - Connessione a 4 fili - Filtro Lento"));
}

class CompareWithDiskCommand : public ::testing::Test {
protected:
    CompareWithDiskCommand()
    {
        BuildDefaultConfiguration(core.state.current);
        CopyConfiguration(core.state.disk, core.state.current);
        core.state.comparisonReport = "earlier report";
        core.state.comparisonErrors = 7;
    }

    std::string WriteFile(const std::string& name, const std::string& text) { return testing::WriteFile(dir.file(name), text); }

    CoreFixture core;
    TempDir dir;
};

TEST_F(CompareWithDiskCommand, ReportsTheChosenFileAgainstTheCurrentImage)
{
    core.state.FileModified = true;
    const SystemConfiguration before = core.state.current;
    core.ui.openChoices.push_back(WriteFile("plant.mcf", " slave_type 0x01 0x0003\r\n MASTER_FREQ 0x0001\r\n"));

    EXPECT_EQ(CompareWithDisk(core.state), 1);
    ASSERT_EQ(core.ui.reports.size(), 1u);
    EXPECT_EQ(core.ui.reports[0], core.state.comparisonReport);
    const auto lines = Lines(core.state.comparisonReport);
    EXPECT_EQ(lines[0], "Actual Configuration\t\t\tDisk Configuration");
    EXPECT_EQ(lines[1], "Master");
    EXPECT_EQ(lines[4], Item("Line frequency", "Error", "50 Hz", "60 Hz"));
    EXPECT_EQ(UnitSection(lines, 2),
              (std::vector<std::string>{"Slave 2", Item("Type of Slave", "Error", "No Unit", "KX927")}));
    EXPECT_EQ(core.state.comparisonErrors, 2);
    // The current image and the flags stay as they were.
    EXPECT_EQ(std::memcmp(&before, &core.state.current, sizeof before), 0);
    EXPECT_TRUE(core.state.FileModified);
    EXPECT_FALSE(core.state.GatewayModified);
    EXPECT_TRUE(core.ui.texts(MessageIcon::Error).empty());
}

TEST_F(CompareWithDiskCommand, CancelledOrFaultyFileShowsNoReport)
{
    core.ui.openChoices.push_back(std::nullopt);
    EXPECT_EQ(CompareWithDisk(core.state), 0);
    EXPECT_TRUE(core.ui.messages.empty());

    core.ui.openChoices.push_back(WriteFile("bad.mcf", " MASTER_FREQ 0x0001\r\n SLAVE_TYPE 0x00 0x0002\r\n"));
    EXPECT_EQ(CompareWithDisk(core.state), 0);
    EXPECT_EQ(core.ui.texts(MessageIcon::Error).size(), 1u);

    core.ui.openChoices.push_back(dir.file("missing.mcf"));
    EXPECT_EQ(CompareWithDisk(core.state), 0);
    EXPECT_EQ(core.ui.texts(MessageIcon::Error).size(), 2u);

    EXPECT_TRUE(core.ui.reports.empty());
    EXPECT_EQ(core.state.comparisonReport, "earlier report");
    EXPECT_EQ(core.state.comparisonErrors, 7);
}

} // namespace
} // namespace tarn
