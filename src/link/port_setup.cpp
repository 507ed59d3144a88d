#include "link/port_setup.h"

#include "link/link.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <algorithm>
#include <cstdint>

namespace tarn {

namespace {

// Puts port in place of stored for the length of one test.
class BorrowedPort {
public:
    BorrowedPort(PortSetting& stored, const PortSetting& port) : stored_(stored), kept_(stored) { stored_ = port; }
    ~BorrowedPort() { stored_ = kept_; }
    BorrowedPort(const BorrowedPort&) = delete;
    BorrowedPort& operator=(const BorrowedPort&) = delete;

private:
    PortSetting& stored_;
    PortSetting kept_;
};

} // namespace

std::vector<std::string> PortListEntries(std::vector<std::string> found, const PortSetting& serial,
                                         const PortSetting& modbus,
                                         const std::function<bool(const std::string&)>& opens)
{
    for (const PortSetting* stored : {&serial, &modbus}) {
        const std::string device = stored->DevicePath();
        if (device.empty() || std::find(found.begin(), found.end(), device) != found.end()) continue;
        if (opens(device)) found.push_back(device);
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

int TestSerialLink(const PortSetting& port)
{
    if (port.IsNone()) {
        ShowErrorBox(GetText(227));
        return 0;
    }
    std::string reply;
    int answered = 0;
    {
        BorrowedPort borrowed(State().serialPort, port);
        if (!OpenSerialLinkWithMessage()) return 0;
        answered = SerialExchange("C1.01", reply);
        CloseSerialLink();
    }
    if (!answered) {
        ShowErrorBox(GetText(229));
        return 0;
    }
    if (reply.compare(0, 6, "C1.01=") != 0) {
        ShowErrorBox(GetText(230));
        return 0;
    }
    ShowInfoBox(GetText(231));
    return 1;
}

int TestModbusLink(const PortSetting& port)
{
    if (port.IsNone()) {
        ShowErrorBox(GetText(227));
        return 0;
    }
    int payload = 0;
    {
        BorrowedPort borrowed(State().modbusPort, port);
        if (!OpenModbusLink()) {
            ShowErrorBoxWithDetails(GetText(228), LastLinkError().reason);
            return 0;
        }
        const std::uint8_t request[] = {static_cast<std::uint8_t>(State().current.MASTER_MOD_ADDR & 0xFF), 3, 0x04, 0x00,
                                        0x00, 0x01};
        std::vector<std::uint8_t> reply;
        payload = ModbusExchange(request, sizeof request, reply);
        CloseModbusLink();
    }
    if (payload != 5) {
        ShowErrorBox(GetText(229));
        return 0;
    }
    ShowInfoBox(GetText(231));
    return 1;
}

} // namespace tarn
