// The records of in-memory tables: numbers taken after the highest, freed
// slots below it left unused, walks that skip them, updates and deletes
// that report false for a record that is not there, estimated positions,
// and changes of a failed operation taken back.
#include <gtest/gtest.h>

#include "db/storage/temporary/memory_record_manager.h"
#include "tests/db/storage/temporary/volatile_test_util.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::LayoutOf;
using testing::MemoryRecord;
using testing::RawRecord;
using C = TABSColumnType;
using Dir = TABSNavigateDirection;
using Status = TABSNavigateStatus;

class MemoryRecordsTest : public ::testing::Test {
 protected:
  MemoryRecordsTest() : fields_({Field("n", C::Integer), Field("s", C::String, 10)}), records_(fields_.Layout()) {}

  int32_t Size() const { return fields_.Layout().MemorySize(); }
  int64_t Insert(int64_t seed) {
    TABSRecordId id;
    EXPECT_TRUE(records_.Insert(0, RawRecord(Size(), seed).data(), id));
    return SequenceNumber(id);
  }
  bool Delete(int64_t number) { return records_.Delete(0, SequenceRecordId(number)); }
  bool Update(int64_t number, int64_t seed) {
    return records_.Update(0, RawRecord(Size(), seed).data(), SequenceRecordId(number));
  }
  // The numbers of a walk from the first record, and of one from the last.
  std::vector<int64_t> Walk(bool forwards) {
    std::vector<int64_t> numbers;
    TABSNavigateRequest request;
    request.direction = forwards ? Dir::kNext : Dir::kPrior;
    (forwards ? request.go_to_first : request.go_to_last) = true;
    for (records_.Navigate(0, request); request.status == Status::kFound; records_.Navigate(0, request)) {
      numbers.push_back(SequenceNumber(request.record_id));
    }
    EXPECT_EQ(request.status, forwards ? Status::kAfterLast : Status::kBeforeFirst);
    if (!forwards) std::reverse(numbers.begin(), numbers.end());
    return numbers;
  }
  MemoryRecord Read(int64_t number) {
    MemoryRecord record(static_cast<size_t>(Size()));
    EXPECT_TRUE(records_.ReadRecord(0, SequenceRecordId(number), record.data())) << number;
    return record;
  }

  LayoutOf fields_;
  TABSMemoryRecordManager records_;
};

TEST_F(MemoryRecordsTest, DeletingTheHighestGivesItsNumberAgain) {
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Insert(i), i);
  EXPECT_TRUE(Delete(9));
  EXPECT_EQ(records_.Highest(), 8);
  EXPECT_EQ(Insert(100), 9);
}

TEST_F(MemoryRecordsTest, AFreedSlotBelowTheHighestIsNotUsedAgain) {
  for (int i = 0; i < 10; ++i) Insert(i);
  EXPECT_TRUE(Delete(4));
  EXPECT_EQ(Insert(100), 10);
  EXPECT_EQ(Insert(101), 11);
  std::vector<int64_t> expected = {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11};
  EXPECT_EQ(Walk(true), expected);
  EXPECT_EQ(Walk(false), expected);
  EXPECT_EQ(Read(10), RawRecord(Size(), 100));
}

TEST_F(MemoryRecordsTest, AnEmptiedTableStartsAgainAtZero) {
  for (int i = 0; i < 5; ++i) Insert(i);
  records_.Empty(0);
  EXPECT_EQ(Insert(7), 0);
  for (int i = 1; i < 5; ++i) Insert(i);
  for (int64_t n : {3, 0, 4, 1, 2}) EXPECT_TRUE(Delete(n));
  records_.KeepChanges();
  EXPECT_EQ(records_.RecordCount(), 0);
  EXPECT_EQ(Insert(8), 0) << "deleted one by one";
}

TEST_F(MemoryRecordsTest, UpdatesAndDeletesOfRecordsThatAreNotThereReportFalse) {
  for (int i = 0; i < 6; ++i) Insert(i);
  EXPECT_TRUE(Delete(0));
  EXPECT_TRUE(Delete(3));
  const int32_t counter = records_.ChangeCounter();
  struct Case {
    int64_t number;
    bool exists;
  };
  for (const Case c : {Case{0, false}, Case{3, false}, Case{6, false}, Case{-1, false}, Case{2, true}}) {
    EXPECT_EQ(Update(c.number, 50), c.exists) << c.number;
  }
  EXPECT_EQ(records_.ChangeCounter(), counter + 1);
  EXPECT_EQ(Read(2), RawRecord(Size(), 50));
  for (const int64_t number : {0, 3, 6, -1}) EXPECT_FALSE(Delete(number)) << number;
  EXPECT_EQ(records_.RecordCount(), 4);
  EXPECT_EQ(records_.Lowest(), 1);
  EXPECT_TRUE(Delete(1));
  EXPECT_EQ(records_.Lowest(), 2) << "moves up past the deleted slots";
}

TEST_F(MemoryRecordsTest, NavigationSkipsFreedSlotsAndReportsTheEnds) {
  for (int i = 0; i < 8; ++i) Insert(i);
  for (int64_t n : {0, 2, 3, 7}) Delete(n);  // left: 1, 4, 5, 6
  struct Case {
    Dir direction;
    int64_t from;
    Status status;
    int64_t reached;
  };
  const std::vector<Case> cases = {
      {Dir::kNext, 1, Status::kFound, 4},        {Dir::kNext, 6, Status::kAfterLast, -1},
      {Dir::kPrior, 4, Status::kFound, 1},       {Dir::kPrior, 1, Status::kBeforeFirst, -1},
      {Dir::kCurrent, 2, Status::kNotFound, -1}, {Dir::kCurrent, 9, Status::kNotFound, -1},
      {Dir::kCurrent, 5, Status::kFound, 5},     {Dir::kNext, -1, Status::kFound, 1},
      {Dir::kPrior, 100, Status::kFound, 6},
  };
  for (const Case& c : cases) {
    TABSNavigateRequest request;
    request.direction = c.direction;
    request.record_id = c.from < 0 ? TABSRecordId{} : SequenceRecordId(c.from);
    records_.Navigate(0, request);
    EXPECT_EQ(request.status, c.status) << static_cast<int>(c.direction) << " from " << c.from;
    if (request.status == Status::kFound) {
      EXPECT_EQ(SequenceNumber(request.record_id), c.reached) << static_cast<int>(c.direction) << " from " << c.from;
    }
  }
}

TEST_F(MemoryRecordsTest, EstimatedPositionsScaleOverTheRange) {
  EXPECT_EQ(records_.EstimatedPosition(0, SequenceRecordId(0)), -1) << "empty";
  Insert(0);
  EXPECT_EQ(records_.EstimatedPosition(0, SequenceRecordId(0)), 1) << "one record";
  for (int i = 1; i < 11; ++i) Insert(i);  // 0..10
  Delete(0);                               // 1..10: count 10, range 9
  // (k - 1) / 10 x 9, halves to even, + 1: 4.5 gives 4, 6.3 gives 6.
  struct Case {
    int64_t number, position;
  };
  for (const Case c : {Case{1, 1}, Case{6, 5}, Case{8, 7}, Case{10, 9}, Case{0, -1}, Case{11, -1}}) {
    EXPECT_EQ(records_.EstimatedPosition(0, SequenceRecordId(c.number)), c.position) << c.number;
  }
}

TEST_F(MemoryRecordsTest, TheChangesOfAFailedOperationAreTakenBack) {
  for (int i = 0; i < 5; ++i) Insert(i);
  records_.KeepChanges();
  const int32_t counter = records_.ChangeCounter();
  Insert(50);
  Update(1, 51);
  Delete(4);
  Delete(0);
  records_.UndoChanges();
  EXPECT_EQ(records_.RecordCount(), 5);
  EXPECT_EQ(records_.ChangeCounter(), counter);
  EXPECT_EQ(Walk(true), (std::vector<int64_t>{0, 1, 2, 3, 4}));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Read(i), RawRecord(Size(), i));
  EXPECT_EQ(Insert(9), 5);
  // Every record deleted, then undone: the memory stays until kept.
  records_.KeepChanges();
  for (int64_t n = 0; n < 6; ++n) Delete(n);
  records_.UndoChanges();
  EXPECT_EQ(Read(5), RawRecord(Size(), 9));
}

TEST_F(MemoryRecordsTest, ARecordWithoutStoredBytesIsRefused) {
  TABSFieldDefs none;
  EXPECT_EQ(testing::ErrorCode([&] { TABSMemoryRecordManager records(TABSRecordLayout(none, 0, 0)); }), 10011);
}

TEST_F(MemoryRecordsTest, AnInsertThatGetsNoMemoryReportsFalse) {
  for (int i = 0; i < 16; ++i) Insert(i);
  MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + 1);
  TABSRecordId id;
  const bool inserted = records_.Insert(0, RawRecord(Size(), 99).data(), id);
  MemoryManager().SetMemoryLimit(0);
  EXPECT_FALSE(inserted);
  EXPECT_EQ(records_.RecordCount(), 16);
  EXPECT_EQ(Insert(16), 16);
}

}  // namespace
}  // namespace kelvorin
