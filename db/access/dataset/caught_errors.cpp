#include "db/access/dataset/caught_errors.h"

#include "db/access/session/access_events.h"

namespace kelvorin {

void ReportCaughtException(std::exception_ptr error) noexcept { AccessErrorHook().Report(error); }

}  // namespace kelvorin
