// The diagnostics against the simulator's gateway model: the live tests and the texts of their
// cells, status and control, the factory test, the calibration and the single channel test.
#include "diag/calibration.h"
#include "diag/cell_text.h"
#include "diag/factory_test.h"
#include "diag/live_test.h"
#include "diag/single_channel_test.h"
#include "diag/status_control.h"

#include "config/app_state.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/transfer.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"
#include "text/command_ids.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::FakeGateway;
using Strings = std::vector<std::string>;

// A session of its own on the model of a gateway without units.
class DiagnosticsTest : public ::testing::Test {
protected:
    DiagnosticsTest()
    {
        fx.state.serialPort.name = "/dev/fake-serial";
        fx.state.modbusPort.name = "/dev/fake-modbus";
    }

    CoreFixture fx;
    FakeGateway gw{fx.devices};
};

// ---- the live tests ------------------------------------------------------------------------------

// A cell drawn by a poll step: 'A' analog value or 'D' digital state, with its flag.
struct Cell {
    char kind;
    int unit, channel, flag;
    bool operator==(const Cell&) const = default;
};

const std::string kImpossible = "Communication with KX940 impossible!";

// The gateway holds the sample installation: KX913 + 3 x KX914, nothing, KX927, KX913.
class LiveTest : public DiagnosticsTest {
protected:
    void SetUp() override
    {
        CopyConfiguration(fx.state.current, plant);
        gw.Program(plant);
    }
    void TearDown() override { Leave(); }

    void Leave()
    {
        for (int id : {CMD_SERIAL_TEST_STOP, CMD_SERIAL_TEST_EXIT, CMD_MODBUS_TEST_STOP, CMD_MODBUS_TEST_EXIT})
            live.Command(id);
    }
    // One poll step; its cells are kept in cells.
    int SerialPollStep() { return Kept(live.SerialPollStep()); }
    int ModbusPollStep() { return Kept(live.ModbusPollStep()); }
    int Kept(const PollStep& step)
    {
        for (const CellChange& c : step.cells) cells.push_back({c.analog ? 'A' : 'D', c.unit, c.channel, c.flag});
        return step.ok;
    }
    // Command 4100 and its reading phase as the window runs them; then Start when asked.
    void StartSerial(bool start = true)
    {
        ASSERT_EQ(live.StartSerial(), 1);
        while (fx.session.transfer.Step()) {
        }
        ASSERT_EQ(fx.state.mode, AppMode::SerialTest);
        if (start) live.Command(CMD_SERIAL_TEST_START);
        Clear();
    }
    void StartModbus()
    {
        ASSERT_EQ(live.StartModbus(), 1);
        live.Command(CMD_MODBUS_TEST_START);
        Clear();
    }
    void Clear()
    {
        gw.requests.clear();
        cells.clear();
        fx.ui.statusMessages.clear();
    }
    UnitRecord& Unit(int u) { return fx.state.gateway.units[u]; }
    // count cells of a unit, the first withFlag of them with flag, the others with 0.
    static std::vector<Cell> Cells(char kind, int unit, int count, int flag, int withFlag)
    {
        std::vector<Cell> out;
        for (int c = 0; c < count; ++c) out.push_back({kind, unit, c, c < withFlag ? flag : 0});
        return out;
    }

    tarn::LiveTest& live = fx.session.live;
    std::vector<Cell> cells;
    const SystemConfiguration plant = testing::FullInstallation();
};

TEST_F(LiveTest, SerialUnitFoundOtherThanConfiguredIsBlankedAndSkipped)
{
    // The unit found, whether the gateway answers, the status shown.
    const std::tuple<std::uint32_t, bool, std::string> cases[] = {
        {0x30, true, "Polling Slave 1"}, {0x00, true, "Polling Slave 1"}, {0x13, false, kImpossible}};
    for (const auto& [found, answered, status] : cases) {
        SCOPED_TRACE(found);
        gw.store.settings[1][1] = found;
        StartSerial();
        gw.answerLimit = answered ? -1 : 0;
        SerialPollStep();
        EXPECT_EQ(cells, Cells('A', 0, 64, 0, 0));
        EXPECT_EQ(fx.ui.statusMessages, Strings{status});
        gw.answerLimit = -1;
        Clear();
        SerialPollStep();  // the empty position: nothing asked, nothing drawn
        EXPECT_TRUE(cells.empty() && gw.requests.empty());
        Leave();
    }
}

TEST_F(LiveTest, ModbusStartReadsStatusAndWordsOfEveryUnit)
{
    gw.store.settings[3][1] = 0x11;
    ASSERT_EQ(live.StartModbus(), 1);
    EXPECT_EQ(gw.requests, (Strings{"R1056+16", "R512+64", "R1088+16", "R576+64", "R1120+16", "R640+64",
                                         "R1152+16", "R704+64"}));
    EXPECT_TRUE(fx.state.mode == AppMode::ModbusTest && fx.session.links.Modbus().IsOpen() && !fx.state.TestRunning);
    EXPECT_EQ(CellTagText(fx.state.gateway, fx.state.mode, 3, 63), "4-64");
    EXPECT_EQ(live.Command(CMD_MODBUS_TEST_START), MODBUS_POLL_MS);
    EXPECT_EQ(live.Command(CMD_MODBUS_TEST_STOP), 0);
}

TEST_F(LiveTest, ModbusCellsFollowTheUnitFound)
{
    // The unit index, the unit found, whether its status is read, the cells drawn.
    const std::tuple<int, std::uint32_t, bool, std::vector<Cell>> cases[] = {
        {0, 0x13, true, Cells('A', 0, 64, 1, 64)},
        {0, 0x11, true, Cells('A', 0, 64, 1, 32)},  // two expansions missing
        {0, 0x13, false, Cells('A', 0, 64, 0, 0)},
        {2, 0x00, true, Cells('D', 2, 32, 0, 0)},
    };
    for (const auto& [unit, found, statusRead, drawn] : cases) {
        SCOPED_TRACE(found);
        gw.store.settings[unit + 1][1] = found;
        StartModbus();
        for (int u = 0; u < unit; ++u) ModbusPollStep();
        Clear();
        if (!statusRead) gw.garbled = {0};
        EXPECT_EQ(ModbusPollStep(), statusRead ? 1 : 0);
        gw.garbled.clear();
        EXPECT_EQ(cells, drawn);
        EXPECT_EQ(fx.ui.statusMessages.back(), statusRead ? "Polling Slave " + std::to_string(unit + 1) : kImpossible);
        gw.store.settings[unit + 1][1] = gw.store.settings[unit + 1][3];
        Leave();
    }
}

// A value is shown only when it was read: a failed read keeps the value read before, marked
// stale, and leaves a channel never read empty (a good read: the tests above).
TEST_F(LiveTest, AFailedValueReadKeepsTheValueBeforeAsStaleAndNeverInventsOne)
{
    // Modbus or serial, the value's state before and after the failed read.
    const std::tuple<bool, std::uint32_t, std::uint32_t> rows[] = {
        {false, LIVE_READ, LIVE_STALE},
        {true, LIVE_READ, LIVE_STALE},
        {true, LIVE_NONE, LIVE_NONE},
    };
    for (const auto& [modbus, before, after] : rows) {
        SCOPED_TRACE(std::string(modbus ? "Modbus " : "serial ") + std::to_string(before));
        if (modbus) StartModbus();
        else StartSerial();
        if (!modbus) SerialPollStep();  // unit check and channel 1: the next step reads channel 2
        ChannelRecord& channel = Unit(0).channels[1];
        channel.live_value = 777;
        channel.live_state = before;
        // The value read of the step fails: the second Modbus request, the only serial one.
        if (modbus) gw.garbled = {static_cast<int>(gw.requests.size()) + 1};
        else gw.answerLimit = static_cast<int>(gw.requests.size());
        EXPECT_EQ(modbus ? ModbusPollStep() : SerialPollStep(), 0);
        EXPECT_EQ(channel.live_value, 777u);
        EXPECT_EQ(channel.live_state, after);
        EXPECT_EQ(fx.ui.statusMessages.back(), kImpossible);
        gw.garbled.clear();
        gw.answerLimit = -1;
        Leave();
    }
}

// The adapter pulled during a test: the values turn stale, the status bar names the port
// while it is gone, and the port is tried again at most once a second. That polling resumes
// once it opens, serial and Modbus: the window's walk in main_window_live_tests.
TEST_F(LiveTest, APulledAdapterIsWaitedForAndTriedAgainAtMostOnceASecond)
{
    long long now = 0;
    fx.session.live.SetClock([&now] { return now; });
    auto opens = [&] { return gw.line().openedPaths.size(); };
    const std::string gone = "Port unavailable, waiting for it to return: /dev/fake-serial";
    StartSerial();
    SerialPollStep();
    SerialPollStep();
    ASSERT_EQ(Unit(0).channels[0].live_state, LIVE_READ);

    gw.goneAfter = static_cast<int>(gw.requests.size()) + 1;
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(fx.ui.statusMessages.back(), gone);
    EXPECT_EQ(Unit(0).channels[0].live_state, LIVE_STALE);

    gw.goneAfter = -1;
    gw.line().openError = {LinkErrorKind::NotFound, "No such file or directory"};
    const auto opened = opens();
    const std::size_t asked = gw.requests.size();
    now += LIVE_REOPEN_MS - 1;
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(opens(), opened);  // not within a second of the last try
    now += 1;
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(SerialPollStep(), 0);
    EXPECT_EQ(opens(), opened + 1);
    EXPECT_EQ(fx.ui.statusMessages.back(), gone);
    EXPECT_EQ(gw.requests.size(), asked);
}

// ---- the texts of the unit panels' cells: analog values by channel type, digital state bits

TEST(AnalogCellText, ScaledByChannelTypeWithUnitOfMeasure)
{
    const std::tuple<std::uint32_t, std::uint32_t, const char*> cases[] = {
        {1234, 0x0001, " +1.234 mV "},
        {65535, 0x0087, " -0.1 \xB0" "C "},      // two's complement; thermocouple K: the low 6 bits give the type
        {0x8000, 0x0011, " -3276.8 \xB0" "C "},
        {4000, 0x1883, " 400.0 Ohm "},
        {0xABCD0000, 0x0801, " +0.000 mV "},     // bits above 16 are not part of the reading
        {1234, 0x0000, "  "},                     // off: no number, no unit
    };
    for (const auto& [live, word, text] : cases) EXPECT_EQ(AnalogCellText(live, word), text) << live << "/" << word;
}

TEST(DigitalCellState, StateAndFaultBitsOfTheChannelInItsGroup)
{
    // Channel 13 is bit 5 (state) and bit 13 (fault) of its group; neighbours' bits do not count.
    const std::tuple<std::uint32_t, int, int> cases[] = {
        {1u << 5, 13, 0x001}, {1u << 13, 13, 0x100}, {0xFFFF & ~((1u << 5) | (1u << 13)), 13, 0x000}, {0x8080, 15, 0x101},
    };
    for (const auto& [group, channel, state] : cases) EXPECT_EQ(DigitalCellState(group, channel), state) << group;
}

// ---- status and control ----------------------------------------------------------------------

// One noise hit must not leave the gateway in diagnostic mode: after a failure the command makes
// one attempt to write 0 whenever the dialog may have left the mode on.
TEST_F(DiagnosticsTest, AFailureSwitchesDiagnosticModeOffWhenItMayBeOn)
{
    struct Row {
        const char* name;
        std::function<bool(StatusControl&, FakeGateway&)> untilFailure;  // false at the failure
        bool restoreAnswered;  // the gateway answers the command's last write
        Strings writes;        // of S0.05, retries included
        std::string details;   // of the text 395 box
    };
    const auto noAnswerFromNowOn = [](FakeGateway& g) { g.answerLimit = static_cast<int>(g.requests.size()); };
    const auto garbleNext = [](FakeGateway& g) { g.garbled = {static_cast<int>(g.requests.size())}; };
    const std::string leftOn = GetText(399);
    const Row rows[] = {
        {"on, then a tick fails",
         [&](StatusControl& c, FakeGateway& g) { return c.SetDiagnosticMode(true) && (garbleNext(g), c.Tick()); }, true,
         {"0", "4096", "0"}, ""},
        {"the write switching it on is not answered",
         [&](StatusControl& c, FakeGateway& g) { return (noAnswerFromNowOn(g), c.SetDiagnosticMode(true)); }, true,
         {"0", "4096", "4096", "0"}, ""},
        {"on, clear override, then silence",
         [&](StatusControl& c, FakeGateway& g) {
             return c.SetDiagnosticMode(true) && c.ClearLineOverride() && (noAnswerFromNowOn(g), c.Tick());
         },
         false, {"0", "4096", "4352", "0", "0"}, leftOn},
        {"found on by a tick, then a tick fails",
         [&](StatusControl& c, FakeGateway& g) {
             g.store.settings[0][5] = CONTROL_DIAGNOSTIC_MODE;
             const bool ticked = c.Tick();
             g.answerLimit = static_cast<int>(g.requests.size()) + 1;
             return ticked && c.Tick();
         },
         true, {"0", "0"}, ""},
        {"never on", [&](StatusControl& c, FakeGateway& g) { return (garbleNext(g), c.Tick()); }, true, {"0"}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gw.Reset();
        fx.ui.messages.clear();
        StatusControlCommand(fx.session.links, [&](StatusControl& c) {
            EXPECT_TRUE(c.Start());
            EXPECT_FALSE(row.untilFailure(c, gw));
            if (row.restoreAnswered) gw.answerLimit = -1;
            return 0;
        });
        Strings writes;  // of S0.05, in order
        for (const std::string& r : gw.requests)
            if (r.rfind("S0.05=", 0) == 0) writes.push_back(r.substr(6));
        EXPECT_EQ(writes, row.writes);
        ASSERT_EQ(fx.ui.messages.size(), 1u);
        EXPECT_EQ(fx.ui.messages[0].text, GetText(395));
        EXPECT_EQ(fx.ui.messages[0].details, row.details);
        EXPECT_FALSE(fx.session.links.Serial().IsOpen());
    }
}

// Line figures are a share in % (0..100) outside diagnostic mode and a count (0..65535) in it;
// any other reply fails the tick and nothing of it is shown.
TEST_F(DiagnosticsTest, LineFiguresOutOfRangeOrNotANumberFailTheTick)
{
    // In diagnostic mode or not, the reply to S1.05, what is shown ("" for a failed tick).
    const std::tuple<bool, const char*, std::string> rows[] = {
        {false, "S1.05=0100", "0 "},
        {false, "S1.05=0101", ""},
        {false, "S1.05=2147483648", ""}, // 100 - INT_MIN before
        {true, "S1.05=65536", ""},
    };
    ASSERT_FALSE(fx.session.links.OpenSerial());
    for (const auto& [diagnostic, reply, shown] : rows) {
        SCOPED_TRACE(reply);
        StatusControl fresh{fx.session.links};
        ASSERT_TRUE(fresh.Start());
        ASSERT_TRUE(fresh.SetDiagnosticMode(diagnostic));
        gw.replies["S1.05"] = reply;
        EXPECT_EQ(fresh.Tick(), !shown.empty());
        EXPECT_EQ(fresh.LineFigureText(0, 1), shown);
    }
}

// ---- the factory test --------------------------------------------------------------------------

// The serial cycle checks the value read against the tolerance band; the Modbus cycle shows
// register 0 of slave 1 and counts the reads that fail.
TEST_F(DiagnosticsTest, BothFactoryTestCyclesCountTheirFailures)
{
    gw.store.settings[1][1] = 0x10;  // a KX913 whose channel 1 (register 0) reads 42
    gw.store.data[1][1] = 42;
    ASSERT_EQ(FactoryTest::Begin(fx.session.links), 1);
    FactoryTest test{fx.session.links};
    test.wait = [](int) {};
    test.commandField = {"S1.05=00123", "?", "?"};
    test.toleranceField[0] = "5";
    const std::pair<std::uint32_t, bool> rows[] = {{118, true}, {128, true}, {117, false}, {129, false}};
    int errors = 0;
    test.StartSerial();
    for (const auto& [value, passes] : rows) {
        gw.store.settings[1][5] = value;
        ASSERT_TRUE(test.Tick());
        errors += passes ? 0 : 1;
        EXPECT_EQ(test.serialErrors, errors) << value;
    }
    EXPECT_FALSE(test.StartModbus());  // the serial cycle runs already
    EXPECT_TRUE(test.Tick());
    EXPECT_EQ(test.modbusField, " 00042");
    gw.answerLimit = static_cast<int>(gw.requests.size());
    test.Tick();
    EXPECT_EQ(test.modbusField, "");
    EXPECT_EQ(test.modbusErrors, 1);
    FactoryTest::Finish(fx.session.links);
}

// ---- the calibration ---------------------------------------------------------------------------

// A KX913 on position 2 whose three coefficients have drifted 40 counts since the factory; the
// simulated calibrator on its channel 1 follows the calibration as a technician does.
class CalibrationTest : public DiagnosticsTest {
protected:
    static constexpr int UNIT = 1;  // index; position 2
    static constexpr int N = UNIT + 1;

    void SetUp() override
    {
        gw.store.settings[N][1] = gw.store.settings[N][3] = 0x11;
        for (int k : {9, 10, 11}) gw.store.settings[N][k] = ToGateway16(FromGateway16(gw.store.settings[N][k]) - 40);
        gw.store.words[N][1] = 0x0887;
    }
    void TearDown() override { fx.session.links.CloseSerial(); }

    // How far channel 1 reads from each reference of the calibrator: 0 and 20 mV, 400.0 Ohm.
    std::vector<int> Errors()
    {
        std::vector<int> out;
        for (auto [word, signal] : {std::pair{CAL_MILLIVOLT_WORD, 0}, {CAL_MILLIVOLT_WORD, 20000}, {CAL_RESISTANCE_WORD, 4000}}) {
            gw.store.words[N][1] = word;
            gw.model.ApplyInput(N, 1, signal);
            out.push_back(FromGateway16(gw.store.data[N][1]) - signal);
        }
        gw.store.words[N][1] = 0x0887;
        return out;
    }
    // Ticks until the state leaves from.
    void RunWhile(int from)
    {
        for (int ticks = 0; cal.StepState() == from && ticks < 1000; ++ticks) beeps += cal.Tick().beep;
    }

    Calibration cal{fx.session.links, UNIT};
    int beeps = 0;
};

TEST_F(CalibrationTest, ConvergesOnAllThreeStepsAndRestoresChannelOne)
{
    for (int e : Errors()) EXPECT_GT(std::abs(e), 5) << "the drift must show before the calibration";
    ASSERT_EQ(cal.Begin(), 1);
    cal.Start();
    EXPECT_EQ(cal.Zero(), FromGateway16(gw.store.settings[N][9]));
    for (int state : {CAL_ZERO, CAL_SPAN, CAL_RESISTANCE}) {
        cal.StepClicked();
        if (state != CAL_RESISTANCE) cal.StepClicked();
        RunWhile(state);
        EXPECT_EQ(cal.StepState(), state + 1);
    }
    EXPECT_EQ(cal.StepState(), CAL_DONE);
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(FromGateway16(gw.store.settings[N][9]), cal.Zero());
    EXPECT_EQ(FromGateway16(gw.store.settings[N][10]), cal.Span());
    EXPECT_EQ(FromGateway16(gw.store.settings[N][11]), cal.Resistance());

    ASSERT_EQ(cal.StepClicked(), Calibration::Action::End);
    cal.Finish(cal.Result());
    EXPECT_EQ(gw.store.words[N][1], 0x0887u);
    EXPECT_FALSE(fx.session.links.Serial().IsOpen());
    EXPECT_TRUE(fx.ui.messages.empty());
    for (int e : Errors()) EXPECT_LE(std::abs(e), 2);
}

// Channel 1 is switched to the calibration word only when the word to restore has been read.
// A coefficient or reading is a signed 16-bit figure, 0..65535 on the wire: anything else
// interrupts the calibration at the first tick, with nothing written. Either way channel 1 ends
// as it was and text 395 follows.
TEST_F(CalibrationTest, UnreadableWordsAndFiguresEndWithChannelOneAsItWas)
{
    for (const char* reply : {"C2.01=", "C2.01=abcd", "C2.01=70000", "S2.09=70000", "S2.11=abcd", "D2.01=65536"}) {
        SCOPED_TRACE(reply);
        fx.ui.messages.clear();
        gw.replies = {{std::string(reply, 5), reply}};
        Calibration c{fx.session.links, UNIT};
        const bool wordRead = reply[0] != 'C';
        ASSERT_EQ(c.Begin(), wordRead ? 1 : 0);
        if (wordRead) {
            c.Start();
            c.StepClicked();
            c.StepClicked();
            const std::size_t mark = gw.requests.size();
            c.Tick();
            EXPECT_EQ(c.StepState(), CAL_INTERRUPTED);
            for (auto it = gw.requests.begin() + static_cast<std::ptrdiff_t>(mark); it != gw.requests.end(); ++it)
                EXPECT_EQ(it->find('='), std::string::npos) << "written: " << *it;
            c.Finish(c.Result());
        }
        EXPECT_EQ(gw.store.words[N][1], 0x0887u);
        EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(395)});
    }
}

// ---- the single channel test --------------------------------------------------------------------

// Unit 1 a KX913 with one expansion, unit 2 a KX927, unit 3 programmed as a bare KX913
// but holding two expansions, unit 4 empty.
class SingleChannelTestTest : public DiagnosticsTest {
protected:
    void SetUp() override
    {
        auto& s = gw.store;
        s.settings[1][1] = s.settings[1][3] = 0x11;
        s.settings[2][1] = s.settings[2][3] = 0x30;
        s.settings[3][3] = 0x10;
        s.settings[3][1] = 0x12;
        for (int c = 1; c <= 64; ++c) {
            s.words[1][c] = 0x1801;
            gw.model.HandleSerialRequest("T1." + Two(c) + "=AI " + std::to_string(c), 0);
            s.words[2][c] = 0x1B;  // active with fault, scan index 3
            gw.model.HandleSerialRequest("T2." + Two(c) + "=DI " + std::to_string(c), 0);
        }
    }
    void TearDown() override { fx.session.links.CloseSerial(); }
    static std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

    // Opens the test as the command does, runs the dialog start and the first tick.
    void Open()
    {
        ASSERT_EQ(test.Begin(), 1);
        test.Start();
        ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::Continue);
    }

    SingleChannelTest test{fx.session.links};
};

TEST_F(SingleChannelTestTest, ADigitalUnitHas32ChannelsAndReadsTheGroupOfEight)
{
    Open();
    test.SelectTab(1);
    test.Tick();
    gw.store.data[2][2] = 1u << 10 | 1u << 2;  // channel 11: state on, fault
    test.SelectChannel(10);
    test.Tick();
    EXPECT_EQ(gw.requests.back(), "D2.02");
    EXPECT_EQ(test.Display().valueText, "-- SHORT --    ");
    gw.store.data[2][2] = 0;
    test.Tick();
    EXPECT_EQ(test.Display().valueText, "-- OFF --    ");
}

// A user action made at once after a tab change, before the tick that selects the new unit,
// acts on nothing: no word or descriptor of either unit changes, the new unit is shown with
// its own tag and types, and the gateway ends as it was found.
TEST_F(SingleChannelTestTest, ActionsRightAfterATabChangeNeverActOnTheOtherUnit)
{
    // The action, and whether a word was tried on unit 1 before the change to unit 2.
    const std::tuple<const char*, std::function<void(SingleChannelTest&)>, bool> rows[] = {
        {"channel pick, analog to digital", [](SingleChannelTest& t) { t.SelectChannel(4); }, false},
        {"option change", [](SingleChannelTest& t) { t.ChangeOptions({1, 1, 0, 0, 3}); }, false},
        {"a word tried, then the tab", [](SingleChannelTest&) {}, true},
    };
    for (const auto& [name, action, tryFirst] : rows) {
        SCOPED_TRACE(name);
        gw.requests.clear();
        Open();
        const SystemConfiguration before = gw.model.Programmed();
        if (tryFirst) {
            test.ChangeOptions({1, 1, 0, 0, 3});
            test.Tick();
            ASSERT_FALSE(testing::SameBytes(gw.model.Programmed(), before));
        }
        test.SelectTab(1);
        action(test);
        test.Tick();
        EXPECT_TRUE(testing::SameBytes(gw.model.Programmed(), before));
        EXPECT_EQ(test.CurrentUnit(), 1);
        EXPECT_EQ(test.Display().tag, "DI 1");

        test.CancelClicked();
        ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::End);
        test.Finish(test.Result());
        EXPECT_TRUE(testing::SameBytes(gw.model.Programmed(), before));
        EXPECT_TRUE(fx.ui.messages.empty());
    }
}

TEST_F(SingleChannelTestTest, APulledAdapterIsReopenedAndTheTriedWordRestoredOnceItIsBack)
{
    Open();
    test.ChangeOptions({1, 1, 0, 0, 3});
    test.Tick();
    ASSERT_EQ(gw.store.words[1][1], 0x1881u);
    gw.goneAfter = static_cast<int>(gw.requests.size()) + 1;
    test.CancelClicked();
    test.Tick();  // the restore finds the adapter gone
    gw.goneAfter = -1;
    gw.line().openError = {LinkErrorKind::NotFound, "No such file or directory"};
    const auto opens = [&] { return gw.line().openedPaths.size(); };
    const auto opened = opens();
    fx.ui.answers = {false};  // "Exit anyway?" No: wait for the link
    for (int i = 0; i < SC_REOPEN_TICKS; ++i) test.Tick();
    EXPECT_EQ(opens(), opened + 1);
    EXPECT_EQ(test.CommunicationFlag(), 0);

    gw.line().openError = {};
    for (int i = 0; i < SC_REOPEN_TICKS && test.CommunicationFlag() == 0; ++i) test.Tick();
    EXPECT_EQ(test.CommunicationFlag(), 1);
    test.CancelClicked();  // the Leave withdrawn by No is asked for again
    SingleChannelTest::TickResult end = SingleChannelTest::TickResult::Continue;
    for (int i = 0; i < 3 && end != SingleChannelTest::TickResult::End; ++i) end = test.Tick();
    ASSERT_EQ(end, SingleChannelTest::TickResult::End);
    test.Finish(test.Result());
    EXPECT_EQ(gw.store.words[1][1], 0x1801u);
    EXPECT_TRUE(fx.ui.texts(MessageIcon::Error).empty());
}

TEST_F(SingleChannelTestTest, ABrokenWriteBackStopsAtTheFailingPositionWithText395)
{
    Open();
    test.CancelClicked();
    ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::End);
    gw.answerLimit = static_cast<int>(gw.requests.size()) + 2;
    test.Finish(test.Result());
    EXPECT_EQ(gw.requests.back(), "S3.03=16");
    EXPECT_EQ(std::count(gw.requests.begin(), gw.requests.end(), "S4.03=0"), 0);
    EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(395)});
}

} // namespace
} // namespace tarn
