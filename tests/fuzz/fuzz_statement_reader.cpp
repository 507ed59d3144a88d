// One line through the statement reader: cleaning, every token, the keyword
// lookups and the three field parsers, with the contracts they promise checked.
#include "config/config_file.h"
#include "config/settings_file.h"
#include "config/statement_reader.h"
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarn;
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The line reader never hands out more than a statement line.
    {
        std::istringstream in(bytes);
        StatementLineReader reader(in);
        std::string piece;
        std::size_t total = 0;
        while (reader.Next(piece) == StatementLineReader::Result::Line) {
            Require(piece.size() <= STATEMENT_LINE_LENGTH);
            total += piece.size();
        }
        Require(total <= bytes.size());
    }

    std::string line = bytes;
    CleanLine(line);
    Require(line.size() <= bytes.size());
    for (char c : line) Require(static_cast<unsigned char>(c) >= 32);

    std::string token;
    std::size_t position = 0;
    for (int i = 0; i < 400; ++i) {
        const std::size_t next = NextToken(line, position, token);
        Require(next <= line.size() && next >= position);
        if (token.empty()) break;
        Require(token.find(' ') == std::string::npos || token.front() == '"');

        if (const auto value = ParseHexField(token)) Require(*value < 0x80000000u);
        if (const auto text = ParseQuotedText(token)) Require(text->size() <= QUOTED_TEXT_LENGTH);
        if (const auto tag = ParseQuotedTag(token)) {
            Require(tag->size() <= QUOTED_TAG_LENGTH);
            Require(tag->empty() || tag->back() != ' ');
        }
        std::string upper = token;
        const int k = FindKeyword(ConfigurationKeywords(), upper);
        Require(k < 0 || ConfigurationKeywords()[static_cast<std::size_t>(k)].name == upper);
        upper = token;
        const int s = FindKeyword(SettingsKeywords(), upper);
        Require(s < 0 || SettingsKeywords()[static_cast<std::size_t>(s)].name == upper);
        position = next;
    }
    return 0;
}
