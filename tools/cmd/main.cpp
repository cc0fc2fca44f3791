// cmd /c REST: runs REST as a command line, the way the matching exchange's
// command lines expect of the Windows command interpreter. "del FILE..."
// deletes files (a missing one is no error); any other program is looked up
// in the working directory, then beside cmd, then on PATH. "<", ">" and ">>"
// redirect its standard streams. The exit code is that of REST.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tools/cmd/command_line.h"

namespace {

// Exit code for a command that cannot be found or started (the shell's; the
// Windows interpreter's 9009 does not fit an exit status here).
constexpr int kNotFound = 127;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return text;
}

// Owns a file descriptor opened for a redirection.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int get() const { return fd_; }

 private:
  int fd_ = -1;
};

int Delete(const std::vector<std::string>& words) {
  int rc = 0;
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i].starts_with("/")) continue;  // switches such as /q /f
    if (::unlink(words[i].c_str()) != 0 && errno != ENOENT) {
      std::fprintf(stderr, "Could not delete %s\n", words[i].c_str());
      rc = 1;
    }
  }
  return rc;
}

int Run(const cmd::ParsedCommand& command) {
  Fd input;
  Fd output;
  const cmd::Redirection& redirection = command.redirection;
  if (redirection.input) {
    input = Fd(::open(redirection.input->c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0) {
      std::fprintf(stderr, "The system cannot find the file specified.\n");
      return 1;
    }
  }
  if (redirection.output) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (redirection.append ? O_APPEND : O_TRUNC);
    output = Fd(::open(redirection.output->c_str(), flags, 0644));
    if (output.get() < 0) {
      std::fprintf(stderr, "The system cannot find the path specified.\n");
      return 1;
    }
  }
  if (command.words.empty()) return 0;
  const std::string verb = Lower(command.words[0]);
  if (verb == "del" || verb == "erase") return Delete(command.words);

  std::optional<std::string> program = platform::FindProgram(
      command.words[0], {platform::WorkingDirectory(), platform::ProgramDirectory()});
  if (!program) {
    std::fprintf(stderr,
                 "'%s' is not recognized as an internal or external command,\n"
                 "operable program or batch file.\n",
                 command.words[0].c_str());
    return kNotFound;
  }
  platform::StandardStreams streams;
  streams.input = input.get();
  streams.output = output.get();
  std::optional<int> rc = platform::RunProgram(*program, command.words, streams);
  if (!rc) {
    std::fprintf(stderr, "'%s' could not be started.\n", command.words[0].c_str());
    return kNotFound;
  }
  return *rc;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || Lower(args[0]) != "/c") {
    std::fprintf(stderr, "usage: cmd /c COMMAND\n");
    return 1;
  }
  args.erase(args.begin());
  cmd::ParsedCommand command = cmd::ParseCommand(args);
  if (!command.error.empty()) {
    std::fprintf(stderr, "%s\n", command.error.c_str());
    return 1;
  }
  return Run(command);
}
