// The single channel test, its engine driven over QSerialPort against the fixture's
// kx940-sim as its dialog drives it; a read of the gateway before and a comparison after
// show what it leaves behind. (The calibration runs from the window against the same
// simulator: tests/gui/diag/diag_gateway_tests.cpp.)
#include "e2e_support.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "support/sample_installation.h"

#include "config/config_file.h"
#include "diag/single_channel_test.h"
#include "link/commands.h"
#include "link/link.h"
#include "serial/qt_serial_device.h"

#include <gtest/gtest.h>

namespace tarn::e2e {
namespace {

class SharedGatewayDiagnostics : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return fx.session; }

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
    void TearDown() override
    {
        CloseSerialLink();
    }

    ToolResult Tarnctl(const std::vector<std::string>& args) { return RunTool(tmp.path(), TARN_TARNCTL, args); }
    // The gateway compared with the read before the test.
    void ExpectGatewayAsBefore()
    {
        const ToolResult compare = Tarnctl({"compare", "--port", fx.state.serialPort.name, tmp.file("before.mcf")});
        EXPECT_EQ(compare.exitCode, 0) << compare.out << compare.err;
    }

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
    ASSERT_EQ(ReadChannelConfig(1, 1, word), 1);
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
    ExpectGatewayAsBefore();
}

} // namespace
} // namespace tarn::e2e
