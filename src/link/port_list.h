// The list of serial ports an engineer picks an adapter from: each port with its stable
// name under /dev/serial/by-id, the adapter's description, maker and serial number, and
// whether it can be opened now (a port that cannot is listed too, with the reason).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarn {

// A port as the system reports it (QSerialPortInfo on the programs' side).
struct SystemPort {
    std::string path;  // the device, e.g. /dev/ttyUSB0
    std::string description;
    std::string maker;
    std::string serialNumber;
};

// Why a port does not open.
enum class PortAccess { Opens, PermissionDenied, Busy, Gone, Failed };
struct PortProbe {
    PortAccess access = PortAccess::Opens;
    std::string detail;  // the system's words for Failed
};
using PortProber = std::function<PortProbe(const std::string& path)>;

struct PortListEntry {
    std::string path;
    std::string byId;  // the link under the by-id folder that leads to path; empty when none
    std::string description, maker, serialNumber;
    std::string reason;  // empty when the port opens; else why not, in the current language
    bool Opens() const { return reason.empty(); }
    // The name a setting keeps: the by-id link survives replugging and reordering of adapters.
    const std::string& StoredName() const { return byId.empty() ? path : byId; }
};

// The ports in natural path order ("/dev/ttyS2" before "/dev/ttyS10"), each once, with the
// first by-id link (in name order) of byIdFolder whose final target is the port's device, and
// the verdict of probe. A missing byIdFolder gives no by-id names.
std::vector<PortListEntry> ListPorts(std::vector<SystemPort> ports, const std::string& byIdFolder,
                                     const PortProber& probe);

// The reason text of a probe, in the current language (Windows-1252); empty for Opens.
std::string PortAccessText(const PortProbe& probe);

// One entry in a list box: the stored name, then the device (when the name is a link),
// description, maker and serial number, then the reason when it does not open.
std::string PortEntryLabel(const PortListEntry& entry);

// One line of `tarnctl ports --all` without its line end: path, by-id link or "-",
// the adapter (description, maker and serial number joined by ", ", or "-"), "ok" or the
// reason; tab-separated, tabs within a field turned into blanks.
std::string PortTableLine(const PortListEntry& entry);

bool NaturalPathLess(const std::string& a, const std::string& b);

} // namespace tarn
