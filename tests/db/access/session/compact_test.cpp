// Compact: the file is replaced by a whole copy or left as it was, whatever
// fails, whoever stops it and wherever the process dies.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "db/access/table/table_copy.h"
#include "tests/db/access/session/session_test_util.h"
#include "tests/db/access/write_killer.h"

namespace kelvorin::testing {
namespace {

class CompactTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    {
      auto database = NewDatabase("players");
      database->Open();
      AddPlayers(*database, 60);
    }
    Keep(20);
  }
  // Deletes the first players until `count` are left; freed pages for the
  // copy to leave out.
  void Keep(int count) {
    auto database = NewDatabase("players");
    database->Open();
    TABSLocalCursor cursor(database->Connection(), kTable);
    cursor.Open();
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    for (int64_t i = cursor.RecordCount(); i > count; --i) {
      cursor.First();
      ASSERT_EQ(cursor.GetRecord(buffer.data(), TABSGetRecordMode::kNext), TABSGetRecordResult::kFound);
      ASSERT_TRUE(cursor.Delete(buffer.data())) << cursor.StatusMessage();
    }
    cursor.Close();
    database->Close();
    players_ = Players();
    ASSERT_EQ(players_.size(), static_cast<size_t>(count));
    original_ = ReadAll(Path());
  }
  void ExpectOriginalUntouched() {
    EXPECT_EQ(ReadAll(Path()), original_);
    EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
    EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp-journal"));
  }

  std::vector<std::string> players_;
  std::vector<uint8_t> original_;
};

TEST_F(CompactTest, ReplacesTheFileByASmallerWholeCopy) {
  RecordingProgress progress;
  auto database = NewDatabase("players");
  EXPECT_EQ(database->Compact(), "");
  EXPECT_FALSE(database->Connected());
  EXPECT_FALSE(database->Exclusive()) << "put back";
  EXPECT_LT(std::filesystem::file_size(Path()), original_.size());
  EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
  EXPECT_EQ(Players(), players_);
  ExpectClean(Path());
  EXPECT_EQ(progress.events, (std::vector<std::string>{"open Repairing Database...", "0", "0", "99", "close"}));
  // The compacted file takes new players after the old ids.
  database->Open();
  AddPlayers(*database, 1, "New");
  database->Close();
  EXPECT_EQ(Players().back(), "61:New0");
}

TEST_F(CompactTest, TheRepairEventsTakeThePlaceOfTheProgressWindow) {
  RecordingProgress progress;
  auto database = NewDatabase("players");
  std::vector<std::string> events;
  database->BeforeRepair = [&](TABSDatabase&) { events.push_back("before"); };
  database->OnRepairProgress = [&](TABSDatabase&, int32_t percent, bool&) { events.push_back(std::to_string(percent)); };
  database->AfterRepair = [&](TABSDatabase&) { events.push_back("after"); };
  EXPECT_EQ(database->Compact(), "");
  EXPECT_EQ(events, (std::vector<std::string>{"before", "0", "99", "after"}));
  EXPECT_TRUE(progress.events.empty());
}

TEST_F(CompactTest, Refusals) {
  auto database = NewDatabase("players");
  database->Open();
  EXPECT_THROW(database->Compact(), EDatabaseError);
  database->Close();
  auto other = NewDatabase("other");
  other->Open();
  EXPECT_EQ(ErrorCode([&] { database->Compact(); }), 10822) << "open through another component";
  other->Close();
  TABSSessionSettings settings;
  settings.file_name = Path();
  {
    TABSLocalSession connection(settings);
    connection.Connect();
    EXPECT_EQ(ErrorCode([&] { database->Compact(); }), 10822) << "open through a connection of its own";
  }
  TABSDatabase::SetTableCopier(nullptr);
  EXPECT_EQ(ErrorCode([&] { database->Compact(); }), 10824);
  ExpectOriginalUntouched();
}

TEST_F(CompactTest, AFailedCopyOrAStopLeavesTheFile) {
  struct Case {
    const char* name;
    TABSDatabase::TableCopier copier;
    int stop_at;  // progress answers "stop" from this percentage
    std::string result;
    bool raises;
  };
  const Case cases[] = {
      {"copier raises",
       [](TABSDatabase&, TABSDatabase&, const std::string&, const TABSProgressRange&, bool&, std::string&) {
         throw EABSException(99997, "copy failed");
       },
       -1, "", true},
      {"copier reports an error",
       [](TABSDatabase& s, TABSDatabase& d, const std::string& t, const TABSProgressRange& r, bool& c,
          std::string& e) {
         CopyThroughCursors(s, d, t, r, c, e);
         e += "Table 'hraci' already exists";
       },
       -1, "Table 'hraci' already exists", false},
      {"stopped through the progress window", CopyThroughCursors, 0, "Unknown error", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingProgress progress;
    progress.stop_at = c.stop_at;
    TABSDatabase::SetTableCopier(c.copier);
    auto database = NewDatabase("players");
    std::string result;
    const std::string error = ErrorOf([&] { result = database->Compact(); });
    EXPECT_EQ(!error.empty(), c.raises) << error;
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(progress.events.back(), "close");
    EXPECT_FALSE(database->Connected());
    EXPECT_FALSE(database->Exclusive());
    ExpectOriginalUntouched();
    // Nothing of the copy stays open: the file is free for the next one.
    database->Open();
    database->Close();
    EXPECT_EQ(TABSOpenDatabases::Process().Count(), 0);
  }
}

// Through the table layer's copier, as the program compacts.
TEST_F(CompactTest, KilledAtEveryWrite) {
  RegisterTableCopier();
  Keep(3);  // the copier commits each record: a few keep the test short
  int total = 0;
  {
    WriteKiller counter(-1);
    auto database = NewDatabase("players");
    ASSERT_EQ(database->Compact(), "");
    total = counter.writes;
  }
  const std::vector<uint8_t> compacted = ReadAll(Path());
  ASSERT_GT(total, 3);
  for (int k = 1; k <= total; ++k) {
    SCOPED_TRACE("killed at write " + std::to_string(k) + " of " + std::to_string(total));
    WriteAll(Path(), original_);
    std::filesystem::remove(Path() + ".tmp");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      WriteKiller killer(k);
      auto database = NewDatabase("players");
      database->SetSilentMode(true);
      database->Compact();
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const std::vector<uint8_t> now = ReadAll(Path());
    EXPECT_TRUE(now == original_ || now.size() == compacted.size()) << "neither the file nor its whole copy";
    EXPECT_EQ(Players(), players_);
    ExpectClean(Path());
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace kelvorin::testing
