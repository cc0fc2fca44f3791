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
#include "tools/kelvorin/command.h"
#include "tools/kelvorin/date_text.h"
#include "tools/kelvorin/engine_text.h"

namespace kelvorin::tool {
namespace {

constexpr const char* kValueForm = "YYYY-MM-DD[ HH:MM[:SS[.mmm]]] or HH:MM[:SS[.mmm]]";

std::optional<double> ParseValue(std::string_view text) {
  size_t pos = 0;
  int32_t day = kDateDelta;
  if (text.size() >= 10 && text[4] == '-') {
    const std::optional<int32_t> date = ParseDayNumber(text, &pos);
    if (!date) return std::nullopt;
    day = *date;
    if (pos == text.size()) return DayMsToCalendar(day, 0);
    if (pos >= text.size() || text[pos++] != ' ') return std::nullopt;
  }
  const auto ms = ParseTimeOfDay(text, &pos);
  if (!ms || pos != text.size()) return std::nullopt;
  return DayMsToCalendar(day, *ms);
}

std::string PrintValue(double value) {
  int32_t day = 0;
  int32_t ms = 0;
  if (!CalendarToDayMs(value, &day, &ms)) return "?";
  return DayNumberText(day) + " " + TimeOfDayText(ms);
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
