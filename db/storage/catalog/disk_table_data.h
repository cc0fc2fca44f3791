// TABSDiskTableData: a table of a database file, open in the process. It
// keeps the table's three internal files, its definitions, its state block
// and the roots of the page-index trees of its record and BLOB pages, and
// does the storage side of creating, loading, emptying and deleting the
// table. The open database (TABSDiskDatabaseData) decides when, in which
// session, and commits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/storage/catalog/disk_table_files.h"
#include "db/storage/catalog/table_trees.h"
#include "db/storage/blobs/disk_blob_manager.h"
#include "db/storage/records/disk_record_manager.h"
#include "db/storage/temporary/temporary_page_manager.h"
#include "db/tables/records/table_data.h"

namespace kelvorin {

class TABSDiskDatabaseData;

class TABSDiskTableData : public TABSTableData {
 public:
  // Binds to the table of a table-list entry; nothing is read yet.
  TABSDiskTableData(TABSDiskDatabaseData& database, const TABSTableListEntry& entry);
  ~TABSDiskTableData() override;

  int32_t ObjectId() const { return object_id_; }
  // The start page of the table's locks file, by which its locks are known.
  int32_t LocksPage() const { return files_.LocksPage(); }
  // The table-list entry of the table's files.
  TABSTableListEntry Entry() const;
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value) { exclusive_ = value; }
  int32_t RecordPageIndexRoot() const { return record_index_.root; }
  int32_t BlobPageIndexRoot() const { return blob_index_.root; }
  int32_t RecordsPerPage() const { return records_per_page_; }

  // The table's records, once it is created or loaded. The record manager
  // keeps the record count and the change counter: the state block takes
  // them when it is written and gives them back when it is read.
  TABSBaseRecordManager* RecordManager() override { return record_manager_.get(); }
  TABSDiskRecordManager& DiskRecordManager() { return *record_manager_; }
  // The table's BLOB values (a table without BLOB fields has none to keep).
  TABSBlobManager* BlobManager() override { return blob_manager_.get(); }
  TABSDiskBlobManager& DiskBlobManager() { return *blob_manager_; }

  // Fills the metadata from a new table's definitions (each gets a number
  // from `next_id`) and raises for a table that cannot exist: no record
  // fits a page, an index key does not, a default is invalid. Returns the
  // records per page.
  static int32_t DefineTable(TABSTableMetadata& metadata, std::string_view name, const TABSFieldDefs& fields,
                             const TABSIndexDefs& indexes, const TABSConstraintDefs& constraints,
                             const TABSObjectIdSource& next_id, int32_t page_data_size);
  // Creates the files and trees of a new table from the definitions (each
  // gets a fresh object number), in the session.
  void CreateStorage(int32_t session, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                     const TABSConstraintDefs& constraints);
  // Opens the table's files and reads its definitions and state in the page
  // session, under the read lock of the lock session (its connection slot).
  void Load(int32_t session, int32_t lock_session);
  // Drops the indexes and both page-index trees and deletes the three files.
  void DeleteStorage(int32_t session);

  void ReadMetadata(int32_t session);
  void WriteMetadata(int32_t session);
  void ReadState(int32_t session) override;
  void WriteState(int32_t session) override;

  // Rereads the state under a read lock: another process may be writing.
  void RollbackHook(int32_t session) override;

  // Turns the record manager's acceptance check of record pages on or off
  // as the database's use of the file asks.
  void ApplyRecordPageCheck();

  bool LockTable(int32_t session, TABSLockType type, TABSLockWait wait) override;
  void UnlockTable(int32_t session, TABSLockType type) override;
  bool LockRecord(int32_t session, const TABSRecordId& id, TABSLockWait wait) override;
  bool UnlockRecord(int32_t session, const TABSRecordId& id) override;
  bool HoldsRecordLock(int32_t session, const TABSRecordId& id) override;

 protected:
  // Forgets what the managers cache about the table's pages: a rollback may
  // have undone changes of them.
  void PagesRolledBack(int32_t session) override;
  bool Shared() const override;
  TABSPageManager* TemporaryIndexPages() override;


 private:
  // Raises for an index whose key layout cannot be used.
  static void CheckIndexLayouts(const TABSTableMetadata& metadata, int32_t page_data_size);
  // The managers of the table's records and BLOBs, for its definitions.
  void CreateManagers();

  TABSDiskDatabaseData& disk_;
  int32_t object_id_;
  TABSDiskTableFiles files_;
  TABSPageIndexRootSection record_index_;
  TABSPageIndexRootSection blob_index_;
  int32_t records_per_page_ = 0;
  bool exclusive_ = false;
  bool locks_attached_ = false;
  std::unique_ptr<TABSDiskRecordManager> record_manager_;
  // Refers to the record manager: declared after it, destroyed before it.
  std::unique_ptr<TABSDiskBlobManager> blob_manager_;
  std::unique_ptr<TABSTemporaryPageManager> temporary_index_pages_;
};

}  // namespace kelvorin
