// Windows-1252 <-> UTF-8 at the display boundary: widgets, terminal output, PDF.
// Inside the program every text is single-byte Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

std::string Cp1252ToUtf8(std::string_view text);
// Characters that Windows-1252 cannot hold, and malformed UTF-8, become '?'.
std::string Utf8ToCp1252(std::string_view text);

// The Windows-1252 byte of a Unicode code point; -1 when the code page has none.
int Cp1252Byte(char32_t codePoint);
// Whether a quoted text of a configuration file can carry the character: a printable
// Windows-1252 character other than the double quote that ends the text.
bool FitsConfigurationText(char32_t codePoint);

} // namespace tarn
