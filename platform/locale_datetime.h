// Dates and times as text under a locale profile: formatting with a pattern
// (see LocaleFormats) and parsing in the profile's short date and long time
// formats. The calendar itself (day numbers) belongs to the caller; these
// routines work on broken-down fields.
#pragma once

#include <string>
#include <string_view>

#include "platform/locale_profile.h"

namespace platform {

struct DateTimeFields {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int day_of_week = 0;  // 0 Sunday .. 6 Saturday
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

std::string FormatDateTimePattern(std::string_view pattern, const DateTimeFields& fields,
                                  const LocaleProfile& profile);
// The short date, the long time, and the short date followed by a blank and
// the long time.
std::string FormatShortDate(const DateTimeFields& fields, const LocaleProfile& profile);
std::string FormatLongTime(const DateTimeFields& fields, const LocaleProfile& profile);

// Parsing fails (false) on anything but a complete, valid value. A date is
// three numbers in the order of the short date format, separated by the date
// separator (blanks after a separator are allowed); a two-digit year means
// 2000..2049 or 1950..1999. A time is hours and minutes, optionally seconds
// and milliseconds, separated by the time separator, with an optional AM/PM
// designator. A date-time is a date, optionally followed by blanks and a time.
bool ParseDate(std::string_view text, const LocaleProfile& profile, DateTimeFields* fields);
bool ParseTime(std::string_view text, const LocaleProfile& profile, DateTimeFields* fields);
bool ParseDateTime(std::string_view text, const LocaleProfile& profile, DateTimeFields* fields);

}  // namespace platform
