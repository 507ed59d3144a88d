#include "app/main_menu.h"

#include "config/app_state.h"
#include "text/command_ids.h"
#include "text/text_ids.h"
#include "text/texts.h"

namespace tarn {

namespace {

MenuEntry Command(int id, std::string label, bool enabled = true)
{
    MenuEntry e;
    e.kind = MenuEntry::Kind::Command;
    e.id = id;
    e.label = std::move(label);
    e.enabled = enabled;
    return e;
}

MenuEntry Checked(int id, std::string label, bool checked)
{
    MenuEntry e = Command(id, std::move(label));
    e.checkable = true;
    e.checked = checked;
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

constexpr int kTitleTexts[] = {TEXT_MENU_FILE, TEXT_MENU_CONFIGURE, TEXT_MENU_TEST, TEXT_MENU_TOOLS, TEXT_MENU_SETTINGS, TEXT_MENU_HELP_TITLE};

std::vector<MenuEntry> IdleMenu(const AppState& s)
{
    const bool serial = !s.serialPort.IsNone();
    const bool modbus = !s.modbusPort.IsNone();
    const SystemConfiguration& c = s.current;

    std::vector<MenuEntry> bar;
    bar.push_back(Popup(GetText(TEXT_MENU_FILE), {
        Command(CMD_FILE_NEW, GetText(TEXT_MENU_NEW)),
        Command(CMD_FILE_OPEN, GetText(TEXT_MENU_OPEN)),
        Command(CMD_FILE_SAVE, GetText(TEXT_MENU_SAVE), !s.currentFileName.empty()),
        Command(CMD_FILE_SAVE_AS, GetText(TEXT_MENU_SAVE_AS)),
        Command(CMD_FILE_SAVE_COPY, GetText(TEXT_MENU_SAVE_COPY)),
        Separator(),
        Command(CMD_READ_GATEWAY, GetText(TEXT_MENU_READ_GATEWAY), serial),
        Command(CMD_WRITE_GATEWAY, GetText(TEXT_MENU_WRITE_GATEWAY), serial),
        Separator(),
        Command(CMD_PRINT, GetText(TEXT_MENU_PRINT)),
        Command(CMD_COMMISSIONING_REPORT, GetText(TEXT_MENU_COMMISSIONING_REPORT), serial),
        Separator(),
        Command(CMD_EXIT, GetText(TEXT_MENU_EXIT)),
    }));

    std::vector<MenuEntry> configure = {Command(CMD_CONFIGURE_GATEWAY, GetText(TEXT_MENU_GATEWAY)), Separator()};
    for (int u = 0; u < UNIT_COUNT; ++u) {
        std::vector<MenuEntry> unit = {Command(UnitCommand(u, 0), GetText(TEXT_MENU_SLAVE))};
        for (int k = 1; k <= 3; ++k)
            unit.push_back(Command(UnitCommand(u, k), Numbered(TEXT_MENU_EXPANSION, k), c.units[u].SLAVE_EXP >= static_cast<unsigned>(k)));
        configure.push_back(Popup(Numbered(TEXT_MENU_UNIT, u + 1), std::move(unit)));
    }
    configure.push_back(Separator());
    std::vector<MenuEntry> repeaters;
    for (int r = 0; r < REPEATER_COUNT; ++r)
        repeaters.push_back(Command(RepeaterCommand(r), Numbered(TEXT_MENU_REPEATER, r + 1), c.MASTER_REPT >= static_cast<unsigned>(r + 1)));
    configure.push_back(Popup(GetText(TEXT_MENU_REPEATERS), std::move(repeaters)));
    bar.push_back(Popup(GetText(TEXT_MENU_CONFIGURE), std::move(configure)));

    bar.push_back(Popup(GetText(TEXT_MENU_TEST), {
        Command(CMD_SINGLE_CHANNEL_TEST, GetText(TEXT_MENU_SINGLE_CHANNEL_TEST), serial),
        Command(CMD_EMI_TEST, GetText(TEXT_MENU_EMI_TEST), serial),
        Command(CMD_SERIAL_LIVE_TEST, GetText(TEXT_MENU_SERIAL_LIVE_TEST), serial),
        Command(CMD_MODBUS_LIVE_TEST, GetText(TEXT_MENU_MODBUS_LIVE_TEST), modbus),
        Command(CMD_STATUS_TEST, GetText(TEXT_MENU_STATUS_TEST), serial),
    }));

    std::vector<MenuEntry> calibrate;
    for (int u = 0; u < UNIT_COUNT; ++u) calibrate.push_back(Command(CalibrateCommand(u), GetText(TEXT_MENU_CALIBRATE_UNIT_FIRST + u)));
    bar.push_back(Popup(GetText(TEXT_MENU_TOOLS), {
        Command(CMD_COMPARE_DISK, GetText(TEXT_MENU_COMPARE_DISK)),
        Command(CMD_COMPARE_GATEWAY, GetText(TEXT_MENU_COMPARE_GATEWAY), serial),
        Popup(GetText(TEXT_MENU_CALIBRATE), std::move(calibrate)),
    }));

    bar.push_back(Popup(GetText(TEXT_MENU_SETTINGS), {
        Command(CMD_PORT_SETUP, GetText(TEXT_MENU_PORT_SETUP)),
        Command(CMD_PREFERENCES, GetText(TEXT_MENU_PREFERENCES)),
        Popup(GetText(TEXT_MENU_LANGUAGE), {Command(CMD_ENGLISH, GetText(TEXT_MENU_ENGLISH)), Command(CMD_ITALIAN, GetText(TEXT_MENU_ITALIAN))}),
        Checked(CMD_VERIFY_AFTER_WRITE, GetText(TEXT_MENU_VERIFY_AFTER_WRITE), s.verifyAfterWrite),
    }));

    bar.push_back(Popup(GetText(TEXT_MENU_HELP_TITLE), {Command(CMD_HELP, GetText(TEXT_MENU_HELP)), Command(CMD_ABOUT, GetText(TEXT_MENU_ABOUT))}));
    return bar;
}

std::vector<MenuEntry> LiveTestMenu(const AppState& s, int firstId)
{
    const bool running = s.TestRunning;
    // The trend window's item (firstId + 10) comes after the test's own.
    return {Command(firstId, GetText(TEXT_MENU_TEST_START), !running), Command(firstId + 1, GetText(TEXT_MENU_TEST_STOP), running),
            Command(firstId + 2, GetText(TEXT_MENU_TEST_EXIT), !running),
            Command(firstId + 3, GetText(TEXT_MENU_LOG_TO_FILE), !s.Logging),
            Command(firstId + 4, GetText(TEXT_MENU_STOP_LOGGING), s.Logging),
            Command(firstId + 10, GetText(TEXT_TREND))};
}

} // namespace


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
    return {};  // a mode value outside the enumeration: no menu rather than undefined behaviour
}

} // namespace tarn
