// The fixed text forms of dates and times the tool reads and writes:
// YYYY-MM-DD for a date and HH:MM[:SS[.mmm]] for a time of day (written in
// full as HH:MM:SS.mmm).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvorin::tool {

// Each reads at *pos and moves it past what it read; none when the text
// there is not one.
std::optional<int32_t> ParseDayNumber(std::string_view text, size_t* pos);
std::optional<int32_t> ParseTimeOfDay(std::string_view text, size_t* pos);

std::string DayNumberText(int32_t day_number);
std::string TimeOfDayText(int32_t milliseconds);

}  // namespace kelvorin::tool
