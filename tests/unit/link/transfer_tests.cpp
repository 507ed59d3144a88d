#include "link/transfer.h"

#include "config/app_state.h"
#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "support/sample_installation.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::FakeGateway;
using testing::FullInstallation;
using testing::GatewayStore;
using testing::SameBytes;

class TransferTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return core.session; }

    void SetUp() override { core.state.serialPort.name = "/dev/fake-gateway"; }

    // Runs the started transfer to its end step; the number of TransferStep calls, that one included.
    int RunToEnd()
    {
        int steps = 1;
        while (steps < 1000 && TransferStep()) ++steps;
        return steps;
    }

    // Starts a transfer in mode and runs it to its end.
    int Run(AppMode mode)
    {
        core.state.mode = mode;
        if (!StartTransfer()) return 0;
        return RunToEnd();
    }

    // Puts configuration into the fake gateway through a complete write.
    void Program(const SystemConfiguration& configuration)
    {
        CopyConfiguration(core.state.gateway, configuration);
        ASSERT_EQ(Run(AppMode::WriteGateway), TRANSFER_STEP_COUNT);
        ASSERT_EQ(LastTransferOutcome(), TransferOutcome::Succeeded);
    }

    std::vector<std::string> Errors() const { return core.ui.texts(MessageIcon::Error); }

    // What every failed transfer leaves: text 395 once (after a write with text 398: the gateway
    // holds a partly written configuration), the current image as it was, idle, no link.
    void ExpectFailedEnd(const SystemConfiguration& before, bool write = false)
    {
        const std::string error = "Communication error with KX940";
        EXPECT_EQ(Errors(), std::vector<std::string>{write ? error + "\n\n" + GetText(398) : error});
        EXPECT_TRUE(SameBytes(core.state.current, before));
        EXPECT_EQ(core.state.mode, AppMode::Idle);
        EXPECT_EQ(LastTransferOutcome(), TransferOutcome::Failed);
        EXPECT_FALSE(SerialLinkOpen());
    }

    CoreFixture core;
    FakeGateway gateway{core.devices};
};

TEST_F(TransferTest, MasterWordsArePackedAsTheGatewayExpects)
{
    struct Case {
        std::uint32_t cable, freq, modConfig, repeaters;
        std::uint32_t matrix[4];
        std::uint32_t options;   // S0.03
        std::uint32_t repeater;  // S0.04
    } cases[] = {
        {3, 1, 1, 4, {3, 0, 2, 1}, 0xF, 4u << 12 | 3 | 0 << 3 | 2 << 6 | 1 << 9},
        {1, 1, 0, 1, {3, 3, 3, 3}, 0x5, 1u << 12 | 0x6DB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        SystemConfiguration sample = FullInstallation();
        sample.MASTER_CABLE = c.cable;
        sample.MASTER_FREQ = c.freq;
        sample.MASTER_MOD_CONFIG = c.modConfig;
        sample.MASTER_REPT = c.repeaters;
        std::copy(std::begin(c.matrix), std::end(c.matrix), sample.MASTER_REPT_MAT);
        Program(sample);
        EXPECT_EQ(gateway.store.settings[0][3], c.options);
        EXPECT_EQ(gateway.store.settings[0][4], c.repeater);

        // Read back with every bit the program does not write set as well.
        gateway.store.settings[0][3] |= 0xFFF0;
        gateway.store.settings[0][4] |= 0x8000 | 1u << 2 | 1u << 5 | 1u << 8 | 1u << 11;
        ClearConfiguration(core.state.gateway);
        ASSERT_EQ(Run(AppMode::CompareGateway), TRANSFER_STEP_COUNT);
        const SystemConfiguration& read = core.state.gateway;
        EXPECT_EQ(read.MASTER_CABLE, c.cable);
        EXPECT_EQ(read.MASTER_FREQ, c.freq);
        EXPECT_EQ(read.MASTER_MOD_CONFIG, c.modConfig);
        EXPECT_EQ(read.MASTER_REPT, c.repeaters);
        for (int i = 0; i < REPEATER_COUNT; ++i) EXPECT_EQ(read.MASTER_REPT_MAT[i], c.matrix[i]) << i;
    }
}

TEST_F(TransferTest, ReadingsOutsideTheConfigurationRangesEndTheTransfer)
{
    struct Case {
        const char* what;
        std::uint32_t* cell;
        std::uint32_t value;
        bool accepted;
        const char* reply = nullptr;  // in place of the gateway's own to its request
    } cases[] = {
        {"modbus address 0", &gateway.store.settings[0][9], 0, false},
        {"modbus address 251", &gateway.store.settings[0][9], 251, false},
        {"baud index 6", &gateway.store.settings[0][10], 6, false},
        {"format index 4", &gateway.store.settings[0][11], 4, false},
        {"4 repeaters", &gateway.store.settings[0][4], 4u << 12, true},
        {"5 repeaters", &gateway.store.settings[0][4], 5u << 12, false},
        {"reference -401", &gateway.store.settings[3][16], 65135, false},
        {"reference 1001", &gateway.store.settings[3][16], 1001, false},
        {"channel word beyond 16 bits", &gateway.store.words[4][64], 0x10000, false},
        // A reply without a number is no value: the field would keep what it held.
        {"no number", nullptr, 0, false, "S0.01=abcd"},
        {"a number with a tail", nullptr, 0, false, "C4.64=0017 x"},
    };
    Program(FullInstallation());
    const GatewayStore valid = gateway.store;
    const auto answer = gateway.line().responder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gateway.store = valid;
        if (c.cell) *c.cell = c.value;
        gateway.line().responder = [&](const testing::Bytes& written) {
            return c.reply && testing::ToText(written) == std::string(c.reply, 5) + "\r"
                       ? testing::FakeReply::Text(std::string(c.reply) + "\r")
                       : answer(written);
        };
        core.ui = {};
        core.state.current = FullInstallation();
        SetFieldText(core.state.current.MASTER_TAG, "UNTOUCHED");
        const SystemConfiguration before = core.state.current;
        Run(AppMode::ReadGateway);
        EXPECT_EQ(LastTransferOutcome(), c.accepted ? TransferOutcome::Succeeded : TransferOutcome::Failed);
        if (c.accepted) EXPECT_TRUE(Errors().empty());
        else ExpectFailedEnd(before);
    }
    gateway.line().responder = answer;
}

TEST_F(TransferTest, GatewayThatFallsSilentInUnitThreeLeavesEverythingAsItWas)
{
    for (bool write : {false, true}) {
        SCOPED_TRACE(write);
        gateway.Reset();
        core.ui = {};
        core.state.current = FullInstallation();
        core.state.FileModified = true;
        core.state.GatewayModified = false;
        const SystemConfiguration before = core.state.current;

        // C3.10 follows the master's requests (S0.01 and S0.02 are read only), units 1 and 2,
        // S3.03, S3.16 and channels 1..9 of unit 3, each with a word and a tag.
        const int failing = (write ? 6 : 8) + 2 * (2 + 2 * 64) + 2 + 2 * 9;
        gateway.answerLimit = failing;
        core.state.mode = write ? AppMode::WriteGateway : AppMode::ReadGateway;
        ASSERT_EQ(StartTransfer(), 1);
        if (write) CopyConfiguration(core.state.gateway, core.state.current);
        // master, units 1 and 2, the unit step of unit 3 and channels 1..10, then the end step
        EXPECT_EQ(RunToEnd(), 1 + 2 * 65 + 1 + 10 + 1);

        // The failing request went out twice (both attempts) and nothing after it.
        ASSERT_EQ(gateway.requests.size(), static_cast<std::size_t>(failing + 2));
        EXPECT_EQ(gateway.requests.back().substr(0, 5), "C3.10");
        EXPECT_LE(gateway.line().waitedMs, 500) << "the failed command must not block longer than its time-outs";

        EXPECT_EQ(core.ui.progress.back(), 0);  // no percentage left standing
        ExpectFailedEnd(before, write);
        EXPECT_TRUE(core.state.FileModified);
        EXPECT_FALSE(core.state.GatewayModified);
    }
}

// A stop (tarnctl on SIGINT or SIGTERM) ends a write after the exchange under way, with the
// message that the gateway holds a partly written configuration.
TEST_F(TransferTest, AStopEndsTheTransferAfterTheExchangeUnderWay)
{
    struct Case {
        const char* what;
        AppMode mode;
        const char* stopDuring;  // the request whose exchange the stop arrives in
        TransferOutcome outcome;
        std::vector<std::string> errors;
    } cases[] = {
        {"write, in a channel step", AppMode::WriteGateway, "C2.07", TransferOutcome::Stopped, {GetText(398)}},
        {"write, after its last exchange", AppMode::WriteGateway, "T4.64", TransferOutcome::Succeeded, {}},
        {"read", AppMode::ReadGateway, "T1.01", TransferOutcome::Stopped, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gateway.Reset();
        const auto answer = gateway.line().responder;
        std::string stopAt = c.stopDuring;
        gateway.line().responder = [&](const testing::Bytes& written) {
            if (testing::ToText(written).rfind(stopAt, 0) == 0) RequestTransferStop();
            return answer(written);
        };
        core.ui = {};
        core.state.current = FullInstallation();
        const SystemConfiguration before = core.state.current;
        CopyConfiguration(core.state.gateway, core.state.current);
        Run(c.mode);
        EXPECT_EQ(LastTransferOutcome(), c.outcome);
        // The exchange under way was answered once, and it was the last one.
        ASSERT_GE(gateway.requests.size(), 2u);
        EXPECT_EQ(gateway.requests.back().substr(0, 5), stopAt);
        EXPECT_NE(gateway.requests[gateway.requests.size() - 2].substr(0, 5), stopAt);
        EXPECT_EQ(Errors(), c.errors);
        EXPECT_TRUE(SameBytes(core.state.current, before));
    }
    // The next transfer starts without the old request.
    gateway.Reset();
    EXPECT_EQ(Run(AppMode::ReadGateway), TRANSFER_STEP_COUNT);
    EXPECT_EQ(LastTransferOutcome(), TransferOutcome::Succeeded);
}

TEST_F(TransferTest, ComparisonCountsWhatDiffersFromTheGateway)
{
    Program(FullInstallation());
    // Tags come back blank-padded to 16 characters; stored tags have no trailing blanks, so a
    // configuration compares equal with the gateway it was written to.
    core.state.current = FullInstallation();
    ASSERT_EQ(CompareWithGateway(), 1);
    RunToEnd();
    EXPECT_EQ(core.state.comparisonErrors, 0);

    gateway.store.words[1][5] ^= 0x0800;            // filter of unit 1 channel 5
    gateway.store.tags[3][2] = "OTHER";               // tag of unit 3 channel 2
    gateway.store.settings[0][10] = 5;                // baud rate index
    core.ui = {};
    ASSERT_EQ(CompareWithGateway(), 1);
    RunToEnd();
    EXPECT_EQ(core.state.comparisonErrors, 3);
}

} // namespace
} // namespace tarn
