#include "diag/live_test.h"

#include "config/app_state.h"
#include "config/channel_word.h"
#include "link/link.h"
#include "link/transfer.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::FakeGateway;
using testing::FullInstallation;
using Cell = testing::RecordingUserInterface::Cell;

const std::string kImpossible = "Communication with KX940 impossible!";

class LiveTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        State().serialPort.name = "/dev/fake-serial";
        State().modbusPort.name = "/dev/fake-modbus";
        installation = FullInstallation();  // KX913 + 3, none, KX927, KX913
        CopyConfiguration(State().current, installation);
        gateway.Program(installation);
    }
    void TearDown() override
    {
        LiveTestCommand(COMMAND_SERIAL_STOP);
        LiveTestCommand(COMMAND_SERIAL_EXIT);
        LiveTestCommand(COMMAND_MODBUS_STOP);
        LiveTestCommand(COMMAND_MODBUS_EXIT);
        while (TransferStep()) {
        }
        CloseSerialLink();
        CloseModbusLink();
    }

    void Clear()
    {
        gateway.requests.clear();
        core.ui.cells.clear();
        core.ui.statusMessages.clear();
    }
    std::vector<std::string> Errors() const { return core.ui.texts(MessageIcon::Error); }
    UnitRecord& Unit(int u) { return State().gateway.units[u]; }

    CoreFixture core;
    FakeGateway gateway;
    SystemConfiguration installation{};
};

class SerialLiveTest : public LiveTestBase {
protected:
    // Command 4100 and the reading phase as the window runs them, then Start.
    void StartPolling()
    {
        ASSERT_EQ(StartSerialLiveTest(), 1);
        while (TransferStep()) {
        }
        ASSERT_EQ(State().AppMode, MODE_SERIAL_TEST);
        LiveTestCommand(COMMAND_SERIAL_START);
        ASSERT_TRUE(State().TestRunning);
        Clear();
    }
};

TEST_F(SerialLiveTest, NoPollStepRunsInTheTickThatEndsTheReadingPhase)
{
    ASSERT_EQ(StartSerialLiveTest(), 1);
    EXPECT_EQ(State().AppMode, MODE_PREPARE_SERIAL_TEST);
    while (TransferStep()) {
    }
    ASSERT_EQ(State().AppMode, MODE_SERIAL_TEST);
    Clear();
    // The window goes on with one poll step in the same tick; the link is closed then.
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_TRUE(gateway.requests.empty());
    EXPECT_TRUE(core.ui.statusMessages.empty());
    EXPECT_TRUE(core.ui.cells.empty());
    EXPECT_TRUE(core.ui.mainTimer.empty());
    EXPECT_FALSE(State().TestRunning);
}

TEST_F(SerialLiveTest, CursorVisitsEveryChannelAndGroupOfAMixedInstallation)
{
    StartPolling();
    EXPECT_EQ(core.ui.mainTimer.back(), SERIAL_POLL_MS);
    // One cycle: 64 steps of unit 1, one for the empty position, 4 groups, 16 channels; then unit 1 again.
    const int steps = 64 + 1 + 4 + 16 + 2;
    std::vector<std::string> expected;
    auto unit = [&](int n, int items) {
        expected.push_back("S" + std::to_string(n) + ".01");
        for (int i = 1; i <= items; ++i) {
            char d[8];
            std::snprintf(d, sizeof d, "D%d.%02d", n, i);
            expected.push_back(d);
        }
    };
    unit(1, 64);
    unit(3, 4);
    unit(4, 16);
    unit(1, 1);
    expected.push_back("D1.02");
    for (int i = 0; i < steps; ++i) EXPECT_EQ(SerialPollStep(), 1) << "step " << i;
    EXPECT_EQ(gateway.requests, expected);

    const auto& status = core.ui.statusMessages;
    ASSERT_EQ(status.size(), static_cast<std::size_t>(steps));
    EXPECT_EQ(status[0], "Polling Slave 1 - Channel 1");
    EXPECT_EQ(status[63], "Polling Slave 1 - Channel 64");
    EXPECT_EQ(status[64], "");
    EXPECT_EQ(status[65], "Polling Slave 3");
    EXPECT_EQ(status[69], "Polling Slave 4 - Channel 1");
    EXPECT_EQ(status[steps - 1], "Polling Slave 1 - Channel 2");
}

TEST_F(SerialLiveTest, TheItemPolledIsRedAndTheOneBeforeTurnsWhite)
{
    StartPolling();
    SerialPollStep();
    SerialPollStep();
    EXPECT_EQ(core.ui.cells, (std::vector<Cell>{{'A', 0, 0, 2}, {'A', 0, 0, 1}, {'A', 0, 1, 2}}));

    // Unit 1 done, then the empty position (no cells), then group 0 of the KX927 on red, its
    // unconfigured channels blank.
    for (int i = 2; i < 65; ++i) SerialPollStep();
    core.ui.cells.clear();
    SerialPollStep();
    std::vector<Cell> group0;
    for (int c = 0; c < 8; ++c) group0.push_back({'D', 2, c, installation.units[2].channels[c].word ? 2 : 0});
    EXPECT_EQ(core.ui.cells, group0);
    core.ui.cells.clear();
    SerialPollStep();
    ASSERT_EQ(core.ui.cells.size(), 16u);
    for (int c = 0; c < 8; ++c) EXPECT_EQ(core.ui.cells[c].flag, installation.units[2].channels[c].word ? 1 : 0);
    EXPECT_EQ(core.ui.cells[8].channel, 8);
}

TEST_F(SerialLiveTest, ValuesAndDigitalGroupsGoToTheGatewayImage)
{
    gateway.store.data[1][1] = 65535;
    gateway.store.data[1][2] = 1234;
    gateway.store.data[3][2] = 0x2105;  // group 1: channels 8, 10 on; channel 13 faulty
    StartPolling();
    for (int i = 0; i < 64 + 1 + 2; ++i) SerialPollStep();
    EXPECT_EQ(Unit(0).channels[0].live_value, 65535u);
    EXPECT_EQ(Unit(0).channels[1].live_value, 1234u);
    EXPECT_EQ(Unit(2).channels[1].live_value, 0x2105u);
}

TEST_F(SerialLiveTest, AUnitFoundOtherThanConfiguredIsBlankedAndSkipped)
{
    struct Case {
        const char* name;
        std::uint32_t found;
        bool answered;
        const char* status;
    } cases[] = {
        {"KX927 found", 0x30, true, "Polling Slave 1"},
        {"nothing found", 0x00, true, "Polling Slave 1"},
        {"check failed", 0x13, false, "Communication with KX940 impossible!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gateway.store.settings[1][1] = c.found;
        StartPolling();
        gateway.answerLimit = c.answered ? -1 : 0;
        SerialPollStep();
        std::vector<Cell> blank;
        for (int ch = 0; ch < 64; ++ch) blank.push_back({'A', 0, ch, 0});
        EXPECT_EQ(core.ui.cells, blank);
        EXPECT_EQ(core.ui.statusMessages, std::vector<std::string>{c.status});
        // No value was asked for; the next step is the next position, nothing to draw white.
        gateway.answerLimit = -1;
        Clear();
        SerialPollStep();
        EXPECT_TRUE(core.ui.cells.empty());
        EXPECT_EQ(core.ui.statusMessages, std::vector<std::string>{""});
        LiveTestCommand(COMMAND_SERIAL_STOP);
        LiveTestCommand(COMMAND_SERIAL_EXIT);
    }
}

TEST_F(SerialLiveTest, AFailedReadKeepsThePreviousValueAndTheCursorMovesOn)
{
    StartPolling();
    SerialPollStep();  // S1.01 and D1.01
    Unit(0).channels[1].live_value = 777;
    gateway.answerLimit = static_cast<int>(gateway.requests.size());
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(Unit(0).channels[1].live_value, 777u);
    EXPECT_EQ(core.ui.statusMessages.back(), kImpossible);
    gateway.answerLimit = -1;
    gateway.requests.clear();
    EXPECT_EQ(SerialPollStep(), 1);
    EXPECT_EQ(gateway.requests, std::vector<std::string>{"D1.03"});
}

TEST_F(SerialLiveTest, StartWithoutAPortDoesNotPoll)
{
    ASSERT_EQ(StartSerialLiveTest(), 1);
    while (TransferStep()) {
    }
    gateway.line().openError = {LinkErrorKind::Busy, "Device or resource busy"};
    LiveTestCommand(COMMAND_SERIAL_START);
    EXPECT_EQ(Errors(), std::vector<std::string>{"Unavailable Port"});
    EXPECT_EQ(core.ui.messages.back().details, "Device or resource busy");
    EXPECT_FALSE(State().TestRunning);
    EXPECT_TRUE(core.ui.mainTimer.empty());
    EXPECT_EQ(SerialPollStep(), 0);
    // The user may try again or leave.
    gateway.line().openError = {};
    LiveTestCommand(COMMAND_SERIAL_START);
    EXPECT_TRUE(State().TestRunning);
}

TEST_F(SerialLiveTest, StopClosesTheLinkAndExitReturnsToIdle)
{
    StartPolling();
    SerialPollStep();
    const int refreshes = core.ui.menuRefreshes;
    LiveTestCommand(COMMAND_MODBUS_STOP);  // a command of the other test does nothing
    EXPECT_TRUE(State().TestRunning);
    LiveTestCommand(COMMAND_SERIAL_STOP);
    EXPECT_FALSE(State().TestRunning);
    EXPECT_FALSE(SerialLinkOpen());
    EXPECT_EQ(core.ui.mainTimer.back(), 0);
    EXPECT_EQ(core.ui.menuRefreshes, refreshes + 1);
    EXPECT_EQ(State().AppMode, MODE_SERIAL_TEST);
    const int repaints = core.ui.repaints;
    LiveTestCommand(COMMAND_SERIAL_EXIT);
    EXPECT_EQ(State().AppMode, MODE_IDLE);
    EXPECT_EQ(core.ui.statusMessages.back(), "");
    EXPECT_EQ(core.ui.repaints, repaints + 1);
}

TEST_F(SerialLiveTest, AGatewayWithoutUnitsEndsTheReadingPhaseWithText118)
{
    for (int n = 1; n <= 4; ++n) gateway.store.settings[n][3] = 0;
    ASSERT_EQ(StartSerialLiveTest(), 1);
    while (TransferStep()) {
    }
    EXPECT_EQ(State().AppMode, MODE_IDLE);
    EXPECT_EQ(Errors(), std::vector<std::string>{"No slaves connected to the KX940"});
}

TEST_F(SerialLiveTest, TagBandsShowTagsInTheSerialTestAndNumbersOtherwise)
{
    SetFieldText(Unit(3).channels[63].tag, "TI 464 \xB0" "C");
    struct Case {
        int mode;
        const char* text;
    } cases[] = {{MODE_PREPARE_SERIAL_TEST, "4-64"}, {MODE_SERIAL_TEST, "TI 464 \xB0" "C"}, {MODE_MODBUS_TEST, "4-64"}};
    for (const Case& c : cases) {
        State().AppMode = c.mode;
        EXPECT_EQ(CellTagText(3, 63), c.text) << c.mode;
    }
    State().AppMode = MODE_IDLE;
}

class ModbusLiveTest : public LiveTestBase {
protected:
    void StartPolling()
    {
        ASSERT_EQ(StartModbusLiveTest(), 1);
        LiveTestCommand(COMMAND_MODBUS_START);
        Clear();
    }
};

TEST_F(ModbusLiveTest, StartReadsStatusAndWordsOfEveryUnit)
{
    gateway.store.settings[3][1] = 0x11;  // found at position 3: a KX913 with one expansion
    ASSERT_EQ(StartModbusLiveTest(), 1);
    EXPECT_EQ(gateway.requests, (std::vector<std::string>{"R1056+16", "R512+64", "R1088+16", "R576+64", "R1120+16",
                                                          "R640+64", "R1152+16", "R704+64"}));
    EXPECT_EQ(State().AppMode, MODE_MODBUS_TEST);
    EXPECT_TRUE(ModbusLinkOpen());
    EXPECT_FALSE(State().TestRunning);
    EXPECT_EQ(gateway.line().openedSettings.back().stop_bits, 2);  // 8 N 2 of the current image
    for (int u = 0; u < 4; ++u) {
        SCOPED_TRACE(u);
        EXPECT_EQ(Unit(u).SLAVE_TYPE, installation.units[u].SLAVE_TYPE);
        EXPECT_EQ(Unit(u).SLAVE_EXP, installation.units[u].SLAVE_EXP);
        for (int c = 0; c < 64; ++c) EXPECT_EQ(Unit(u).channels[c].word, installation.units[u].channels[c].word);
    }
    EXPECT_EQ(Unit(2).second_type, UNIT_KX913);
    EXPECT_EQ(Unit(2).second_exp, 1u);
}

TEST_F(ModbusLiveTest, AnyFailedStartReadEndsTheStartWithText119)
{
    for (int failing = 0; failing < 8; ++failing) {
        SCOPED_TRACE(failing);
        Clear();
        core.ui.messages.clear();
        gateway.garbled = {failing};
        EXPECT_EQ(StartModbusLiveTest(), 0);
        EXPECT_EQ(Errors(), std::vector<std::string>{kImpossible});
        EXPECT_EQ(State().AppMode, MODE_IDLE);
        EXPECT_FALSE(ModbusLinkOpen());
        // Nothing more is asked once a read has failed.
        EXPECT_EQ(gateway.requests.size(), static_cast<std::size_t>(failing + 1));
    }
}

TEST_F(ModbusLiveTest, APortThatCannotBeOpenedIsReported)
{
    gateway.line().openError = {LinkErrorKind::PermissionDenied, "Permission denied"};
    EXPECT_EQ(StartModbusLiveTest(), 0);
    EXPECT_EQ(Errors(), std::vector<std::string>{"Unavailable Port"});
    EXPECT_EQ(core.ui.messages.back().details, "Permission denied");
    EXPECT_EQ(State().AppMode, MODE_IDLE);
}

TEST_F(ModbusLiveTest, AGatewayWithoutUnitsEndsTheStartWithText118)
{
    for (int n = 1; n <= 4; ++n) gateway.store.settings[n][3] = 0x40;  // no type a unit can have
    EXPECT_EQ(StartModbusLiveTest(), 0);
    EXPECT_EQ(Errors(), std::vector<std::string>{"No slaves connected to the KX940"});
    EXPECT_FALSE(ModbusLinkOpen());
    EXPECT_EQ(State().AppMode, MODE_IDLE);
}

TEST_F(ModbusLiveTest, AnalogCellsFollowTheUnitFound)
{
    struct Case {
        const char* name;
        std::uint32_t found;
        bool statusAnswered;
        int cellsWithValue;  // of the 64 the panel has
        const char* status;
    } cases[] = {
        {"as configured", 0x13, true, 64, "Polling Slave 1"},
        {"one expansion missing", 0x12, true, 48, "Polling Slave 1"},
        {"no expansion", 0x10, true, 16, "Polling Slave 1"},
        {"a KX927 found", 0x30, true, 0, "Polling Slave 1"},
        {"status read failed", 0x13, false, 0, "Communication with KX940 impossible!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gateway.store.settings[1][1] = c.found;
        StartPolling();
        if (!c.statusAnswered) gateway.garbled = {0};
        EXPECT_EQ(ModbusPollStep(), c.statusAnswered ? 1 : 0);
        gateway.garbled.clear();
        std::vector<Cell> expected;
        for (int ch = 0; ch < 64; ++ch) expected.push_back({'A', 0, ch, ch < c.cellsWithValue ? 1 : 0});
        EXPECT_EQ(core.ui.cells, expected);
        EXPECT_EQ(core.ui.statusMessages, std::vector<std::string>{c.status});
        LiveTestCommand(COMMAND_MODBUS_STOP);
        LiveTestCommand(COMMAND_MODBUS_EXIT);
    }
}

TEST_F(ModbusLiveTest, DigitalCellsShowConfiguredChannelsOfAUnitFoundAsConfigured)
{
    for (std::uint32_t found : {0x30u, 0x00u}) {
        SCOPED_TRACE(found);
        gateway.store.settings[3][1] = found;
        StartPolling();
        ModbusPollStep();
        ModbusPollStep();
        core.ui.cells.clear();
        ModbusPollStep();
        ASSERT_EQ(core.ui.cells.size(), 32u);
        for (int ch = 0; ch < 32; ++ch) {
            const int flag = found == 0x30 && installation.units[2].channels[ch].word != 0 ? 1 : 0;
            EXPECT_EQ(core.ui.cells[ch], (Cell{'D', 2, ch, flag})) << ch;
        }
        LiveTestCommand(COMMAND_MODBUS_STOP);
        LiveTestCommand(COMMAND_MODBUS_EXIT);
    }
}

TEST_F(ModbusLiveTest, ACycleVisitsAllFourPositionsAndStoresTheValues)
{
    gateway.store.data[1][64] = 0x8001;
    gateway.store.data[3][1] = 0x0101;
    StartPolling();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ModbusPollStep(), 1);
    EXPECT_EQ(gateway.requests, (std::vector<std::string>{"R1056+16", "R0+64", "R1088+16", "R64+64", "R1120+16",
                                                          "R128+64", "R1152+16", "R192+64", "R1056+16", "R0+64"}));
    EXPECT_EQ(Unit(0).channels[63].live_value, 0x8001u);
    EXPECT_EQ(Unit(2).channels[0].live_value, 0x0101u);
    // The empty position is read, and nothing of it is drawn.
    EXPECT_EQ(core.ui.statusMessages[1], "Polling Slave 2");

    gateway.garbled = {static_cast<int>(gateway.requests.size()) + 1};  // the next value read
    EXPECT_EQ(ModbusPollStep(), 0);
    for (int c = 0; c < 64; ++c) EXPECT_EQ(Unit(1).channels[c].live_value, 0u);
    EXPECT_EQ(core.ui.statusMessages.back(), kImpossible);
}

TEST_F(ModbusLiveTest, StartStopAndExitKeepTheLinkOpenUntilExit)
{
    ASSERT_EQ(StartModbusLiveTest(), 1);
    EXPECT_EQ(ModbusPollStep(), 0);  // not started: nothing happens
    EXPECT_EQ(gateway.requests.size(), 8u);
    LiveTestCommand(COMMAND_MODBUS_START);
    EXPECT_TRUE(State().TestRunning);
    EXPECT_EQ(core.ui.mainTimer, std::vector<int>{MODBUS_POLL_MS});
    LiveTestCommand(COMMAND_MODBUS_STOP);
    EXPECT_FALSE(State().TestRunning);
    EXPECT_EQ(core.ui.mainTimer.back(), 0);
    EXPECT_TRUE(ModbusLinkOpen());
    LiveTestCommand(COMMAND_MODBUS_EXIT);
    EXPECT_FALSE(ModbusLinkOpen());
    EXPECT_EQ(State().AppMode, MODE_IDLE);
    EXPECT_EQ(core.ui.menuRefreshes, 2);
}

TEST_F(ModbusLiveTest, ReadHoldingRegistersChecksTheCountAndTheReplyLength)
{
    ASSERT_EQ(StartModbusLiveTest(), 1);
    gateway.store.words[2][3] = 0xBEEF;
    EXPECT_EQ(ReadHoldingRegisters(512 + 64 + 2, 1), 1);
    EXPECT_EQ(ModbusRegisterBuffer()[0], 0xBEEFu);
    const std::size_t writes = gateway.line().writes.size();
    EXPECT_EQ(ReadHoldingRegisters(0, 65), 0);
    EXPECT_EQ(gateway.line().writes.size(), writes);
    // An exception reply (3 bytes before the CRC) is a failed read, and leaves the buffer zeroed.
    EXPECT_EQ(ReadHoldingRegisters(512 + 64 + 2, 1), 1);
    EXPECT_EQ(ReadHoldingRegisters(0x300, 4), 0);
    EXPECT_EQ(ModbusRegisterBuffer()[0], 0u);
    // The slave address is the current image's.
    EXPECT_EQ(gateway.line().writes.back()[0], installation.MASTER_MOD_ADDR);
}

} // namespace
} // namespace tarn
