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
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "db/storage/pages/disk_page_manager.h"
#include "platform/file.h"
#include "tests/db/power_loss.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {
namespace {

using PageState = std::map<int32_t, uint8_t>;  // page -> fill byte of its data

struct Workload {
  std::vector<PageState> states;             // after commit i (states[0]: start)
  std::vector<std::set<int32_t>> uncommitted;  // pages allocated and not yet committed
                                               // at some moment after commit i
};

constexpr int kRounds = 9;

// Two sessions work on pages of their own: session 1 adds, changes and
// removes pages and commits every round; session 2 adds and changes pages
// and commits, except every third round, when it rolls back. after_commit(n)
// follows the n-th commit; with model != nullptr the states are recorded.
class ScriptedWorkload {
 public:
  ScriptedWorkload(TABSDiskPageManager& m, std::function<void(int)> after_commit, Workload* model)
      : m_(m), after_commit_(std::move(after_commit)), model_(model) {
    if (model_) {
      model_->states = {committed_};
      model_->uncommitted = {{}};
    }
  }

  void Run() {
    for (int round = 1; round <= kRounds; ++round) {
      const uint8_t fill = static_cast<uint8_t>(round);
      Add(2, 1, static_cast<uint8_t>(100 + round));
      Change(2, static_cast<uint8_t>(100 + round), 1);
      Add(1, random_.Between(1, 4), fill);
      Change(1, fill, 2);
      Remove(1, round % 4 == 0 ? 6 : random_.Between(0, 1), fill);
      Commit(1);
      if (round % 3 == 0) {
        Rollback(2);
      } else {
        Commit(2);
      }
    }
  }

 private:
  struct Session {
    PageState pending;
    std::set<int32_t> added, removed;
  };

  void Add(int32_t s, int64_t count, uint8_t fill) {
    for (int64_t i = 0; i < count; ++i) {
      TABSPage* page = m_.AddPage(s, ptTableRecord);
      std::memset(page->Data(), fill, page->DataSize());
      sessions_[s].pending[page->PageNo()] = fill;
      sessions_[s].added.insert(page->PageNo());
      owner_[page->PageNo()] = s;
      if (model_) model_->uncommitted.back().insert(page->PageNo());
      m_.PutPage(page);
    }
  }
  std::vector<int32_t> Own(int32_t s, uint8_t fill) const {
    std::vector<int32_t> pages;
    for (const auto& [no, value] : committed_) {
      if (owner_.at(no) == s && value != fill && !sessions_.at(s).removed.count(no)) pages.push_back(no);
    }
    return pages;
  }
  void Change(int32_t s, uint8_t fill, size_t step) {
    const std::vector<int32_t> pages = Own(s, fill);
    for (size_t i = 0; i < pages.size(); i += step + static_cast<size_t>(random_.Between(0, 1))) {
      TABSPage* page = m_.GetPage(s, pages[i], ptTableRecord);
      std::memset(page->Data(), fill, page->DataSize());
      page->dirty = true;
      sessions_[s].pending[pages[i]] = fill;
      m_.PutPage(page);
    }
  }
  void Remove(int32_t s, int64_t count, uint8_t fill) {
    std::vector<int32_t> pages = Own(s, fill);
    for (auto it = pages.rbegin(); it != pages.rend() && count > 0; ++it, --count) {
      if (sessions_[s].pending.count(*it)) continue;
      m_.RemovePage(s, *it);
      sessions_[s].removed.insert(*it);
    }
  }
  void Commit(int32_t s) {
    m_.CommitSession(s);
    for (const auto& [no, value] : sessions_[s].pending) committed_[no] = value;
    for (int32_t no : sessions_[s].removed) committed_.erase(no);
    sessions_[s] = {};
    ++commits_;
    if (model_) {
      model_->states.push_back(committed_);
      std::set<int32_t> still;
      for (const auto& [id, session] : sessions_) still.insert(session.added.begin(), session.added.end());
      model_->uncommitted.push_back(still);
    }
    after_commit_(commits_);
  }
  void Rollback(int32_t s) {
    m_.RollbackSession(s);
    sessions_[s] = {};
  }

  TABSDiskPageManager& m_;
  std::function<void(int)> after_commit_;
  Workload* model_;
  TABSRandomSource random_{77};
  PageState committed_;
  std::map<int32_t, Session> sessions_{{1, {}}, {2, {}}};
  std::map<int32_t, int32_t> owner_;
  int commits_ = 0;
};

void RunWorkload(TABSDiskPageManager& m, const std::function<void(int)>& after_commit, Workload* model) {
  ScriptedWorkload(m, after_commit, model).Run();
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
      // Through the page manager, so that encrypted pages are decrypted and
      // their checksum verified.
      uint8_t bytes[2] = {0, 0};
      try {
        TABSPage* page = m.GetPage(9, no, kAnyPageType);
        bytes[0] = page->Data()[0];
        bytes[1] = page->Data()[page->DataSize() - 1];
        m.PutPage(page);
      } catch (const EABSException& e) {
        *detail += e.what();
      }
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

// Counts writes and syncs of the database file and its journal.
class CountingObserver : public platform::FileObserver {
 public:
  void BeforeWrite(const std::string&, int64_t, const void*, int64_t) override { OnWrite(); }
  void AfterSync(const std::string&) override { ++syncs; }
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}
  virtual void OnWrite() { ++writes; }
  int writes = 0;
  int syncs = 0;
};

class CrashTest : public testing::StorageTest, public ::testing::WithParamInterface<TABSPassword> {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    password_ = GetParam();
    {
      TABSDiskPageManager m;
      m.Random().Seed(11);
      m.CreateDatabaseFile(Path(), password_, 2, 512);
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
  // Returns the needs-repair flag.
  bool Open(TABSDiskPageManager& m) {
    bool multi = false, ro = false;
    const bool needs_repair = m.OpenDatabaseFile(Path(), password_, multi, false, ro);
    m.Random().Seed(5);
    return needs_repair;
  }
  // Reopens the file after a crash during commit completed + 1.
  void Verify(int completed, int k) {
    SCOPED_TRACE("crash at write " + std::to_string(k) + " after " + std::to_string(completed) + " commits");
    const int commits = static_cast<int>(model_.states.size()) - 1;
    ASSERT_LE(completed, commits);
    const PageState& old_state = model_.states[completed];
    const PageState& new_state = model_.states[std::min(completed + 1, commits)];
    {
      TABSDiskPageManager m;
      EXPECT_FALSE(Open(m)) << "the interrupted commit is rolled back or complete";
      std::string detail;
      EXPECT_TRUE(MatchState(m, old_state, new_state, &detail).has_value()) << detail;
    }
    const TABSIntegrityReport report = CheckDatabaseFile(Path(), password_);
    EXPECT_FALSE(report.HasCorruption()) << report.Describe();
    // Only pages no commit had made durable yet may be left marked used.
    const std::set<int32_t>& in_flight = model_.uncommitted[completed];
    for (const auto& problem : report.problems) {
      EXPECT_TRUE(problem.page_no >= 0 && in_flight.count(problem.page_no)) << report.Describe();
    }
  }

  // Writes and syncs of one undisturbed run of the workload.
  CountingObserver CountWrites() {
    Reset();
    CountingObserver counter;
    platform::SetFileObserver(&counter);
    {
      TABSDiskPageManager m;
      Open(m);
      RunWorkload(m, [](int) {}, nullptr);
    }
    platform::SetFileObserver(nullptr);
    return counter;
  }

  void PowerLossAtEveryWrite(Unsynced unsynced);

  TABSPassword password_;
  std::vector<uint8_t> initial_;
  Workload model_;
};

TEST_P(CrashTest, KilledAtEveryWrite) {
  const int total = CountWrites().writes;
  ASSERT_GT(total, kRounds * 8);
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

void CrashTest::PowerLossAtEveryWrite(Unsynced unsynced) {
  const CountingObserver counts = CountWrites();
  const int total = counts.writes + counts.syncs;
  for (int k = 1; k <= total; ++k) {
    Reset();
    int completed = 0;
    PowerLoss power(std::vector<std::string>{Path(), Path() + "-journal"}, k, k % 2 == 1, unsynced);
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

TEST_P(CrashTest, PowerLossAtEveryWrite) { PowerLossAtEveryWrite(Unsynced::kLost); }

TEST_P(CrashTest, PowerLossKeepingSomeUnsyncedWritesAtEveryWrite) { PowerLossAtEveryWrite(Unsynced::kSomeKept); }

INSTANTIATE_TEST_SUITE_P(Files, CrashTest,
                         ::testing::Values(TABSPassword{}, TABSPassword{"crash", ciTwofish128}),
                         [](const auto& info) { return info.param.password.empty() ? "plain" : "encrypted"; });

}  // namespace
}  // namespace kelvorin
