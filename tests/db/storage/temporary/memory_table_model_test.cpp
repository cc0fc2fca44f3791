// An in-memory table against a model: random inserts, updates and deletes
// with BLOB values and indexes, some of them failing for want of memory at
// a random moment, each compared with a map of what the table must hold;
// every BLOB value the table holds belongs to a record, so values are freed
// with their records, their replacements and the table's emptying.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

#include "db/storage/streams/memory_stream.h"
#include "tests/db/storage/temporary/volatile_test_util.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::MemoryRecord;
using testing::NewRecord;
using testing::Scan;
using testing::SetInt;
using testing::SetText;
using testing::Text;
using C = TABSColumnType;

struct Row {
  int64_t n;
  std::string s;
  std::optional<std::string> blob;
  bool operator==(const Row&) const = default;
};

class MemoryTableModelTest : public testing::VolatileTableTest {
 protected:
  void SetUp() override {
    VolatileTableTest::SetUp();
    baseline_ = MemoryManager().AllocatedBytes();
    TABSDatasetFieldDef blob = Field("b", C::Blob);
    blob.blob_compression_algorithm = 1;
    blob.blob_compression_level = 1;
    table_ = &CreateMemory("model", {Field("id", C::AutoInc), Field("n", C::Integer), Field("s", C::String, 30), blob},
                           {"id", "n", "s"});
    blob_field_ = table_->Metadata().Fields().IndexOfName("b");
  }

  Row RowOf(MemoryRecord& record) {
    Row row{std::stoll(Text(*table_, record, "n")), Text(*table_, record, "s"), std::nullopt};
    if (!TABSRecordLayout::IsNull(record.data(), blob_field_)) {
      TABSMemoryStream value;
      table_->BlobManager()->ReadValue(Session(), record.data(), blob_field_, value);
      row.blob = std::string(reinterpret_cast<const char*>(value.Memory()), static_cast<size_t>(value.Size()));
    }
    return row;
  }
  void Fill(MemoryRecord& record, const Row& row) {
    SetInt(*table_, record, "n", row.n);
    SetText(*table_, record, "s", row.s);
    if (row.blob) {
      table_->BlobManager()->WriteValue(record.data(), blob_field_, row.blob->data(),
                                        static_cast<int64_t>(row.blob->size()));
    } else {
      table_->BlobManager()->ClearValue(record.data(), blob_field_);
    }
  }
  Row RandomRow() {
    Row row{static_cast<int64_t>(random_() % 50), "t" + std::to_string(random_() % 1000), std::nullopt};
    if (random_() % 3 != 0) {
      row.blob = std::string(random_() % 3000 + 1, ' ');
      for (char& c : *row.blob) c = static_cast<char>('a' + random_() % 26);
    }
    return row;
  }

  void ExpectTableMatchesModel() {
    std::map<TABSRecordId, Row> stored;
    for (auto& r : Scan(*table_, Session())) stored[r.id] = RowOf(r.record);
    EXPECT_EQ(stored, model_);
    testing::ExpectIndexesListTheRecords(*table_, Session());
    int64_t blobs = 0;
    for (const auto& [id, row] : model_) blobs += row.blob ? 1 : 0;
    EXPECT_EQ(table_->MemoryBlobs()->ValueCount(), blobs);
    EXPECT_EQ(table_->RecordCount(), static_cast<int64_t>(model_.size()));
  }

  // Runs a post; a starved one is first tried with the memory left after
  // each of its allocations in turn (a growing limit stops it at every
  // point), and the table must be unchanged after each failure. True when
  // the post succeeded.
  template <typename Post>
  bool Run(bool starve, Post post) {
    for (int64_t margin = 0; starve; margin += 256) {
      const int64_t records = table_->RecordCount();
      const int64_t values = table_->MemoryBlobs()->ValueCount();
      MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + margin);
      bool succeeded = false;
      try {
        succeeded = post().Succeeded();
      } catch (const EABSException&) {
      }
      MemoryManager().SetMemoryLimit(0);
      if (succeeded) return true;
      ++failures_;
      EXPECT_EQ(table_->RecordCount(), records);
      EXPECT_EQ(table_->MemoryBlobs()->ValueCount(), values);
      if (::testing::Test::HasFailure() || margin > 1 << 20) return false;
    }
    return post().Succeeded();
  }

  std::mt19937 random_{20240};
  TABSMemoryTableData* table_ = nullptr;
  int32_t blob_field_ = -1;
  int64_t baseline_ = 0;
  int failures_ = 0;
  std::map<TABSRecordId, Row> model_;
};

TEST_F(MemoryTableModelTest, RandomPostsMatchTheModelAndFailedOnesLeaveNothing) {
  for (int step = 0; step < 600; ++step) {
    const bool starve = random_() % 3 == 0;
    const int kind = model_.empty() ? 0 : static_cast<int>(random_() % 3);
    if (kind == 0) {
      MemoryRecord record = NewRecord(*table_, *session_);
      const Row row = RandomRow();
      Fill(record, row);
      TABSPostResult result;
      if (Run(starve, [&] { return result = table_->InsertRecord(*session_, record.data()); })) {
        model_[result.id] = row;
      }
      table_->BlobManager()->ReleaseDescriptors(record.data());
    } else {
      auto it = model_.begin();
      std::advance(it, static_cast<long>(random_() % model_.size()));
      const TABSRecordId id = it->first;
      MemoryRecord before(static_cast<size_t>(table_->RecordFields().MemorySize()));
      ASSERT_TRUE(table_->ReadRecord(Session(), id, before.data()));
      if (kind == 1) {
        MemoryRecord record = before;
        Row row = random_() % 2 ? RandomRow() : it->second;
        row.n = static_cast<int64_t>(random_() % 50);
        Fill(record, row);
        if (Run(starve, [&] { return table_->UpdateRecord(*session_, id, record.data(), before.data()); })) {
          it->second = row;
        }
        table_->BlobManager()->ReleaseDescriptors(record.data());
      } else if (Run(starve, [&] { return table_->DeleteRecord(*session_, id, before.data()); })) {
        model_.erase(it);
      }
    }
    if (step % 25 == 0 || starve) {
      SCOPED_TRACE("step " + std::to_string(step));
      ExpectTableMatchesModel();
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(failures_, 100) << "the starved posts must have failed at every point";
  ExpectTableMatchesModel();
  EXPECT_EQ(table_->BlobManager()->DescriptorCount(), 0);
  // Emptying frees every value; the pages of the emptied indexes stay one
  // root each.
  MemoryDatabase().EmptyTable(CursorOf(*table_));
  model_.clear();
  ExpectTableMatchesModel();
  EXPECT_EQ(table_->MemoryPages().AllocatedPageCount(), 3);
  MemoryRecord record = NewRecord(*table_, *session_);
  Fill(record, RandomRow());
  const TABSPostResult result = table_->InsertRecord(*session_, record.data());
  EXPECT_EQ(SequenceNumber(result.id), 0) << "an emptied table starts again at 0";
}

// A record names its BLOB value by a handle that the table checks: a
// reference kept from a record whose value has gone (deleted, replaced, or
// its slot taken by a later value) or one that was never handed out reads
// nothing, never freed memory or another record's value.
TEST_F(MemoryTableModelTest, BlobHandlesThatNameNoLiveValueAreRefused) {
  auto insert = [&](const std::string& blob) {
    MemoryRecord record = NewRecord(*table_, *session_);
    Fill(record, Row{1, "x", blob});
    const TABSPostResult result = table_->InsertRecord(*session_, record.data());
    table_->BlobManager()->ReleaseDescriptors(record.data());
    EXPECT_TRUE(result.Succeeded());
    MemoryRecord stored(static_cast<size_t>(table_->RecordFields().MemorySize()));
    EXPECT_TRUE(table_->ReadRecord(Session(), result.id, stored.data()));
    return std::make_pair(result.id, stored);
  };
  const int32_t at = table_->BlobManager()->Layout().BlobField(blob_field_).memory_offset;
  auto reference_of = [&](const MemoryRecord& record) { return TABSBlobReference::Load(record.data() + at); };
  auto with_reference = [&](MemoryRecord record, TABSBlobReference reference) {
    reference.Store(record.data() + at);
    return record;
  };

  auto [deleted_id, deleted] = insert("deleted value");
  auto [updated_id, updated] = insert("replaced value");
  const auto live = insert("live value").second;
  ASSERT_TRUE(table_->DeleteRecord(*session_, deleted_id, deleted.data()).Succeeded());
  MemoryRecord changed = updated;
  Fill(changed, Row{2, "y", "new value"});
  ASSERT_TRUE(table_->UpdateRecord(*session_, updated_id, changed.data(), updated.data()).Succeeded());
  table_->BlobManager()->ReleaseDescriptors(changed.data());
  // The freed slots are handed out again, with new generations.
  insert("reused slot");
  insert("reused slot too");
  const TABSBlobReference good = reference_of(live);

  struct Case {
    const char* what;
    MemoryRecord record;
    int32_t error = 10750;  // an invalid reference
  };
  const std::vector<Case> cases = {
      {"the value of a deleted record", deleted},
      {"a value an update replaced", updated},
      {"a slot number past the last", with_reference(live, {good.page_no + 1000, good.slot})},
      {"a negative slot number", with_reference(live, {-5, good.slot}), 20162},
      {"a generation not yet handed out", with_reference(live, {good.page_no, static_cast<int16_t>(good.slot + 7)})},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.what);
    TABSMemoryStream value;
    EXPECT_EQ(testing::ErrorCode([&] { table_->BlobManager()->ReadValue(Session(), c.record.data(), blob_field_, value); }),
              c.error);
    EXPECT_EQ(value.Size(), 0);
    table_->BlobManager()->ReleaseDescriptors(c.record.data());
  }
  MemoryRecord read = live;
  EXPECT_EQ(RowOf(read).blob, "live value");
  table_->BlobManager()->ReleaseDescriptors(read.data());
  EXPECT_EQ(table_->MemoryBlobs()->ValueCount(), 4);
}

TEST_F(MemoryTableModelTest, DeletingTheTableFreesItsPagesAndIsRefusedWhileOpen) {
  for (int i = 0; i < 200; ++i) {
    MemoryRecord record = NewRecord(*table_, *session_);
    Fill(record, RandomRow());
    ASSERT_TRUE(table_->InsertRecord(*session_, record.data()).Succeeded());
    table_->BlobManager()->ReleaseDescriptors(record.data());
  }
  EXPECT_EQ(testing::ErrorCode([] { MemoryDatabase().DeleteTable("MODEL"); }), 20017);
  EXPECT_EQ(testing::ErrorCode([] { MemoryDatabase().RenameTable("model", "other"); }), 10150);
  CloseCursor(CursorOf(*table_));
  MemoryDatabase().RenameTable("model", "renamed");
  MemoryDatabase().DeleteTable("Renamed");
  EXPECT_EQ(MemoryDatabase().FindTable("renamed"), nullptr);
  EXPECT_EQ(MemoryManager().AllocatedBytes(), baseline_) << "records, values and pages went";
}

}  // namespace
}  // namespace kelvorin
