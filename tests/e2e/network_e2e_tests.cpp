// A gateway behind a serial device server: kx940-sim serving both links on loopback TCP
// (`--tcp 0`), reached through tcp:// ports by tarnctl and by the program's own links.
// Only loopback addresses and names under .invalid are used.
#include "e2e_support.h"
#include "support/recording_ui.h"

#include "config/config_file.h"
#include "serial/port_device.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace tarn::e2e {
namespace {

const std::string kTarnctl = TARN_TARNCTL;

// The address ("tcp://127.0.0.1:N") of a link of the network fixture's simulator, as it printed
// it; empty when TARN_NET_SIM_DIR is not set (the test was not run through ctest).
std::string SharedNetworkAddress(const std::string& link)
{
    const char* dir = std::getenv("TARN_NET_SIM_DIR");
    if (!dir) return {};
    std::ifstream out(std::filesystem::path(dir) / "out");
    for (std::string line; std::getline(out, line);)
        if (line.rfind(link + " tcp://", 0) == 0) return line.substr(link.size() + 1);
    return {};
}

class NetworkSharedGateway : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = SharedNetworkAddress("serial");
        modbus = SharedNetworkAddress("modbus");
        ASSERT_FALSE(port.empty() || modbus.empty()) << "run through ctest: the fixture sets TARN_NET_SIM_DIR";
        file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(GatewayPlant()));
    }
    ToolResult Tarnctl(const std::vector<std::string>& args) { return RunTool(tmp.path(), kTarnctl, args); }

    testing::TempDir tmp;
    std::string port, modbus, file;
};

TEST_F(NetworkSharedGateway, TransfersStatusAndModbusPollOverTheNetwork)
{
    const ToolResult write = Tarnctl({"write", "--port", port, file});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    const std::string back = tmp.file("back.mcf");
    const ToolResult read = Tarnctl({"read", "--latency", "50", "--port", port, "-o", back});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(ReadFile(back), ReadFile(file));
    const ToolResult compare = Tarnctl({"compare", "--port", port, file});
    EXPECT_EQ(compare.exitCode, 0) << compare.out << compare.err;

    const ToolResult status = Tarnctl({"status", "--port", port});
    ASSERT_EQ(status.exitCode, 0) << status.err;
    EXPECT_EQ(status.out, "1\tKX913 + 1 x KX914\t99\t97\n2\tKX927\t98\t95\n3\t\t0\t0\n4\t\t0\t0\n");

    // One Modbus live cycle: RTU frames through the stream, the rows of the unit found.
    const ToolResult poll = Tarnctl({"poll", "--modbus", modbus, "--config", file, "--cycles", "1"});
    ASSERT_EQ(poll.exitCode, 0) << poll.err;
    // One cycle: every row has the time of the first, and channel 1 of unit 1 is among them.
    const std::string first = poll.out.substr(poll.out.find('\n') + 1, 29);
    EXPECT_NE(poll.out.find("\n" + first + ",1,1,"), std::string::npos) << poll.out;
    EXPECT_EQ(poll.out.find("\n", poll.out.rfind("\n" + first + ",") + 1), poll.out.size() - 1) << poll.out;
}

// A simulator of the test's own, for the faults that end its connections.
class NetworkFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.devices = PortDevices();
        const std::string file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(GatewayPlant()));
        std::string error;
        ASSERT_TRUE(sim.Start(TARN_SIMULATOR, tmp.file("links"), {"--tcp", "0", "--config", file}, error)) << error;
        ASSERT_EQ(sim.serialLink.rfind("tcp://127.0.0.1:", 0), 0u) << sim.serialLink;
        fx.state.serialPort.name = sim.serialLink;
    }
    void TearDown() override { fx.session.links.CloseSerial(); }

    testing::CoreFixture fx;
    testing::TempDir tmp;
    Simulator sim;
};

TEST_F(NetworkFaults, DroppedConnectionFailsTheExchangeAndLaterConnectionsAreRefused)
{
    GatewayLinks& links = fx.session.links;
    const LinkError opened = links.OpenSerial();
    ASSERT_FALSE(opened) << opened.reason;
    ASSERT_TRUE(links.Serial().SerialExchange("C1.01").ok());
    ASSERT_EQ(sim.Command("hangup"), "ok");
    const SerialReply dropped = links.Serial().SerialExchange("C1.01");
    EXPECT_FALSE(dropped.ok());
    EXPECT_EQ(dropped.error.kind, LinkErrorKind::DeviceGone);
    EXPECT_EQ(dropped.error.reason.rfind(sim.serialLink + ": ", 0), 0u) << dropped.error.reason;

    // The server's port is closed now: a refused connection, named, with the system's reason.
    links.CloseSerial();
    const LinkError refused = links.OpenSerial();
    EXPECT_EQ(refused.kind, LinkErrorKind::NotFound);
    EXPECT_EQ(refused.reason, sim.serialLink + ": Connection refused");
}

TEST_F(NetworkFaults, DropDuringAReadFailsTheReadAndLeavesTheImage)
{
    SetFieldText(fx.state.current.ORGANIZATION, "KEEP ME");
    const std::string before = FormatConfiguration(fx.state.current);
    TransferEngine& transfer = fx.session.transfer;
    ASSERT_EQ(transfer.ReadConfigurationFromGateway(), 1);
    for (int step = 0; step < 10; ++step) ASSERT_TRUE(transfer.Step());
    ASSERT_EQ(sim.Command("hangup"), "ok");
    while (transfer.Step()) {}
    EXPECT_EQ(transfer.LastOutcome(), TransferOutcome::Failed);
    EXPECT_EQ(FormatConfiguration(fx.state.current), before);
}

TEST(NetworkPorts, NameThatDoesNotResolveIsAPortError)
{
    testing::CoreFixture fx;
    fx.devices = PortDevices();
    const Link link = fx.session.links.Make("tcp://kx940-gateway.invalid:4001", LineSettings{});
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.OpenError().reason.rfind("tcp://kx940-gateway.invalid:4001: kx940-gateway.invalid", 0), 0u)
        << link.OpenError().reason;
}

} // namespace
} // namespace tarn::e2e
