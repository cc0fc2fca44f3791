#include "db/query/dates/date_formater.h"

#include <algorithm>
#include <limits>

#include "db/query/dates/date_format_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/field_types.h"
#include "db/tables/values/value_encoding.h"
#include "platform/locale_datetime.h"

namespace kelvorin {
namespace {

constexpr int kWordCount = 26;
constexpr size_t kLongestWord = 5;

// The format words in kind order.
constexpr std::array<std::string_view, kWordCount> kWords = {
    "YYYY", "YY",   "YEAR", "Q",   "MONTH", "MON", "MM",  "M",  "RM",
    "DDD",  "DD",   "DAY",  "DY",  "DW",    "D",   "HH12", "HH24", "HH",
    "H12",  "H24",  "H",    "NN",  "N",     "SS",  "S",   "AMPM"};

// The longest text each word writes (names: at least this, see LongestTextOf).
constexpr std::array<int32_t, kWordCount> kLongestText = {
    4, 2, 4, 1, 9, 3, 2, 2, 4, 3, 2, 12, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

constexpr std::array<std::string_view, 12> kRomanMonths = {
    "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The kind of the longest format word at the start of `rest` and its length
// (0 when no word starts there).
size_t MatchWord(std::string_view rest, TDateFormatKind* kind) {
  char upper[kLongestWord];
  const size_t limit = std::min(kLongestWord, rest.size());
  for (size_t i = 0; i < limit; ++i) upper[i] = AsciiUpper(rest[i]);
  for (size_t length = limit; length > 0; --length) {
    const std::string_view candidate(upper, length);
    for (int k = 0; k < kWordCount; ++k) {
      if (kWords[static_cast<size_t>(k)] == candidate) {
        *kind = static_cast<TDateFormatKind>(k);
        return length;
      }
    }
  }
  return 0;
}

size_t LongestName(const auto& names) {
  size_t longest = 0;
  for (const std::string& name : names) longest = std::max(longest, name.size());
  return longest;
}

// A non-negative number with at least `min_digits` digits.
void AppendNumber(std::string* out, int value, int min_digits) {
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < min_digits) digits[count++] = '0';
  while (count > 0) out->push_back(digits[--count]);
}

// Reads the fields of a text one after another; the position never passes
// the end of the text.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : text_(text) {}

  void Skip(size_t count) { pos_ += std::min(count, text_.size() - pos_); }

  // Exactly `width` digits.
  int ReadFixed(const TDateFormatToken& token, size_t width) {
    const std::string_view field = Take(width);
    if (field.size() < width) {
      throw EABSException(native::kDateFieldTooShort,
                          {token.text, static_cast<int32_t>(width), field});
    }
    return ToInteger(field);
  }

  // One digit, or two when the character after the first is a digit.
  int ReadOneOrTwo(const TDateFormatToken& token) {
    if (pos_ >= text_.size()) {
      throw EABSException(native::kDateFieldTooShort, {token.text, 1, std::string_view()});
    }
    const bool two = pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1]);
    return ToInteger(Take(two ? 2 : 1));
  }

  // "AM" or "PM" in any case; true for PM.
  bool ReadAmPm() {
    const std::string_view field = Take(2);
    if (field.size() == 2) {
      const char first = AsciiUpper(field[0]);
      if ((first == 'A' || first == 'P') && AsciiUpper(field[1]) == 'M') return first == 'P';
    }
    throw EABSException(native::kAmPmWordExpected, {field});
  }

 private:
  std::string_view Take(size_t count) {
    const std::string_view field = text_.substr(pos_, count);
    pos_ += field.size();
    return field;
  }

  static int ToInteger(std::string_view field) {
    int value = 0;
    for (char c : field) {
      if (!IsDigit(c)) throw EABSException(native::kDateFieldNotInteger, {field});
      value = value * 10 + (c - '0');
    }
    return value;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// A date field keeps whether it was read: only a field never read leaves the
// date part empty; a field read as 0 is a bad date.
struct DateField {
  int value = 0;
  bool read = false;
  void Set(int v) {
    value = v;
    read = true;
  }
};

int32_t DayOfDate(const DateField& year, const DateField& month, const DateField& day) {
  const bool year_bad = year.read && (year.value < 1 || year.value > 9999);
  const bool month_bad = month.read && (month.value < 1 || month.value > 12);
  const bool day_bad = day.read && (day.value < 1 || day.value > 31);
  if (year_bad || month_bad || day_bad) throw EABSException(native::kDateEncodeInvalid);
  if (!year.read || !month.read || !day.read) return kDateDelta;
  if (day.value > platform::DaysInMonth(year.value, month.value)) {
    throw EABSException(native::kDateEncodeInvalid);
  }
  return static_cast<int32_t>(DayNumberOf(year.value, month.value, day.value));
}

}  // namespace

TDateFormater::TDateFormater(std::string_view format)
    : TDateFormater(format, platform::CurrentLocale()) {}

TDateFormater::TDateFormater(std::string_view format, const platform::LocaleProfile& profile) {
  const platform::LocaleFormats& formats = profile.formats();
  names_.long_months = formats.long_month_names;
  names_.short_months = formats.short_month_names;
  names_.long_days = formats.long_day_names;
  names_.short_days = formats.short_day_names;
  Tokenize(format);
  int64_t total = 0;
  for (const TDateFormatToken& token : tokens_) total += LongestTextOf(token);
  max_text_length_ =
      static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
}

void TDateFormater::Tokenize(std::string_view format) {
  std::string pending;
  auto flush_pending = [&] {
    if (!pending.empty()) tokens_.push_back({dfkLiteral, std::move(pending)});
    pending.clear();
  };
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '\'' || c == '"') {
      flush_pending();
      const size_t close = format.find(c, i + 1);
      if (close == std::string_view::npos) {
        // A section never closed runs to the end as literal text.
        if (i + 1 < format.size()) tokens_.push_back({dfkLiteral, std::string(format.substr(i + 1))});
        return;
      }
      tokens_.push_back({dfkLiteral, std::string(format.substr(i + 1, close - i - 1))});
      i = close + 1;
      continue;
    }
    TDateFormatKind kind = dfkLiteral;
    const size_t length = MatchWord(format.substr(i), &kind);
    if (length == 0) {
      pending.push_back(c);
      ++i;
      continue;
    }
    flush_pending();
    tokens_.push_back({kind, std::string(format.substr(i, length))});
    i += length;
  }
  flush_pending();
}

int32_t TDateFormater::LongestTextOf(const TDateFormatToken& token) const {
  switch (token.kind) {
    case dfkLiteral:
      return static_cast<int32_t>(
          std::min<size_t>(token.text.size(), std::numeric_limits<int32_t>::max()));
    case dfkMONTH:
      return std::max<int32_t>(kLongestText[dfkMONTH],
                               static_cast<int32_t>(LongestName(names_.long_months)));
    case dfkMON:
      return std::max<int32_t>(kLongestText[dfkMON],
                               static_cast<int32_t>(LongestName(names_.short_months)));
    case dfkDAY:
      return std::max<int32_t>(kLongestText[dfkDAY],
                               static_cast<int32_t>(LongestName(names_.long_days)));
    case dfkDY:
      return std::max<int32_t>(kLongestText[dfkDY],
                               static_cast<int32_t>(LongestName(names_.short_days)));
    default:
      return kLongestText[token.kind];
  }
}

double TDateFormater::ParseText(std::string_view text) const {
  FieldReader reader(text);
  DateField year;
  DateField month;
  DateField day;
  int hour = 0;
  int minute = 0;
  int second = 0;
  for (const TDateFormatToken& token : tokens_) {
    switch (token.kind) {
      case dfkYYYY:
      case dfkYEAR:
        year.Set(reader.ReadFixed(token, 4));
        break;
      case dfkYY: {
        const int v = reader.ReadFixed(token, 2);
        year.Set(v < 30 ? 2000 + v : 1900 + v);
        break;
      }
      case dfkQ:
        month.Set(3 * (reader.ReadFixed(token, 1) - 1) + 1);
        break;
      case dfkMM:
        month.Set(reader.ReadFixed(token, 2));
        break;
      case dfkM:
        month.Set(reader.ReadOneOrTwo(token));
        break;
      case dfkDD:
        day.Set(reader.ReadFixed(token, 2));
        break;
      case dfkD:
        day.Set(reader.ReadOneOrTwo(token));
        break;
      case dfkHH12:
      case dfkHH:
        hour = reader.ReadOneOrTwo(token);
        break;
      case dfkHH24:
        hour = reader.ReadFixed(token, 2);
        break;
      case dfkNN:
        minute = reader.ReadFixed(token, 2);
        break;
      case dfkN:
        minute = reader.ReadOneOrTwo(token);
        break;
      case dfkSS:
        second = reader.ReadFixed(token, 2);
        break;
      case dfkS:
        second = reader.ReadOneOrTwo(token);
        break;
      case dfkAMPM:
        if (reader.ReadAmPm()) hour += 12;
        break;
      default:  // literal text and the words that read nothing
        reader.Skip(token.text.size());
        break;
    }
  }
  const int32_t day_number = DayOfDate(year, month, day);
  if (hour > 23 || minute > 59 || second > 59) throw EABSException(native::kTimeEncodeInvalid);
  const int32_t ms = ((hour * 60 + minute) * 60 + second) * 1000;
  return DayMsToCalendar(day_number, ms);
}

std::string TDateFormater::FormatValue(double date_time) const {
  int32_t day_number = 0;
  int32_t ms = 0;
  if (!CalendarToDayMs(date_time, &day_number, &ms) || !IsCalendarDay(day_number)) {
    throw EABSException(native::kDateFormatValueInvalid,
                        {StorageTypeName(TABSStorageType::DateTime),
                         StorageTypeName(TABSStorageType::String)});
  }
  const TABSCivilDate date = CivilDateOf(day_number);
  const int hour = ms / 3600000;
  const int minute = ms / 60000 % 60;
  const int second = ms / 1000 % 60;
  const size_t month_index = static_cast<size_t>(date.month - 1);
  const size_t weekday_index = static_cast<size_t>(date.day_of_week);
  std::string out;
  out.reserve(static_cast<size_t>(max_text_length_));
  for (const TDateFormatToken& token : tokens_) {
    switch (token.kind) {
      case dfkYYYY:
      case dfkYEAR:
        AppendNumber(&out, date.year, 4);
        break;
      case dfkYY:
        AppendNumber(&out, date.year % 100, 2);
        break;
      case dfkQ:
        AppendNumber(&out, (date.month - 1) / 3 + 1, 1);
        break;
      case dfkMONTH:
        out += names_.long_months[month_index];
        break;
      case dfkMON:
        out += names_.short_months[month_index];
        break;
      case dfkMM:
        AppendNumber(&out, date.month, 2);
        break;
      case dfkM:
        AppendNumber(&out, date.month, 1);
        break;
      case dfkRM:
        out += kRomanMonths[month_index];
        break;
      case dfkDDD:
        AppendNumber(&out,
                     static_cast<int>(day_number - DayNumberOf(date.year, 1, 1) + 1), 1);
        break;
      case dfkDD:
        AppendNumber(&out, date.day, 2);
        break;
      case dfkD:
        AppendNumber(&out, date.day, 1);
        break;
      case dfkDAY:
        out += names_.long_days[weekday_index];
        break;
      case dfkDY:
        out += names_.short_days[weekday_index];
        break;
      case dfkDW:
        AppendNumber(&out, date.day_of_week == 0 ? 7 : date.day_of_week, 1);
        break;
      case dfkHH12:
      case dfkHH:
        AppendNumber(&out, hour % 12, 2);
        break;
      case dfkHH24:
        AppendNumber(&out, hour, 2);
        break;
      case dfkH12:
      case dfkH:
        AppendNumber(&out, hour % 12, 1);
        break;
      case dfkH24:
        AppendNumber(&out, hour, 1);
        break;
      case dfkNN:
        AppendNumber(&out, minute, 2);
        break;
      case dfkN:
        AppendNumber(&out, minute, 1);
        break;
      case dfkSS:
        AppendNumber(&out, second, 2);
        break;
      case dfkS:
        AppendNumber(&out, second, 1);
        break;
      case dfkAMPM:
        out += hour >= 12 ? "PM" : "AM";
        break;
      case dfkLiteral:
        out += token.text;
        break;
    }
  }
  return out;
}

}  // namespace kelvorin
