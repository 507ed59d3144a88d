#include "diag/calibration.h"

#include "link/commands.h"
#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::FakeGateway;

// A KX913 on position 2 whose channel 1 reads the applied signal with the errors of its input
// stage, corrected by the coefficients the gateway holds - what the calibration closes its loop on.
class CalibrationTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return fx.session; }

    static constexpr int UNIT = 1;  // index; position 2
    static constexpr int N = UNIT + 1;

    void SetUp() override
    {
        fx.state.serialPort.name = "/dev/fake-gateway";
        gw.store.settings[N][1] = gw.store.settings[N][3] = 0x11;
        gw.store.words[N][1] = 0x0887;
        gw.store.settings[N][9] = ToGateway16(-20);
    }
    void TearDown() override { CloseSerialLink(); }

    // The reading of channel 1 for the word on it and the coefficients in the gateway.
    void Measure()
    {
        const int zero = FromGateway16(gw.store.settings[N][9]);
        const int span = FromGateway16(gw.store.settings[N][10]);
        const int res = FromGateway16(gw.store.settings[N][11]);
        int r = 0;
        if (gw.store.words[N][1] == CAL_MILLIVOLT_WORD) r = millivolts * 1000 + 37 - zero * 192 / 100 + (millivolts ? 150 + span : 0);
        else if (gw.store.words[N][1] == CAL_RESISTANCE_WORD) r = 4012 + res / 6;
        gw.store.data[N][1] = ToGateway16(r);
    }
    Calibration::TickOutcome Tick()
    {
        Measure();
        const auto out = cal.Tick();
        beeps += out.beep;
        return out;
    }
    void Open()
    {
        ASSERT_EQ(cal.Begin(), 1);
        cal.Start();
    }
    // Ticks until the state leaves from; the number of ticks.
    int RunWhile(int from)
    {
        int ticks = 0;
        while (cal.StepState() == from && ticks < 1000) {
            Tick();
            ++ticks;
        }
        return ticks;
    }

    CoreFixture fx;
    FakeGateway gw{fx.devices};
    Calibration cal{fx.session.links, UNIT};
    int millivolts = 0;
    int beeps = 0;
};

TEST_F(CalibrationTest, ConvergesOnAllThreeStepsAndRestoresChannelOne)
{
    Open();
    EXPECT_EQ(cal.Zero(), -20);
    cal.StepClicked();
    cal.StepClicked();
    EXPECT_EQ(RunWhile(CAL_ZERO), 20);  // one correction, ten readings before and after it
    EXPECT_EQ(cal.StepState(), CAL_APPLY_SPAN);
    EXPECT_EQ(cal.Zero(), 19);  // 75 read: -20 + 7500 / 192
    EXPECT_EQ(gw.store.settings[N][9], 19u);

    millivolts = 20;
    cal.StepClicked();
    cal.StepClicked();
    RunWhile(CAL_SPAN);
    EXPECT_EQ(cal.StepState(), CAL_APPLY_RESISTANCE);
    EXPECT_EQ(cal.Span(), -151);
    EXPECT_EQ(gw.store.words[N][1], CAL_RESISTANCE_WORD);

    cal.StepClicked();
    RunWhile(CAL_RESISTANCE);
    EXPECT_EQ(cal.StepState(), CAL_DONE);
    EXPECT_EQ(cal.Resistance(), -72);
    EXPECT_EQ(gw.store.settings[N][11], 65464u);
    EXPECT_EQ(beeps, 3);

    ASSERT_EQ(cal.StepClicked(), Calibration::Action::End);
    cal.Finish(cal.Result());
    EXPECT_EQ(gw.store.words[N][1], 0x0887u);
    EXPECT_FALSE(SerialLinkOpen());
    EXPECT_TRUE(fx.ui.messages.empty());
}

// Replies of the gateway in place of the fake's own, by request.
class CalibrationRepliesTest : public CalibrationTest {
protected:
    void SetUp() override
    {
        CalibrationTest::SetUp();
        const auto answer = gw.line().responder;
        gw.line().responder = [this, answer](const testing::Bytes& written) {
            const auto it = replies.find(testing::ToText(written));
            if (it == replies.end()) return answer(written);
            gw.requests.push_back(it->first.substr(0, it->first.size() - 1));
            return testing::FakeReply::Text(it->second + "\r");
        };
    }
    std::map<std::string, std::string> replies;  // "C2.01\r" -> "C2.01=0000"
};

// Channel 1 is switched to the calibration word only when the word to restore has been read.
// A coefficient or reading is a signed 16-bit figure, 0..65535 on the wire: anything else
// interrupts the calibration at the first tick, with nothing written. Either way channel 1 ends
// as it was and text 395 follows.
TEST_F(CalibrationRepliesTest, UnreadableWordsAndFiguresEndWithChannelOneAsItWas)
{
    for (const char* reply : {"C2.01=", "C2.01=abcd", "C2.01=70000", "S2.09=70000", "S2.11=abcd", "D2.01=65536"}) {
        SCOPED_TRACE(reply);
        fx.ui.messages.clear();
        replies = {{std::string(reply, 5) + "\r", reply}};
        Calibration c{fx.session.links, UNIT};
        const bool wordRead = reply[0] != 'C';
        ASSERT_EQ(c.Begin(), wordRead ? 1 : 0);
        if (wordRead) {
            c.Start();
            c.StepClicked();
            c.StepClicked();
            const std::size_t mark = gw.requests.size();
            Measure();
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

} // namespace
} // namespace tarn
