// The names the access layer keeps (session names, database aliases): at
// most 255 bytes of the engine's 8-bit code page, each a character that the
// code page assigns (no control characters and none of its unassigned
// bytes). A name that breaks this is refused, never cut or changed. An
// empty name is left to the callers, which refuse it where one is needed
// with their own message.
#pragma once

#include <string_view>

namespace kelvorin {

void CheckAccessName(std::string_view name);

}  // namespace kelvorin
