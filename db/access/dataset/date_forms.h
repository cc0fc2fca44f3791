// The dataset's forms of dates and times, beside the stored form (a day
// number, 1 January of year 1 being day 1, and milliseconds of the day): a
// date is its day number, a time its milliseconds since midnight, a
// date-and-time the milliseconds since the start of day 1, and a time
// stamp the SQL time stamp record.
#pragma once

#include <cstdint>

namespace kelvorin {

struct TSQLTimeStamp {
  int16_t year = 0;
  uint16_t month = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  // Milliseconds.
  uint32_t fractions = 0;

  bool operator==(const TSQLTimeStamp&) const = default;
};

// A time given in (fractional) milliseconds, rounded to the nearest one.
int32_t DataSetTime(double milliseconds);
int64_t DataSetDateTime(int32_t day_number, int32_t milliseconds);
// False for a value before day 1 or after 31 December 9999.
bool StoredDateTime(int64_t value, int32_t* day_number, int32_t* milliseconds);
TSQLTimeStamp SQLTimeStampOf(int32_t day_number, int32_t milliseconds);
// False for a record that names no calendar date or time of day.
bool StoredTimeStamp(const TSQLTimeStamp& stamp, int32_t* day_number, int32_t* milliseconds);

}  // namespace kelvorin
