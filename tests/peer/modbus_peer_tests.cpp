// Our Modbus link over the QSerialPort device against libmodbus's RTU server.
#include "diag/live_test.h"
#include "link/link.h"
#include "link/modbus_frame.h"
#include "peer/modbus_peer.h"
#include "serial/qt_serial_device.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarn {
namespace {

using testing::ModbusPeer;

constexpr int SLAVE = 17;

class ModbusPeerTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return core.session; }

    void SetUp() override
    {
        ASSERT_TRUE(peer.Error().empty()) << peer.Error();
        core.devices = QtSerialDevices();
        core.state.modbusPort.name = peer.PortPath();
        core.state.current.MASTER_MOD_ADDR = SLAVE;
        // 4800 baud: the longest silence (48 ms) ends a reply, so a busy machine cannot split one.
        core.state.current.MASTER_MOD_BAUD = 0;
        core.state.current.MASTER_MOD_FORM = 0;
        ASSERT_EQ(OpenModbusLink(), 1) << LastLinkError().reason;
    }
    void TearDown() override
    {
        CloseModbusLink();
    }

    // Reads count registers from first; the payload length ModbusExchange reports.
    int Read(int slave, int first, int count)
    {
        const std::vector<std::uint8_t> request = ReadHoldingRegistersRequest(
            static_cast<std::uint8_t>(slave), static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(count));
        return ModbusExchange(request.data(), request.size(), reply);
    }

    testing::CoreFixture core;
    ModbusPeer peer{SLAVE, 4800};
    std::vector<std::uint8_t> reply;
};

TEST_F(ModbusPeerTest, AnExceptionReplyIsNotARegisterReply)
{
    // Past the server's registers: exception 2, illegal data address.
    const int payload = Read(SLAVE, ModbusPeer::REGISTER_COUNT - 8, 16);
    EXPECT_EQ(payload, 3);
    ASSERT_GE(reply.size(), 3u);
    EXPECT_EQ(reply[1], 0x83);
    EXPECT_EQ(reply[2], 0x02);
    ModbusRegisters registers;
    EXPECT_FALSE(DecodeHoldingRegisters(reply.data(), reply.size(), payload, 16, registers));
    // The link is still good for the next request.
    EXPECT_EQ(Read(SLAVE, 0, 2), 7);
}

TEST_F(ModbusPeerTest, AnotherSlaveAddressGetsNoReply)
{
    EXPECT_EQ(Read(SLAVE + 1, 0, 1), 0);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::NoReply);
    EXPECT_EQ(peer.BytesFromUs(), 8);
    EXPECT_EQ(peer.Answered(), 0);
}

// The reads of the live test and of the link test, framed by us and decoded from libmodbus's
// replies: the register buffer holds the block of the map, and is zeroed after an exception reply.
TEST_F(ModbusPeerTest, ReadsOfOneSixteenAndSixtyFourRegistersFillTheRegisterBuffer)
{
    for (const auto& [first, count] : {std::pair{0x0400, 1}, std::pair{StatusBlockRegister(3), STATUS_BLOCK_COUNT},
                                       std::pair{ChannelWordsRegister(4), 64}, std::pair{LiveValuesRegister(2), 64}}) {
        SCOPED_TRACE(first);
        ASSERT_EQ(ReadHoldingRegisters(first, count), 1) << LastLinkError().reason;
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(ModbusRegisterBuffer()[i], ModbusPeer::RegisterValue(first + i)) << "register " << first + i;
    }
    EXPECT_EQ(ReadHoldingRegisters(ModbusPeer::REGISTER_COUNT - 8, 16), 0);
    for (std::uint32_t entry : ModbusRegisterBuffer()) EXPECT_EQ(entry, 0u);
    EXPECT_EQ(peer.Answered(), 5);
    EXPECT_EQ(peer.BytesFromUs(), 5 * 8) << "each request is 8 bytes on the wire, nothing more";
}

} // namespace
} // namespace tarn
