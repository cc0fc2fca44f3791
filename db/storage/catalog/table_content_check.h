// The integrity check of a table's content, for the catalogue's checker:
// its record pages against the record-page index (type, owner, the records
// each holds, no bit beyond the last slot, the sum against the state
// block's record count), the BLOB values its records name (large values'
// pages reached through the records, each once; small values' entries in
// pages the BLOB-page index lists), and its small BLOB pages against that
// index (entries that fit the page, the bytes used, each entry named by
// exactly one record).
//
// Problems go to the sink; pages are reached through it, so that the
// checker sees each page of the file reached exactly once.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "db/storage/pages/disk_page_manager.h"
#include "db/storage/records/record_layout.h"
#include "db/tables/btree/record_id.h"

namespace kelvorin {

class TABSCheckSink {
 public:
  virtual ~TABSCheckSink() = default;
  // Marks the page as reached by `what`; false when it cannot be (reported).
  virtual bool Reach(int32_t page_no, const std::string& what) = 0;
  virtual void Corrupt(int32_t page_no, const std::string& text) = 0;
  virtual void Leak(int32_t page_no, const std::string& text) = 0;
};

// A data page a page-index tree lists, with its amount.
struct TABSListedPage {
  int32_t page_no;
  int32_t amount;
};

class TABSTableContentCheck {
 public:
  // `owner`: the table's object number; `page_count`: the file's pages.
  TABSTableContentCheck(TABSDiskPageManager& pages, int32_t session, const TABSRecordLayout& layout, int32_t owner,
                        int32_t page_count, std::string table, TABSCheckSink& sink);

  // The record pages the record-page index lists (those already reached).
  void CheckRecordPages(const std::vector<TABSListedPage>& listed, int64_t record_count);
  // The small BLOB pages the BLOB-page index lists (those already reached),
  // against the references the records hold (check the records first).
  void CheckBlobPages(const std::vector<TABSListedPage>& listed);

 private:
  void CheckRecordPage(const TABSListedPage& page);
  void CheckRecordBlobs(TABSRecordId id, const uint8_t* stored);
  void CheckLargeBlob(TABSRecordId id, int32_t first_page);
  void CheckBlobPage(const TABSListedPage& page);
  std::string RecordName(TABSRecordId id) const;

  TABSDiskPageManager& pages_;
  int32_t session_;
  const TABSRecordLayout& layout_;
  int32_t owner_;
  int32_t page_count_;
  int32_t records_per_page_;
  std::string table_;
  TABSCheckSink& sink_;
  // Small values the records name: page -> (entry id, record).
  std::map<int32_t, std::vector<std::pair<int32_t, TABSRecordId>>> small_values_;
};

}  // namespace kelvorin
