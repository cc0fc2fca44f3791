// The players list file: one player per line, the id in decimal, a comma and
// the name in double quotes (a quote inside it doubled), each line ended by
// CR LF, in the 8-bit code page. Reading is comma text: outside quotes a
// comma or any character up to a blank separates parts (",," gives an empty
// part), inside quotes two quotes are one; parts after the second are
// ignored and blank lines skipped. Lines may end in CR LF, LF or a lone CR;
// a file starting with the UTF-8 byte-order mark is UTF-8 and its names are
// converted to the code page.
//
// The reader checks the whole file before anything is stored: every error
// names its line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace records {

inline constexpr int32_t kMaxListedPlayers = 511;
inline constexpr size_t kMaxPlayersListBytes = size_t{1} << 20;

struct ListedPlayer {
  int32_t id = 0;
  std::string name;  // code page, at most 20 characters
  bool operator==(const ListedPlayer&) const = default;
};

// The players of a file's bytes. Empty ids are numbered on from the highest
// id the file gives, in line order. Raises RecordsError naming the line:
// a NUL byte, more than 1 MiB or more than 511 players, a line of fewer than
// two parts, an id that is not a whole number in 1..511 or that another
// line has, a UTF-8 name the code page cannot hold.
std::vector<ListedPlayer> ReadPlayersList(std::string_view bytes);

// The file's bytes. Raises RecordsError for a name holding a line break,
// which no line could carry.
std::string WritePlayersList(const std::vector<ListedPlayer>& players);

}  // namespace records
