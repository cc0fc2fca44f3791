// Fuzz target: any input is either refused with a line-numbered message or
// read into a graph whose matching is consistent.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/wmatch/graph_input.h"
#include "tools/wmatch/matcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  wmatch::ParseResult input = wmatch::ParseGraph(text);
  if (!input.ok) {
    if (input.error.rfind("line ", 0) != 0) std::abort();
    return 0;
  }
  if (input.graph.vertex_count > 64) return 0;
  wmatch::MatchResult result = wmatch::MatchGraph(input.graph);
  if (!result.ok) return 0;
  const int n = input.graph.vertex_count;
  int unmatched = 0;
  for (int v = 1; v <= n; ++v) {
    int m = result.mate[static_cast<std::size_t>(v)];
    if (m < 0 || m > n || m == v) std::abort();
    if (m == 0) {
      ++unmatched;
    } else if (result.mate[static_cast<std::size_t>(m)] != v) {
      std::abort();
    }
  }
  // A complete graph leaves at most one vertex out.
  if (input.graph.edges.size() == static_cast<std::size_t>(n) * (n - 1) / 2 && unmatched > 1) {
    std::abort();
  }
  return 0;
}
