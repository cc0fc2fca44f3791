// Numbers as text in the value layer: parsing of integers and floats
// independent of the locale, and the general float and currency formats
// with the locale's decimal separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvorin {

// An optional sign and decimal digits, nothing else; false when the value
// does not fit 32 (or 64) bits.
bool ParseInt32Text(std::string_view text, int32_t* value);
bool ParseInt64Text(std::string_view text, int64_t* value);
// Digits with an optional sign, point and exponent ("1.5", "-2e10", ".5");
// "nan", "inf" and hexadecimal forms are refused, so is anything outside
// the range of long double.
bool ParseFloatText(std::string_view text, long double* value);
// A decimal with the given separator, at most four decimals kept (rounded).
bool ParseCurrencyText(std::string_view text, char decimal_separator, double* value);

// General format: up to `precision` significant digits, trailing zeros
// dropped, scientific ("1,5E20", "1E-7") when the exponent is below -5 or at
// least the precision; "NAN", "INF", "-INF" for the special values.
std::string FormatFloatGeneral(long double value, char decimal_separator, int precision = 15);
// Up to four decimals, trailing zeros dropped.
std::string FormatCurrencyText(double value, char decimal_separator);

}  // namespace kelvorin
