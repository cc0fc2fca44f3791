// Starting programs and waiting for them: the operating-system side of the
// matching exchange's command lines.
//
// RunCommandLine behaves like the Windows process call the command lines were
// written for: the first word names the program, the rest are its arguments,
// nothing but the standard streams is passed on, and the call waits without a
// time limit for the exit code.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The directory of the running executable (no trailing slash); empty if it
// cannot be determined.
std::string ProgramDirectory();
// The current working directory; empty if it cannot be determined.
std::string WorkingDirectory();

// Splits a command line into words at blanks and tabs; a double quote starts
// or ends a quoted part, in which blanks belong to the word (the quotes are
// dropped).
std::vector<std::string> SplitCommandLine(std::string_view line);

// Finds an executable: a name holding a slash is taken as a path as it
// stands; otherwise each of `directories` is tried in order, then each
// directory of PATH. Empty directories are skipped.
std::optional<std::string> FindProgram(const std::string& name,
                                       const std::vector<std::string>& directories);

// File descriptors the child gets as its standard streams; -1 keeps the
// parent's. Every other descriptor is closed in the child.
struct StandardStreams {
  int input = -1;
  int output = -1;
  int error = -1;
};

// Starts `path` with `args` (args[0] included) and waits for it. Returns the
// exit code (128 + signal number for a killed child), or nothing when the
// program could not be started.
std::optional<int> RunProgram(const std::string& path, const std::vector<std::string>& args,
                              const StandardStreams& streams);

// Runs a command line: its first word is looked up in the program's own
// directory, then the working directory, then PATH. The child reads an empty
// input and writes its output to our error stream (nowhere when that is
// closed), so that nothing it prints mixes with what this program writes.
// Returns the exit code, 0 when the program cannot be found or started.
int RunCommandLine(std::string_view line);

}  // namespace platform
