#include "diag/status_control.h"

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
