// Byte encodings of values in record buffers: little-endian integers and
// IEEE floats, the x87 80-bit EXTENDED (converted portably through long
// double), and the calendar: day numbers (0001-01-01 is day 1) with
// milliseconds of the day, and the calendar date-time value (days since
// 1899-12-30 plus the fraction of the day) used at the engine's edges.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "db/storage/file/little_endian.h"

namespace kelvorin {

// EXTENDED: 64-bit mantissa with explicit integer bit, 15-bit exponent, sign.
inline constexpr int kExtendedSize = 10;
long double DecodeExtended(const void* p);
void EncodeExtended(void* p, long double value);

// LOGICAL true as the engine writes it.
inline constexpr uint16_t kLogicalTrue = 0xFFFF;

// The day number that means "no date".
inline constexpr int32_t kEmptyDate = std::numeric_limits<int32_t>::min();
// Day number of 1899-12-30, the calendar date-time value 0.
inline constexpr int32_t kDateDelta = 693594;
inline constexpr int32_t kMillisecondsPerDay = 86400000;
// Day numbers of 0001-01-01 and 9999-12-31.
inline constexpr int32_t kMinCalendarDay = 1;
inline constexpr int32_t kMaxCalendarDay = 3652059;

inline bool IsCalendarDay(int64_t day) { return day >= kMinCalendarDay && day <= kMaxCalendarDay; }

// Day number of a proleptic Gregorian date (any year, 64-bit).
int64_t DayNumberOf(int64_t year, int month, int day);
struct TABSCivilDate {
  int year;
  int month;
  int day;
  int day_of_week;  // 0 Sunday
};
TABSCivilDate CivilDateOf(int64_t day_number);

// Calendar date-time value -> day number and milliseconds. Before 1899-12-30
// the fraction counts forward from the start of the day (its absolute value),
// so times of day stay positive; a rounding up to a whole day carries into the
// next day. False for NaN, infinities and days outside the 32-bit range.
bool CalendarToDayMs(double value, int32_t* day, int32_t* ms);
// And back; exact inverse of CalendarToDayMs for every value it produced.
double DayMsToCalendar(int32_t day, int32_t ms);

}  // namespace kelvorin
