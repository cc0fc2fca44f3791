// The matching itself: a maximum-weight matching among the matchings of
// maximum cardinality, so that no matching with more edges exists whatever
// the weights (on the pairing's complete graphs: every vertex but at most one
// is matched).
#pragma once

#include <string>
#include <vector>

#include "tools/wmatch/graph_input.h"

namespace wmatch {

struct MatchResult {
  bool ok = false;
  std::vector<int> mate;  // mate[v] for v = 1..n, 0 for an unmatched vertex
  std::string error;
};

MatchResult MatchGraph(const Graph& graph);

}  // namespace wmatch
