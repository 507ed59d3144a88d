#include "sim/control.h"
#include "sim/installation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::sim {
namespace {

TEST(SimOptions, CommandLine)
{
    Options o;
    std::string error;
    ASSERT_TRUE(ParseOptions({"--wire-timing", "--turnaround", "2", "--config", "a.mcf", "--link-dir", "/tmp/x",
                              "--fail-after", "100"},
                             o, error))
        << error;
    EXPECT_TRUE(o.wire_timing);
    EXPECT_EQ(o.turnaround_ms, 2);
    EXPECT_EQ(o.config_file, "a.mcf");
    EXPECT_EQ(o.link_dir, "/tmp/x");
    EXPECT_EQ(o.fail_after, 100);

    Options defaults;
    ASSERT_TRUE(ParseOptions({}, defaults, error));
    EXPECT_EQ(defaults.link_dir, "kx940-sim");
    EXPECT_EQ(defaults.fail_after, -1);
    EXPECT_FALSE(defaults.wire_timing);

    const std::vector<std::vector<std::string>> bad = {
        {"--turnaround"}, {"--turnaround", "-1"}, {"--turnaround", "2ms"}, {"--fail-after", "x"},
        {"--fail-after", "-3"}, {"--link-dir", ""}, {"--verbose"}, {"--empty", "--config", "a.mcf"}, {"serial"},
    };
    for (const auto& args : bad) {
        Options b;
        error.clear();
        EXPECT_FALSE(ParseOptions(args, b, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimCommands, ParseEveryFormAndRefuseTheRest)
{
    struct Case {
        const char* line;
        CommandKind kind;
        std::vector<long long> args;
    };
    const Case good[] = {
        {"silence on", CommandKind::Silence, {1}},
        {"silence off", CommandKind::Silence, {0}},
        {"garble 3", CommandKind::Garble, {3}},
        {"hangup", CommandKind::Hangup, {}},
        {"found 2 0x31", CommandKind::Found, {2, 0x31}},
        {"value 1 5 65535", CommandKind::Value, {1, 5, 65535}},
        {"input 1 1 -20000", CommandKind::Input, {1, 1, -20000}},
        {"  line 4 100 0  ", CommandKind::Line, {4, 100, 0}},
        {"override 2", CommandKind::Override, {2}},
        {"stats", CommandKind::Stats, {}},
    };
    for (const auto& c : good) {
        ControlCommand command{};
        std::string error;
        ASSERT_TRUE(ParseControlCommand(c.line, command, error)) << c.line << ": " << error;
        EXPECT_EQ(command.kind, c.kind) << c.line;
        EXPECT_EQ(command.args, c.args) << c.line;
    }
    const char* bad[] = {"silence", "silence maybe", "garble", "garble -1", "garble x", "found 1", "value 1 2",
                         "line 1 2 3 4", "hangup now", "stats 1", "reboot", "FOUND 1 2"};
    for (const char* line : bad) {
        ControlCommand command{};
        std::string error;
        EXPECT_FALSE(ParseControlCommand(line, command, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
    ControlCommand command{};
    std::string error = "x";
    EXPECT_FALSE(ParseControlCommand("   ", command, error));
    EXPECT_TRUE(error.empty());  // an empty line is no command and no mistake
}

TEST(SimCommands, GatewayCommandsCheckTheirNumbers)
{
    SystemConfiguration c;
    BuildInstallation(c, false);
    Gateway g(c);
    struct Case {
        CommandKind kind;
        std::vector<long long> args;
        bool ok;
    };
    const Case cases[] = {
        {CommandKind::Found, {1, 0x13}, true},     {CommandKind::Found, {0, 0x10}, false},
        {CommandKind::Found, {5, 0x10}, false},    {CommandKind::Found, {1, 0x100}, false},
        {CommandKind::Value, {2, 4, 0x0F0F}, true}, {CommandKind::Value, {1, 1, -1}, true},
        {CommandKind::Value, {1, 65, 0}, false},   {CommandKind::Value, {1, 1, 65536}, false},
        {CommandKind::Input, {1, 1, 20000}, true}, {CommandKind::Input, {1, 0, 0}, false},
        {CommandKind::Line, {3, 0, 100}, true},    {CommandKind::Line, {3, 0, 70000}, false},
        {CommandKind::Override, {1}, true},        {CommandKind::Override, {3}, false},
        {CommandKind::Stats, {}, false},
    };
    for (const auto& k : cases) {
        std::string error;
        EXPECT_EQ(ApplyToGateway(g, {k.kind, k.args}, error), k.ok) << static_cast<int>(k.kind) << " " << k.args[0];
        EXPECT_EQ(error.empty(), k.ok);
    }
    // What the accepted ones did.
    EXPECT_EQ(g.Setting(1, 1), 0x13);
    EXPECT_EQ(g.Reading(2, 4, 0), 0x0F0F);
    EXPECT_EQ(g.Reading(1, 1, 0), 20000);  // a calibrated unit reads the applied 20 mV
    EXPECT_EQ(g.Setting(3, 6), 100);
}

TEST(SimInstallation, BuiltInAndFromFile)
{
    SystemConfiguration c;
    BuildInstallation(c, true);
    for (const auto& unit : c.units) EXPECT_EQ(unit.SLAVE_TYPE, UNIT_NONE);
    EXPECT_EQ(FieldText(c.MASTER_TAG), "Tag 0.0");

    BuildInstallation(c, false);
    EXPECT_EQ(c.units[0].SLAVE_TYPE, UNIT_KX913);
    EXPECT_EQ(c.units[0].SLAVE_EXP, 1u);
    EXPECT_EQ(c.units[1].SLAVE_TYPE, UNIT_KX927);
    EXPECT_EQ(ChannelsInUse(c.units[0]), 32);

    std::string error;
    EXPECT_FALSE(LoadInstallation("/nonexistent/plant.mcf", c, error));
    EXPECT_NE(error.find("/nonexistent/plant.mcf"), std::string::npos);
}

} // namespace
} // namespace tarn::sim
