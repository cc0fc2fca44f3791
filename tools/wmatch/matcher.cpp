// Maximum-cardinality maximum-weight matching on LEMON's weighted blossom
// algorithm: every weight is raised by one constant larger than what any
// matching's weights can add up to, so one more edge always wins.
#include "tools/wmatch/matcher.h"

#include <lemon/matching.h>
#include <lemon/smart_graph.h>

#include <cstdint>
#include <cstdlib>

namespace wmatch {
namespace {

// LEMON works with four times the weights in its dual values; keep far below
// the 64-bit limit.
constexpr std::int64_t kMaxRaisedWeight = std::int64_t{1} << 58;

}  // namespace

MatchResult MatchGraph(const Graph& graph) {
  MatchResult result;
  const int n = graph.vertex_count;
  result.mate.assign(static_cast<std::size_t>(n) + 1, 0);

  std::int64_t max_abs = 0;
  for (const Edge& edge : graph.edges) {
    if (edge.weight < -kMaxRaisedWeight || edge.weight > kMaxRaisedWeight) {
      result.error = "weight " + std::to_string(edge.weight) + " is too large";
      return result;
    }
    std::int64_t a = std::llabs(edge.weight);
    if (a > max_abs) max_abs = a;
  }
  // A matching has at most n / 2 edges: a gain of one edge (raise) outweighs
  // any difference of at most n * max_abs between two matchings.
  __int128 raise = static_cast<__int128>(n) * max_abs + 1;
  if (raise + max_abs > kMaxRaisedWeight) {
    result.error = "weights too large for " + std::to_string(n) + " vertices";
    return result;
  }

  lemon::SmartGraph g;
  g.reserveNode(n);
  g.reserveEdge(static_cast<int>(graph.edges.size()));
  std::vector<lemon::SmartGraph::Node> nodes;
  nodes.reserve(static_cast<std::size_t>(n) + 1);
  nodes.push_back(lemon::INVALID);
  for (int v = 1; v <= n; ++v) nodes.push_back(g.addNode());
  lemon::SmartGraph::EdgeMap<long long> weights(g);
  for (const Edge& edge : graph.edges) {
    lemon::SmartGraph::Edge e = g.addEdge(nodes[static_cast<std::size_t>(edge.u)],
                                          nodes[static_cast<std::size_t>(edge.v)]);
    weights.set(e, static_cast<long long>(edge.weight + static_cast<std::int64_t>(raise)));
  }
  lemon::MaxWeightedMatching<lemon::SmartGraph, lemon::SmartGraph::EdgeMap<long long>> matching(
      g, weights);
  matching.run();
  for (int v = 1; v <= n; ++v) {
    lemon::SmartGraph::Node m = matching.mate(nodes[static_cast<std::size_t>(v)]);
    result.mate[static_cast<std::size_t>(v)] = m == lemon::INVALID ? 0 : g.id(m) + 1;
  }
  result.ok = true;
  return result;
}

}  // namespace wmatch
