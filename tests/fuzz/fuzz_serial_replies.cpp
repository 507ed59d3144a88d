// The gateway reply checks over arbitrary requests and replies, with the contracts
// they promise checked, and the "%u" reader against the C library's for the values
// both define alike.
//
// Input: one byte n, then n bytes of request (at most 31), the rest is the reply.
#include "link/commands.h"
#include "require.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// Where the C library and ours must agree: a magnitude within 32 bits.
void CompareWithScanf(const std::string& text)
{
    const std::optional<std::uint32_t> ours = tarn::ParseUnsignedLikeScanf(text);
    const std::string terminated = text.substr(0, text.find('\0'));
    if (terminated.size() != text.size()) return;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i + digits < text.size() && Digit(text[i + digits])) ++digits;
    if (digits == 0) {
        Require(!ours);
        return;
    }
    std::size_t start = i;
    while (start < i + digits - 1 && text[start] == '0') ++start;
    if (i + digits - start > 10) return;  // beyond 32 bits the libraries differ by design
    errno = 0;
    const unsigned long long magnitude = std::strtoull(std::string(text, start, i + digits - start).c_str(), nullptr, 10);
    if (magnitude > 0xFFFFFFFFull) return;
    unsigned int theirs = 0;
    Require(std::sscanf(terminated.c_str(), "%u", &theirs) == 1);
    Require(ours && *ours == theirs);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarn;
    if (size == 0) return 0;
    const std::size_t n = std::min<std::size_t>(data[0] & 0x1F, size - 1);
    const std::string request(reinterpret_cast<const char*>(data + 1), n);
    const std::string reply(reinterpret_cast<const char*>(data + 1 + n), size - 1 - n);

    const ReadReplyCheck read = CheckReadReply(request, reply);
    if (read.accepted) {
        Require(reply.size() >= 9 && reply[5] == '=' && reply.compare(0, 5, request, 0, 5) == 0);
        Require(read.value == ParseUnsignedLikeScanf(std::string_view(reply).substr(6)));
    }

    const std::optional<std::uint32_t> echoed = ParseUnsignedLikeScanf(reply.size() > 6 ? reply.substr(6) : "");
    const std::uint32_t written = echoed.value_or(0);
    const bool write = CheckWriteReply(request, reply, written);
    if (write && request.rfind("S0.05=", 0) != 0) {
        Require(reply.size() >= 9 && request.size() >= 6 && reply.compare(0, 6, request, 0, 6) == 0);
        Require(echoed && *echoed == written);
    }
    if (write && !echoed) Require(request.rfind("S0.05=", 0) == 0);

    const std::optional<std::string> tag = CheckTagReply(request, reply);
    if (tag) {
        Require(reply.size() >= 16 && reply[5] == '=' && reply.compare(0, 5, request, 0, 5) == 0);
        Require(tag->size() <= 16 && (tag->empty() || tag->back() != ' '));
        Require(reply.compare(6, tag->size(), *tag) == 0);
    }

    CompareWithScanf(reply);
    CompareWithScanf(request);
    return 0;
}
