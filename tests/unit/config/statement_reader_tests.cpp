#include "config/statement_reader.h"

#include "support/recording_ui.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tarn {
namespace {

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
        {"last without break", {"last without break"}},
        {full + "\nx", {full, "x"}},                          // exactly 299: one line
        {more + "\n", {std::string(299, 'b'), "b"}},
        {full + "\ry\n", {full, "\ry"}},                      // a lone CR stays for the cleaning to cut
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

} // namespace
} // namespace tarn
