// Number text of the value layer (std::from_chars and std::to_chars, so the
// process's C locale never changes a result).
#include "db/tables/values/value_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kelvorin {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

template <typename T>
bool ParseSigned(std::string_view text, T* value) {
  if (text.empty()) return false;
  size_t start = text[0] == '+' || text[0] == '-' ? 1 : 0;
  if (start == text.size()) return false;
  for (size_t i = start; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
  }
  // from_chars accepts '-' but not '+'.
  std::string_view digits = text[0] == '+' ? text.substr(1) : text;
  T v = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (ec != std::errc() || end != digits.data() + digits.size()) return false;
  *value = v;
  return true;
}

// Checks the shape [sign] digits [. digits] [e [sign] digits] with at least
// one mantissa digit.
bool IsPlainDecimal(std::string_view text, char separator, bool allow_exponent) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == separator) {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (allow_exponent && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponent_digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == text.size();
}

std::string StripFractionZeros(std::string text) {
  size_t point = text.find('.');
  if (point == std::string::npos) return text;
  size_t last = text.find_last_not_of('0');
  if (last == point) last = point - 1;
  text.erase(last + 1);
  return text;
}

}  // namespace

bool ParseInt32Text(std::string_view text, int32_t* value) { return ParseSigned(text, value); }
bool ParseInt64Text(std::string_view text, int64_t* value) { return ParseSigned(text, value); }

bool ParseFloatText(std::string_view text, long double* value) {
  if (!IsPlainDecimal(text, '.', true)) return false;
  std::string_view body = text[0] == '+' ? text.substr(1) : text;
  long double v = 0;
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v);
  if (ec != std::errc() || end != body.data() + body.size() || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ParseCurrencyText(std::string_view text, char decimal_separator, double* value) {
  if (!IsPlainDecimal(text, decimal_separator, false)) return false;
  std::string body(text[0] == '+' ? text.substr(1) : text);
  for (char& c : body) {
    if (c == decimal_separator) c = '.';
  }
  double v = 0;
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v);
  if (ec != std::errc() || end != body.data() + body.size() || !std::isfinite(v)) return false;
  *value = std::nearbyint(v * 10000.0) / 10000.0;
  return std::isfinite(*value);
}

std::string FormatFloatGeneral(long double value, char decimal_separator, int precision) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // d.ddd...e+XX with `precision` significant digits.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::scientific, precision - 1);
  if (ec != std::errc()) return "0";
  std::string sci(buffer, end);
  size_t e = sci.find('e');
  int exponent = std::stoi(sci.substr(e + 1));
  bool negative = sci[0] == '-';
  std::string digits;
  for (size_t i = negative ? 1 : 0; i < e; ++i) {
    if (IsDigit(sci[i])) digits += sci[i];
  }
  size_t last = digits.find_last_not_of('0');
  digits.erase(last + 1);
  std::string out = negative ? "-" : "";
  if (exponent >= precision || exponent < -5) {
    out += digits[0];
    if (digits.size() > 1) {
      out += decimal_separator;
      out.append(digits, 1);
    }
    out += 'E';
    out += std::to_string(exponent);
    return out;
  }
  if (exponent < 0) {
    out += '0';
    out += decimal_separator;
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
    return out;
  }
  size_t whole = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= whole) {
    out += digits;
    out.append(whole - digits.size(), '0');
  } else {
    out.append(digits, 0, whole);
    out += decimal_separator;
    out.append(digits, whole);
  }
  return out;
}

std::string FormatCurrencyText(double value, char decimal_separator) {
  if (!std::isfinite(value)) return FormatFloatGeneral(value, decimal_separator);
  char buffer[400];
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
  if (ec != std::errc()) return FormatFloatGeneral(value, decimal_separator);
  std::string text = StripFractionZeros(std::string(buffer, end));
  if (text == "-0") text = "0";
  for (char& c : text) {
    if (c == '.') c = decimal_separator;
  }
  return text;
}

}  // namespace kelvorin
