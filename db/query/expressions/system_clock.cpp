// The clock the date functions read unless their owner gives another.
#include "db/query/expressions/expr_sources.h"
#include "db/tables/values/value_encoding.h"
#include "platform/clock.h"

namespace kelvorin {
namespace {

class TABSSystemClock : public TABSExprClock {
 public:
  double Now() const override {
    const platform::DateTimeFields now = platform::LocalNow();
    const int64_t day = DayNumberOf(now.year, now.month, now.day);
    const int64_t ms =
        ((now.hour * 60 + now.minute) * 60 + now.second) * 1000LL + now.millisecond;
    return DayMsToCalendar(static_cast<int32_t>(day), static_cast<int32_t>(ms));
  }
};

}  // namespace

const TABSExprClock& SystemClock() {
  static const TABSSystemClock clock;
  return clock;
}

}  // namespace kelvorin
