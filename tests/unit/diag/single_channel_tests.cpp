#include "diag/single_channel_test.h"

#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::FakeGateway;

// Unit 1 a KX913 with one expansion, unit 2 a KX927, unit 3 programmed as a bare KX913
// but holding two expansions, unit 4 empty.
class SingleChannelTestTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return fx.session; }

    void SetUp() override
    {
        fx.state.serialPort.name = "/dev/fake-gateway";
        auto& s = gw.store;
        s.settings[1][1] = s.settings[1][3] = 0x11;
        s.settings[2][1] = s.settings[2][3] = 0x30;
        s.settings[3][3] = 0x10;
        s.settings[3][1] = 0x12;
        for (int c = 1; c <= 64; ++c) {
            s.words[1][c] = 0x1801;
            s.tags[1][c] = "AI " + std::to_string(c);
            s.words[2][c] = 0x1B;  // active with fault, scan index 3
            s.tags[2][c] = "DI " + std::to_string(c);
        }
        s.words[1][5] = 0x0887;  // thermocouple K, fast filter
    }
    void TearDown() override { CloseSerialLink(); }

    // Opens the test as the command does, runs the dialog start and the first tick.
    void Open()
    {
        ASSERT_EQ(test.Begin(), 1);
        test.Start();
        ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::Continue);
    }
    // The requests the gateway saw from index from on.
    std::vector<std::string> RequestsFrom(std::size_t from) const
    {
        return {gw.requests.begin() + static_cast<std::ptrdiff_t>(from), gw.requests.end()};
    }
    void LinkDown() { gw.answerLimit = static_cast<int>(gw.requests.size()); }
    void LinkUp() { gw.answerLimit = -1; }

    CoreFixture fx;
    FakeGateway gw{fx.devices};
    SingleChannelTest test{fx.session.links};
};

TEST_F(SingleChannelTestTest, StartReadsTheSavedDescriptorsThenSelectsUnitOne)
{
    Open();
    EXPECT_EQ(gw.requests, (std::vector<std::string>{"S1.03", "S2.03", "S3.03", "S4.03", "S1.03", "S1.01", "T1.01",
                                                     "C1.01", "S1.01", "D1.01"}));
    const SingleChannelDisplay& d = test.Display();
    EXPECT_EQ(d.programmedText, "  KX913 - KX914");
    EXPECT_EQ(d.realText, "  KX913 - KX914");
    EXPECT_TRUE(d.channelPartVisible);
    EXPECT_EQ(d.channelCount, 32);
    EXPECT_EQ(d.tag, "AI 1");
    EXPECT_FALSE(test.Controls().match);
}

TEST_F(SingleChannelTestTest, AFailedDescriptorReadEndsTheCommandWithText395)
{
    gw.answerLimit = 2;
    EXPECT_EQ(test.Begin(), 0);
    EXPECT_FALSE(SerialLinkOpen());
    EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(395)});
}

TEST_F(SingleChannelTestTest, DifferingTypesHideTheChannelPartUntilMatchedAndTheOldTypeReturnsAtTheEnd)
{
    Open();
    test.SelectTab(2);
    test.Tick();
    EXPECT_EQ(test.Display().programmedText, "  KX913");
    EXPECT_EQ(test.Display().realText, "  KX913 - KX914 - KX914");
    EXPECT_FALSE(test.Display().channelPartVisible);
    EXPECT_TRUE(test.Controls().match);

    test.MatchProgrammedToReal();
    EXPECT_FALSE(test.Controls().match);
    test.Tick();
    EXPECT_EQ(gw.store.settings[3][3], 0x12u);
    EXPECT_TRUE(test.Display().channelPartVisible);
    EXPECT_EQ(test.Display().channelCount, 48);
    EXPECT_FALSE(test.Controls().match);

    test.CancelClicked();
    ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::End);
    test.Finish(test.Result());
    EXPECT_EQ(gw.store.settings[3][3], 0x10u);
    EXPECT_TRUE(fx.ui.messages.empty());
}

TEST_F(SingleChannelTestTest, AnEmptyPositionHidesTheChannelPartAndKeepsMatchDisabled)
{
    Open();
    test.SelectTab(3);
    test.Tick();
    EXPECT_EQ(test.Display().realText, "  No Unit");
    EXPECT_FALSE(test.Display().channelPartVisible);
    EXPECT_FALSE(test.Controls().match);
}

TEST_F(SingleChannelTestTest, ATriedWordIsRestoredBeforeTheNextChannelIsRead)
{
    Open();
    test.SelectChannel(4);
    test.Tick();
    EXPECT_EQ(test.Display().options, (std::array<int, 5>{7, 1, 0, 0, 1}));

    // Thermocouple K -> -21..+21 mV, burnout upscale, slow filter.
    test.ChangeOptions({1, 1, 0, 0, 3});
    test.Tick();
    EXPECT_EQ(gw.store.words[1][5], 0x1881u);
    const std::size_t mark = gw.requests.size();
    test.SelectChannel(5);
    test.Tick();
    EXPECT_EQ(RequestsFrom(mark), (std::vector<std::string>{"C1.05=2183", "C1.06", "T1.06", "S1.01", "D1.06"}));
    EXPECT_EQ(gw.store.words[1][5], 0x0887u);
}

TEST_F(SingleChannelTestTest, OptionListsShowTheFieldsThatTheChannelTypeCarries)
{
    struct Row {
        std::uint32_t word;
        std::array<bool, 5> visible;  // 110..114
    };
    const Row rows[] = {
        {0x0000, {true, false, false, false, false}},
        {0x1981, {true, true, false, false, true}},   // type 1: burnout
        {0x1883, {true, false, true, false, true}},   // type 3: wires
        {0x0204, {true, true, false, true, true}},    // type 4: burnout, cold junction
        {0x0211, {true, true, false, true, true}},    // type 17
        {0x0092, {true, false, true, false, true}},   // type 18: wires
        {0x003F, {true, false, true, false, true}},   // type 63 beyond the list selects entry 0
    };
    Open();
    int channel = 1;
    for (const Row& row : rows) {
        gw.store.words[1][channel + 1] = row.word;
        test.SelectChannel(channel);
        test.Tick();
        EXPECT_EQ(test.Display().optionVisible, row.visible) << std::hex << row.word;
        ++channel;
    }
    EXPECT_EQ(test.Display().options[0], 0);
}

TEST_F(SingleChannelTestTest, ADigitalUnitHas32ChannelsAndReadsTheGroupOfEight)
{
    Open();
    test.SelectTab(1);
    test.Tick();
    EXPECT_EQ(test.Display().channelCount, 32);
    EXPECT_FALSE(test.Display().analog);
    EXPECT_EQ(test.Display().options[0], 2);  // active with fault
    EXPECT_EQ(test.Display().options[1], 3);

    gw.store.data[2][2] = 1u << 10 | 1u << 2;  // channel 11: state on, fault
    test.SelectChannel(10);
    test.Tick();
    EXPECT_EQ(gw.requests.back(), "D2.02");
    EXPECT_EQ(test.Display().valueText, "-- SHORT --    ");
    gw.store.data[2][2] = 0;
    test.Tick();
    EXPECT_EQ(test.Display().valueText, "-- OFF --    ");

    // Mode off hides the scan time.
    test.ChangeOptions({0, 3, 0, 0, 0});
    test.Tick();
    EXPECT_EQ(gw.store.words[2][11], 3u << 3);
    EXPECT_FALSE(test.Display().optionVisible[1]);
}

TEST_F(SingleChannelTestTest, WithTheLinkDownCancelAsksText322AndNoKeepsTheDialog)
{
    Open();
    LinkDown();
    test.Tick();  // the reading fails
    EXPECT_EQ(test.CommunicationFlag(), 0);

    test.CancelClicked();
    EXPECT_FALSE(test.Controls().cancel);
    fx.ui.answers = {false};
    EXPECT_EQ(test.Tick(), SingleChannelTest::TickResult::Continue);
    EXPECT_EQ(fx.ui.texts(MessageIcon::Question), std::vector<std::string>{GetText(322)});
    EXPECT_TRUE(test.Controls().cancel);
    EXPECT_EQ(test.Queue().front().op, ScOperation::Restore);

    // Back up: the withdrawn Leave does nothing and the dialog goes on.
    LinkUp();
    test.Tick();
    test.Tick();
    EXPECT_EQ(test.CommunicationFlag(), 1);
    EXPECT_TRUE(test.Queue().empty());

    LinkDown();
    test.Tick();
    test.CancelClicked();
    fx.ui.answers = {true};
    EXPECT_EQ(test.Tick(), SingleChannelTest::TickResult::End);
    EXPECT_EQ(test.Result(), 0);
    LinkUp();
    const std::size_t mark = gw.requests.size();
    test.Finish(test.Result());
    EXPECT_EQ(gw.requests.size(), mark) << "descriptors are not written back after Yes";
    EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(395)});
}

TEST_F(SingleChannelTestTest, TheQueueHoldsTenRequestsAndMergesARepeatedLeave)
{
    Open();
    test.CancelClicked();
    test.CancelClicked();  // Escape while the first Leave waits
    EXPECT_EQ(test.Queue(), (std::deque<ScRequest>{{ScOperation::Restore}, {ScOperation::Leave}}));

    LinkDown();
    test.SelectChannel(3);
    fx.ui.answers = {false, false, false, false, false};
    test.Tick();  // the Restore fails
    for (int i = 0; i < 3; ++i) {
        test.Tick();  // No to text 322: the Leave is withdrawn
        test.CancelClicked();
    }
    EXPECT_EQ(test.Queue().size(), 10u);
    test.Tick();
    test.CancelClicked();  // no room for Restore and Leave: both dropped, Cancel stays usable
    EXPECT_EQ(test.Queue().size(), 10u);
    EXPECT_TRUE(test.Controls().cancel);
    EXPECT_EQ(std::count_if(test.Queue().begin(), test.Queue().end(),
                            [](const ScRequest& r) { return r.op == ScOperation::Leave; }),
              0);
}

TEST_F(SingleChannelTestTest, AnOptionChangeWhileAChannelIsBeingSelectedIsIgnored)
{
    Open();
    test.SelectChannel(2);
    test.ChangeOptions({3, 0, 1, 0, 3});
    test.Tick();
    EXPECT_EQ(gw.store.words[1][1], 0x1801u);
    EXPECT_EQ(gw.store.words[1][3], 0x1801u);
    EXPECT_EQ(std::count_if(gw.requests.begin(), gw.requests.end(),
                            [](const std::string& r) { return r.find('=') != std::string::npos; }),
              1);  // the restore of channel 1
}

// A user action made at once after a tab change, before the tick that selects the new unit,
// acts on nothing: no word or descriptor of either unit changes, the new unit is shown with
// its own tag and types, and the gateway ends as it was found.
TEST_F(SingleChannelTestTest, ActionsRightAfterATabChangeNeverActOnTheOtherUnit)
{
    struct Row {
        const char* name;
        int from, to;  // unit indexes
        std::function<void(SingleChannelTest&)> action;
        std::string programmedText;  // of unit `to`
        bool tryFirst = false;       // a trial word on unit `from` before the tab change
    };
    auto channel = [](int c) { return [c](SingleChannelTest& t) { t.SelectChannel(c); }; };
    const Row rows[] = {
        {"channel pick, analog to digital", 0, 1, channel(4), "  KX927"},
        {"105 of the unit left", 2, 0, [](SingleChannelTest& t) { t.MatchProgrammedToReal(); }, "  KX913 - KX914"},
        {"option change", 0, 1, [](SingleChannelTest& t) { t.ChangeOptions({1, 1, 0, 0, 3}); }, "  KX927"},
        {"a word tried, then the tab", 0, 1, [](SingleChannelTest&) {}, "  KX927", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gw.requests.clear();
        Open();
        if (row.from != 0) {
            test.SelectTab(row.from);
            test.Tick();
        }
        const testing::GatewayStore before = gw.store;
        if (row.tryFirst) {
            test.ChangeOptions({1, 1, 0, 0, 3});
            test.Tick();
            ASSERT_FALSE(testing::SameMemory(gw.store, before));
        }
        test.SelectTab(row.to);
        row.action(test);
        test.Tick();
        EXPECT_TRUE(testing::SameMemory(gw.store, before));
        EXPECT_EQ(test.CurrentUnit(), row.to);
        EXPECT_EQ(test.Display().programmedText, row.programmedText);
        EXPECT_EQ(test.Display().tag, gw.store.tags[row.to + 1][1]);
        EXPECT_TRUE(test.Controls().channelList && test.Controls().tabs);

        test.CancelClicked();
        ASSERT_EQ(test.Tick(), SingleChannelTest::TickResult::End);
        test.Finish(test.Result());
        EXPECT_TRUE(testing::SameMemory(gw.store, before));
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
    const auto opens = [&] { return std::count(gw.line().events.begin(), gw.line().events.end(), "open"); };
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
    EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{});
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
