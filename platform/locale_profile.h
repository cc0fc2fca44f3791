// The locale service of the whole program: one profile object holding the
// collation (ICU, with fixed attributes: punctuation is not ignorable and
// normalisation is off), simple one-to-one casing that never changes a
// string's length, and the number and date formats with month and day names.
// The profile is set once at start-up from the user's environment (Czech when
// the environment names no usable locale) and can be replaced; tests set it
// explicitly.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Formats of a profile. Texts are 8-bit (the system code page). Date and time
// patterns use the letters d, dd (day), M, MM, MMM, MMMM (month), yy, yyyy
// (year), E, EEEE (day name), H, HH, h, hh (hour), m, mm (minute), s, ss
// (second), S, SS, SSS (fraction), a (AM/PM) and 'quoted' literals.
struct LocaleFormats {
  char decimal_separator = ',';
  char date_separator = '.';
  char time_separator = ':';
  std::string short_date_format = "dd.MM.yyyy";
  std::string long_time_format = "H:mm:ss";
  std::string am_designator = "AM";
  std::string pm_designator = "PM";
  std::array<std::string, 12> long_month_names;
  std::array<std::string, 12> short_month_names;
  std::array<std::string, 7> long_day_names;  // Sunday first
  std::array<std::string, 7> short_day_names;
};

// Results of a collation, numbered as the platform's string comparison
// reports them; 0 is a failure.
enum CollationResult : int { kCollationFailed = 0, kLess = 1, kEqual = 2, kGreater = 3 };

class LocaleProfile {
 public:
  // A profile from the ICU data of a locale id ("cs_CZ", "en_US"); formats
  // follow that locale with four-digit years.
  static std::unique_ptr<LocaleProfile> FromLocale(std::string_view locale_id);
  // A profile collating as `locale_id` with the given formats.
  static std::unique_ptr<LocaleProfile> WithFormats(std::string_view locale_id,
                                                    LocaleFormats formats);
  // The Czech profile (the default).
  static std::unique_ptr<LocaleProfile> Czech();
  // From LC_ALL, LC_COLLATE or LANG; Czech when none names a usable locale.
  static std::unique_ptr<LocaleProfile> FromEnvironment();

  // Collation of `locale_id`, the given formats.
  LocaleProfile(std::string_view locale_id, LocaleFormats formats);
  ~LocaleProfile();
  LocaleProfile(const LocaleProfile&) = delete;
  LocaleProfile& operator=(const LocaleProfile&) = delete;

  const std::string& locale_id() const { return locale_id_; }
  const LocaleFormats& formats() const { return formats_; }

  // Collation in string-sort mode. A limit n >= 0 compares only the first n
  // characters of each string; -1 compares them whole.
  CollationResult CompareAnsi(std::string_view left, std::string_view right, bool ignore_case,
                              int32_t limit = -1) const;
  CollationResult CompareWide(std::u16string_view left, std::u16string_view right,
                              bool ignore_case, int32_t limit = -1) const;

  std::string UpperAnsi(std::string_view text) const;
  std::string LowerAnsi(std::string_view text) const;
  std::u16string UpperWide(std::u16string_view text) const;
  std::u16string LowerWide(std::u16string_view text) const;
  char UpperAnsiChar(char c) const { return upper_[static_cast<unsigned char>(c)]; }
  char LowerAnsiChar(char c) const { return lower_[static_cast<unsigned char>(c)]; }

 private:
  std::string locale_id_;
  LocaleFormats formats_;
  struct Collators;  // the ICU collators, with and without case
  std::unique_ptr<Collators> collators_;
  std::array<char, 256> upper_{};
  std::array<char, 256> lower_{};
};

// The current profile; made from the environment on first use when none was set.
const LocaleProfile& CurrentLocale();
// Replaces the current profile. References to the old one become invalid.
void SetCurrentLocale(std::unique_ptr<LocaleProfile> profile);

}  // namespace platform
