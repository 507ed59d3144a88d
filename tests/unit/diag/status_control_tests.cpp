#include "diag/status_control.h"

#include "config/app_state.h"
#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::FakeGateway;
using Strings = std::vector<std::string>;

class StatusControlTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return core.session; }

    void SetUp() override
    {
        core.state.serialPort.name = "/dev/fake-serial";
        gateway.store.settings[1][3] = gateway.store.settings[1][1] = 0x12;
        gateway.store.settings[2][3] = gateway.store.settings[2][1] = 0x30;
        gateway.store.settings[4][3] = gateway.store.settings[4][1] = 0x10;
        for (int n = 1; n <= 4; ++n) {
            gateway.store.settings[n][5] = static_cast<std::uint32_t>(n);
            gateway.store.settings[n][6] = static_cast<std::uint32_t>(10 * n);
        }
        ASSERT_EQ(OpenSerialLink(), 1);
    }
    void TearDown() override { CloseSerialLink(); }

    // The S0.05 writes the gateway saw, in order.
    Strings ControlWrites() const
    {
        Strings out;
        for (const std::string& r : gateway.requests)
            if (r.rfind("S0.05=", 0) == 0) out.push_back(r.substr(6));
        return out;
    }

    CoreFixture core;
    FakeGateway gateway{core.devices};
    StatusControl control{core.session.links};
};

TEST_F(StatusControlTest, StartThenATickReadsEveryPositionAndShowsDescriptionsAndQuality)
{
    ASSERT_TRUE(control.Start());
    EXPECT_EQ(control.LineFigureText(0, 1), "");  // nothing before the first tick
    ASSERT_TRUE(control.Tick());
    Strings expected{"S0.02", "S0.05=0", "S0.05"};
    for (int n = 1; n <= 4; ++n)
        for (int s : {3, 1, 5, 6}) expected.push_back("S" + std::to_string(n) + ".0" + std::to_string(s));
    EXPECT_EQ(gateway.requests, expected);

    EXPECT_EQ(control.Description(0), "KX913 + 2 x KX914");
    EXPECT_EQ(control.Description(1), "KX927");
    EXPECT_EQ(control.Description(2), "");
    EXPECT_EQ(control.Description(3), "KX913");
    EXPECT_EQ(UnitDescriptionText(0x23), "");
    // An empty position still has its figures read and shown.
    EXPECT_EQ(control.LineFigureText(2, 1), "97 ");
    EXPECT_EQ(control.LineFigureText(2, 2), "70 ");
    EXPECT_EQ(control.LineLabel(3, 2), "Quality of Slave 4 Line 2");

    // Diagnostic mode: the raw figures from the next tick on, under their own label.
    ASSERT_TRUE(control.SetDiagnosticMode(true));
    EXPECT_EQ(control.LineFigureText(0, 2), "90 ");
    EXPECT_EQ(control.LineLabel(0, 1), "Quality of Slave 1 Line 1");
    ASSERT_TRUE(control.Tick());
    EXPECT_EQ(control.LineFigureText(0, 2), "10 ");
    EXPECT_EQ(control.LineLabel(0, 1), "Receive Errors of Slave 1 Line 1");
}

TEST_F(StatusControlTest, TheBusPicturesShowTheLineTheGatewayIsHeldOn)
{
    ASSERT_TRUE(control.Start());
    for (std::uint32_t word : {0x0000u, 0x0040u, 0x1080u, 0x00C0u}) {
        gateway.store.settings[0][5] = word;
        ASSERT_TRUE(control.Tick());
        EXPECT_EQ(control.Line1BusShown(), word == 0x0040) << word;
        EXPECT_EQ(control.Line2BusShown(), word == 0x1080) << word;
    }
}

TEST_F(StatusControlTest, EveryPathWritesTheControlWordAsSpecified)
{
    ASSERT_TRUE(control.Start());
    // Clearing the override keeps the diagnostic bit only, whatever else the word holds.
    gateway.store.settings[0][5] = 0x00C0;
    ASSERT_TRUE(control.ClearLineOverride());
    ASSERT_TRUE(control.SetDiagnosticMode(true));
    gateway.store.settings[0][5] = 0x10C0;
    ASSERT_TRUE(control.ClearLineOverride());
    ASSERT_TRUE(control.SetDiagnosticMode(false));
    control.Cancel();
    EXPECT_EQ(ControlWrites(), (Strings{"0", "256", "4096", "4352", "0", "0"}));
}

TEST_F(StatusControlTest, AnyFailedExchangeEndsTheDialog)
{
    // Each action fails when the gateway answers nothing from its first exchange on.
    using Action = bool (*)(StatusControl&);
    const Action actions[] = {
        [](StatusControl& c) { return c.Start(); },
        [](StatusControl& c) { return c.Tick(); },
        [](StatusControl& c) { return c.ClearLineOverride(); },
        [](StatusControl& c) { return c.SetDiagnosticMode(true); },
    };
    for (Action action : actions) {
        gateway.answerLimit = static_cast<int>(gateway.requests.size());
        EXPECT_FALSE(action(control));
    }
    // A write whose echo is wrong fails as well; a tick stops at its first failed read.
    gateway.answerLimit = -1;
    gateway.garbled = {static_cast<int>(gateway.requests.size()) + 5};
    const std::size_t before = gateway.requests.size();
    EXPECT_FALSE(control.Tick());
    EXPECT_EQ(gateway.requests.size(), before + 6);
}

TEST_F(StatusControlTest, TheCommandReportsAFailureOrSwitchesDiagnosticModeOffAfterCancel)
{
    CloseSerialLink();
    StatusControlCommand(core.session.links, [&](StatusControl& c) {
        EXPECT_TRUE(SerialLinkOpen());
        return c.Start() && c.SetDiagnosticMode(true) ? (c.Cancel(), 1) : 0;
    });
    EXPECT_EQ(ControlWrites(), (Strings{"0", "4096", "0", "0"}));
    EXPECT_FALSE(SerialLinkOpen());
    EXPECT_TRUE(core.ui.messages.empty());

    gateway.requests.clear();
    StatusControlCommand(core.session.links, [](StatusControl&) { return 0; });
    EXPECT_EQ(core.ui.texts(MessageIcon::Error), Strings{"Communication error with KX940"});
    EXPECT_TRUE(ControlWrites().empty());
}

// One noise hit must not leave the gateway in diagnostic mode: after a failure the command makes
// one attempt to write 0 whenever the dialog may have left the mode on.
TEST_F(StatusControlTest, AFailureSwitchesDiagnosticModeOffWhenItMayBeOn)
{
    CloseSerialLink();
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
        gateway.Reset();
        core.ui.messages.clear();
        StatusControlCommand(core.session.links, [&](StatusControl& c) {
            EXPECT_TRUE(c.Start());
            EXPECT_FALSE(row.untilFailure(c, gateway));
            if (row.restoreAnswered) gateway.answerLimit = -1;
            return 0;
        });
        EXPECT_EQ(ControlWrites(), row.writes);
        ASSERT_EQ(core.ui.messages.size(), 1u);
        EXPECT_EQ(core.ui.messages[0].text, GetText(395));
        EXPECT_EQ(core.ui.messages[0].details, row.details);
        EXPECT_FALSE(SerialLinkOpen());
    }
}

// Line figures are a share in % (0..100) outside diagnostic mode and a count (0..65535) in it;
// any other reply fails the tick and nothing of it is shown.
TEST_F(StatusControlTest, LineFiguresOutOfRangeOrNotANumberFailTheTick)
{
    struct Row {
        bool diagnostic;
        const char* reply;  // to S1.05
        std::string shown;  // "" for a failed tick
    };
    const Row rows[] = {
        {false, "S1.05=0100", "0 "},
        {false, "S1.05=0101", ""},
        {false, "S1.05=2147483648", ""}, // 100 - INT_MIN before
        {true, "S1.05=65535", "65535 "},
        {true, "S1.05=65536", ""},
    };
    const auto answer = gateway.line().responder;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply);
        StatusControl fresh{core.session.links};
        ASSERT_TRUE(fresh.Start());
        ASSERT_TRUE(fresh.SetDiagnosticMode(row.diagnostic));
        const std::string reply = std::string(row.reply) + "\r";
        gateway.line().responder = [&](const testing::Bytes& written) {
            return testing::ToText(written) == "S1.05\r" ? testing::FakeReply::Text(reply) : answer(written);
        };
        EXPECT_EQ(fresh.Tick(), !row.shown.empty());
        EXPECT_EQ(fresh.LineFigureText(0, 1), row.shown);
        gateway.line().responder = answer;
    }
}

} // namespace
} // namespace tarn
