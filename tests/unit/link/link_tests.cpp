#include "link/commands.h"
#include "link/link.h"
#include "link/modbus_frame.h"
#include "support/fake_serial_device.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::Bytes;
using testing::FakeReply;
using testing::FakeSerialLine;

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

TEST_F(LinkTest, ModbusLineFollowsTheBaudRateAndFormatTables)
{
    struct Row {
        std::uint32_t baud, form;
        LineSettings settings;
        int interval;
    };
    const Row rows[] = {
        {0, 0, {4800, 8, Parity::None, 1}, 48},  {1, 1, {9600, 8, Parity::Even, 1}, 24},
        {2, 2, {19200, 8, Parity::Odd, 1}, 12},  {5, 3, {115200, 8, Parity::None, 2}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.baud * 10 + row.form);
        core.state.current.MASTER_MOD_BAUD = row.baud;
        core.state.current.MASTER_MOD_FORM = row.form;
        ASSERT_EQ(OpenModbusLink(), 1);
        EXPECT_EQ(line().openedSettings.back(), row.settings);
        // The silence that ends a reply is the table's interval; total and write time-outs are fixed.
        const std::uint8_t request[] = {1, 3, 0, 0, 0, 1};
        std::vector<std::uint8_t> reply;
        ModbusExchange(request, sizeof request, reply);
        ASSERT_FALSE(line().reads.empty());
        EXPECT_EQ(line().reads.back().interval_ms, row.interval);
        CloseModbusLink();
    }
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
        {"a NUL ends the text", std::string("C1.05=1\0" "99\r", 11), "C1.05=1"},
        {"50 bytes, the 50th the terminator", std::string(49, 'x') + "\r", std::string(49, 'x')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        line().replies = {FakeReply::Text(row.sent)};
        EXPECT_EQ(Exchange("C1.05"), 1);
        EXPECT_EQ(reply, row.expected);
    }
    // 19200 8N1; a reply ends at its CR or after 20 ms of silence, not only at the 100 ms time-out.
    EXPECT_EQ(line().openedSettings[0], (LineSettings{19200, 8, Parity::None, 1}));
    EXPECT_EQ(line().reads.back().interval_ms, 20);
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
        {"last byte missing twice", {FakeReply::Text("C1.05=1087"), FakeReply::Text("C1.05=1087")}, 0, ""},
        // The second attempt ends by silence only: it reads the late reply to the first request
        // and its own, so the next request reads its own reply.
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
        // Nothing of this exchange is left for the next one.
        line().replies.clear();
        line().input.clear();
        line().coming.clear();
    }
}

TEST_F(SerialExchangeTest, RequestsOfFiftyCharactersOrMoreSendOnlyTheTerminator)
{
    const std::string longest(49, 'A');
    line().responder = [](const Bytes&) { return FakeReply::Text("X\r"); };
    Exchange(longest);
    Exchange(longest + "A");
    EXPECT_EQ(line().WrittenTexts(), (std::vector<std::string>{longest + "\r", "\r"}));
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
        {"byte count of two registers", {17, 0x03, 0x04, 0x12, 0x34}, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        line().replies = {FakeReply::Raw(WithCrc(row.payload))};
        const RegisterRead read = core.session.links.Modbus().ReadHoldingRegisters(17, 0x0400, 1);
        EXPECT_EQ(read.ok(), row.ok) << read.error.reason;
        EXPECT_EQ(read.exception, row.exception);
        EXPECT_EQ(read.registers[0], row.ok ? 0x1234u : 0u);
    }
}

} // namespace
} // namespace tarn
