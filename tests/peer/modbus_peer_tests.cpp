// Our Modbus link over the QSerialPort device against libmodbus's RTU server: framing checked
// against an implementation that is not ours.
#include "diag/live_test.h"
#include "link/link.h"
#include "serial/pty_pair.h"
#include "serial/qt_serial_device.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace tarn {
namespace {

constexpr int SLAVE = 17;
constexpr int REGISTER_COUNT = 0x500;
std::uint16_t RegisterValue(int address) { return static_cast<std::uint16_t>(address * 0x0101 ^ 0xA5C3); }

// libmodbus serves holding registers on the master of a pseudo-terminal whose slave our link
// opens, and counts the request bytes it takes in.
class ModbusPeerTest : public ::testing::Test {
protected:

    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok() && ctx && map);
        for (int a = 0; a < REGISTER_COUNT; ++a) map->tab_registers[a] = RegisterValue(a);
        ASSERT_EQ(modbus_set_slave(ctx, SLAVE), 0);
        ASSERT_EQ(modbus_set_socket(ctx, pty.Master()), 0);
        modbus_set_indication_timeout(ctx, 0, 20000);
        server = std::thread([this] { Serve(); });
        core.devices = QtSerialDevices();
        core.state.modbusPort.name = pty.SlavePath();
        core.state.current.MASTER_MOD_ADDR = SLAVE;
        // 4800 baud: the longest silence (48 ms) ends a reply, so a busy machine cannot split one.
        core.state.current.MASTER_MOD_BAUD = 0;
        core.state.current.MASTER_MOD_FORM = 0;
        const LinkError error = core.session.links.OpenModbus();
        ASSERT_FALSE(error) << error.reason;
    }
    void TearDown() override
    {
        core.session.links.CloseModbus();
        stop = true;
        if (server.joinable()) server.join();
        // Not modbus_close: the descriptor is the pseudo-terminal's.
        if (map) modbus_mapping_free(map);
        if (ctx) modbus_free(ctx);
    }

    // Function 3 from MASTER_MOD_ADDR; the registers read are kept.
    bool ReadHoldingRegisters(int first, int count)
    {
        read = core.session.live.ReadRegisters(first, count);
        return read.ok();
    }

    void Serve()
    {
        std::vector<std::uint8_t> query(MODBUS_RTU_MAX_ADU_LENGTH);
        while (!stop) {  // time-outs and frames for other slaves: listen on
            const int length = modbus_receive(ctx, query.data());
            if (length > 0) bytesFromUs += length;
            if (length > 0 && modbus_reply(ctx, query.data(), length, map) > 0) ++answered;
            // The master reads nothing but errors while our side has the slave closed.
            if (length < 0 && errno != ETIMEDOUT) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    RegisterRead read;
    testing::CoreFixture core;
    testing::PtyPair pty;
    modbus_t* ctx = modbus_new_rtu(pty.SlavePath().c_str(), 4800, 'N', 8, 1);
    modbus_mapping_t* map = modbus_mapping_new(0, 0, REGISTER_COUNT, 0);
    std::thread server;
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::atomic<long long> bytesFromUs{0};
};

// The reads of the live test and of the link test, framed by us and decoded from libmodbus's
// replies: the register buffer holds the block of the map, and is zeroed after an exception reply.
TEST_F(ModbusPeerTest, ReadsOfOneSixteenAndSixtyFourRegistersFillTheRegisterBuffer)
{
    for (const auto& [first, count] : {std::pair{0x0400, 1}, std::pair{StatusBlockRegister(3), STATUS_BLOCK_COUNT},
                                       std::pair{ChannelWordsRegister(4), 64}, std::pair{LiveValuesRegister(2), 64}}) {
        SCOPED_TRACE(first);
        ASSERT_TRUE(ReadHoldingRegisters(first, count)) << read.error.reason;
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(read.registers[i], RegisterValue(first + i)) << "register " << first + i;
    }
    EXPECT_FALSE(ReadHoldingRegisters(REGISTER_COUNT - 8, 16));  // past the map: exception 2
    for (std::uint32_t entry : read.registers) EXPECT_EQ(entry, 0u);
    EXPECT_TRUE(ReadHoldingRegisters(0, 2)) << "the link is still good after an exception";
    EXPECT_EQ(answered, 6);
    EXPECT_EQ(bytesFromUs, 6 * 8) << "each request is 8 bytes on the wire, nothing more";
}

} // namespace
} // namespace tarn
