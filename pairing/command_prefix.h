// The command prefix of the matching exchange, one value per process, shared
// by every pairing engine. Each new pairing engine sets it to "cmd ".
#pragma once

#include <string>

namespace pairing {

const std::string& CommandPrefix();
void SetCommandPrefix(std::string prefix);

}  // namespace pairing
