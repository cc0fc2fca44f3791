// wmatch FILE: reads the matching input from FILE and prints one line
// "vertex mate" per vertex (mate 0 when unmatched). Malformed input gets one
// line on standard error and exit status 1.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

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
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return Fail("cannot open " + file_name + ": " + std::strerror(errno));
  // Read in chunks rather than by the file's size, so that a pipe or another
  // file without a size is read whole too.
  std::string text;
  std::vector<char> chunk(std::size_t{1} << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return Fail("cannot read " + file_name);

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
