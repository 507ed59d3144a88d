#include "link/commands.h"
#include "link/link.h"
#include "link/modbus_frame.h"
#include "support/fake_serial_device.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::Bytes;
using testing::FakeReply;
using testing::FakeSerialLine;
using testing::ToBytes;
using testing::ToText;

class LinkTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return core.session; }

    LinkTest()
    {
        core.state.serialPort.name = "/dev/ttyFAKE0";
        core.state.modbusPort.name = "/dev/ttyFAKE1";
        core.state.current.MASTER_MOD_BAUD = 1;
        core.state.current.MASTER_MOD_FORM = 0;
    }
    ~LinkTest() override
    {
        CloseSerialLink();
        CloseModbusLink();
    }

    FakeSerialLine& line() { return *fake.line; }

    testing::CoreFixture core;
    testing::FakeSerialFactory fake{core.devices};
};

// ---- opening -------------------------------------------------------------------------------

TEST_F(LinkTest, NoPortChosenFailsWithoutCreatingADevice)
{
    core.state.serialPort = {};
    core.state.modbusPort = {};
    EXPECT_EQ(OpenSerialLink(), 0);
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::NoPort);
    EXPECT_EQ(OpenModbusLink(), 0);
    EXPECT_EQ(OpenSerialLinkWithMessage(), 0);
    EXPECT_EQ(line().devicesCreated, 0);
    EXPECT_FALSE(SerialLinkOpen());
    EXPECT_FALSE(ModbusLinkOpen());
    ASSERT_EQ(core.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(228)});
}

TEST_F(LinkTest, SerialLinkOpensTheSettingsPortAt19200EightNoneOne)
{
    core.state.serialPort = {3, ""};  // COM3
    ASSERT_EQ(OpenSerialLink(), 1);
    EXPECT_TRUE(SerialLinkOpen());
    ASSERT_EQ(line().openedPaths.size(), 1u);
    EXPECT_EQ(line().openedPaths[0], core.state.serialPort.DevicePath());
    EXPECT_EQ(line().openedSettings[0], (LineSettings{19200, 8, Parity::None, 1}));
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::None);
    CloseSerialLink();
    EXPECT_FALSE(SerialLinkOpen());
    EXPECT_EQ(line().closes, 1);
    CloseSerialLink();  // already closed: nothing happens
    EXPECT_EQ(line().closes, 1);
}

TEST_F(LinkTest, ModbusLineFollowsTheBaudRateAndFormatTables)
{
    struct Row {
        std::uint32_t baud, form;
        LineSettings settings;
        int interval;
    };
    const Row rows[] = {
        {0, 0, {4800, 8, Parity::None, 1}, 48},  {1, 1, {9600, 8, Parity::Even, 1}, 24},
        {2, 2, {19200, 8, Parity::Odd, 1}, 12},  {3, 3, {38400, 8, Parity::None, 2}, 6},
        {4, 0, {57600, 8, Parity::None, 1}, 4},  {5, 0, {115200, 8, Parity::None, 1}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.baud * 10 + row.form);
        core.state.current.MASTER_MOD_BAUD = row.baud;
        core.state.current.MASTER_MOD_FORM = row.form;
        ASSERT_EQ(OpenModbusLink(), 1);
        EXPECT_EQ(line().openedSettings.back(), row.settings);
        EXPECT_EQ(line().openedPaths.back(), "/dev/ttyFAKE1");
        // The silence that ends a reply is the table's interval; total and write time-outs are fixed.
        const std::uint8_t request[] = {1, 3, 0, 0, 0, 1};
        std::vector<std::uint8_t> reply;
        ModbusExchange(request, sizeof request, reply);
        ASSERT_FALSE(line().reads.empty());
        EXPECT_EQ(line().reads.back().interval_ms, row.interval);
        EXPECT_EQ(line().reads.back().total_ms, 200);
        EXPECT_EQ(line().reads.back().max_bytes, 300u);
        EXPECT_EQ(line().reads.back().terminator, -1);
        EXPECT_EQ(line().writeTimeouts.back(), 500);
        CloseModbusLink();
    }
}

TEST_F(LinkTest, ModbusIndexesOutsideTheTablesRefuseToOpen)
{
    const std::pair<std::uint32_t, std::uint32_t> bad[] = {{6, 0}, {0, 4}, {0xFFFFFFFF, 0}, {1, 99}};
    for (const auto& [baud, form] : bad) {
        core.state.current.MASTER_MOD_BAUD = baud;
        core.state.current.MASTER_MOD_FORM = form;
        EXPECT_EQ(OpenModbusLink(), 0);
        EXPECT_EQ(LastLinkError().kind, LinkErrorKind::SettingsRefused);
        EXPECT_FALSE(ModbusLinkOpen());
    }
    EXPECT_EQ(line().devicesCreated, 0);
}

TEST_F(LinkTest, RefusedLineSettingsCloseTheDeviceAndShowTheReasonAsDetails)
{
    line().openError = {LinkErrorKind::SettingsRefused, "Invalid argument"};
    EXPECT_EQ(OpenSerialLinkWithMessage(), 0);
    EXPECT_FALSE(SerialLinkOpen());
    EXPECT_FALSE(line().open);
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::SettingsRefused);
    ASSERT_EQ(core.ui.messages.size(), 1u);
    EXPECT_EQ(core.ui.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(core.ui.messages[0].text, GetText(228));
    EXPECT_EQ(core.ui.messages[0].details, "Invalid argument");
    // No exchange reaches a device that failed to open.
    std::string reply;
    EXPECT_EQ(SerialExchange("S0.01", reply), 0);
    EXPECT_TRUE(line().writes.empty());
}

TEST_F(LinkTest, OpeningAnOpenLinkReleasesTheFirstDevice)
{
    ASSERT_EQ(OpenSerialLink(), 1);
    ASSERT_EQ(OpenSerialLink(), 1);
    EXPECT_EQ(line().devicesCreated, 2);
    EXPECT_EQ(line().closes, 1);
}

TEST_F(LinkTest, WithoutADeviceFactoryOpeningFails)
{
    core.devices = nullptr;
    EXPECT_EQ(OpenSerialLink(), 0);
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::Other);
    EXPECT_FALSE(LastLinkError().reason.empty());
}

// ---- SerialExchange ------------------------------------------------------------------------

class SerialExchangeTest : public LinkTest {
protected:
    SerialExchangeTest() { EXPECT_EQ(OpenSerialLink(), 1); }
    int Exchange(const std::string& request)
    {
        reply = "stale";
        return SerialExchange(request, reply);
    }
    std::string reply;
};

TEST_F(SerialExchangeTest, RepliesArriveWithoutTheirLastByte)
{
    struct Row {
        const char* name;
        std::string sent;
        std::string expected;
    };
    const Row rows[] = {
        {"nine characters and CR", "C1.05=123\r", "C1.05=123"},
        {"the read ends at the terminator", "S0.03=0007\rS0.04=0001\r", "S0.03=0007"},
        {"one byte only", "\r", ""},
        {"a NUL ends the text", std::string("C1.05=1\0" "99\r", 11), "C1.05=1"},
        {"50 bytes, the 50th the terminator", std::string(49, 'x') + "\r", std::string(49, 'x')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        line().replies = {FakeReply::Text(row.sent)};
        EXPECT_EQ(Exchange("C1.05"), 1);
        EXPECT_EQ(reply, row.expected);
    }
    // Every attempt sends the request with a CR, then reads at most 50 bytes up to the CR.
    EXPECT_EQ(line().writes.back(), ToBytes("C1.05\r"));
    EXPECT_EQ(line().writeTimeouts.back(), 100);
    const auto& read = line().reads.back();
    EXPECT_EQ(read.max_bytes, 50u);
    EXPECT_EQ(read.total_ms, 100);
    EXPECT_EQ(read.interval_ms, 20);
    EXPECT_EQ(read.terminator, '\r');
}

// A reply is whole only with its terminator as the last byte read; anything else uses up the
// attempt instead of yielding a reply cut short (C1.05=1087 read as C1.05=108).
TEST_F(SerialExchangeTest, AReplyThatDoesNotEndInTheTerminatorIsAFailedAttempt)
{
    struct Row {
        const char* name;
        std::vector<FakeReply> replies;  // to the first and the second attempt
        int result;
        std::string expected;
    };
    const FakeReply whole = FakeReply::Text("C1.05=1087\r");
    const Row rows[] = {
        {"last byte missing, then whole", {FakeReply::Text("C1.05=1087"), whole}, 1, "C1.05=1087"},
        {"last byte not the CR, then whole", {FakeReply::Text("C1.05=1087\n"), whole}, 1, "C1.05=1087"},
        {"last byte missing twice", {FakeReply::Text("C1.05=1087"), FakeReply::Text("C1.05=1087")}, 0, ""},
        // The second attempt reads the late reply to the first request and its own.
        {"late copy's tail, own copy whole", {FakeReply::Text("087\r", 104), FakeReply::Text("C1.05=1087\r", 5)}, 1,
         "C1.05=1087"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        line().writes.clear();
        line().replies = {row.replies.begin(), row.replies.end()};
        line().responder = [](const Bytes&) { return FakeReply::Silent(); };
        EXPECT_EQ(Exchange("C1.05"), row.result);
        EXPECT_EQ(reply, row.expected);
        EXPECT_EQ(line().writes.size(), 2u) << "the retry rules apply";
        if (row.result == 0) {
            EXPECT_NE(LastLinkError().kind, LinkErrorKind::None);
        }
        // Nothing of this exchange is left for the next one.
        line().replies.clear();
        line().input.clear();
        line().coming.clear();
    }
}

TEST_F(SerialExchangeTest, EachAttemptPurgesInputAndClearsErrorsBeforeWriting)
{
    line().input = ToBytes("junk\r");  // left over from an earlier exchange
    line().replies = {FakeReply::Silent(), FakeReply::Text("C1.01=5\r")};
    EXPECT_EQ(Exchange("C1.01"), 1);
    EXPECT_EQ(reply, "C1.01=5");
    const std::vector<std::string> attempt = {"purge", "clear", "write", "read"};
    std::vector<std::string> expected = {"open"};
    expected.insert(expected.end(), attempt.begin(), attempt.end());
    expected.insert(expected.end(), attempt.begin(), attempt.end());
    EXPECT_EQ(line().events, expected);
}

TEST_F(SerialExchangeTest, SecondAttemptReadsTheLateFirstReplyAndItsOwn)
{
    // The first attempt times out; its late reply arrives 4 ms into the second attempt and the
    // reply to the second request 1 ms after it. Both copies belong to this exchange, so the
    // next request reads its own reply.
    line().replies = {FakeReply::Text("S0.01=0001\r", 104), FakeReply::Text("S0.01=0001\r", 5),
                      FakeReply::Text("S0.02=0002\r", 5)};
    EXPECT_EQ(Exchange("S0.01"), 1);
    EXPECT_TRUE(CheckReadReply("S0.01", reply).accepted) << reply;
    EXPECT_EQ(Exchange("S0.02"), 1);
    EXPECT_EQ(reply, "S0.02=0002");
    ASSERT_EQ(line().reads.size(), 3u);
    EXPECT_EQ(line().reads[1].terminator, -1) << "the second attempt ends by silence only";
    EXPECT_EQ(line().reads[2].terminator, '\r') << "a first attempt still ends at the terminator";
}

TEST_F(SerialExchangeTest, FailuresUseUpBothAttempts)
{
    using K = FakeReply::Kind;
    const std::vector<FakeReply> firsts = {FakeReply::Silent(), FakeReply::Of(K::WriteFails), FakeReply::Of(K::ReadFails)};
    for (const FakeReply& first : firsts) {
        line().writes.clear();
        line().replies = {first, FakeReply::Silent()};
        EXPECT_EQ(Exchange("S0.01"), 0);
        EXPECT_EQ(reply, "");
        EXPECT_EQ(line().writes.size(), 2u);
        EXPECT_NE(LastLinkError().kind, LinkErrorKind::None);
    }
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::NoReply);
}

TEST_F(SerialExchangeTest, AGoneDeviceFailsAtOnceAndStaysFailed)
{
    for (auto kind : {FakeReply::Kind::DeviceGoneOnWrite, FakeReply::Kind::DeviceGoneOnRead}) {
        ASSERT_EQ(OpenSerialLink(), 1);
        line().writes.clear();
        line().callsAfterGone = 0;
        line().replies = {FakeReply::Of(kind), FakeReply::Text("S0.01=1\r")};
        EXPECT_EQ(Exchange("S0.01"), 0);
        EXPECT_EQ(LastLinkError().kind, LinkErrorKind::DeviceGone);
        EXPECT_EQ(line().writes.size(), 1u) << "no second attempt on a gone device";
        EXPECT_EQ(Exchange("S0.01"), 0);
        EXPECT_EQ(LastLinkError().kind, LinkErrorKind::DeviceGone);
        EXPECT_EQ(line().callsAfterGone, 0) << "a gone device is not called again";
        EXPECT_TRUE(SerialLinkOpen()) << "the caller still closes the link";
    }
}

TEST_F(SerialExchangeTest, RequestsOfFiftyCharactersOrMoreSendOnlyTheTerminator)
{
    const std::string longest(49, 'A');
    line().responder = [](const Bytes&) { return FakeReply::Text("X\r"); };
    Exchange(longest);
    Exchange(longest + "A");
    Exchange(std::string(200, 'B'));
    Exchange(std::string("S0.01\0garbage", 13));
    EXPECT_EQ(line().WrittenTexts(), (std::vector<std::string>{longest + "\r", "\r", "\r", "S0.01\r"}));
}

TEST_F(SerialExchangeTest, ClosedLinkFailsWithoutADevice)
{
    CloseSerialLink();
    const std::size_t before = line().Activity();
    EXPECT_EQ(Exchange("S0.01"), 0);
    EXPECT_EQ(reply, "");
    EXPECT_EQ(line().Activity(), before);
}

// ---- ModbusExchange ------------------------------------------------------------------------

class ModbusExchangeTest : public LinkTest {
protected:
    ModbusExchangeTest() { EXPECT_EQ(OpenModbusLink(), 1); }
    std::vector<std::uint8_t> reply;
};

Bytes WithCrc(Bytes payload)
{
    return ModbusFrame(payload.data(), payload.size());
}

TEST_F(ModbusExchangeTest, FrameGoesOutWithItsCrcLowByteFirst)
{
    const std::uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    line().replies = {FakeReply::Raw(WithCrc({0x01, 0x03, 0x02, 0x12, 0x34}))};
    EXPECT_EQ(ModbusExchange(request, sizeof request, reply), 5);
    ASSERT_EQ(line().writes.size(), 1u);
    EXPECT_EQ(line().writes[0], (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
    EXPECT_EQ(reply, WithCrc({0x01, 0x03, 0x02, 0x12, 0x34})) << "the reply keeps its CRC";
    EXPECT_EQ(line().events, (std::vector<std::string>{"open", "purge", "clear", "write", "read"}));
}

TEST_F(ModbusExchangeTest, ReplyLengthIsThePayloadOnlyWhenTheCrcIsRight)
{
    struct Row {
        const char* name;
        FakeReply reply;
        int expected;
    };
    Bytes corrupt = WithCrc({0x01, 0x03, 0x02, 0x00, 0x07});
    corrupt.back() ^= 0x01;
    Bytes late = WithCrc({0x01, 0x03, 0x02, 0x00, 0x07});
    const Row rows[] = {
        {"seven bytes with right CRC", FakeReply::Raw(WithCrc({0x01, 0x03, 0x02, 0x00, 0x07})), 5},
        {"exception reply", FakeReply::Raw(WithCrc({0x01, 0x83, 0x02})), 3},
        {"CRC byte changed", FakeReply::Raw(corrupt), 0},
        {"one byte", FakeReply::Raw({0x01}), 0},
        {"silence", FakeReply::Silent(), 0},
        {"after the total time-out", FakeReply::Raw(late, 250), 0},
        {"read error", FakeReply::Of(FakeReply::Kind::ReadFails), 0},
        {"write error", FakeReply::Of(FakeReply::Kind::WriteFails), 0},
    };
    const std::uint8_t request[] = {0x01, 0x03, 0x04, 0x00, 0x00, 0x01};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        line().replies = {row.reply};
        EXPECT_EQ(ModbusExchange(request, sizeof request, reply), row.expected);
        if (row.expected == 0) {
            EXPECT_NE(LastLinkError().kind, LinkErrorKind::None);
        }
    }
    // A wrong CRC still leaves the received bytes for the caller.
    line().replies = {FakeReply::Raw(corrupt)};
    ModbusExchange(request, sizeof request, reply);
    EXPECT_EQ(reply, corrupt);
}

TEST_F(ModbusExchangeTest, RequestsOverOneHundredBytesNeverReachTheDevice)
{
    const std::vector<std::uint8_t> request(101, 0x11);
    const std::size_t before = line().Activity();
    EXPECT_EQ(ModbusExchange(request.data(), request.size(), reply), 0);
    EXPECT_EQ(line().Activity(), before);
    // 100 bytes still go out.
    EXPECT_EQ(ModbusExchange(request.data(), 100, reply), 0);
    ASSERT_EQ(line().writes.size(), 1u);
    EXPECT_EQ(line().writes[0].size(), 102u);
}

TEST_F(ModbusExchangeTest, ReadStartsAtLeastFiveMillisecondsAfterTheWrite)
{
    const std::uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    for (int i = 0; i < 3; ++i) ModbusExchange(request, sizeof request, reply);
    ASSERT_EQ(line().readTimes.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_GE(line().readTimes[i] - line().writeTimes[i], std::chrono::milliseconds(5));
}

TEST_F(ModbusExchangeTest, AGoneDeviceFailsWithoutFurtherCalls)
{
    const std::uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    line().replies = {FakeReply::Of(FakeReply::Kind::DeviceGoneOnRead)};
    EXPECT_EQ(ModbusExchange(request, sizeof request, reply), 0);
    EXPECT_EQ(LastLinkError().kind, LinkErrorKind::DeviceGone);
    EXPECT_EQ(ModbusExchange(request, sizeof request, reply), 0);
    EXPECT_EQ(line().callsAfterGone, 0);
    EXPECT_EQ(line().writes.size(), 1u);
}

// The one read of function 3 that the live test, the factory test and Port Setup use: a reply
// is taken only from the slave asked, with function 3, its byte count and its length right.
TEST_F(ModbusExchangeTest, RegisterReadTakesOnlyTheReplyOfTheSlaveAsked)
{
    struct Row {
        const char* name;
        Bytes payload;  // of the reply, before its CRC
        bool ok;
        int exception;
    };
    const Row rows[] = {
        {"the answer", {17, 0x03, 0x02, 0x12, 0x34}, true, 0},
        {"another slave", {18, 0x03, 0x02, 0x12, 0x34}, false, 0},
        {"exception 2", {17, 0x83, 0x02}, false, 2},
        {"another function", {17, 0x04, 0x02, 0x12, 0x34}, false, 0},
        {"byte count of two registers", {17, 0x03, 0x04, 0x12, 0x34}, false, 0},
        {"one byte short", {17, 0x03, 0x02, 0x12}, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        line().replies = {FakeReply::Raw(WithCrc(row.payload))};
        const RegisterRead read = core.session.links.Modbus().ReadHoldingRegisters(17, 0x0400, 1);
        EXPECT_EQ(read.ok(), row.ok) << read.error.reason;
        EXPECT_EQ(read.exception, row.exception);
        EXPECT_EQ(read.registers[0], row.ok ? 0x1234u : 0u);
        EXPECT_EQ(read.error.reason.empty(), row.ok) << "a refused reply says why";
    }
}

} // namespace
} // namespace tarn
