// Shared helpers of the BLOB storage tests: a table of records with BLOB
// fields (one stored plain, one compressed) on a database file, posted as
// the table layer does (values first, the record, then the replaced
// values), and the pages the file has in use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/storage/blobs/disk_blob_manager.h"
#include "db/storage/streams/memory_stream.h"
#include "tests/db/storage/records/record_test_util.h"

namespace kelvorin::testing {

inline TABSDatasetFieldDef BlobFieldOf(std::string name, uint8_t algorithm, uint8_t level = 0) {
  TABSDatasetFieldDef f = Field(std::move(name), TABSColumnType::Blob);
  f.blob_compression_algorithm = algorithm;
  f.blob_compression_level = level;
  return f;
}

// id INTEGER, plain BLOB (field 1), ZLIB BLOB (field 2).
inline const std::vector<TABSDatasetFieldDef>& BlobTableFields() {
  static const std::vector<TABSDatasetFieldDef> fields = {Field("id", TABSColumnType::Integer),
                                                          BlobFieldOf("plain", 0), BlobFieldOf("packed", 1, 6)};
  return fields;
}

// `size` bytes that compress a little.
inline std::vector<uint8_t> BlobBytes(int64_t size, uint8_t seed = 1) {
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>((x >> 16) % 16);
  }
  return bytes;
}

class BlobStorageTest : public RecordStorageTest {
 protected:
  static constexpr int32_t kPlain = 1;
  static constexpr int32_t kPacked = 2;

  void TearDown() override {
    blobs_.reset();
    RecordStorageTest::TearDown();
  }

  void CreateBlobTable(int32_t page_size = 4096,
                       const std::vector<TABSDatasetFieldDef>& fields = BlobTableFields()) {
    fields_ = fields;
    Create(fields_, page_size);
    blob_root_ = TABSDiskBlobManager::CreateIndex(*pages_, kSession);
    blobs_ = std::make_unique<TABSDiskBlobManager>(*pages_, *records_, blob_root_);
    pages_->CommitSession(kSession);
    baseline_pages_ = UsedPages();
  }
  // Opens the file again with new managers (nothing cached).
  void ReopenBlobTable() {
    blobs_.reset();
    Reopen(fields_);
    blobs_ = std::make_unique<TABSDiskBlobManager>(*pages_, *records_, blob_root_);
  }

  std::vector<uint8_t> NewRecord(int32_t id) {
    std::vector<uint8_t> record(static_cast<size_t>(records_->Layout().MemorySize()), 0);
    record[0] = 0xFF;  // every field NULL
    TABSRecordLayout::SetNull(record.data(), 0, false);
    StoreLE(record.data() + 1, id);
    return record;
  }

  // Posts the record as the table layer does; false (and the record as it
  // was) when the record manager refuses it.
  bool Post(std::vector<uint8_t>& record, TABSRecordId* id, bool inserting) {
    const TABSBlobStore store = blobs_->StoreBlobs(kSession, record.data(), inserting);
    const bool written = inserting ? records_->Insert(kSession, record.data(), *id)
                                   : records_->Update(kSession, record.data(), *id);
    if (!written) {
      blobs_->DeleteNewValues(kSession, store);
      blobs_->RestoreReferences(record.data(), store);
      return false;
    }
    blobs_->DeleteReplacedValues(kSession, store);
    blobs_->ReleaseStored(record.data(), store);
    return true;
  }
  TABSRecordId InsertWith(int32_t id, const std::vector<uint8_t>& plain, const std::vector<uint8_t>& packed) {
    std::vector<uint8_t> record = NewRecord(id);
    blobs_->WriteValue(record.data(), kPlain, plain.data(), static_cast<int64_t>(plain.size()));
    blobs_->WriteValue(record.data(), kPacked, packed.data(), static_cast<int64_t>(packed.size()));
    TABSRecordId rid;
    EXPECT_TRUE(Post(record, &rid, true));
    return rid;
  }
  void DeleteRecord(TABSRecordId id) {
    std::vector<uint8_t> record(static_cast<size_t>(records_->Layout().MemorySize()));
    ASSERT_TRUE(records_->ReadRecord(kSession, id, record.data()));
    ASSERT_TRUE(records_->Delete(kSession, id));
    blobs_->DeleteRecordBlobs(kSession, record.data());
  }

  std::vector<uint8_t> ReadRecord(TABSRecordId id) {
    std::vector<uint8_t> record(static_cast<size_t>(records_->Layout().MemorySize()));
    EXPECT_TRUE(records_->ReadRecord(kSession, id, record.data()));
    return record;
  }
  // The field's value, uncompressed.
  std::vector<uint8_t> ValueOf(std::vector<uint8_t>& record, int32_t field) {
    TABSMemoryStream stream;
    blobs_->ReadValue(kSession, record.data(), field, stream);
    return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
  }
  TABSBlobReference ReferenceOf(const std::vector<uint8_t>& record, int32_t field) {
    return TABSBlobReference::Load(record.data() + records_->Layout().BlobField(field).memory_offset);
  }

  std::vector<TABSPageAmount> BlobIndexEntries() {
    return TABSBTreeBlobPageIndex(*pages_, blob_root_).Entries(kSession);
  }
  // Pages the free-space map has in use.
  int32_t UsedPages() {
    int32_t used = 0;
    for (int32_t no = 0; no < pages_->Header().total_page_count; ++no) used += pages_->FreeSpace()->IsPageUsed(no);
    return used;
  }

  std::vector<TABSDatasetFieldDef> fields_;
  std::unique_ptr<TABSDiskBlobManager> blobs_;
  int32_t blob_root_ = -1;
  int32_t baseline_pages_ = 0;
};

}  // namespace kelvorin::testing
