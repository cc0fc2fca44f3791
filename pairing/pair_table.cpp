// Building the pair table from a table column.
#include "pairing/pair_table.h"

#include <string>

#include "pairing/pairing_error.h"
#include "pairing/text_conversion.h"

namespace pairing {

std::vector<PairMembers> BuildPairTable(const Grid& grid, int col, std::int32_t player_count) {
  const std::int32_t pairs = player_count / 2;
  std::vector<PairMembers> table(pairs >= 0 ? static_cast<std::size_t>(pairs) + 1 : 1);
  for (std::int32_t r = 1; r <= player_count; ++r) {
    std::int32_t p = TextToInt(grid.Cell(col, r));
    if (p < 0 || p > pairs) ThrowRangeCheck();
    PairMembers& entry = table[static_cast<std::size_t>(p)];
    if (entry.first == 0) {
      entry.first = r;
    } else if (entry.second != 0) {
      throw PairingError("Nekorektni parovani do dvojic, u stolu cislo " + std::to_string(p) +
                         "jsou  nalosovani vic jak dva hraci!");
    } else {
      entry.second = r;
    }
  }
  return table;
}

}  // namespace pairing
