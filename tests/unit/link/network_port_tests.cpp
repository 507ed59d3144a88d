#include "link/network_port.h"

#include "link/link.h"
#include "support/fake_serial_device.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(NetworkPortName, HostAndPortOrNothing)
{
    const struct {
        const char* name;
        std::optional<NetworkPort> parsed;
    } cases[] = {
        {"tcp://10.0.0.5:4001", NetworkPort{"10.0.0.5", 4001}},
        {"TCP://gw-cabinet.plant.example:1", NetworkPort{"gw-cabinet.plant.example", 1}},
        {"Tcp://[fe80::1:2]:65535", NetworkPort{"fe80::1:2", 65535}},
        {"tcp://host:0", std::nullopt},
        {"tcp://host:65536", std::nullopt},
        {"tcp://host", std::nullopt},
        {"tcp://:4001", std::nullopt},
        {"tcp://[::1]4001", std::nullopt},
        {"tcp://::1:4001", std::nullopt},       // an IPv6 address needs its brackets
        {"/dev/ttyUSB0", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseNetworkPort(c.name), c.parsed) << c.name;
    // Every tcp:// name is meant for the network, also one that does not parse.
    EXPECT_TRUE(IsNetworkPortName("TCP://host"));
    EXPECT_FALSE(IsNetworkPortName("tcp:/host:1"));
    EXPECT_FALSE(IsNetworkPortName("/dev/tcp://x:1"));
}

TEST(NetworkLatency, WidensTheReplyTimeOutsOfNetworkPortsOnly)
{
    testing::CoreFixture f;
    testing::FakeSerialFactory factory(f.devices);
    f.state.netLatencyMs = 50;
    const std::uint8_t request[] = {17, 3, 4, 0, 0, 1};
    const struct {
        const char* path;
        int serialTotal, modbusTotal;
    } cases[] = {
        {"tcp://10.0.0.5:4001", 150, 250},
        {"/dev/ttyUSB0", 100, 200},
    };
    for (const auto& c : cases) {
        factory.line->readTotals.clear();
        Link link = f.session.links.Make(c.path, LineSettings{});
        ASSERT_TRUE(link.IsOpen()) << c.path;
        link.SerialExchange("C1.01");
        link.ModbusExchange(request, sizeof request);
        // Two serial attempts, one Modbus read.
        EXPECT_EQ(factory.line->readTotals, (std::vector<int>{c.serialTotal, c.serialTotal, c.modbusTotal})) << c.path;
    }
}

} // namespace
} // namespace tarn
