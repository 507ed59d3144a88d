#include "link/commands.h"
#include "link/link.h"
#include "support/fake_serial_device.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::FakeReply;
using testing::ToText;

constexpr std::uint32_t MAX32 = 0xFFFFFFFFu;

// ---- the pure checks -----------------------------------------------------------------------

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
        {"C1.05", "C1.06=2049", false, {}},       // another address
        {"C1.05", "C1.05:2049", false, {}},       // 6th character is not '='
        {"C1.05", "C1.05=abcd", true, {}},        // accepted; the value stays as it was
        {"S0.03", "S0.03=   42", true, 42u},
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
        {"C2.10=3", "C2.10=xxxx", 3, false},          // no number echoed
        {"S1.16=65516", "S1.16=65516", 65516, true},
        {"C1.01=-1", "C1.01=4294967295", MAX32, true},
        // The control word S0.05: a reply that orders after "S0.05=0000" is taken at once.
        {"S0.05=4096", "S0.05=4096", 4096, true},
        {"S0.05=4096", "S0.05=0001", 4096, true},
        {"S0.05=4096", "ZZZZZZZZZ", 4096, true},
        {"S0.05=4096", "S0.05=0000", 4096, false},    // equal: the echo check decides
        {"S0.05=0", "S0.05=0000", 0, true},
        {"S0.05=4096", "S0.04=4096", 4096, false},    // orders before: the echo check decides
        {"S1.05=4096", "S1.05=0001", 4096, false},    // other units are echo-checked
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
        {"T0.01", "T0.01=ABCDEFGHIJKLMNOPQR", "ABCDEFGHIJKLMNOP"},
        {"T0.01", "T0.01=ABCDEFGHIJ", "ABCDEFGHIJ"},       // 16 characters
        {"T0.01", "T0.01=ABCDEFGHI", std::nullopt},        // 15 characters
        {"T0.01", "T0.01=  LEAD  TAG     ", "  LEAD  TAG"},    // only trailing blanks go
        {"T0.01", "T0.02=ABCDEFGHIJKLMNOP", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.request) + " <- " + row.reply);
        EXPECT_EQ(CheckTagReply(row.request, row.reply), row.tag);
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
        {"S1.05=0000", 100, 0u},  // the lower bound is a figure
        {"S1.05=0100", 100, 100u},
        {"S1.05=0101", 100, std::nullopt},
        {"S1.05=4294967296", 0xFFFFFFFF, std::nullopt}, // clamped by "%u", still not the gateway's figure
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
            const auto it = answers.find(ToText(written));
            return it == answers.end() ? FakeReply::Silent() : FakeReply::Text(it->second + "\r");
        };
        EXPECT_EQ(OpenSerialLink(), 1);
    }
    ~CommandsTest() override { CloseSerialLink(); }

    testing::CoreFixture core;
    testing::FakeSerialFactory fake{core.devices};
    std::map<std::string, std::string> answers;  // request line with its CR -> reply line
};

TEST_F(CommandsTest, ReadsStoreTheValueOnlyFromAnAcceptedReply)
{
    answers = {{"S1.16\r", "S1.16=65516"}, {"C1.05\r", "C1.05="}, {"D1.01\r", "D1.01=zzzz"}};
    std::uint32_t value = 999;
    EXPECT_EQ(ReadSetting(1, 16, value), 1);
    EXPECT_EQ(value, 65516u);
    EXPECT_EQ(ReadChannelConfig(1, 5, value), 0);
    EXPECT_EQ(value, 65516u) << "a refused reply leaves the value";
    EXPECT_EQ(ReadData(1, 1, value), 1);
    EXPECT_EQ(value, 0u) << "a data reply without a number reads as 0";
}

} // namespace
} // namespace tarn
