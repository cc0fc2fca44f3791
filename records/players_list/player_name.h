// A player's name as the players table keeps it: at most 20 characters of
// the 8-bit code page (Windows-1250). Text from the widgets and from UTF-8
// files is converted here, and refused when a character has no 8-bit form,
// so that "Søren" never becomes "S?ren".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace records {

inline constexpr int32_t kPlayerNameLength = 20;

// The code-page form of UTF-8 text, cut to 20 characters. Raises
// RecordsError naming the character the code page cannot hold, or saying
// that the text is not UTF-8.
std::string PlayerNameFromUtf8(std::string_view utf8);
// A code-page name cut to 20 characters.
std::string CutPlayerName(std::string_view name);

}  // namespace records
