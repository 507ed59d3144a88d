// tarnctl against kx940-sim: whole transfers over a pseudo-terminal, and what the user
// sees when the gateway fails in the middle of one (the adapter pulled in the middle of a
// read: tests/gui/app/main_window_gateway_tests.cpp); what status and the Modbus poll show
// of the units the gateway really finds, and how a poll ends when interrupted or when the
// adapter is pulled.
#include "e2e_support.h"
#include "support/recording_ui.h"

#include "config/config_file.h"
#include "diag/cell_text.h"
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

using namespace std::chrono_literals;
using testing::TempDir;

const std::string kTarnctl = TARN_TARNCTL;
const std::string kSimulator = TARN_SIMULATOR;
const std::string kCommunicationError = "Communication error with KX940";

bool Exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
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

// The tests that share the fixture's simulator (one at a time: they change what it holds).
class SharedGateway : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = SharedSimulatorLink("serial");
        modbus = SharedSimulatorLink("modbus");
        ASSERT_TRUE(Exists(port)) << "run through ctest: the simulator fixture sets TARN_SIM_DIR";
        a = WritePlant(tmp, "plant_a.mcf", false);
        b = WritePlant(tmp, "plant_b.mcf", true);
    }

    ToolResult Tarnctl(const std::vector<std::string>& args) { return RunTool(tmp.path(), kTarnctl, args); }

    TempDir tmp;
    std::string port, modbus, a, b;
};

TEST_F(SharedGateway, WrittenConfigurationReadsBackUnchangedAndCompareFollowsTheGateway)
{
    const std::string back = tmp.file("back.mcf");
    const ToolResult write = Tarnctl({"write", "--port", port, a});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    const ToolResult read = Tarnctl({"read", "--port", port, "-o", back});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    // Nothing of the file is lost on the way: the same writer gives the same bytes.
    EXPECT_EQ(ReadFile(back), ReadFile(a));
    const ToolResult same = Tarnctl({"compare", "--port", port, a});
    EXPECT_EQ(same.exitCode, 0) << same.out << same.err;

    ASSERT_EQ(Tarnctl({"write", "--port", port, b}).exitCode, 0);
    const ToolResult differs = Tarnctl({"compare", "--port", port, a});
    EXPECT_EQ(differs.exitCode, 1) << differs.err;
    EXPECT_NE(differs.out.find("PLANT B"), std::string::npos) << differs.out;
    EXPECT_EQ(Tarnctl({"compare", "--port", port, b}).exitCode, 0);
}

// The fixture's gateway finds the simulator's own units (KX913 + 1 x KX914 at position 1, a
// KX927 at 2) whatever configuration is written to it.
TEST_F(SharedGateway, StatusAndPollShowTheUnitsTheGatewayFinds)
{
    const SystemConfiguration plant = GatewayPlant();
    const std::string file = testing::WriteFile(tmp.file("live.mcf"), FormatConfiguration(plant));
    const ToolResult write = Tarnctl({"write", "--port", port, file});
    ASSERT_EQ(write.exitCode, 0) << write.err;

    const ToolResult status = Tarnctl({"status", "--port", port});
    ASSERT_EQ(status.exitCode, 0) << status.err;
    EXPECT_EQ(status.out, "1\tKX913 + 1 x KX914\t99\t97\n2\tKX927\t98\t95\n3\t\t0\t0\n4\t\t0\t0\n");

    const ToolResult poll = Tarnctl({"poll", "--modbus", modbus, "--config", file, "--cycles", "2"});
    ASSERT_EQ(poll.exitCode, 0) << poll.err;
    testing::CoreFixture english;
    const auto perCycle = RowsPerCycle(poll.out, plant);
    // Position 1 shows the two modules found of the four configured; the KX927 configured at 3
    // and the KX913 at 4 are not there.
    const std::map<int, int> expected{{1, 32}};
    EXPECT_EQ(perCycle, (std::map<int, std::map<int, int>>{{1, expected}, {2, expected}}));
}

// Output that goes nowhere ends status, compare and poll (also a poll without an end) with
// exit 1 and the message on stderr; a poll stops polling.
TEST_F(SharedGateway, OutputThatGoesNowhereEndsTheSubcommand)
{
    const std::string file = testing::WriteFile(tmp.file("live.mcf"), FormatConfiguration(GatewayPlant()));
    const ToolResult write = Tarnctl({"write", "--port", port, file});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    const std::vector<std::string> cases[] = {
        {"status", "--port", port},
        {"compare", "--port", port, file},  // equal: 0 before the output is looked at
        {"poll", "--modbus", modbus, "--config", file, "--cycles", "3"},
        {"poll", "--modbus", modbus, "--config", file},
    };
    for (const auto output : {testing::DeadOutput::FullDevice, testing::DeadOutput::ClosedPipe}) {
        for (const auto& args : cases) {
            SCOPED_TRACE(args[0] + " " + args.back() + (output == testing::DeadOutput::FullDevice ? " into a full device" : " into a closed pipe"));
            const ToolResult r = testing::RunToolIntoDeadOutput(tmp.path(), output, kTarnctl, args, 30s);
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_EQ(r.err.rfind("tarnctl: Error writing to standard output: ", 0), 0u) << r.err;
        }
    }
}

// Tests with a simulator of their own, for its faults.
class GatewayFaults : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& args)
    {
        std::string error;
        ASSERT_TRUE(sim.Start(kSimulator, tmp.file("links"), args, error)) << error;
        port = sim.serialLink;
        output = tmp.file("read.mcf");
    }
    ToolResult Read() { return RunTool(tmp.path(), kTarnctl, {"read", "--port", port, "-o", output}); }

    void ExpectCommunicationError(const ToolResult& r)
    {
        EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
        EXPECT_NE(r.err.find(kCommunicationError), std::string::npos) << r.err;
        EXPECT_FALSE(Exists(output)) << "a failed read must not leave a file";
    }

    TempDir tmp;
    Simulator sim;
    std::string port;
    std::string output;
};

TEST_F(GatewayFaults, GatewayFallingSilentAfterSomeRequests)
{
    Start({"--fail-after", "100"});
    ExpectCommunicationError(Read());
    const auto stats = sim.Stats();
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->requests, 100u);
}

// A corrupted reply is still a reply: the serial exchange makes its second attempt only when
// nothing arrives, the command's check refuses the reply, and the transfer ends at its first
// failed command. A gateway that answers again, whole, serves a whole read.
TEST_F(GatewayFaults, SilenceOrAGarbledReplyEndsTheReadAndTheNextReadSucceeds)
{
    Start({"--wire-timing"});
    Tool read(tmp.path(), "read");
    ASSERT_TRUE(read.Start(kTarnctl, {"read", "--port", port, "-o", output}));
    ASSERT_TRUE(sim.WaitForRequests(40, 20s)) << "the read never got going";
    ASSERT_EQ(sim.Command("silence on"), "ok");
    ExpectCommunicationError(read.Finish(30s));  // a hang is caught here and by the test's time-out
    ASSERT_EQ(sim.Command("silence off"), "ok");
    ASSERT_EQ(sim.Command("garble 1"), "ok");
    ExpectCommunicationError(Read());
    const ToolResult again = Read();
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(Exists(output));
}

// Ctrl-C or SIGTERM during a write: the exchange under way is finished, then the user learns
// that the gateway holds a mixture of two configurations, which must be written again.
TEST_F(GatewayFaults, AnInterruptedWriteSaysTheGatewayHoldsAPartlyWrittenConfiguration)
{
    Start({"--wire-timing"});
    const std::string plant = WritePlant(tmp, "plant.mcf", true);
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const auto before = sim.Stats();
        ASSERT_TRUE(before);
        Tool write(tmp.path(), "write");
        ASSERT_TRUE(write.Start(kTarnctl, {"write", "--port", port, plant}));
        ASSERT_TRUE(sim.WaitForRequests(before->requests + 40, 20s)) << "the write never got going";
        ASSERT_TRUE(write.Signal(signal));
        const ToolResult stopped = write.Finish(10s);
        EXPECT_EQ(stopped.exitCode, 128 + signal) << stopped.err;
        EXPECT_EQ(stopped.err, "tarnctl: The KX940 may now hold a partly written configuration:\n"
                               "write the configuration to it again.\n");
        const auto after = sim.Stats();
        ASSERT_TRUE(after);
        EXPECT_LT(after->requests, before->requests + 522) << "the write ran to its end";
    }
}

class LiveFromSimulator : public GatewayFaults {
protected:
    void SetUp() override
    {
        file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(plant));
        Start({"--config", file});
    }

    static bool WaitForOutput(testing::Tool& tool, const std::string& text)
    {
        for (const auto end = Clock::now() + 20s; Clock::now() < end; poll(nullptr, 0, 10))
            if (tool.OutputSoFar().find(text) != std::string::npos) return true;
        return false;
    }

    const SystemConfiguration plant = GatewayPlant();
    testing::CoreFixture english;
    std::string file;
};

TEST_F(LiveFromSimulator, PollEndsBetweenCyclesWhenInterruptedFollowsTheUnitFoundAndEndsWhenTheAdapterIsPulled)
{
    testing::Tool poll(tmp.path(), "poll");
    ASSERT_TRUE(poll.Start(kTarnctl, {"poll", "--modbus", sim.modbusLink, "--config", file}));
    ASSERT_TRUE(WaitForOutput(poll, "\n2,1,1,")) << poll.OutputSoFar();
    ASSERT_EQ(sim.Command("found 1 0x30"), "ok");  // a KX927 where a KX913 is configured
    const int seen = RowsPerCycle(poll.OutputSoFar(), plant).rbegin()->first;
    ASSERT_TRUE(WaitForOutput(poll, "\n" + std::to_string(seen + 2) + ",3,")) << poll.OutputSoFar();
    ASSERT_TRUE(poll.Signal(SIGINT));
    const ToolResult result = poll.Finish(10s);
    ASSERT_EQ(result.exitCode, 0) << result.err;

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

    // The adapter pulled while a poll runs ends it with text 119.
    testing::Tool pulled(tmp.path(), "pulled");
    ASSERT_TRUE(pulled.Start(kTarnctl, {"poll", "--modbus", sim.modbusLink, "--config", file}));
    ASSERT_TRUE(WaitForOutput(pulled, "\n1,4,16,")) << pulled.OutputSoFar();
    ASSERT_EQ(sim.Command("hangup"), "ok");
    const ToolResult ended = pulled.Finish(10s);
    EXPECT_EQ(ended.exitCode, 3);
    EXPECT_EQ(ended.err, "tarnctl: Communication with KX940 impossible!\n");
}

} // namespace
} // namespace tarn::e2e
