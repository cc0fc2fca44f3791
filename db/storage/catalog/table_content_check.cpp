#include "db/storage/catalog/table_content_check.h"

#include <algorithm>

#include "db/storage/blobs/disk_blob_manager.h"
#include "db/storage/blobs/large_blob.h"
#include "db/storage/blobs/small_blob_page.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_hold.h"
#include "db/storage/records/small_record_page.h"

namespace kelvorin {

TABSTableContentCheck::TABSTableContentCheck(TABSDiskPageManager& pages, int32_t session,
                                             const TABSRecordLayout& layout, int32_t owner, int32_t page_count,
                                             std::string table, TABSCheckSink& sink)
    : pages_(pages),
      session_(session),
      layout_(layout),
      owner_(owner),
      page_count_(page_count),
      records_per_page_(RecordsPerPage(pages.DataSize(), layout.StoredSize())),
      table_(std::move(table)),
      sink_(sink) {}

std::string TABSTableContentCheck::RecordName(TABSRecordId id) const {
  return table_ + " record " + std::to_string(id.page_no) + ":" + std::to_string(id.slot);
}

void TABSTableContentCheck::CheckRecordPages(const std::vector<TABSListedPage>& listed, int64_t record_count) {
  int64_t listed_records = 0;
  for (const TABSListedPage& page : listed) {
    listed_records += page.amount;
    try {
      CheckRecordPage(page);
    } catch (const EABSException& e) {
      sink_.Corrupt(page.page_no, table_ + " record page: " + e.what());
    }
  }
  if (listed_records != record_count) {
    sink_.Corrupt(-1, table_ + ": the record-page index lists " + std::to_string(listed_records) +
                          " records, the state block counts " + std::to_string(record_count));
  }
}

void TABSTableContentCheck::CheckRecordPage(const TABSListedPage& listed) {
  const TABSPageHold page = TABSPageHold::Get(pages_, session_, listed.page_no, ptTableRecord, owner_);
  const TABSSmallRecordPage view(page->Data(), records_per_page_, layout_.StoredSize());
  const std::string what = table_ + " record page";
  if (view.HasStrayBits()) sink_.Corrupt(listed.page_no, what + " has bits set beyond its last slot");
  if (view.UsedCount() != listed.amount) {
    sink_.Corrupt(listed.page_no, what + " holds " + std::to_string(view.UsedCount()) +
                                      " records, the record-page index lists " + std::to_string(listed.amount));
  }
  if (!layout_.HasBlobFields()) return;
  for (int32_t slot = view.FirstUsed(); slot >= 0; slot = view.NextUsed(slot)) {
    CheckRecordBlobs({listed.page_no, static_cast<uint16_t>(slot)}, view.Slot(slot));
  }
}

void TABSTableContentCheck::CheckRecordBlobs(TABSRecordId id, const uint8_t* stored) {
  for (const TABSBlobFieldSlot& slot : layout_.BlobFields()) {
    const TABSBlobReference reference = TABSBlobReference::Load(stored + slot.stored_offset);
    const std::string what = RecordName(id) + " field #" + std::to_string(slot.field_no);
    if (!reference.NamesStoredValue()) continue;
    if (TABSRecordLayout::IsNull(stored, slot.field_no)) {
      sink_.Corrupt(id.page_no, what + " is NULL but names a BLOB value");
    } else if (!reference.HasValidSlot() || reference.page_no >= page_count_) {
      sink_.Corrupt(id.page_no, what + " names BLOB page " + std::to_string(reference.page_no) + " slot " +
                                    std::to_string(reference.slot));
    } else if (reference.IsLarge()) {
      CheckLargeBlob(id, reference.page_no);
    } else {
      small_values_[reference.page_no].push_back({reference.slot, id});
    }
  }
}

void TABSTableContentCheck::CheckLargeBlob(TABSRecordId id, int32_t first_page) {
  const std::string what = RecordName(id) + " large BLOB";
  TABSLargeBlobPages where;
  try {
    where = TABSLargeBlobStore(pages_, session_, owner_, page_count_).Pages(first_page, /*check_data_pages=*/true);
  } catch (const EABSException& e) {
    sink_.Corrupt(first_page, what + ": " + e.what());
    return;
  }
  for (const int32_t page_no : where.data_pages) sink_.Reach(page_no, what);
  for (const int32_t page_no : where.list_pages) sink_.Reach(page_no, what + " page list");
}

void TABSTableContentCheck::CheckBlobPages(const std::vector<TABSListedPage>& listed) {
  for (const TABSListedPage& page : listed) {
    try {
      CheckBlobPage(page);
    } catch (const EABSException& e) {
      sink_.Corrupt(page.page_no, table_ + " BLOB page: " + e.what());
    }
    small_values_.erase(page.page_no);
  }
  for (const auto& [page_no, values] : small_values_) {
    for (const auto& [entry, record] : values) {
      sink_.Corrupt(page_no, RecordName(record) + " names a value in BLOB page " + std::to_string(page_no) +
                                 ", which the BLOB-page index does not list");
    }
  }
  small_values_.clear();
}

void TABSTableContentCheck::CheckBlobPage(const TABSListedPage& listed) {
  const TABSPageHold page = TABSPageHold::Get(pages_, session_, listed.page_no, ptTableBlob, owner_);
  const TABSSmallBlobPage view(page->Data(), pages_.DataSize(), listed.page_no);
  const std::string what = table_ + " BLOB page";
  if (view.IndexAmount() != listed.amount) {
    sink_.Corrupt(listed.page_no, what + " uses " + std::to_string(view.IndexAmount()) +
                                      " bytes, the BLOB-page index lists " + std::to_string(listed.amount));
  }
  std::vector<std::pair<int32_t, TABSRecordId>> named = small_values_[listed.page_no];
  std::sort(named.begin(), named.end());
  for (size_t i = 0; i < named.size(); ++i) {
    if (view.Find(named[i].first) < 0) {
      sink_.Corrupt(listed.page_no, RecordName(named[i].second) + " names entry " + std::to_string(named[i].first) +
                                        ", which its BLOB page does not hold");
    } else if (i > 0 && named[i].first == named[i - 1].first) {
      sink_.Corrupt(listed.page_no, RecordName(named[i].second) + " names entry " + std::to_string(named[i].first) +
                                        " of its BLOB page, as " + RecordName(named[i - 1].second) + " does");
    }
  }
  for (int32_t offset = view.FirstEntry(); offset >= 0; offset = view.NextEntry(offset)) {
    const int32_t id = view.Entry(offset).id;
    const bool is_named = std::binary_search(named.begin(), named.end(), std::make_pair(id, TABSRecordId{}),
                                             [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!is_named) sink_.Leak(listed.page_no, what + " entry " + std::to_string(id) + " is named by no record");
  }
}

}  // namespace kelvorin
