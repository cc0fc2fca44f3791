// The system clock in local time.
#pragma once

#include "platform/locale_datetime.h"

namespace platform {

// The current local date and time, to the millisecond.
DateTimeFields LocalNow();

}  // namespace platform
