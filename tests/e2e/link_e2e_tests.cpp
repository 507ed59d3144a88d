// The program's links over QSerialPort against kx940-sim: the register map of the live
// test on the simulator's own terminal, with its framing and pacing; and the single channel
// test's engine driven as its dialog drives it against the fixture's simulator, with a read
// of the gateway before and a comparison after to show what it leaves behind. (The
// calibration runs from the window against the same simulator:
// tests/gui/diag/diag_gateway_tests.cpp.)
#include "e2e_support.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include "config/config_file.h"
#include "diag/single_channel_test.h"
#include "link/commands.h"
#include "link/link.h"
#include "serial/qt_serial_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::e2e {
namespace {

class LinksToSimulator : public ::testing::Test {
protected:
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
    void TearDown() override { fixture.session.links.CloseModbus(); }

    // Function 3 at the configured slave address; the payload length and the registers.
    int ReadRegisters(unsigned first, unsigned count, std::vector<std::uint16_t>& registers)
    {
        const std::uint8_t request[] = {17, 3, static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first), 0,
                                        static_cast<std::uint8_t>(count)};
        const ModbusReply exchanged = fixture.session.links.Modbus().ModbusExchange(request, sizeof request);
        const std::vector<std::uint8_t>& reply = exchanged.bytes;
        const int n = exchanged.payload;
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
    const LinkError error = fixture.session.links.OpenModbus();
    ASSERT_FALSE(error) << error.reason;
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

class SharedGatewayDiagnostics : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.state.serialPort.name = SharedSimulatorLink("serial");
        ASSERT_FALSE(fx.state.serialPort.name.empty()) << "run through ctest: the simulator fixture sets TARN_SIM_DIR";
        fx.devices = QtSerialDevices();
        const std::string file = testing::WriteFile(tmp.file("programmed.mcf"), FormatConfiguration(DiagnosticsPlant()));
        const ToolResult write = Tarnctl({"write", "--port", fx.state.serialPort.name, file});
        ASSERT_EQ(write.exitCode, 0) << write.err;
        const ToolResult read = Tarnctl({"read", "--port", fx.state.serialPort.name, "-o", tmp.file("before.mcf")});
        ASSERT_EQ(read.exitCode, 0) << read.err;
    }
    void TearDown() override { fx.session.links.CloseSerial(); }

    ToolResult Tarnctl(const std::vector<std::string>& args) { return RunTool(tmp.path(), TARN_TARNCTL, args); }

    testing::CoreFixture fx;
    testing::TempDir tmp;
};

TEST_F(SharedGatewayDiagnostics, SingleChannelTestLeavesTheGatewayAsItFoundIt)
{
    SingleChannelTest test(fx.session.links);
    ASSERT_EQ(test.Begin(), 1);
    test.Start();
    auto tick = [&test] { ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::Continue); };
    tick();
    EXPECT_EQ(test.Display().programmedText, "  KX913");
    EXPECT_EQ(test.Display().realText, "  KX913 - KX914");
    EXPECT_FALSE(test.Display().channelPartVisible);

    test.MatchProgrammedToReal();
    tick();
    ASSERT_TRUE(test.Display().channelPartVisible);
    EXPECT_EQ(test.Display().channelCount, 32);

    // Channel 1 tried as a 4-wire resistance: the gateway holds the word, the value reads in Ohm.
    test.ChangeOptions({3, 0, 1, 0, 3});
    tick();
    std::uint32_t word = 0;
    ASSERT_EQ(ReadChannelConfig(fx.session.links.Serial(), 1, 1, word), 1);
    EXPECT_EQ(word, 0x1883u);
    EXPECT_NE(test.Display().valueText.find(" Ohm "), std::string::npos) << test.Display().valueText;

    test.SelectChannel(4);
    tick();
    EXPECT_EQ(test.CurrentChannel(), 4);
    test.SelectTab(1);
    tick();
    EXPECT_FALSE(test.Display().valueIsAnalog);
    EXPECT_EQ(test.Display().valueText.rfind("-- ", 0), 0u) << test.Display().valueText;
    test.ChangeOptions({0, 0, 0, 0, 0});  // channel 1 of the KX927 switched off
    tick();

    test.CancelClicked();
    ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::End);
    test.Finish(test.Result());
    EXPECT_TRUE(fx.ui.texts(MessageIcon::Error).empty());
    // The gateway compared with the read before the test.
    const ToolResult compare = Tarnctl({"compare", "--port", fx.state.serialPort.name, tmp.file("before.mcf")});
    EXPECT_EQ(compare.exitCode, 0) << compare.out << compare.err;
}

} // namespace
} // namespace tarn::e2e
