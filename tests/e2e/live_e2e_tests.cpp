// tarnctl status and poll against kx940-sim: what the status control and the
// Modbus live test show of the units the gateway really finds, and how a poll
// ends when interrupted or when the adapter is pulled.
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

// The simulator of the fixture, shared one test at a time with the other SharedGateway suites.
class SharedGatewayLive : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = SharedSimulatorLink("serial");
        modbus = SharedSimulatorLink("modbus");
        ASSERT_FALSE(port.empty()) << "run through ctest: the simulator fixture sets TARN_SIM_DIR";
    }
    ToolResult Tarnctl(const std::vector<std::string>& args) { return RunTool(tmp.path(), kTarnctl, args); }

    TempDir tmp;
    std::string port, modbus;
};

// The fixture's gateway finds the simulator's own units (KX913 + 1 x KX914 at position 1, a
// KX927 at 2) whatever configuration is written to it.
TEST_F(SharedGatewayLive, StatusAndPollShowTheUnitsTheGatewayFinds)
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
TEST_F(SharedGatewayLive, OutputThatGoesNowhereEndsTheSubcommand)
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

class LiveFromSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(plant));
        std::string error;
        ASSERT_TRUE(sim.Start(kSimulator, tmp.file("links"), {"--config", file}, error)) << error;
    }

    static bool WaitForOutput(testing::Tool& tool, const std::string& text)
    {
        for (const auto end = Clock::now() + 20s; Clock::now() < end; poll(nullptr, 0, 10))
            if (tool.OutputSoFar().find(text) != std::string::npos) return true;
        return false;
    }

    const SystemConfiguration plant = GatewayPlant();
    testing::CoreFixture english;
    TempDir tmp;
    Simulator sim;
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
