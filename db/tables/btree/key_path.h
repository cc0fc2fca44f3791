// TABSKeyPath: the route from a tree's root to one leaf position: per level
// the page, the entry position in it and that page's entry count at the
// time the path was made.
#pragma once

#include <array>
#include <cstdint>

#include "db/tables/btree/btree_page.h"

namespace kelvorin {

struct TABSKeyPathLevel {
  int32_t page_no = -1;
  int32_t position = 0;
  int32_t count = 0;
};

class TABSKeyPath {
 public:
  void Clear() {
    level_count = 0;
    current_level = 0;
  }
  bool IsEmpty() const { return level_count == 0; }
  TABSKeyPathLevel& Leaf() { return levels[level_count - 1]; }
  const TABSKeyPathLevel& Leaf() const { return levels[level_count - 1]; }
  // Leaf position on an entry (not before the first or after the last).
  bool OnEntry() const { return level_count > 0 && Leaf().position >= 0 && Leaf().position < Leaf().count; }

  std::array<TABSKeyPathLevel, kMaxTreeDepth> levels;
  int32_t level_count = 0;
  int32_t current_level = 0;
};

// Order of two paths of one tree, level by level by position: -1, 0 or +1.
// Raises "Invalid index key path" when the paths part at a page or have
// different depths, "Nil pointer occured" when either is missing.
int ComparePaths(const TABSKeyPath* left, const TABSKeyPath* right);

// Where the path lies in the tree's order, in [0, 1): each level's position
// weighted by the entry counts of the levels down to it.
double PathFraction(const TABSKeyPath& path);

}  // namespace kelvorin
