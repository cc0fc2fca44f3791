// EXTENDED conversion and calendar arithmetic.
#include "db/tables/values/value_encoding.h"

#include <cmath>

namespace kelvorin {

long double DecodeExtended(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  const uint64_t mantissa = LoadLE<uint64_t>(b);
  const uint16_t top = LoadLE<uint16_t>(b + 8);
  const bool negative = (top & 0x8000) != 0;
  const int exponent = top & 0x7FFF;
  long double value;
  if (exponent == 0x7FFF) {
    value = (mantissa << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                 : std::numeric_limits<long double>::quiet_NaN();
  } else {
    // Denormals use the smallest exponent; the integer bit is explicit.
    const int unbiased = (exponent == 0 ? 1 : exponent) - 16383 - 63;
    value = std::ldexp(static_cast<long double>(mantissa), unbiased);
  }
  return negative ? -value : value;
}

void EncodeExtended(void* p, long double value) {
  auto* b = static_cast<uint8_t*>(p);
  uint64_t mantissa = 0;
  uint16_t top = std::signbit(value) ? 0x8000 : 0;
  if (std::isnan(value)) {
    top |= 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(value)) {
    top |= 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (value != 0) {
    int e = 0;
    const long double m = std::frexp(std::fabs(value), &e);  // value = m * 2^e, m in [0.5, 1)
    int biased = e - 1 + 16383;
    if (biased >= 0x7FFF) {
      top |= 0x7FFF;
      mantissa = 0x8000000000000000ull;
    } else if (biased <= 0) {
      mantissa = static_cast<uint64_t>(std::ldexp(std::fabs(value), 16382 + 63));
    } else {
      mantissa = static_cast<uint64_t>(std::ldexp(m, 64));
      top |= static_cast<uint16_t>(biased);
    }
  }
  StoreLE<uint64_t>(b, mantissa);
  StoreLE<uint16_t>(b + 8, top);
}

int64_t DayNumberOf(int64_t year, int month, int day) {
  // Days from civil (proleptic Gregorian), counted so that 0001-01-01 is 1.
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 306 + 1;
}

TABSCivilDate CivilDateOf(int64_t day_number) {
  const int64_t z = day_number - 1 + 306;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  // Day 1 (0001-01-01) was a Monday.
  int64_t dow = day_number % 7;
  if (dow < 0) dow += 7;
  return TABSCivilDate{static_cast<int>(year), month, day, static_cast<int>(dow)};
}

bool CalendarToDayMs(double value, int32_t* day, int32_t* ms) {
  if (!std::isfinite(value)) return false;
  const double whole = std::trunc(value);
  if (whole < -4e9 || whole > 4e9) return false;
  int64_t days = static_cast<int64_t>(whole) + kDateDelta;
  int64_t millis =
      static_cast<int64_t>(std::nearbyint(std::fabs(value - whole) * kMillisecondsPerDay));
  if (millis >= kMillisecondsPerDay) {
    millis -= kMillisecondsPerDay;
    ++days;  // the next day in time, also before 1899-12-30
  }
  if (days < std::numeric_limits<int32_t>::min() || days > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *day = static_cast<int32_t>(days);
  *ms = static_cast<int32_t>(millis);
  return true;
}

double DayMsToCalendar(int32_t day, int32_t ms) {
  const double days = static_cast<double>(static_cast<int64_t>(day) - kDateDelta);
  const double fraction = static_cast<double>(ms) / kMillisecondsPerDay;
  return days < 0 ? days - fraction : days + fraction;
}

}  // namespace kelvorin
