// Maximum-cardinality maximum-weight matching on LEMON's weighted blossom
// algorithm: every weight is raised by one constant larger than what any
// matching's weights can add up to, so one more edge always wins.
#include "tools/wmatch/matcher.h"

#include <lemon/full_graph.h>
#include <lemon/matching.h>
#include <lemon/smart_graph.h>

#include <cstdint>
#include <cstdlib>

namespace wmatch {
namespace {

// Adding nodes and edges: the implicit complete graph has them all already.
lemon::FullGraph::Edge AddEdge(lemon::FullGraph& g, lemon::FullGraph::Node u,
                               lemon::FullGraph::Node v) {
  return g.edge(u, v);
}
lemon::SmartGraph::Edge AddEdge(lemon::SmartGraph& g, lemon::SmartGraph::Node u,
                                lemon::SmartGraph::Node v) {
  return g.addEdge(u, v);
}

void AddNodes(lemon::FullGraph& g, int n) { g.resize(n); }
void AddNodes(lemon::SmartGraph& g, int n) {
  g.reserveNode(n);
  for (int v = 0; v < n; ++v) g.addNode();
}

// Builds `GraphType` from the edges (every weight raised) and returns the
// mate of each vertex, 1-based, 0 for none.
template <typename GraphType>
std::vector<int> MatchOn(const Graph& graph, std::int64_t raise) {
  const int n = graph.vertex_count;
  GraphType g;
  AddNodes(g, n);
  typename GraphType::template EdgeMap<long long> weights(g);
  for (const Edge& edge : graph.edges) {
    typename GraphType::Edge e = AddEdge(g, g.nodeFromId(edge.u - 1), g.nodeFromId(edge.v - 1));
    weights.set(e, static_cast<long long>(edge.weight + raise));
  }
  lemon::MaxWeightedMatching<GraphType, typename GraphType::template EdgeMap<long long>> matching(
      g, weights);
  matching.run();
  std::vector<int> mate(static_cast<std::size_t>(n) + 1, 0);
  for (int v = 1; v <= n; ++v) {
    typename GraphType::Node m = matching.mate(g.nodeFromId(v - 1));
    mate[static_cast<std::size_t>(v)] = m == lemon::INVALID ? 0 : g.id(m) + 1;
  }
  return mate;
}

}  // namespace

MatchResult MatchGraph(const Graph& graph) {
  MatchResult result;
  const int n = graph.vertex_count;

  std::int64_t max_abs = 0;
  for (const Edge& edge : graph.edges) {
    if (edge.weight < -kMaxWeight || edge.weight > kMaxWeight) {
      result.error = "weight " + std::to_string(edge.weight) + " is too large";
      return result;
    }
    std::int64_t a = std::llabs(edge.weight);
    if (a > max_abs) max_abs = a;
  }
  // A matching has at most n / 2 edges: a gain of one edge (raise) outweighs
  // any difference of at most n * max_abs between two matchings.
  __int128 raise = static_cast<__int128>(n) * max_abs + 1;
  if (raise + max_abs > kMaxWeight) {
    result.error = "weights too large for " + std::to_string(n) + " vertices";
    return result;
  }

  const std::int64_t raised = static_cast<std::int64_t>(raise);
  // The pairing's graphs are complete: LEMON's implicit complete graph matches
  // them markedly faster than an explicit edge list.
  const std::int64_t complete = static_cast<std::int64_t>(n) * (n - 1) / 2;
  if (static_cast<std::int64_t>(graph.edges.size()) == complete) {
    result.mate = MatchOn<lemon::FullGraph>(graph, raised);
  } else {
    result.mate = MatchOn<lemon::SmartGraph>(graph, raised);
  }
  result.ok = true;
  return result;
}

}  // namespace wmatch
