// Crash safety of commits. A scripted workload of sessions and commits is
// stopped at its k-th write, for every k: by killing a child process (which
// loses nothing it wrote) and by a simulated power loss (which loses every
// write not yet synced and may tear the write in progress). After reopening,
// the pages must hold the state of the last completed commit or, for the
// commit in flight, entirely its old or entirely its new state, and the
// checker may report leaks only of pages the commit in flight allocated.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "db/storage/disk_page_manager.h"
#include "platform/file.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {
namespace {

using PageState = std::map<int32_t, uint8_t>;  // page -> fill byte of its data

struct Workload {
  std::vector<PageState> states;          // after commit i (states[0]: start)
  std::vector<std::set<int32_t>> added;   // pages allocated by commit i (1-based)
};

constexpr int kCommits = 14;
constexpr int32_t kSession = 1;

// Runs the workload on an open file; after_commit(i) follows commit i.
// With model != nullptr, records the state after each commit.
void RunWorkload(TABSDiskPageManager& m, const std::function<void(int)>& after_commit, Workload* model) {
  TABSRandomSource random(77);
  PageState state;
  if (model) {
    model->states = {state};
    model->added = {{}};
  }
  for (int commit = 1; commit <= kCommits; ++commit) {
    const uint8_t fill = static_cast<uint8_t>(commit);
    std::set<int32_t> added;
    const int64_t adds = random.Between(1, 4);
    for (int64_t i = 0; i < adds; ++i) {
      TABSPage* page = m.AddPage(kSession, ptTableRecord);
      std::memset(page->Data(), fill, page->DataSize());
      added.insert(page->PageNo());
      state[page->PageNo()] = fill;
      m.PutPage(page);
    }
    std::vector<int32_t> existing;
    for (const auto& [no, value] : state) {
      if (!added.count(no)) existing.push_back(no);
    }
    for (size_t i = 0; i < existing.size(); i += static_cast<size_t>(random.Between(2, 3))) {
      TABSPage* page = m.GetPage(kSession, existing[i], ptTableRecord);
      std::memset(page->Data(), fill, page->DataSize());
      page->dirty = true;
      state[existing[i]] = fill;
      m.PutPage(page);
    }
    // Remove a few of the pages this commit did not touch, so the file
    // also shrinks.
    int64_t removals = commit % 4 == 0 ? 6 : random.Between(0, 1);
    std::vector<int32_t> untouched;
    for (const auto& [no, value] : state) {
      if (value != fill) untouched.push_back(no);
    }
    for (auto it = untouched.rbegin(); it != untouched.rend() && removals > 0 && state.size() > 2; ++it) {
      m.RemovePage(kSession, *it);
      state.erase(*it);
      --removals;
    }
    m.CommitSession(kSession);
    if (model) {
      model->states.push_back(state);
      model->added.push_back(added);
    }
    after_commit(commit);
  }
}

// Which of the two states the file holds; nullopt when it holds neither.
std::optional<int> MatchState(TABSDiskPageManager& m, const PageState& old_state,
                              const PageState& new_state, std::string* detail) {
  const PageState* states[] = {&old_state, &new_state};
  for (int which = 0; which < 2; ++which) {
    bool all = true;
    for (const auto& [no, value] : *states[which]) {
      if (!m.FreeSpace()->IsPageUsed(no)) {
        all = false;
        *detail += "page " + std::to_string(no) + " free; ";
        break;
      }
      uint8_t bytes[2];
      m.ReadPartOfPage(bytes, no, 2, kPageHeaderSize);
      if (bytes[0] != value || bytes[1] != value) {
        all = false;
        *detail += "page " + std::to_string(no) + " holds " + std::to_string(bytes[0]) + " not " +
                   std::to_string(value) + "; ";
        break;
      }
    }
    if (all) return which;
  }
  return std::nullopt;
}

class CrashTest : public testing::StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    {
      TABSDiskPageManager m;
      m.Random().Seed(11);
      m.CreateDatabaseFile(Path(), {}, 2, 512);
    }
    initial_ = ReadAll(Path());
    TABSDiskPageManager m;
    Open(m);
    RunWorkload(m, [](int) {}, &model_);
  }
  void Reset() {
    WriteAll(Path(), initial_);
    std::filesystem::remove(Path() + "-journal");
  }
  void Open(TABSDiskPageManager& m) {
    bool multi = false, ro = false;
    m.OpenDatabaseFile(Path(), {}, multi, false, ro);
    m.Random().Seed(5);
  }
  // Reopens the file after a crash during commit completed + 1.
  void Verify(int completed, int k) {
    SCOPED_TRACE("crash at write " + std::to_string(k) + " after " + std::to_string(completed) + " commits");
    ASSERT_LE(completed, kCommits);
    const PageState& old_state = model_.states[completed];
    const PageState& new_state = model_.states[std::min(completed + 1, kCommits)];
    {
      TABSDiskPageManager m;
      Open(m);
      std::string detail;
      EXPECT_TRUE(MatchState(m, old_state, new_state, &detail).has_value()) << detail;
    }
    const TABSIntegrityReport report = CheckDatabaseFile(Path());
    EXPECT_FALSE(report.HasCorruption()) << report.Describe();
    const std::set<int32_t>& in_flight = model_.added[std::min(completed + 1, kCommits)];
    for (const auto& problem : report.problems) {
      EXPECT_TRUE(problem.page_no >= 0 && in_flight.count(problem.page_no)) << report.Describe();
    }
  }

  std::vector<uint8_t> initial_;
  Workload model_;
};

// Counts writes to the database file and its journal.
class CountingObserver : public platform::FileObserver {
 public:
  void BeforeWrite(const std::string&, int64_t, const void*, int64_t) override { OnWrite(); }
  void AfterSync(const std::string&) override {}
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}
  virtual void OnWrite() { ++writes; }
  int writes = 0;
};

int CountWrites(CrashTest& test, std::vector<uint8_t>& initial, const std::string& path) {
  (void)test;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(initial.data()), static_cast<std::streamsize>(initial.size()));
  CountingObserver counter;
  platform::SetFileObserver(&counter);
  {
    TABSDiskPageManager m;
    bool multi = false, ro = false;
    m.OpenDatabaseFile(path, {}, multi, false, ro);
    m.Random().Seed(5);
    RunWorkload(m, [](int) {}, nullptr);
  }
  platform::SetFileObserver(nullptr);
  return counter.writes;
}

TEST_F(CrashTest, KilledAtEveryWrite) {
  const int total = CountWrites(*this, initial_, Path());
  ASSERT_GT(total, kCommits * 4);
  for (int k = 1; k <= total; k += 1) {
    Reset();
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipe_fds[0]);
      struct Killer : CountingObserver {
        int at = 0;
        void OnWrite() override {
          if (++writes == at) ::raise(SIGKILL);
        }
      } killer;
      killer.at = k;
      platform::SetFileObserver(&killer);
      TABSDiskPageManager m;
      Open(m);
      RunWorkload(m, [&](int) { (void)!::write(pipe_fds[1], "c", 1); }, nullptr);
      ::_exit(0);
    }
    ::close(pipe_fds[1]);
    int completed = 0;
    char byte;
    while (::read(pipe_fds[0], &byte, 1) == 1) ++completed;
    ::close(pipe_fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "k=" << k;
    Verify(completed, k);
    if (HasFatalFailure() || HasFailure()) return;
  }
}

// Loses every write not yet synced when the k-th write happens; that write
// itself may reach the disk in part (its first half, in whole sectors).
class PowerLoss : public platform::FileObserver {
 public:
  struct Failure {};

  PowerLoss(std::vector<std::string> paths, int at, bool tear) : at_(at), tear_(tear) {
    for (auto& path : paths) {
      File f;
      f.exists = std::filesystem::exists(path);
      if (f.exists) f.content = testing::StorageTest::ReadAll(path);
      files_[path] = f;
    }
    platform::SetFileObserver(this);
  }
  ~PowerLoss() override { platform::SetFileObserver(nullptr); }

  void BeforeWrite(const std::string& path, int64_t offset, const void* data, int64_t count) override {
    if (dead_ || !files_.count(path)) return;
    if (++writes_ < at_) return;
    dead_ = true;
    File& f = files_[path];
    const int64_t kept = tear_ ? count / 2 / 512 * 512 : 0;
    if (f.exists && kept > 0) {
      if (static_cast<int64_t>(f.content.size()) < offset + kept) f.content.resize(offset + kept);
      std::memcpy(f.content.data() + offset, data, static_cast<size_t>(kept));
    }
    throw Failure{};
  }
  void AfterSync(const std::string& path) override {
    if (dead_ || !files_.count(path)) return;
    files_[path].synced = testing::StorageTest::ReadAll(path);
    files_[path].content = files_[path].synced;
  }
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {
    if (dead_) return;
    for (auto& [path, f] : files_) {
      const bool exists = std::filesystem::exists(path);
      if (exists && !f.exists) f.content = f.synced;
      f.exists = exists;
    }
  }

  bool Dead() const { return dead_; }
  // Puts back what the disk would hold after the power came back.
  void Restore() {
    for (auto& [path, f] : files_) {
      if (f.exists) {
        testing::StorageTest::WriteAll(path, f.content);
      } else {
        std::filesystem::remove(path);
      }
    }
  }

 private:
  struct File {
    bool exists = false;
    std::vector<uint8_t> content;  // durable content
    std::vector<uint8_t> synced;
  };
  std::map<std::string, File> files_;
  int writes_ = 0;
  int at_;
  bool tear_;
  bool dead_ = false;
};

TEST_F(CrashTest, PowerLossAtEveryWrite) {
  const int total = CountWrites(*this, initial_, Path());
  for (int k = 1; k <= total; ++k) {
    Reset();
    int completed = 0;
    PowerLoss power(std::vector<std::string>{Path(), Path() + "-journal"}, k, k % 2 == 1);
    try {
      TABSDiskPageManager m;
      Open(m);
      RunWorkload(m, [&](int) { ++completed; }, nullptr);
    } catch (const PowerLoss::Failure&) {
    }
    ASSERT_TRUE(power.Dead()) << "k=" << k;
    platform::SetFileObserver(nullptr);
    power.Restore();
    Verify(completed, k);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace kelvorin
