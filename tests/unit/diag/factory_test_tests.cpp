#include "diag/factory_test.h"

#include "link/link.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

class FactoryTestTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return fx.session; }

    void SetUp() override
    {
        fx.state.serialPort.name = "/dev/fake-serial";
        fx.state.modbusPort.name = "/dev/fake-modbus";
        test.wait = [](int) {};
        gw.store.data[1][1] = 42;  // register 0
        ASSERT_EQ(FactoryTest::Begin(fx.session.links), 1);
    }
    void TearDown() override { FactoryTest::Finish(fx.session.links); }

    testing::CoreFixture fx;
    testing::FakeGateway gw{fx.devices};
    FactoryTest test{fx.session.links};
};

TEST_F(FactoryTestTest, TheSerialCycleChecksTheReadValueAgainstTheToleranceBand)
{
    test.commandField = {"S1.05=00123", "?", "?"};
    test.toleranceField[0] = "5";
    const std::pair<std::uint32_t, bool> rows[] = {{118, true}, {128, true}, {117, false}, {129, false}};
    int errors = 0;
    test.StartSerial();
    for (const auto& [value, passes] : rows) {
        gw.store.settings[1][5] = value;
        ASSERT_TRUE(test.Tick());
        if (!passes) ++errors;
        EXPECT_EQ(test.serialErrors, errors) << value;
    }
}

TEST_F(FactoryTestTest, TheModbusCycleShowsTheRegisterAndCountsFailures)
{
    EXPECT_TRUE(test.StartModbus());
    EXPECT_TRUE(test.Tick());
    EXPECT_EQ(test.modbusField, " 00042");
    gw.store.settings[0][9] = 2;  // the fixed request to address 1 goes unanswered
    test.Tick();
    EXPECT_EQ(test.modbusField, "");
    EXPECT_EQ(test.modbusErrors, 1);
}

} // namespace
} // namespace tarn
