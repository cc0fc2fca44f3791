// Benchmark of the largest draw: 510 players (255 pairs), 15 rounds of history
// with scores, repeat meetings and 2 byes, a round of fours end to end through
// cmd and wmatch. Prints the whole draw, each weights computation, each wmatch
// run and the peak memory; then the same draw as a kesh-draw process.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pairing/command_runner.h"
#include "pairing/pairing_engine.h"
#include "tests/pairing/history_generator.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU time (user + system) used so far by `who` (RUSAGE_SELF or
// RUSAGE_CHILDREN), in ms: unlike wall time, it hardly depends on what else
// the machine runs.
double CpuMs(int who) {
  struct rusage usage;
  getrusage(who, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}
double TreeCpuMs() { return CpuMs(RUSAGE_SELF) + CpuMs(RUSAGE_CHILDREN); }

class NoDialogs : public pairing::UserDialogs {
 public:
  bool AskYesNo(const std::string&) override { return true; }
  void ShowMessage(const std::string&) override {}
};

// Runs the real processes and times the matching runs.
class TimedRunner : public pairing::CommandRunner {
 public:
  int Run(const std::string& command_line) override {
    Clock::time_point start = Clock::now();
    int rc = real_.Run(command_line);
    if (command_line.find("wmatch") != std::string::npos) wmatch_ms.push_back(Ms(Clock::now() - start));
    return rc;
  }
  std::vector<double> wmatch_ms;

 private:
  pairing::ProcessCommandRunner real_;
};

struct Sample {
  double whole = 0, whole_cpu = 0, two_weights = 0, pair_twos = 0, four_weights = 0, group_fours = 0;
  double wmatch_twos = 0, wmatch_fours = 0;
};

Sample DrawOnce(const std::string& history) {
  NoDialogs dialogs;
  TimedRunner runner;
  pairing::PairingEngine engine(dialogs);
  engine.SetCommandRunner(&runner);
  engine.SetByesText("2");
  engine.ImportFromText(history);
  Sample s;
  const double cpu0 = TreeCpuMs();
  Clock::time_point t0 = Clock::now();
  engine.ComputeTwoWeights();
  Clock::time_point t1 = Clock::now();
  engine.PairIntoTwos();
  Clock::time_point t2 = Clock::now();
  engine.ComputeFourWeights();
  Clock::time_point t3 = Clock::now();
  engine.GroupIntoFours();
  Clock::time_point t4 = Clock::now();
  engine.ExportToText();
  Clock::time_point t5 = Clock::now();
  s.whole_cpu = TreeCpuMs() - cpu0;
  s.two_weights = Ms(t1 - t0);
  s.pair_twos = Ms(t2 - t1);
  s.four_weights = Ms(t3 - t2);
  s.group_fours = Ms(t4 - t3);
  s.whole = Ms(t5 - t0);
  s.wmatch_twos = runner.wmatch_ms.at(0);
  s.wmatch_fours = runner.wmatch_ms.at(1);
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Wall time of one process, the CPU time of its process tree and the peak
// resident memory of any process in it.
double RunProcess(const std::vector<std::string>& args, const std::string& out_file, long& max_rss_kb,
                  double& cpu_ms) {
  const double cpu0 = CpuMs(RUSAGE_CHILDREN);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Clock::time_point start = Clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  double ms = Ms(Clock::now() - start);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", args[0].c_str());
    std::exit(1);
  }
  struct rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  max_rss_kb = usage.ru_maxrss;
  cpu_ms = CpuMs(RUSAGE_CHILDREN) - cpu0;
  return ms;
}

}  // namespace

int main() {
  const std::string bin = VESTRUM_BIN_DIR;
  setenv("PATH", (bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "")).c_str(), 1);
  std::filesystem::path work = std::filesystem::temp_directory_path() / "pairing-bench";
  std::filesystem::create_directories(work);
  std::filesystem::current_path(work);

  const std::string history = pairing_test::GenerateHistory(510, 15, 2, 2024);
  std::ofstream("history.txt", std::ios::binary) << history;
  const int runs = 9;

  DrawOnce(history);  // warm the file cache
  std::vector<Sample> samples;
  for (int i = 0; i < runs; ++i) samples.push_back(DrawOnce(history));
  auto median = [&](double Sample::*field) {
    std::vector<double> v;
    for (const Sample& s : samples) v.push_back(s.*field);
    return Median(v);
  };
  struct rusage self;
  getrusage(RUSAGE_SELF, &self);
  struct rusage children;
  getrusage(RUSAGE_CHILDREN, &children);

  std::printf("510 players, 15 rounds, 2 byes; median of %d in-process draws of fours\n", runs);
  std::printf("  whole draw (4 steps + export)     %8.1f ms  (CPU of the process tree: %.1f ms)\n",
              median(&Sample::whole), median(&Sample::whole_cpu));
  std::printf("  ComputeTwoWeights (129795 pairs)  %8.1f ms\n", median(&Sample::two_weights));
  std::printf("  PairIntoTwos                      %8.1f ms  (wmatch run, 510 vertices: %.1f ms)\n",
              median(&Sample::pair_twos), median(&Sample::wmatch_twos));
  std::printf("  ComputeFourWeights (255 pairs)    %8.1f ms\n", median(&Sample::four_weights));
  std::printf("  GroupIntoFours                    %8.1f ms  (wmatch run, 255 vertices: %.1f ms)\n",
              median(&Sample::group_fours), median(&Sample::wmatch_fours));
  std::printf("  peak memory: engine process %ld KiB, largest child (cmd/wmatch) %ld KiB\n",
              self.ru_maxrss, children.ru_maxrss);

  // wmatch alone on the 510-vertex complete graph of the pair weights.
  {
    NoDialogs dialogs;
    pairing::PairingEngine engine(dialogs);
    engine.SetByesText("2");
    engine.ImportFromText(history);
    engine.ComputeTwoWeights();
    pairing::ProcessCommandRunner runner;
    engine.SetCommandRunner(&runner);
    engine.PairIntoTwos();  // leaves the 510-vertex wm.in behind
    std::vector<double> v, cpu;
    long rss = 0;
    for (int i = 0; i < runs; ++i) {
      double cpu_ms = 0;
      v.push_back(RunProcess({bin + "/wmatch", "wm.in"}, "wm.out", rss, cpu_ms));
      cpu.push_back(cpu_ms);
    }
    std::printf("wmatch alone, 510-vertex complete graph: %.1f ms, CPU %.1f ms (peak %ld KiB)\n",
                Median(v), Median(cpu), rss);
  }

  // The same draw as an organiser's script runs it.
  {
    std::vector<double> v, cpu;
    long rss = 0;
    for (int i = 0; i < runs; ++i) {
      double cpu_ms = 0;
      v.push_back(
          RunProcess({bin + "/kesh-draw", "--byes", "2", "history.txt"}, "drawn.txt", rss, cpu_ms));
      cpu.push_back(cpu_ms);
    }
    std::printf("kesh-draw process end to end: %.1f ms, CPU of its tree %.1f ms (peak %ld KiB)\n",
                Median(v), Median(cpu), rss);
  }
  std::filesystem::current_path("/");
  std::filesystem::remove_all(work);
  return 0;
}
