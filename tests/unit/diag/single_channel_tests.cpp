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

    CoreFixture fx;
    FakeGateway gw{fx.devices};
    SingleChannelTest test{fx.session.links};
};

TEST_F(SingleChannelTestTest, ATriedWordIsRestoredBeforeTheNextChannelIsRead)
{
    Open();
    test.SelectChannel(4);
    test.Tick();

    // Thermocouple K -> -21..+21 mV, burnout upscale, slow filter.
    test.ChangeOptions({1, 1, 0, 0, 3});
    test.Tick();
    EXPECT_EQ(gw.store.words[1][5], 0x1881u);
    const std::size_t mark = gw.requests.size();
    test.SelectChannel(5);
    test.Tick();
    EXPECT_EQ(gw.requests.at(mark), "C1.05=2183");
    EXPECT_EQ(gw.store.words[1][5], 0x0887u);
}

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
    struct Row {
        const char* name;
        std::function<void(SingleChannelTest&)> action;
        bool tryFirst = false;  // a trial word on unit 1 before the change to unit 2
    };
    const Row rows[] = {
        {"channel pick, analog to digital", [](SingleChannelTest& t) { t.SelectChannel(4); }},
        {"option change", [](SingleChannelTest& t) { t.ChangeOptions({1, 1, 0, 0, 3}); }},
        {"a word tried, then the tab", [](SingleChannelTest&) {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gw.requests.clear();
        Open();
        const testing::GatewayStore before = gw.store;
        if (row.tryFirst) {
            test.ChangeOptions({1, 1, 0, 0, 3});
            test.Tick();
            ASSERT_FALSE(testing::SameMemory(gw.store, before));
        }
        test.SelectTab(1);
        row.action(test);
        test.Tick();
        EXPECT_TRUE(testing::SameMemory(gw.store, before));
        EXPECT_EQ(test.CurrentUnit(), 1);
        EXPECT_EQ(test.Display().tag, "DI 1");

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
