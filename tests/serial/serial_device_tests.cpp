// The QSerialPort device against a pseudo-terminal whose master the test plays, and the port it
// holds against a second open.
#include "serial/pty_pair.h"
#include "serial/qt_serial_device.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

class QtSerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        const LinkError opened = device.Open(pty.SlavePath(), {19200, 8, Parity::None, 1});
        ASSERT_FALSE(opened) << opened.reason;
    }
    std::string Text() const { return std::string(in.begin(), in.end()); }

    testing::PtyPair pty;
    QtSerialDevice device;
    std::vector<std::uint8_t> in;
};

TEST_F(QtSerialDeviceTest, ReadEndsAtTheTerminatorAndLeavesTheRest)
{
    ASSERT_TRUE(pty.Write("C1.01=5\rXYZ"));
    ASSERT_FALSE(device.Read(in, 50, 5000, 1000, '\r'));
    EXPECT_EQ(Text(), "C1.01=5\r");
    ASSERT_FALSE(device.Read(in, 50, 5000, 50));
    EXPECT_EQ(Text(), "XYZ");
}

// The far end hanging up ends a read that would wait 10 s for a terminator, and the device
// stays gone.
TEST_F(QtSerialDeviceTest, FarEndHangingUpIsDeviceGoneNotAHang)
{
    pty.CloseMaster();
    const LinkError read = device.Read(in, 50, 10000, 1000, '\r');
    EXPECT_EQ(read.kind, LinkErrorKind::DeviceGone) << read.reason;
    EXPECT_FALSE(read.reason.empty());
    EXPECT_FALSE(device.IsOpen());
    const std::uint8_t request[] = {'S', '0', '\r'};
    EXPECT_EQ(device.Write(request, sizeof request, 100).kind, LinkErrorKind::DeviceGone);
    EXPECT_EQ(device.Read(in, 50, 10000, 1000).kind, LinkErrorKind::DeviceGone);
}

// Held under its own name, the port is refused under a link to it (a /dev/serial/by-id name), an
// error that names the link.
TEST_F(QtSerialDeviceTest, APortHeldIsBusyUnderAnyOfItsNames)
{
    testing::TempDir dir;
    const std::string link = dir.file("adapter");
    std::filesystem::create_symlink(pty.SlavePath(), link);
    QtSerialDevice other;
    const LinkError refused = other.Open(link, {19200, 8, Parity::None, 1});
    EXPECT_EQ(refused.kind, LinkErrorKind::Busy);
    EXPECT_EQ(refused.reason.rfind(link + ": ", 0), 0u) << refused.reason;
}

} // namespace
} // namespace tarn
