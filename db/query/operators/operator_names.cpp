#include "db/query/operators/operator_names.h"

#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

namespace {

constexpr size_t kMaxNameBytes = 255;

bool ClashesBefore(const std::vector<std::string>& names, size_t index, const std::string& name) {
  for (size_t j = 0; j < index; ++j) {
    if (SameObjectName(names[j], name)) return true;
  }
  return false;
}

// `base` followed by `suffix`, the base cut so that both fit.
std::string WithSuffix(const std::string& base, const std::string& suffix) {
  if (base.size() + suffix.size() <= kMaxNameBytes) return base + suffix;
  return base.substr(0, kMaxNameBytes - suffix.size()) + suffix;
}

}  // namespace

void MakeNamesUnique(std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) names[i] = "Expr";
    if (!ClashesBefore(names, i, names[i])) continue;
    for (int counter = 1; ; ++counter) {
      const std::string candidate = WithSuffix(names[i], "_" + std::to_string(counter));
      if (!ClashesBefore(names, i, candidate)) {
        names[i] = candidate;
        break;
      }
    }
  }
}

}  // namespace kelvorin
