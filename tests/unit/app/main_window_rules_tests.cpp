#include "app/main_window_rules.h"

#include "config/app_state.h"
#include "dialogs/config_edits.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

using testing::CoreFixture;
using Kind = ElementDialog::Kind;

// A KX913 carries at most three expansions: Add on a full unit changes nothing in it.
TEST(UnitDialogResult, AddStopsAtThreeExpansions)
{
    CoreFixture f;
    UnitRecord& u = f.state.current.units[0];
    u.SLAVE_TYPE = UNIT_KX913;
    u.SLAVE_EXP = 2;
    ApplyUnitDialogResult(f.state, 0, UNIT_DIALOG_ADD);
    EXPECT_EQ(u.SLAVE_EXP, 3u);
    ApplyUnitDialogResult(f.state, 0, UNIT_DIALOG_ADD);
    EXPECT_EQ(u.SLAVE_EXP, 3u);
    EXPECT_EQ(u.SLAVE_TYPE, std::uint32_t(UNIT_KX913));
}

TEST(ElementDialogFor, OpensGatewayUnitAndRepeaterDialogsOutsideTransfers)
{
    CoreFixture f;
    const struct {
        int element;
        ElementDialog idle;
    } cases[] = {
        {0, {}}, {1, {Kind::Gateway, 0, 0}}, {10, {Kind::Unit, 0, 0}}, {43, {Kind::Unit, 3, 3}}, {19, {}},
        {53, {Kind::Repeater, 3, 0}}, {60, {}}, {99, {}},
    };
    for (const auto& c : cases) {
        for (AppMode mode : {AppMode::Idle, AppMode::ReadGateway, AppMode::WriteGateway, AppMode::CompareGateway,
                             AppMode::PrepareSerialTest, AppMode::SerialTest, AppMode::ModbusTest}) {
            f.state.mode = mode;
            const bool ignored = mode == AppMode::ReadGateway || mode == AppMode::WriteGateway ||
                                 mode == AppMode::CompareGateway || mode == AppMode::PrepareSerialTest;
            EXPECT_EQ(ElementDialogFor(f.state, c.element), ignored ? ElementDialog{} : c.idle)
                << c.element << " in mode " << static_cast<int>(mode);
            EXPECT_EQ(ConfigurationDialogsBlocked(f.state), ignored) << static_cast<int>(mode);
        }
    }
}

// The three doors of the close guard: a close of the window (its event, approved or not), the
// session's end (with or without leave to ask), all with one question about unsaved changes.
TEST(CloseGuard, RefusedWhileBusyAndAsksAboutUnsavedChanges)
{
    enum Door { Close, ApprovedClose, End, EndWithoutAsking };
    constexpr CloseAnswer Accept = CloseAnswer::Accept, Refuse = CloseAnswer::Refuse, Defer = CloseAnswer::Defer;
    const struct {
        Door door;
        AppMode mode;
        bool modified, exchange, answer, asked;
        CloseAnswer verdict;  // a session end: Accept or Refuse
    } cases[] = {
        {Close, AppMode::Idle, false, false, false, false, Accept},
        {Close, AppMode::Idle, true, false, true, true, Accept},
        {Close, AppMode::Idle, true, false, false, true, Refuse},
        {Close, AppMode::ReadGateway, false, false, true, false, Refuse},
        {Close, AppMode::Idle, true, true, true, false, Defer},
        {ApprovedClose, AppMode::Idle, true, false, false, false, Accept},
        {ApprovedClose, AppMode::Idle, true, true, true, false, Defer},
        {End, AppMode::Idle, true, false, true, true, Accept},
        {End, AppMode::Idle, true, false, false, true, Refuse},
        {End, AppMode::Idle, false, true, true, false, Refuse},
        {End, AppMode::SerialTest, false, false, true, false, Refuse},
        {EndWithoutAsking, AppMode::Idle, true, false, true, false, Refuse},
        {EndWithoutAsking, AppMode::Idle, false, false, true, false, Accept},
    };
    for (const auto& c : cases) {
        CoreFixture f;
        f.state.mode = c.mode;
        f.state.GatewayModified = c.modified;
        f.ui.answers = {c.answer};
        const int row = static_cast<int>(&c - cases);
        const bool end = c.door == End || c.door == EndWithoutAsking;
        const CloseAnswer verdict = !end ? AnswerCloseEvent(f.state, c.exchange, c.door == ApprovedClose)
                                    : MayEndSession(f.state, c.exchange, [&] { return c.door == End; }) ? Accept
                                                                                                       : Refuse;
        EXPECT_EQ(verdict, c.verdict) << row;
        ASSERT_EQ(f.ui.messages.size(), c.asked ? 1u : 0u) << row;
        EXPECT_TRUE(!c.asked || f.ui.messages[0].text.rfind(GetText(TEXT_UNSAVED_CHANGES_LOST), 0) == 0) << row;
    }
}

TEST(DecodeTargetCommand, UnitRepeaterAndCalibrateIds)
{
    using K = CommandTarget::Kind;
    const struct {
        int id;
        CommandTarget target;
    } cases[] = {
        {2100, {K::Unit, 0, 0}},      {2430, {K::Unit, 3, 3}},      {2210, {K::Unit, 1, 1}},
        {2140, {}},                   {2105, {}},                   {2000, {}},
        {2500, {K::Repeater, 0, 0}},  {2530, {K::Repeater, 3, 0}},  {2540, {}},  {2505, {}},
        {5100, {K::Calibrate, 0, 0}}, {5400, {K::Calibrate, 3, 0}}, {5500, {}},  {5110, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeTargetCommand(c.id), c.target) << c.id;
}

TEST(DigitalScanTime, NoneWhileTheChannelIsOff)
{
    const struct {
        std::uint32_t mode, scanTime;
        bool shown;
        std::uint32_t after;
    } cases[] = {{0, 5, false, 0}, {1, 5, true, 5}, {2, 15, true, 15}, {0, 0, false, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(DigitalScanTimeShown(c.mode), c.shown) << c.mode;
        EXPECT_EQ(DigitalScanTimeAfterModeChange(c.mode, c.scanTime), c.after) << c.mode;
    }
}

// A full refresh while the panels are shown draws their cells anew with nothing read; the menu
// bar alone, or the diagram, leaves the values as they are.
TEST(ViewRefresh, TheLargerRequestWinsAndAFullOneResetsThePanelCells)
{
    CoreFixture f;
    AppState& s = f.state;
    s.gateway = testing::FullInstallation();  // unit 1 KX913 with 3 expansions, unit 3 KX927
    auto read = [&] {
        for (UnitRecord& u : s.gateway.units)
            for (ChannelRecord& c : u.channels) c.live_value = 99, c.live_state = LIVE_READ;
    };
    read();
    s.mode = AppMode::ModbusTest;
    EXPECT_EQ(s.TakeRefresh(), ViewRefresh::None);
    s.RequestRefresh(ViewRefresh::MenuBar);
    EXPECT_EQ(s.TakeRefresh(), ViewRefresh::MenuBar);
    EXPECT_EQ(s.gateway.units[0].channels[0].live_value, 99u);
    s.RequestRefresh(ViewRefresh::Full);
    s.RequestRefresh(ViewRefresh::MenuBar);
    EXPECT_EQ(s.TakeRefresh(), ViewRefresh::Full);
    EXPECT_EQ(s.TakeRefresh(), ViewRefresh::None);
    EXPECT_EQ(s.gateway.units[0].channels[63].live_value, 0u);
    EXPECT_EQ(s.gateway.units[0].channels[63].live_state, LIVE_NONE);  // shows nothing until read again
    EXPECT_EQ(s.gateway.units[2].channels[31].live_value, 0u);
    EXPECT_EQ(s.gateway.units[2].channels[32].live_value, 99u);  // no cell of the panel
    EXPECT_EQ(s.gateway.units[1].channels[0].live_value, 99u);   // empty position
    read();
    s.mode = AppMode::Idle;
    s.RequestRefresh(ViewRefresh::Full);
    EXPECT_EQ(s.TakeRefresh(), ViewRefresh::Full);
    EXPECT_EQ(s.gateway.units[0].channels[0].live_state, LIVE_READ);  // the diagram resets nothing
    s.mode = AppMode::PrepareSerialTest;  // the panels appear while the serial test reads the units
    s.RequestRefresh(ViewRefresh::Full);
    EXPECT_EQ(s.TakeRefresh(), ViewRefresh::Full);
    EXPECT_EQ(s.gateway.units[0].channels[0].live_state, LIVE_NONE);
}

// Timer 1 around a tick: a transfer step holds it and asks for 10 ms while steps are due, 0
// after the last; a live test's poll leaves it running at its own period.
TEST(MainTimerTick, TheTransferStepSetsTheNextTick)
{
    CoreFixture f;
    f.state.mode = AppMode::ModbusTest;
    EXPECT_FALSE(TickHoldsMainTimer(f.state));
    EXPECT_EQ(MainTimerTick(f.session).nextTickMs, std::nullopt);
    testing::FakeGateway gateway{f.devices};
    f.state.serialPort.name = "/dev/fake-serial";
    f.state.mode = AppMode::CompareGateway;
    EXPECT_TRUE(TickHoldsMainTimer(f.state));
    ASSERT_TRUE(f.session.transfer.Start());
    int ticks = 1;
    while (MainTimerTick(f.session).nextTickMs == TRANSFER_TICK_MS) ++ticks;
    EXPECT_EQ(ticks, TRANSFER_STEP_COUNT);
    EXPECT_EQ(f.state.mode, AppMode::Idle);
    EXPECT_EQ(MainTimerTick(f.session).nextTickMs, std::nullopt);
}

} // namespace
} // namespace tarn
