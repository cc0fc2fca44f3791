// Field definitions as the tool's commands take them: FIELD:TYPE[:SIZE],
// the type by its SQL name (INTEGER, STRING, AUTOINC…), the size required
// for string and byte types. Names on the command line are UTF-8.
#pragma once

#include <optional>
#include <string>

#include "db/tables/metadata/table_metadata.h"

namespace kelvorin::tool {

// A name given in UTF-8, in the engine's code page; none when a character
// has no 8-bit form.
std::optional<std::string> EngineName(const std::string& utf8);

// The field of FIELD:TYPE[:SIZE]; none when the text is not one, with the
// reason in `why`.
std::optional<TABSDatasetFieldDef> ParseFieldText(const std::string& text, std::string& why);

}  // namespace kelvorin::tool
