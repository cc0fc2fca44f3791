#include "db/access/session/access_names.h"

#include <string>

#include "db/access/session/session_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/meta_object_def.h"
#include "platform/locale_code_page.h"

namespace kelvorin {

namespace {

// Control characters, and the unassigned bytes, which the code page maps
// to the C1 controls of the same number.
bool IsNameCharacter(unsigned char byte) {
  const char16_t wide = platform::AnsiCharToWide(byte);
  return wide >= 0x20 && wide != 0x7F && !(wide >= 0x80 && wide <= 0x9F);
}

}  // namespace

void CheckAccessName(std::string_view name) {
  if (name.size() > kMaxObjectNameLength) {
    throw EABSException(native::kNameTooLong, {std::string(name.substr(0, 32)) + "..."});
  }
  for (const char c : name) {
    if (!IsNameCharacter(static_cast<unsigned char>(c))) throw EABSException(native::kNameCharacter, {name});
  }
}

}  // namespace kelvorin
