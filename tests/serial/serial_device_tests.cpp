#include "serial/pty_pair.h"
#include "serial/qt_serial_device.h"
#include "support/files.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
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

TEST_F(QtSerialDeviceTest, WritesReachTheFarEndUnchanged)
{
    // Raw line: CR and LF pass as they are, no echo, no translation.
    const std::string request = "C1.01\r\n\x00\xFF" "end";
    const std::string sent(request.data(), 11);
    ASSERT_TRUE(Succeeded(device.Write(reinterpret_cast<const std::uint8_t*>(sent.data()), sent.size(), 100)));
    EXPECT_EQ(pty.ReadText(sent.size(), 2000), sent);
    EXPECT_EQ(pty.ReadText(1, 50), "") << "nothing more, no echo";
}

TEST_F(QtSerialDeviceTest, ReadEndsAtTheTerminatorAndLeavesTheRest)
{
    ASSERT_TRUE(pty.Write("C1.01=5\rXYZ"));
    ASSERT_TRUE(Succeeded(device.Read(in, 50, 5000, 1000, '\r')));
    EXPECT_EQ(Text(in), "C1.01=5\r");
    ASSERT_TRUE(Succeeded(device.Read(in, 50, 5000, 50)));
    EXPECT_EQ(Text(in), "XYZ");
}

TEST_F(QtSerialDeviceTest, ReadStopsAtMaxBytes)
{
    ASSERT_TRUE(pty.Write(std::string(60, 'x')));
    ASSERT_TRUE(Succeeded(device.Read(in, 50, 5000, 200, '\r')));
    EXPECT_EQ(in.size(), 50u);
    ASSERT_TRUE(Succeeded(device.Read(in, 50, 5000, 200)));
    EXPECT_EQ(in.size(), 10u);
}

TEST_F(QtSerialDeviceTest, SilenceAfterTheFirstByteEndsTheReadBeforeTheTotal)
{
    ASSERT_TRUE(pty.Write("AB"));
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(Succeeded(device.Read(in, 50, 10000, 50)));
    EXPECT_EQ(Text(in), "AB");
    EXPECT_LT(MsSince(start), 5000) << "the 50 ms silence must end the read, not the 10 s total";
}

TEST_F(QtSerialDeviceTest, BytesWithShortGapsStayInOneRead)
{
    std::thread far([this] {
        for (char c : std::string("0123456789")) {
            pty.Write(std::string(1, c));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ASSERT_TRUE(Succeeded(device.Read(in, 50, 10000, 1000)));
    far.join();
    EXPECT_EQ(Text(in), "0123456789");
}

TEST_F(QtSerialDeviceTest, NothingArrivingEndsAtTheTotalTimeOut)
{
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(Succeeded(device.Read(in, 50, 150, 20, '\r')));
    EXPECT_TRUE(in.empty());
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 150) << "the total time-out is a monotonic bound";
    EXPECT_LT(elapsed, 5000);
}

TEST_F(QtSerialDeviceTest, PurgeDiscardsWhatHasArrived)
{
    ASSERT_TRUE(pty.Write("JUNKJUNK"));
    ASSERT_TRUE(Succeeded(device.Read(in, 2, 5000, 1000)));  // the junk has arrived
    ASSERT_EQ(Text(in), "JU");
    device.PurgeInput();
    device.ClearErrors();
    EXPECT_TRUE(Succeeded(device.Read(in, 50, 100, 20)));
    EXPECT_EQ(Text(in), "");
    ASSERT_TRUE(pty.Write("S0.01=1\r"));
    EXPECT_TRUE(Succeeded(device.Read(in, 50, 5000, 1000, '\r')));
    EXPECT_EQ(Text(in), "S0.01=1\r");
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

TEST_F(QtSerialDeviceTest, FarEndHangingUpDuringAReadEndsIt)
{
    std::thread far([this] {
        pty.Write("C1");
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        pty.CloseMaster();
    });
    const Clock::time_point start = Clock::now();
    const LinkError read = device.Read(in, 50, 10000, 5000, '\r');
    far.join();
    EXPECT_EQ(read.kind, LinkErrorKind::DeviceGone) << read.reason;
    EXPECT_LT(MsSince(start), 5000);
}

TEST_F(QtSerialDeviceTest, WriteAfterHangUpIsDeviceGone)
{
    pty.CloseMaster();
    const LinkError write = Write("S0.01\r");
    EXPECT_EQ(write.kind, LinkErrorKind::DeviceGone) << write.reason;
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(QtSerialDeviceTest, ASecondOpenOfTheSamePortIsRefused)
{
    QtSerialDevice second;
    const LinkError error = second.Open(pty.SlavePath(), EIGHT_N_ONE);
    EXPECT_EQ(error.kind, LinkErrorKind::Busy) << error.reason;
    EXPECT_FALSE(second.IsOpen());
    // Closing the first frees the port.
    device.Close();
    EXPECT_TRUE(Succeeded(second.Open(pty.SlavePath(), EIGHT_N_ONE)));
}

TEST(QtSerialDeviceOpen, PseudoTerminalsRefuseParityButTakeTwoStopBits)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    QtSerialDevice refused;
    for (Parity parity : {Parity::Even, Parity::Odd}) {
        const LinkError error = refused.Open(pty.SlavePath(), {9600, 8, parity, 1});
        EXPECT_EQ(error.kind, LinkErrorKind::SettingsRefused) << error.reason;
        EXPECT_FALSE(error.reason.empty());
        EXPECT_FALSE(refused.IsOpen()) << "a refused setup closes the device";
    }
    // The refused device has let the port go.
    QtSerialDevice device;
    EXPECT_TRUE(Succeeded(device.Open(pty.SlavePath(), {115200, 8, Parity::None, 2})));
    EXPECT_TRUE(device.IsOpen());
}

TEST(QtSerialDeviceOpen, MissingDeviceIsNotFound)
{
    QtSerialDevice device;
    const LinkError error = device.Open("/dev/tarn-no-such-port", EIGHT_N_ONE);
    EXPECT_EQ(error.kind, LinkErrorKind::NotFound) << error.reason;
    EXPECT_FALSE(device.IsOpen());
    std::vector<std::uint8_t> in;
    EXPECT_EQ(device.Read(in, 50, 100, 20).kind, LinkErrorKind::Other) << "a device that never opened does not read";
}

TEST(QtSerialDeviceOpen, RelativePathIsTakenFromTheWorkingDirectory)
{
    // The simulator's links are often named relative to where the user stands ("sim/serial").
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    testing::TempDir dir;
    std::filesystem::create_directory(dir.path() / "sim");
    std::filesystem::create_symlink(pty.SlavePath(), dir.path() / "sim" / "serial");
    testing::InDirectory here(dir.path());
    QtSerialDevice device;
    EXPECT_TRUE(Succeeded(device.Open("sim/serial", EIGHT_N_ONE)));
    EXPECT_TRUE(device.IsOpen());
}

// Every error names the device tried, as the path it resolved to: a bare name below /dev, a
// relative path below the working directory.
TEST(QtSerialDeviceOpen, ErrorsNameTheDevicePathTried)
{
    testing::TempDir dir;
    testing::InDirectory here(dir.path());
    const std::string cwd = std::filesystem::current_path().string();
    struct Row {
        std::string name;
        std::string path;
    };
    const Row rows[] = {
        {"tarn-no-such-port", "/dev/tarn-no-such-port"},
        {"./sim/../serial", cwd + "/serial"},
    };
    for (const Row& row : rows) {
        QtSerialDevice device;
        const LinkError error = device.Open(row.name, EIGHT_N_ONE);
        EXPECT_EQ(error.kind, LinkErrorKind::NotFound) << error.reason;
        EXPECT_EQ(error.reason.rfind(row.path + ": ", 0), 0u) << error.reason;
        EXPECT_GT(error.reason.size(), row.path.size() + 2) << "the system's reason follows the path";
    }

    // So does a device that goes while open.
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    QtSerialDevice device;
    ASSERT_TRUE(Succeeded(device.Open(pty.SlavePath(), EIGHT_N_ONE)));
    pty.CloseMaster();
    std::vector<std::uint8_t> in;
    for (const LinkError& error : {device.Read(in, 50, 1000, 100), device.Write(nullptr, 0, 100)}) {
        EXPECT_EQ(error.kind, LinkErrorKind::DeviceGone);
        EXPECT_EQ(error.reason.rfind(pty.SlavePath() + ": ", 0), 0u) << error.reason;
    }
}

TEST(TranslatePortError, QtErrorsBecomeLinkErrorKinds)
{
    struct Row {
        QSerialPort::SerialPortError error;
        PortPhase phase;
        bool accessDenied;
        LinkErrorKind kind;
    };
    const Row rows[] = {
        {QSerialPort::NoError, PortPhase::Open, false, LinkErrorKind::None},
        {QSerialPort::DeviceNotFoundError, PortPhase::Open, false, LinkErrorKind::NotFound},
        {QSerialPort::PermissionError, PortPhase::Open, true, LinkErrorKind::PermissionDenied},
        {QSerialPort::PermissionError, PortPhase::Open, false, LinkErrorKind::Busy},
        {QSerialPort::OpenError, PortPhase::Open, false, LinkErrorKind::Busy},
        {QSerialPort::ResourceError, PortPhase::Io, false, LinkErrorKind::DeviceGone},
        {QSerialPort::UnsupportedOperationError, PortPhase::Settings, false, LinkErrorKind::SettingsRefused},
        {QSerialPort::UnsupportedOperationError, PortPhase::Io, false, LinkErrorKind::Other},
        {QSerialPort::TimeoutError, PortPhase::Io, false, LinkErrorKind::Timeout},
        {QSerialPort::WriteError, PortPhase::Io, false, LinkErrorKind::Other},
    };
    for (const Row& row : rows) {
        const LinkError error = TranslatePortError(row.error, "Reason \u00e8", row.phase, row.accessDenied);
        EXPECT_EQ(error.kind, row.kind) << int(row.error);
        if (row.kind != LinkErrorKind::None) {
            // The system's words, in the program's single-byte text.
            EXPECT_EQ(error.reason.substr(0, 8), "Reason \xE8") << int(row.error);
        }
    }
    const LinkError denied = TranslatePortError(QSerialPort::PermissionError, "Permission denied", PortPhase::Open, true);
    EXPECT_NE(denied.reason.find("Permission denied"), std::string::npos);
    EXPECT_NE(denied.reason.find("dialout"), std::string::npos);
}

} // namespace
} // namespace tarn
