// The texts of the pairing engine's errors.
#include "pairing/pairing_error.h"

namespace pairing {

void ThrowRangeCheck() { throw PairingError("Range check error"); }

void ThrowInvalidInteger(std::string_view text) {
  throw PairingError("'" + std::string(text) + "' is not a valid integer value");
}

void ThrowInvalidFloat(std::string_view text) {
  throw PairingError("'" + std::string(text) + "' is not a valid floating point value");
}

void ThrowListIndex(long long index) {
  throw PairingError("List index out of bounds (" + std::to_string(index) + ")");
}

void ThrowCannotOpen(const std::string& path, const std::string& reason) {
  throw PairingError("Cannot open file \"" + path + "\". " + reason);
}

void ThrowCannotCreate(const std::string& path, const std::string& reason) {
  throw PairingError("Cannot create file \"" + path + "\". " + reason);
}

}  // namespace pairing
