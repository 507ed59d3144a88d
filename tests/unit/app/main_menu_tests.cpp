#include "app/main_menu.h"

#include "config/app_state.h"
#include "support/recording_ui.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;

// One line per entry: the path of labels, the id of a command, "(grayed)" when disabled.
void Flatten(const std::vector<MenuEntry>& entries, const std::string& path, std::vector<std::string>& out)
{
    for (const MenuEntry& e : entries) {
        const std::string grayed = e.enabled ? "" : " (grayed)";
        switch (e.kind) {
        case MenuEntry::Kind::Separator: out.push_back(path + "---"); break;
        case MenuEntry::Kind::Command: out.push_back(path + e.label + " [" + std::to_string(e.id) + "]" + grayed); break;
        case MenuEntry::Kind::Popup:
            out.push_back(path + e.label + grayed);
            Flatten(e.items, path + e.label + " > ", out);
            break;
        }
    }
}

std::vector<std::string> Flat(const std::vector<MenuEntry>& bar)
{
    std::vector<std::string> out;
    Flatten(bar, "", out);
    return out;
}

// Whether the command id is enabled in the bar; fails the test when the id is absent.
bool Enabled(const std::vector<MenuEntry>& bar, int id)
{
    for (const std::string& line : Flat(bar))
        if (line.find("[" + std::to_string(id) + "]") != std::string::npos) return line.find("(grayed)") == std::string::npos;
    ADD_FAILURE() << "no command " << id;
    return false;
}

// The command ids in menu order.
void Ids(const std::vector<MenuEntry>& entries, std::vector<int>& out)
{
    for (const MenuEntry& e : entries) {
        if (e.kind == MenuEntry::Kind::Command) out.push_back(e.id);
        Ids(e.items, out);
    }
}

std::vector<int> Ids(const std::vector<MenuEntry>& bar)
{
    std::vector<int> out;
    Ids(bar, out);
    return out;
}

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
    CoreFixture f;
};

TEST_F(MainMenu, IdleBarHasEveryMenuWithItsCommands)
{
    const std::vector<std::string> expected = {
        "File", "File > New [1000]", "File > Open [1100]", "File > Save [1200]", "File > Save As... [1300]",
        "File > Save a Copy [1400]", "File > ---", "File > Read Configuration from KX940 [1500]",
        "File > Write Configuration to KX940 [1600]", "File > ---", "File > Print [1700]", "File > ---",
        "File > Exit [1800]",
        "Configure", "Configure > KX940 [2000]", "Configure > ---",
        "Configure > Unit 1", "Configure > Unit 1 > Slave [2100]", "Configure > Unit 1 > Expansion 1 [2110]",
        "Configure > Unit 1 > Expansion 2 [2120]", "Configure > Unit 1 > Expansion 3 [2130]",
        "Configure > Unit 2", "Configure > Unit 2 > Slave [2200]", "Configure > Unit 2 > Expansion 1 [2210]",
        "Configure > Unit 2 > Expansion 2 [2220]", "Configure > Unit 2 > Expansion 3 [2230]",
        "Configure > Unit 3", "Configure > Unit 3 > Slave [2300]", "Configure > Unit 3 > Expansion 1 [2310]",
        "Configure > Unit 3 > Expansion 2 [2320]", "Configure > Unit 3 > Expansion 3 [2330]",
        "Configure > Unit 4", "Configure > Unit 4 > Slave [2400]", "Configure > Unit 4 > Expansion 1 [2410]",
        "Configure > Unit 4 > Expansion 2 [2420]", "Configure > Unit 4 > Expansion 3 [2430]",
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
        "?", "? > Help on Tarn Configurator [8000]", "? > About this version [8200]",
    };
    EXPECT_EQ(Flat(BuildMainMenu()), expected);
}

TEST_F(MainMenu, ItalianBarHasTheSameCommandsWithItalianLabels)
{
    const std::vector<MenuEntry> english = BuildMainMenu();
    SetLanguage(LANGUAGE_ITALIAN);
    const std::vector<MenuEntry> italian = BuildMainMenu();
    ASSERT_EQ(italian.size(), english.size());
    std::vector<std::string> titles;
    for (const MenuEntry& m : italian) titles.push_back(m.label);
    EXPECT_EQ(titles, (std::vector<std::string>{"File", "Configurazione", "Test", "Utilit\340", "Impostazioni", "?"}));
    EXPECT_EQ(italian[1].items[2].label, "Unit\340 1");
    EXPECT_EQ(italian[1].items[2].items[1].label, "Espansione 1");
    EXPECT_EQ(Ids(italian), Ids(english));
}

TEST_F(MainMenu, IdleEnablingFollowsPortsFileNameExpansionsAndRepeaters)
{
    const struct {
        const char* name;
        std::function<void(AppState&)> change;
        std::map<int, bool> enabled;
    } cases[] = {
        {"all there", [](AppState&) {}, {{1200, true}, {1500, true}, {4200, true}, {2430, true}, {2530, true}}},
        {"no serial port",
         [](AppState& s) { s.serialPort = {}; },
         {{1500, false}, {1600, false}, {3999, false}, {4000, false}, {4100, false}, {4300, false}, {6100, false},
          {4200, true}, {6000, true}, {1000, true}}},
        {"no Modbus port", [](AppState& s) { s.modbusPort = {}; }, {{4200, false}, {4100, true}}},
        {"never saved", [](AppState& s) { s.currentFileName.clear(); }, {{1200, false}, {1300, true}, {1400, true}}},
        {"one expansion, unit without any",
         [](AppState& s) {
             s.current.units[1].SLAVE_EXP = 1;
             s.current.units[3] = {};
         },
         {{2200, true}, {2210, true}, {2220, false}, {2230, false}, {2400, true}, {2410, false}}},
        {"two repeaters", [](AppState& s) { s.current.MASTER_REPT = 2; },
         {{2500, true}, {2510, true}, {2520, false}, {2530, false}}},
        {"no repeater", [](AppState& s) { s.current.MASTER_REPT = 0; },
         {{2500, false}, {2530, false}, {2000, true}, {7000, true}, {8200, true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.change(f.state);
        const std::vector<MenuEntry> bar = BuildMainMenu();
        for (const auto& [id, on] : c.enabled) EXPECT_EQ(Enabled(bar, id), on) << id;
    }
    // The Repeaters popup itself stays enabled without repeaters.
    f.state.current.MASTER_REPT = 0;
    EXPECT_EQ(Flat(BuildMainMenu())[37], "Configure > Repeaters");
}

TEST_F(MainMenu, BusyModesShowTheirOwnBars)
{
    const std::vector<std::string> grayedTitles = {"File (grayed)", "Configure (grayed)", "Test (grayed)",
                                                   "Tools (grayed)", "Settings (grayed)", "? (grayed)"};
    const struct {
        int mode;
        bool testRunning;
        std::vector<std::string> bar;
    } cases[] = {
        {MODE_READ_GATEWAY, false, grayedTitles},
        {MODE_WRITE_GATEWAY, false, grayedTitles},
        {MODE_COMPARE_GATEWAY, false, grayedTitles},
        {MODE_PREPARE_SERIAL_TEST, false, {"  (grayed)"}},
        {MODE_SERIAL_TEST, false, {"Start [10100]", "Stop [10101] (grayed)", "Exit [10102]"}},
        {MODE_SERIAL_TEST, true, {"Start [10100] (grayed)", "Stop [10101]", "Exit [10102] (grayed)"}},
        {MODE_MODBUS_TEST, false, {"Start [10200]", "Stop [10201] (grayed)", "Exit [10202]"}},
        {MODE_MODBUS_TEST, true, {"Start [10200] (grayed)", "Stop [10201]", "Exit [10202] (grayed)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + (c.testRunning ? " running" : ""));
        f.state.AppMode = c.mode;
        f.state.TestRunning = c.testRunning;
        EXPECT_EQ(Flat(BuildMainMenu()), c.bar);
    }
    f.state.AppMode = MODE_SERIAL_TEST;
    f.state.TestRunning = false;
    SetLanguage(LANGUAGE_ITALIAN);
    EXPECT_EQ(Flat(BuildMainMenu()).back(), "Fine [10102]");
}

TEST_F(MainMenu, CommandTableListsEveryIdOnce)
{
    // The commands of the idle bar, then those of the two live-test bars.
    std::vector<int> all = Ids(BuildMainMenu());
    for (int mode : {MODE_SERIAL_TEST, MODE_MODBUS_TEST}) {
        f.state.AppMode = mode;
        const std::vector<int> live = Ids(BuildMainMenu());
        all.insert(all.end(), live.begin(), live.end());
    }
    std::vector<int> table(MainMenuCommandIds().begin(), MainMenuCommandIds().end());
    std::sort(all.begin(), all.end());
    std::sort(table.begin(), table.end());
    EXPECT_EQ(table, all);
    EXPECT_EQ(std::adjacent_find(table.begin(), table.end()), table.end());
}

} // namespace
} // namespace tarn
