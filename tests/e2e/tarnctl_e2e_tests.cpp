// tarnctl and the program's engines against kx940-sim: whole transfers over a pseudo-terminal,
// and what the user sees when the gateway fails in one (the adapter pulled in the middle of a
// read: tests/gui/app/main_window_gateway_tests.cpp); what status and the Modbus poll show of
// the units the gateway really finds, and how a poll ends when interrupted or at a fault; the
// single channel test's engine driven as its dialog drives it, with a read of the gateway
// before and a comparison after to show what it leaves behind (the calibration runs from the
// window against the same simulator: tests/gui/diag/diag_gateway_tests.cpp).
#include "e2e_support.h"
#include "support/recording_ui.h"

#include "config/config_file.h"
#include "diag/cell_text.h"
#include "diag/single_channel_test.h"
#include "link/commands.h"
#include "serial/qt_serial_device.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace tarn::e2e {
namespace {

const std::string kTarnctl = TARN_TARNCTL;

// A tool's exit code, with its output when it is not the one expected.
::testing::AssertionResult Exits(int code, const ToolResult& r)
{
    if (r.exitCode == code) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "exit " << r.exitCode.value_or(-2) << "\n" << r.out << r.err;
}

// The gateway's plant, or one with a handful of differences in every part of the record.
std::string WritePlant(const TempDir& dir, const std::string& name, bool changed)
{
    SystemConfiguration c = GatewayPlant();
    if (changed) {
        SetFieldText(c.MASTER_TAG, "PLANT B");
        c.MASTER_FREQ = 0;
        c.units[0].SLAVE_EXP = 1;
        c.units[0].channels[5].word = 0x1883;
        SetFieldText(c.units[2].channels[9].tag, "CHANGED");
        c.units[1].SLAVE_TYPE = UNIT_KX927;
    }
    return testing::WriteFile(dir.file(name), FormatConfiguration(c));
}

std::string Trimmed(std::string text)
{
    text.erase(0, text.find_first_not_of(' '));
    return text.erase(text.find_last_not_of(' ') + 1);
}

// The rows of a poll's CSV output counted by cycle and unit, every row's text checked against
// the panel's text of its raw value.
std::map<int, std::map<int, int>> RowsPerCycle(const std::string& csv, const SystemConfiguration& plant)
{
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "cycle,unit,channel,raw,display");
    std::map<int, std::map<int, int>> perCycle;
    int cycle = 0, unit = 0, channel = 0;
    unsigned raw = 0;
    while (std::getline(in, line)) {
        char display[64] = "";  // empty for a channel switched off
        if (std::sscanf(line.c_str(), "%d,%d,%d,%u,%63[^\n]", &cycle, &unit, &channel, &raw, display) < 4) {
            ADD_FAILURE() << "not a row: " << line;
            break;
        }
        const UnitRecord& u = plant.units[unit - 1];
        const std::string text = u.SLAVE_TYPE == UNIT_KX927 ? GetText(DigitalStateTextId(DigitalCellState(raw, channel - 1)))
                                                            : Trimmed(AnalogCellText(raw, u.channels[channel - 1].word));
        EXPECT_EQ(display, Cp1252ToUtf8(text)) << line;
        ++perCycle[cycle][unit];
    }
    return perCycle;
}

// The tests that share the fixture's simulator (one at a time: they change what it holds),
// with a session for the engines.
class SharedGateway : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(port)) << "run through ctest: the simulator fixture sets TARN_SIM_DIR";
        fx.state.serialPort.name = port;
        fx.devices = QtSerialDevices();
    }
    void TearDown() override { fx.session.links.CloseSerial(); }

    ToolResult Tarnctl(const std::vector<std::string>& args) { return RunTool(tmp.path(), kTarnctl, args); }

    TempDir tmp;
    const std::string port = SharedSimulatorLink("serial"), modbus = SharedSimulatorLink("modbus");
    testing::CoreFixture fx;
};

// A written configuration reads back unchanged and compares equal. Status and a poll show the
// units the fixture's gateway finds (the simulator's own: KX913 + 1 x KX914 at position 1, a
// KX927 at 2) whatever configuration is written to it. Output that goes nowhere ends status,
// compare and a poll without an end with exit 1 and the message on stderr. Compare follows the
// next configuration written.
TEST_F(SharedGateway, TransfersStatusAndPollFollowTheGateway)
{
    const std::string a = WritePlant(tmp, "plant_a.mcf", false), b = WritePlant(tmp, "plant_b.mcf", true);
    ASSERT_TRUE(Exits(0, Tarnctl({"write", "--port", port, a})));
    ASSERT_TRUE(Exits(0, Tarnctl({"read", "--port", port, "-o", tmp.file("back.mcf")})));
    // Nothing of the file is lost on the way: the same writer gives the same bytes.
    EXPECT_EQ(ReadFile(tmp.file("back.mcf")), ReadFile(a));

    const ToolResult status = Tarnctl({"status", "--port", port});
    ASSERT_TRUE(Exits(0, status));
    EXPECT_EQ(status.out, "1\tKX913 + 1 x KX914\t99\t97\n2\tKX927\t98\t95\n3\t\t0\t0\n4\t\t0\t0\n");
    const ToolResult poll = Tarnctl({"poll", "--modbus", modbus, "--config", a, "--cycles", "2"});
    ASSERT_TRUE(Exits(0, poll));
    // Position 1 shows the two modules found of the four configured; the KX927 configured at 3
    // and the KX913 at 4 are not there.
    const std::map<int, int> expected{{1, 32}};
    EXPECT_EQ(RowsPerCycle(poll.out, GatewayPlant()), (std::map<int, std::map<int, int>>{{1, expected}, {2, expected}}));

    const std::vector<std::string> cases[] = {
        {"status", "--port", port},
        {"compare", "--port", port, a},  // equal: 0 before the output is looked at
        {"poll", "--modbus", modbus, "--config", a},
    };
    // Each subcommand checks its own output; the kinds of dead output are the file subcommands'.
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0]);
        const ToolResult r = RunToolIntoDeadOutput(tmp.path(), DeadOutput::FullDevice, kTarnctl, args, 30s);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.err, "tarnctl: Error writing to standard output: No space left on device\n");
    }

    ASSERT_TRUE(Exits(0, Tarnctl({"write", "--port", port, b})));
    const ToolResult differs = Tarnctl({"compare", "--port", port, a});
    EXPECT_TRUE(Exits(1, differs));
    EXPECT_NE(differs.out.find("PLANT B"), std::string::npos) << differs.out;
    EXPECT_TRUE(Exits(0, Tarnctl({"compare", "--port", port, b})));
}

TEST_F(SharedGateway, SingleChannelTestLeavesTheGatewayAsItFoundIt)
{
    // A KX913 without expansion at position 1, where the simulator finds one with an expansion.
    const std::string file = testing::WriteFile(tmp.file("programmed.mcf"), FormatConfiguration(DiagnosticsPlant()));
    ASSERT_TRUE(Exits(0, Tarnctl({"write", "--port", port, file})));
    ASSERT_TRUE(Exits(0, Tarnctl({"read", "--port", port, "-o", tmp.file("before.mcf")})));
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

    test.CancelClicked();
    ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::End);
    test.Finish(test.Result());
    EXPECT_TRUE(fx.ui.texts(MessageIcon::Error).empty());
    // The gateway compared with the read before the test.
    EXPECT_TRUE(Exits(0, Tarnctl({"compare", "--port", port, tmp.file("before.mcf")})));
}

// Tests with a simulator of their own, for its faults and its live readings.
class GatewayFaults : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& args)
    {
        std::string error;
        ASSERT_TRUE(sim.Start(TARN_SIMULATOR, tmp.file("links"), args, error)) << error;
    }
    ToolResult Read() { return RunTool(tmp.path(), kTarnctl, {"read", "--port", sim.serialLink, "-o", output}); }

    void ExpectCommunicationError(const ToolResult& r)
    {
        EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
        EXPECT_NE(r.err.find("Communication error with KX940"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << "a failed read must not leave a file";
    }

    TempDir tmp;
    Simulator sim;
    const std::string output = tmp.file("read.mcf");
};

// A corrupted reply is still a reply: the serial exchange makes its second attempt only when
// nothing arrives, the command's check refuses the reply, and the transfer ends at its first
// failed command (a gateway that never answers: tests/cli/tarnctl_tests.cpp). A gateway that
// answers whole again serves a whole read.
TEST_F(GatewayFaults, AGarbledReplyEndsTheReadAndTheNextReadSucceeds)
{
    Start({});
    ASSERT_EQ(sim.Command("garble 1"), "ok");
    ExpectCommunicationError(Read());
    EXPECT_TRUE(Exits(0, Read()));
    EXPECT_TRUE(std::filesystem::exists(output));
}

// Ctrl-C or SIGTERM during a write: the exchange under way is finished, then the user learns
// that the gateway holds a mixture of two configurations, which must be written again.
TEST_F(GatewayFaults, AnInterruptedWriteSaysTheGatewayHoldsAPartlyWrittenConfiguration)
{
    Start({"--wire-timing"});
    const std::string plant = WritePlant(tmp, "plant.mcf", true);
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const unsigned long long before = sim.Requests().value_or(0);
        Tool write(tmp.path(), "write");
        ASSERT_TRUE(write.Start(kTarnctl, {"write", "--port", sim.serialLink, plant}));
        ASSERT_TRUE(sim.WaitForRequests(before + 40)) << "the write never got going";
        ASSERT_TRUE(write.Signal(signal));
        const ToolResult stopped = write.Finish(10s);
        EXPECT_EQ(stopped.exitCode, 128 + signal) << stopped.err;
        EXPECT_EQ(stopped.err, "tarnctl: The KX940 may now hold a partly written configuration:\n"
                               "write the configuration to it again.\n");
        EXPECT_LT(sim.Requests().value_or(before + 522), before + 522) << "the write ran to its end";
    }
}

// A poll with one reading pinned by the operator: it ends between cycles when interrupted, draws
// a unit found other than configured blank, and ends with text 119 at a damaged reply or when
// the adapter is pulled.
TEST_F(GatewayFaults, PollEndsBetweenCyclesWhenInterruptedFollowsTheUnitFoundAndEndsAtAFault)
{
    const SystemConfiguration plant = GatewayPlant();
    const std::string file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(plant));
    Start({"--config", file});
    ASSERT_EQ(sim.Command("value 1 3 54321"), "ok");
    const std::vector<std::string> poll = {"poll", "--modbus", sim.modbusLink, "--config", file};
    auto waitForOutput = [](const Tool& tool, const std::string& text) {
        for (const auto end = Clock::now() + 20s; Clock::now() < end; ::poll(nullptr, 0, 10))
            if (tool.OutputSoFar().find(text) != std::string::npos) return true;
        return false;
    };

    Tool interrupted(tmp.path(), "interrupted");
    ASSERT_TRUE(interrupted.Start(kTarnctl, poll));
    ASSERT_TRUE(waitForOutput(interrupted, "\n2,1,1,")) << interrupted.OutputSoFar();
    ASSERT_EQ(sim.Command("found 1 0x30"), "ok");  // a KX927 where a KX913 is configured
    testing::CoreFixture english;
    const int seen = RowsPerCycle(interrupted.OutputSoFar(), plant).rbegin()->first;
    ASSERT_TRUE(waitForOutput(interrupted, "\n" + std::to_string(seen + 2) + ",3,")) << interrupted.OutputSoFar();
    ASSERT_TRUE(interrupted.Signal(SIGINT));
    const ToolResult result = interrupted.Finish(10s);
    ASSERT_TRUE(Exits(0, result));
    EXPECT_NE(result.out.find("\n1,1,3,54321,"), std::string::npos) << "the pinned reading";

    const auto perCycle = RowsPerCycle(result.out, plant);
    int digital = 0;
    for (int c = 0; c < 32; ++c) digital += plant.units[2].channels[c].word != 0 ? 1 : 0;
    const std::map<int, int> asConfigured{{1, 64}, {3, digital}, {4, 16}};
    const std::map<int, int> unit1Blank{{3, digital}, {4, 16}};
    EXPECT_EQ(perCycle.begin()->second, asConfigured);
    EXPECT_EQ(perCycle.rbegin()->second, unit1Blank);
    // Every cycle written is complete: the interrupt ends the poll between cycles.
    for (const auto& [cycle, units] : perCycle)
        EXPECT_TRUE(units == asConfigured || units == unit1Blank) << "cycle " << cycle;

    for (const char* fault : {"garble 1", "hangup"}) {
        SCOPED_TRACE(fault);
        Tool ended(tmp.path(), "ended");
        ASSERT_TRUE(ended.Start(kTarnctl, poll));
        ASSERT_TRUE(waitForOutput(ended, "\n1,4,16,")) << ended.OutputSoFar();
        ASSERT_EQ(sim.Command(fault), "ok");
        const ToolResult r = ended.Finish(10s);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_EQ(r.err, "tarnctl: Communication with KX940 impossible!\n");
    }
}

} // namespace
} // namespace tarn::e2e
