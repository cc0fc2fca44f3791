// Program lookup and process start-up on POSIX (posix_spawn).
#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace platform {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> SearchPath() {
  std::vector<std::string> dirs;
  const char* path = std::getenv("PATH");
  if (path == nullptr) return dirs;
  std::string_view rest(path);
  while (true) {
    std::size_t colon = rest.find(':');
    std::string_view dir = rest.substr(0, colon);
    // An empty PATH entry means the working directory.
    dirs.emplace_back(dir.empty() ? std::string_view(".") : dir);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return dirs;
}

// Owns a posix_spawn_file_actions_t.
class SpawnActions {
 public:
  SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;

  // A descriptor already in place is "duplicated" too: that clears its
  // close-on-exec flag, which a stream opened into a free low slot (the
  // parent's own standard stream being closed) would otherwise keep.
  void Dup(int from, int to) {
    if (from >= 0) ::posix_spawn_file_actions_adddup2(&actions_, from, to);
  }
  void CloseFrom(int first) { ::posix_spawn_file_actions_addclosefrom_np(&actions_, first); }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// Owns a file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::string ProgramDirectory() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string();
}

std::string WorkingDirectory() {
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec) return {};
  return cwd.string();
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (char ch : line) {
    if (ch == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && (ch == ' ' || ch == '\t')) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word.push_back(ch);
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::optional<std::string> FindProgram(const std::string& name,
                                       const std::vector<std::string>& directories) {
  if (name.empty()) return std::nullopt;
  if (name.find('/') != std::string::npos) {
    if (IsExecutableFile(name)) return name;
    return std::nullopt;
  }
  std::vector<std::string> dirs = directories;
  for (std::string& dir : SearchPath()) dirs.push_back(std::move(dir));
  for (const std::string& dir : dirs) {
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::nullopt;
}

std::optional<int> RunProgram(const std::string& path, const std::vector<std::string>& args,
                              const StandardStreams& streams) {
  SpawnActions actions;
  actions.Dup(streams.input, STDIN_FILENO);
  actions.Dup(streams.output, STDOUT_FILENO);
  actions.Dup(streams.error, STDERR_FILENO);
  actions.CloseFrom(3);

  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid;
  if (::posix_spawn(&pid, path.c_str(), actions.get(), nullptr, argv.data(), environ) != 0) {
    return std::nullopt;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 0;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 0;
}

int RunCommandLine(std::string_view line) {
  std::vector<std::string> words = SplitCommandLine(line);
  if (words.empty()) return 0;
  std::optional<std::string> program =
      FindProgram(words[0], {ProgramDirectory(), WorkingDirectory()});
  if (!program) return 0;
  FileDescriptor null_device(::open("/dev/null", O_RDWR | O_CLOEXEC));
  StandardStreams streams;
  streams.input = null_device.get();
  // With our error stream closed the child's output goes nowhere, rather than
  // the start failing.
  streams.output = ::fcntl(STDERR_FILENO, F_GETFD) != -1 ? STDERR_FILENO : null_device.get();
  return RunProgram(*program, words, streams).value_or(0);
}

}  // namespace platform
