#include "db/tables/btree/key_path.h"

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/btree_errors.h"

namespace kelvorin {

int ComparePaths(const TABSKeyPath* left, const TABSKeyPath* right) {
  if (left == nullptr) throw EABSException(native::kComparePathsLeftNil);
  if (right == nullptr) throw EABSException(native::kComparePathsRightNil);
  if (left->level_count != right->level_count) throw EABSException(native::kComparePathsLevelMismatch);
  for (int32_t l = 0; l < left->level_count; ++l) {
    const TABSKeyPathLevel& a = left->levels[l];
    const TABSKeyPathLevel& b = right->levels[l];
    if (a.page_no != b.page_no) throw EABSException(native::kComparePathsPageMismatch);
    if (a.position != b.position) return a.position < b.position ? -1 : 1;
  }
  return 0;
}

double PathFraction(const TABSKeyPath& path) {
  double fraction = 0;
  double scale = 1;
  for (int32_t l = 0; l < path.level_count; ++l) {
    const TABSKeyPathLevel& level = path.levels[l];
    if (level.count <= 0) break;
    scale /= level.count;
    const int32_t position = level.position < 0 ? 0 : (level.position > level.count ? level.count : level.position);
    fraction += position * scale;
  }
  return fraction < 1 ? fraction : 1;
}

}  // namespace kelvorin
