#include "config/statement_reader.h"

#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <cstring>

namespace tarn {

void CleanLine(std::string& line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == 8) {
            line[i] = ' ';
        } else if (c < 32) {
            line.resize(i);
            return;
        }
    }
}

std::size_t NextToken(std::string_view line, std::size_t position, std::string& token)
{
    token.clear();
    if (position >= line.size()) return line.size();
    // The comment test comes before the blanks are skipped: "//" behind a blank is a token.
    if (line.substr(position, 2) == "//") return line.size();
    while (position < line.size() && line[position] == ' ') ++position;
    if (position >= line.size()) return line.size();

    std::size_t end;
    if (line[position] == '"') {
        const std::size_t close = line.find('"', position + 1);
        end = close == std::string_view::npos ? line.size() : close + 1;
    } else {
        const std::size_t blank = line.find(' ', position);
        end = blank == std::string_view::npos ? line.size() : blank;
    }
    token.assign(line.substr(position, end - position));
    return end;
}

int FindKeyword(std::span<const Keyword> table, std::string& token)
{
    // Only a..z change: the keywords are ASCII, and bytes from 128 up are left alone.
    for (char& c : token)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].name == token) return static_cast<int>(i);
    return -1;
}

std::optional<std::uint32_t> ParseHexField(std::string_view token)
{
    if (token.size() < 3 || token[0] != '0' || (token[1] != 'x' && token[1] != 'X')) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < token.size(); ++i) {
        const char c = token[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return std::nullopt;
        // Saturate: anything past 32 bits is as much a failure as 0x80000000 itself.
        value = value * 16 + digit;
        if (value > 0xFFFFFFFFu) value = 0x100000000u;
    }
    if (value >= 0x80000000u) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

namespace {

std::optional<std::string_view> quotedContent(std::string_view token, std::size_t maxTokenLength)
{
    if (token.size() < 2 || token.size() > maxTokenLength) return std::nullopt;
    if (token.front() != '"' || token.back() != '"') return std::nullopt;
    return token.substr(1, token.size() - 2);
}

} // namespace

std::optional<std::string> ParseQuotedText(std::string_view token)
{
    const auto content = quotedContent(token, QUOTED_TEXT_LENGTH + 2);
    if (!content) return std::nullopt;
    return std::string(*content);
}

std::optional<std::string> ParseQuotedTag(std::string_view token)
{
    const auto content = quotedContent(token, QUOTED_TAG_LENGTH + 2);
    if (!content) return std::nullopt;
    std::string_view tag = *content;
    while (!tag.empty() && tag.back() == ' ') tag.remove_suffix(1);
    return std::string(tag);
}

const std::string& StatementErrorText(int code)
{
    // Codes 10 and 11 are not in id order in the table: expansions 382, cold junction 381.
    static constexpr int kTextIds[] = {0, TEXT_STATEMENT_TOO_MANY_FIELDS, TEXT_STATEMENT_FIELD_MISSING, TEXT_STATEMENT_WRONG_NAME, TEXT_STATEMENT_WRONG_VALUE, TEXT_STATEMENT_WRONG_FORMAT, TEXT_STATEMENT_WRONG_REPEATER, TEXT_STATEMENT_WRONG_MATRIX, TEXT_STATEMENT_WRONG_SLAVE, TEXT_STATEMENT_WRONG_SLAVE_TYPE, TEXT_STATEMENT_WRONG_EXPANSIONS, TEXT_STATEMENT_WRONG_COLD_JUNCTION, TEXT_STATEMENT_WRONG_CHANNEL};
    constexpr int kCount = static_cast<int>(sizeof kTextIds / sizeof kTextIds[0]);
    if (code >= 1 && code < kCount) return GetText(kTextIds[code]);
    return GetText(TEXT_STATEMENT_UNDEFINED_ERROR);
}

std::string StatementErrorMessage(const std::string& fileName, int line, const std::string& statement, int code)
{
    // "%s :\t%s\n%s:\t%d\n%s:\t%s\n\n%s:\t%s\n\n"
    std::string m;
    m += GetText(TEXT_STATEMENT_FILE_NAME) + " :\t" + fileName + "\n";
    m += GetText(TEXT_STATEMENT_LINE) + ":\t" + std::to_string(line) + "\n";
    m += GetText(TEXT_STATEMENT) + ":\t" + statement + "\n\n";
    m += GetText(TEXT_STATEMENT_ERROR_TYPE) + ":\t" + StatementErrorText(code) + "\n\n";
    return m;
}

void ReportStatementError(UserInterface& ui, const std::string& fileName, int line, const std::string& statement, int code)
{
    ShowErrorBox(ui, StatementErrorMessage(fileName, line, statement, code));
}

void StatementLineReader::load()
{
    loaded_ = true;
    std::streambuf* source = in_.rdbuf();
    if (!source || !in_.good()) {
        failed_ = !source || in_.bad();
        return;
    }
    constexpr std::size_t kBlock = 65536;
    for (;;) {
        const std::size_t kept = buffer_.size();
        buffer_.resize(kept + kBlock);
        std::streamsize got = 0;
        try {
            got = source->sgetn(buffer_.data() + kept, static_cast<std::streamsize>(kBlock));
        } catch (...) {
            // A file buffer reports a failed read(2) by throwing.
            failed_ = true;
        }
        const std::size_t added = static_cast<std::size_t>(got > 0 ? got : 0);
        buffer_.resize(kept + added);
        // Checked block by block, so that an endless source ends the read at its first block.
        if (!failed_ && (buffer_.size() > STATEMENT_FILE_LIMIT || std::memchr(buffer_.data() + kept, '\0', added)))
            failed_ = true;
        if (failed_) {
            buffer_.clear();
            in_.setstate(std::ios_base::badbit);
            return;
        }
        if (got <= 0) {
            in_.setstate(std::ios_base::eofbit);
            return;
        }
    }
}

StatementLineReader::Result StatementLineReader::Next(std::string& line)
{
    line.clear();
    bool sawAny = false;
    if (!loaded_) load();
    if (failed_) return Result::Error;
    for (;;) {
        if (!available(1)) return sawAny ? Result::Line : Result::End;
        sawAny = true;
        const char* start = buffer_.data() + position_;
        const std::size_t room = STATEMENT_LINE_LENGTH - line.size();
        const std::size_t left = buffer_.size() - position_;
        const std::size_t span = room < left ? room : left;
        if (const void* found = std::memchr(start, '\n', span)) {
            const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(found) - start);
            line.append(start, length);
            position_ += length + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back(); // CR LF
            return Result::Line;
        }
        line.append(start, span);
        position_ += span;
        if (line.size() < STATEMENT_LINE_LENGTH) continue;

        // A full piece. A break right behind it belongs to it, not to an empty piece.
        if (available(1) && buffer_[position_] == '\n') {
            ++position_;
            if (line.back() == '\r') line.pop_back(); // its CR LF was split by the limit
        } else if (available(2) && buffer_[position_] == '\r' && buffer_[position_ + 1] == '\n') {
            position_ += 2;
        }
        return Result::Line;
    }
}

StatementTokens SplitStatement(std::string_view cleanedLine, int fieldCount)
{
    StatementTokens t;
    std::size_t position = NextToken(cleanedLine, 0, t.keyword);
    const int count = fieldCount < 0 ? 0 : (fieldCount > 5 ? 5 : fieldCount);
    for (int i = 0; i < count; ++i) position = NextToken(cleanedLine, position, t.fields[i]);
    return t;
}

} // namespace tarn
