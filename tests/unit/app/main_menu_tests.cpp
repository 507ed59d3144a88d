#include "app/main_menu.h"

#include "config/app_state.h"
#include "menu_lines.h"
#include "support/recording_ui.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::MenuLines;

class MainMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        f.state.serialPort = {1, {}};
        f.state.modbusPort = {0, "/dev/ttyUSB1"};
        f.state.currentFileName = "/plant/boiler.mcf";
        f.state.current.MASTER_REPT = 4;
        for (UnitRecord& u : f.state.current.units) u.SLAVE_EXP = 3;
    }
    // Whether the command is enabled in the bar in force.
    bool Enabled(int id)
    {
        for (const std::string& line : MenuLines(BuildMainMenu(f.state)))
            if (line.find("[" + std::to_string(id) + "]") != std::string::npos) return line.find("(grayed)") == std::string::npos;
        ADD_FAILURE() << "no command " << id;
        return false;
    }
    CoreFixture f;
};

TEST_F(MainMenu, IdleBarHasEveryMenuWithItsCommands)
{
    std::vector<std::string> expected = {
        "File", "File > New [1000]", "File > Open [1100]", "File > Save [1200]", "File > Save As... [1300]",
        "File > Save a Copy [1400]", "File > ---", "File > Read Configuration from KX940 [1500]",
        "File > Write Configuration to KX940 [1600]", "File > ---", "File > Print [1700]", "File > ---",
        "File > Exit [1800]", "Configure", "Configure > KX940 [2000]", "Configure > ---"};
    for (int n = 1; n <= 4; ++n) {
        const std::string unit = "Configure > Unit " + std::to_string(n);
        expected.push_back(unit);
        expected.push_back(unit + " > Slave [" + std::to_string(2000 + 100 * n) + "]");
        for (int k = 1; k <= 3; ++k)
            expected.push_back(unit + " > Expansion " + std::to_string(k) + " [" + std::to_string(2000 + 100 * n + 10 * k) + "]");
    }
    const std::vector<std::string> rest = {
        "Configure > ---", "Configure > Repeaters", "Configure > Repeaters > Repeater 1 [2500]",
        "Configure > Repeaters > Repeater 2 [2510]", "Configure > Repeaters > Repeater 3 [2520]",
        "Configure > Repeaters > Repeater 4 [2530]",
        "Test", "Test > Test single Channel [4000]", "Test > EMI Test [3999]",
        "Test > Test global system with serial [4100]", "Test > Test global system with Modbus [4200]",
        "Test > Test Status [4300]",
        "Tools", "Tools > Compare Configuration with Disk [6000]", "Tools > Compare Configuration with Gateway [6100]",
        "Tools > Calibrate KX913", "Tools > Calibrate KX913 > KX913 #1 [5100]", "Tools > Calibrate KX913 > KX913 #2 [5200]",
        "Tools > Calibrate KX913 > KX913 #3 [5300]", "Tools > Calibrate KX913 > KX913 #4 [5400]",
        "Settings", "Settings > Serial Port Setup [7000]", "Settings > Preferences [7100]", "Settings > Language",
        "Settings > Language > English [7200]", "Settings > Language > Italiano [7300]",
        "?", "? > Help on Tarn Configurator [8000]", "? > About this version [8200]"};
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(MenuLines(BuildMainMenu(f.state)), expected);

    SetLanguage(LANGUAGE_ITALIAN);
    const std::vector<std::string> italian = MenuLines(BuildMainMenu(f.state));
    ASSERT_EQ(italian.size(), expected.size());
    EXPECT_EQ(italian[13], "Configurazione");
    EXPECT_EQ(italian[18], "Configurazione > Unit\340 1 > Espansione 1 [2110]");
    EXPECT_EQ(italian.back(), "? > Informazioni su questa Versione [8200]");
}

TEST_F(MainMenu, IdleEnablingFollowsPortsFileNameExpansionsAndRepeaters)
{
    const struct {
        const char* name;
        std::function<void(AppState&)> change;
        std::map<int, bool> enabled;
    } cases[] = {
        {"no serial port", [](AppState& s) { s.serialPort = {}; },
         {{1500, false}, {1600, false}, {3999, false}, {4000, false}, {4100, false}, {4300, false}, {6100, false},
          {4200, true}, {6000, true}}},
        {"no Modbus port", [](AppState& s) { s.modbusPort = {}; }, {{4200, false}, {4100, true}}},
        {"never saved", [](AppState& s) { s.currentFileName.clear(); }, {{1200, false}, {1300, true}, {1400, true}}},
        {"one expansion; no unit",
         [](AppState& s) {
             s.current.units[1].SLAVE_EXP = 1;
             s.current.units[3] = {};
         },
         {{2200, true}, {2210, true}, {2220, false}, {2230, false}, {2400, true}, {2410, false}}},
        {"two repeaters", [](AppState& s) { s.current.MASTER_REPT = 2; }, {{2510, true}, {2520, false}}},
        {"no repeater", [](AppState& s) { s.current.MASTER_REPT = 0; }, {{2500, false}, {2530, false}, {2000, true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.change(f.state);
        for (const auto& [id, on] : c.enabled) EXPECT_EQ(Enabled(id), on) << id;
    }
    EXPECT_EQ(MenuLines(BuildMainMenu(f.state))[37], "Configure > Repeaters") << "the popup stays enabled";
}

TEST_F(MainMenu, BusyModesShowTheirOwnBars)
{
    const std::vector<std::string> grayedTitles = {"File (grayed)", "Configure (grayed)", "Test (grayed)",
                                                   "Tools (grayed)", "Settings (grayed)", "? (grayed)"};
    const struct {
        AppMode mode;
        bool testRunning;
        std::vector<std::string> bar;
    } cases[] = {
        {AppMode::ReadGateway, false, grayedTitles},
        {AppMode::WriteGateway, false, grayedTitles},
        {AppMode::CompareGateway, false, grayedTitles},
        {AppMode::PrepareSerialTest, false, {"  (grayed)"}},
        {AppMode::SerialTest, false, {"Start [10100]", "Stop [10101] (grayed)", "Exit [10102]"}},
        {AppMode::SerialTest, true, {"Start [10100] (grayed)", "Stop [10101]", "Exit [10102] (grayed)"}},
        {AppMode::ModbusTest, false, {"Start [10200]", "Stop [10201] (grayed)", "Exit [10202]"}},
        {AppMode::ModbusTest, true, {"Start [10200] (grayed)", "Stop [10201]", "Exit [10202] (grayed)"}},
    };
    for (const auto& c : cases) {
        f.state.mode = c.mode;
        f.state.TestRunning = c.testRunning;
        EXPECT_EQ(MenuLines(BuildMainMenu(f.state)), c.bar) << static_cast<int>(c.mode) << (c.testRunning ? " running" : "");
    }
}

} // namespace
} // namespace tarn
