// A port belongs to the one device that opened it, whatever name each open uses.
#include "serial/pty_pair.h"
#include "serial/qt_serial_device.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace tarn {
namespace {

// Held under a link (a /dev/serial/by-id name), the port is refused under its own name and
// under the link, naming the port as given, until the holder closes it.
TEST(ExclusivePortTest, ASecondOpenUnderAnyNameIsBusyUntilTheFirstCloses)
{
    testing::PtyPair pty;
    testing::TempDir dir;
    const std::string link = dir.file("adapter");
    ASSERT_TRUE(pty.Ok());
    ASSERT_EQ(::symlink(pty.SlavePath().c_str(), link.c_str()), 0);
    const LineSettings line{19200, 8, Parity::None, 1};
    QtSerialDevice holder, other;
    ASSERT_FALSE(holder.Open(link, line));
    for (const std::string& name : {pty.SlavePath(), link}) {
        const LinkError refused = other.Open(name, line);
        EXPECT_EQ(refused.kind, LinkErrorKind::Busy) << name;
        EXPECT_EQ(refused.reason.rfind(name + ": ", 0), 0u) << refused.reason;
    }
    holder.Close();
    const LinkError reopened = other.Open(pty.SlavePath(), line);
    EXPECT_FALSE(reopened) << reopened.reason;
}

} // namespace
} // namespace tarn
