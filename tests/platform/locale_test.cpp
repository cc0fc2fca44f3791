// The locale service: Windows-1250, casing, Czech collation, date and time
// formats and their parsing, the profile from the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/locale_code_page.h"
#include "platform/locale_datetime.h"
#include "platform/locale_profile.h"

namespace platform {
namespace {

TEST(LocaleCodePageTest, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    char back = 0;
    ASSERT_TRUE(WideCharToAnsi(AnsiCharToWide(static_cast<unsigned char>(b)), &back)) << b;
    EXPECT_EQ(back, c) << b;
  }
  EXPECT_EQ(AnsiToWide("\x8A\x9A\xE8\xF8\x80"), u"\u0160\u0161\u010D\u0159\u20AC");
  EXPECT_EQ(WideToAnsi(u"\u017Elu\u0165ou\u010Dk\u00FD"), "\x9Elu\x9Dou\xE8k\xFD");
  EXPECT_EQ(WideToAnsi(u"\u4E2D\U0001F600"), "??");
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8("P\xF8\xEDli\x9A")), "P\xF8\xEDli\x9A");
}

class LocaleProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { czech_ = LocaleProfile::Czech(); }
  std::unique_ptr<LocaleProfile> czech_;
};

TEST_F(LocaleProfileTest, CzechFormats) {
  const LocaleFormats& f = czech_->formats();
  EXPECT_EQ(f.decimal_separator, ',');
  EXPECT_EQ(f.date_separator, '.');
  EXPECT_EQ(f.time_separator, ':');
  EXPECT_EQ(f.short_date_format, "dd.MM.yyyy");
  EXPECT_EQ(f.long_time_format, "H:mm:ss");
  EXPECT_EQ(f.long_month_names[0], "leden");
  EXPECT_EQ(f.long_month_names[11], "prosinec");
  EXPECT_EQ(f.long_day_names[0], "ned\xECle");
  EXPECT_EQ(f.long_day_names[5], "p\xE1tek");
}

TEST_F(LocaleProfileTest, CasingIsOneToOne) {
  EXPECT_EQ(czech_->UpperAnsi("\xE8" "a\x9A" "ky \xDF"), "\xC8" "A\x8A" "KY \xDF");
  EXPECT_EQ(czech_->LowerAnsi("\xD8" "EKA"), "\xF8" "eka");
  EXPECT_EQ(czech_->UpperWide(u"stra\u00DFe \u0159"), u"STRA\u00DFE \u0158");
  EXPECT_EQ(czech_->LowerWide(u"\u0130X"), u"ix");
}

TEST_F(LocaleProfileTest, Collation) {
  struct Case {
    const char* left;
    const char* right;
    bool ignore_case;
    int32_t limit;
    CollationResult expected;
  } cases[] = {
      {"chleba", "hustota", false, -1, kGreater},
      {"Cyril", "\xC8" "ech", false, -1, kLess},
      {"\x9A" "ipka", "sob", false, -1, kGreater},
      {"novak", "Novak", false, -1, kLess},
      {"novak", "NOVAK", true, -1, kEqual},
      {"nov\xE1k", "NOVAK", true, -1, kGreater},
      {"co-op", "coop", false, -1, kLess},
      {"abcx", "abcy", false, 3, kEqual},
      {"ab", "abc", false, 2, kEqual},
      {"", "", false, 0, kEqual},
      // Longer than a machine word, pure ASCII on one side only.
      {"nakupni-chleba-1", "nakupni-hustota", false, -1, kGreater},
      {"abcdefgh\x9A" "ipka", "abcdefghsob", false, -1, kGreater},
      {"abcdefghij\xE1", "abcdefghija", false, -1, kGreater},
      {"ABCDEFGHIJ\xC1", "abcdefghij\xE1", true, -1, kEqual},
      {"abcdefghij\xE1x", "abcdefghij\xE1y", false, 11, kEqual},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(czech_->CompareAnsi(c.left, c.right, c.ignore_case, c.limit), c.expected)
        << c.left << " / " << c.right;
    EXPECT_EQ(czech_->CompareWide(AnsiToWide(c.left), AnsiToWide(c.right), c.ignore_case, c.limit),
              c.expected)
        << c.left << " / " << c.right;
  }
}

TEST_F(LocaleProfileTest, FormatsDatesAndTimes) {
  DateTimeFields f;
  f.year = 2024;
  f.month = 1;
  f.day = 5;
  f.day_of_week = 5;
  f.hour = 13;
  f.minute = 2;
  f.second = 3;
  f.millisecond = 45;
  EXPECT_EQ(FormatShortDate(f, *czech_), "05.01.2024");
  EXPECT_EQ(FormatLongTime(f, *czech_), "13:02:03");
  EXPECT_EQ(FormatDateTimePattern("EEEE d. MMMM yy, h:mm:ss.SSS a 'o''clock'", f, *czech_),
            "p\xE1tek 5. leden 24, 1:02:03.045 odp. o'clock");
}

TEST_F(LocaleProfileTest, ParsesDatesAndTimes) {
  struct Case {
    const char* text;
    int kind;  // 0 date, 1 time, 2 date-time
    bool ok;
    int year, month, day, hour, minute, second, ms;
  } cases[] = {
      {"5.1.2024", 0, true, 2024, 1, 5, 0, 0, 0, 0},
      {" 05. 01. 2024 ", 0, true, 2024, 1, 5, 0, 0, 0, 0},
      {"29.2.2023", 0, false, 0, 0, 0, 0, 0, 0, 0},
      {"29.2.2024", 0, true, 2024, 2, 29, 0, 0, 0, 0},
      {"5.1.24", 0, true, 2024, 1, 5, 0, 0, 0, 0},
      {"5.1.75", 0, true, 1975, 1, 5, 0, 0, 0, 0},
      {"5.13.2024", 0, false, 0, 0, 0, 0, 0, 0, 0},
      {"5.1", 0, false, 0, 0, 0, 0, 0, 0, 0},
      {"5/1/2024", 0, false, 0, 0, 0, 0, 0, 0, 0},
      {"5.1.2024x", 0, false, 0, 0, 0, 0, 0, 0, 0},
      {"13:45", 1, true, 0, 0, 0, 13, 45, 0, 0},
      {"1:02:03.5", 1, true, 0, 0, 0, 1, 2, 3, 500},
      {"1:02:03 PM", 1, true, 0, 0, 0, 13, 2, 3, 0},
      {"12:00 AM", 1, true, 0, 0, 0, 0, 0, 0, 0},
      {"13:00 PM", 1, false, 0, 0, 0, 0, 0, 0, 0},
      {"24:00", 1, false, 0, 0, 0, 0, 0, 0, 0},
      {"10", 1, false, 0, 0, 0, 0, 0, 0, 0},
      {"05.01.2024 1:02:03", 2, true, 2024, 1, 5, 1, 2, 3, 0},
      {"05.01.2024", 2, true, 2024, 1, 5, 0, 0, 0, 0},
      {"05.01.20241:02", 2, false, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    DateTimeFields f;
    bool ok = c.kind == 0   ? ParseDate(c.text, *czech_, &f)
              : c.kind == 1 ? ParseTime(c.text, *czech_, &f)
                            : ParseDateTime(c.text, *czech_, &f);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (!ok || !c.ok) continue;
    EXPECT_EQ(f.year, c.year) << c.text;
    EXPECT_EQ(f.month, c.month) << c.text;
    EXPECT_EQ(f.day, c.day) << c.text;
    EXPECT_EQ(f.hour, c.hour) << c.text;
    EXPECT_EQ(f.minute, c.minute) << c.text;
    EXPECT_EQ(f.second, c.second) << c.text;
    EXPECT_EQ(f.millisecond, c.ms) << c.text;
  }
}

TEST_F(LocaleProfileTest, OtherLocalesTakeTheirOwnFormats) {
  auto us = LocaleProfile::FromLocale("en_US");
  EXPECT_EQ(us->formats().decimal_separator, '.');
  EXPECT_EQ(us->formats().short_date_format, "M/d/yyyy");
  DateTimeFields f;
  ASSERT_TRUE(ParseDate("1/5/2024", *us, &f));
  EXPECT_EQ(f.month, 1);
  EXPECT_EQ(f.day, 5);
}

TEST(LocaleCurrentTest, EnvironmentWithoutUsableLocaleGivesCzech) {
  const char* saved = std::getenv("LC_ALL");
  std::string saved_value = saved ? saved : "";
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(LocaleProfile::FromEnvironment()->locale_id(), "cs_CZ");
  setenv("LC_ALL", "xx_YY.UTF-8", 1);
  EXPECT_EQ(LocaleProfile::FromEnvironment()->locale_id(), "cs_CZ");
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(LocaleProfile::FromEnvironment()->locale_id(), "de_DE");
  if (saved) {
    setenv("LC_ALL", saved_value.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  SetCurrentLocale(LocaleProfile::FromLocale("en_US"));
  EXPECT_EQ(CurrentLocale().locale_id(), "en_US");
  SetCurrentLocale(LocaleProfile::Czech());
  EXPECT_EQ(CurrentLocale().formats().decimal_separator, ',');
}

}  // namespace
}  // namespace platform
