#include "tools/kelvorin/date_text.h"

#include <cstdio>

#include "db/tables/values/value_encoding.h"
#include "platform/locale_datetime.h"

namespace kelvorin::tool {
namespace {

// Reads `digits` digits at `pos`.
std::optional<int> TakeNumber(std::string_view text, size_t* pos, size_t digits) {
  if (*pos + digits > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[*pos + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  *pos += digits;
  return value;
}

bool Take(std::string_view text, size_t* pos, char c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

}  // namespace

std::optional<int32_t> ParseDayNumber(std::string_view text, size_t* pos) {
  const auto year = TakeNumber(text, pos, 4);
  const bool dash = year && Take(text, pos, '-');
  const auto month = dash ? TakeNumber(text, pos, 2) : std::nullopt;
  const auto day = month && Take(text, pos, '-') ? TakeNumber(text, pos, 2) : std::nullopt;
  if (!day || *year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > platform::DaysInMonth(*year, *month)) {
    return std::nullopt;
  }
  return static_cast<int32_t>(DayNumberOf(*year, *month, *day));
}

std::optional<int32_t> ParseTimeOfDay(std::string_view text, size_t* pos) {
  const auto hour = TakeNumber(text, pos, 2);
  if (!hour || !Take(text, pos, ':')) return std::nullopt;
  const auto minute = TakeNumber(text, pos, 2);
  std::optional<int> second = 0;
  std::optional<int> milli = 0;
  if (Take(text, pos, ':')) {
    second = TakeNumber(text, pos, 2);
    if (Take(text, pos, '.')) milli = TakeNumber(text, pos, 3);
  }
  if (!minute || !second || !milli || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  return ((*hour * 60 + *minute) * 60 + *second) * 1000 + *milli;
}

std::string DayNumberText(int32_t day_number) {
  const TABSCivilDate date = CivilDateOf(day_number);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::string TimeOfDayText(int32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return text;
}

}  // namespace kelvorin::tool
