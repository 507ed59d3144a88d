// The port list over a folder of its own: device nodes made with mknod (FIFOs, which no test
// opens: the probe is the test's) and by-id links to them, as udev makes them.
#include "link/port_list.h"
#include "support/files.h"
#include "support/recording_ui.h"

#include "text/texts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>

namespace tarn {
namespace {

namespace fs = std::filesystem;

TEST(PortList, NamesEachPortByItsByIdLinkAndSaysWhyItDoesNotOpen)
{
    testing::TempDir tmp;
    const fs::path dev = tmp.path() / "dev", byId = tmp.path() / "by-id";
    fs::create_directories(dev);
    fs::create_directories(byId);
    for (const char* node : {"ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1"})
        ASSERT_EQ(::mknod((dev / node).c_str(), S_IFIFO | 0600, 0), 0) << node;
    const auto d = [&](const char* node) { return (dev / node).string(); };
    // Relative links as udev makes them, a link to a link, a second link to a device (the first
    // in name order wins), a dangling link and a plain file.
    fs::create_symlink("../dev/ttyUSB1", byId / "usb-FTDI_FT232R_A12345-if00-port0");
    fs::create_symlink("../dev/ttyUSB1", byId / "usb-zz-second-name");
    fs::create_symlink(tmp.path() / "usb0", byId / "usb-Prolific_PL2303-if00-port0");
    fs::create_symlink(dev / "ttyUSB0", tmp.path() / "usb0");
    fs::create_symlink("../dev/ttyUSB9", byId / "usb-unplugged");
    testing::WriteFile(byId / "not-a-link", "");

    const std::vector<SystemPort> ports = {
        {d("ttyUSB1"), "FT232R USB UART", "FTDI", "A12345"},
        {d("ttyS10"), "", "", ""},
        {d("ttyUSB0"), "USB-Serial Controller", "Prolific", ""},
        {d("ttyS2"), "", "", ""},
        {d("ttyS10"), "", "", ""},
    };
    const std::map<std::string, PortProbe> probes = {
        {d("ttyS2"), {PortAccess::Busy, {}}},
        {d("ttyS10"), {PortAccess::Failed, "Input/output error"}},
        {d("ttyUSB0"), {PortAccess::Opens, {}}},
        {d("ttyUSB1"), {PortAccess::PermissionDenied, {}}},
    };
    const auto probe = [&](const std::string& path) { return probes.at(path); };

    SetLanguage(LANGUAGE_ENGLISH);
    const std::vector<PortListEntry> entries = ListPorts(ports, byId.string(), probe);
    std::vector<std::string> lines;
    for (const PortListEntry& e : entries) lines.push_back(PortTableLine(e));
    const std::string ftdi = (byId / "usb-FTDI_FT232R_A12345-if00-port0").string();
    const std::string prolific = (byId / "usb-Prolific_PL2303-if00-port0").string();
    EXPECT_EQ(lines, (std::vector<std::string>{
                         d("ttyS2") + "\t-\t-\tin use by another program",
                         d("ttyS10") + "\t-\t-\tcannot be opened: Input/output error",
                         d("ttyUSB0") + "\t" + prolific + "\tUSB-Serial Controller, Prolific\tok",
                         d("ttyUSB1") + "\t" + ftdi + "\tFT232R USB UART, FTDI, A12345\tpermission denied: the user is not in the dialout group",
                     }));
    // A setting keeps the by-id name where there is one; the list box shows the device beside it.
    EXPECT_EQ(entries[2].StoredName(), prolific);
    EXPECT_EQ(PortEntryLabel(entries[2]), prolific + "  (" + d("ttyUSB0") + ", USB-Serial Controller, Prolific)");
    EXPECT_EQ(PortEntryLabel(entries[0]), d("ttyS2") + " - in use by another program");

    // The reasons follow the language; without the folder there are no by-id names.
    SetLanguage(LANGUAGE_ITALIAN);
    const std::vector<PortListEntry> plain = ListPorts(ports, (tmp.path() / "none").string(), probe);
    SetLanguage(LANGUAGE_ENGLISH);
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(plain[3].reason, "permesso negato: l'utente non \350 nel gruppo dialout");
    for (const PortListEntry& e : plain) EXPECT_EQ(e.byId, "") << e.path;
}

} // namespace
} // namespace tarn
