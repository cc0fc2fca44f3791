// The BLOB manager of database files: values of every size, plain and
// compressed, in small BLOB pages and in pages of their own; posting with
// replaced values removed only after the record; what records keep of
// values they read or wrote; emptying a table's values.
#include <gtest/gtest.h>

#include <cstring>

#include "db/storage/blobs/blob_errors.h"
#include "db/storage/blobs/small_blob_page.h"
#include "db/storage/streams/compressed_blob_stream.h"
#include "tests/db/storage/blobs/blob_test_util.h"

namespace kelvorin {
namespace {

using testing::BlobBytes;

class BlobManagerTest : public testing::BlobStorageTest {};

TEST_F(BlobManagerTest, ValuesOfEverySizeReadBack) {
  CreateBlobTable();
  struct Case {
    int64_t size;
    bool plain_large;  // how the plain value is kept
  };
  // 4056 data bytes: a value is small while its stored size + 24 < 4056.
  const std::vector<Case> cases = {{0, false},    {1, false},     {4031, false},
                                   {4032, true},  {10000, true},  {1 << 20, true}};
  std::vector<TABSRecordId> ids;
  for (size_t i = 0; i < cases.size(); ++i) {
    ids.push_back(InsertWith(int32_t(i), BlobBytes(cases[i].size, 1), BlobBytes(cases[i].size, 2)));
  }
  pages_->CommitSession(kSession);
  ReopenBlobTable();
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].size);
    std::vector<uint8_t> record = ReadRecord(ids[i]);
    EXPECT_EQ(ValueOf(record, kPlain), BlobBytes(cases[i].size, 1));
    EXPECT_EQ(ValueOf(record, kPacked), BlobBytes(cases[i].size, 2));
    const TABSBlobReference plain = ReferenceOf(record, kPlain);
    if (cases[i].size == 0) {
      EXPECT_TRUE(TABSRecordLayout::IsNull(record.data(), kPlain)) << "an empty value is NULL";
      EXPECT_EQ(plain, TABSBlobReference::None());
    } else {
      EXPECT_TRUE(plain.NamesStoredValue());
      EXPECT_EQ(plain.IsLarge(), cases[i].plain_large);
    }
    EXPECT_EQ(blobs_->DescriptorCount(), 0) << "reading keeps nothing";
  }
  // The 4031-byte value fills its page (2 + 22 + 4031 bytes): the index
  // lists it with all it can hold.
  const TABSBlobReference full = ReferenceOf(ReadRecord(ids[2]), kPlain);
  for (const TABSPageAmount& entry : BlobIndexEntries()) {
    if (entry.page_no == full.page_no) {
      EXPECT_EQ(entry.amount, 4053);
    }
  }

  // Every page goes with the records.
  for (const TABSRecordId id : ids) DeleteRecord(id);
  pages_->CommitSession(kSession);
  EXPECT_TRUE(BlobIndexEntries().empty());
  EXPECT_EQ(UsedPages(), baseline_pages_);
  ExpectFileClean(fields_);
}

TEST_F(BlobManagerTest, LoadingGivesTheStreamItsContainerAndSettings) {
  CreateBlobTable();
  const std::vector<uint8_t> bytes = BlobBytes(300000);
  const TABSRecordId id = InsertWith(1, {}, bytes);
  std::vector<uint8_t> record = ReadRecord(id);
  TABSMemoryStream container;
  const TABSCompressedStreamSettings settings = blobs_->LoadBlob(kSession, record.data(), kPacked, container);
  EXPECT_EQ(settings.uncompressed_size, 300000);
  EXPECT_EQ(settings.block_count, 3) << "blocks of 102400 bytes";
  EXPECT_EQ(settings.algorithm, 1);
  EXPECT_EQ(settings.level, 6);
  EXPECT_LT(container.Size(), 300000);
  TABSCompressedBLOBStream stream(container, false, false, settings);
  std::vector<uint8_t> read(300000);
  EXPECT_EQ(stream.Read(read.data(), 300000), 300000);
  EXPECT_EQ(read, bytes);
  // The value stays with the record until released.
  EXPECT_EQ(blobs_->DescriptorCount(), 1);
  EXPECT_EQ(testing::ErrorCode([&] { blobs_->CheckReleased(); }), 20150);
  blobs_->ReleaseDescriptors(record.data());
  blobs_->CheckReleased();

  // A NULL field loads as an empty stream.
  TABSMemoryStream empty;
  EXPECT_EQ(blobs_->LoadBlob(kSession, record.data(), kPlain, empty).uncompressed_size, 0);
  EXPECT_EQ(empty.Size(), 0);
}

TEST_F(BlobManagerTest, UpdatingReplacesValuesOnlyAfterTheRecord) {
  CreateBlobTable();
  TABSRecordId id = InsertWith(1, BlobBytes(100), BlobBytes(20000));
  pages_->CommitSession(kSession);

  std::vector<uint8_t> record = ReadRecord(id);
  const TABSBlobReference old_plain = ReferenceOf(record, kPlain);
  blobs_->WriteValue(record.data(), kPlain, BlobBytes(5000).data(), 5000);
  blobs_->ClearValue(record.data(), kPacked);

  // The record manager refuses the record: the new values go, the written
  // ones stay with the record for another try, the old ones stay stored.
  TABSRecordId gone{id.page_no, static_cast<uint16_t>(id.slot + 1)};
  EXPECT_FALSE(Post(record, &gone, false));
  EXPECT_EQ(ReferenceOf(record, kPlain), old_plain);
  EXPECT_EQ(blobs_->DescriptorCount(), 2);
  EXPECT_EQ(ValueOf(record, kPlain), BlobBytes(5000)) << "the written value";
  std::vector<uint8_t> stored = ReadRecord(id);
  EXPECT_EQ(ValueOf(stored, kPlain), BlobBytes(100));

  ASSERT_TRUE(Post(record, &id, false));
  EXPECT_EQ(blobs_->DescriptorCount(), 0);
  pages_->CommitSession(kSession);
  stored = ReadRecord(id);
  EXPECT_EQ(ValueOf(stored, kPlain), BlobBytes(5000));
  EXPECT_TRUE(TABSRecordLayout::IsNull(stored.data(), kPacked));
  EXPECT_EQ(ReferenceOf(stored, kPacked), TABSBlobReference::None()) << "a NULL field keeps no value";
  // The large plain value (two pages) replaced the small one, the
  // compressed value went.
  EXPECT_TRUE(ReferenceOf(stored, kPlain).IsLarge());
  EXPECT_EQ(UsedPages(), baseline_pages_ + 1 + 2) << "the record page and the two pages of the value";
  DeleteRecord(id);
  pages_->CommitSession(kSession);
  EXPECT_EQ(UsedPages(), baseline_pages_);
}

TEST_F(BlobManagerTest, AFieldMadeNullKeepsNoValue) {
  // However the field became NULL (its flag set without a written value),
  // the update gives its stored value up.
  CreateBlobTable();
  TABSRecordId id = InsertWith(1, BlobBytes(9000), BlobBytes(30));
  pages_->CommitSession(kSession);
  std::vector<uint8_t> record = ReadRecord(id);
  TABSRecordLayout::SetNull(record.data(), kPlain, true);
  TABSRecordLayout::SetNull(record.data(), kPacked, true);
  ASSERT_TRUE(Post(record, &id, false));
  pages_->CommitSession(kSession);
  EXPECT_EQ(ReferenceOf(ReadRecord(id), kPlain), TABSBlobReference::None());
  EXPECT_EQ(UsedPages(), baseline_pages_ + 1) << "only the record page";
}

TEST_F(BlobManagerTest, AnInsertedCopyOfARecordGetsValuesOfItsOwn) {
  CreateBlobTable();
  const TABSRecordId original = InsertWith(1, BlobBytes(50), BlobBytes(9000));
  std::vector<uint8_t> copy = ReadRecord(original);
  ValueOf(copy, kPlain);
  TABSRecordId copied;
  ASSERT_TRUE(Post(copy, &copied, true));
  std::vector<uint8_t> stored = ReadRecord(copied);
  EXPECT_NE(ReferenceOf(stored, kPlain), ReferenceOf(ReadRecord(original), kPlain));
  EXPECT_NE(ReferenceOf(stored, kPacked), ReferenceOf(ReadRecord(original), kPacked));
  DeleteRecord(original);
  pages_->CommitSession(kSession);
  EXPECT_EQ(ValueOf(stored, kPlain), BlobBytes(50));
  EXPECT_EQ(ValueOf(stored, kPacked), BlobBytes(9000));
}

TEST_F(BlobManagerTest, HandlesOfReleasedValuesFindNothing) {
  CreateBlobTable();
  const TABSRecordId id = InsertWith(1, BlobBytes(10), {});
  std::vector<uint8_t> record = ReadRecord(id);
  TABSMemoryStream container;
  blobs_->LoadBlob(kSession, record.data(), kPlain, container);
  std::vector<uint8_t> copy = record;  // the handle comes along
  blobs_->ReleaseDescriptors(record.data());
  // The copy's handle is stale: its value is read again.
  EXPECT_EQ(ValueOf(copy, kPlain), BlobBytes(10));
  // A handle that was never given out finds nothing either.
  StoreLE<uint32_t>(copy.data() + records_->Layout().BlobField(kPlain).memory_offset + 6, 0x00050003);
  EXPECT_EQ(ValueOf(copy, kPlain), BlobBytes(10));
  // Rolling back pages forgets read values, never written ones.
  blobs_->LoadBlob(kSession, copy.data(), kPlain, container);
  blobs_->WriteValue(record.data(), kPacked, "abc", 3);
  blobs_->InvalidateCaches();
  EXPECT_EQ(blobs_->DescriptorCount(), 1);
  EXPECT_EQ(ValueOf(record, kPacked), std::vector<uint8_t>({'a', 'b', 'c'}));
  blobs_->ReleaseDescriptors(record.data());
}

TEST_F(BlobManagerTest, DeletingEveryValueOfTheTable) {
  CreateBlobTable();
  std::vector<TABSRecordId> ids;
  for (int i = 0; i < 60; ++i) {
    ids.push_back(InsertWith(i, BlobBytes(i * 397 % 9000, uint8_t(i)), BlobBytes(i * 131, uint8_t(i + 1))));
  }
  pages_->CommitSession(kSession);
  ASSERT_GT(UsedPages(), baseline_pages_ + 60);
  blobs_->DeleteAll(kSession);
  records_->Empty(kSession);
  pages_->CommitSession(kSession);
  EXPECT_TRUE(BlobIndexEntries().empty());
  EXPECT_EQ(UsedPages(), baseline_pages_);
  ExpectFileClean(fields_);
}

TEST(SmallBlobPageTest, IdsCountUpFromTheEntryCount) {
  std::vector<uint8_t> data(4056, 0);
  TABSSmallBlobPage::Initialize(data.data());
  {
    TABSSmallBlobPage page(data.data(), 4056, 9);
    for (const int16_t id : {0, 1, 2, 3}) {
      ASSERT_EQ(page.NextId(), id);
      page.Append({id, 0, 5, 5}, reinterpret_cast<const uint8_t*>("hello"));
    }
    page.Remove(page.Find(2));
    EXPECT_EQ(page.NextId(), 4) << "counting starts at the entry count 3, which is taken";
  }
  TABSSmallBlobPage page(data.data(), 4056, 9);
  EXPECT_EQ(page.Count(), 3);
  EXPECT_EQ(page.UsedBytes(), 3 * 27);
  EXPECT_EQ(std::memcmp(page.Bytes(page.Find(3)), "hello", 5), 0);
}

TEST_F(BlobManagerTest, APageWith255EntriesIsFull) {
  // Entries of 23 bytes: 255 of them fit an 8 KB page with room to spare.
  CreateBlobTable(8192);
  std::vector<TABSRecordId> ids;
  for (int i = 0; i < 256; ++i) ids.push_back(InsertWith(i, BlobBytes(1, uint8_t(i)), {}));
  std::vector<TABSPageAmount> entries = BlobIndexEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].amount, 8152 - 3) << "listed as full";
  EXPECT_EQ(entries[1].amount, 23);
  // A page that loses an entry has room again; its amount is its bytes.
  DeleteRecord(ids[7]);
  entries = BlobIndexEntries();
  EXPECT_EQ(entries[0].amount, 254 * 23);
  for (int i = 0; i < 300; ++i) InsertWith(i, BlobBytes(1), {});
  pages_->CommitSession(kSession);
  ExpectFileClean(fields_);
  for (const TABSPageAmount& entry : BlobIndexEntries()) {
    const TABSPageHold page = TABSPageHold::Get(*pages_, kSession, entry.page_no, ptTableBlob, kTableId);
    const TABSSmallBlobPage view(page->Data(), pages_->DataSize(), entry.page_no);
    EXPECT_EQ(view.IndexAmount(), entry.amount);
  }
}

TEST_F(BlobManagerTest, LargeValueLayouts) {
  // The page list after the last byte, in a page of its own when the last
  // data page is exactly full, and over several pages.
  CreateBlobTable(512);
  const int32_t d = 472;
  const std::vector<int64_t> sizes = {d - 24,           2 * d - 32,     2 * d - 32 - 3, 2 * d - 32 - 4,
                                      3 * d - 32 + 100, 200 * d + 17,   120 * d - 32};
  for (const int64_t size : sizes) {
    SCOPED_TRACE(size);
    const TABSLargeBlobLayout layout(size, d);
    EXPECT_EQ(layout.data_pages, (32 + size + d - 1) / d);
    const TABSRecordId id = InsertWith(1, BlobBytes(size), {});
    std::vector<uint8_t> record = ReadRecord(id);
    ASSERT_TRUE(ReferenceOf(record, kPlain).IsLarge());
    EXPECT_EQ(ValueOf(record, kPlain), BlobBytes(size));
    EXPECT_EQ(UsedPages(), baseline_pages_ + 1 + layout.data_pages + layout.extra_list_pages);
    DeleteRecord(id);
    pages_->CommitSession(kSession);
    EXPECT_EQ(UsedPages(), baseline_pages_);
  }
}

}  // namespace
}  // namespace kelvorin
