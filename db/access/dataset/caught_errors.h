// Exceptions that must not leave a notification (data links, field events,
// OnFilterRecord, a BLOB stream's destructor) are handed to the
// application's error hook here instead.
#pragma once

#include <exception>
#include <utility>

namespace kelvorin {

// Passes the exception being handled to the error hook; never raises.
void ReportCaughtException(std::exception_ptr error) noexcept;

// Runs a notification; whatever it raises goes to the error hook.
template <typename Notification>
void RunCaught(Notification&& notification) noexcept {
  try {
    std::forward<Notification>(notification)();
  } catch (...) {
    ReportCaughtException(std::current_exception());
  }
}

}  // namespace kelvorin
