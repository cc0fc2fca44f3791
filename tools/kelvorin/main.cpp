// kelvorin COMMAND ARGS...: the database engine's command-line tool.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/kelvorin/command.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: kelvorin COMMAND ARGS...\n");
  for (const auto& command : kelvorin::tool::Commands()) {
    std::fprintf(stderr, "  kelvorin %s %s\n", command.name, command.usage);
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string name = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto& command : kelvorin::tool::Commands()) {
    if (name != command.name) continue;
    try {
      return command.run(args);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s\n", error.what());
      return 1;
    }
  }
  std::fprintf(stderr, "kelvorin: unknown command '%s'\n", name.c_str());
  return Usage();
}
