#include "app/main_menu.h"

#include "config/app_state.h"
#include "text/texts.h"

#include <array>

namespace tarn {

namespace {

constexpr std::array<int, 53> kCommandIds = {
    1000, 1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800,
    2000, 2100, 2110, 2120, 2130, 2200, 2210, 2220, 2230, 2300, 2310, 2320, 2330, 2400, 2410, 2420, 2430,
    2500, 2510, 2520, 2530,
    3999, 4000, 4100, 4200, 4300,
    5100, 5200, 5300, 5400,
    6000, 6100,
    7000, 7100, 7200, 7300,
    8000, 8200,
    10100, 10101, 10102, 10200, 10201, 10202,
};

MenuEntry Command(int id, std::string label, bool enabled = true)
{
    MenuEntry e;
    e.kind = MenuEntry::Kind::Command;
    e.id = id;
    e.label = std::move(label);
    e.enabled = enabled;
    return e;
}

MenuEntry Popup(std::string label, std::vector<MenuEntry> items = {}, bool enabled = true)
{
    MenuEntry e;
    e.kind = MenuEntry::Kind::Popup;
    e.label = std::move(label);
    e.items = std::move(items);
    e.enabled = enabled;
    return e;
}

MenuEntry Separator()
{
    MenuEntry e;
    e.kind = MenuEntry::Kind::Separator;
    return e;
}

std::string Numbered(int textId, int number) { return GetText(textId) + " " + std::to_string(number); }

constexpr int kTitleTexts[] = {20, 30, 37, 43, 51, 57};

std::vector<MenuEntry> IdleMenu(const AppState& s)
{
    const bool serial = !s.serialPort.IsNone();
    const bool modbus = !s.modbusPort.IsNone();
    const SystemConfiguration& c = s.current;

    std::vector<MenuEntry> bar;
    bar.push_back(Popup(GetText(20), {
        Command(1000, GetText(21)),
        Command(1100, GetText(22)),
        Command(1200, GetText(23), !s.currentFileName.empty()),
        Command(1300, GetText(24)),
        Command(1400, GetText(25)),
        Separator(),
        Command(1500, GetText(26), serial),
        Command(1600, GetText(27), serial),
        Separator(),
        Command(1700, GetText(28)),
        Separator(),
        Command(1800, GetText(29)),
    }));

    std::vector<MenuEntry> configure = {Command(2000, GetText(31)), Separator()};
    for (int u = 0; u < UNIT_COUNT; ++u) {
        std::vector<MenuEntry> unit = {Command(UnitCommand(u, 0), GetText(33))};
        for (int k = 1; k <= 3; ++k)
            unit.push_back(Command(UnitCommand(u, k), Numbered(34, k), c.units[u].SLAVE_EXP >= static_cast<unsigned>(k)));
        configure.push_back(Popup(Numbered(32, u + 1), std::move(unit)));
    }
    configure.push_back(Separator());
    std::vector<MenuEntry> repeaters;
    for (int r = 0; r < REPEATER_COUNT; ++r)
        repeaters.push_back(Command(RepeaterCommand(r), Numbered(36, r + 1), c.MASTER_REPT >= static_cast<unsigned>(r + 1)));
    configure.push_back(Popup(GetText(35), std::move(repeaters)));
    bar.push_back(Popup(GetText(30), std::move(configure)));

    bar.push_back(Popup(GetText(37), {
        Command(4000, GetText(38), serial),
        Command(3999, GetText(39), serial),
        Command(4100, GetText(40), serial),
        Command(4200, GetText(41), modbus),
        Command(4300, GetText(42), serial),
    }));

    std::vector<MenuEntry> calibrate;
    for (int u = 0; u < UNIT_COUNT; ++u) calibrate.push_back(Command(CalibrateCommand(u), GetText(47 + u)));
    bar.push_back(Popup(GetText(43), {
        Command(6000, GetText(44)),
        Command(6100, GetText(45), serial),
        Popup(GetText(46), std::move(calibrate)),
    }));

    bar.push_back(Popup(GetText(51), {
        Command(7000, GetText(52)),
        Command(7100, GetText(53)),
        Popup(GetText(54), {Command(7200, GetText(55)), Command(7300, GetText(56))}),
    }));

    bar.push_back(Popup(GetText(57), {Command(8000, GetText(60)), Command(8200, GetText(58))}));
    return bar;
}

std::vector<MenuEntry> LiveTestMenu(const AppState& s, int firstId)
{
    const bool running = s.TestRunning;
    return {Command(firstId, GetText(61), !running), Command(firstId + 1, GetText(62), running),
            Command(firstId + 2, GetText(63), !running)};
}

} // namespace

std::span<const int> MainMenuCommandIds() { return kCommandIds; }

std::vector<MenuEntry> BuildMainMenu(const AppState& s)
{
    switch (s.mode) {
    case AppMode::Idle: return IdleMenu(s);
    case AppMode::ReadGateway:
    case AppMode::WriteGateway:
    case AppMode::CompareGateway: {
        std::vector<MenuEntry> bar;
        for (int text : kTitleTexts) bar.push_back(Popup(GetText(text), {}, false));
        return bar;
    }
    case AppMode::PrepareSerialTest: return {Popup(" ", {}, false)};
    case AppMode::SerialTest: return LiveTestMenu(s, CMD_SERIAL_TEST_START);
    case AppMode::ModbusTest: return LiveTestMenu(s, CMD_MODBUS_TEST_START);
    }
}

} // namespace tarn
