// TABSDiskBlobManager: the BLOB values of a table of a database file. A
// value of S stored bytes goes into a small BLOB page shared with other
// values when S + 24 < D (TABSSmallBlobPage), else into pages of its own
// (TABSLargeBlobStore). The table's BLOB-page index lists its small BLOB
// pages with the bytes each uses, and finds a page with room without
// scanning; large BLOBs are reached only through the records that name
// them.
//
// BLOB pages carry the table's object number as owner and are asked for
// with it, so a reference into another table's pages is refused. Every
// reference, page and list read from the file is checked before it is used.
#pragma once

#include <cstdint>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/blobs/large_blob.h"
#include "db/storage/pages/disk_page_manager.h"
#include "db/storage/records/disk_record_manager.h"
#include "db/tables/btree/page_index.h"

namespace kelvorin {

class TABSDiskBlobManager : public TABSBlobManager {
 public:
  // A new empty BLOB-page index in the session; its root page number.
  static int32_t CreateIndex(TABSPageManager& pages, int32_t session);

  // The values of the table whose records `records` keeps; `index_root` is
  // -1 for a table without BLOB fields.
  TABSDiskBlobManager(TABSDiskPageManager& pages, TABSDiskRecordManager& records, int32_t index_root);

  int32_t IndexRoot() const { return index_.RootPage(); }
  // Removes the BLOB-page index (the values must be gone).
  void DropIndex(int32_t session);

  // Walks the records for their large values, then gives up those pages and
  // every page the BLOB-page index lists, and empties the index. Nothing
  // changes until every page was checked.
  void DeleteAll(int32_t session) override;

  // Raises for a reference that cannot name a value.
  static void CheckReference(TABSBlobReference reference);

 protected:
  TABSBlobReference StoreValue(int32_t session, const TABSBlobValue& value) override;
  void ReadStoredValue(int32_t session, TABSBlobReference reference, TABSBlobValue& value) override;
  TABSBlobEntryHeader CopyStoredValue(int32_t session, TABSBlobReference reference, TABSStream& stream) override;
  void DeleteValue(int32_t session, TABSBlobReference reference) override;

 private:
  TABSBlobReference StoreSmall(int32_t session, const TABSBlobValue& value);
  // Hands a small value's header and bytes (valid for the call) to `use`.
  template <typename F>
  auto WithSmallValue(int32_t session, TABSBlobReference reference, F&& use);
  void DeleteSmall(int32_t session, TABSBlobReference reference);
  TABSLargeBlobStore Large(int32_t session);
  TABSPageHold GetBlobPage(int32_t session, int32_t page_no);
  // Raises unless the index lists the page with this amount.
  void CheckListed(int32_t session, int32_t page_no, int32_t amount);
  // Page numbers read from the file lie below this.
  int32_t PageCount();

  TABSDiskPageManager& pages_;
  TABSDiskRecordManager& records_;
  TABSBTreeBlobPageIndex index_;
};

}  // namespace kelvorin
