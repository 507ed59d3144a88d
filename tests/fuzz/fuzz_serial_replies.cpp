// The gateway reply checks over arbitrary requests and replies, with the contracts
// they promise checked, and the "%u" reader against the C library's for the values
// both define alike. Then the figure readers of the status control and the
// calibration over a scripted port that answers every request with its own address
// and the rest of the input as bytes (terminator or not): whatever they show is a
// figure within its range.
//
// Input: one byte n, then n bytes of request (at most 31), the rest is the reply.
#include "config/app_state.h"
#include "diag/calibration.h"
#include "diag/status_control.h"
#include "link/commands.h"
#include "link/link.h"
#include "session/session.h"
#include "require.h"
#include "support/fake_serial_device.h"

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

bool Figure(const std::string& text, long low, long high)
{
    if (text.size() < 2 || text.back() != ' ') return false;
    const std::string digits = text.substr(0, text.size() - 1);
    const std::size_t start = digits[0] == '-' ? 1 : 0;
    if (start == digits.size() || digits.size() > 7 || digits.find_first_not_of("0123456789", start) != std::string::npos)
        return false;
    const long value = std::stol(digits);
    return value >= low && value <= high;
}

// The readers of the diagnostics, every request answered with its address and tail.
void RunFigureReaders(const std::string& tail)
{
    using namespace tarn;
    SilentUserInterface ui;
    SerialDeviceFactory devices;
    testing::FakeSerialFactory port(devices);
    Session session(ui, devices);
    port.line->responder = [&tail](const testing::Bytes& written) {
        return testing::FakeReply::Text(testing::ToText(written).substr(0, 5) + tail);
    };
    session.serialPort.name = "/dev/fuzz";
    Require(!session.links.OpenSerial());

    StatusControl status(session.links);
    for (bool diagnostic : {false, true}) {
        if (!status.Start() || !status.SetDiagnosticMode(diagnostic) || !status.Tick()) break;
        for (int p = 0; p < 4; ++p)
            for (int line : {1, 2}) Require(Figure(status.LineFigureText(p, line), 0, diagnostic ? 65535 : 100));
    }

    Calibration calibration(session.links, 0);
    calibration.Start();
    const std::string zero = calibration.CoefficientText(calibration.Zero());
    Require(zero.empty() == (calibration.CommunicationFlag() == 0));
    if (!zero.empty()) Require(Figure(zero, -32768, 32767));
    calibration.Tick();
    if (!calibration.ReadingText().empty()) Require(Figure(calibration.ReadingText(), -32768, 32767));

    session.links.CloseSerial();
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

    // A figure is the reply's digits, all of them, within the range asked for.
    const std::optional<std::uint32_t> figure = CheckFigureReply(request, reply, 0, 0xFFFF);
    if (figure) Require(read.value == figure && reply.find_first_not_of("0123456789", 6) == std::string::npos);

    CompareWithScanf(reply);
    CompareWithScanf(request);
    if (reply.size() <= 60) RunFigureReaders(reply.size() > 5 ? reply.substr(5) : std::string());
    return 0;
}
