#include "config/statement_reader.h"

#include "support/recording_ui.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarn {
namespace {

std::vector<std::string> Tokens(const std::string& line)
{
    std::vector<std::string> tokens;
    std::string token;
    std::size_t position = 0;
    for (int guard = 0; guard < 20; ++guard) {
        const std::size_t next = NextToken(line, position, token);
        EXPECT_LE(next, line.size());
        EXPECT_GE(next, position);
        if (token.empty()) break;
        tokens.push_back(token);
        position = next;
    }
    return tokens;
}

TEST(StatementReader, CleanLineTurnsBackspacesIntoBlanksAndEndsAtOtherControlBytes)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"KEY 1\r\n", "KEY 1"},
        {"KEY\t1", "KEY"},
        {"A\bB", "A B"},
        {std::string("A\0B", 3), "A"},
        {"\x1f" "ABC", ""},
        {"T\xB0 \xE0\x7f", "T\xB0 \xE0\x7f"},  // bytes from 127 up are ordinary
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string line = c.in;
        CleanLine(line);
        EXPECT_EQ(line, c.out) << c.in;
    }
}

TEST(StatementReader, TokensCommentsAndQuotes)
{
    const struct {
        std::string line;
        std::vector<std::string> tokens;
    } cases[] = {
        {"  SERIALPORT  3", {"SERIALPORT", "3"}},
        {"// comment", {}},
        {" // indented comment", {"//", "indented", "comment"}},  // "//" behind a blank is a token
        {"KEY 3 // com", {"KEY", "3", "//", "com"}},
        {"KEY 3//com", {"KEY", "3//com"}},
        {"KEY \"a b\"// rest", {"KEY", "\"a b\""}},           // comment right behind a closing quote
        {"KEY \"a b\" // rest", {"KEY", "\"a b\"", "//", "rest"}},
        {"KEY \"a\"b", {"KEY", "\"a\"", "b"}},
        {"KEY \"open to the end", {"KEY", "\"open to the end"}},
        {"KEY ab\"c d\"", {"KEY", "ab\"c", "d\""}},           // a quote inside a plain token is plain
        {"KEY \"\" \"\"", {"KEY", "\"\"", "\"\""}},
        {"KEY \"//x\"", {"KEY", "\"//x\""}},
        {"", {}},
        {"     ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Tokens(c.line), c.tokens) << c.line;

    std::string token = "stale";
    EXPECT_EQ(NextToken("abc", 10, token), 3u);
    EXPECT_EQ(token, "");
}

TEST(StatementReader, FindKeywordUpperCasesTheTokenAndMatchesExactly)
{
    const Keyword table[] = {{"FIRST", 7}, {"SECOND_KEY", 9}};
    const struct {
        std::string token;
        int position;
        std::string after;
    } cases[] = {
        {"first", 0, "FIRST"},
        {"Second_Key", 1, "SECOND_KEY"},
        {"SECOND", -1, "SECOND"},
        {"FIRSTX", -1, "FIRSTX"},
        {"first\xe0", -1, "FIRST\xe0"},
        {"", -1, ""},
    };
    for (const auto& c : cases) {
        std::string token = c.token;
        EXPECT_EQ(FindKeyword(table, token), c.position) << c.token;
        EXPECT_EQ(token, c.after);
    }
}

TEST(StatementReader, HexFields)
{
    const struct {
        std::string token;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"0x0", 0u},
        {"0X0c", 12u},
        {"0xabcDEF", 0xABCDEFu},
        {"0x000000000001", 1u},          // leading zeros do not overflow
        {"0x7FFFFFFF", 0x7FFFFFFFu},
        {"0x80000000", std::nullopt},
        {"0x1FFFFFFFF", std::nullopt},   // past 32 bits
        {"0x", std::nullopt},
        {"12", std::nullopt},
        {"00x1", std::nullopt},
        {"0x1g", std::nullopt},
        {"0x-1", std::nullopt},
        {"0x+1", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseHexField(c.token), c.value) << c.token;
}

TEST(StatementReader, QuotedTextsAndTags)
{
    const std::string q = "\"";
    const struct {
        std::string token;
        std::optional<std::string> text, tag;
    } cases[] = {
        {q + q, "", ""},
        {q + "abc" + q, "abc", "abc"},
        {q + " a b  " + q, " a b  ", " a b"},               // a tag loses its trailing blanks only
        {q + "   " + q, "   ", ""},
        {q + std::string(16, 'T') + q, std::string(16, 'T'), std::string(16, 'T')},
        {q + std::string(17, 'T') + q, std::string(17, 'T'), std::nullopt},
        {q + std::string(298, 'D') + q, std::string(298, 'D'), std::nullopt},
        {q + std::string(299, 'D') + q, std::nullopt, std::nullopt},
        {q, std::nullopt, std::nullopt},
        {q + "abc", std::nullopt, std::nullopt},
        {"abc" + q, std::nullopt, std::nullopt},
        {"abc", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseQuotedText(c.token), c.text) << c.token;
        EXPECT_EQ(ParseQuotedTag(c.token), c.tag) << c.token;
    }
}

TEST(StatementReader, ErrorTextsFollowTheCodeTableAndTheLanguage)
{
    testing::CoreFixture f;
    const struct {
        int code;
        std::string text;
    } cases[] = {
        {1, "Too may fields"},
        {5, "One or more field with wrong format"},
        {10, "Incorrect number of Expansions"},         // 382: the table is not in code order here
        {12, "Incorrect Channel number"},
        {0, "Undefined Error"},
        {13, "Undefined Error"},
        {-1, "Undefined Error"},
    };
    for (const auto& c : cases) EXPECT_EQ(StatementErrorText(c.code), c.text) << c.code;
    SetLanguage(LANGUAGE_ITALIAN);
    EXPECT_EQ(StatementErrorText(1), "Troppi campi");
}

std::vector<std::string> Pieces(const std::string& bytes, bool* failed = nullptr)
{
    std::istringstream in(bytes);
    StatementLineReader reader(in);
    std::vector<std::string> pieces;
    std::string line;
    for (;;) {
        const auto r = reader.Next(line);
        if (r != StatementLineReader::Result::Line) {
            if (failed) *failed = r == StatementLineReader::Result::Error;
            return pieces;
        }
        pieces.push_back(line);
    }
}

TEST(StatementReader, LinesComeInPiecesOfAtMost299Characters)
{
    const std::string full(299, 'a');
    const std::string more(300, 'b');
    const struct {
        std::string bytes;
        std::vector<std::string> pieces;
    } cases[] = {
        {"", {}},
        {"one\r\ntwo\n", {"one", "two"}},
        {"last without break", {"last without break"}},
        {"\n\r\n", {"", ""}},
        {"a\rb\r\n", {"a\rb"}},                              // a lone CR stays for the cleaning to cut
        {full + "\r\nx\n", {full, "x"}},                      // exactly 299: one line
        {full + "\nx", {full, "x"}},
        {more + "\n", {std::string(299, 'b'), "b"}},
        {std::string(598, 'c') + "\r\n", {std::string(299, 'c'), std::string(299, 'c')}},
        {full + "\ry\n", {full, "\ry"}},
    };
    for (const auto& c : cases) {
        bool failed = true;
        EXPECT_EQ(Pieces(c.bytes, &failed), c.pieces) << c.bytes.substr(0, 40);
        EXPECT_FALSE(failed);
    }
}

TEST(StatementReader, PiecesDoNotDependOnWhereTheReadBlocksEnd)
{
    // Lines of every length up to three pieces, with LF or CR LF, one after the other:
    // breaks and full pieces fall on every offset of the reader's blocks.
    std::string bytes;
    std::vector<std::string> expected;
    unsigned seed = 7;
    for (std::size_t length = 0; length <= 3 * 299 + 2; ++length) {
        std::string physical;
        for (std::size_t i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            physical.push_back("ab \r"[(seed >> 16) % 4]);
        }
        if (!physical.empty() && physical.back() == '\r') physical.back() = 'z';
        bytes += physical + (length % 2 ? "\r\n" : "\n");
        if (physical.empty()) expected.push_back("");
        for (std::size_t at = 0; at < physical.size(); at += 299) expected.push_back(physical.substr(at, 299));
    }
    ASSERT_GT(bytes.size(), 100000u);
    EXPECT_EQ(Pieces(bytes), expected);
}

TEST(StatementReader, AStreamThatFailsIsAnErrorNotAnEnd)
{
    testing::TempDir dir;
    std::ifstream folder(dir.path(), std::ios::binary);  // opens on Linux, every read fails
    if (!folder.is_open()) GTEST_SKIP() << "this system does not open folders as files";
    StatementLineReader reader(folder);
    std::string line;
    EXPECT_EQ(reader.Next(line), StatementLineReader::Result::Error);
}

} // namespace
} // namespace tarn
