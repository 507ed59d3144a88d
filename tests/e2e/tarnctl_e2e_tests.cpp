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
#include "config/default_config.h"
#include "text/choices.h"
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

// A poll's log: the rows of each cycle (the rows of one time stamp) counted by unit, and its
// states counted by cycle. Every row is checked against the configuration polled with: the
// time's form, the channel's tag, the unit of its channel type, a digital state's value.
struct PollLog {
    std::map<int, std::map<int, int>> perCycle;                // cycle 1.. -> unit -> rows
    std::map<int, std::map<std::string, int>> statesPerCycle;  // cycle 1.. -> state -> rows
    std::vector<long long> cycleMs;                            // each cycle's time of day in ms
    std::map<std::pair<int, int>, std::string> lastValue;      // (unit, channel) -> value
};

PollLog ReadPollLog(const std::string& csv, const SystemConfiguration& config, const SystemConfiguration* tags = nullptr)
{
    std::istringstream in(csv);
    std::string line, time;
    std::getline(in, line);
    EXPECT_EQ(line, "time,unit,channel,tag,value,eng_unit,state");
    PollLog log;
    // Only whole lines: the last one of a running poll may be cut.
    while (std::getline(in, line) && !in.eof()) {
        std::vector<std::string> f;  // the sample tags hold no separator
        for (std::size_t at = 0, comma; at <= line.size(); at = comma + 1) {
            comma = std::min(line.find(',', at), line.size());
            f.push_back(line.substr(at, comma - at));
        }
        if (f.size() != 7) {
            ADD_FAILURE() << "not a row: " << line;
            break;
        }
        const std::string &stamp = f[0], &tag = f[3], &value = f[4], &unit = f[5], &state = f[6];
        const int u = std::stoi(f[1]), c = std::stoi(f[2]);
        int h = 0, m = 0, sec = 0, ms = 0;
        EXPECT_EQ(std::sscanf(stamp.c_str(), "%*4d-%*2d-%*2dT%2d:%2d:%2d.%3d", &h, &m, &sec, &ms), 4) << line;
        if (stamp != time) {
            time = stamp;
            log.cycleMs.push_back(((h * 60LL + m) * 60 + sec) * 1000 + ms);
        }
        const int cycle = static_cast<int>(log.cycleMs.size());
        const ChannelRecord& channel = config.units[u - 1].channels[c - 1];
        const ChannelRecord& tagged = (tags ? *tags : config).units[u - 1].channels[c - 1];
        EXPECT_EQ(tag, Cp1252ToUtf8(Trimmed(std::string(FieldText(tagged.tag))))) << line;
        const bool digital = config.units[u - 1].SLAVE_TYPE == UNIT_KX927;
        if (digital) EXPECT_TRUE(unit.empty() && (value == "0" || value == "1")) << line;
        else EXPECT_EQ(unit, Cp1252ToUtf8(UnitOfMeasureText(static_cast<int>(channel.word & 0x3F)))) << line;
        ++log.perCycle[cycle][u];
        ++log.statesPerCycle[cycle][state];
        log.lastValue[{u, c}] = value;
    }
    return log;
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
    std::string line, heading;
    const std::string a = WritePlant(tmp, "plant_a.mcf", false), b = WritePlant(tmp, "plant_b.mcf", true);
    ASSERT_TRUE(Exits(0, Tarnctl({"write", "--port", port, a})));
    ASSERT_TRUE(Exits(0, Tarnctl({"read", "--port", port, "-o", tmp.file("back.mcf")})));
    // Nothing of the file is lost on the way: the same writer gives the same bytes.
    EXPECT_EQ(ReadFile(tmp.file("back.mcf")), ReadFile(a));

    const ToolResult status = Tarnctl({"status", "--port", port});
    ASSERT_TRUE(Exits(0, status));
    EXPECT_EQ(status.out, "1\tKX913 + 1 x KX914\t99\t97\n2\tKX927\t98\t95\n3\t\t0\t0\n4\t\t0\t0\n");
    // The gateway's Modbus line (17, 19200 8N2) given on the command line over the default's.
    SystemConfiguration defaults;
    BuildDefaultConfiguration(defaults);
    const ToolResult poll = Tarnctl({"poll", "--modbus", modbus, "--address", "17", "--baud", "19200", "--format", "8n2",
                                     "--interval", "300", "--cycles", "3"});
    ASSERT_TRUE(Exits(0, poll));
    // Position 1 shows the two modules found of the four configured; the KX927 configured at 3
    // and the KX913 at 4 are not there.
    const PollLog log = ReadPollLog(poll.out, GatewayPlant(), &defaults);
    const std::map<int, int> expected{{1, 32}};
    EXPECT_EQ(log.perCycle, (std::map<int, std::map<int, int>>{{1, expected}, {2, expected}, {3, expected}}));
    for (const auto& [cycle, states] : log.statesPerCycle) EXPECT_EQ(states, (std::map<std::string, int>{{"ok", 32}}));
    // Stamps in whole milliseconds: a spacing of 300 may read 299.
    for (std::size_t i = 1; i < log.cycleMs.size(); ++i) EXPECT_GE(log.cycleMs[i] - log.cycleMs[i - 1], 299) << i;

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

    ASSERT_TRUE(Exits(0, Tarnctl({"write", "--verify", "--port", port, b})));
    const ToolResult differs = Tarnctl({"compare", "--port", port, a});
    EXPECT_TRUE(Exits(1, differs));
    EXPECT_NE(differs.out.find("PLANT B"), std::string::npos) << differs.out;
    EXPECT_TRUE(Exits(0, Tarnctl({"compare", "--port", port, b})));
    // Only the differences, each under its part's heading; a part without any leaves nothing.
    const ToolResult changes = Tarnctl({"compare", "--changes", "--port", port, a});
    EXPECT_TRUE(Exits(1, changes));
    std::string errors = "Actual Configuration\tGateway Configuration\n";
    for (std::istringstream in(differs.out); std::getline(in, line);) {
        if (line == "Master" || line.rfind("Slave ", 0) == 0) heading = line + "\n";
        if (line.find("\tError\t") == std::string::npos) continue;
        errors += heading + line + "\n";
        heading.clear();
    }
    EXPECT_EQ(changes.out, errors);
    EXPECT_EQ(std::count(changes.out.begin(), changes.out.end(), '\n'), 11) << changes.out;  // 6 items, 4 headings
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

// A write that the line carried well but the gateway kept wrong: --verify reads it back and
// prints what differs, under its heading, with exit 1; a write kept whole verifies with exit 0.
TEST_F(GatewayFaults, WriteVerifyFindsWhatTheGatewayKeptWrong)
{
    Start({});
    const std::vector<std::string> write = {"write", "--verify", "--port", sim.serialLink, WritePlant(tmp, "plant.mcf", true)};
    const ToolResult kept = RunTool(tmp.path(), kTarnctl, write);
    EXPECT_TRUE(Exits(0, kept));
    EXPECT_EQ(kept.out, "");
    ASSERT_EQ(sim.Command("mangle 1"), "ok");
    const ToolResult mangled = RunTool(tmp.path(), kTarnctl, write);
    EXPECT_TRUE(Exits(1, mangled));
    EXPECT_EQ(mangled.out, "Actual Configuration\tGateway Configuration\nMaster\n  Tag of Master\tError\t<PLANT B>\t<?LANT B>\n");
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

// A poll with one reading pinned by the operator: it ends between cycles when interrupted and
// logs no rows of a unit found other than configured. A damaged reply makes one cycle's rows of
// its unit stale and the poll goes on; with the adapter pulled every cycle is stale, and
// --max-failures ends the poll with text 119 and exit 3.
TEST_F(GatewayFaults, PollLogsFaultsAsStaleRowsAndEndsBetweenCycles)
{
    const SystemConfiguration plant = GatewayPlant();
    const std::string file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(plant));
    Start({"--config", file});
    ASSERT_EQ(sim.Command("value 1 3 54321"), "ok");
    const std::vector<std::string> poll = {"poll", "--modbus", sim.modbusLink, "--config", file};
    // The cycles begun in the output so far, counted by their time stamps.
    auto waitForCycles = [&plant](const Tool& tool, std::size_t cycles) {
        for (const auto end = Clock::now() + 20s; Clock::now() < end; ::poll(nullptr, 0, 10)) {
            const std::string out = tool.OutputSoFar();
            if (out.find('\n') != std::string::npos && ReadPollLog(out, plant).cycleMs.size() >= cycles) return true;
        }
        return false;
    };
    int digital = 0;
    for (int c = 0; c < 32; ++c) digital += plant.units[2].channels[c].word != 0 ? 1 : 0;
    const std::map<int, int> asConfigured{{1, 64}, {3, digital}, {4, 16}};
    const std::map<int, int> unit1Blank{{3, digital}, {4, 16}};

    Tool interrupted(tmp.path(), "interrupted");
    ASSERT_TRUE(interrupted.Start(kTarnctl, poll));
    ASSERT_TRUE(waitForCycles(interrupted, 2)) << interrupted.OutputSoFar();
    ASSERT_EQ(sim.Command("found 1 0x30"), "ok");  // a KX927 where a KX913 is configured
    testing::CoreFixture english;
    ASSERT_TRUE(waitForCycles(interrupted, ReadPollLog(interrupted.OutputSoFar(), plant).cycleMs.size() + 2));
    ASSERT_TRUE(interrupted.Signal(SIGINT));
    const ToolResult result = interrupted.Finish(10s);
    ASSERT_TRUE(Exits(0, result));
    const PollLog log = ReadPollLog(result.out, plant);
    const std::string pinned = Trimmed(AnalogCellText(54321, plant.units[0].channels[2].word));
    EXPECT_EQ(log.lastValue.at({1, 3}), pinned.substr(pinned[0] == '+' ? 1 : 0, pinned.find(' ') - (pinned[0] == '+')));
    EXPECT_EQ(log.perCycle.begin()->second, asConfigured);
    EXPECT_EQ(log.perCycle.rbegin()->second, unit1Blank);
    // Every cycle written is complete: the interrupt ends the poll between cycles.
    for (const auto& [cycle, units] : log.perCycle) {
        EXPECT_TRUE(units == asConfigured || units == unit1Blank) << "cycle " << cycle;
        EXPECT_EQ(log.statesPerCycle.at(cycle).count("stale"), 0u) << "cycle " << cycle;
    }
    ASSERT_EQ(sim.Command("found 1 0x13"), "ok");  // as configured again

    // One damaged reply: the rows of that cycle's unit repeat its values as stale, then it goes on.
    Tool garbled(tmp.path(), "garbled");
    ASSERT_TRUE(garbled.Start(kTarnctl, poll));
    ASSERT_TRUE(waitForCycles(garbled, 1));
    ASSERT_EQ(sim.Command("garble 1"), "ok");
    ASSERT_TRUE(waitForCycles(garbled, ReadPollLog(garbled.OutputSoFar(), plant).cycleMs.size() + 3));
    ASSERT_TRUE(garbled.Signal(SIGINT));
    const PollLog withFault = ReadPollLog(garbled.Finish(10s).out, plant);
    std::vector<int> staleRows;
    for (const auto& [cycle, states] : withFault.statesPerCycle) {
        EXPECT_EQ(withFault.perCycle.at(cycle), asConfigured) << cycle;
        if (states.count("stale")) staleRows.push_back(states.at("stale"));
    }
    ASSERT_EQ(staleRows.size(), 1u);
    EXPECT_TRUE(staleRows[0] == 64 || staleRows[0] == digital || staleRows[0] == 16) << staleRows[0];

    // The adapter pulled: every value stale, cycle after cycle, until the third failed cycle.
    Tool pulled(tmp.path(), "pulled");
    ASSERT_TRUE(pulled.Start(kTarnctl, [&] {
        auto args = poll;
        args.insert(args.end(), {"--max-failures", "3"});
        return args;
    }()));
    ASSERT_TRUE(waitForCycles(pulled, 1));
    ASSERT_EQ(sim.Command("hangup"), "ok");
    const ToolResult ended = pulled.Finish(10s);
    EXPECT_EQ(ended.exitCode, 3);
    EXPECT_EQ(ended.err, "tarnctl: Communication with KX940 impossible!\n");
    const PollLog gone = ReadPollLog(ended.out, plant);
    ASSERT_GE(gone.statesPerCycle.size(), 4u);
    // The first failed cycle may have read a unit or two before the adapter went.
    auto cycle = gone.statesPerCycle.rbegin();
    for (int failed = 0; failed < 2; ++failed, ++cycle) EXPECT_EQ(cycle->second, (std::map<std::string, int>{{"stale", 64 + digital + 16}}));
    EXPECT_GT(cycle->second.count("stale"), 0u);
    EXPECT_EQ((++cycle)->second.count("stale"), 0u) << "more than three failed cycles";
}

} // namespace
} // namespace tarn::e2e
