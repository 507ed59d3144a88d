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

TEST(CalibrationRules, DoneAndCorrectionOfEachAdjustment)
{
    struct Row {
        Adjustment a;
        int reading;
        bool done;
        int corrected;  // from a coefficient of 10
    };
    const Row rows[] = {
        {Adjustment::Zero, 1, true, 10},         {Adjustment::Zero, -1, true, 10},
        {Adjustment::Zero, 2, false, 11},        {Adjustment::Zero, -2, false, 9},  // 200 / 192 toward zero
        {Adjustment::Zero, 192, false, 110},     {Adjustment::Span, 20001, true, 9},
        {Adjustment::Span, 20005, false, 5},     {Adjustment::Span, 19990, false, 20},
        {Adjustment::Resistance, 4000, true, 10}, {Adjustment::Resistance, 4001, false, 4},
        {Adjustment::Resistance, 3999, false, 16},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(OnTarget(r.a, r.reading), r.done) << r.reading;
        EXPECT_EQ(CorrectedCoefficient(r.a, 10, r.reading), r.corrected) << r.reading;
    }
    EXPECT_TRUE(CoefficientInRange(Adjustment::Zero, -1000));
    EXPECT_FALSE(CoefficientInRange(Adjustment::Zero, 1001));
    EXPECT_TRUE(CoefficientInRange(Adjustment::Span, 32000));
    EXPECT_FALSE(CoefficientInRange(Adjustment::Span, -32001));
    EXPECT_FALSE(CoefficientInRange(Adjustment::Resistance, 32701));
}

TEST(StabilityWindow, TenFreshReadingsAfterTheMarkWithinTwoOfTheirAverage)
{
    StabilityWindow w;
    w.Mark();
    for (int i = 0; i < 9; ++i) EXPECT_FALSE(w.Push(4000)) << i;
    EXPECT_TRUE(w.Push(4000));
    EXPECT_TRUE(w.Push(4002));   // average 4000
    EXPECT_FALSE(w.Push(4004));  // average 4000: off by 4
    StabilityWindow n;
    for (int i = 0; i < 9; ++i) n.Push(-5);
    EXPECT_TRUE(n.Push(-7));     // average -52 / 10 = -5 toward zero
}

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
    EXPECT_EQ(gw.requests, (std::vector<std::string>{"S2.01", "S2.03", "S0.05=1025", "C2.01", "C2.01=6145",
                                                     "S0.05=2049", "S2.09", "S2.10", "S2.11"}));
    EXPECT_EQ(cal.Zero(), -20);
    EXPECT_EQ(cal.Caption(), "Calibration of KX913 # 2");
    EXPECT_EQ(cal.StepButtonText(), "Start Calibration");

    EXPECT_EQ(cal.StepClicked(), Calibration::Action::None);
    EXPECT_EQ(cal.StepButtonText(), "Apply 0 mV - Hit when Ready");
    cal.StepClicked();
    EXPECT_FALSE(cal.CancelVisible());
    EXPECT_EQ(RunWhile(CAL_ZERO), 20);  // one correction, ten readings before and after it
    EXPECT_EQ(cal.StepState(), CAL_APPLY_SPAN);
    EXPECT_TRUE(cal.CancelVisible());
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
    EXPECT_FALSE(cal.CancelVisible());
    Tick();
    EXPECT_TRUE(cal.CancelVisible());  // shown again from the first tick of this step
    RunWhile(CAL_RESISTANCE);
    EXPECT_EQ(cal.StepState(), CAL_DONE);
    EXPECT_EQ(cal.Resistance(), -72);
    EXPECT_EQ(gw.store.settings[N][11], 65464u);
    EXPECT_EQ(gw.store.settings[0][5], 2049u);
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(cal.ReadingText(), "4000 ");

    ASSERT_EQ(cal.StepClicked(), Calibration::Action::End);
    cal.Finish(cal.Result());
    EXPECT_EQ(gw.store.words[N][1], 0x0887u);
    EXPECT_FALSE(SerialLinkOpen());
    EXPECT_TRUE(fx.ui.messages.empty());
}

TEST_F(CalibrationTest, AReadingOnTargetAtTheFirstStableTickWritesNothing)
{
    Open();
    gw.store.settings[N][9] = ToGateway16(19);  // 37 - 36 = 1
    cal.StepClicked();
    cal.StepClicked();
    const std::size_t mark = gw.requests.size();
    EXPECT_EQ(RunWhile(CAL_ZERO), 10);
    EXPECT_EQ(cal.StepState(), CAL_APPLY_SPAN);
    EXPECT_EQ(std::count(gw.requests.begin() + static_cast<std::ptrdiff_t>(mark), gw.requests.end(), "D2.01"), 10);
    EXPECT_EQ(gw.requests.size(), mark + 10);
}

TEST_F(CalibrationTest, AnAdjustmentThatNeverSettlesStopsAfter300Ticks)
{
    Open();
    cal.StepClicked();
    cal.StepClicked();
    for (int i = 0; i < 299; ++i) {
        gw.store.data[N][1] = ToGateway16(i % 2 ? 50 : -50);
        cal.Tick();
    }
    EXPECT_EQ(cal.StepState(), CAL_ZERO);
    cal.Tick();
    EXPECT_EQ(cal.StepState(), CAL_INTERRUPTED);
    EXPECT_EQ(cal.StepButtonText(), "Calibration interrupted... Hit to Exit");
}

TEST_F(CalibrationTest, ACoefficientOutOfRangeIsShownButNotWritten)
{
    Open();
    millivolts = 20;  // 20 mV applied in the zero step: the zero would leave its range
    cal.StepClicked();
    cal.StepClicked();
    RunWhile(CAL_ZERO);
    EXPECT_EQ(cal.StepState(), CAL_INTERRUPTED);
    EXPECT_GT(cal.Zero(), 1000);
    EXPECT_EQ(gw.store.settings[N][9], ToGateway16(-20));
}

TEST_F(CalibrationTest, CancelInterruptsARunningStepAndEndsTheDialogInEveryOtherState)
{
    const testing::GatewayStore initial = gw.store;
    for (int target = CAL_WAITING; target <= CAL_DONE; ++target) {
        gw.store = initial;
        millivolts = 0;
        Calibration c{fx.session.links, UNIT};
        ASSERT_EQ(c.Begin(), 1);
        c.Start();
        while (c.StepState() != target) {
            ASSERT_NE(c.StepState(), CAL_INTERRUPTED);
            if (c.StepState() == CAL_APPLY_SPAN) millivolts = 20;
            if (c.StepState() == CAL_WAITING || c.StepState() % 2 == 1) {
                c.StepClicked();
            } else {
                Measure();
                c.Tick();
            }
        }
        if (target == CAL_ZERO || target == CAL_SPAN || target == CAL_RESISTANCE) {
            EXPECT_EQ(c.StepClicked(), Calibration::Action::None);
            EXPECT_EQ(c.StepState(), target) << "the step button does nothing while a step runs";
            EXPECT_EQ(c.CancelClicked(), Calibration::Action::None);
            EXPECT_EQ(c.StepState(), CAL_INTERRUPTED);
        }
        EXPECT_EQ(c.CancelClicked(), Calibration::Action::End) << target;
        c.Finish(c.Result());
    }
    EXPECT_TRUE(fx.ui.messages.empty());
}

TEST_F(CalibrationTest, AFailedExchangeInterruptsAndTheWordIsStillWrittenBackOnce)
{
    Open();
    cal.StepClicked();
    gw.answerLimit = static_cast<int>(gw.requests.size());
    Tick();
    EXPECT_EQ(cal.StepState(), CAL_INTERRUPTED);
    ASSERT_EQ(cal.StepClicked(), Calibration::Action::End);
    EXPECT_EQ(cal.Result(), 0);
    gw.answerLimit = -1;
    const std::size_t mark = gw.requests.size();
    cal.Finish(cal.Result());
    EXPECT_EQ(std::vector<std::string>(gw.requests.begin() + static_cast<std::ptrdiff_t>(mark), gw.requests.end()),
              std::vector<std::string>{"C2.01=2183"});
    EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(395)});
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
            return it->second.empty() ? testing::FakeReply::Silent() : testing::FakeReply::Text(it->second + "\r");
        };
    }
    std::map<std::string, std::string> replies;  // "C2.01\r" -> "C2.01=0000" ("" silence)
};

// Channel 1 is switched to the calibration word only when the word to restore has been read.
TEST_F(CalibrationRepliesTest, ChannelOneStaysAsItWasWhenItsWordCannotBeRead)
{
    for (const char* reply : {"", "C2.01=abcd", "C2.01=70000"}) {
        SCOPED_TRACE(reply);
        gw.requests.clear();
        fx.ui.messages.clear();
        replies = {{"C2.01\r", reply}};
        Calibration c{fx.session.links, UNIT};
        EXPECT_EQ(c.Begin(), 0);
        EXPECT_EQ(std::count(gw.requests.begin(), gw.requests.end(), "C2.01=6145"), 0);
        EXPECT_EQ(gw.store.words[N][1], 0x0887u);
        EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(395)});
        EXPECT_FALSE(SerialLinkOpen());
    }
}

// A coefficient or reading is a signed 16-bit figure, 0..65535 on the wire: anything else
// interrupts the calibration at the first tick, with nothing written, nothing shown as a figure,
// and text 395 at the end.
TEST_F(CalibrationRepliesTest, FiguresOutOfRangeOrNotANumberInterrupt)
{
    struct Row {
        const char* request;
        const char* reply;
    };
    const Row rows[] = {
        {"S2.09\r", "S2.09=70000"}, {"S2.11\r", "S2.11=abcd"}, {"D2.01\r", "D2.01=65536"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply);
        fx.ui.messages.clear();
        replies = {{row.request, row.reply}};
        Calibration c{fx.session.links, UNIT};
        ASSERT_EQ(c.Begin(), 1);
        c.Start();
        c.StepClicked();
        c.StepClicked();
        const std::size_t mark = gw.requests.size();
        Measure();
        c.Tick();
        EXPECT_EQ(c.StepState(), CAL_INTERRUPTED);
        for (auto it = gw.requests.begin() + static_cast<std::ptrdiff_t>(mark); it != gw.requests.end(); ++it)
            EXPECT_EQ(it->find('='), std::string::npos) << "written: " << *it;
        if (std::string(row.request) != "D2.01\r") {
            EXPECT_EQ(c.CoefficientText(c.Zero()), "");
        } else {
            EXPECT_EQ(c.ReadingText(), "");
        }
        c.Finish(c.Result());
        EXPECT_EQ(gw.store.words[N][1], 0x0887u);
        EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(395)});
    }
}

TEST_F(CalibrationTest, AUnitThatIsNotAKX913IsRefusedWithText331)
{
    gw.store.settings[N][1] = 0x30;
    EXPECT_EQ(cal.Begin(), 0);
    EXPECT_EQ(gw.requests, (std::vector<std::string>{"S2.01", "S2.03"}));
    EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{"Not a KX913 as N\xB0 2"});
    EXPECT_FALSE(SerialLinkOpen());
}

} // namespace
} // namespace tarn
