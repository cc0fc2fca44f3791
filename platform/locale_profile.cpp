// Profiles from ICU locale data, collation and casing.
#include "platform/locale_profile.h"

#include <unicode/coll.h>
#include <unicode/datefmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/uchar.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <mutex>

#include "platform/locale_code_page.h"

namespace platform {
namespace {

constexpr const char* kCzechLocale = "cs_CZ";

std::string ToAnsi(const icu::UnicodeString& text) {
  icu::UnicodeString copy(text);
  // Patterns and names may use no-break spaces the code page lacks.
  copy.findAndReplace(icu::UnicodeString(static_cast<UChar>(0x202F)), icu::UnicodeString(" "));
  copy.findAndReplace(icu::UnicodeString(static_cast<UChar>(0x00A0)), icu::UnicodeString(" "));
  return WideToAnsi(std::u16string_view(copy.getBuffer(), static_cast<size_t>(copy.length())));
}

bool IsPatternLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Rewrites an ICU pattern into the letters the formatter knows: years always
// with four digits, stand-alone letters as their format counterparts.
std::string NormalizePattern(const std::string& pattern) {
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '\'') quoted = !quoted;
    if (quoted || !IsPatternLetter(c)) {
      out += c;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    i += run - 1;
    switch (c) {
      case 'y':
      case 'u':
        out += "yyyy";
        break;
      case 'L':
        out.append(run, 'M');
        break;
      case 'c':
      case 'e':
        out.append(run < 3 ? 3 : run, 'E');
        break;
      case 'k':
        out.append(run, 'H');
        break;
      case 'K':
        out.append(run, 'h');
        break;
      case 'G':
      case 'z':
      case 'Z':
      case 'v':
      case 'V':
      case 'O':
      case 'X':
      case 'x':
      case 'B':
      case 'b':
        break;  // eras and zones are not shown
      default:
        out.append(run, c);
    }
  }
  // Dropped fields may leave blanks at the ends.
  size_t first = out.find_first_not_of(' ');
  size_t last = out.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
}

char FirstSeparator(const std::string& pattern, char fallback) {
  bool quoted = false;
  for (char c : pattern) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && !IsPatternLetter(c) && c != ' ' && c != '\'') return c;
  }
  return fallback;
}

std::string PatternOf(const icu::DateFormat* format) {
  const auto* simple = dynamic_cast<const icu::SimpleDateFormat*>(format);
  if (simple == nullptr) return std::string();
  icu::UnicodeString pattern;
  simple->toPattern(pattern);
  return ToAnsi(pattern);
}

LocaleFormats FormatsOf(const icu::Locale& locale) {
  LocaleFormats f;
  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols numbers(locale, status);
  if (U_SUCCESS(status)) {
    std::string sep = ToAnsi(numbers.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol));
    if (sep.size() == 1 && sep[0] != '?') f.decimal_separator = sep[0];
  }
  std::unique_ptr<icu::DateFormat> date(
      icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale));
  std::unique_ptr<icu::DateFormat> time(
      icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale));
  std::string date_pattern = NormalizePattern(PatternOf(date.get()));
  std::string time_pattern = NormalizePattern(PatternOf(time.get()));
  if (!date_pattern.empty()) f.short_date_format = date_pattern;
  if (!time_pattern.empty()) f.long_time_format = time_pattern;
  f.date_separator = FirstSeparator(f.short_date_format, '.');
  f.time_separator = FirstSeparator(f.long_time_format, ':');

  status = U_ZERO_ERROR;
  icu::DateFormatSymbols symbols(locale, status);
  if (U_FAILURE(status)) return f;
  using Symbols = icu::DateFormatSymbols;
  int32_t count = 0;
  const icu::UnicodeString* names = symbols.getMonths(count, Symbols::STANDALONE, Symbols::WIDE);
  for (int32_t i = 0; i < count && i < 12; ++i)
    f.long_month_names[static_cast<size_t>(i)] = ToAnsi(names[i]);
  names = symbols.getMonths(count, Symbols::STANDALONE, Symbols::ABBREVIATED);
  for (int32_t i = 0; i < count && i < 12; ++i)
    f.short_month_names[static_cast<size_t>(i)] = ToAnsi(names[i]);
  // Weekday arrays start with an empty entry; Sunday is 1.
  names = symbols.getWeekdays(count, Symbols::STANDALONE, Symbols::WIDE);
  for (int32_t i = 1; i < count && i <= 7; ++i)
    f.long_day_names[static_cast<size_t>(i - 1)] = ToAnsi(names[i]);
  names = symbols.getWeekdays(count, Symbols::STANDALONE, Symbols::ABBREVIATED);
  for (int32_t i = 1; i < count && i <= 7; ++i)
    f.short_day_names[static_cast<size_t>(i - 1)] = ToAnsi(names[i]);
  names = symbols.getAmPmStrings(count);
  if (count >= 2) {
    f.am_designator = ToAnsi(names[0]);
    f.pm_designator = ToAnsi(names[1]);
  }
  return f;
}

std::unique_ptr<icu::Collator> MakeCollator(const icu::Locale& locale, bool ignore_case) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
  if (U_FAILURE(status) || collator == nullptr) {
    status = U_ZERO_ERROR;
    collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
  }
  if (collator == nullptr) return nullptr;
  status = U_ZERO_ERROR;
  collator->setAttribute(UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, status);
  collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_OFF, status);
  collator->setAttribute(UCOL_STRENGTH, ignore_case ? UCOL_SECONDARY : UCOL_TERTIARY, status);
  return collator;
}

CollationResult Collate(const icu::Collator* collator, std::u16string_view left,
                        std::u16string_view right) {
  if (collator == nullptr) return kCollationFailed;
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator->compare(left.data(), static_cast<int32_t>(left.size()),
                                         right.data(), static_cast<int32_t>(right.size()), status);
  if (U_FAILURE(status)) return kCollationFailed;
  return r == UCOL_LESS ? kLess : r == UCOL_EQUAL ? kEqual : kGreater;
}

// The same comparison over text that is ASCII in both the code page and
// UTF-8, which ICU reads as it stands: no wide copies.
CollationResult CollateAscii(const icu::Collator* collator, std::string_view left,
                             std::string_view right) {
  if (collator == nullptr) return kCollationFailed;
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator->compareUTF8(
      icu::StringPiece(left.data(), static_cast<int32_t>(left.size())),
      icu::StringPiece(right.data(), static_cast<int32_t>(right.size())), status);
  if (U_FAILURE(status)) return kCollationFailed;
  return r == UCOL_LESS ? kLess : r == UCOL_EQUAL ? kEqual : kGreater;
}

bool IsAscii(std::string_view text) {
  const char* at = text.data();
  const char* end = at + text.size();
  for (; end - at >= 8; at += 8) {
    uint64_t word;
    std::memcpy(&word, at, sizeof word);
    if ((word & 0x8080808080808080ULL) != 0) return false;
  }
  for (; at < end; ++at) {
    if ((static_cast<unsigned char>(*at) & 0x80) != 0) return false;
  }
  return true;
}

template <typename Text>
Text Prefix(Text text, int32_t limit) {
  if (limit >= 0 && static_cast<size_t>(limit) < text.size())
    return text.substr(0, static_cast<size_t>(limit));
  return text;
}

// Simple (one-to-one) case mapping of one UTF-16 unit; surrogates and
// characters whose mapping leaves the basic plane stay as they are.
char16_t MapUnit(char16_t unit, bool upper) {
  if (unit >= 0xD800 && unit <= 0xDFFF) return unit;
  UChar32 mapped = upper ? u_toupper(unit) : u_tolower(unit);
  return mapped <= 0xFFFF ? static_cast<char16_t>(mapped) : unit;
}

std::string LocaleIdFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string id(value);
    id = id.substr(0, id.find_first_of(".@"));
    if (id.empty() || id == "C" || id == "POSIX") return std::string();
    return id;
  }
  return std::string();
}

bool IsUsableLocale(const std::string& id) {
  icu::Locale locale(id.c_str());
  if (locale.isBogus() || *locale.getLanguage() == '\0') return false;
  int32_t count = 0;
  const icu::Locale* available = icu::Locale::getAvailableLocales(count);
  for (int32_t i = 0; i < count; ++i) {
    if (std::string_view(available[i].getLanguage()) == locale.getLanguage()) return true;
  }
  return false;
}

std::atomic<LocaleProfile*> g_current{nullptr};
std::mutex g_current_mutex;
std::unique_ptr<LocaleProfile> g_owned;

}  // namespace

struct LocaleProfile::Collators {
  std::unique_ptr<icu::Collator> case_sensitive;
  std::unique_ptr<icu::Collator> case_insensitive;
};

LocaleProfile::LocaleProfile(std::string_view locale_id, LocaleFormats formats)
    : locale_id_(locale_id),
      formats_(std::move(formats)),
      collators_(std::make_unique<Collators>()) {
  icu::Locale locale(locale_id_.c_str());
  collators_->case_sensitive = MakeCollator(locale, false);
  collators_->case_insensitive = MakeCollator(locale, true);
  for (int b = 0; b < 256; ++b) {
    char16_t wide = AnsiCharToWide(static_cast<unsigned char>(b));
    char c = static_cast<char>(b);
    upper_[static_cast<size_t>(b)] =
        WideCharToAnsi(MapUnit(wide, true), &c) ? c : static_cast<char>(b);
    c = static_cast<char>(b);
    lower_[static_cast<size_t>(b)] =
        WideCharToAnsi(MapUnit(wide, false), &c) ? c : static_cast<char>(b);
  }
}

LocaleProfile::~LocaleProfile() = default;

std::unique_ptr<LocaleProfile> LocaleProfile::FromLocale(std::string_view locale_id) {
  std::string id(locale_id);
  return std::make_unique<LocaleProfile>(id, FormatsOf(icu::Locale(id.c_str())));
}

std::unique_ptr<LocaleProfile> LocaleProfile::WithFormats(std::string_view locale_id,
                                                          LocaleFormats formats) {
  return std::make_unique<LocaleProfile>(locale_id, std::move(formats));
}

std::unique_ptr<LocaleProfile> LocaleProfile::Czech() { return FromLocale(kCzechLocale); }

std::unique_ptr<LocaleProfile> LocaleProfile::FromEnvironment() {
  std::string id = LocaleIdFromEnvironment();
  if (id.empty() || !IsUsableLocale(id)) return Czech();
  return FromLocale(id);
}

CollationResult LocaleProfile::CompareAnsi(std::string_view left, std::string_view right,
                                           bool ignore_case, int32_t limit) const {
  const icu::Collator* collator =
      ignore_case ? collators_->case_insensitive.get() : collators_->case_sensitive.get();
  left = Prefix(left, limit);
  right = Prefix(right, limit);
  // The code page agrees with ASCII below 0x80, and most keys are ASCII.
  if (IsAscii(left) && IsAscii(right)) return CollateAscii(collator, left, right);
  // Per-thread buffers: index searches compare many keys, and each would
  // otherwise allocate two wide copies.
  thread_local std::u16string l;
  thread_local std::u16string r;
  AnsiToWide(left, &l);
  AnsiToWide(right, &r);
  return Collate(collator, l, r);
}

CollationResult LocaleProfile::CompareWide(std::u16string_view left, std::u16string_view right,
                                           bool ignore_case, int32_t limit) const {
  return Collate(
      ignore_case ? collators_->case_insensitive.get() : collators_->case_sensitive.get(),
      Prefix(left, limit), Prefix(right, limit));
}

std::string LocaleProfile::UpperAnsi(std::string_view text) const {
  std::string out(text);
  for (char& c : out) c = UpperAnsiChar(c);
  return out;
}

std::string LocaleProfile::LowerAnsi(std::string_view text) const {
  std::string out(text);
  for (char& c : out) c = LowerAnsiChar(c);
  return out;
}

std::u16string LocaleProfile::UpperWide(std::u16string_view text) const {
  std::u16string out(text);
  for (char16_t& c : out) c = MapUnit(c, true);
  return out;
}

std::u16string LocaleProfile::LowerWide(std::u16string_view text) const {
  std::u16string out(text);
  for (char16_t& c : out) c = MapUnit(c, false);
  return out;
}

const LocaleProfile& CurrentLocale() {
  LocaleProfile* profile = g_current.load(std::memory_order_acquire);
  if (profile != nullptr) return *profile;
  std::lock_guard<std::mutex> lock(g_current_mutex);
  if (g_owned == nullptr) {
    g_owned = LocaleProfile::FromEnvironment();
    g_current.store(g_owned.get(), std::memory_order_release);
  }
  return *g_owned;
}

void SetCurrentLocale(std::unique_ptr<LocaleProfile> profile) {
  std::lock_guard<std::mutex> lock(g_current_mutex);
  if (profile == nullptr) profile = LocaleProfile::FromEnvironment();
  g_current.store(profile.get(), std::memory_order_release);
  g_owned = std::move(profile);
}

}  // namespace platform
