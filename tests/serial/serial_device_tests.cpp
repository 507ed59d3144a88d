#include "serial/pty_pair.h"
#include "serial/qt_serial_device.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace tarn {
namespace {

using Clock = std::chrono::steady_clock;
using testing::PtyPair;

constexpr LineSettings EIGHT_N_ONE{19200, 8, Parity::None, 1};

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

::testing::AssertionResult Succeeded(const LinkError& error)
{
    if (!error) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "kind " << static_cast<int>(error.kind) << ": " << error.reason;
}

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class QtSerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(Succeeded(device.Open(pty.SlavePath(), EIGHT_N_ONE)));
        ASSERT_TRUE(device.IsOpen());
    }
    LinkError Write(const std::string& text)
    {
        return device.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 100);
    }

    PtyPair pty;
    QtSerialDevice device;
    std::vector<std::uint8_t> in;
};

TEST_F(QtSerialDeviceTest, ReadEndsAtTheTerminatorAndLeavesTheRest)
{
    ASSERT_TRUE(pty.Write("C1.01=5\rXYZ"));
    ASSERT_TRUE(Succeeded(device.Read(in, 50, 5000, 1000, '\r')));
    EXPECT_EQ(Text(in), "C1.01=5\r");
    ASSERT_TRUE(Succeeded(device.Read(in, 50, 5000, 50)));
    EXPECT_EQ(Text(in), "XYZ");
}

TEST_F(QtSerialDeviceTest, FarEndHangingUpIsDeviceGoneNotAHang)
{
    pty.CloseMaster();
    const Clock::time_point start = Clock::now();
    const LinkError read = device.Read(in, 50, 10000, 1000, '\r');
    EXPECT_EQ(read.kind, LinkErrorKind::DeviceGone) << read.reason;
    EXPECT_FALSE(read.reason.empty());
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_FALSE(device.IsOpen());
    // Gone stays gone, at once.
    EXPECT_EQ(Write("S0.01\r").kind, LinkErrorKind::DeviceGone);
    EXPECT_EQ(device.Read(in, 50, 10000, 1000).kind, LinkErrorKind::DeviceGone);
    EXPECT_LT(MsSince(start), 5000);
}

} // namespace
} // namespace tarn
