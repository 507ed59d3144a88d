#include "diag/cell_text.h"
#include "diag/live_test.h"

#include "config/app_state.h"
#include "link/link.h"
#include "link/transfer.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "support/sample_installation.h"
#include "text/command_ids.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace tarn {
namespace {

using Cell = testing::RecordingUserInterface::Cell;
using Strings = std::vector<std::string>;

const std::string kImpossible = "Communication with KX940 impossible!";

// The fake gateway holds the sample installation: KX913 + 3 x KX914, nothing, KX927, KX913.
class LiveTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return core.session; }

    void SetUp() override
    {
        core.state.serialPort.name = "/dev/fake-serial";
        core.state.modbusPort.name = "/dev/fake-modbus";
        CopyConfiguration(core.state.current, plant);
        gateway.Program(plant);
    }
    void TearDown() override { Leave(); }

    void Leave()
    {
        for (int id : {CMD_SERIAL_TEST_STOP, CMD_SERIAL_TEST_EXIT, CMD_MODBUS_TEST_STOP, CMD_MODBUS_TEST_EXIT})
            LiveTestCommand(id);
    }
    // Command 4100 and its reading phase as the window runs them; then Start when asked.
    void StartSerial(bool start = true)
    {
        ASSERT_EQ(StartSerialLiveTest(), 1);
        while (TransferStep()) {
        }
        ASSERT_EQ(core.state.mode, AppMode::SerialTest);
        if (start) LiveTestCommand(CMD_SERIAL_TEST_START);
        Clear();
    }
    void StartModbus()
    {
        ASSERT_EQ(StartModbusLiveTest(), 1);
        LiveTestCommand(CMD_MODBUS_TEST_START);
        Clear();
    }
    void Clear()
    {
        gateway.requests.clear();
        core.ui.cells.clear();
        core.ui.statusMessages.clear();
    }
    UnitRecord& Unit(int u) { return core.state.gateway.units[u]; }
    static std::vector<Cell> Cells(char kind, int unit, int count, int flagBelow, int cellsWithFlag, int otherFlag = 0)
    {
        std::vector<Cell> cells;
        for (int c = 0; c < count; ++c) cells.push_back({kind, unit, c, c < cellsWithFlag ? flagBelow : otherFlag});
        return cells;
    }

    testing::CoreFixture core;
    testing::FakeGateway gateway{core.devices};
    const SystemConfiguration plant = testing::FullInstallation();
};

TEST_F(LiveTest, NoSerialPollStepRunsInTheTickThatEndsTheReadingPhase)
{
    StartSerial(false);
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_TRUE(gateway.requests.empty());
    EXPECT_TRUE(core.ui.statusMessages.empty());
}

TEST_F(LiveTest, SerialUnitFoundOtherThanConfiguredIsBlankedAndSkipped)
{
    struct Case {
        std::uint32_t found;
        bool answered;
        const char* status;
    } cases[] = {{0x30, true, "Polling Slave 1"}, {0x00, true, "Polling Slave 1"}, {0x13, false, kImpossible.c_str()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.found);
        gateway.store.settings[1][1] = c.found;
        StartSerial();
        gateway.answerLimit = c.answered ? -1 : 0;
        SerialPollStep();
        EXPECT_EQ(core.ui.cells, Cells('A', 0, 64, 0, 0));
        EXPECT_EQ(core.ui.statusMessages, Strings{c.status});
        gateway.answerLimit = -1;
        Clear();
        SerialPollStep();  // the empty position: nothing asked, nothing drawn
        EXPECT_TRUE(core.ui.cells.empty() && gateway.requests.empty());
        Leave();
    }
}

TEST_F(LiveTest, ModbusStartReadsStatusAndWordsOfEveryUnit)
{
    gateway.store.settings[3][1] = 0x11;
    ASSERT_EQ(StartModbusLiveTest(), 1);
    EXPECT_EQ(gateway.requests, (Strings{"R1056+16", "R512+64", "R1088+16", "R576+64", "R1120+16", "R640+64",
                                         "R1152+16", "R704+64"}));
    EXPECT_TRUE(core.state.mode == AppMode::ModbusTest && ModbusLinkOpen() && !core.state.TestRunning);
    for (int u = 0; u < 4; ++u) {
        EXPECT_EQ(Unit(u).SLAVE_TYPE, plant.units[u].SLAVE_TYPE);
        EXPECT_EQ(Unit(u).SLAVE_EXP, plant.units[u].SLAVE_EXP);
        EXPECT_EQ(Unit(u).channels[40].word, plant.units[u].channels[40].word);
    }
    EXPECT_EQ(Unit(2).second_type, UNIT_KX913);  // the unit found
    EXPECT_EQ(Unit(2).second_exp, 1u);
    EXPECT_EQ(CellTagText(core.state.gateway, core.state.mode, 3, 63), "4-64");
    EXPECT_EQ(LiveTestCommand(CMD_MODBUS_TEST_START), MODBUS_POLL_MS);
    EXPECT_EQ(LiveTestCommand(CMD_MODBUS_TEST_STOP), 0);
    EXPECT_TRUE(ModbusLinkOpen());  // open from the test start to Exit
    LiveTestCommand(CMD_MODBUS_TEST_EXIT);
    EXPECT_FALSE(ModbusLinkOpen());
}

TEST_F(LiveTest, ModbusCellsFollowTheUnitFound)
{
    struct Case {
        int unit;
        std::uint32_t found;
        bool statusAnswered;
        std::vector<Cell> cells;
    } cases[] = {
        {0, 0x13, true, Cells('A', 0, 64, 1, 64)},
        {0, 0x11, true, Cells('A', 0, 64, 1, 32)},  // two expansions missing
        {0, 0x30, true, Cells('A', 0, 64, 0, 0)},
        {0, 0x13, false, Cells('A', 0, 64, 0, 0)},
        {2, 0x00, true, Cells('D', 2, 32, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.found);
        gateway.store.settings[c.unit + 1][1] = c.found;
        StartModbus();
        for (int u = 0; u < c.unit; ++u) ModbusPollStep();
        Clear();
        if (!c.statusAnswered) gateway.garbled = {0};
        EXPECT_EQ(ModbusPollStep(), c.statusAnswered ? 1 : 0);
        gateway.garbled.clear();
        EXPECT_EQ(core.ui.cells, c.cells);
        EXPECT_EQ(core.ui.statusMessages.back(), c.statusAnswered ? "Polling Slave " + std::to_string(c.unit + 1) : kImpossible);
        gateway.store.settings[c.unit + 1][1] = gateway.store.settings[c.unit + 1][3];
        Leave();
    }
    // A KX927 found as configured shows its configured channels.
    StartModbus();
    ModbusPollStep();
    ModbusPollStep();
    Clear();
    ModbusPollStep();
    for (int c = 0; c < 32; ++c) EXPECT_EQ(core.ui.cells[c].flag, plant.units[2].channels[c].word ? 1 : 0) << c;
}

// A value is shown only when it was read: a failed read keeps the value read before, marked
// stale, and leaves a channel never read empty (a good read: the tests above).
TEST_F(LiveTest, AFailedValueReadKeepsTheValueBeforeAsStaleAndNeverInventsOne)
{
    struct Row {
        bool modbus;
        std::uint32_t stateBefore;
        std::uint32_t stateAfterFailure;
    } rows[] = {
        {false, LIVE_READ, LIVE_STALE},
        {true, LIVE_READ, LIVE_STALE},
        {true, LIVE_NONE, LIVE_NONE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.modbus ? "Modbus " : "serial ") + std::to_string(row.stateBefore));
        if (row.modbus) StartModbus();
        else StartSerial();
        if (!row.modbus) SerialPollStep();  // unit check and channel 1: the next step reads channel 2
        ChannelRecord& channel = Unit(0).channels[1];
        channel.live_value = 777;
        channel.live_state = row.stateBefore;
        // The value read of the step fails: the second Modbus request, the only serial one.
        if (row.modbus) gateway.garbled = {static_cast<int>(gateway.requests.size()) + 1};
        else gateway.answerLimit = static_cast<int>(gateway.requests.size());
        EXPECT_EQ(row.modbus ? ModbusPollStep() : SerialPollStep(), 0);
        EXPECT_EQ(channel.live_value, 777u);
        EXPECT_EQ(channel.live_state, row.stateAfterFailure);
        EXPECT_EQ(core.ui.statusMessages.back(), kImpossible);
        gateway.garbled.clear();
        gateway.answerLimit = -1;
        Leave();
    }
}

// The adapter pulled during a test: the values turn stale, the status bar names the port
// while it is gone, the port is tried again at most once a second, and polling resumes by
// itself once it opens.
TEST_F(LiveTest, APulledAdapterIsWaitedForAndPollingResumesWhenItIsBack)
{
    long long now = 0;
    core.session.live.SetClock([&now] { return now; });
    // The serial test; the Modbus test takes the same path, through the window in
    // main_window_live_tests.
    auto opens = [&] { return std::count(gateway.line().events.begin(), gateway.line().events.end(), "open"); };
    const std::string gone = "Port unavailable, waiting for it to return: /dev/fake-serial";
    StartSerial();
    SerialPollStep();
    SerialPollStep();
    ASSERT_EQ(Unit(0).channels[0].live_state, LIVE_READ);

    gateway.goneAfter = static_cast<int>(gateway.requests.size()) + 1;
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(core.ui.statusMessages.back(), gone);
    EXPECT_EQ(Unit(0).channels[0].live_state, LIVE_STALE);

    gateway.goneAfter = -1;
    gateway.line().openError = {LinkErrorKind::NotFound, "No such file or directory"};
    const auto opened = opens();
    const std::size_t asked = gateway.requests.size();
    now += LIVE_REOPEN_MS - 1;
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(opens(), opened);  // not within a second of the last try
    now += 1;
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(opens(), opened + 1);
    EXPECT_EQ(core.ui.statusMessages.back(), gone);
    EXPECT_EQ(gateway.requests.size(), asked);

    gateway.line().openError = {};
    now += LIVE_REOPEN_MS;
    EXPECT_EQ(SerialPollStep(), 1);
    EXPECT_GT(gateway.requests.size(), asked);
    EXPECT_EQ(core.ui.statusMessages.back().rfind("Polling Slave", 0), 0u);
    Leave();
}

} // namespace
} // namespace tarn
