// The program's Modbus link over QSerialPort against kx940-sim: the register map
// of the live test on the simulator's own terminal, with its framing and pacing.
#include "e2e_support.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "support/sample_installation.h"

#include "config/config_file.h"
#include "link/link.h"
#include "serial/qt_serial_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::e2e {
namespace {

class LinksToSimulator : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return fixture.session; }

    void SetUp() override
    {
        fixture.devices = QtSerialDevices();
        const std::string file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(plant));
        std::string error;
        // Wire timing: the replies come paced as on a real line at the configured 19200 8N2.
        ASSERT_TRUE(sim.Start(TARN_SIMULATOR, tmp.file("links"), {"--config", file, "--wire-timing"}, error)) << error;
        fixture.state.current = plant;
        fixture.state.modbusPort.name = sim.modbusLink;
    }
    void TearDown() override
    {
        CloseModbusLink();
    }

    // Function 3 at the configured slave address; the payload length and the registers.
    int ReadRegisters(unsigned first, unsigned count, std::vector<std::uint16_t>& registers)
    {
        const std::uint8_t request[] = {17, 3, static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first), 0,
                                        static_cast<std::uint8_t>(count)};
        std::vector<std::uint8_t> reply;
        const int n = ModbusExchange(request, sizeof request, reply);
        ++requestsSent;
        if (n > 0) repliedBytes += static_cast<unsigned long long>(n) + 2;
        registers.clear();
        for (int i = 3; i + 1 < n; i += 2) registers.push_back(static_cast<std::uint16_t>(reply[i] << 8 | reply[i + 1]));
        return n;
    }

    const SystemConfiguration plant = testing::FullInstallation();
    testing::CoreFixture fixture;
    testing::TempDir tmp;
    Simulator sim;
    unsigned long long requestsSent = 0;
    unsigned long long repliedBytes = 0;
};

TEST_F(LinksToSimulator, ModbusRegisterMapOfAUnit)
{
    ASSERT_EQ(OpenModbusLink(), 1) << LastLinkError().reason;
    std::vector<std::uint16_t> r;

    // What each block holds is the simulator's unit tests'; here, reads of 16 and 64 registers over
    // the wire, with the status and the channel words of unit 1 as the file programmed them.
    ASSERT_EQ(ReadRegisters(0x420, 16, r), 35);
    EXPECT_EQ(r[2], 0x13);
    ASSERT_EQ(ReadRegisters(0x200, 64, r), 131);
    for (int ch = 0; ch < 64; ++ch) EXPECT_EQ(r[ch], plant.units[0].channels[ch].word) << ch;

    // Live values of unit 1 with one reading pinned by the operator.
    ASSERT_EQ(sim.Command("value 1 3 54321"), "ok");
    ASSERT_EQ(ReadRegisters(0, 64, r), 131);
    EXPECT_EQ(r[2], 54321);

    // A damaged reply fails its CRC; the next one is whole again.
    ASSERT_EQ(sim.Command("garble 1"), "ok");
    EXPECT_EQ(ReadRegisters(0x0420, 16, r), 0);
    EXPECT_EQ(ReadRegisters(0x0420, 16, r), 35);

    // The simulator counted every byte both ways: 8 a request, the replies with their CRC.
    const auto stats = sim.Stats();
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->modbusIn, 8 * requestsSent);
    EXPECT_EQ(stats->modbusOut, repliedBytes + 35 + 2);  // and the garbled reply of 16 registers
    EXPECT_EQ(stats->serialIn, 0u);
}

} // namespace
} // namespace tarn::e2e
