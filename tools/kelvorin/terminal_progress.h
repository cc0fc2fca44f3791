// The progress of a long command on standard error: one line that is
// rewritten at each step ("Copy Table...  42%"). Installed only when
// standard error is a terminal, so that scripts read clean output.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "db/access/session/access_events.h"

namespace kelvorin::tool {

class TerminalProgress : public TABSProgress {
 public:
  void Open(std::string_view caption) override { caption_ = caption; }
  bool Step(int percent) override {
    std::fprintf(stderr, "\r%s %3d%%", caption_.c_str(), percent);
    std::fflush(stderr);
    return true;
  }
  void Close() override { std::fputs("\n", stderr); }

 private:
  std::string caption_;
};

// Shows the access layer's progress on the terminal for its lifetime, when
// standard error is one.
class TerminalProgressScope {
 public:
  TerminalProgressScope() : shown_(::isatty(STDERR_FILENO) == 1) {
    if (shown_) SetAccessProgress(&progress_);
  }
  ~TerminalProgressScope() {
    if (shown_) SetAccessProgress(nullptr);
  }
  TerminalProgressScope(const TerminalProgressScope&) = delete;
  TerminalProgressScope& operator=(const TerminalProgressScope&) = delete;
  bool Shown() const { return shown_; }

 private:
  TerminalProgress progress_;
  bool shown_;
};

}  // namespace kelvorin::tool
