// A writer killed inside its commit, at each of the commit's writes in
// turn, while another open of the file has the table open with its pages
// cached: the kernel frees the dead writer's locks at once, so the other
// open's next operation may come before anyone has rolled the interrupted
// commit back. That operation must see the table as it was before the
// dead commit (never part of it), and its own commit must not carry pages
// of the dead one: afterwards the table holds the dead writer's change
// entirely or not at all, the survivor's change entirely, and the checker
// is clean.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "platform/file.h"
#include "tests/db/storage/locks/lock_test_util.h"

namespace kelvorin {
namespace {

using testing::IntField;
using testing::LockTest;
using testing::SetIntField;
using testing::WriteTrap;

constexpr int32_t kRows = 12;

enum class Change { kInsert, kUpdate, kDelete };

const char* ChangeName(Change change) {
  static const char* const kNames[] = {"insert", "update", "delete"};
  return kNames[static_cast<int>(change)];
}

// The rows of the table by their key: key -> value.
std::map<int32_t, int32_t> Rows(TABSDiskTableData& table, int32_t session) {
  std::map<int32_t, int32_t> rows;
  table.ForEachRecord(session, [&](TABSRecordId, const uint8_t* record) {
    rows[IntField(table, record, 0)] = IntField(table, record, 1);
  });
  return rows;
}

// One open of the file with a session and the table open.
class TableUser {
 public:
  explicit TableUser(const std::string& path) : db_(path, {}), session_(true, false) {
    db_.ConnectSession(session_);
    cursor_ = std::make_unique<TABSCursor>(session_, "counters");
    table_ = db_.OpenTable(*cursor_);
    record_.resize(static_cast<size_t>(table_->RecordFields().MemorySize()));
  }
  ~TableUser() {
    try {
      db_.CloseTable(*cursor_);
      db_.DisconnectSession(session_);
    } catch (...) {
    }
  }

  TABSDiskTableData& Table() { return *table_; }
  int32_t Slot() const { return session_.SessionNumber(); }

  // Changes the row of the key (inserts it), giving it the value.
  void Apply(Change change, int32_t key, int32_t value) {
    if (change == Change::kInsert) {
      table_->InitRecord(session_, record_.data(), false);
      SetIntField(*table_, record_.data(), 0, key);
      SetIntField(*table_, record_.data(), 1, value);
      ASSERT_TRUE(table_->InsertRecord(session_, record_.data()).Succeeded());
      return;
    }
    TABSRecordId id{};
    bool found = false;
    table_->ForEachRecord(Slot(), [&](TABSRecordId at, const uint8_t* record) {
      if (IntField(*table_, record, 0) == key) {
        id = at;
        found = true;
      }
    });
    ASSERT_TRUE(found) << "row " << key;
    if (change == Change::kDelete) {
      ASSERT_TRUE(table_->DeleteRecord(session_, id, nullptr).Succeeded());
      return;
    }
    ASSERT_TRUE(table_->ReadRecord(Slot(), id, record_.data()));
    SetIntField(*table_, record_.data(), 1, value);
    ASSERT_TRUE(table_->UpdateRecord(session_, id, record_.data(), nullptr).Succeeded());
  }

 private:
  TABSDiskDatabaseData db_;
  TABSBaseSession session_;
  std::unique_ptr<TABSCursor> cursor_;
  TABSDiskTableData* table_ = nullptr;
  std::vector<uint8_t> record_;
};

// The victim's change and the survivor's: an insert of key 100, an update
// of key 3 (value 1000 by the victim, 2000 by the survivor), a delete of
// key 5 (victim) or key 7 (survivor).
void Expect(std::map<int32_t, int32_t>& rows, Change change, bool survivor) {
  switch (change) {
    case Change::kInsert:
      rows[survivor ? 200 : 100] = 0;
      break;
    case Change::kUpdate:
      rows[survivor ? 4 : 3] = survivor ? 2000 : 1000;
      break;
    case Change::kDelete:
      rows.erase(survivor ? 7 : 5);
      break;
  }
}
void Do(TableUser& user, Change change, bool survivor) {
  switch (change) {
    case Change::kInsert:
      user.Apply(change, survivor ? 200 : 100, 0);
      break;
    case Change::kUpdate:
      user.Apply(change, survivor ? 4 : 3, survivor ? 2000 : 1000);
      break;
    case Change::kDelete:
      user.Apply(change, survivor ? 7 : 5, 0);
      break;
  }
}

class KilledCommitterTest : public LockTest {
 protected:
  void CreateCounters() {
    CreateLockFile(4);
    Open();
    CreateTable("counters", {testing::Field("k", TABSColumnType::Integer), testing::Field("n", TABSColumnType::Integer),
                             testing::Field("pad", TABSColumnType::String, 20)},
                {"k", "n"});
    Close();
    db_.reset();
    TableUser user(Path());
    for (int32_t k = 0; k < kRows; ++k) user.Apply(Change::kInsert, k, 0);
  }

  // Runs the victim's change in a child killed at its k-th write of the
  // file; false when the change needed fewer writes (the child ended).
  bool RunVictim(Change change, int kill_at) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      int status = 0;
      {
        TableUser victim(Path());
        WriteTrap trap(Path(), kill_at, 0);
        platform::SetFileObserver(&trap);
        Do(victim, change, false);
        platform::SetFileObserver(nullptr);
        if (::testing::Test::HasFailure()) status = 2;
      }
      ::_exit(status);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    if (WIFSIGNALED(status)) return true;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    return false;
  }
};

TEST_F(KilledCommitterTest, TheOtherOpenNeverBuildsOnAHalfWrittenCommit) {
  CreateCounters();
  // Every try starts from a copy: building the table commits a dozen times.
  std::filesystem::copy_file(Path(), Path("base"));
  const Change kChanges[] = {Change::kInsert, Change::kUpdate, Change::kDelete};
  // The survivor reads first, then changes the count or a record.
  const Change kNext[] = {Change::kInsert, Change::kUpdate};
  for (const Change victim : kChanges) {
    for (const Change next : kNext) {
      for (int kill_at = 1;; ++kill_at) {
        SCOPED_TRACE(std::string("victim ") + ChangeName(victim) + " killed at write " + std::to_string(kill_at) +
                     ", then the survivor's " + ChangeName(next));
        std::filesystem::remove(Path() + "-journal");
        std::filesystem::copy_file(Path("base"), Path(), std::filesystem::copy_options::overwrite_existing);
        std::map<int32_t, int32_t> before;
        bool killed = false;
        {
          // The survivor has the table open and its pages cached before the
          // victim begins.
          TableUser survivor(Path());
          before = Rows(survivor.Table(), survivor.Slot());
          killed = RunVictim(victim, kill_at);
          // Its next operations: a scan, then a change.
          const std::map<int32_t, int32_t> seen = Rows(survivor.Table(), survivor.Slot());
          std::map<int32_t, int32_t> after_victim = before;
          Expect(after_victim, victim, false);
          EXPECT_TRUE(seen == before || seen == after_victim) << "the survivor reads a half-written commit";
          Do(survivor, next, true);
        }
        std::map<int32_t, int32_t> with_victim = before;
        Expect(with_victim, victim, false);
        std::map<int32_t, int32_t> without_victim = before;
        Expect(with_victim, next, true);
        Expect(without_victim, next, true);
        {
          TableUser checker(Path());
          const std::map<int32_t, int32_t> rows = Rows(checker.Table(), checker.Slot());
          EXPECT_TRUE(rows == with_victim || rows == without_victim) << "the dead change is whole or absent";
          EXPECT_EQ(checker.Table().RecordCount(), static_cast<int64_t>(rows.size()));
        }
        ExpectCatalogueClean(Path());
        if (::testing::Test::HasFailure() || !killed) break;
      }
      if (::testing::Test::HasFailure()) return;
    }
  }
}

}  // namespace
}  // namespace kelvorin
