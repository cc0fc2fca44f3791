// The system's 8-bit code page (Windows-1250, Central European) in which the
// engine keeps its 8-bit strings, and its conversion to and from UTF-16.
// Every byte has a code point (the five unassigned bytes map to the C1
// controls of the same number), so 8-bit text survives a round trip.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The UTF-16 code unit of one 8-bit character.
char16_t AnsiCharToWide(unsigned char c);
// The 8-bit character of one code unit; false (and '?') when it has none.
bool WideCharToAnsi(char16_t c, char* out);

std::u16string AnsiToWide(std::string_view text);
// The same into a buffer that is reused.
void AnsiToWide(std::string_view text, std::u16string* wide);
// Characters without an 8-bit form become '?'.
std::string WideToAnsi(std::u16string_view text);

// UTF-8 bridges for the user interface and for tests.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

}  // namespace platform
