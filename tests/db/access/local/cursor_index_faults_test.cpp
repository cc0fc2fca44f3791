// Posts and deletes through the cursor that fail inside the change of one
// index of several: at each page the index's change gets, adds or removes
// in turn. The failed operation reports its status and error and leaves
// the records, every index and the file as they were; posting the same
// buffer again, without the fault, changes the table once.
#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "db/storage/catalog/catalog_check.h"
#include "tests/db/access/local/local_test_util.h"
#include "tests/db/engine_error_capture.h"
#include "tests/db/storage/page_faults.h"

namespace kelvorin::testing {
namespace {

constexpr int32_t kInjected = PageFaults::kInjected;

enum class Change { kInsert, kUpdate, kDelete };

class CursorIndexFaultsTest : public LocalAccessTest {
 protected:
  static constexpr const char* kPlayers = "soupisky";
  static constexpr int32_t kInitialRecords = 30;

  void SetUp() override {
    LocalAccessTest::SetUp();
    session_ = NewSession(list_, false);
    using C = TABSColumnType;
    {
      // Long keys: a leaf holds few entries, so changes split and merge pages.
      TABSLocalCursor creating(*session_, kPlayers);
      auto defs = Definitions({Field("id", C::AutoInc), Field("Jmeno", C::String, 400), Field("Klub", C::String, 400),
                               Field("Body", C::Integer)},
                              {"id", "Jmeno", "Klub"});
      for (int32_t i = 1; i < defs->Indexes().Count(); ++i) {
        defs->Indexes().Items(i)->Columns()[0].max_indexed_size = 400;
      }
      creating.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
    }
    cursor_ = OpenCursor(*session_, kPlayers);
    for (int32_t i = 0; i < kInitialRecords; ++i) {
      std::vector<uint8_t> buffer = NewPlayer();
      ASSERT_TRUE(cursor_->Post(buffer.data(), true));
      model_.push_back(Describe(buffer));
    }
  }
  void TearDown() override {
    cursor_.reset();
    LocalAccessTest::TearDown();
  }

  // Names that share their start and differ late, in no order.
  std::string Name(const char* prefix) {
    ++serial_;
    return std::string(prefix) + std::string(350, 'x') + std::to_string(serial_ * 7919 % 1000);
  }
  std::vector<uint8_t> NewPlayer() {
    std::vector<uint8_t> buffer = cursor_->NewRecordBuffer();
    cursor_->InitRecordBuffer(buffer.data(), true);
    SetText(*cursor_, buffer, "Jmeno", Name("J"));
    SetText(*cursor_, buffer, "Klub", Name("K"));
    SetInt(*cursor_, buffer, "Body", serial_);
    return buffer;
  }
  std::string Describe(const std::vector<uint8_t>& buffer) {
    return Get(*cursor_, buffer, "id") + "|" + Get(*cursor_, buffer, "Jmeno") + "|" + Get(*cursor_, buffer, "Klub") +
           "|" + Get(*cursor_, buffer, "Body");
  }
  // The record `n`-th in the index's order, with its position.
  std::vector<uint8_t> RecordAt(const std::string& index, int64_t n) {
    std::vector<uint8_t> buffer = cursor_->NewRecordBuffer();
    cursor_->SwitchIndex(index);
    cursor_->First();
    for (int64_t i = 0; i <= n; ++i) {
      EXPECT_EQ(cursor_->GetRecord(buffer.data(), TABSGetRecordMode::kNext), TABSGetRecordResult::kFound);
    }
    cursor_->SwitchIndex("");
    return buffer;
  }
  int32_t RootOf(const std::string& index) {
    return cursor_->OpenTable().Metadata().Indexes().Find(index)->RootPage();
  }

  // The records in storage order and in the order of every index agree
  // with the model, each index's tree is sound, and so is the file (a
  // failed change never reaches it: it is checked once the change is in).
  void ExpectAsModelled(bool check_file) {
    std::vector<std::string> expected = model_;
    std::sort(expected.begin(), expected.end());
    TABSTableData& table = cursor_->OpenTable();
    for (const std::string order : {"", "I_id", "I_Jmeno", "I_Klub"}) {
      SCOPED_TRACE("order " + order);
      cursor_->SwitchIndex(order);
      std::vector<std::string> found;
      std::vector<uint8_t> buffer = cursor_->NewRecordBuffer();
      cursor_->First();
      while (cursor_->GetRecord(buffer.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
        found.push_back(Describe(buffer));
      }
      EXPECT_EQ(cursor_->RecordCount(), static_cast<int64_t>(found.size()));
      std::sort(found.begin(), found.end());
      EXPECT_EQ(found, expected);
    }
    cursor_->SwitchIndex("");
    TABSBaseIndexManager& indexes = table.IndexManager();
    for (int32_t i = 0; i < indexes.Count(); ++i) {
      const TABSBTreeCheckResult tree = indexes.Index(i).CheckIntegrity(session_->SessionNumber());
      EXPECT_TRUE(tree.Clean()) << indexes.Definition(i).Name() << ": " << tree.Describe();
    }
    if (!check_file) return;
    const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
    EXPECT_TRUE(report.Clean()) << report.Describe();
  }

  TABSLocalSession* session_ = nullptr;
  std::unique_ptr<TABSLocalCursor> cursor_;
  std::vector<std::string> model_;
  int32_t serial_ = 0;
};

struct FaultCase {
  const char* what;
  Change change;
  bool transaction;
  TABSPostCode failed;
  // The kinds of page operation the faults must fall on.
  std::vector<TABSPageObserver::Operation> reached;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.what; }

class CursorIndexFaultsCaseTest : public CursorIndexFaultsTest, public ::testing::WithParamInterface<FaultCase> {};

using Operation = TABSPageObserver::Operation;

INSTANTIATE_TEST_SUITE_P(
    Changes, CursorIndexFaultsCaseTest,
    ::testing::Values(
        FaultCase{"Insert", Change::kInsert, false, TABSPostCode::kInsertFailed, {Operation::kGet, Operation::kAdd}},
        FaultCase{"UpdateOfBothKeys", Change::kUpdate, false, TABSPostCode::kUpdateFailed,
                  {Operation::kGet, Operation::kAdd, Operation::kRemove}},
        FaultCase{"Delete", Change::kDelete, false, TABSPostCode::kDeleteFailed, {Operation::kGet, Operation::kRemove}},
        FaultCase{"InsertInATransaction", Change::kInsert, true, TABSPostCode::kInsertFailed,
                  {Operation::kGet, Operation::kAdd}},
        FaultCase{"UpdateOfBothKeysInATransaction", Change::kUpdate, true, TABSPostCode::kUpdateFailed,
                  {Operation::kGet, Operation::kAdd, Operation::kRemove}},
        FaultCase{"DeleteInATransaction", Change::kDelete, true, TABSPostCode::kDeleteFailed,
                  {Operation::kGet, Operation::kRemove}}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.what); });

TEST_P(CursorIndexFaultsCaseTest, AFailureInsideAnIndexChangeUndoesTheWholeOperation) {
  const FaultCase& c = GetParam();
  std::vector<Operation> failed_operations;
  for (const std::string index : {"I_Jmeno", "I_Klub"}) {
    // Several records in turn, so that some changes split pages; the old
    // keys are taken from one place of the index, so that its pages merge.
    for (int32_t round = 0; round < 5; ++round) {
      SCOPED_TRACE("failing in " + index + ", round " + std::to_string(round));
      if (c.transaction) session_->StartTransaction();
      std::vector<uint8_t> buffer;
      std::string before_change;
      if (c.change == Change::kInsert) {
        buffer = NewPlayer();
      } else {
        buffer = RecordAt(index, 3);
        before_change = Describe(buffer);
      }
      if (c.change == Change::kUpdate) {
        ASSERT_TRUE(cursor_->BeginEdit(buffer.data()));
        SetText(*cursor_, buffer, "Jmeno", Name("J"));
        SetText(*cursor_, buffer, "Klub", Name("K"));
      }
      const std::vector<uint8_t> posted = buffer;
      int32_t fail_at = 1;
      for (;; ++fail_at) {
        ASSERT_LT(fail_at, 200) << "the fault never leaves the operation";
        SCOPED_TRACE("page operation " + std::to_string(fail_at));
        std::optional<PageFaults> faults;
        faults.emplace(fail_at, RootOf(index));
        const int32_t code = ErrorCode([&] {
          if (c.change == Change::kDelete) {
            EXPECT_TRUE(cursor_->Delete(buffer.data()));
          } else {
            EXPECT_TRUE(cursor_->Post(buffer.data(), c.change == Change::kInsert));
          }
        });
        const std::optional<Operation> failed = faults->failed;
        faults.reset();
        if (!failed) {
          ASSERT_EQ(code, 0);
          break;
        }
        failed_operations.push_back(*failed);
        ASSERT_EQ(code, kInjected);
        EXPECT_EQ(cursor_->Status(), static_cast<int32_t>(c.failed));
        EXPECT_EQ(buffer, posted) << "the caller's record is kept, no id filled in";
        EXPECT_EQ(cursor_->Editing(), c.change == Change::kUpdate) << "the edit waits for a retry or cancel";
        ExpectAsModelled(false);
        if (HasFailure()) return;
      }
      EXPECT_GT(fail_at, 1) << "the index's change was never reached";
      EXPECT_EQ(cursor_->Status(), 0);
      EXPECT_FALSE(cursor_->Editing());
      switch (c.change) {
        case Change::kInsert:
          model_.push_back(Describe(buffer));
          break;
        case Change::kUpdate:
          std::replace(model_.begin(), model_.end(), before_change, Describe(buffer));
          break;
        case Change::kDelete:
          model_.erase(std::find(model_.begin(), model_.end(), before_change));
          break;
      }
      if (c.transaction) session_->Commit();
      ExpectAsModelled(true);
      if (HasFailure()) return;
    }
  }
  for (const Operation operation : c.reached) {
    EXPECT_NE(std::find(failed_operations.begin(), failed_operations.end(), operation), failed_operations.end())
        << "no fault fell on a page operation of kind " << static_cast<int>(operation);
  }
}

}  // namespace
}  // namespace kelvorin::testing
