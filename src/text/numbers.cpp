#include "text/numbers.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <system_error>

namespace tarn {

namespace {

bool IsScanfSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

} // namespace

std::string FormatFixed(double value, int precision, int width, bool plus)
{
    precision = std::clamp(precision, 0, 100);
    // The largest double has 309 digits before the point.
    char buffer[320 + 100];
    // With a precision, to_chars rounds exactly as printf does in the "C" locale.
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    std::string text(buffer, r.ec == std::errc() ? r.ptr : buffer);
    if (plus && (text.empty() || text[0] != '-')) text.insert(text.begin(), '+');
    if (width > 0 && text.size() < static_cast<std::size_t>(width))
        text.insert(text.begin(), static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::optional<double> ParseDoubleLikeScanf(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsScanfSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // from_chars takes a minus of its own; scanf takes one sign only.
    if (i >= text.size() || text[i] == '+' || text[i] == '-') return std::nullopt;

    std::chars_format format = std::chars_format::general;
    if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        (IsHexDigit(text[i + 2]) || text[i + 2] == '.')) {
        format = std::chars_format::hex;
        i += 2;
    }
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    double value = 0;
    const std::from_chars_result r = std::from_chars(first, last, value, format);
    if (r.ec == std::errc::invalid_argument) return std::nullopt;
    if (r.ec == std::errc::result_out_of_range) {
        // Too small when the exponent is negative or, without one, the digits before the point
        // are all zeros.
        const std::string_view number(first, static_cast<std::size_t>(r.ptr - first));
        const std::size_t exponent = number.find_first_of(format == std::chars_format::hex ? "pP" : "eE");
        const bool tiny = exponent != std::string_view::npos
                              ? exponent + 1 < number.size() && number[exponent + 1] == '-'
                              : number.substr(0, number.find('.')).find_first_not_of('0') == std::string_view::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

void KeepNumericLocaleC() { std::setlocale(LC_NUMERIC, "C"); }

} // namespace tarn
