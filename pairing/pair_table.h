// The pair table of the grouping into fours: which two players hold each pair
// number in one table column.
#pragma once

#include <cstdint>
#include <vector>

#include "pairing/grid.h"

namespace pairing {

struct PairMembers {
  std::int32_t first = 0;   // 0: none
  std::int32_t second = 0;  // 0: none
};

// Entries 0 to player_count div 2 from the table numbers in `col` of rows 1 to
// player_count. Raises "Range check error" for a number outside that range and
// the pairing error for a number held by a third player.
std::vector<PairMembers> BuildPairTable(const Grid& grid, int col, std::int32_t player_count);

}  // namespace pairing
