#include "link/commands.h"

#include "link/link.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

namespace tarn {

namespace {

constexpr std::size_t TAG_LENGTH = 16;

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

// "L%d.%02d", the address part of every request.
std::string Address(char letter, int unit, int number)
{
    char text[32];
    std::snprintf(text, sizeof text, "%c%d.%02d", letter, unit, number);
    return text;
}

// "L%d.%02d=%d": the value in signed decimal, as the gateway expects it.
std::string WriteRequest(char letter, int unit, int number, std::uint32_t value)
{
    return Address(letter, unit, number) + "=" + std::to_string(static_cast<std::int32_t>(value));
}

bool SamePrefix(std::string_view request, std::string_view reply, std::size_t length)
{
    return request.size() >= length && reply.size() >= length && request.substr(0, length) == reply.substr(0, length);
}

// strcmp order: bytes compared as unsigned char.
int CompareBytes(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool IsScanfSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int ReadNumber(Link& link, char letter, int unit, int number, std::uint32_t& value, bool zeroFirst)
{
    const std::string request = Address(letter, unit, number);
    const SerialReply exchanged = link.SerialExchange(request);
    if (!exchanged.ok()) return 0;
    const std::string& reply = exchanged.text;
    const ReadReplyCheck check = CheckReadReply(request, reply);
    if (!check.accepted) return 0;
    if (zeroFirst) value = 0;
    if (check.value) value = *check.value;
    return 1;
}

int ReadFigure(Link& link, char letter, int unit, int number, std::uint32_t low, std::uint32_t high, std::uint32_t& value)
{
    const std::string request = Address(letter, unit, number);
    const SerialReply exchanged = link.SerialExchange(request);
    if (!exchanged.ok()) return 0;
    const std::string& reply = exchanged.text;
    const std::optional<std::uint32_t> figure = CheckFigureReply(request, reply, low, high);
    if (!figure) return 0;
    value = *figure;
    return 1;
}

int WriteNumber(Link& link, char letter, int unit, int number, std::uint32_t value)
{
    const std::string request = WriteRequest(letter, unit, number, value);
    const SerialReply exchanged = link.SerialExchange(request);
    if (!exchanged.ok()) return 0;
    const std::string& reply = exchanged.text;
    return CheckWriteReply(request, reply, value) ? 1 : 0;
}

} // namespace

std::optional<std::uint32_t> ParseUnsignedLikeScanf(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsScanfSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    constexpr std::uint64_t max = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > max) {
            overflow = true;
            magnitude = max;  // keeps the arithmetic bounded while the digits run on
        }
    }
    if (overflow) return static_cast<std::uint32_t>(max);
    const auto result = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

ReadReplyCheck CheckReadReply(std::string_view request, std::string_view reply)
{
    ReadReplyCheck check;
    if (reply.size() < 9 || !SamePrefix(request, reply, 5) || reply[5] != '=') return check;
    check.accepted = true;
    check.value = ParseUnsignedLikeScanf(reply.substr(6));
    return check;
}

std::optional<std::uint32_t> CheckFigureReply(std::string_view request, std::string_view reply, std::uint32_t low,
                                              std::uint32_t high)
{
    if (!CheckReadReply(request, reply).accepted) return std::nullopt;
    // A sign, blanks or a tail after the digits are not the gateway's way of writing a figure:
    // such a reply is two replies run together or one hit by noise.
    const std::string_view digits = reply.substr(6);
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    std::uint64_t figure = 0;
    for (char c : digits) {
        figure = figure * 10 + static_cast<std::uint64_t>(c - '0');
        if (figure > high) return std::nullopt;  // also ends the digits before they overflow
    }
    if (figure < low) return std::nullopt;
    return static_cast<std::uint32_t>(figure);
}

bool CheckWriteReply(std::string_view request, std::string_view reply, std::uint32_t written)
{
    if (reply.size() < 9) return false;
    // The gateway's answer to a write of its control word S0.05 need not echo it: a reply that
    // orders after "S0.05=0000" (byte order) is taken at once; one equal to it or before it
    // goes on to the echo check.
    if (request.substr(0, 6) == "S0.05=" && CompareBytes(reply, "S0.05=0000") > 0) return true;
    if (!SamePrefix(request, reply, 6)) return false;
    const std::optional<std::uint32_t> echo = ParseUnsignedLikeScanf(reply.substr(6));
    return echo && *echo == written;
}

std::optional<std::string> CheckTagReply(std::string_view request, std::string_view reply)
{
    if (reply.size() < 16 || !SamePrefix(request, reply, 5) || reply[5] != '=') return std::nullopt;
    std::string tag(reply.substr(6, TAG_LENGTH));
    // The gateway pads tags with blanks; configuration files hold them without.
    tag.erase(tag.find_last_not_of(' ') + 1);
    return tag;
}

int ReadChannelConfig(Link& link, int unit, int channel, std::uint32_t& value)
{
    if (!InRange(unit, 1, 4) || !InRange(channel, 1, 64)) return 0;
    return ReadNumber(link, 'C', unit, channel, value, false);
}

int WriteChannelConfig(Link& link, int unit, int channel, std::uint32_t value)
{
    if (!InRange(unit, 1, 4) || !InRange(channel, 1, 64)) return 0;
    return WriteNumber(link, 'C', unit, channel, value);
}

int ReadSetting(Link& link, int unit, int setting, std::uint32_t& value)
{
    if (!InRange(unit, 0, 4) || !InRange(setting, 1, 16)) return 0;
    return ReadNumber(link, 'S', unit, setting, value, false);
}

int WriteSetting(Link& link, int unit, int setting, std::uint32_t value)
{
    if (!InRange(unit, 0, 4) || !InRange(setting, 1, 16)) return 0;
    return WriteNumber(link, 'S', unit, setting, value);
}

int ReadTag(Link& link, int unit, int channel, std::string& tag)
{
    tag.clear();
    if (!InRange(unit, 0, 4) || !InRange(channel, 1, 64)) return 0;
    const std::string request = Address('T', unit, channel);
    const SerialReply exchanged = link.SerialExchange(request);
    if (!exchanged.ok()) return 0;
    const std::string& reply = exchanged.text;
    std::optional<std::string> read = CheckTagReply(request, reply);
    if (!read) return 0;
    tag = std::move(*read);
    return 1;
}

int WriteTag(Link& link, int unit, int channel, const std::string& tag)
{
    if (!InRange(unit, 0, 4) || !InRange(channel, 1, 64)) return 0;
    return link.SerialExchange(Address('T', unit, channel) + "=" + tag).ok() ? 1 : 0;
}

int ReadData(Link& link, int unit, int index, std::uint32_t& value)
{
    if (!InRange(unit, 1, 4) || !InRange(index, 1, 64)) return 0;
    return ReadNumber(link, 'D', unit, index, value, true);
}

int ReadSettingWithin(Link& link, int unit, int setting, std::uint32_t low, std::uint32_t high, std::uint32_t& value)
{
    if (!InRange(unit, 0, 4) || !InRange(setting, 1, 16)) return 0;
    return ReadFigure(link, 'S', unit, setting, low, high, value);
}

int ReadChannelConfigWithin(Link& link, int unit, int channel, std::uint32_t low, std::uint32_t high, std::uint32_t& value)
{
    if (!InRange(unit, 1, 4) || !InRange(channel, 1, 64)) return 0;
    return ReadFigure(link, 'C', unit, channel, low, high, value);
}

int ReadDataWithin(Link& link, int unit, int index, std::uint32_t low, std::uint32_t high, std::uint32_t& value)
{
    if (!InRange(unit, 1, 4) || !InRange(index, 1, 64)) return 0;
    return ReadFigure(link, 'D', unit, index, low, high, value);
}

} // namespace tarn
