// Date and time text of a locale profile.
#include "platform/locale_datetime.h"

#include <cstdio>

namespace platform {
namespace {

void AppendNumber(std::string* out, int value, int min_digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", min_digits, value);
  *out += buffer;
}

int Hour12(int hour) {
  int h = hour % 12;
  return h == 0 ? 12 : h;
}

const std::string& Pick(const std::string* names, int count, int index) {
  static const std::string kEmpty;
  return index >= 0 && index < count ? names[index] : kEmpty;
}

void AppendField(std::string* out, char letter, size_t run, const DateTimeFields& f,
                 const LocaleFormats& formats) {
  const int pad = run >= 2 ? 2 : 1;
  switch (letter) {
    case 'd':
      AppendNumber(out, f.day, pad);
      break;
    case 'M':
      if (run >= 4) {
        *out += Pick(formats.long_month_names.data(), 12, f.month - 1);
      } else if (run == 3) {
        *out += Pick(formats.short_month_names.data(), 12, f.month - 1);
      } else {
        AppendNumber(out, f.month, pad);
      }
      break;
    case 'y':
      if (run == 2) {
        AppendNumber(out, f.year % 100, 2);
      } else {
        AppendNumber(out, f.year, 4);
      }
      break;
    case 'E':
      *out += run >= 4 ? Pick(formats.long_day_names.data(), 7, f.day_of_week)
                       : Pick(formats.short_day_names.data(), 7, f.day_of_week);
      break;
    case 'H':
      AppendNumber(out, f.hour, pad);
      break;
    case 'h':
      AppendNumber(out, Hour12(f.hour), pad);
      break;
    case 'm':
      AppendNumber(out, f.minute, pad);
      break;
    case 's':
      AppendNumber(out, f.second, pad);
      break;
    case 'S': {
      std::string ms;
      AppendNumber(&ms, f.millisecond, 3);
      for (size_t i = 0; i < run; ++i) *out += i < ms.size() ? ms[i] : '0';
      break;
    }
    case 'a':
      *out += f.hour < 12 ? formats.am_designator : formats.pm_designator;
      break;
    default:
      out->append(run, letter);
  }
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A small cursor over the text being parsed.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool Take(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  // 1..max_digits decimal digits.
  bool Number(int max_digits, int* value, int* digits = nullptr) {
    int n = 0;
    int count = 0;
    while (pos_ < text_.size() && IsDigit(text_[pos_]) && count < max_digits) {
      n = n * 10 + (text_[pos_] - '0');
      ++pos_;
      ++count;
    }
    if (count == 0 || (pos_ < text_.size() && IsDigit(text_[pos_]))) return false;
    *value = n;
    if (digits != nullptr) *digits = count;
    return true;
  }
  // Case-insensitive (ASCII) match of a word.
  bool TakeWord(std::string_view word) {
    if (word.empty() || text_.size() - pos_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      char a = text_[pos_ + i];
      char b = word[i];
      if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
      if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
      if (a != b) return false;
    }
    pos_ += word.size();
    return true;
  }
  size_t pos() const { return pos_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Order of day, month and year in the short date format, e.g. "dMy".
std::string DateOrder(const std::string& pattern) {
  std::string order;
  bool quoted = false;
  for (char c : pattern) {
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    if ((c == 'd' || c == 'M' || c == 'y') && order.find(c) == std::string::npos) order += c;
  }
  return order.size() == 3 ? order : "dMy";
}

bool ScanDate(Scanner* s, const LocaleProfile& profile, DateTimeFields* f) {
  const LocaleFormats& formats = profile.formats();
  std::string order = DateOrder(formats.short_date_format);
  int year = 0;
  int month = 0;
  int day = 0;
  int year_digits = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      if (!s->Take(formats.date_separator)) return false;
      s->SkipBlanks();
    }
    bool ok = order[i] == 'd'   ? s->Number(2, &day)
              : order[i] == 'M' ? s->Number(2, &month)
                                : s->Number(4, &year, &year_digits);
    if (!ok) return false;
  }
  // Patterns like "d. M. yyyy" end with the separator.
  s->Take(formats.date_separator);
  if (year_digits <= 2) year += year < 50 ? 2000 : 1900;
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  f->year = year;
  f->month = month;
  f->day = day;
  return true;
}

bool ScanDesignator(Scanner* s, const LocaleFormats& formats, int* which) {
  if (s->TakeWord(formats.am_designator) || s->TakeWord("AM")) {
    *which = 1;
  } else if (s->TakeWord(formats.pm_designator) || s->TakeWord("PM")) {
    *which = 2;
  } else {
    return false;
  }
  return true;
}

bool ScanTime(Scanner* s, const LocaleProfile& profile, DateTimeFields* f) {
  const LocaleFormats& formats = profile.formats();
  int designator = 0;
  if (ScanDesignator(s, formats, &designator)) s->SkipBlanks();
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  if (!s->Number(2, &hour) || !s->Take(formats.time_separator) || !s->Number(2, &minute)) {
    return false;
  }
  if (s->Take(formats.time_separator)) {
    if (!s->Number(2, &second)) return false;
    if (s->Take('.') || s->Take(formats.decimal_separator)) {
      int digits = 0;
      if (!s->Number(3, &millisecond, &digits)) return false;
      while (digits++ < 3) millisecond *= 10;
    }
  }
  s->SkipBlanks();
  if (designator == 0) ScanDesignator(s, formats, &designator);
  if (designator != 0) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (designator == 2 ? 12 : 0);
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  f->hour = hour;
  f->minute = minute;
  f->second = second;
  f->millisecond = millisecond;
  return true;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::string FormatDateTimePattern(std::string_view pattern, const DateTimeFields& fields,
                                  const LocaleProfile& profile) {
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    char c = pattern[i];
    if (c == '\'') {
      // A quoted literal; '' stands for one quote, inside or outside quotes.
      if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
        out += '\'';
        i += 2;
        continue;
      }
      ++i;
      while (i < pattern.size()) {
        if (pattern[i] == '\'') {
          if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
            out += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        out += pattern[i++];
      }
      continue;
    }
    if (!IsLetter(c)) {
      out += c;
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    AppendField(&out, c, run, fields, profile.formats());
    i += run;
  }
  return out;
}

std::string FormatShortDate(const DateTimeFields& fields, const LocaleProfile& profile) {
  return FormatDateTimePattern(profile.formats().short_date_format, fields, profile);
}

std::string FormatLongTime(const DateTimeFields& fields, const LocaleProfile& profile) {
  return FormatDateTimePattern(profile.formats().long_time_format, fields, profile);
}

bool ParseDate(std::string_view text, const LocaleProfile& profile, DateTimeFields* fields) {
  Scanner s(text);
  s.SkipBlanks();
  DateTimeFields f;
  if (!ScanDate(&s, profile, &f)) return false;
  s.SkipBlanks();
  if (!s.AtEnd()) return false;
  *fields = f;
  return true;
}

bool ParseTime(std::string_view text, const LocaleProfile& profile, DateTimeFields* fields) {
  Scanner s(text);
  s.SkipBlanks();
  DateTimeFields f;
  if (!ScanTime(&s, profile, &f)) return false;
  s.SkipBlanks();
  if (!s.AtEnd()) return false;
  *fields = f;
  return true;
}

bool ParseDateTime(std::string_view text, const LocaleProfile& profile, DateTimeFields* fields) {
  Scanner s(text);
  s.SkipBlanks();
  DateTimeFields f;
  if (!ScanDate(&s, profile, &f)) return false;
  size_t before_blanks = s.pos();
  s.SkipBlanks();
  if (!s.AtEnd()) {
    if (s.pos() == before_blanks || !ScanTime(&s, profile, &f)) return false;
    s.SkipBlanks();
    if (!s.AtEnd()) return false;
  }
  *fields = f;
  return true;
}

}  // namespace platform
