// Decimal conversions of cell and list texts.
#include "pairing/text_conversion.h"

#include <charconv>
#include <string>

#include "pairing/pairing_error.h"

namespace pairing {
namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::optional<double> ParseFloat(std::string_view text, char decimal_separator) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  // Rebuild the number in the form from_chars reads: '.' as the point, no '+'.
  std::string number;
  std::size_t i = begin;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') number.push_back('-');
    ++i;
  }
  int digits = 0;
  for (; i < end && IsDigit(text[i]); ++i, ++digits) number.push_back(text[i]);
  if (i < end && text[i] == decimal_separator) {
    number.push_back('.');
    for (++i; i < end && IsDigit(text[i]); ++i, ++digits) number.push_back(text[i]);
  }
  if (digits == 0) return std::nullopt;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    number.push_back('e');
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) number.push_back(text[i++]);
    int exponent_digits = 0;
    for (; i < end && IsDigit(text[i]); ++i, ++exponent_digits) number.push_back(text[i]);
    if (exponent_digits == 0) return std::nullopt;
  }
  if (i != end) return std::nullopt;
  double value = 0;
  auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  // A number beyond the double range is refused, as the platform's conversion does.
  if (ec != std::errc() || ptr != number.data() + number.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::int32_t> ParseInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{1} << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t TextToInt(std::string_view text) {
  std::optional<std::int32_t> value = ParseInt(text);
  if (!value) ThrowInvalidInteger(text);
  return *value;
}

double TextToFloat(std::string_view text, char decimal_separator) {
  std::optional<double> value = ParseFloat(text, decimal_separator);
  if (!value) ThrowInvalidFloat(text);
  return *value;
}

}  // namespace pairing
