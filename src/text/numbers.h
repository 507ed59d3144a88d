// Numbers as the files, reports, dialogs and printouts show them: printf's fixed-point
// format and scanf's "%f", always with a decimal point. The C library's own functions
// follow LC_NUMERIC, which a Qt application takes from the environment (a decimal comma
// under it_IT or de_DE).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// printf's "%[+][width].[precision]f" of value: blanks on the left up to width characters,
// and a '+' before a value without a minus when plus is set. precision 0..100.
std::string FormatFixed(double value, int precision, int width = 0, bool plus = false);

// What scanf's "%f" reads at the start of text: blanks skipped, an optional sign, a decimal
// number with an optional exponent, a hexadecimal one after "0x", "inf" or "nan". Nothing when
// no number starts there. Out of range gives infinity or 0, as strtod does.
std::optional<double> ParseDoubleLikeScanf(std::string_view text);

// Puts LC_NUMERIC back to "C" for the rest of the run, so that the C library's formatting and
// parsing, in code of ours or of a library, keep the decimal point. Call it right after
// creating the Q(Core)Application, which sets every category from the environment.
void KeepNumericLocaleC();

} // namespace tarn
