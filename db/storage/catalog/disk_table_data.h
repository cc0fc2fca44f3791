// TABSDiskTableData: a table of a database file, open in the process. It
// keeps the table's three internal files, its definitions, its state block
// and the roots of the page-index trees of its record and BLOB pages, and
// does the storage side of creating, loading, emptying and deleting the
// table. The open database (TABSDiskDatabaseData) decides when, in which
// session, and commits.
#pragma once

#include <cstdint>
#include <string>

#include "db/storage/catalog/disk_table_files.h"
#include "db/storage/catalog/table_trees.h"
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

  // Creates the files and trees of a new table from the definitions (each
  // gets a fresh object number), in the session.
  void CreateStorage(int32_t session, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                     const TABSConstraintDefs& constraints);
  // Opens the table's files and reads its definitions and state in the page
  // session, under the read lock of the lock session (its connection slot).
  void Load(int32_t session, int32_t lock_session);
  // Empties the indexes, deletes every BLOB and record and writes the state
  // of an empty table (its change counter raised, never reset).
  void EmptyContent(int32_t session);
  // Drops the indexes and both page-index trees and deletes the three files.
  void DeleteStorage(int32_t session);

  void ReadMetadata(int32_t session);
  void WriteMetadata(int32_t session);
  void ReadState(int32_t session);
  void WriteState(int32_t session);

  // Rereads the state block: a rollback may have undone changes of it.
  void RollbackHook(int32_t session) override;

  bool LockTable(int32_t session, TABSLockType type, TABSLockWait wait) override;
  void UnlockTable(int32_t session, TABSLockType type) override;
  bool LockRecord(int32_t session, const TABSRecordId& id, TABSLockWait wait) override;
  bool UnlockRecord(int32_t session, const TABSRecordId& id) override;

 protected:
  // Records and BLOBs. The records layer fills these with its record and
  // BLOB managers (large BLOBs are reached only through the records that
  // reference them); a table of this layer holds none, so they only give up
  // what the page-index trees list.
  void DeleteAllRecords(int32_t session) override;
  void DeleteAllBlobs(int32_t session) override;

 private:
  // Raises for an index whose key layout cannot be used.
  void CheckIndexLayouts() const;
  // Gives up every data page a page-index tree lists and empties the tree.
  void RemoveListedPages(int32_t session, TABSPageIndexKind kind, int32_t root);

  TABSDiskDatabaseData& disk_;
  int32_t object_id_;
  TABSDiskTableFiles files_;
  TABSPageIndexRootSection record_index_;
  TABSPageIndexRootSection blob_index_;
  int32_t records_per_page_ = 0;
  bool exclusive_ = false;
  bool locks_attached_ = false;
};

}  // namespace kelvorin
