#include "link/commands.h"
#include "link/link.h"
#include "support/fake_serial_device.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::FakeReply;
using testing::ToText;

constexpr std::uint32_t MAX32 = 0xFFFFFFFFu;

// ---- the pure checks -----------------------------------------------------------------------

TEST(ParseUnsignedLikeScanf, FollowsPercentU)
{
    struct Row {
        const char* text;
        std::optional<std::uint32_t> value;
    };
    const Row rows[] = {
        {"0", 0u},
        {"2049", 2049u},
        {"4294967295", MAX32},
        {"4294967296", MAX32},                 // beyond 32 bits: clamped
        {"99999999999999999999999", MAX32},
        {"000000000000000000000000042", 42u},  // many digits, no overflow
        {"-1", MAX32},                         // a sign wraps
        {"-4294967295", 1u},
        {"-4294967296", MAX32},
        {"+7", 7u},
        {" \t\n\v\f\r12", 12u},                // leading white space skipped
        {"12ab", 12u},                         // stops at the first other character
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+ 5", std::nullopt},
        {"abc", std::nullopt},
        {"\xB0" "5", std::nullopt},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseUnsignedLikeScanf(row.text), row.value) << '"' << row.text << '"';
}

TEST(CheckReadReply, LengthAddressEqualsAndValue)
{
    struct Row {
        const char* request;
        const char* reply;
        bool accepted;
        std::optional<std::uint32_t> value;
    };
    const Row rows[] = {
        {"C1.05", "C1.05=2049", true, 2049u},
        {"C1.05", "C1.05=123", true, 123u},       // 9 characters: the shortest accepted
        {"C1.05", "C1.05=12", false, {}},         // 8
        {"C1.05", "", false, {}},
        {"C1.05", "C1.06=2049", false, {}},       // another address
        {"C1.05", "c1.05=2049", false, {}},       // letter case counts
        {"C1.05", "C1.05:2049", false, {}},       // 6th character is not '='
        {"C1.05", "C1.05=abcd", true, {}},        // accepted; the value stays as it was
        {"S2.16", "S2.16=65516", true, 65516u},
        {"S0.03", "S0.03=   42", true, 42u},
        {"S0.03", "S0.03=0007 junk", true, 7u},
        {"C1", "C1=45678901", false, {}},         // a request shorter than the address part
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.request) + " <- " + row.reply);
        const ReadReplyCheck check = CheckReadReply(row.request, row.reply);
        EXPECT_EQ(check.accepted, row.accepted);
        if (row.accepted) {
            EXPECT_EQ(check.value, row.value);
        }
    }
}

TEST(CheckWriteReply, TheGatewayMustEchoTheValueWritten)
{
    struct Row {
        const char* request;
        const char* reply;
        std::uint32_t written;
        bool accepted;
    };
    const Row rows[] = {
        {"C2.10=3", "C2.10=0003", 3, true},
        {"C2.10=3", "C2.10=0002", 3, false},
        {"C2.10=3", "C2.10=3", 3, false},             // shorter than 9
        {"C2.10=3", "C2.11=0003", 3, false},
        {"C2.10=3", "C2.10:0003", 3, false},
        {"C2.10=3", "C2.10=xxxx", 3, false},          // no number echoed
        {"C2.10=0", "C2.10=xxxx", 0, false},
        {"S1.16=65516", "S1.16=65516", 65516, true},
        {"S1.16=65516", "S1.16=-20xx", 65516, false},
        {"C1.01=-1", "C1.01=4294967295", MAX32, true},
        // The control word S0.05: a reply that orders after "S0.05=0000" is taken at once.
        {"S0.05=4096", "S0.05=4096", 4096, true},
        {"S0.05=4096", "S0.05=0001", 4096, true},
        {"S0.05=4096", "S0.05=00000", 4096, true},
        {"S0.05=4096", "ZZZZZZZZZ", 4096, true},
        {"S0.05=4096", "S0.05=0000", 4096, false},    // equal: the echo check decides
        {"S0.05=0", "S0.05=0000", 0, true},
        {"S0.05=4096", "S0.04=4096", 4096, false},    // orders before: the echo check decides
        {"S0.05=256", "S0.05=000", 256, false},       // before, and shorter than 9
        {"S1.05=4096", "S1.05=0001", 4096, false},    // other units are echo-checked
        {"C0.05=4096", "S0.05=4096", 4096, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.request) + " <- " + row.reply);
        EXPECT_EQ(CheckWriteReply(row.request, row.reply, row.written), row.accepted);
    }
}

TEST(CheckTagReply, TagIsTheRestCutToSixteenWithoutTrailingBlanks)
{
    struct Row {
        const char* request;
        const char* reply;
        std::optional<std::string> tag;
    };
    const Row rows[] = {
        {"T0.01", "T0.01=PUMP 12         ", "PUMP 12"},
        {"T0.01", "T0.01=ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},
        {"T0.01", "T0.01=ABCDEFGHIJKLMNOPQR", "ABCDEFGHIJKLMNOP"},
        {"T0.01", "T0.01=ABCDEFGHIJ", "ABCDEFGHIJ"},       // 16 characters
        {"T0.01", "T0.01=ABCDEFGHI", std::nullopt},        // 15 characters
        {"T0.01", "T0.01=                ", ""},
        {"T0.01", "T0.01=  LEAD  TAG     ", "  LEAD  TAG"},    // only trailing blanks go
        {"T0.01", "T0.01=ABCDEFGHIJKLMNO       Z", "ABCDEFGHIJKLMNO"},
        {"T0.01", "T0.02=ABCDEFGHIJKLMNOP", std::nullopt},
        {"T3.12", "T3.12#ABCDEFGHIJKLMNOP", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.request) + " <- " + row.reply);
        EXPECT_EQ(CheckTagReply(row.request, row.reply), row.tag);
    }
}

TEST(Gateway16, SignedQuantitiesTravelAsTwosComplement)
{
    const std::pair<std::int32_t, std::uint32_t> rows[] = {
        {-20, 65516}, {0, 0}, {32767, 32767}, {-32768, 32768}, {-1, 65535}, {1000, 1000}};
    for (const auto& [value, wire] : rows) {
        EXPECT_EQ(ToGateway16(value), wire);
        EXPECT_EQ(FromGateway16(wire), value);
    }
}

// Beyond 16 bits the value is no 16-bit quantity; the conversion stays defined (it overflowed
// for values above 2147483647) and never leaves the 16-bit range.
TEST(Gateway16, ValuesBeyondSixteenBitsStayInRange)
{
    for (std::uint32_t wire : {65536u, 70000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        const std::int32_t value = FromGateway16(wire);
        EXPECT_GE(value, -32768) << wire;
        EXPECT_LE(value, 32767) << wire;
    }
}

// What the diagnostics show or act on: digits only, within the figure's range.
TEST(CheckFigureReply, OnlyWholeNumbersWithinTheRange)
{
    struct Row {
        const char* reply;
        std::uint32_t high;
        std::optional<std::uint32_t> figure;
    };
    const Row rows[] = {
        {"S1.05=0100", 100, 100u},
        {"S1.05=0101", 100, std::nullopt},
        {"S1.05=65535", 0xFFFF, 65535u},
        {"S1.05=4294967296", 0xFFFFFFFF, std::nullopt}, // clamped by "%u", still not the gateway's figure
        {"S1.05=abcd", 0xFFFF, std::nullopt},
        {"S1.05=0007 junk", 0xFFFF, std::nullopt},
        {"S1.05=00S1.05=0001", 0xFFFF, std::nullopt}, // a cut copy run into a whole one
    };
    for (const Row& row : rows) EXPECT_EQ(CheckFigureReply("S1.05", row.reply, 0, row.high), row.figure) << row.reply;
}

// ---- the operations over a fake port -------------------------------------------------------

class CommandsTest : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return core.session; }

    CommandsTest()
    {
        core.state.serialPort.name = "/dev/ttyFAKE0";
        fake.line->responder = [this](const testing::Bytes& written) {
            std::string request = ToText(written);
            if (!request.empty() && request.back() == '\r') request.pop_back();
            const auto it = answers.find(request);
            return it == answers.end() ? FakeReply::Silent() : FakeReply::Text(it->second + "\r");
        };
        EXPECT_EQ(OpenSerialLink(), 1);
    }
    ~CommandsTest() override { CloseSerialLink(); }

    std::vector<std::string> Sent() const
    {
        std::vector<std::string> out;
        for (std::string text : fake.line->WrittenTexts()) out.push_back(text.substr(0, text.size() - 1));
        return out;
    }

    testing::CoreFixture core;
    testing::FakeSerialFactory fake{core.devices};
    std::map<std::string, std::string> answers;  // request line -> reply line
};

TEST_F(CommandsTest, ArgumentsOutOfRangeFailWithoutPortActivity)
{
    std::uint32_t value = 77;
    std::string tag = "old";
    const std::vector<std::pair<const char*, std::function<int()>>> calls = {
        {"ReadSetting unit 5", [&] { return ReadSetting(5, 1, value); }},
        {"ReadSetting setting 17", [&] { return ReadSetting(0, 17, value); }},
        {"ReadSetting setting 0", [&] { return ReadSetting(0, 0, value); }},
        {"ReadSetting unit -1", [&] { return ReadSetting(-1, 1, value); }},
        {"WriteSetting unit 5", [&] { return WriteSetting(5, 1, 0); }},
        {"WriteSetting setting 17", [&] { return WriteSetting(1, 17, 0); }},
        {"ReadChannelConfig unit 0", [&] { return ReadChannelConfig(0, 1, value); }},
        {"ReadChannelConfig channel 65", [&] { return ReadChannelConfig(1, 65, value); }},
        {"WriteChannelConfig unit 5", [&] { return WriteChannelConfig(5, 1, 0); }},
        {"WriteChannelConfig channel 0", [&] { return WriteChannelConfig(1, 0, 0); }},
        {"ReadData unit 0", [&] { return ReadData(0, 1, value); }},
        {"ReadData index 65", [&] { return ReadData(1, 65, value); }},
        {"ReadTag unit 5", [&] { return ReadTag(5, 1, tag); }},
        {"ReadTag channel 65", [&] { return ReadTag(0, 65, tag); }},
        {"WriteTag channel 0", [&] { return WriteTag(0, 0, "X"); }},
        {"WriteTag unit 5", [&] { return WriteTag(5, 1, "X"); }},
    };
    const std::size_t before = fake.line->Activity();
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(call(), 0) << name;
        EXPECT_EQ(fake.line->Activity(), before) << name;
    }
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(tag, "") << "a refused tag read still empties the text";
}

TEST_F(CommandsTest, RequestsAreFormattedAsTheGatewayExpects)
{
    std::uint32_t value = 0;
    std::string tag;
    ReadChannelConfig(1, 5, value);
    WriteChannelConfig(1, 5, 2049);
    ReadChannelConfig(4, 64, value);
    ReadSetting(0, 3, value);
    WriteSetting(2, 16, ToGateway16(-20));
    WriteSetting(0, 1, MAX32);  // signed decimal
    WriteChannelConfig(3, 1, 0x80000000u);
    ReadTag(0, 1, tag);
    WriteTag(3, 12, "PUMP 12");
    WriteTag(1, 2, "");
    ReadData(4, 2, value);
    const std::vector<std::string> sent = Sent();
    // Silent gateway: every request went out twice.
    std::vector<std::string> unique;
    for (std::size_t i = 0; i < sent.size(); i += 2) {
        EXPECT_EQ(sent[i], sent[i + 1]);
        unique.push_back(sent[i]);
    }
    EXPECT_EQ(unique, (std::vector<std::string>{"C1.05", "C1.05=2049", "C4.64", "S0.03", "S2.16=65516", "S0.01=-1",
                                                "C3.01=-2147483648", "T0.01", "T3.12=PUMP 12", "T1.02=", "D4.02"}));
}

TEST_F(CommandsTest, ReadsStoreTheValueOnlyFromAnAcceptedReply)
{
    answers = {{"S1.16", "S1.16=65516"}, {"C1.05", "C1.05="}, {"S0.04", "S0.04=xxxx"}, {"D1.01", "D1.01=zzzz"}};
    struct Row {
        const char* name;
        std::function<int(std::uint32_t&)> call;
        int result;
        std::uint32_t value;  // starting from 999
    };
    const Row rows[] = {
        {"S1.16", [this](std::uint32_t& v) { return ReadSetting(1, 16, v); }, 1, 65516},
        {"C1.05 too short", [this](std::uint32_t& v) { return ReadChannelConfig(1, 5, v); }, 0, 999},
        {"S0.04 no number", [this](std::uint32_t& v) { return ReadSetting(0, 4, v); }, 1, 999},
        {"D1.01 no number", [this](std::uint32_t& v) { return ReadData(1, 1, v); }, 1, 0},
        {"S0.09 silent", [this](std::uint32_t& v) { return ReadSetting(0, 9, v); }, 0, 999},
    };
    for (const Row& row : rows) {
        std::uint32_t value = 999;
        EXPECT_EQ(row.call(value), row.result) << row.name;
        EXPECT_EQ(value, row.value) << row.name;
    }
    std::uint32_t cjc = 0;
    ASSERT_EQ(ReadSetting(1, 16, cjc), 1);
    EXPECT_EQ(FromGateway16(cjc), -20);
}

// Which replies count as an echo is CheckWriteReply's table; here, that both write operations use it.
TEST_F(CommandsTest, WritesSucceedOnlyOnTheirEcho)
{
    answers = {{"C2.10=3", "C2.10=0003"}, {"C2.11=3", "C2.11=0002"}, {"S1.16=65516", "S1.16=65516"}, {"S0.03=1", "S0.03=1"}};
    EXPECT_EQ(WriteChannelConfig(2, 10, 3), 1);
    EXPECT_EQ(WriteChannelConfig(2, 11, 3), 0);
    EXPECT_EQ(WriteSetting(1, 16, ToGateway16(-20)), 1);
    EXPECT_EQ(WriteSetting(0, 3, 1), 0);  // 7-character reply
    EXPECT_EQ(WriteSetting(0, 2, 1), 0);  // no reply
}

TEST_F(CommandsTest, TagsReadWithoutPaddingAndWriteOnAnyReply)
{
    answers = {{"T0.01", "T0.01=KX940 MAIN      "}, {"T1.01", "T1.01=SHORT"}, {"T3.12=PUMP 12", "?"}};
    std::string tag = "old";
    EXPECT_EQ(ReadTag(0, 1, tag), 1);
    EXPECT_EQ(tag, "KX940 MAIN");
    tag = "old";
    EXPECT_EQ(ReadTag(1, 1, tag), 0);
    EXPECT_EQ(tag, "");
    tag = "old";
    EXPECT_EQ(ReadTag(2, 1, tag), 0);  // silent
    EXPECT_EQ(tag, "");
    EXPECT_EQ(WriteTag(3, 12, "PUMP 12"), 1);
    EXPECT_EQ(WriteTag(3, 13, "PUMP 13"), 0);
}

} // namespace
} // namespace tarn
