#include "sim/control.h"
#include "sim/installation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::sim {
namespace {

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

} // namespace
} // namespace tarn::sim
