// Runs one command line of the matching exchange and returns its exit code.
//
// ProcessCommandRunner starts a real process the way the Windows process call
// would (platform/process.h); tests may substitute a runner of their own.
#pragma once

#include <string>

namespace pairing {

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  // Returns the exit code; 0 when the command could not be started.
  virtual int Run(const std::string& command_line) = 0;
};

class ProcessCommandRunner : public CommandRunner {
 public:
  int Run(const std::string& command_line) override;
};

}  // namespace pairing
