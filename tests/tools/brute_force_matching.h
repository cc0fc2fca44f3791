// Reference matcher for tests: the best matching by (cardinality, weight)
// over every matching of a small graph, by dynamic programming over vertex
// subsets.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace matching_test {

struct Best {
  int edges = 0;
  std::int64_t weight = 0;
  bool operator<(const Best& o) const {
    return edges != o.edges ? edges < o.edges : weight < o.weight;
  }
};

// weight[i][j] for 0-based vertices; has_edge[i][j] false for a missing edge.
inline Best BruteForceMatching(const std::vector<std::vector<std::int64_t>>& weight,
                               const std::vector<std::vector<bool>>& has_edge) {
  const int n = static_cast<int>(weight.size());
  std::vector<Best> best(std::size_t{1} << n);
  // best[mask]: best matching among the vertices in mask.
  for (std::size_t mask = 1; mask < best.size(); ++mask) {
    int low = __builtin_ctzll(mask);
    std::size_t rest = mask & ~(std::size_t{1} << low);
    Best b = best[rest];  // low unmatched
    for (int j = low + 1; j < n; ++j) {
      if (!(rest >> j & 1) || !has_edge[low][j]) continue;
      Best with = best[rest & ~(std::size_t{1} << j)];
      with.edges += 1;
      with.weight += weight[low][j];
      if (b < with) b = with;
    }
    best[mask] = b;
  }
  return best.back();
}

}  // namespace matching_test
