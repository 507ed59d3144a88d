// The line-oriented statement syntax shared by the Settings file and the
// configuration files: one statement a line, a keyword and blank-separated
// fields, "//" comments where a token would start, quoted texts and tags, and
// hexadecimal numbers with the "0x" prefix.
#pragma once

#include "text/user_interface.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarn {

// Longest line the reader hands out; a longer physical line comes in pieces of this size.
inline constexpr std::size_t STATEMENT_LINE_LENGTH = 299;
// Most bytes a statement file may hold (the largest real file is under 40 KB). A larger input,
// or one holding a NUL byte, is no statement file: its read fails before any line, so that
// an endless source such as a device of zeros ends at once.
inline constexpr std::size_t STATEMENT_FILE_LIMIT = std::size_t{4} << 20;
// Longest quoted text (300-character token minus its quotes) and quoted tag.
inline constexpr std::size_t QUOTED_TEXT_LENGTH = 298;
inline constexpr std::size_t QUOTED_TAG_LENGTH = 16;

// Error codes of the statement reader; the texts are 372..384 of the text table.
enum StatementErrorCode : int {
    STATEMENT_TOO_MANY_FIELDS = 1,
    STATEMENT_FIELD_MISSING = 2,
    STATEMENT_BAD_NAME = 3,
    STATEMENT_BAD_VALUE = 4,
    STATEMENT_BAD_FORMAT = 5,
    STATEMENT_BAD_REPEATER = 6,
    STATEMENT_BAD_REPEATER_MATRIX = 7,
    STATEMENT_BAD_UNIT = 8,
    STATEMENT_BAD_UNIT_TYPE = 9,
    STATEMENT_BAD_EXPANSIONS = 10,
    STATEMENT_BAD_CJC = 11,
    STATEMENT_BAD_CHANNEL = 12,
};

struct Keyword {
    std::string_view name;  // upper case, as the lookup compares it
    int id;                 // what the statement handler switches on
};

// How a read of a statement file ended. Statements before the fault stay applied.
struct ReadFault {
    enum Kind { None, Open, Read, Statement };
    Kind kind = None;
    int line = 0;           // 1-based line (piece) number of a statement fault
    int code = 0;           // StatementErrorCode of a statement fault
    std::string statement;  // the cleaned line of a statement fault

    bool ok() const { return kind == None; }
};

// Backspaces become blanks; the line ends at the first other byte below 32.
void CleanLine(std::string& line);

// Takes the token that starts at position into token and returns the position
// behind it. A "//" exactly at position is a comment: the token is empty and the
// position moves to the end. Only then are blanks skipped. A token that starts
// with a double quote runs to the next one, both quotes included (to the end of
// the line when none follows); any other token runs to the next blank.
std::size_t NextToken(std::string_view line, std::size_t position, std::string& token);

// Upper-cases token in place and returns its position in table, -1 when absent.
int FindKeyword(std::span<const Keyword> table, std::string& token);

// "0x" or "0X" and one or more hexadecimal digits, value below 0x80000000.
std::optional<std::uint32_t> ParseHexField(std::string_view token);
// A token of 2..300 characters between double quotes; the text between them.
std::optional<std::string> ParseQuotedText(std::string_view token);
// A token of 2..18 characters between double quotes; the text between them
// without its trailing blanks.
std::optional<std::string> ParseQuotedTag(std::string_view token);

// The text of an error code in the current language ("Undefined Error" for unknown codes).
const std::string& StatementErrorText(int code);
// The message that names file, line, statement and error type.
std::string StatementErrorMessage(const std::string& fileName, int line, const std::string& statement, int code);
// Shows that message in an error box.
void ReportStatementError(UserInterface& ui, const std::string& fileName, int line, const std::string& statement, int code);

// Splits a stream into statement lines. A line break is LF or CR LF; a physical
// line longer than STATEMENT_LINE_LENGTH is handed out in pieces of that length,
// each a line of its own (a break right behind a full piece ends that piece).
// The whole stream is read at the first line, and refused (Error) when it fails, holds a NUL
// byte or runs past STATEMENT_FILE_LIMIT: no line of such a stream is handed out.
class StatementLineReader {
public:
    enum class Result { Line, End, Error };

    // The stream belongs to the reader until the last line.
    explicit StatementLineReader(std::istream& in) : in_(in) {}
    // Line: line holds the next line without its break. End: nothing more.
    // Error: the stream failed or is no statement file.
    Result Next(std::string& line);

private:
    void load();
    bool available(std::size_t count) const { return buffer_.size() - position_ >= count; }

    std::istream& in_;
    std::string buffer_;
    std::size_t position_ = 0;
    bool loaded_ = false;
    bool failed_ = false;
};

// The fields of one statement: the keyword token and the tokens behind it,
// empty where the line has fewer.
struct StatementTokens {
    std::string keyword;
    std::string fields[5];
};

// Takes the keyword and up to fieldCount (at most 5) tokens of a cleaned line.
StatementTokens SplitStatement(std::string_view cleanedLine, int fieldCount);

// Reads a statement file line by line: cleans each line, skips those without a keyword and
// hands the others to handle(tokens), which returns 0 or the error code that ends the read.
template <typename Handler>
ReadFault ReadStatements(std::istream& in, int fieldCount, Handler handle)
{
    StatementLineReader reader(in);
    std::string line;
    int lineNumber = 0;
    for (;;) {
        const auto result = reader.Next(line);
        if (result == StatementLineReader::Result::End) return {};
        if (result == StatementLineReader::Result::Error) return {ReadFault::Read, lineNumber, 0, {}};
        ++lineNumber;
        CleanLine(line);
        StatementTokens tokens = SplitStatement(line, fieldCount);
        if (tokens.keyword.empty()) continue;
        if (const int code = handle(tokens)) return {ReadFault::Statement, lineNumber, code, line};
    }
}

} // namespace tarn
