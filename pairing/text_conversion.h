// The text-to-number conversions the pairing reads the grid and the matching
// list with, raising the platform's conversion messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pairing {

// Decimal integer: leading blanks, an optional sign, digits, nothing after;
// must fit 32 bits. Raises "'<text>' is not a valid integer value".
std::int32_t TextToInt(std::string_view text);
// The same, without raising.
std::optional<std::int32_t> ParseInt(std::string_view text);

// Decimal number in the locale format: leading and trailing blanks, an
// optional sign, digits with at most one `decimal_separator`, an optional
// exponent. Raises "'<text>' is not a valid floating point value".
double TextToFloat(std::string_view text, char decimal_separator);

}  // namespace pairing
