// The choice of the ports of the two links and their tests against the gateway.
// The setup dialog lists the ports that can be opened now, each by its device
// path; entry 0 of either list is "No Serial".
#pragma once

#include "config/app_state.h"
#include "link/link.h"

#include <functional>
#include <string>
#include <vector>

namespace tarn {

// The device entries after "No Serial": the ports found, then each stored port that is not
// among them but opens now (a pseudo-terminal or a by-id link, which the system never lists)
// or is a network port (listed without being tried).
std::vector<std::string> PortListEntries(std::vector<std::string> found, const PortSetting& serial,
                                         const PortSetting& modbus,
                                         const std::function<bool(const std::string&)>& opens);

struct StoredPortSelection {
    // 0 "No Serial", n the device entry n - 1; entries.size() + 1 an entry of the stored port
    // itself after the devices, marked as not present, so that Ok keeps the port.
    int index = 0;
    bool unavailable = false;  // the stored port is not listed: texts 232 / 233
};
// The entry of a stored port: the one whose device equals the port's exactly (a stored
// /dev/ttyS1 never selects /dev/ttyS10); "No Serial" without complaint for a stored none.
StoredPortSelection SelectStoredPort(const std::vector<std::string>& entries, const PortSetting& stored);

// Text 232 or 233 (textId) naming the stored port that is not there.
std::string UnavailableStoredPortText(int textId, const PortSetting& stored);

// The port a device path names: a COM number when the path is that number's device (so the
// settings file keeps its numeric form), else the path itself; none for an empty path.
PortSetting PortSettingForDevice(const std::string& device);

// Test RS 232 Serial: the request "C1.01" on a link made to port; reports 227, 228 (from the
// open), 229, 230 or 231. The session's own links are not touched. 1 when the gateway answered
// right.
int TestSerialLink(GatewayLinks& links, const PortSetting& port);
// Test Modbus: one holding register at 0x0400 from MASTER_MOD_ADDR, on a link made to port with
// the line of the current image; reports 227, 228, 229 or 231.
int TestModbusLink(GatewayLinks& links, const PortSetting& port);

} // namespace tarn
