// Our Modbus link over the QSerialPort device against libmodbus's RTU server: framing checked
// against an implementation that is not ours.
#include "diag/live_test.h"
#include "link/link.h"
#include "serial/pty_pair.h"
#include "serial/qt_serial_device.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tarn {
namespace {

constexpr int SLAVE = 17;
constexpr int REGISTER_COUNT = 0x500;
std::uint16_t RegisterValue(int address) { return static_cast<std::uint16_t>(address * 0x0101 ^ 0xA5C3); }

// libmodbus serves holding registers on one pseudo-terminal; a relay joins it to a second, whose
// slave our device opens, and counts the bytes our side sends.
class ModbusPeer {
public:
    ModbusPeer()
    {
        relay_ = std::thread([this] { Relay(); });
        server_ = std::thread([this] { Serve(); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (state_ == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~ModbusPeer()
    {
        stop_ = true;
        server_.join();
        relay_.join();
    }
    bool Listening() const { return state_ == 1; }

    testing::PtyPair ours, theirs;
    std::atomic<long long> bytesFromUs{0};
    std::atomic<int> answered{0};

private:
    void Relay()
    {
        pollfd fds[2] = {{ours.Master(), POLLIN, 0}, {theirs.Master(), POLLIN, 0}};
        std::uint8_t buffer[512];
        while (!stop_) {
            if (::poll(fds, 2, 20) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                const ssize_t n = (fds[i].revents & POLLIN) ? ::read(fds[i].fd, buffer, sizeof buffer) : 0;
                if (n <= 0) continue;
                if (i == 0) bytesFromUs += n;
                for (ssize_t done = 0, w = 0; done < n && (w = ::write(fds[1 - i].fd, buffer + done, n - done)) > 0;) done += w;
            }
            // A side whose slave is not open reports a hang-up: wait instead of spinning.
            if ((fds[0].revents | fds[1].revents) & POLLHUP) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void Serve()
    {
        modbus_t* ctx = modbus_new_rtu(theirs.SlavePath().c_str(), 4800, 'N', 8, 1);
        modbus_mapping_t* map = modbus_mapping_new(0, 0, REGISTER_COUNT, 0);
        if (ours.Ok() && ctx && map && modbus_set_slave(ctx, SLAVE) == 0 && modbus_connect(ctx) == 0) {
            for (int a = 0; a < REGISTER_COUNT; ++a) map->tab_registers[a] = RegisterValue(a);
            modbus_set_indication_timeout(ctx, 0, 20000);
            state_ = 1;
            std::vector<std::uint8_t> query(MODBUS_RTU_MAX_ADU_LENGTH);
            while (!stop_) {  // time-outs and frames for other slaves: listen on
                const int length = modbus_receive(ctx, query.data());
                if (length > 0 && modbus_reply(ctx, query.data(), length, map) > 0) ++answered;
            }
            modbus_close(ctx);
        }
        state_ = 2;
        if (map) modbus_mapping_free(map);
        if (ctx) modbus_free(ctx);
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> state_{0};  // 0 starting, 1 listening, 2 ended or failed
    std::thread relay_, server_;
};

class ModbusPeerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.Listening()) << "the libmodbus server did not start";
        core.devices = QtSerialDevices();
        core.state.modbusPort.name = peer.ours.SlavePath();
        core.state.current.MASTER_MOD_ADDR = SLAVE;
        // 4800 baud: the longest silence (48 ms) ends a reply, so a busy machine cannot split one.
        core.state.current.MASTER_MOD_BAUD = 0;
        core.state.current.MASTER_MOD_FORM = 0;
        const LinkError error = core.session.links.OpenModbus();
        ASSERT_FALSE(error) << error.reason;
    }
    void TearDown() override { core.session.links.CloseModbus(); }
    // Function 3 from MASTER_MOD_ADDR; the registers read are kept.
    bool ReadHoldingRegisters(int first, int count)
    {
        read = core.session.live.ReadRegisters(first, count);
        return read.ok();
    }
    RegisterRead read;

    testing::CoreFixture core;
    ModbusPeer peer;
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
    EXPECT_EQ(peer.answered, 6);
    EXPECT_EQ(peer.bytesFromUs, 6 * 8) << "each request is 8 bytes on the wire, nothing more";
}

} // namespace
} // namespace tarn
