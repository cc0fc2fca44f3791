#include "platform/clock.h"

#include <sys/time.h>

#include <ctime>

namespace platform {

DateTimeFields LocalNow() {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm local{};
  const time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  DateTimeFields fields;
  fields.year = local.tm_year + 1900;
  fields.month = local.tm_mon + 1;
  fields.day = local.tm_mday;
  fields.day_of_week = local.tm_wday;
  fields.hour = local.tm_hour;
  fields.minute = local.tm_min;
  fields.second = local.tm_sec;
  fields.millisecond = static_cast<int>(now.tv_usec / 1000);
  return fields;
}

}  // namespace platform
