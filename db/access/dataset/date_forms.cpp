#include "db/access/dataset/date_forms.h"

#include <cmath>

#include "db/tables/values/value_encoding.h"

namespace kelvorin {

int32_t DataSetTime(double milliseconds) { return static_cast<int32_t>(std::llround(milliseconds)); }

int64_t DataSetDateTime(int32_t day_number, int32_t milliseconds) {
  return (int64_t{day_number} - 1) * kMillisecondsPerDay + milliseconds;
}

bool StoredDateTime(int64_t value, int32_t* day_number, int32_t* milliseconds) {
  if (value < 0) return false;
  const int64_t day = value / kMillisecondsPerDay + 1;
  if (!IsCalendarDay(day)) return false;
  *day_number = static_cast<int32_t>(day);
  *milliseconds = static_cast<int32_t>(value % kMillisecondsPerDay);
  return true;
}

TSQLTimeStamp SQLTimeStampOf(int32_t day_number, int32_t milliseconds) {
  const TABSCivilDate date = CivilDateOf(day_number);
  TSQLTimeStamp stamp;
  stamp.year = static_cast<int16_t>(date.year);
  stamp.month = static_cast<uint16_t>(date.month);
  stamp.day = static_cast<uint16_t>(date.day);
  stamp.hour = static_cast<uint16_t>(milliseconds / 3600000);
  stamp.minute = static_cast<uint16_t>(milliseconds / 60000 % 60);
  stamp.second = static_cast<uint16_t>(milliseconds / 1000 % 60);
  stamp.fractions = static_cast<uint32_t>(milliseconds % 1000);
  return stamp;
}

bool StoredTimeStamp(const TSQLTimeStamp& stamp, int32_t* day_number, int32_t* milliseconds) {
  if (stamp.month < 1 || stamp.month > 12 || stamp.day < 1 || stamp.hour > 23 || stamp.minute > 59 ||
      stamp.second > 59 || stamp.fractions > 999) {
    return false;
  }
  const int64_t day = DayNumberOf(stamp.year, stamp.month, stamp.day);
  // A day past the month's end names another date.
  if (!IsCalendarDay(day) || CivilDateOf(day).day != stamp.day) return false;
  *day_number = static_cast<int32_t>(day);
  *milliseconds = ((stamp.hour * 60 + stamp.minute) * 60 + stamp.second) * 1000 + static_cast<int32_t>(stamp.fractions);
  return true;
}

}  // namespace kelvorin
