// The pairing engine's one error type and the texts it carries.
//
// Every failure of a pairing step is a PairingError whose what() is the exact
// text the user sees in the message box (or kesh-draw prints). The helpers
// build the platform-style messages the steps raise.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pairing {

class PairingError : public std::runtime_error {
 public:
  explicit PairingError(const std::string& message) : std::runtime_error(message) {}
};

// "Range check error": an index or an 8-bit table number out of its range.
[[noreturn]] void ThrowRangeCheck();
// "'<text>' is not a valid integer value".
[[noreturn]] void ThrowInvalidInteger(std::string_view text);
// "'<text>' is not a valid floating point value".
[[noreturn]] void ThrowInvalidFloat(std::string_view text);
// "List index out of bounds (<index>)".
[[noreturn]] void ThrowListIndex(long long index);
// "Cannot open file "<path>". <reason>" / "Cannot create file ...".
[[noreturn]] void ThrowCannotOpen(const std::string& path, const std::string& reason);
[[noreturn]] void ThrowCannotCreate(const std::string& path, const std::string& reason);

}  // namespace pairing
