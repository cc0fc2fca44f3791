// Compiles a format from the input and runs it both ways: every formatted
// text fits the declared longest text, and reading any text either gives a
// value or raises the engine error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "db/query/dates/date_formater.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_encoding.h"
#include "platform/locale_profile.h"

namespace {

// Dates on both sides of 1899-12-30, at both ends of the calendar and of the day.
constexpr double kSampleValues[] = {0.0,     0.5,      -0.25,    45356.99999,  -693593.0,
                                    2958465.9999884, -1.5,    36526.0,      60.75};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool locale_set = [] {
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    return true;
  }();
  (void)locale_set;
  if (size == 0) return 0;
  // First byte: the format's length; then the format, then the text to read.
  const size_t format_size = std::min<size_t>(data[0], size - 1);
  const std::string_view format(reinterpret_cast<const char*>(data + 1), format_size);
  const std::string_view text(reinterpret_cast<const char*>(data + 1 + format_size),
                              size - 1 - format_size);
  const kelvorin::TDateFormater formater(format);
  const auto check_width = [&](double value) {
    try {
      const std::string written = formater.FormatValue(value);
      if (written.size() > static_cast<size_t>(formater.MaxTextLength())) {
        std::fprintf(stderr, "'%s' is longer than %d\n", written.c_str(), formater.MaxTextLength());
        std::abort();
      }
    } catch (const kelvorin::EABSException&) {
    }
  };
  for (double value : kSampleValues) check_width(value);
  if (text.size() >= sizeof(double)) {
    double value = 0;
    std::memcpy(&value, text.data(), sizeof(double));
    check_width(value);
  }
  try {
    const double value = formater.ParseText(text);
    check_width(value);
  } catch (const kelvorin::EABSException&) {
  }
  return 0;
}
