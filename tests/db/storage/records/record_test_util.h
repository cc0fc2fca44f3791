// Shared helpers of the record and BLOB storage tests: a database file with
// its page manager, the layout of a table's fields, a record manager on a
// fresh record-page index, memory records and byte patches of committed
// pages.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/storage/pages/disk_page_manager.h"
#include "db/storage/records/disk_record_manager.h"
#include "db/tables/metadata/table_metadata.h"
#include "platform/locale_profile.h"
#include "tests/db/storage/catalog/catalog_test_util.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin::testing {

// The layout of a table with these fields.
inline TABSRecordLayout LayoutOf(const std::vector<TABSDatasetFieldDef>& fields) {
  TABSTableMetadata metadata;
  metadata.DefineFields(fields);
  metadata.ComputeLayout();
  return TABSRecordLayout(metadata.Fields(), metadata.MemoryRecordSize(), metadata.StoredRecordSize());
}

// A record of `size` bytes whose field bytes are `value` (no field NULL).
inline std::vector<uint8_t> RecordOf(const TABSRecordLayout& layout, uint8_t value) {
  std::vector<uint8_t> record(static_cast<size_t>(layout.MemorySize()), value);
  std::memset(record.data(), 0, static_cast<size_t>(layout.NullBitmapSize()));
  for (const TABSBlobFieldSlot& blob : layout.BlobFields()) {
    std::memset(record.data() + blob.memory_offset, 0, TABSBlobFieldSlot::kMemorySize);
    TABSRecordLayout::SetNull(record.data(), blob.field_no, true);
  }
  return record;
}

class RecordStorageTest : public StorageTest {
 protected:
  static constexpr int32_t kSession = 0;
  static constexpr int32_t kTableId = 77;

  void SetUp() override {
    StorageTest::SetUp();
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  }
  void TearDown() override {
    records_.reset();
    if (pages_) pages_->CloseDiscarding();
    MemoryManager().SetMemoryLimit(0);
    StorageTest::TearDown();
  }

  // A new file and a record manager for a table of these fields.
  void Create(const std::vector<TABSDatasetFieldDef>& fields, int32_t page_size = 4096) {
    pages_ = std::make_unique<TABSDiskPageManager>();
    pages_->CreateDatabaseFile(Path(), {}, 8, page_size);
    root_ = TABSDiskRecordManager::CreateIndex(*pages_, kSession);
    records_ = std::make_unique<TABSDiskRecordManager>(*pages_, LayoutOf(fields), kTableId, root_);
    pages_->CommitSession(kSession);
  }
  // Opens the file again (nothing cached) with a new record manager.
  void Reopen(const std::vector<TABSDatasetFieldDef>& fields) {
    const int64_t count = records_->RecordCount();
    const int32_t changes = records_->ChangeCounter();
    records_.reset();
    if (pages_->IsOpened()) pages_->Close();
    pages_ = std::make_unique<TABSDiskPageManager>();
    bool multi_user = false;
    bool read_only = false;
    pages_->OpenDatabaseFile(Path(), {}, multi_user, false, read_only);
    records_ = std::make_unique<TABSDiskRecordManager>(*pages_, LayoutOf(fields), kTableId, root_);
    records_->SetCounters(count, changes);
  }

  // Runs the page-level checker on the closed file, then opens it again.
  void ExpectFileClean(const std::vector<TABSDatasetFieldDef>& fields) {
    Reopen(fields);
    pages_->Close();
    ExpectClean(Path());
    Reopen(fields);
  }

  TABSRecordId Insert(const std::vector<uint8_t>& record) {
    TABSRecordId id;
    EXPECT_TRUE(records_->Insert(kSession, record.data(), id));
    return id;
  }

  std::vector<TABSPageAmount> IndexEntries() {
    return TABSBTreeRecordPageIndex(*pages_, root_, records_->RecordsPerPage()).Entries(kSession);
  }

  TABSNavigateRequest Step(TABSNavigateDirection direction, TABSRecordId from, uint8_t* record = nullptr) {
    TABSNavigateRequest request;
    request.direction = direction;
    request.record_id = from;
    request.record = record;
    records_->Navigate(kSession, request);
    return request;
  }
  TABSNavigateRequest Edge(TABSNavigateDirection direction, bool last) {
    TABSNavigateRequest request;
    request.direction = direction;
    request.go_to_first = !last;
    request.go_to_last = last;
    records_->Navigate(kSession, request);
    return request;
  }
  // Every record id in storage order, walking forward.
  std::vector<TABSRecordId> Walk() {
    std::vector<TABSRecordId> ids;
    for (TABSNavigateRequest r = Edge(TABSNavigateDirection::kNext, false); r.status == TABSNavigateStatus::kFound;
         r = Step(TABSNavigateDirection::kNext, r.record_id)) {
      ids.push_back(r.record_id);
    }
    return ids;
  }

  // Changes bytes of the data area of a committed page, on disk.
  void PatchPageData(int32_t page_no, int32_t offset, const std::vector<uint8_t>& bytes) {
    pages_->WritePartOfPage(bytes.data(), page_no, static_cast<int32_t>(bytes.size()), kPageHeaderSize + offset);
  }
  void PatchPageHeader(int32_t page_no, int32_t offset, const std::vector<uint8_t>& bytes) {
    pages_->WritePartOfPage(bytes.data(), page_no, static_cast<int32_t>(bytes.size()), offset);
  }

  std::unique_ptr<TABSDiskPageManager> pages_;
  std::unique_ptr<TABSDiskRecordManager> records_;
  int32_t root_ = -1;
};

}  // namespace kelvorin::testing
