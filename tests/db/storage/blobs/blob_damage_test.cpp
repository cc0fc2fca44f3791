// BLOB pages, large BLOBs and references as a damaged or crafted file has
// them: reading a value, deleting a record's values and deleting all values
// give engine errors (before anything is read past a page or allocated
// from a stored size), never a crash.
#include <gtest/gtest.h>

#include <set>

#include "db/storage/blobs/blob_errors.h"
#include "tests/db/storage/blobs/blob_test_util.h"

namespace kelvorin {
namespace {

using testing::BlobBytes;

std::vector<uint8_t> Bytes32(int32_t value) {
  std::vector<uint8_t> bytes(4);
  StoreLE(bytes.data(), value);
  return bytes;
}
std::vector<uint8_t> Bytes16(int16_t value) {
  std::vector<uint8_t> bytes(2);
  StoreLE(bytes.data(), value);
  return bytes;
}

class BlobDamageTest : public testing::BlobStorageTest {
 protected:
  static constexpr int32_t kData = kPageHeaderSize;  // the data area in a page
  static constexpr int32_t kD = 472;                 // its size on 512-byte pages

  void SetUp() override {
    BlobStorageTest::SetUp();
    CreateBlobTable(512);
    small_ = InsertWith(1, BlobBytes(100), {});
    large_ = InsertWith(2, BlobBytes(3000), {});
    long_list_ = InsertWith(3, BlobBytes(200 * kD + 17), {});
    pages_->CommitSession(kSession);
    small_ref_ = ReferenceOf(ReadRecord(small_), kPlain);
    large_ref_ = ReferenceOf(ReadRecord(large_), kPlain);
    long_ref_ = ReferenceOf(ReadRecord(long_list_), kPlain);
    ASSERT_FALSE(small_ref_.IsLarge());
    ASSERT_TRUE(large_ref_.IsLarge());
    ReopenBlobTable();
    pages_->Close();
    base_ = ReadAll(Path());
  }

  // The page and the place in it where a record's reference lies.
  std::pair<int32_t, int32_t> ReferencePlace(TABSRecordId id) {
    const int32_t bitmap = TABSSmallRecordPage::BitmapSize(records_->RecordsPerPage());
    return {id.page_no, kData + bitmap + id.slot * records_->Layout().StoredSize() +
                            records_->Layout().BlobField(kPlain).stored_offset};
  }
  // The page list of the long value: its start and its second page.
  int32_t ListPage(int32_t first_page) {
    const TABSPageHold page = TABSPageHold::Get(*pages_, kSession, first_page, ptTableBlob);
    return LoadLE<int32_t>(page->Data() + 22);
  }

  // Every operation on the file: the engine errors they raise. Each runs in
  // the session, which is rolled back after it.
  std::set<int32_t> Errors() {
    std::set<int32_t> codes;
    const int64_t count = records_->RecordCount();
    const int32_t changes = records_->ChangeCounter();
    const auto run = [&](auto&& f) {
      const int32_t code = testing::ErrorCode(f);
      if (code != 0) codes.insert(code);
      pages_->RollbackSession(kSession);
      records_->InvalidateCaches();
      records_->SetCounters(count, changes);
      blobs_->InvalidateCaches();
    };
    const auto read = [&](TABSRecordId id) {
      std::vector<uint8_t> record(static_cast<size_t>(records_->Layout().MemorySize()));
      records_->ReadRecord(kSession, id, record.data());
      return record;
    };
    for (const TABSRecordId id : {small_, large_, long_list_}) {
      run([&] {
        std::vector<uint8_t> record = read(id);
        ValueOf(record, kPlain);
        blobs_->ReleaseDescriptors(record.data());
      });
      run([&] {
        const std::vector<uint8_t> record = read(id);
        records_->Delete(kSession, id);
        blobs_->DeleteRecordBlobs(kSession, record.data());
      });
      run([&] {
        // An update replacing the value.
        std::vector<uint8_t> record = read(id);
        blobs_->WriteValue(record.data(), kPlain, "x", 1);
        TABSRecordId at = id;
        Post(record, &at, false);
        blobs_->ReleaseDescriptors(record.data());
      });
    }
    run([&] { blobs_->DeleteAll(kSession); });
    run([&] {
      std::vector<uint8_t> record = NewRecord(9);
      blobs_->WriteValue(record.data(), kPlain, "y", 1);
      TABSRecordId at;
      Post(record, &at, true);
      blobs_->ReleaseDescriptors(record.data());
    });
    return codes;
  }

  struct Patch {
    const char* name;
    int32_t page;
    int32_t offset;  // in the page
    std::vector<uint8_t> bytes;
    int32_t code;
  };
  void Run(const std::vector<Patch>& patches) {
    for (const Patch& patch : patches) {
      SCOPED_TRACE(patch.name);
      WriteAll(Path(), base_);
      ReopenBlobTable();
      PatchPageHeader(patch.page, patch.offset, patch.bytes);
      ReopenBlobTable();
      const std::set<int32_t> codes = Errors();
      EXPECT_TRUE(codes.count(patch.code)) << "codes: " << ::testing::PrintToString(codes);
      pages_->Close();
    }
    WriteAll(Path(), base_);
    ReopenBlobTable();
  }

  std::vector<uint8_t> base_;
  TABSRecordId small_, large_, long_list_;
  TABSBlobReference small_ref_, large_ref_, long_ref_;
};

TEST_F(BlobDamageTest, SmallBlobPages) {
  ReopenBlobTable();
  const int32_t page = small_ref_.page_no;
  const int32_t entry = kData + 2;
  Run({
      {"more entries than a page can hold", page, kData, Bytes16(300), 10751},
      {"a count walking past the entries", page, kData, Bytes16(40), 10751},
      {"a stored size running past the page", page, entry + 6, Bytes32(0x7FFFFFF0), 10751},
      {"a negative stored size", page, entry + 6 + 4, Bytes32(-1), 10751},
      {"an id of 255", page, entry, Bytes16(255), 10751},
      {"an uncompressed size beyond the signed range", page, entry + 18, Bytes32(-1), 10751},
      {"the index lists another amount", page, entry + 6, Bytes32(90), 10753},
  });
}

TEST_F(BlobDamageTest, LargeBlobs) {
  ReopenBlobTable();
  const int32_t first = large_ref_.page_no;
  const int32_t list = ListPage(first);
  const int32_t list_offset = [&] {
    const TABSPageHold page = TABSPageHold::Get(*pages_, kSession, first, ptTableBlob);
    return LoadLE<uint16_t>(page->Data() + 26);
  }();
  const int32_t long_first = long_ref_.page_no;
  const int32_t long_list = ListPage(long_first);
  Run({
      {"a stored size of a small value", first, kData + 6, Bytes32(100), 10752},
      {"a stored size beyond the file", first, kData + 6 + 4, Bytes32(0x100), 10752},
      {"a locator with another page count", first, kData + 28, Bytes32(6), 10752},
      {"a locator with another offset", first, kData + 26, Bytes16(int16_t(list_offset + 4)), 10752},
      {"a locator naming page 0", first, kData + 22, Bytes32(0), 10752},
      {"a locator beyond the file", first, kData + 22, Bytes32(100000), 10752},
      {"a list naming a page beyond the file", list, kData + list_offset + 8, Bytes32(99999), 10752},
      {"a list naming a page twice", list, kData + list_offset + 8, Bytes32(first), 10752},
      {"a list starting elsewhere", list, kData + list_offset, Bytes32(list), 10752},
      {"a data page of another type", list, kData + list_offset + 4, Bytes32(small_.page_no), 20153},
      {"a list that goes on", list, page_field::kNextPage, Bytes32(long_first), 10752},
      {"a list chain that loops", long_list, page_field::kNextPage, Bytes32(long_list), 10752},
      {"a list chain cut short", long_list, page_field::kNextPage, Bytes32(-1), 10752},
      {"a data page of another table", first, page_field::kOwner, Bytes32(5), 10700},
  });
}

TEST_F(BlobDamageTest, References) {
  ReopenBlobTable();
  const auto [small_page, small_at] = ReferencePlace(small_);
  const auto [large_page, large_at] = ReferencePlace(large_);
  Run({
      {"a slot beyond 255", small_page, small_at + 4, Bytes16(300), 10750},
      {"a negative slot", large_page, large_at + 4, Bytes16(-2), 10750},
      {"a page beyond the file", small_page, small_at, Bytes32(77777), 10750},
      {"an entry the page does not hold", small_page, small_at + 4, Bytes16(9), 20171},
      {"a record page for a BLOB page", small_page, small_at, Bytes32(small_.page_no), 20153},
  });
}

}  // namespace
}  // namespace kelvorin
