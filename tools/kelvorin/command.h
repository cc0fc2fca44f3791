// Subcommands of the kelvorin tool. Each subcommand registers itself from its
// own source file with a static KelvorinCommand object, so the groups of
// subcommands (files, compression, ...) never edit a shared list.
#pragma once

#include <string>
#include <vector>

namespace kelvorin::tool {

// Runs one subcommand with the arguments after its name and returns the exit
// status. Engine errors may propagate: main prints their message and exits 1.
using CommandFunction = int (*)(const std::vector<std::string>& args);

struct KelvorinCommand {
  KelvorinCommand(const char* name, const char* usage, CommandFunction run);
};

struct CommandEntry {
  const char* name;
  const char* usage;
  CommandFunction run;
};

const std::vector<CommandEntry>& Commands();

}  // namespace kelvorin::tool
