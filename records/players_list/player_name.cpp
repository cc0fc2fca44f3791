#include "records/players_list/player_name.h"

#include <cstddef>

#include "platform/locale_code_page.h"
#include "records/records_error.h"

namespace records {

namespace {

// The code point of the UTF-8 sequence at `pos` (advanced past it); false
// for a malformed sequence, an overlong form or a surrogate.
bool DecodeUtf8(std::string_view text, size_t& pos, char32_t& code) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    code = lead;
    ++pos;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (pos + length > text.size()) return false;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return false;
    code = (code << 6) | (byte(pos + i) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
  pos += length;
  return true;
}

}  // namespace

std::string PlayerNameFromUtf8(std::string_view utf8) {
  std::string name;
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t start = pos;
    char32_t code = 0;
    if (!DecodeUtf8(utf8, pos, code)) throw RecordsError("Jméno není platný text UTF-8");
    char ansi = 0;
    if (code > 0xFFFF || !platform::WideCharToAnsi(static_cast<char16_t>(code), &ansi)) {
      throw RecordsError("Znak '" + std::string(utf8.substr(start, pos - start)) +
                         "' ve jménu nelze uložit (kódová stránka Windows-1250 ho nemá)");
    }
    name += ansi;
  }
  return CutPlayerName(name);
}

std::string CutPlayerName(std::string_view name) {
  return std::string(name.substr(0, static_cast<size_t>(kPlayerNameLength)));
}

}  // namespace records
