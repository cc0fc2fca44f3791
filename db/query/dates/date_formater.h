// TDateFormater: the date format strings of TODATE and TOSTRING. A format
// such as 'YYYY-MM-DD HH24:NN' is compiled once into tokens (format words,
// recognised without regard to case, and literal text); the formatter then
// reads texts into calendar date-time values (days since 1899-12-30 with the
// time as the fraction), writes such values as text, and tells the longest
// text it can write. Month and day names are those of the locale profile
// current when the formatter is made; later changes of the profile do not
// reach it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale_profile.h"

namespace kelvorin {

// Token kinds in the order of the format-word table; kLiteral is plain text.
enum TDateFormatKind : uint8_t {
  dfkYYYY = 0,
  dfkYY = 1,
  dfkYEAR = 2,
  dfkQ = 3,
  dfkMONTH = 4,
  dfkMON = 5,
  dfkMM = 6,
  dfkM = 7,
  dfkRM = 8,
  dfkDDD = 9,
  dfkDD = 10,
  dfkDAY = 11,
  dfkDY = 12,
  dfkDW = 13,
  dfkD = 14,
  dfkHH12 = 15,
  dfkHH24 = 16,
  dfkHH = 17,
  dfkH12 = 18,
  dfkH24 = 19,
  dfkH = 20,
  dfkNN = 21,
  dfkN = 22,
  dfkSS = 23,
  dfkS = 24,
  dfkAMPM = 25,
  dfkLiteral = 26,
};

struct TDateFormatToken {
  TDateFormatKind kind = dfkLiteral;
  // The word as written in the format, or the literal text.
  std::string text;
};

class TDateFormater {
 public:
  // Compiles `format` with the names of the current locale profile.
  explicit TDateFormater(std::string_view format);
  TDateFormater(std::string_view format, const platform::LocaleProfile& profile);

  const std::vector<TDateFormatToken>& Tokens() const { return tokens_; }

  // Reads `text` field by field. Literal text and the words that read
  // nothing are passed over by their length in the format, without being
  // compared. When the year, the month or the day was never read, the date
  // part is 0 (1899-12-30). Raises the AM/PM error (30129), a field error for
  // a field that is not all digits or runs past the end of the text, and the
  // date or time encoding error for a value outside the calendar or the day.
  double ParseText(std::string_view text) const;

  // The value written word by word. Raises the conversion error for NaN,
  // infinities and values outside 0001-01-01..9999-12-31.
  std::string FormatValue(double date_time) const;

  // The longest text FormatValue can produce (bytes of 8-bit text).
  int32_t MaxTextLength() const { return max_text_length_; }

 private:
  struct Names {
    std::array<std::string, 12> long_months;
    std::array<std::string, 12> short_months;
    std::array<std::string, 7> long_days;  // Sunday first
    std::array<std::string, 7> short_days;
  };

  void Tokenize(std::string_view format);
  int32_t LongestTextOf(const TDateFormatToken& token) const;

  std::vector<TDateFormatToken> tokens_;
  Names names_;
  int32_t max_text_length_ = 0;
};

}  // namespace kelvorin
