#include "diag/factory_test.h"

#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::Bytes;
using testing::CoreFixture;
using testing::FakeGateway;

TEST(NormaliseFactoryCommand, UpperCaseTwoDigitParameterFiveDigitValue)
{
    const std::pair<const char*, const char*> rows[] = {
        {"s1.5=123", "S1.05=00123"},
        {"c2.10", "C2.10=00000"},          // missing numbers read as 0
        {"t3", "T3.00=00000"},
        {"abc", "A0.00=00000"},
        {"s1.5=-7", "S1.05=-0007"},
        {"?s1.5=123", "?"},
        {"", "?"},
        {"s1.5=123456789", "S1.05=123456789"},
        {"s1.5=1 and a long tail of text that is never read", "S1.05=00001"},
    };
    for (const auto& [field, normalised] : rows) EXPECT_EQ(NormaliseFactoryCommand(field), normalised) << field;
}

class FactoryTestTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return fx.session; }

    void SetUp() override
    {
        fx.state.serialPort.name = "/dev/fake-serial";
        fx.state.modbusPort.name = "/dev/fake-modbus";
        test.wait = [this](int ms) { waits.push_back(ms); };
        gw.store.data[1][1] = 42;  // register 0
        ASSERT_EQ(FactoryTest::Begin(fx.session.links), 1);
    }
    void TearDown() override { FactoryTest::Finish(fx.session.links); }

    CoreFixture fx;
    FakeGateway gw{fx.devices};
    FactoryTest test{fx.session.links};
    std::vector<int> waits;
};

// A gateway at another Modbus address leaves the fixed request at address 1 unanswered.
void ModbusSilent(FakeGateway& gw) { gw.store.settings[0][9] = 2; }

TEST_F(FactoryTestTest, SendNormalisesPausesAndSendsEachColumnThatIsOn)
{
    test.commandField = {"s1.5=123", "?c1.01=5", "s2.16=65516"};
    test.toleranceField = {"abc", " 7 ", "-2x"};
    test.Send();
    EXPECT_EQ(test.commandField, (std::array<std::string, 3>{"S1.05=00123", "?", "S2.16=65516"}));
    EXPECT_EQ(test.toleranceField, (std::array<std::string, 3>{"0", "7", "-2"}));
    EXPECT_EQ(waits, std::vector<int>{100});
    EXPECT_EQ(gw.requests, (std::vector<std::string>{"S1.05=00123", "S2.16=65516"}));
    EXPECT_EQ(gw.store.settings[1][5], 123u);
    EXPECT_EQ(test.serialErrors, 0);
}

TEST_F(FactoryTestTest, SendCountsFailedExchangesAndRefusesCommandsTooLongToHold)
{
    test.commandField = {"s123456.123456=1", "x1.01=1", "s1.01=1"};
    test.Send();
    EXPECT_EQ(test.commandField[0], "S123456.123456=00001");
    EXPECT_EQ(test.Commands()[0], "?");
    // The first refused, the second unanswered (two attempts), the third confirmed.
    EXPECT_EQ(gw.requests, (std::vector<std::string>{"X1.01=00001", "X1.01=00001", "S1.01=00001"}));
    EXPECT_EQ(test.serialErrors, 2);
}

TEST_F(FactoryTestTest, TheSerialCycleChecksTheReadValueAgainstTheToleranceBand)
{
    test.commandField = {"S1.05=00123", "?", "?"};
    test.toleranceField[0] = "5";
    const std::pair<std::uint32_t, bool> rows[] = {{118, true}, {123, true}, {128, true}, {117, false}, {129, false}};
    int errors = 0;
    test.StartSerial();
    for (const auto& [value, passes] : rows) {
        gw.store.settings[1][5] = value;
        ASSERT_TRUE(test.Tick());
        if (!passes) ++errors;
        EXPECT_EQ(test.serialErrors, errors) << value;
    }
    EXPECT_EQ(test.replyField[0], "S1.05=0129");
    EXPECT_EQ(gw.requests.back(), "S1.05");
    EXPECT_EQ(test.serialCycles, 5);
}

TEST_F(FactoryTestTest, ACommandWithoutEqualsExpectsZeroAndAFailedReadCounts)
{
    test.commandField = {"S1.07", "S1.08=3", "Q9"};
    gw.store.settings[1][8] = 3;
    test.StartSerial();
    test.Tick();
    EXPECT_EQ(test.serialErrors, 1);  // Q9 gets no reply
    EXPECT_EQ(test.replyField[0], "S1.07=0000");
    EXPECT_EQ(test.replyField[2], "");
}

TEST_F(FactoryTestTest, TheModbusCycleShowsTheRegisterAndCountsFailures)
{
    EXPECT_TRUE(test.StartModbus());
    EXPECT_TRUE(test.Tick());
    EXPECT_EQ(test.modbusField, " 00042");
    EXPECT_EQ(gw.line().writes.back(), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
    ModbusSilent(gw);
    test.Tick();
    EXPECT_EQ(test.modbusField, "");
    EXPECT_EQ(test.modbusCycles, 2);
    EXPECT_EQ(test.modbusErrors, 1);
    EXPECT_EQ(gw.requests, (std::vector<std::string>{"R0+1", "R0+1"}));
}

TEST_F(FactoryTestTest, BothCyclesShareTheTimerAndClearErrorsKeepsTheCycleCounts)
{
    EXPECT_TRUE(test.StartSerial());
    EXPECT_FALSE(test.StartModbus());  // the timer runs already
    EXPECT_FALSE(test.Idle());
    ModbusSilent(gw);
    test.Tick();
    test.StopSerial();
    EXPECT_TRUE(test.Tick());
    test.StopModbus();
    EXPECT_FALSE(test.Tick());
    EXPECT_TRUE(test.Idle());
    EXPECT_EQ(test.modbusErrors, 2);
    test.ClearErrors();
    EXPECT_EQ(test.serialErrors + test.modbusErrors, 0);
    EXPECT_EQ(test.serialCycles, 1);
    EXPECT_EQ(test.modbusCycles, 2);
    EXPECT_EQ(CountText(test.modbusCycles), "00002");
}

TEST(FactoryTestBegin, AnUnavailableModbusPortShowsText228AndClosesTheSerialLink)
{
    CoreFixture fx;
    FakeGateway gw{fx.devices};
    fx.state.serialPort.name = "/dev/fake-serial";
    EXPECT_EQ(FactoryTest::Begin(fx.session.links), 0);
    EXPECT_FALSE(fx.session.links.Serial().IsOpen());
    EXPECT_EQ(fx.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(228)});
}

} // namespace
} // namespace tarn
