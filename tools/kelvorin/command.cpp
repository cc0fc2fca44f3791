#include "tools/kelvorin/command.h"

namespace kelvorin::tool {
namespace {

std::vector<CommandEntry>& Registry() {
  static std::vector<CommandEntry> registry;
  return registry;
}

}  // namespace

KelvorinCommand::KelvorinCommand(const char* name, const char* usage, CommandFunction run) {
  Registry().push_back({name, usage, run});
}

const std::vector<CommandEntry>& Commands() { return Registry(); }

}  // namespace kelvorin::tool
