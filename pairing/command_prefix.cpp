// The process-wide command prefix.
#include "pairing/command_prefix.h"

namespace pairing {
namespace {
std::string& Prefix() {
  static std::string prefix = "cmd ";
  return prefix;
}
}  // namespace

const std::string& CommandPrefix() { return Prefix(); }
void SetCommandPrefix(std::string prefix) { Prefix() = std::move(prefix); }

}  // namespace pairing
