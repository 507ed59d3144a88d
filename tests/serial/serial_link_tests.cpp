// The link operations over the QSerialPort device, with the test playing the gateway
// on the master side of a pseudo-terminal.
#include "link/commands.h"
#include "link/link.h"
#include "serial/pty_pair.h"
#include "serial/qt_serial_device.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarn {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// Answers each request the device sends: reads until the request looks complete, then writes
// what answer() returns (nothing: stays silent).
class FarEnd {
public:
    FarEnd(testing::PtyPair& pty, std::function<bool(const Bytes&)> complete, std::function<Bytes(const Bytes&)> answer)
        : pty_(pty), complete_(std::move(complete)), answer_(std::move(answer)), thread_([this] { Run(); })
    {
    }
    ~FarEnd()
    {
        stop_ = true;
        thread_.join();
    }
    std::vector<Bytes> requests() const
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void Run()
    {
        Bytes pending;
        while (!stop_) {
            const Bytes got = pty_.Read(1, 20);
            if (got.empty()) continue;
            pending.insert(pending.end(), got.begin(), got.end());
            if (!complete_(pending)) continue;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(pending);
            }
            const Bytes reply = answer_(pending);
            pending.clear();
            if (!reply.empty()) pty_.Write(reply);
        }
    }

    testing::PtyPair& pty_;
    std::function<bool(const Bytes&)> complete_;
    std::function<Bytes(const Bytes&)> answer_;
    mutable std::mutex mutex_;
    std::vector<Bytes> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

Bytes B(const std::string& text) { return Bytes(text.begin(), text.end()); }

class QtLinkTest : public ::testing::Test {
protected:
    QtLinkTest()
    {
        InstallQtSerialDevices();
        core.state.serialPort.name = pty.SlavePath();
        core.state.modbusPort.name = pty.SlavePath();
        core.state.current.MASTER_MOD_BAUD = 5;
        core.state.current.MASTER_MOD_FORM = 0;
    }
    ~QtLinkTest() override
    {
        CloseSerialLink();
        CloseModbusLink();
        SetSerialDeviceFactory(nullptr);
    }

    testing::CoreFixture core;
    testing::PtyPair pty;
};

bool EndsWithCr(const Bytes& b) { return !b.empty() && b.back() == '\r'; }

TEST_F(QtLinkTest, CommandsTravelOverARealPort)
{
    FarEnd gateway(pty, EndsWithCr, [](const Bytes& request) {
        const std::string line(request.begin(), request.end() - 1);
        if (line == "S1.16") return B("S1.16=65516\r");
        if (line == "T0.01") return B("T0.01=KX940 MAIN      \r");
        if (line.rfind("C2.10=", 0) == 0) return B("C2.10=0003\r");
        return Bytes{};
    });
    ASSERT_EQ(OpenSerialLinkWithMessage(), 1) << LastLinkError().reason;
    std::uint32_t value = 0;
    ASSERT_EQ(ReadSetting(1, 16, value), 1);
    EXPECT_EQ(FromGateway16(value), -20);
    std::string tag;
    ASSERT_EQ(ReadTag(0, 1, tag), 1);
    EXPECT_EQ(tag, "KX940 MAIN");
    EXPECT_EQ(WriteChannelConfig(2, 10, 3), 1);
    EXPECT_EQ(WriteChannelConfig(2, 10, 4), 0);

    // A silent gateway costs two bounded attempts.
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(ReadSetting(0, 9, value), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::NoReply);
    const std::vector<Bytes> requests = gateway.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.back(), B("S0.09\r"));
    EXPECT_EQ(requests[requests.size() - 2], B("S0.09\r"));
    EXPECT_TRUE(core.ui.messages.empty());
}

TEST_F(QtLinkTest, AGatewayThatHangsUpFailsTheExchangeAtOnce)
{
    ASSERT_EQ(OpenSerialLink(), 1) << LastLinkError().reason;
    pty.CloseMaster();
    const Clock::time_point start = Clock::now();
    std::string reply;
    EXPECT_EQ(SerialExchange("S0.01", reply), 0);
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::DeviceGone);
    EXPECT_EQ(SerialExchange("S0.01", reply), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    CloseSerialLink();
}

TEST_F(QtLinkTest, RefusedParityShowsUnavailablePortWithTheReason)
{
    core.state.current.MASTER_MOD_FORM = 1;  // 8 E 1: a pseudo-terminal cannot
    EXPECT_EQ(OpenModbusLink(), 0);
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::SettingsRefused);
    EXPECT_FALSE(ModbusLinkOpen());
    // The port is free again at once.
    core.state.current.MASTER_MOD_FORM = 3;
    EXPECT_EQ(OpenModbusLink(), 1) << LastLinkError().reason;

    core.state.serialPort.name = "/dev/tarn-no-such-port";
    EXPECT_EQ(OpenSerialLinkWithMessage(), 0);
    ASSERT_EQ(core.ui.messages.size(), 1u);
    EXPECT_EQ(core.ui.messages[0].text, GetText(228));
    EXPECT_FALSE(core.ui.messages[0].details.empty());
}

} // namespace
} // namespace tarn
