// A cursor whose record changes under it: the current record deleted or
// given another key through another cursor (of this process or another
// one), and posts through the cursor whose writes of index and record
// pages fail half way, leaving the file sound and the cursor's records as
// they were.
#include <algorithm>
#include <set>
#include <string>

#include "db/storage/catalog/catalog_check.h"
#include "tests/db/access/local/local_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin::testing {
namespace {

class CursorChangesTest : public LocalAccessTest {
 protected:
  // A table of six players with Body 1..6, inserted in that order (storage
  // order agrees with the order of Body), indexed on Body too.
  void Players(TABSLocalSession& session, const std::string& table) {
    using C = TABSColumnType;
    TABSLocalCursor cursor(session, table);
    const auto defs = Definitions({Field("id", C::AutoInc), Field("Jmeno", C::String, 20), Field("Body", C::Integer)},
                                  {"id", "Body"});
    cursor.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
    cursor.Open();
    for (int32_t body = 1; body <= 6; ++body) Insert(cursor, "H" + std::to_string(body), body);
  }
  // The Body values of the cursor's records from first to last.
  std::vector<std::string> Bodies(TABSLocalCursor& cursor) {
    std::vector<std::string> bodies;
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.First();
    while (cursor.GetRecord(buffer.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
      bodies.push_back(Get(cursor, buffer, "Body"));
    }
    return bodies;
  }
  // Moves the cursor onto the record with that Body.
  std::vector<uint8_t> StandOn(TABSLocalCursor& cursor, int32_t body) {
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.First();
    while (cursor.GetRecord(buffer.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
      if (Get(cursor, buffer, "Body") == std::to_string(body)) return buffer;
    }
    ADD_FAILURE() << "no record with Body " << body;
    return buffer;
  }

  TABSOpenDatabases other_process_;
};

TEST_F(CursorChangesTest, TheCurrentRecordDeletedOrReKeyedElsewhere) {
  enum class Change { kDelete, kReKeyHigh, kReKeyLow, kDeleteTwo };
  struct Case {
    const char* what;
    const char* index;
    const char* filter;
    Change change;
    bool other_process;
    const char* next;   // Body of the record next finds after the change
    const char* prior;  // and prior, from the same place
  };
  const std::vector<Case> cases = {
      {"deleted, storage order", "", "", Change::kDelete, false, "4", "2"},
      {"deleted, index order", "I_Body", "", Change::kDelete, false, "4", "2"},
      {"deleted by another process", "I_Body", "", Change::kDelete, true, "4", "2"},
      {"deleted with the next one", "I_Body", "", Change::kDeleteTwo, false, "5", "2"},
      {"deleted with the next one, storage order", "", "", Change::kDeleteTwo, true, "5", "2"},
      {"deleted, the next one filtered out", "I_Body", "Body <> 4", Change::kDelete, false, "5", "2"},
      {"re-keyed past the end", "I_Body", "", Change::kReKeyHigh, false, "4", "2"},
      {"re-keyed before the start", "I_Body", "", Change::kReKeyLow, true, "4", "2"},
      {"re-keyed, storage order", "", "", Change::kReKeyHigh, false, "4", "2"},
  };
  int32_t tables = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TABSLocalSession* ours = NewSession(list_, c.other_process);
    TABSLocalSession* theirs = c.other_process ? NewSession(other_process_, true) : ours;
    for (const std::string_view direction : {"next", "prior"}) {
      SCOPED_TRACE(direction);
      const std::string table = "t" + std::to_string(++tables);
      Players(*ours, table);
      auto reader = OpenCursor(*ours, table);
      auto writer = OpenCursor(*theirs, table);
      reader->SwitchIndex(c.index);
      if (*c.filter != '\0') reader->SetFilterText(c.filter, false, false);
      StandOn(*reader, 3);
      std::vector<uint8_t> rec = StandOn(*writer, 3);
      switch (c.change) {
        case Change::kDelete:
          ASSERT_TRUE(writer->Delete(rec.data())) << writer->Status();
          break;
        case Change::kDeleteTwo: {
          ASSERT_TRUE(writer->Delete(rec.data())) << writer->Status();
          std::vector<uint8_t> next = StandOn(*writer, 4);
          ASSERT_TRUE(writer->Delete(next.data())) << writer->Status();
          break;
        }
        case Change::kReKeyHigh:
        case Change::kReKeyLow:
          ASSERT_TRUE(writer->BeginEdit(rec.data())) << writer->Status();
          SetInt(*writer, rec, "Body", c.change == Change::kReKeyHigh ? 10 : 0);
          ASSERT_TRUE(writer->Post(rec.data(), false)) << writer->Status();
          break;
      }
      std::vector<uint8_t> found = reader->NewRecordBuffer();
      const auto mode = direction == "next" ? TABSGetRecordMode::kNext : TABSGetRecordMode::kPrior;
      ASSERT_EQ(reader->GetRecord(found.data(), mode), TABSGetRecordResult::kFound);
      EXPECT_EQ(Get(*reader, found, "Body"), direction == "next" ? c.next : c.prior);
      // Navigation goes on from there, and a walk meets every record once.
      const std::vector<std::string> all = Bodies(*reader);
      EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size());
      EXPECT_EQ(static_cast<int64_t>(all.size()), reader->RecordCount());
    }
    // The next case opens the file in its own mode.
    sessions_.clear();
  }
}

TEST_F(CursorChangesTest, APostFailingHalfWayLeavesTheFileSoundAndTheRecordsAsTheyWere) {
  using S = WriteFaults::Scope;
  struct Case {
    const char* what;
    S scope;
    bool keep_failing;  // every write from the failing one on
  };
  // Writes that keep failing would stop the journal's rollback too (a
  // crash's state): they fail the file's pages only.
  const std::vector<Case> cases = {
      {"one write of the file or its journal fails", S::kFileAndJournal, false},
      {"one write of the file's pages fails", S::kPages, false},
      {"every write of the file's pages fails from one on", S::kPages, true},
  };
  TABSLocalSession* session = NewSession(list_, false);
  using C = TABSColumnType;
  {
    // Long indexed names: posts split the index's pages.
    TABSLocalCursor creating(*session, "dlouhe");
    const auto defs = Definitions({Field("id", C::AutoInc), Field("Jmeno", C::String, 200)}, {"id", "Jmeno"});
    creating.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
  }
  auto cursor = OpenCursor(*session, "dlouhe");
  cursor->SwitchIndex("I_Jmeno");
  int32_t serial = 0;
  std::vector<std::string> model;
  const auto post = [&](std::vector<uint8_t>& buffer) {
    cursor->InitRecordBuffer(buffer.data(), true);
    ++serial;
    const std::string name = std::string(190, static_cast<char>('a' + serial * 7 % 26)) + std::to_string(serial);
    SetText(*cursor, buffer, "Jmeno", name);
    return name;
  };
  const auto names = [&] {
    std::vector<std::string> found;
    std::vector<uint8_t> buffer = cursor->NewRecordBuffer();
    cursor->First();
    while (cursor->GetRecord(buffer.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
      found.push_back(Get(*cursor, buffer, "Jmeno"));
    }
    return found;
  };
  for (int32_t i = 0; i < 40; ++i) {
    std::vector<uint8_t> buffer = cursor->NewRecordBuffer();
    model.push_back(post(buffer));
    ASSERT_TRUE(cursor->Post(buffer.data(), true));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int32_t step = 1;; ++step) {
      SCOPED_TRACE("fault " + std::to_string(step));
      std::vector<uint8_t> buffer = cursor->NewRecordBuffer();
      const std::string name = post(buffer);
      const std::vector<uint8_t> before = buffer;
      int32_t code = 0;
      {
        WriteFaults faults(Path(), c.scope);
        faults.fail_at = step;
        faults.keep_failing = c.keep_failing;
        code = ErrorCode([&] { cursor->Post(buffer.data(), true); });
      }
      if (code == 0) {
        // The fault no longer falls inside a post.
        model.push_back(name);
        break;
      }
      EXPECT_EQ(buffer, before) << "the caller's record is kept, its id not filled in";
      std::vector<std::string> found = names();
      EXPECT_EQ(static_cast<int64_t>(found.size()), cursor->RecordCount());
      std::sort(found.begin(), found.end());
      std::vector<std::string> expected = model;
      std::sort(expected.begin(), expected.end());
      ASSERT_EQ(found, expected);
      const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
      // Writes that keep failing may keep a rollback from giving page
      // numbers back until the session's next commit.
      if (c.keep_failing) {
        ASSERT_FALSE(report.HasCorruption()) << report.Describe();
      } else {
        ASSERT_TRUE(report.Clean()) << report.Describe();
      }
    }
    std::vector<uint8_t> buffer = cursor->NewRecordBuffer();
    model.push_back(post(buffer));
    ASSERT_TRUE(cursor->Post(buffer.data(), true));
    const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
    EXPECT_TRUE(report.Clean()) << report.Describe();
  }
  EXPECT_EQ(cursor->RecordCount(), static_cast<int64_t>(model.size()));
}

}  // namespace
}  // namespace kelvorin::testing
