#include "link/port_setup.h"

#include "link/link.h"
#include "link/network_port.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <algorithm>
#include <cstdint>

namespace tarn {

std::vector<std::string> PortListEntries(std::vector<std::string> found, const PortSetting& serial,
                                         const PortSetting& modbus,
                                         const std::function<bool(const std::string&)>& opens)
{
    for (const PortSetting* stored : {&serial, &modbus}) {
        const std::string device = stored->DevicePath();
        if (device.empty() || std::find(found.begin(), found.end(), device) != found.end()) continue;
        // A device server is not probed: a connection would take its one client slot, and
        // an unreachable one would hold the dialog up to the connect limit.
        if (IsNetworkPortName(device) || opens(device)) found.push_back(device);
    }
    return found;
}

StoredPortSelection SelectStoredPort(const std::vector<std::string>& entries, const PortSetting& stored)
{
    if (stored.IsNone()) return {0, false};
    const auto it = std::find(entries.begin(), entries.end(), stored.DevicePath());
    if (it == entries.end()) return {static_cast<int>(entries.size()) + 1, true};
    return {static_cast<int>(it - entries.begin()) + 1, false};
}

std::string UnavailableStoredPortText(int textId, const PortSetting& stored)
{
    return GetText(textId) + ":\n" + stored.DevicePath();
}

PortSetting PortSettingForDevice(const std::string& device)
{
    if (device.empty()) return {};
    for (int n = 1; n <= 256; ++n)
        if (PortSetting{n, {}}.DevicePath() == device) return {n, {}};
    return {0, device};
}

int TestSerialLink(GatewayLinks& links, const PortSetting& port)
{
    UserInterface& ui = *links.state().ui;
    if (port.IsNone()) {
        ShowErrorBox(ui, GetText(TEXT_PORT_UNDEFINED));
        return 0;
    }
    SerialReply reply;
    {
        Link link = links.Make(port.DevicePath(), LineSettings{19200, 8, Parity::None, 1});
        if (const LinkError& error = link.OpenError(); !link.IsOpen()) {
            ShowErrorBoxWithDetails(ui, GetText(TEXT_UNAVAILABLE_PORT), error.reason);
            return 0;
        }
        reply = link.SerialExchange("C1.01");
    }
    if (!reply.ok()) {
        ShowErrorBox(ui, GetText(TEXT_IMPOSSIBLE_TO_COMMUNICATE));
        return 0;
    }
    if (reply.text.compare(0, 6, "C1.01=") != 0) {
        ShowErrorBox(ui, GetText(TEXT_WRONG_GATEWAY_RESPONSE));
        return 0;
    }
    ShowInfoBox(ui, GetText(TEXT_GATEWAY_COMMUNICATION_OK));
    return 1;
}

int TestModbusLink(GatewayLinks& links, const PortSetting& port)
{
    AppState& state = links.state();
    UserInterface& ui = *state.ui;
    if (port.IsNone()) {
        ShowErrorBox(ui, GetText(TEXT_PORT_UNDEFINED));
        return 0;
    }
    RegisterRead read;
    {
        const std::optional<ModbusLine> line = ModbusLineFor(state.current.MASTER_MOD_BAUD, state.current.MASTER_MOD_FORM);
        if (!line) {
            ShowErrorBoxWithDetails(ui, GetText(TEXT_UNAVAILABLE_PORT), "no line settings for baud rate index " +
                                                          std::to_string(state.current.MASTER_MOD_BAUD) +
                                                          " and format index " +
                                                          std::to_string(state.current.MASTER_MOD_FORM));
            return 0;
        }
        Link link = links.Make(port.DevicePath(), line->settings, line->interval_ms);
        if (!link.IsOpen()) {
            ShowErrorBoxWithDetails(ui, GetText(TEXT_UNAVAILABLE_PORT), link.OpenError().reason);
            return 0;
        }
        read = link.ReadHoldingRegisters(static_cast<std::uint8_t>(state.current.MASTER_MOD_ADDR & 0xFF), 0x0400, 1);
    }
    if (!read.ok()) {
        ShowErrorBox(ui, GetText(TEXT_IMPOSSIBLE_TO_COMMUNICATE));
        return 0;
    }
    ShowInfoBox(ui, GetText(TEXT_GATEWAY_COMMUNICATION_OK));
    return 1;
}

} // namespace tarn
