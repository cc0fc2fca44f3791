// Command lines run as real processes.
#include "pairing/command_runner.h"

#include "platform/process.h"

namespace pairing {

int ProcessCommandRunner::Run(const std::string& command_line) {
  return platform::RunCommandLine(command_line);
}

}  // namespace pairing
