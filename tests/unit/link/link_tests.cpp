// The links to the gateway: Modbus framing, the serial and Modbus exchanges over a scripted
// port, Port Setup's tests of a chosen port, the checks of the command replies, and the
// transfers of a configuration against the simulator's gateway model.
#include "config/app_state.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/modbus_frame.h"
#include "link/port_setup.h"
#include "link/transfer.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tarn {
namespace {

using testing::Bytes;
using testing::CoreFixture;
using testing::FakeGateway;
using testing::FakeReply;
using testing::FullInstallation;
using testing::SameBytes;

// ---- framing -------------------------------------------------------------------------------

TEST(ModbusCrc, KnownVectors)
{
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0);
    const std::tuple<const char*, Bytes, std::uint16_t> rows[] = {
        {"check string", testing::ToBytes("123456789"), 0x4B37},
        {"read one register at 0", {0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, 0x0A84},
        {"slave 1, register 0x6B", {0x01, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x1774},
        {"bytes 0..255", all, 0xDE6C},
    };
    for (const auto& [name, data, crc] : rows) EXPECT_EQ(ModbusCrc16(data.data(), data.size()), crc) << name;
}

TEST(ModbusPayloadLength, AcceptsOnlyFramesWithTheirOwnCrc)
{
    const Bytes reply = {0x01, 0x03, 0x02, 0x00, 0x2A};
    const Bytes frame = ModbusFrame(reply.data(), reply.size());
    ASSERT_EQ(frame.size(), 7u);
    EXPECT_EQ(ModbusPayloadLength(frame.data(), frame.size()), 5);

    // Any single changed byte, CRC bytes included, is caught.
    for (std::size_t i = 0; i < frame.size(); ++i) {
        Bytes bad = frame;
        bad[i] ^= 0x01;
        EXPECT_EQ(ModbusPayloadLength(bad.data(), bad.size()), 0) << "byte " << i;
    }
    // A frame cut by one byte is no frame.
    EXPECT_EQ(ModbusPayloadLength(frame.data(), frame.size() - 1), 0);
}

class LinkTest : public ::testing::Test {
protected:
    LinkTest()
    {
        core.state.serialPort.name = "/dev/ttyFAKE0";
        core.state.modbusPort.name = "/dev/ttyFAKE1";
    }
    ~LinkTest() override
    {
        links.CloseSerial();
        links.CloseModbus();
    }
    testing::FakeSerialLine& line() { return *fake.line; }

    CoreFixture core;
    testing::FakeSerialFactory fake{core.devices};
    GatewayLinks& links = core.session.links;
};

TEST_F(LinkTest, ModbusLineFollowsTheBaudRateAndFormatTables)
{
    const std::tuple<std::uint32_t, std::uint32_t, LineSettings, int> rows[] = {  // baud, form, line, silence
        {0, 0, {4800, 8, Parity::None, 1}, 48},  {1, 1, {9600, 8, Parity::Even, 1}, 24},
        {2, 2, {19200, 8, Parity::Odd, 1}, 12},  {5, 3, {115200, 8, Parity::None, 2}, 2},
    };
    for (const auto& [baud, form, settings, interval] : rows) {
        SCOPED_TRACE(baud * 10 + form);
        core.state.current.MASTER_MOD_BAUD = baud;
        core.state.current.MASTER_MOD_FORM = form;
        ASSERT_FALSE(links.OpenModbus());
        EXPECT_EQ(line().openedSettings.back(), settings);
        // The silence that ends a reply is the table's interval; total and write time-outs are fixed.
        const std::uint8_t request[] = {1, 3, 0, 0, 0, 1};
        links.Modbus().ModbusExchange(request, sizeof request);
        EXPECT_EQ(line().readIntervals.back(), interval);
        links.CloseModbus();
    }
}

// ---- SerialExchange ------------------------------------------------------------------------

class SerialExchangeTest : public LinkTest {
protected:
    SerialExchangeTest() { EXPECT_FALSE(links.OpenSerial()); }
    SerialReply Exchange(const std::string& request) { return links.Serial().SerialExchange(request); }
};

TEST_F(SerialExchangeTest, RepliesArriveWithoutTheirLastByte)
{
    const std::pair<std::string, std::string> rows[] = {
        {"C1.05=123\r", "C1.05=123"},
        {"S0.03=0007\rS0.04=0001\r", "S0.03=0007"},                // the read ends at the terminator
        {std::string("C1.05=1\0" "99\r", 11), "C1.05=1"},           // a NUL ends the text
        {std::string(49, 'x') + "\r", std::string(49, 'x')},       // 50 bytes, the 50th the terminator
    };
    for (const auto& [sent, expected] : rows) {
        line().replies = {FakeReply::Text(sent)};
        const SerialReply r = Exchange("C1.05");
        EXPECT_TRUE(r.ok()) << expected;
        EXPECT_EQ(r.text, expected);
    }
    // 19200 8N1; a reply ends at its CR or after 20 ms of silence, not only at the 100 ms time-out.
    EXPECT_EQ(line().openedSettings[0], (LineSettings{19200, 8, Parity::None, 1}));
    EXPECT_EQ(line().readIntervals.back(), 20);
}

// A reply is whole only with its terminator as the last byte read; anything else uses up the
// attempt instead of yielding a reply cut short (C1.05=1087 read as C1.05=108).
TEST_F(SerialExchangeTest, AReplyThatDoesNotEndInTheTerminatorIsAFailedAttempt)
{
    const FakeReply cut = FakeReply::Text("C1.05=1087");
    const std::tuple<const char*, std::vector<FakeReply>, std::string> rows[] = {  // replies, "" when failed
        {"last byte missing, then whole", {cut, FakeReply::Text("C1.05=1087\r")}, "C1.05=1087"},
        {"last byte missing twice", {cut, cut}, ""},
        // The second attempt ends by silence only: it reads the late reply to the first request
        // and its own, so the next request reads its own reply.
        {"late copy's tail, own copy whole", {FakeReply::Text("087\r", 104), FakeReply::Text("C1.05=1087\r", 5)},
         "C1.05=1087"},
    };
    for (const auto& [name, replies, expected] : rows) {
        SCOPED_TRACE(name);
        line().writes.clear();
        line().replies = {replies.begin(), replies.end()};
        const SerialReply r = Exchange("C1.05");
        EXPECT_EQ(r.ok(), !expected.empty());
        EXPECT_EQ(r.text, expected);
        EXPECT_EQ(line().writes.size(), 2u) << "the retry rules apply";
        // Nothing of this exchange is left for the next one.
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
    EXPECT_EQ(line().writes, (std::vector<Bytes>{testing::ToBytes(longest + "\r"), {'\r'}}));
}

// The one read of function 3 that the live test, the factory test and Port Setup use: a reply
// is taken only from the slave asked, with function 3, its byte count and its length right.
TEST_F(LinkTest, RegisterReadTakesOnlyTheReplyOfTheSlaveAsked)
{
    const std::tuple<const char*, Bytes, bool, int> rows[] = {  // the reply's payload, ok, exception
        {"the answer", {17, 0x03, 0x02, 0x12, 0x34}, true, 0},
        {"another slave", {18, 0x03, 0x02, 0x12, 0x34}, false, 0},
        {"exception 2", {17, 0x83, 0x02}, false, 2},
        {"byte count of two registers", {17, 0x03, 0x04, 0x12, 0x34}, false, 0},
    };
    ASSERT_FALSE(links.OpenModbus());
    for (const auto& [name, payload, ok, exception] : rows) {
        SCOPED_TRACE(name);
        line().replies = {FakeReply::Raw(ModbusFrame(payload.data(), payload.size()))};
        const RegisterRead read = links.Modbus().ReadHoldingRegisters(17, 0x0400, 1);
        EXPECT_EQ(read.ok(), ok) << read.error.reason;
        EXPECT_EQ(read.exception, exception);
        EXPECT_EQ(read.registers[0], ok ? 0x1234u : 0u);
    }
}

// ---- Port Setup --------------------------------------------------------------------------

const PortSetting kNone{};
PortSetting Com(int n) { return {n, {}}; }
PortSetting Named(const std::string& path) { return {0, path}; }

TEST(SelectStoredPort, TakesOnlyTheEntryThatEqualsTheStoredPort)
{
    // COM10 and COM12 present, COM1 absent, and a USB adapter.
    const std::vector<std::string> entries = {Com(10).DevicePath(), Com(12).DevicePath(), "/dev/ttyUSB0"};
    const std::tuple<const char*, PortSetting, StoredPortSelection> cases[] = {
        {"COM10", Com(10), {1, false}},
        {"COM1 is no prefix match for COM10", Com(1), {4, true}},
        {"by name", Named("/dev/ttyUSB0"), {3, false}},
        {"a name that only begins like an entry", Named("/dev/ttyUSB"), {4, true}},
        {"none is no fault", kNone, {0, false}},
    };
    for (const auto& [name, stored, selection] : cases) {
        const StoredPortSelection s = SelectStoredPort(entries, stored);
        EXPECT_EQ(s.index, selection.index) << name;
        EXPECT_EQ(s.unavailable, selection.unavailable) << name;
    }
}

// The link tests of the dialog on a fresh line each: the port chosen in the dialog is the one
// tried, the stored ports stay, and one message says how it went (with the system's reason for
// a refused open in its details).
TEST_F(LinkTest, PortSetupTestsThePortChosenAndReportsEachOutcome)
{
    const auto modbusReply = [](Bytes payload) { return FakeReply::Raw(ModbusFrame(payload.data(), payload.size())); };
    const struct {
        const char* name;
        bool modbus;
        PortSetting port;
        std::vector<FakeReply> replies;  // of the far end
        LinkError openError;
        int result;
        std::string text;
    } cases[] = {
        {"no port", false, kNone, {}, {}, 0, "COM port undefined!"},
        {"port refused", false, Named("/dev/ttyUSB7"), {}, {LinkErrorKind::PermissionDenied, "Permission denied"}, 0,
         "Unavailable Port"},
        {"silent", false, Named("/dev/ttyUSB7"), {FakeReply::Silent(), FakeReply::Silent()}, {}, 0, "Impossible to communicate"},
        {"another address", false, Named("/dev/ttyUSB7"), {FakeReply::Text("C1.02=0001\r")}, {}, 0, "Wrong response from theKX940"},
        {"any value", false, Named("/dev/ttyUSB7"), {FakeReply::Text("C1.01=whatever\r")}, {}, 1,
         "Succesfull communication with the KX940"},
        {"one register", true, Named("/dev/ttyUSB9"), {modbusReply({17, 3, 2, 0x12, 0x34})}, {}, 1,
         "Succesfull communication with the KX940"},
    };
    core.state.serialPort = Com(2);
    core.state.modbusPort = Com(3);
    core.state.current.MASTER_MOD_ADDR = 17;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        *fake.line = {};
        core.ui.messages.clear();
        line().replies.assign(c.replies.begin(), c.replies.end());
        line().openError = c.openError;
        EXPECT_EQ((c.modbus ? TestModbusLink : TestSerialLink)(links, c.port), c.result);
        if (!c.port.IsNone()) { EXPECT_EQ(line().openedPaths.back(), c.port.DevicePath()); }
        ASSERT_EQ(core.ui.messages.size(), 1u);
        EXPECT_EQ(core.ui.messages[0].icon, c.result ? MessageIcon::Information : MessageIcon::Error);
        EXPECT_EQ(core.ui.messages[0].text, c.text);
        EXPECT_EQ(core.ui.messages[0].details, c.openError.reason);
        if (c.modbus && !c.replies.empty()) {
            const std::uint8_t request[] = {17, 3, 0x04, 0x00, 0x00, 0x01};
            EXPECT_EQ(line().writes.at(0), ModbusFrame(request, sizeof request));
        }
        EXPECT_EQ(core.state.serialPort, Com(2));
        EXPECT_EQ(core.state.modbusPort, Com(3));
        EXPECT_FALSE(links.Serial().IsOpen() || links.Modbus().IsOpen());
    }
}

// ---- the pure checks -----------------------------------------------------------------------

TEST(CheckReadReply, LengthAddressEqualsAndValue)
{
    const std::tuple<const char*, const char*, bool, std::optional<std::uint32_t>> rows[] = {
        {"C1.05", "C1.05=123", true, 123u},       // 9 characters: the shortest accepted
        {"C1.05", "C1.05=12", false, {}},         // 8
        {"C1.05", "C1.06=2049", false, {}},       // another address
        {"C1.05", "C1.05:2049", false, {}},       // 6th character is not '='
        {"C1.05", "C1.05=abcd", true, {}},        // accepted; the value stays as it was
        {"S0.03", "S0.03=   42", true, 42u},
    };
    for (const auto& [request, reply, accepted, value] : rows) {
        const ReadReplyCheck check = CheckReadReply(request, reply);
        EXPECT_EQ(check.accepted, accepted) << reply;
        if (accepted) { EXPECT_EQ(check.value, value) << reply; }
    }
}

TEST(CheckWriteReply, TheGatewayMustEchoTheValueWritten)
{
    const std::tuple<const char*, const char*, std::uint32_t, bool> rows[] = {
        {"C2.10=3", "C2.10=0003", 3, true},
        {"C2.10=3", "C2.10=0002", 3, false},
        {"C2.10=3", "C2.10=3", 3, false},             // shorter than 9
        {"C2.10=3", "C2.10=xxxx", 3, false},          // no number echoed
        {"C1.01=-1", "C1.01=4294967295", 0xFFFFFFFFu, true},
        // The control word S0.05: a reply that orders after "S0.05=0000" is taken at once.
        {"S0.05=4096", "S0.05=0001", 4096, true},
        {"S0.05=4096", "S0.05=0000", 4096, false},    // equal: the echo check decides
        {"S0.05=0", "S0.05=0000", 0, true},
        {"S0.05=4096", "S0.04=4096", 4096, false},    // orders before: the echo check decides
        {"S1.05=4096", "S1.05=0001", 4096, false},    // other units are echo-checked
    };
    for (const auto& [request, reply, written, accepted] : rows)
        EXPECT_EQ(CheckWriteReply(request, reply, written), accepted) << request << " <- " << reply;
}

TEST(CheckTagReply, TagIsTheRestCutToSixteenWithoutTrailingBlanks)
{
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"T0.01=PUMP 12         ", "PUMP 12"},
        {"T0.01=ABCDEFGHIJKLMNOPQR", "ABCDEFGHIJKLMNOP"},
        {"T0.01=ABCDEFGHIJ", "ABCDEFGHIJ"},       // 16 characters
        {"T0.01=ABCDEFGHI", std::nullopt},        // 15 characters
        {"T0.01=  LEAD  TAG     ", "  LEAD  TAG"},  // only trailing blanks go
        {"T0.02=ABCDEFGHIJKLMNOP", std::nullopt},
    };
    for (const auto& [reply, tag] : rows) EXPECT_EQ(CheckTagReply("T0.01", reply), tag) << reply;
}

// What the diagnostics show or act on: digits only, within the figure's range.
TEST(CheckFigureReply, OnlyWholeNumbersWithinTheRange)
{
    const std::tuple<const char*, std::uint32_t, std::optional<std::uint32_t>> rows[] = {
        {"S1.05=0000", 100, 0u},  // the lower bound is a figure
        {"S1.05=0100", 100, 100u},
        {"S1.05=0101", 100, std::nullopt},
        {"S1.05=4294967296", 0xFFFFFFFF, std::nullopt}, // clamped by "%u", still not the gateway's figure
        {"S1.05=0007 junk", 0xFFFF, std::nullopt},
        {"S1.05=00S1.05=0001", 0xFFFF, std::nullopt}, // a cut copy run into a whole one
    };
    for (const auto& [reply, high, figure] : rows) EXPECT_EQ(CheckFigureReply("S1.05", reply, 0, high), figure) << reply;
}

TEST(Commands, ReadsStoreTheValueOnlyFromAnAcceptedReply)
{
    CoreFixture core;
    FakeGateway gateway{core.devices};
    gateway.replies = {{"C1.05", "C1.05="}, {"D1.01", "D1.01=zzzz"}};
    core.state.serialPort.name = "/dev/ttyFAKE0";
    ASSERT_FALSE(core.session.links.OpenSerial());
    Link& link = core.session.links.Serial();
    std::uint32_t value = 65516;
    EXPECT_EQ(ReadChannelConfig(link, 1, 5, value), 0);
    EXPECT_EQ(value, 65516u) << "a refused reply leaves the value";
    EXPECT_EQ(ReadData(link, 1, 1, value), 1);
    EXPECT_EQ(value, 0u) << "a data reply without a number reads as 0";
}

// ---- the transfers of a configuration ---------------------------------------------------------

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override { core.state.serialPort.name = "/dev/fake-gateway"; }

    // Runs the started transfer to its end step; the number of Step calls, that one included.
    int RunToEnd()
    {
        int steps = 1;
        while (steps < 1000 && transfer.Step()) ++steps;
        return steps;
    }

    // Starts a transfer in mode and runs it to its end.
    int Run(AppMode mode)
    {
        core.state.mode = mode;
        if (!transfer.Start()) return 0;
        return RunToEnd();
    }

    // Puts configuration into the fake gateway through a complete write.
    void Program(const SystemConfiguration& configuration)
    {
        CopyConfiguration(core.state.gateway, configuration);
        ASSERT_EQ(Run(AppMode::WriteGateway), TRANSFER_STEP_COUNT);
        ASSERT_EQ(transfer.LastOutcome(), TransferOutcome::Succeeded);
    }

    std::vector<std::string> Errors() const { return core.ui.texts(MessageIcon::Error); }

    // What every failed transfer leaves: text 395 once (after a write with text 398: the gateway
    // holds a partly written configuration), the current image as it was, idle, no link.
    void ExpectFailedEnd(const SystemConfiguration& before, bool write = false)
    {
        const std::string error = "Communication error with KX940";
        EXPECT_EQ(Errors(), std::vector<std::string>{write ? error + "\n\n" + GetText(398) : error});
        EXPECT_TRUE(SameBytes(core.state.current, before));
        EXPECT_EQ(core.state.mode, AppMode::Idle);
        EXPECT_EQ(transfer.LastOutcome(), TransferOutcome::Failed);
        EXPECT_FALSE(core.session.links.Serial().IsOpen());
    }

    CoreFixture core;
    FakeGateway gateway{core.devices};
    TransferEngine& transfer = core.session.transfer;
};

// Neighbouring fields hold different bits, so that a field packed or read one bit off shows.
TEST_F(TransferTest, MasterWordsArePackedAsTheGatewayExpects)
{
    SystemConfiguration sample = FullInstallation();
    sample.MASTER_CABLE = 2;
    sample.MASTER_FREQ = 1;
    sample.MASTER_MOD_CONFIG = 0;
    sample.MASTER_REPT = 4;
    const std::uint32_t matrix[REPEATER_COUNT] = {3, 0, 2, 1};
    std::copy(std::begin(matrix), std::end(matrix), sample.MASTER_REPT_MAT);
    const std::uint32_t options = 0x6;                                       // S0.03
    const std::uint32_t repeater = 4u << 12 | 3 | 0 << 3 | 2 << 6 | 1 << 9;  // S0.04
    Program(sample);
    EXPECT_EQ(gateway.store.settings[0][3], options);
    EXPECT_EQ(gateway.store.settings[0][4], repeater);

    // Read back with every bit the program does not write set as well.
    gateway.replies["S0.03"] = "S0.03=" + std::to_string(options | 0xFFF0);
    gateway.store.settings[0][4] = repeater | 0x8000 | 1u << 2 | 1u << 5 | 1u << 8 | 1u << 11;
    ClearConfiguration(core.state.gateway);
    ASSERT_EQ(Run(AppMode::CompareGateway), TRANSFER_STEP_COUNT);
    const SystemConfiguration& read = core.state.gateway;
    EXPECT_EQ(read.MASTER_CABLE, 2u);
    EXPECT_EQ(read.MASTER_FREQ, 1u);
    EXPECT_EQ(read.MASTER_MOD_CONFIG, 0u);
    EXPECT_EQ(read.MASTER_REPT, 4u);
    for (int i = 0; i < REPEATER_COUNT; ++i) EXPECT_EQ(read.MASTER_REPT_MAT[i], matrix[i]) << i;
}

TEST_F(TransferTest, ReadingsOutsideTheConfigurationRangesEndTheTransfer)
{
    // The reply in place of the gateway's own to its request, and whether the read goes on.
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"modbus address 0", "S0.09=0000", false},
        {"modbus address 251", "S0.09=0251", false},
        {"baud index 6", "S0.10=0006", false},
        {"format index 4", "S0.11=0004", false},
        {"4 repeaters", "S0.04=16384", true},
        {"5 repeaters", "S0.04=20480", false},
        {"reference -401", "S3.16=65135", false},
        {"reference 1001", "S3.16=1001", false},
        {"channel word beyond 16 bits", "C4.64=65536", false},
        // A reply without a number is no value: the field would keep what it held.
        {"no number", "S0.01=abcd", false},
        {"a number with a tail", "C4.64=0017 x", false},
    };
    gateway.Program(FullInstallation());
    for (const auto& [what, reply, accepted] : cases) {
        SCOPED_TRACE(what);
        gateway.replies = {{std::string(reply, 5), reply}};
        core.ui = {};
        core.state.current = FullInstallation();
        SetFieldText(core.state.current.MASTER_TAG, "UNTOUCHED");
        const SystemConfiguration before = core.state.current;
        Run(AppMode::ReadGateway);
        EXPECT_EQ(transfer.LastOutcome(), accepted ? TransferOutcome::Succeeded : TransferOutcome::Failed);
        if (accepted) EXPECT_TRUE(Errors().empty());
        else ExpectFailedEnd(before);
    }
}

// A write (a read that fails: the range table above) whose gateway falls silent in unit 3.
TEST_F(TransferTest, GatewayThatFallsSilentInUnitThreeLeavesEverythingAsItWas)
{
    core.state.current = FullInstallation();
    core.state.FileModified = true;
    core.state.GatewayModified = false;
    const SystemConfiguration before = core.state.current;

    // C3.10 follows the master's requests (S0.01 and S0.02 are not written), units 1 and 2,
    // S3.03, S3.16 and channels 1..9 of unit 3, each with a word and a tag.
    const int failing = 6 + 2 * (2 + 2 * 64) + 2 + 2 * 9;
    gateway.answerLimit = failing;
    core.state.mode = AppMode::WriteGateway;
    ASSERT_EQ(transfer.Start(), 1);
    CopyConfiguration(core.state.gateway, core.state.current);
    // master, units 1 and 2, the unit step of unit 3 and channels 1..10, then the end step
    EXPECT_EQ(RunToEnd(), 1 + 2 * 65 + 1 + 10 + 1);

    // The failing request went out twice (both attempts) and nothing after it.
    ASSERT_EQ(gateway.requests.size(), static_cast<std::size_t>(failing + 2));
    EXPECT_EQ(gateway.requests.back().substr(0, 5), "C3.10");
    EXPECT_LE(gateway.line().waitedMs, 500) << "the failed command must not block longer than its time-outs";

    EXPECT_EQ(core.ui.progress.back(), 0);  // no percentage left standing
    ExpectFailedEnd(before, true);
    EXPECT_TRUE(core.state.FileModified);
    EXPECT_FALSE(core.state.GatewayModified);
}

// A stop (tarnctl on SIGINT or SIGTERM) ends a write after the exchange under way, with the
// message that the gateway holds a partly written configuration.
TEST_F(TransferTest, AStopEndsTheTransferAfterTheExchangeUnderWay)
{
    // The request whose exchange the stop arrives in, the outcome and the error boxes.
    const std::tuple<const char*, AppMode, std::string, TransferOutcome, std::vector<std::string>> cases[] = {
        {"write, in a channel step", AppMode::WriteGateway, "C2.07", TransferOutcome::Stopped, {GetText(398)}},
        {"write, after its last exchange", AppMode::WriteGateway, "T4.64", TransferOutcome::Succeeded, {}},
        {"read", AppMode::ReadGateway, "T1.01", TransferOutcome::Stopped, {}},
    };
    for (const auto& [what, mode, stopAt, outcome, errors] : cases) {
        SCOPED_TRACE(what);
        gateway.Reset();
        const auto answer = gateway.line().responder;
        gateway.line().responder = [&, at = stopAt](const testing::Bytes& written) {
            if (testing::ToText(written).rfind(at, 0) == 0) transfer.RequestStop();
            return answer(written);
        };
        core.ui = {};
        core.state.current = FullInstallation();
        const SystemConfiguration before = core.state.current;
        CopyConfiguration(core.state.gateway, core.state.current);
        Run(mode);
        EXPECT_EQ(transfer.LastOutcome(), outcome);
        // The exchange under way was answered once, and it was the last one.
        ASSERT_GE(gateway.requests.size(), 2u);
        EXPECT_EQ(gateway.requests.back().substr(0, 5), stopAt);
        EXPECT_NE(gateway.requests[gateway.requests.size() - 2].substr(0, 5), stopAt);
        EXPECT_EQ(Errors(), errors);
        EXPECT_TRUE(SameBytes(core.state.current, before));
    }
    // The next transfer starts without the old request.
    gateway.Reset();
    EXPECT_EQ(Run(AppMode::ReadGateway), TRANSFER_STEP_COUNT);
    EXPECT_EQ(transfer.LastOutcome(), TransferOutcome::Succeeded);
}

} // namespace
} // namespace tarn
