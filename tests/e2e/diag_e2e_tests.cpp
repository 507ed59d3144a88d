// The single channel test and the KX913 calibration, their engines driven over
// QSerialPort against the fixture's kx940-sim as their dialogs drive them; a read of
// the gateway before and a comparison after show what each leaves behind.
#include "e2e_support.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include "config/config_file.h"
#include "diag/calibration.h"
#include "diag/single_channel_test.h"
#include "link/commands.h"
#include "link/link.h"
#include "serial/qt_serial_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

namespace tarn::e2e {
namespace {

using namespace std::chrono_literals;

// What the tests program: a KX913 without expansion at position 1, where the simulator finds
// one with an expansion, and the KX927 it finds at position 2.
SystemConfiguration Programmed()
{
    SystemConfiguration c = testing::FullInstallation();
    c.units[0].SLAVE_EXP = 0;
    c.units[1] = c.units[2];
    c.units[2].SLAVE_TYPE = c.units[3].SLAVE_TYPE = UNIT_NONE;
    return c;
}

class SharedGatewayDiagnostics : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* dir = std::getenv("TARN_SIM_DIR");
        ASSERT_NE(dir, nullptr) << "run through ctest: the simulator fixture sets TARN_SIM_DIR";
        InstallQtSerialDevices();
        fx.state.serialPort.name = (std::filesystem::path(dir) / "serial").string();
        const std::string file = testing::WriteFile(tmp.file("programmed.mcf"), FormatConfiguration(Programmed()));
        const ToolResult write = Tarnctl({"write", "--port", fx.state.serialPort.name, file});
        ASSERT_EQ(write.exitCode, 0) << write.err;
        const ToolResult read = Tarnctl({"read", "--port", fx.state.serialPort.name, "-o", tmp.file("before.mcf")});
        ASSERT_EQ(read.exitCode, 0) << read.err;
    }
    void TearDown() override
    {
        CloseSerialLink();
        SetSerialDeviceFactory(nullptr);
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
    SingleChannelTest test;
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

TEST_F(SharedGatewayDiagnostics, CalibrationConvergesOnAllThreeSteps)
{
    Calibration cal(0);
    ASSERT_EQ(cal.Begin(), 1);
    cal.Start();
    ASSERT_EQ(cal.CommunicationFlag(), 1);
    // A technician who clicks each "Hit when Ready" at once; ticks every 100 ms, twice the
    // dialog's pace, so the readings settle over twice as many ticks.
    std::map<int, int> ticks;
    for (int tick = 0; tick < 900 && cal.StepState() < CAL_DONE; ++tick) {
        std::this_thread::sleep_for(100ms);
        cal.Tick();
        const int state = cal.StepState();
        ++ticks[state];
        if (state == CAL_WAITING || state == CAL_APPLY_ZERO || state == CAL_APPLY_SPAN || state == CAL_APPLY_RESISTANCE)
            cal.StepClicked();
    }
    ASSERT_EQ(cal.StepState(), CAL_DONE) << "reading " << cal.Reading();
    std::printf("calibration ticks at 100 ms: zero %d, span %d, resistance %d\n", ticks[CAL_ZERO], ticks[CAL_SPAN],
                ticks[CAL_RESISTANCE]);
    for (int state : {CAL_ZERO, CAL_SPAN, CAL_RESISTANCE}) EXPECT_GE(ticks[state], CAL_WINDOW - 1) << state;

    ASSERT_EQ(cal.StepClicked(), Calibration::Action::End);
    cal.Finish(cal.Result());
    EXPECT_TRUE(fx.ui.texts(MessageIcon::Error).empty());
    ExpectGatewayAsBefore();
}

} // namespace
} // namespace tarn::e2e
