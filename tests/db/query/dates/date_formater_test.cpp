// Date format strings: compiling formats into words and literals, reading
// texts by them (field widths, two-digit years, quarters, AM/PM, the date and
// time checks), writing values with the locale's names, and the declared
// width of the longest text.
#include "db/query/dates/date_formater.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_encoding.h"
#include "platform/locale_profile.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::ErrorOf;

// A calendar date-time value of a date and a time of day.
double At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  const int32_t ms = ((hour * 60 + minute) * 60 + second) * 1000;
  return DayMsToCalendar(static_cast<int32_t>(DayNumberOf(year, month, day)), ms);
}

// A value with no date part.
double TimeOf(int hour, int minute, int second = 0) {
  return DayMsToCalendar(kDateDelta, ((hour * 60 + minute) * 60 + second) * 1000);
}

class DateFormaterTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }
  void TearDown() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }
};

TEST_F(DateFormaterTest, FormatsCompileIntoTheLongestWordsAndLiterals) {
  struct Case {
    const char* format;
    std::vector<TDateFormatToken> tokens;
  } cases[] = {
      {"YYYY-MM-DD", {{dfkYYYY, "YYYY"}, {dfkLiteral, "-"}, {dfkMM, "MM"}, {dfkLiteral, "-"},
                      {dfkDD, "DD"}}},
      {"HH24:NN", {{dfkHH24, "HH24"}, {dfkLiteral, ":"}, {dfkNN, "NN"}}},
      {"\"Year \"YYYY", {{dfkLiteral, "Year "}, {dfkYYYY, "YYYY"}}},
      {"yyyy Month", {{dfkYYYY, "yyyy"}, {dfkLiteral, " "}, {dfkMONTH, "Month"}}},
      {"T x", {{dfkLiteral, "T x"}}},
      {"'YYYY'", {{dfkLiteral, "YYYY"}}},
      {"a''b", {{dfkLiteral, "a"}, {dfkLiteral, ""}, {dfkLiteral, "b"}}},
      {"\"it's\"DD", {{dfkLiteral, "it's"}, {dfkDD, "DD"}}},
      {"DD'open", {{dfkDD, "DD"}, {dfkLiteral, "open"}}},
      {"DDDD", {{dfkDDD, "DDD"}, {dfkD, "D"}}},
      {"MONDAY", {{dfkMON, "MON"}, {dfkDAY, "DAY"}}},
      {"HH12HHH", {{dfkHH12, "HH12"}, {dfkHH, "HH"}, {dfkH, "H"}}},
      {"h24h12ampmx", {{dfkH24, "h24"}, {dfkH12, "h12"}, {dfkAMPM, "ampm"}, {dfkLiteral, "x"}}},
      {"QRMDYDWNNNSSSYEAR", {{dfkQ, "Q"}, {dfkRM, "RM"}, {dfkDY, "DY"}, {dfkDW, "DW"},
                             {dfkNN, "NN"}, {dfkN, "N"}, {dfkSS, "SS"}, {dfkS, "S"},
                             {dfkYEAR, "YEAR"}}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const TDateFormater formater(c.format);
    ASSERT_EQ(formater.Tokens().size(), c.tokens.size());
    for (size_t i = 0; i < c.tokens.size(); ++i) {
      EXPECT_EQ(formater.Tokens()[i].kind, c.tokens[i].kind) << i;
      EXPECT_EQ(formater.Tokens()[i].text, c.tokens[i].text) << i;
    }
  }
}

TEST_F(DateFormaterTest, TextsAreReadFieldByField) {
  struct Case {
    const char* format;
    const char* text;
    double expected;
  } cases[] = {
      {"YYYY-MM-DD", "2024-03-05", At(2024, 3, 5)},
      {"HH24:NN:SS", "13:45:10", TimeOf(13, 45, 10)},
      {"M/D/YYYY", "1/2/2024", At(2024, 1, 2)},
      {"YYYY M D", "2024 1 5", At(2024, 1, 5)},
      {"YYYY M D", "2024 12 31", At(2024, 12, 31)},
      {"YYYY Q", "2024 2", 0.0},
      {"YYYY Q DD", "2024 2 15", At(2024, 4, 15)},
      {"HH12 AMPM", "03 PM", TimeOf(15, 0)},
      {"HH AMPM", "00 PM", TimeOf(12, 0)},
      {"HH AMPM", "11 am", TimeOf(11, 0)},
      {"H:N:S", "7:05:09", TimeOf(0, 5, 9)},  // H reads nothing
      {"DD.MM.YY", "05.03.29", At(2029, 3, 5)},
      {"DD.MM.YY", "05.03.30", At(1930, 3, 5)},
      {"DD.MM.YY", "05.03.00", At(2000, 3, 5)},
      {"DD.MM.YY", "05.03.99", At(1999, 3, 5)},
      {"YYYY-MM-DD", "2024/03/05 and more", At(2024, 3, 5)},
      {"DD MON YYYY", "05 Mar 2024", 0.0},  // MON reads no month
      {"'Year: 'YYYY", "Year: 2024", 0.0},
      {"YEAR-MM-DD HH24:NN", "1800-01-01 12:30", At(1800, 1, 1, 12, 30)},
      {"YYYY-MM-DD", "0001-01-01", At(1, 1, 1)},
      {"YYYY-MM-DD", "9999-12-31", At(9999, 12, 31)},
      {"DD.MM.YYYY", "29.02.2024", At(2024, 2, 29)},
      {"", "anything", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " / " + c.text);
    EXPECT_EQ(TDateFormater(c.format).ParseText(c.text), c.expected);
  }
}

TEST_F(DateFormaterTest, BadTextsRaiseTheirErrors) {
  struct Case {
    const char* format;
    const char* text;
    int32_t code;
    const char* message;  // the start of the engine's message
  } cases[] = {
      {"HH12 AMPM", "03 XM", 30129, "AM/PM word expected, but 'XM' found"},
      {"HH12 AMPM", "03 P", 30129, "AM/PM word expected, but 'P' found"},
      {"YYYY-MM-DD", "2024-03-5", 30711, "Date format field 'DD' needs 2 characters, but '5' found"},
      {"YYYY-MM-DD", "2024-03", 30711, "Date format field 'DD' needs 2 characters, but '' found"},
      {"yyyy", "24", 30711, "Date format field 'yyyy' needs 4 characters, but '24' found"},
      {"YYYY M", "2024 ", 30711, "Date format field 'M' needs 1 characters, but '' found"},
      {"DD.MM.YY H24:NN", "05.03.24 7:05", 30711, "Date format field 'NN' needs 2"},
      {"MONTHMONTHYYYY", "ab", 30711, "Date format field 'YYYY' needs 4 characters, but ''"},
      {"YYYY", "20x4", 30710, "'20x4' is not a valid integer value"},
      {"YYYY", "-024", 30710, "'-024' is not a valid integer value"},
      {"DD", " 5", 30710, "' 5' is not a valid integer value"},
      {"M/D", "x/2", 30710, "'x' is not a valid integer value"},
      {"YYYY-MM-DD", "2024-13-01", 30712, "Invalid argument to date encode"},
      {"YYYY-MM-DD", "2023-02-29", 30712, "Invalid argument to date encode"},
      {"YYYY-MM-DD", "0000-01-01", 30712, "Invalid argument to date encode"},
      {"YYYY-MM-DD", "2024-00-01", 30712, "Invalid argument to date encode"},
      {"MM-DD", "03-00", 30712, "Invalid argument to date encode"},
      {"YYYY Q DD", "2024 5 01", 30712, "Invalid argument to date encode"},
      {"YYYY Q DD", "2024 0 01", 30712, "Invalid argument to date encode"},
      {"HH24:NN", "24:00", 30713, "Invalid argument to time encode"},
      {"HH24:NN", "12:60", 30713, "Invalid argument to time encode"},
      {"HH24:NN:SS", "12:00:60", 30713, "Invalid argument to time encode"},
      {"HH12 AMPM", "12 PM", 30713, "Invalid argument to time encode"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " / " + c.text);
    const TDateFormater formater(c.format);
    EXPECT_EQ(ErrorCode([&] { formater.ParseText(c.text); }), c.code);
    EXPECT_EQ(ErrorOf([&] { formater.ParseText(c.text); }).rfind(c.message, 0), 0u)
        << ErrorOf([&] { formater.ParseText(c.text); });
  }
}

TEST_F(DateFormaterTest, ValuesAreWrittenWordByWord) {
  struct Case {
    const char* format;
    double value;
    const char* expected;
  } cases[] = {
      {"YYYY-MM-DD", At(2024, 3, 5), "2024-03-05"},
      {"YEAR/M/D", At(2024, 3, 5), "2024/3/5"},
      {"YY", At(2005, 1, 1), "05"},
      {"YYYY", At(987, 1, 1), "0987"},
      {"Q", At(2024, 8, 1), "3"},
      {"Q", At(2024, 12, 31), "4"},
      {"RM", At(2024, 8, 20), "VIII"},
      {"DD-RM-YYYY", At(2024, 12, 1), "01-XII-2024"},
      {"DDD", At(2024, 3, 5), "65"},
      {"DDD", At(2024, 12, 31), "366"},
      {"DW", At(2024, 3, 4), "1"},
      {"DW", At(2024, 3, 10), "7"},
      {"HH12 AMPM", At(2024, 3, 5, 12, 30), "00 PM"},
      {"HH AMPM", At(2024, 3, 5, 0, 15), "00 AM"},
      {"H12 H H24", At(2024, 3, 5, 13, 0), "1 1 13"},
      {"HH24:NN:SS", At(2024, 3, 5, 9, 5, 7), "09:05:07"},
      {"H24:N:S", At(2024, 3, 5, 9, 5, 7), "9:5:7"},
      {"'Year: 'YYYY", At(2024, 6, 1), "Year: 2024"},
      {"MONTH", At(2024, 3, 5), "b\xF8" "ezen"},
      {"MON", At(2024, 3, 5), "b\xF8" "e"},
      {"DAY", At(2024, 3, 5), "\xFAter\xFD"},
      {"DY", At(2024, 3, 5), "\xFAt"},
      {"YYYY-MM-DD HH24:NN", At(1800, 1, 1, 12, 30), "1800-01-01 12:30"},
      {"YYYY-MM-DD HH24:NN", At(1, 1, 1, 23, 59), "0001-01-01 23:59"},
      {"HH24:NN", TimeOf(7, 45), "07:45"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(TDateFormater(c.format).FormatValue(c.value), c.expected);
  }
}

TEST_F(DateFormaterTest, ValuesOutsideTheCalendarRaiseTheConversionError) {
  const TDateFormater formater("YYYY-MM-DD");
  const double day_after_last = DayMsToCalendar(kMaxCalendarDay + 1, 0);
  const double day_before_first = DayMsToCalendar(kMinCalendarDay - 1, 0);
  for (double value : {std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(), day_after_last,
                       day_before_first, 1e300}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(ErrorOf([&] { formater.FormatValue(value); }),
              "Cannot cast from 'DATETIME' to 'STRING' - Native error: 30714");
  }
}

TEST_F(DateFormaterTest, FormattedTextsReadBackToTheSameValue) {
  const TDateFormater formater("YYYY-MM-DD HH24:NN:SS");
  std::mt19937 rng(7);
  std::uniform_int_distribution<int32_t> days(kMinCalendarDay, kMaxCalendarDay);
  std::uniform_int_distribution<int32_t> seconds(0, 86399);
  for (int i = 0; i < 2000; ++i) {
    const double value = DayMsToCalendar(days(rng), seconds(rng) * 1000);
    const std::string text = formater.FormatValue(value);
    ASSERT_EQ(formater.ParseText(text), value) << text;
  }
}

TEST_F(DateFormaterTest, TheLongestTextCountsTheLongestNameOfTheProfile) {
  struct Case {
    const char* format;
    int32_t czech;
    int32_t english;
  } cases[] = {
      {"DD-RM-YYYY", 12, 12}, {"MONTH", 9, 9},        {"DAY", 12, 12}, {"MON", 3, 3},
      {"DY", 2, 3},           {"'Year: 'YYYY", 10, 10}, {"", 0, 0},    {"HH12 AMPM", 5, 5},
      {"Q DDD DW", 8, 8},
  };
  const auto english = platform::LocaleProfile::FromLocale("en_US");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(TDateFormater(c.format).MaxTextLength(), c.czech);
    EXPECT_EQ(TDateFormater(c.format, *english).MaxTextLength(), c.english);
  }

  platform::LocaleFormats formats = platform::LocaleProfile::Czech()->formats();
  formats.long_month_names[4] = "Kv\xECten-dlouhy-mesic";  // 19 characters
  formats.long_day_names[2] = "Uterni-den-s-dlouhym-jmenem";   // 27
  formats.short_day_names[2] = "Ute";
  formats.short_month_names[4] = "Kvet";
  const auto longer = platform::LocaleProfile::WithFormats("cs_CZ", formats);
  const TDateFormater formater("MONTH|DAY|MON|DY", *longer);
  EXPECT_EQ(formater.MaxTextLength(), 19 + 1 + 27 + 1 + 4 + 1 + 3);
  EXPECT_EQ(formater.FormatValue(At(2024, 5, 7)),
            "Kv\xECten-dlouhy-mesic|Uterni-den-s-dlouhym-jmenem|Kvet|Ute");
}

TEST_F(DateFormaterTest, NamesAreThoseOfTheProfileCurrentAtCreation) {
  const TDateFormater czech("MONTH DY");
  platform::SetCurrentLocale(platform::LocaleProfile::FromLocale("en_US"));
  const TDateFormater english("MONTH DY");
  EXPECT_EQ(czech.FormatValue(At(2024, 3, 5)), "b\xF8" "ezen \xFAt");
  EXPECT_EQ(english.FormatValue(At(2024, 3, 5)), "March Tue");
  EXPECT_EQ(czech.MaxTextLength(), 9 + 1 + 2);
}

}  // namespace
}  // namespace kelvorin
