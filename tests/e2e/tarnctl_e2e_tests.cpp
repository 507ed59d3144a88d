// tarnctl against kx940-sim: whole transfers over a pseudo-terminal, and what
// the user sees when the gateway fails in the middle of one. (The adapter pulled in
// the middle of a read: tests/gui/app/main_window_gateway_tests.cpp.)
#include "e2e_support.h"
#include "support/recording_ui.h"

#include "config/config_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
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

// The tests that share the fixture's simulator (one at a time: they change what it holds).
class SharedGateway : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = SharedSimulatorLink("serial");
        ASSERT_TRUE(Exists(port)) << "run through ctest: the simulator fixture sets TARN_SIM_DIR";
        a = WritePlant(tmp, "plant_a.mcf", false);
        b = WritePlant(tmp, "plant_b.mcf", true);
    }

    ToolResult Tarnctl(const std::vector<std::string>& args) { return RunTool(tmp.path(), kTarnctl, args); }

    TempDir tmp;
    std::string port, a, b;
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

} // namespace
} // namespace tarn::e2e
