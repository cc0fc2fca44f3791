// Waits for a child process and kills it (SIGKILL) when it runs past a
// deadline, for the tests that check what a process killed at a random
// moment leaves behind.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testing_support {

// Waits up to `delay_ms` for `child` to end; past that, kills `target` (the
// child, or minus its process group) and reaps the child. The wait status.
inline int WaitOrKill(pid_t child, pid_t target, int delay_ms) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms);
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(target, SIGKILL);
      ::waitpid(child, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return status;
}

}  // namespace testing_support
