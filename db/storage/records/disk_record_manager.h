// TABSDiskRecordManager: the records of a table of a database file, kept in
// slots of record pages (TABSSmallRecordPage). The table's record-page
// index (a page-index tree) lists its record pages with the number of
// records each holds; it finds a page with room without scanning and leads
// walks from page to page. A record's identifier is {page, slot}; its
// physical record number is page x N + slot.
//
// Every page is obtained from the page manager and released within the
// operation; record pages are asked for with the table's object number, so
// a page of another table is refused. Identifiers and pages read from the
// file are checked before they are used. In multi-user mode a record page
// that another process may have freed or reused is treated as holding no
// record of the table (the acceptance check).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "db/storage/pages/page_hold.h"
#include "db/storage/records/base_record_manager.h"
#include "db/storage/records/record_layout.h"
#include "db/storage/records/small_record_page.h"
#include "db/tables/btree/page_index.h"

namespace kelvorin {

class TABSDiskRecordManager : public TABSBaseRecordManager {
 public:
  // A new empty record-page index in the session; its root page number.
  static int32_t CreateIndex(TABSPageManager& pages, int32_t session);

  // Binds to the table's record-page index. Raises "Cannot create table.
  // Record is too large…" when no record fits a page.
  TABSDiskRecordManager(TABSPageManager& pages, const TABSRecordLayout& layout, int32_t table_id,
                        int32_t index_root);

  const TABSRecordLayout& Layout() const { return layout_; }
  int32_t TableId() const { return table_id_; }
  int32_t RecordsPerPage() const { return records_per_page_; }
  int32_t SlotsPerPage() const override { return records_per_page_; }
  int32_t IndexRoot() const { return index_.RootPage(); }
  // Removes the record-page index (the records must be gone).
  void DropIndex(int32_t session);

  // The acceptance check of record pages: on only in multi-user use of a
  // file that keeps page owners, unless the session layer switches it off.
  void SetAcceptanceCheck(bool on) { acceptance_check_ = on; }
  bool AcceptanceCheck() const { return acceptance_check_; }
  // The pages the record-page index lists are kept in memory between calls.
  void InvalidateCaches() override { ++index_generation_; }

  // Physical record numbers: page x N + slot, and back.
  int64_t PhysicalRecordNumber(TABSRecordId id) const {
    return int64_t{id.page_no} * records_per_page_ + id.slot;
  }
  TABSRecordId RecordIdOfPhysicalNumber(int64_t number) const {
    return {static_cast<int32_t>(number / records_per_page_), static_cast<uint16_t>(number % records_per_page_)};
  }
  // Above every physical record number of the table: (last page + 1) x N.
  int64_t PhysicalRecordNumberBound(int32_t session);

  // Visits every stored record in storage order (the stored form, valid for
  // the call only); the visitor returns false to stop.
  void ForEachStoredRecord(int32_t session,
                           const std::function<bool(TABSRecordId id, const uint8_t* stored)>& visit);

  void Empty(int32_t session) override;
  bool Insert(int32_t session, const uint8_t* record, TABSRecordId& id) override;
  bool Update(int32_t session, const uint8_t* record, TABSRecordId id) override;
  bool Delete(int32_t session, TABSRecordId id) override;
  void Navigate(int32_t session, TABSNavigateRequest& request) override;
  // A page at a time.
  void ForEachRecord(int32_t session, uint8_t* record, const std::function<bool(TABSRecordId id)>& visit) override;
  int CompareRecordIds(TABSRecordId a, TABSRecordId b) const override { return kelvorin::CompareRecordIds(a, b); }
  // Half the record count, whatever the record.
  int64_t EstimatedPosition(int32_t session, TABSRecordId id) override;
  // Exact, from the amounts of the record-page index and one page's slots.
  int64_t StoragePosition(int32_t session, TABSRecordId id) override;
  bool RecordAtPosition(int32_t session, int64_t position, TABSRecordId& id) override;

 private:
  // Raises for an identifier no record of the table can have.
  void CheckRecordId(TABSRecordId id) const;
  // The record page, held; an empty hold when the acceptance check refuses it.
  TABSPageHold GetRecordPage(int32_t session, int32_t page_no);
  TABSSmallRecordPage View(const TABSPageHold& page) const {
    return TABSSmallRecordPage(page->Data(), records_per_page_, layout_.StoredSize());
  }
  bool InsertInto(int32_t session, const uint8_t* record, TABSRecordId& id);

  // The pages the record-page index lists, as the session sees them: kept in
  // memory between calls while nothing but this manager changes the index
  // (single-user use); none in multi-user use, where the tree is asked.
  const std::vector<int32_t>* ListedPages(int32_t session);
  bool IsListed(int32_t session, int32_t page_no);
  int32_t FirstListed(int32_t session, bool last);
  int32_t ListedAfter(int32_t session, int32_t page_no, bool forward);
  // The index gained or lost a page.
  void Listed(int32_t session, int32_t page_no);
  void Unlisted(int32_t session, int32_t page_no);

  void ReadEdge(int32_t session, TABSNavigateRequest& request, bool last);
  // Reads the first (last) record of a listed page; `missing` is raised
  // for a page without one.
  void ReadEndOfPage(int32_t session, TABSNavigateRequest& request, int32_t page_no, bool last,
                     const TABSNativeError& missing);
  void Step(int32_t session, TABSNavigateRequest& request, bool forward);
  void ReadCurrent(int32_t session, TABSNavigateRequest& request);
  // Reads the record of a used slot into the request and reports it found.
  void Found(TABSNavigateRequest& request, const TABSSmallRecordPage& page, int32_t page_no, int32_t slot) const;

  TABSPageManager& pages_;
  TABSRecordLayout layout_;
  int32_t table_id_;
  int32_t records_per_page_;
  TABSBTreeRecordPageIndex index_;
  bool acceptance_check_ = false;

  uint64_t index_generation_ = 0;
  struct ListedCache {
    int32_t session = kInvalidSessionId;
    uint64_t generation = ~uint64_t{0};
    std::vector<int32_t> pages;  // ascending
  } listed_;
};

}  // namespace kelvorin
