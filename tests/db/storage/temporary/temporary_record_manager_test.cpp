// The records of temporary tables: appends that stay in memory up to a
// limit and go through the write buffer into a temporary file beyond it,
// reads in both directions across that boundary, the navigation statuses,
// sequence ids past 2^31, the temporary budget, and appends taken back.
#include <gtest/gtest.h>

#include <random>

#include "db/storage/temporary/temporary_record_manager.h"
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

class TemporaryRecordsTest : public ::testing::Test {
 protected:
  void TearDown() override { TemporaryBudget().SetLimit(0); }

  static TABSRecordId Append(TABSTemporaryRecordManager& records, const MemoryRecord& record) {
    TABSRecordId id;
    EXPECT_TRUE(records.Insert(0, record.data(), id));
    return id;
  }
  // Navigates and returns the status; the record read goes to `record`.
  static Status Step(TABSTemporaryRecordManager& records, Dir direction, int64_t from, MemoryRecord* record,
                     bool first = false, bool last = false, int64_t* reached = nullptr) {
    TABSNavigateRequest request;
    request.direction = direction;
    request.record_id = SequenceRecordId(from);
    request.record = record != nullptr ? record->data() : nullptr;
    request.go_to_first = first;
    request.go_to_last = last;
    records.Navigate(0, request);
    if (reached != nullptr) *reached = SequenceNumber(request.record_id);
    return request.status;
  }
};

// Small records share a large write buffer; large ones (8 KB) fill the
// minimum buffer of 10 records, so that a few hundred records cross it many
// times.
struct SpillCase {
  int32_t text_size;
  int64_t memory_limit;
  int64_t records;
};

class TemporarySpillTest : public TemporaryRecordsTest, public ::testing::WithParamInterface<SpillCase> {};

TEST_P(TemporarySpillTest, AppendsInterleavedWithReadsInBothDirectionsMatchAVector) {
  const SpillCase c = GetParam();
  LayoutOf fields({Field("n", C::Integer), Field("s", C::String, c.text_size)});
  TABSTemporaryRecordManager records(fields.Layout());
  records.SetMemoryRecordLimit(c.memory_limit);
  const int32_t size = fields.Layout().MemorySize();
  std::vector<MemoryRecord> model;
  std::mt19937 random(7);
  MemoryRecord read(static_cast<size_t>(size));
  while (static_cast<int64_t>(model.size()) < c.records) {
    const int64_t burst = std::min<int64_t>(random() % 40 + 1, c.records - static_cast<int64_t>(model.size()));
    for (int64_t i = 0; i < burst; ++i) {
      model.push_back(RawRecord(size, static_cast<int64_t>(model.size())));
      EXPECT_EQ(SequenceNumber(Append(records, model.back())), static_cast<int64_t>(model.size()) - 1);
    }
    // A walk of a few steps from a random record, forwards or backwards.
    int64_t at = static_cast<int64_t>(random() % model.size());
    ASSERT_EQ(Step(records, Dir::kCurrent, at, &read), Status::kFound);
    ASSERT_EQ(read, model[static_cast<size_t>(at)]) << "record " << at;
    const Dir direction = random() % 2 ? Dir::kNext : Dir::kPrior;
    for (int i = 0; i < 30; ++i) {
      const int64_t expected = at + (direction == Dir::kNext ? 1 : -1);
      const Status status = Step(records, direction, at, &read, false, false, &at);
      if (expected < 0 || expected >= static_cast<int64_t>(model.size())) {
        EXPECT_EQ(status, direction == Dir::kNext ? Status::kAfterLast : Status::kBeforeFirst);
        break;
      }
      ASSERT_EQ(status, Status::kFound);
      ASSERT_EQ(at, expected);
      ASSERT_EQ(read, model[static_cast<size_t>(at)]) << "record " << at;
    }
  }
  EXPECT_EQ(records.RecordCount(), c.records);
  EXPECT_TRUE(records.Spilled());
  EXPECT_EQ(records.MemoryRecordCount(), c.memory_limit);
  // A whole scan backwards, from the last record.
  int64_t at = -1;
  Status status = Step(records, Dir::kPrior, 0, &read, false, true, &at);
  for (int64_t expected = c.records - 1; expected >= 0; --expected) {
    ASSERT_EQ(status, Status::kFound);
    ASSERT_EQ(at, expected);
    ASSERT_EQ(read, model[static_cast<size_t>(expected)]);
    status = Step(records, Dir::kPrior, at, &read, false, false, &at);
  }
  EXPECT_EQ(status, Status::kBeforeFirst);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TemporarySpillTest,
                         ::testing::Values(SpillCase{20, 5, 6000}, SpillCase{8000, 7, 300},
                                           SpillCase{8000, 0, 120}));

TEST_F(TemporaryRecordsTest, NavigationStatusesFollowTheSequence) {
  LayoutOf fields({Field("n", C::Integer)});
  TABSTemporaryRecordManager records(fields.Layout());
  EXPECT_EQ(Step(records, Dir::kNext, 0, nullptr, true), Status::kAfterLast) << "empty";
  for (int i = 0; i < 3; ++i) Append(records, RawRecord(fields.Layout().MemorySize(), i));
  struct Case {
    Dir direction;
    int64_t from;
    bool first, last;
    Status status;
    int64_t reached;
  };
  const std::vector<Case> cases = {
      {Dir::kNext, 2, true, false, Status::kFound, 0},     {Dir::kPrior, 2, true, false, Status::kBeforeFirst, -1},
      {Dir::kNext, 0, false, true, Status::kAfterLast, -1}, {Dir::kPrior, 0, false, true, Status::kFound, 2},
      {Dir::kNext, 1, false, false, Status::kFound, 2},    {Dir::kNext, 2, false, false, Status::kAfterLast, -1},
      {Dir::kPrior, 1, false, false, Status::kFound, 0},   {Dir::kPrior, 0, false, false, Status::kBeforeFirst, -1},
      {Dir::kCurrent, 2, false, false, Status::kFound, 2}, {Dir::kCurrent, 3, false, false, Status::kNotFound, -1},
  };
  for (const Case& c : cases) {
    int64_t reached = -1;
    const Status status = Step(records, c.direction, c.from, nullptr, c.first, c.last, &reached);
    EXPECT_EQ(status, c.status) << static_cast<int>(c.direction) << " from " << c.from;
    if (status == Status::kFound) {
      EXPECT_EQ(reached, c.reached) << static_cast<int>(c.direction) << " from " << c.from;
    }
  }
  TABSNavigateRequest invalid;
  invalid.direction = Dir::kCurrent;
  records.Navigate(0, invalid);
  EXPECT_EQ(invalid.status, Status::kNotFound) << "an id that names no record";
}

TEST_F(TemporaryRecordsTest, TemporaryRecordsAreNeitherUpdatedNorDeleted) {
  LayoutOf fields({Field("n", C::Integer)});
  TABSTemporaryRecordManager records(fields.Layout());
  const MemoryRecord record = RawRecord(fields.Layout().MemorySize(), 1);
  const TABSRecordId id = Append(records, record);
  EXPECT_FALSE(records.Update(0, record.data(), id));
  EXPECT_FALSE(records.Delete(0, id));
  EXPECT_EQ(records.RecordCount(), 1);
  EXPECT_EQ(records.EstimatedPosition(0, id), 1);
  EXPECT_EQ(records.EstimatedPosition(0, SequenceRecordId(1)), -1);
}

TEST_F(TemporaryRecordsTest, SequenceIdsPast2To31KeepTheirNumbersAndOrder) {
  const std::vector<int64_t> numbers = {0, 1, 65535, 65536, (int64_t{1} << 31) - 1, int64_t{1} << 31,
                                        (int64_t{1} << 32) + 5, kMaxSequenceNumber};
  for (size_t i = 0; i < numbers.size(); ++i) {
    const TABSRecordId id = SequenceRecordId(numbers[i]);
    EXPECT_TRUE(id.IsValid());
    EXPECT_EQ(SequenceNumber(id), numbers[i]);
    if (i > 0) {
      EXPECT_LT(SequenceRecordId(numbers[i - 1]), id) << numbers[i];
    }
  }
  EXPECT_LT(SequenceNumber(TABSRecordId{}), 0);
}

TEST_F(TemporaryRecordsTest, ARefusedGrowthSpillsInsteadOfFailing) {
  // Room for the first few records only: the rest goes to the file.
  TemporaryBudget().SetLimit(TemporaryBudget().Used() + 4096);
  LayoutOf fields({Field("n", C::Integer), Field("s", C::String, 95)});
  const int32_t size = fields.Layout().MemorySize();
  const int64_t used_before = TemporaryBudget().Used();
  {
    TABSTemporaryRecordManager records(fields.Layout());
    for (int i = 0; i < 1000; ++i) Append(records, RawRecord(size, i));
    EXPECT_TRUE(records.Spilled());
    EXPECT_GT(records.MemoryRecordCount(), 0);
    EXPECT_LE(records.MemoryRecordCount() * size, 4096);
    MemoryRecord read(static_cast<size_t>(size));
    for (int i : {0, 5, 999, 500}) {
      ASSERT_EQ(Step(records, Dir::kCurrent, i, &read), Status::kFound);
      EXPECT_EQ(read, RawRecord(size, i));
    }
    // A second table finds the budget taken and starts in the file.
    TABSTemporaryRecordManager other(fields.Layout());
    Append(other, RawRecord(size, 1));
    EXPECT_TRUE(other.Spilled());
    records.Empty(0);
    EXPECT_EQ(TemporaryBudget().Used(), used_before) << "emptying gives the memory back";
    EXPECT_FALSE(records.Spilled());
  }
  EXPECT_EQ(TemporaryBudget().Used(), used_before);
}

TEST_F(TemporaryRecordsTest, AppendsOfAFailedOperationAreTakenBack) {
  LayoutOf fields({Field("n", C::Integer), Field("s", C::String, 8000)});
  const int32_t size = fields.Layout().MemorySize();
  TABSTemporaryRecordManager records(fields.Layout());
  records.SetMemoryRecordLimit(4);
  // Kept: 3 in memory; undone: across the limit, the buffer and the file.
  for (int i = 0; i < 3; ++i) Append(records, RawRecord(size, i));
  records.KeepChanges();
  for (int i = 3; i < 40; ++i) Append(records, RawRecord(size, 1000 + i));
  records.UndoChanges();
  EXPECT_EQ(records.RecordCount(), 3);
  for (int i = 3; i < 40; ++i) Append(records, RawRecord(size, i));
  records.KeepChanges();
  for (int i = 40; i < 45; ++i) Append(records, RawRecord(size, 1000 + i));
  records.UndoChanges();
  MemoryRecord read(static_cast<size_t>(size));
  int64_t at = -1;
  Status status = Step(records, Dir::kNext, 0, &read, true, false, &at);
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(status, Status::kFound);
    ASSERT_EQ(read, RawRecord(size, i)) << i;
    status = Step(records, Dir::kNext, at, &read, false, false, &at);
  }
  EXPECT_EQ(status, Status::kAfterLast);
}

TEST_F(TemporaryRecordsTest, ARecordWithoutStoredBytesIsRefused) {
  TABSFieldDefs none;
  EXPECT_EQ(testing::ErrorCode([&] { TABSTemporaryRecordManager records(TABSRecordLayout(none, 0, 0)); }), 10124);
}

}  // namespace
}  // namespace kelvorin
