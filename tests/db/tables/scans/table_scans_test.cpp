// Scans case by case: which comparisons become index conditions and which
// stay per-record tests, the faults of a naive derivation (NULLs, lossy
// constants, cut columns), ranges and their column counts, distinct
// stepping both ways, a current record deleted or re-keyed elsewhere, and
// the filter bitmap after writes.
#include <gtest/gtest.h>

#include "db/storage/errors/abs_exception.h"
#include "tests/db/tables/scans/scans_test_util.h"

namespace kelvorin::testing {
namespace {

class TableScansTest : public ScanTableTest {
 protected:
  void SetUp() override {
    ScanTableTest::SetUp();
    // Kolo 0..9 three times over, Stul 1..3, and three NULL rounds.
    for (int32_t i = 0; i < 30; ++i) Insert({i % 10, 1 + i / 10, "Hrac " + std::to_string(i), i});
    for (int32_t i = 0; i < 3; ++i) Insert({std::nullopt, i + 1, std::nullopt, 0});
  }
  std::vector<std::string> Column(const std::vector<int64_t>& ids, const std::string& field) {
    std::vector<std::string> values;
    for (int64_t id : ids) {
      table_->ForEachRecord(0, [&](TABSRecordId, const uint8_t* record) {
        if (Id(record) == id) values.push_back(Text(record, field));
      });
    }
    return values;
  }
};

TEST_F(TableScansTest, WhatBecomesAnIndexCondition) {
  struct Case {
    std::string filter;
    std::string explained;  // a line the plan must hold
    size_t count;
  };
  const std::vector<Case> cases{
      {"Kolo = 3", "from\tI_Kolo: Kolo = 3", 3},
      {"3 < Kolo", "from\tI_Kolo: Kolo > 3", 18},
      {"Kolo > 3", "from\tI_Kolo: Kolo > 3", 18},
      // NULL lies below every value in the index, but fails the comparison.
      {"Kolo < 3", "to\tI_Kolo: Kolo < 3", 9},
      {"Kolo <> 3", "test\t[Kolo] <> 3", 30},
      {"Kolo = Stul", "test\t[Kolo] = [Stul]", 3},
      {"Kolo >= 2.5", "test\t[Kolo] >= 2.5", 21},
      {"Kolo < 3000000000", "test\t[Kolo] < 3000000000", 30},
      {"Kolo = NULL", "test\t[Kolo] = NULL", 0},
      {"Jmeno = ''", "test\t[Jmeno] = ''", 0},
      {"Kolo = 3 AND Kolo > 5", "access\tnone", 0},
      {"Kolo <= 3 AND Kolo >= 3", "from\tI_Kolo: Kolo = 3", 3},
      {"Kolo = 3 OR Kolo = 4", "access\tstorage order", 6},
      {"NOT (Kolo = 3)", "access\tstorage order", 30},
      // Prefix order is not full-value order on a cut column.
      {"Jmeno > 'Hrac 2'", "test\t[Jmeno] > 'Hrac 2'", 17},
      {"Jmeno = 'Hrac 25'", "from\tI_Jmeno: Jmeno = Hrac 25", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    const auto filter = Filter(c.filter);
    cursor_->SetFilter(filter.get());
    const std::string plan = TABSTableScans::Explain(*cursor_);
    EXPECT_NE(plan.find(c.explained), std::string::npos) << plan;
    EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), static_cast<int64_t>(c.count));
    EXPECT_EQ(Forward(*cursor_).size(), c.count);
    cursor_->SetFilter(nullptr);
  }
}

TEST_F(TableScansTest, AnIndexOrderedCursorWithoutAnIndexForItsFilterWalksItsOwnIndex) {
  // The seating window: sorted by table, filtered on one round.
  cursor_->SetIndexId(IndexId("I_StulDown"));
  const auto filter = Filter("Body >= 20");
  cursor_->SetFilter(filter.get());
  const std::vector<int64_t> ids = Forward(*cursor_);
  EXPECT_EQ(Column(ids, "Stul"), (std::vector<std::string>{"3", "3", "3", "3", "3", "3", "3", "3", "3", "3"}));
  int64_t number = 0;
  for (auto r = TABSTableScans::GetRecord(*cursor_, TABSGetRecordMode::kFirst); r == TABSGetRecordResult::kFound;
       r = TABSTableScans::GetRecord(*cursor_, TABSGetRecordMode::kNext)) {
    EXPECT_EQ(TABSTableScans::RecordNumber(*cursor_), ++number);
  }
  EXPECT_EQ(number, 10);
}

TEST_F(TableScansTest, RangesTakeTheirColumnCounts) {
  cursor_->SetIndexId(IndexId("I_KoloStul"));
  const std::vector<uint8_t> low = RecordOf({3, 2, std::nullopt, 0});
  const std::vector<uint8_t> high = RecordOf({5, 1, std::nullopt, 0});
  struct Case {
    int32_t low_columns, high_columns;
    bool low_exclusive, high_exclusive;
    size_t count;
  };
  const std::vector<Case> cases{
      {0, 0, false, false, 2 + 3 + 1},  // (3,2)..(5,1) over both columns
      {3, 7, false, false, 2 + 3 + 1},  // above the column count: all columns
      {1, 1, false, false, 9},          // Kolo 3..5
      {1, 1, true, true, 3},            // Kolo 4
      {2, 2, true, true, 1 + 3},        // (3,3), Kolo 4
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.low_columns) + "/" + std::to_string(c.high_columns));
    cursor_->SetRange(low.data(), c.low_columns, c.low_exclusive, high.data(), c.high_columns, c.high_exclusive,
                      RecordSize());
    EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), static_cast<int64_t>(c.count));
    EXPECT_EQ(Forward(*cursor_).size(), c.count);
  }
  // A start above the end holds nothing.
  cursor_->SetRange(high.data(), 1, false, low.data(), 1, false, RecordSize());
  EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), 0);
  EXPECT_TRUE(Forward(*cursor_).empty());
  TABSTableScans::GoToRecordNumber(*cursor_, 1);
  EXPECT_TRUE(cursor_->BeforeFirst());
  EXPECT_THROW(cursor_->SetRange(low.data(), -1, false, nullptr, 0, false, RecordSize()), EABSException);
  cursor_->SetIndexId(-1);
  EXPECT_THROW(cursor_->SetRange(low.data(), 1, false, nullptr, 0, false, RecordSize()), EABSException);
}

TEST_F(TableScansTest, DistinctStepsOncePerGroupBothWays) {
  cursor_->SetIndexId(IndexId("I_KoloStul"));
  cursor_->SetDistinctCount(1);
  const std::vector<int64_t> forward = Forward(*cursor_);
  EXPECT_EQ(Column(forward, "Kolo"),
            (std::vector<std::string>{"NULL", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
  // Each group shows its first record, whichever way the cursor came.
  EXPECT_EQ(Column(forward, "Stul"), std::vector<std::string>(11, "1"));
  std::vector<int64_t> backward = Backward(*cursor_);
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, forward);
  EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), 11);
  // With a filter on one round, DISTINCT Kolo, Stul goes on past the first row.
  const auto filter = Filter("Kolo = 3");
  cursor_->SetFilter(filter.get());
  cursor_->SetDistinctCount(2);
  EXPECT_EQ(Column(Forward(*cursor_), "Stul"), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(TableScansTest, TheCurrentRecordDeletedOrRekeyedElsewhereStepsFromItsOldPlace) {
  for (const char* order : {"", "I_Kolo", "I_KoloStul"}) {
    SCOPED_TRACE(order);
    cursor_->SetIndexId(*order ? IndexId(order) : -1);
    const auto filter = Filter("Body < 29");
    cursor_->SetFilter(filter.get());
    const std::vector<int64_t> all = Forward(*cursor_);
    ASSERT_GT(all.size(), 10u);
    // Stand on the fifth record, then take it away behind the cursor's back.
    TABSTableScans::GoToRecordNumber(*cursor_, 5);
    const TABSRecordId id = cursor_->CurrentId();
    std::vector<uint8_t> stored = cursor_->Record();
    std::vector<uint8_t> moved = stored;
    TABSVariant kolo;
    kolo.SetInteger(-50);
    table_->FieldManager().SetFieldValue(FieldNo("Kolo"), kolo, moved.data());
    ASSERT_TRUE(table_->UpdateRecord(*session_, id, moved.data(), stored.data()).Succeeded());
    ASSERT_EQ(TABSTableScans::GetRecord(*cursor_, TABSGetRecordMode::kNext), TABSGetRecordResult::kFound);
    EXPECT_EQ(Id(cursor_->Record().data()), all[5]);
    // The re-keyed record still passes: in an index it now comes first.
    TABSTableScans::GoToRecordNumber(*cursor_, 6);
    EXPECT_EQ(Id(cursor_->Record().data()), all[5]);
    const std::vector<uint8_t> current = cursor_->Record();
    ASSERT_TRUE(table_->DeleteRecord(*session_, cursor_->CurrentId(), current.data()).Succeeded());
    ASSERT_EQ(TABSTableScans::GetRecord(*cursor_, TABSGetRecordMode::kPrior), TABSGetRecordResult::kFound);
    EXPECT_EQ(Id(cursor_->Record().data()), *order ? all[3] : all[4]);
    ASSERT_EQ(TABSTableScans::GetRecord(*cursor_, TABSGetRecordMode::kNext), TABSGetRecordResult::kFound);
    EXPECT_EQ(Id(cursor_->Record().data()), all[6]);
    ASSERT_TRUE(table_->UpdateRecord(*session_, id, stored.data(), moved.data()).Succeeded());
    cursor_->SetFilter(nullptr);
  }
}

TEST_F(TableScansTest, TheBitmapFollowsWritesAndRollbacks) {
  const auto filter = Filter("Kolo = 3");
  cursor_->SetFilter(filter.get());
  EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), 3);
  Insert({3, 9, "Novy", 1});
  EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), 4);
  db_->StartTransaction(session_->SessionNumber());
  Insert({3, 9, "Druhy", 1});
  EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), 5);
  db_->RollbackTransaction(session_->SessionNumber());
  EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), 4);
  Insert({4, 9, "Treti", 1});
  EXPECT_EQ(TABSTableScans::RecordCount(*cursor_), 4);
  EXPECT_EQ(Forward(*cursor_).size(), 4u);
}

TEST_F(TableScansTest, FindByExpressionAndByCondition) {
  cursor_->SetIndexId(IndexId("I_KoloStul"));
  const auto where = Filter("Kolo = 7 AND Stul = 2");
  ASSERT_TRUE(TABSTableScans::FindByExpression(*cursor_, *where));
  EXPECT_EQ(Text(cursor_->Record().data(), "Body"), "17");
  const std::vector<uint8_t> key = RecordOf({8, std::nullopt, std::nullopt, 0});
  cursor_->SetSearchRecord(key.data(), 1, RecordSize());
  ASSERT_TRUE(TABSTableScans::FindByCondition(*cursor_, TABSScanConditionKind::kGreaterOrEqual));
  EXPECT_EQ(Text(cursor_->Record().data(), "Kolo"), "8");
  EXPECT_EQ(Text(cursor_->Record().data(), "Stul"), "1");
  const auto missing = Filter("Kolo = 70");
  EXPECT_FALSE(TABSTableScans::FindByExpression(*cursor_, *missing));
}

}  // namespace
}  // namespace kelvorin::testing
