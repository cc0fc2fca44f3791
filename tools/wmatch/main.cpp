// wmatch FILE: reads the matching input from FILE and prints one line
// "vertex mate" per vertex (mate 0 when unmatched). Malformed input gets one
// line on standard error and exit status 1.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "tools/wmatch/graph_input.h"
#include "tools/wmatch/matcher.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "wmatch: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: wmatch FILE");
  const std::string file_name = argv[1];
  std::ifstream in(file_name, std::ios::binary | std::ios::ate);
  if (!in) return Fail("cannot open " + file_name + ": " + std::strerror(errno));
  std::string text(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
  in.seekg(0);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || in.gcount() != static_cast<std::streamsize>(text.size())) {
    return Fail("cannot read " + file_name);
  }

  wmatch::ParseResult input = wmatch::ParseGraph(text);
  if (!input.ok) return Fail(file_name + ": " + input.error);
  wmatch::MatchResult matching = wmatch::MatchGraph(input.graph);
  if (!matching.ok) return Fail(file_name + ": " + matching.error);

  std::string out;
  out.reserve(static_cast<std::size_t>(input.graph.vertex_count) * 12);
  for (int v = 1; v <= input.graph.vertex_count; ++v) {
    out += std::to_string(v);
    out += ' ';
    out += std::to_string(matching.mate[static_cast<std::size_t>(v)]);
    out += '\n';
  }
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    return Fail("cannot write the matching");
  }
  return 0;
}
