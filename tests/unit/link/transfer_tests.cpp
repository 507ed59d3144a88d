#include "link/transfer.h"

#include "config/app_state.h"
#include "config/channel_word.h"
#include "config/comparison.h"
#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "support/sample_installation.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::FakeGateway;
using testing::FullInstallation;
using testing::GatewayStore;
using testing::SameBytes;

std::string Address(char kind, int unit, int number)
{
    char text[8];
    std::snprintf(text, sizeof text, "%c%d.%02d", kind, unit, number);
    return text;
}

// The address part of every request of a complete transfer, in the order the gateway sees them.
std::vector<std::string> TransferAddresses(bool write)
{
    std::vector<std::string> out;
    if (!write) out = {"S0.01", "S0.02"};
    for (const char* a : {"S0.03", "S0.04", "S0.09", "S0.10", "S0.11", "T0.01"}) out.push_back(a);
    for (int u = 1; u <= 4; ++u) {
        out.push_back(Address('S', u, 3));
        out.push_back(Address('S', u, 16));
        for (int c = 1; c <= 64; ++c) {
            out.push_back(Address('C', u, c));
            out.push_back(Address('T', u, c));
        }
    }
    return out;
}

int RequestIndex(bool write, const std::string& address)
{
    const auto all = TransferAddresses(write);
    return static_cast<int>(std::find(all.begin(), all.end(), address) - all.begin());
}

class TransferTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return core.session; }

    void SetUp() override
    {
        core.state.serialPort.name = "/dev/fake-gateway";
    }

    void TearDown() override
    {
        while (TransferStep()) {
        }
        CloseSerialLink();
    }

    // Runs the started transfer to its end step; the number of TransferStep calls, that one included.
    int RunToEnd()
    {
        int steps = 0;
        while (steps < 1000) {
            ++steps;
            if (!TransferStep()) break;
        }
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
        gateway.requests.clear();
        core.ui = {};
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
        EXPECT_FALSE(TransferRunning());
        EXPECT_FALSE(SerialLinkOpen());
        EXPECT_FALSE(gateway.line().open);
    }

    CoreFixture core;
    FakeGateway gateway{core.devices};
};

TEST_F(TransferTest, ReadAndWriteSendTheirRequestsInTransferOrder)
{
    struct Case {
        AppMode mode;
        bool write;
    } cases[] = {{AppMode::ReadGateway, false}, {AppMode::WriteGateway, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        gateway.requests.clear();
        CopyConfiguration(core.state.gateway, FullInstallation());
        EXPECT_EQ(Run(c.mode), TRANSFER_STEP_COUNT);
        EXPECT_EQ(LastTransferOutcome(), TransferOutcome::Succeeded);

        std::vector<std::string> addresses;
        for (const std::string& r : gateway.requests) {
            addresses.push_back(r.substr(0, 5));
            EXPECT_EQ(r.size() > 5, c.write) << r;  // reads carry no value, writes always do
        }
        EXPECT_EQ(addresses, TransferAddresses(c.write));
        EXPECT_FALSE(gateway.line().open);
        EXPECT_FALSE(SerialLinkOpen());
        EXPECT_FALSE(TransferRunning());
        EXPECT_FALSE(TransferStep()) << "a finished transfer takes no further step";
    }
    EXPECT_EQ(gateway.line().openedPaths, std::vector<std::string>(2, "/dev/fake-gateway"));
}

TEST_F(TransferTest, StatusAndProgressFollowTheChannelSteps)
{
    struct Case {
        AppMode mode;
        const char* master;
        const char* slave;
    } cases[] = {{AppMode::ReadGateway, "Reading configuration of master", "Reading configuration of slave"},
                 {AppMode::WriteGateway, "Writing configuration of master", "Writing configuration of slave"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        core.ui = {};
        core.state.mode = c.mode;
        ASSERT_EQ(StartTransfer(), 1);
        EXPECT_EQ(core.ui.waitCursor, std::vector<bool>{true});

        // Master step and the unit step of unit 1 leave the progress field alone.
        ASSERT_TRUE(TransferStep());
        EXPECT_EQ(core.ui.statusMessages, std::vector<std::string>{c.master});
        ASSERT_TRUE(TransferStep());
        EXPECT_EQ(core.ui.statusMessages.size(), 1u);
        EXPECT_TRUE(core.ui.progress.empty());

        while (TransferStep()) {
        }
        // 256 channel steps, each with its own status and progress, then the end step.
        ASSERT_EQ(core.ui.progress.size(), 257u);
        EXPECT_EQ(core.ui.progress.front(), 0);
        EXPECT_EQ(core.ui.progress[64], 25);   // first channel of unit 2
        EXPECT_EQ(core.ui.progress[128], 50);
        EXPECT_EQ(core.ui.progress[255], 99);  // last channel of unit 4
        EXPECT_EQ(core.ui.progress.back(), 0);
        EXPECT_TRUE(std::is_sorted(core.ui.progress.begin(), core.ui.progress.end() - 1));
        EXPECT_EQ(core.ui.statusMessages[1], std::string(c.slave) + " 1 Channel 1");
        EXPECT_EQ(core.ui.statusMessages[1 + 64 + 16], std::string(c.slave) + " 2 Channel 17");
        EXPECT_EQ(core.ui.statusMessages[256], std::string(c.slave) + " 4 Channel 64");
        EXPECT_EQ(core.ui.statusMessages.back(), "");
        EXPECT_EQ(core.ui.waitCursor, (std::vector<bool>{true, false}));
        EXPECT_EQ(core.state.mode, AppMode::Idle);
    }
}

TEST_F(TransferTest, StatusTextsFollowTheLanguage)
{
    SetLanguage(LANGUAGE_ITALIAN);
    core.state.mode = AppMode::ReadGateway;
    ASSERT_EQ(StartTransfer(), 1);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(TransferStep());
    EXPECT_EQ(core.ui.statusMessages.front(), GetText(360));
    EXPECT_EQ(core.ui.statusMessages.back(), GetText(362) + " 1 " + GetText(364) + " 1");
    EXPECT_NE(GetText(362), GetTextIn(LANGUAGE_ENGLISH, 362));
}

TEST_F(TransferTest, MasterWordsArePackedAsTheGatewayExpects)
{
    struct Case {
        std::uint32_t cable, freq, modConfig, repeaters;
        std::uint32_t matrix[4];
        std::uint32_t options;   // S0.03
        std::uint32_t repeater;  // S0.04
    } cases[] = {
        {3, 1, 1, 4, {3, 0, 2, 1}, 0xF, 4u << 12 | 3 | 0 << 3 | 2 << 6 | 1 << 9},
        {2, 0, 1, 0, {0, 1, 2, 3}, 0xA, 1u << 3 | 2 << 6 | 3 << 9},
        {1, 1, 0, 1, {3, 3, 3, 3}, 0x5, 1u << 12 | 0x6DB},
        {0, 0, 0, 2, {0, 0, 0, 0}, 0x0, 2u << 12},
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

TEST_F(TransferTest, UnitWordsAndSignedReferenceTravelAsSixteenBitValues)
{
    SystemConfiguration sample = FullInstallation();
    Program(sample);
    // Unit descriptors and the cold junction reference in two's complement.
    EXPECT_EQ(gateway.store.settings[1][3], 0x13u);
    EXPECT_EQ(gateway.store.settings[2][3], 0u);
    EXPECT_EQ(gateway.store.settings[3][3], 0x30u);
    EXPECT_EQ(gateway.store.settings[4][3], 0x10u);
    EXPECT_EQ(gateway.store.settings[1][16], 65136u);  // -400
    EXPECT_EQ(gateway.store.settings[2][16], 65535u);  // -1
    EXPECT_EQ(gateway.store.settings[4][16], 1000u);
    EXPECT_EQ(gateway.store.words[1][2], sample.units[0].channels[1].word);
    EXPECT_EQ(gateway.store.tags[1][1], "TI 101 \xB0" "C");
    EXPECT_EQ(gateway.store.tags[0][1], "NORTH \xB0\xE0 GATEWAY");

    struct Case {
        std::uint32_t descriptor;
        std::uint32_t reference;
        std::uint32_t type, expansions;
        std::int32_t cjc;
    } cases[] = {
        {0x13, 65136, UNIT_KX913, 3, -400},
        {0x30, 1000, UNIT_KX927, 0, 1000},
        {0x23, 65535, UNIT_NONE, 3, -1},    // 0x20 is no unit
        {0x112, 0, UNIT_KX913, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.descriptor);
        gateway.store.settings[2][3] = c.descriptor;
        gateway.store.settings[2][16] = c.reference;
        ASSERT_EQ(Run(AppMode::CompareGateway), TRANSFER_STEP_COUNT);
        EXPECT_EQ(LastTransferOutcome(), TransferOutcome::Succeeded);
        EXPECT_EQ(core.state.gateway.units[1].SLAVE_TYPE, c.type);
        EXPECT_EQ(core.state.gateway.units[1].SLAVE_EXP, c.expansions);
        EXPECT_EQ(core.state.gateway.units[1].SLAVE_CJC, c.cjc);
    }
}

TEST_F(TransferTest, ReadingsOutsideTheConfigurationRangesEndTheTransfer)
{
    struct Case {
        const char* what;
        std::uint32_t* cell;
        std::uint32_t value;
        bool accepted;
    } cases[] = {
        {"modbus address 0", &gateway.store.settings[0][9], 0, false},
        {"modbus address 1", &gateway.store.settings[0][9], 1, true},
        {"modbus address 250", &gateway.store.settings[0][9], 250, true},
        {"modbus address 251", &gateway.store.settings[0][9], 251, false},
        {"baud index 5", &gateway.store.settings[0][10], 5, true},
        {"baud index 6", &gateway.store.settings[0][10], 6, false},
        {"format index 3", &gateway.store.settings[0][11], 3, true},
        {"format index 4", &gateway.store.settings[0][11], 4, false},
        {"4 repeaters", &gateway.store.settings[0][4], 4u << 12, true},
        {"5 repeaters", &gateway.store.settings[0][4], 5u << 12, false},
        {"reference -401", &gateway.store.settings[3][16], 65135, false},
        {"reference 1001", &gateway.store.settings[3][16], 1001, false},
        {"reference beyond 16 bits", &gateway.store.settings[3][16], 65536 + 5, false},
        {"channel word 0xFFFF", &gateway.store.words[4][64], 0xFFFF, true},
        {"channel word beyond 16 bits", &gateway.store.words[4][64], 0x10000, false},
    };
    Program(FullInstallation());
    const GatewayStore valid = gateway.store;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gateway.store = valid;
        *c.cell = c.value;
        core.ui = {};
        core.state.current = FullInstallation();
        SetFieldText(core.state.current.MASTER_TAG, "UNTOUCHED");
        const SystemConfiguration before = core.state.current;
        Run(AppMode::ReadGateway);
        EXPECT_EQ(LastTransferOutcome(), c.accepted ? TransferOutcome::Succeeded : TransferOutcome::Failed);
        if (c.accepted) EXPECT_TRUE(Errors().empty());
        else ExpectFailedEnd(before);
    }
}

TEST_F(TransferTest, GatewayThatFallsSilentInUnitThreeLeavesEverythingAsItWas)
{
    struct Case {
        AppMode mode;
        bool write;
    } cases[] = {{AppMode::ReadGateway, false}, {AppMode::WriteGateway, true}, {AppMode::CompareGateway, false},
                 {AppMode::PrepareSerialTest, false}};
    const SystemConfiguration sample = FullInstallation();
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        gateway.Reset();
        core.ui = {};
        core.ui.answers = {true};
        core.state.current = sample;
        core.state.FileModified = true;
        core.state.GatewayModified = false;
        const SystemConfiguration before = core.state.current;

        const int failing = RequestIndex(c.write, "C3.10");
        gateway.answerLimit = failing;
        core.state.mode = c.mode;
        ASSERT_EQ(StartTransfer(), 1);
        if (c.write) CopyConfiguration(core.state.gateway, core.state.current);
        // master, units 1 and 2, the unit step of unit 3 and channels 1..10, then the end step
        EXPECT_EQ(RunToEnd(), 1 + 2 * 65 + 1 + 10 + 1);

        // The failing request went out twice (both attempts) and nothing after it.
        ASSERT_EQ(gateway.requests.size(), static_cast<std::size_t>(failing + 2));
        EXPECT_EQ(gateway.requests[failing].substr(0, 5), "C3.10");
        EXPECT_EQ(gateway.requests[failing + 1].substr(0, 5), "C3.10");
        EXPECT_LE(gateway.line().waitedMs, 500) << "the failed command must not block longer than its time-outs";
        EXPECT_GT(gateway.line().waitedMs, 0);

        const auto& status = core.ui.statusMessages;
        ASSERT_GE(status.size(), 2u);
        EXPECT_EQ(status[status.size() - 2],
                  std::string(c.write ? "Writing" : "Reading") + " configuration of slave 3 Channel 10");
        EXPECT_EQ(status.back(), "");
        EXPECT_EQ(core.ui.progress.back(), 0);  // no percentage left standing
        ExpectFailedEnd(before, c.write);
        EXPECT_TRUE(core.state.FileModified);
        EXPECT_FALSE(core.state.GatewayModified);
        EXPECT_EQ(core.ui.waitCursor, (std::vector<bool>{true, false}));
        EXPECT_TRUE(core.ui.reports.empty());
    }
}

TEST_F(TransferTest, FailuresEndAtTheNextStepWithTheCommunicationError)
{
    struct Case {
        const char* what;
        AppMode mode;
        int answerLimit;
        std::vector<int> garbled;
        int steps;          // TransferStep calls up to and including the failure end
        std::size_t sent;   // requests the gateway saw
    } cases[] = {
        {"silent from the start", AppMode::ReadGateway, 0, {}, 2, 2},
        {"silent from the start, write", AppMode::WriteGateway, 0, {}, 2, 2},
        {"garbled unit descriptor", AppMode::ReadGateway, -1, {RequestIndex(false, "S2.03")}, 1 + 65 + 2, 8u + 130 + 1},
        {"garbled channel word echo", AppMode::WriteGateway, -1, {RequestIndex(true, "C1.01")}, 4, 6u + 2 + 1},
        {"garbled master tag", AppMode::CompareGateway, -1, {RequestIndex(false, "T0.01")}, 2, 8},
        {"silent at the last tag", AppMode::ReadGateway, RequestIndex(false, "T4.64"), {}, TRANSFER_STEP_COUNT,
         TransferAddresses(false).size() + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gateway.Reset();
        gateway.answerLimit = c.answerLimit;
        gateway.garbled.insert(c.garbled.begin(), c.garbled.end());
        core.ui = {};
        const SystemConfiguration before = core.state.current;
        EXPECT_EQ(Run(c.mode), c.steps);
        EXPECT_EQ(gateway.requests.size(), c.sent);
        ExpectFailedEnd(before, c.mode == AppMode::WriteGateway);
        EXPECT_LE(gateway.line().waitedMs, 500);
    }
}

// A reply without a number is no value: the field would keep what it held and be taken for the
// gateway's.
TEST_F(TransferTest, ReadRepliesWithoutANumberEndTheTransfer)
{
    Program(FullInstallation());
    const auto answer = gateway.line().responder;
    for (const char* reply : {"S0.01=abcd", "C4.64=0017 x"}) {
        SCOPED_TRACE(reply);
        const std::string request = std::string(reply, 5) + "\r";
        gateway.line().responder = [&](const testing::Bytes& written) {
            return testing::ToText(written) == request ? testing::FakeReply::Text(std::string(reply) + "\r")
                                                       : answer(written);
        };
        core.ui = {};
        core.state.current = FullInstallation();
        SetFieldText(core.state.current.MASTER_TAG, "UNTOUCHED");
        const SystemConfiguration before = core.state.current;
        Run(AppMode::ReadGateway);
        ExpectFailedEnd(before);
    }
    gateway.line().responder = answer;
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
        // The exchange under way was answered, and it was the last one.
        ASSERT_FALSE(gateway.requests.empty());
        EXPECT_EQ(gateway.requests.back().substr(0, 5), stopAt);
        EXPECT_EQ(std::count_if(gateway.requests.begin(), gateway.requests.end(),
                                [&](const std::string& r) { return r.rfind(stopAt, 0) == 0; }),
                  1);
        EXPECT_EQ(Errors(), c.errors);
        EXPECT_TRUE(SameBytes(core.state.current, before));
        EXPECT_EQ(core.state.mode, AppMode::Idle);
        EXPECT_FALSE(TransferRunning());
        EXPECT_FALSE(SerialLinkOpen());
    }
    // The next transfer starts without the old request.
    gateway.Reset();
    EXPECT_EQ(Run(AppMode::ReadGateway), TRANSFER_STEP_COUNT);
    EXPECT_EQ(LastTransferOutcome(), TransferOutcome::Succeeded);
}

TEST_F(TransferTest, DeviceThatDisappearsEndsTheTransferAtOnce)
{
    for (const char* last : {"S0.01", "S1.16", "T2.33", "C4.64"}) {
        SCOPED_TRACE(last);
        gateway.Reset();
        gateway.goneAfter = RequestIndex(false, last) + 1;
        core.ui = {};
        core.state.current = FullInstallation();
        const SystemConfiguration before = core.state.current;
        Run(AppMode::ReadGateway);
        EXPECT_TRUE(gateway.Gone());
        EXPECT_EQ(gateway.requests.back().substr(0, 5), last) << "nothing is sent once the device has gone";
        EXPECT_LE(gateway.line().callsAfterGone, 4) << "a gone device must not be polled";
        EXPECT_EQ(gateway.line().waitedMs, 0);
        ExpectFailedEnd(before);
    }
}

TEST_F(TransferTest, EachModeEndsWithItsOwnFlagsAndImages)
{
    const SystemConfiguration sample = FullInstallation();
    Program(sample);

    // Read: both flags cleared, the current image is the gateway image byte for byte.
    core.state.current = {};
    core.state.FileModified = false;
    core.state.GatewayModified = true;
    core.ui.answers = {true};
    ASSERT_EQ(ReadConfigurationFromGateway(), 1);
    EXPECT_EQ(RunToEnd(), TRANSFER_STEP_COUNT);
    EXPECT_FALSE(core.state.FileModified);
    EXPECT_FALSE(core.state.GatewayModified);
    EXPECT_TRUE(SameBytes(core.state.current, core.state.gateway));
    EXPECT_EQ(FieldText(core.state.current.units[2].channels[63].tag), FieldText(sample.units[2].channels[63].tag));
    EXPECT_EQ(core.state.mode, AppMode::Idle);
    EXPECT_EQ(core.ui.repaints, 2);

    // Write: only GatewayModified is cleared.
    core.state.FileModified = true;
    core.state.GatewayModified = true;
    core.state.current.units[0].channels[0].word = 0x1883;
    core.ui = {};
    core.ui.answers = {true};
    ASSERT_EQ(WriteConfigurationToGateway(), 1);
    EXPECT_EQ(RunToEnd(), TRANSFER_STEP_COUNT);
    EXPECT_TRUE(core.state.FileModified);
    EXPECT_FALSE(core.state.GatewayModified);
    EXPECT_EQ(gateway.store.words[1][1], 0x1883u);

    // Compare: neither flag changes; the report starts with the gateway header.
    for (bool modified : {false, true}) {
        core.state.FileModified = modified;
        core.state.GatewayModified = modified;
        core.ui = {};
        const SystemConfiguration before = core.state.current;
        ASSERT_EQ(CompareWithGateway(), 1);
        EXPECT_EQ(RunToEnd(), TRANSFER_STEP_COUNT);
        EXPECT_EQ(core.state.FileModified, modified);
        EXPECT_EQ(core.state.GatewayModified, modified);
        EXPECT_TRUE(SameBytes(core.state.current, before));
        EXPECT_TRUE(core.ui.messages.empty()) << "compare asks nothing and reports no error";
        ASSERT_EQ(core.ui.reports.size(), 1u);
        EXPECT_EQ(core.ui.reports[0], core.state.comparisonReport);
        EXPECT_EQ(core.state.comparisonReport.rfind("Actual Configuration\tGateway Configuration\r\n", 0), 0u);
        EXPECT_EQ(core.state.comparisonErrors, 0);
        EXPECT_EQ(core.state.mode, AppMode::Idle);
    }
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
    std::string expected;
    const int errors = CompareConfigurations(expected, core.state.current, core.state.gateway);
    EXPECT_EQ(core.state.comparisonErrors, errors);
    EXPECT_EQ(errors, 3);
    EXPECT_EQ(core.state.comparisonReport, GatewayComparisonHeader() + expected);
}

TEST_F(TransferTest, LiveTestReadingPhaseNeedsAUnit)
{
    struct Case {
        const char* what;
        std::uint32_t descriptors[4];
        AppMode mode;
        bool noSlaves;
    } cases[] = {
        {"no unit anywhere", {0, 0, 0, 0}, AppMode::Idle, true},
        {"descriptors that decode to no unit", {0x20, 0x23, 0x40, 0xF3}, AppMode::Idle, true},
        {"a digital unit at position 4", {0, 0, 0, 0x30}, AppMode::SerialTest, false},
        {"an analog unit at position 1", {0x12, 0, 0, 0}, AppMode::SerialTest, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int u = 0; u < 4; ++u) gateway.store.settings[u + 1][3] = c.descriptors[u];
        core.ui = {};
        for (UnitRecord& unit : core.state.gateway.units) unit.SLAVE_TYPE = UNIT_NONE;
        EXPECT_EQ(Run(AppMode::PrepareSerialTest), TRANSFER_STEP_COUNT);
        EXPECT_EQ(core.state.mode, c.mode);
        EXPECT_EQ(Errors(), c.noSlaves ? std::vector<std::string>{"No slaves connected to the KX940"}
                                       : std::vector<std::string>{});
        // The start, each unit as it is read, and the end.
        EXPECT_EQ(core.ui.repaints, 1 + 4 + 1);
        EXPECT_EQ(core.ui.progress.back(), 0);
        EXPECT_FALSE(SerialLinkOpen());
    }
}

TEST_F(TransferTest, UnavailablePortStopsBeforeTheFirstStep)
{
    struct Case {
        const char* what;
        bool refuse;
        std::string port;
    } cases[] = {{"device refuses", true, "/dev/fake-gateway"}, {"no port chosen", false, ""}};
    for (const Case& c : cases) {
        for (AppMode mode : {AppMode::ReadGateway, AppMode::WriteGateway, AppMode::CompareGateway, AppMode::PrepareSerialTest}) {
            SCOPED_TRACE(std::string(c.what) + " mode " + std::to_string(static_cast<int>(mode)));
            gateway.line().openError = c.refuse ? LinkError{LinkErrorKind::NotFound, "no such device"} : LinkError{};
            core.state.serialPort.name = c.port;
            core.ui = {};
            core.state.mode = mode;
            EXPECT_EQ(StartTransfer(), 0);
            EXPECT_EQ(core.state.mode, AppMode::Idle);
            EXPECT_EQ(Errors(), std::vector<std::string>{"Unavailable Port"});
            EXPECT_FALSE(TransferRunning());
            EXPECT_EQ(LastTransferOutcome(), TransferOutcome::Failed);
            EXPECT_FALSE(TransferStep());
            EXPECT_TRUE(gateway.requests.empty());
            EXPECT_TRUE(core.ui.waitCursor.empty());
            EXPECT_TRUE(core.ui.statusMessages.empty());
        }
    }
}

TEST_F(TransferTest, MenuOperationsAskTheirQuestions)
{
    enum Op { Read, Write, Compare };
    struct Case {
        const char* what;
        Op op;
        bool fileModified, gatewayModified;
        std::vector<bool> answers;
        int question;  // text id asked, 0 for none
        bool starts;
    } cases[] = {
        {"read, nothing unsaved", Read, false, false, {}, 0, true},
        {"read, file modified, No", Read, true, false, {false}, 402, false},
        {"read, gateway modified, No", Read, false, true, {false}, 402, false},
        {"read, both modified, Yes", Read, true, true, {true}, 402, true},
        {"write, No", Write, false, false, {false}, 403, false},
        {"write, Yes", Write, true, false, {true}, 403, true},
        {"compare, modified", Compare, true, true, {}, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gateway.requests.clear();
        gateway.line().openedPaths.clear();
        core.ui = {};
        core.ui.answers.assign(c.answers.begin(), c.answers.end());
        core.state.current = FullInstallation();
        ClearConfiguration(core.state.gateway);
        core.state.FileModified = c.fileModified;
        core.state.GatewayModified = c.gatewayModified;
        const AppState before = core.state;

        const int started = c.op == Read ? ReadConfigurationFromGateway()
                            : c.op == Write ? WriteConfigurationToGateway()
                                            : CompareWithGateway();
        EXPECT_EQ(started, c.starts ? 1 : 0);
        if (c.question == 0) {
            EXPECT_TRUE(core.ui.messages.empty());
        } else {
            ASSERT_EQ(core.ui.messages.size(), 1u);
            EXPECT_EQ(core.ui.messages[0].icon, MessageIcon::Question);
            EXPECT_EQ(core.ui.messages[0].text.rfind(GetText(c.question), 0), 0u);
            if (c.question == 402) {
                EXPECT_NE(core.ui.messages[0].text.find(GetText(13)), std::string::npos);
            }
        }
        if (!c.starts) {
            EXPECT_FALSE(TransferRunning());
            EXPECT_TRUE(gateway.line().openedPaths.empty());
            EXPECT_EQ(core.state.mode, AppMode::Idle);
            EXPECT_TRUE(SameBytes(core.state.current, before.current));
            EXPECT_TRUE(SameBytes(core.state.gateway, before.gateway)) << "No must not copy the current image";
            EXPECT_EQ(core.state.FileModified, before.FileModified);
            EXPECT_EQ(core.state.GatewayModified, before.GatewayModified);
            continue;
        }
        EXPECT_TRUE(TransferRunning());
        EXPECT_EQ(core.state.mode, c.op == Read ? AppMode::ReadGateway : c.op == Write ? AppMode::WriteGateway : AppMode::CompareGateway);
        // A write sends the current image: it is copied over the gateway image before the first step.
        EXPECT_EQ(SameBytes(core.state.gateway, core.state.current), c.op == Write);
        EXPECT_EQ(RunToEnd(), TRANSFER_STEP_COUNT);
    }
}

} // namespace
} // namespace tarn
