// kelvorin datefmt FORMAT --format VALUE | --parse TEXT: runs a TODATE /
// TOSTRING format string by hand. Values are written in one fixed form,
// YYYY-MM-DD HH:MM:SS.mmm (on input the time, its seconds and milliseconds
// may be left out, and a time alone means the date part 0, 1899-12-30).
// Command-line texts are UTF-8; the engine works in its 8-bit code page.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/query/dates/date_formater.h"
#include "db/tables/values/value_encoding.h"
#include "platform/locale_code_page.h"
#include "platform/locale_datetime.h"
#include "tools/kelvorin/command.h"
#include "tools/kelvorin/engine_text.h"

namespace kelvorin::tool {
namespace {

constexpr const char* kValueForm = "YYYY-MM-DD[ HH:MM[:SS[.mmm]]] or HH:MM[:SS[.mmm]]";

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

// HH:MM[:SS[.mmm]] at `pos` as milliseconds of the day.
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

std::optional<double> ParseValue(std::string_view text) {
  size_t pos = 0;
  int32_t day = kDateDelta;
  if (text.size() >= 10 && text[4] == '-') {
    const auto year = TakeNumber(text, &pos, 4);
    const bool dash = year && Take(text, &pos, '-');
    const auto month = dash ? TakeNumber(text, &pos, 2) : std::nullopt;
    const auto day_of_month = month && Take(text, &pos, '-') ? TakeNumber(text, &pos, 2) : std::nullopt;
    if (!day_of_month || *year < 1 || *month < 1 || *month > 12 || *day_of_month < 1 ||
        *day_of_month > platform::DaysInMonth(*year, *month)) {
      return std::nullopt;
    }
    day = static_cast<int32_t>(DayNumberOf(*year, *month, *day_of_month));
    if (pos == text.size()) return DayMsToCalendar(day, 0);
    if (!Take(text, &pos, ' ')) return std::nullopt;
  }
  const auto ms = ParseTimeOfDay(text, &pos);
  if (!ms || pos != text.size()) return std::nullopt;
  return DayMsToCalendar(day, *ms);
}

std::string PrintValue(double value) {
  int32_t day = 0;
  int32_t ms = 0;
  if (!CalendarToDayMs(value, &day, &ms)) return "?";
  const TABSCivilDate date = CivilDateOf(day);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", date.year, date.month,
                date.day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return text;
}

int RunFormat(const std::vector<std::string>& args) {
  if (args.size() != 3 || (args[1] != "--format" && args[1] != "--parse")) {
    std::fprintf(stderr, "usage: kelvorin datefmt FORMAT --format VALUE | --parse TEXT\n");
    return 1;
  }
  const TDateFormater formater(platform::Utf8ToAnsi(args[0]));
  if (args[1] == "--parse") {
    std::printf("%s\n", PrintValue(formater.ParseText(platform::Utf8ToAnsi(args[2]))).c_str());
    return 0;
  }
  const std::optional<double> value = ParseValue(args[2]);
  if (!value) {
    std::fprintf(stderr, "kelvorin: '%s' is not a date-time (%s)\n", args[2].c_str(), kValueForm);
    return 1;
  }
  std::printf("%s\n", platform::AnsiToUtf8(formater.FormatValue(*value)).c_str());
  return 0;
}

int DateFormat(const std::vector<std::string>& args) {
  return WithEngineTextsInUtf8([&args] { return RunFormat(args); });
}

const KelvorinCommand datefmt_command("datefmt", "FORMAT --format VALUE | --parse TEXT", DateFormat);

}  // namespace
}  // namespace kelvorin::tool
