#include "db/storage/catalog/disk_table_data.h"

#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/locks/lock_errors.h"
#include "db/tables/records/table_lock_guards.h"

namespace kelvorin {

TABSDiskTableData::TABSDiskTableData(TABSDiskDatabaseData& database, const TABSTableListEntry& entry)
    : TABSTableData(database, entry.name, &database.DiskPageManager()),
      disk_(database),
      object_id_(entry.object_id),
      files_(database.DiskPageManager(), entry) {
  Metadata().SetTrailingSections(&record_index_, &blob_index_);
}

TABSDiskTableData::~TABSDiskTableData() {
  if (locks_attached_) disk_.DetachTableLocks(LocksPage());
}

TABSTableListEntry TABSDiskTableData::Entry() const {
  return {Name(), object_id_, files_.MetadataPage(), files_.MostUpdatedPage(), files_.LocksPage()};
}

void TABSDiskTableData::CreateStorage(int32_t session, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                      const TABSConstraintDefs& constraints) {
  TABSTableMetadata& metadata = Metadata();
  const TABSObjectIdSource next_id = [this] { return disk_.NextObjectNumber(); };
  // The definitions first: a table that cannot exist gets no page.
  metadata.Fields().Assign(fields);
  for (int32_t i = 0; i < metadata.Fields().Count(); ++i) metadata.Fields().Items(i)->SetObjectId(next_id());
  metadata.Indexes().Assign(indexes);
  for (int32_t i = metadata.Indexes().Count() - 1; i >= 0; --i) {
    if (metadata.Indexes().Items(i)->Temporary()) metadata.Indexes().Delete(i);
  }
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) metadata.Indexes().Items(i)->SetObjectId(next_id());
  metadata.Constraints().Assign(constraints);
  metadata.AttachConstraints(Name(), next_id);
  metadata.ComputeLayout();
  TABSPageManager& pages = disk_.DiskPageManager();
  records_per_page_ = kelvorin::RecordsPerPage(pages.DataSize(), metadata.StoredRecordSize());
  if (records_per_page_ <= 0) throw EABSException(native::kRecordTooLarge20174);
  CheckIndexLayouts();

  files_.Create(session, disk_.MaxConnections());
  MutableState() = {};
  MutableState().ResetAutoInc(metadata.Fields());
  WriteState(session);
  record_index_.root =
      table_trees::CreatePageIndex(pages, session, TABSPageIndexKind::kRecordPages, records_per_page_);
  blob_index_.root = HasBlobFields(metadata.Fields())
                         ? table_trees::CreatePageIndex(pages, session, TABSPageIndexKind::kBlobPages, 0)
                         : -1;
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    table_trees::BuildIndex(pages, session, *metadata.Indexes().Items(i), metadata.Fields());
  }
  WriteMetadata(session);
}

void TABSDiskTableData::CheckIndexLayouts() const {
  for (int32_t i = 0; i < Metadata().Indexes().Count(); ++i) {
    table_trees::CheckIndexLayout(*Metadata().Indexes().Items(i), Metadata().Fields(),
                                  disk_.DiskPageManager().DataSize());
  }
}

void TABSDiskTableData::Load(int32_t session, int32_t lock_session) {
  files_.OpenLocks(disk_.MaxConnections());
  if (!locks_attached_) {
    disk_.AttachTableLocks(LocksPage());
    locks_attached_ = true;
  }
  const TABSTableReadLock read(*this, lock_session, native::kTableOpenLocked20209);
  ReadMetadata(session);
  CheckIndexLayouts();
  ReadState(session);
}

void TABSDiskTableData::ReadMetadata(int32_t session) {
  files_.ReadMetadata(session, Metadata(), Name(), record_index_, blob_index_);
  records_per_page_ = kelvorin::RecordsPerPage(disk_.DiskPageManager().DataSize(), Metadata().StoredRecordSize());
}

void TABSDiskTableData::WriteMetadata(int32_t session) { files_.WriteMetadata(session, Metadata()); }

void TABSDiskTableData::ReadState(int32_t session) {
  MutableState() = files_.ReadState(session, Metadata().Fields().Count());
}

void TABSDiskTableData::WriteState(int32_t session) {
  files_.WriteState(session, State(), Metadata().Fields().Count());
}

void TABSDiskTableData::RollbackHook(int32_t session) {
  // The system session holds no connection slot (and locks nothing).
  if (session < 0) {
    ReadState(session);
    return;
  }
  const TABSTableReadLock read(*this, session, native::kTableLockedCount);
  ReadState(session);
}

bool TABSDiskTableData::LockTable(int32_t session, TABSLockType type, TABSLockWait wait) {
  return disk_.LockTable(*this, session, type, wait);
}

void TABSDiskTableData::UnlockTable(int32_t session, TABSLockType type) { disk_.UnlockTable(*this, session, type); }

bool TABSDiskTableData::LockRecord(int32_t session, const TABSRecordId& id, TABSLockWait wait) {
  return disk_.LockRecord(*this, session, id, wait);
}

bool TABSDiskTableData::UnlockRecord(int32_t session, const TABSRecordId& id) {
  return disk_.UnlockRecord(*this, session, id);
}

void TABSDiskTableData::RemoveListedPages(int32_t session, TABSPageIndexKind kind, int32_t root) {
  TABSPageManager& pages = disk_.DiskPageManager();
  for (const int32_t page : table_trees::ListedPages(pages, session, kind, root, records_per_page_)) {
    pages.RemovePage(session, page);
  }
  table_trees::EmptyPageIndex(pages, session, kind, root, records_per_page_);
}

void TABSDiskTableData::DeleteAllRecords(int32_t session) {
  RemoveListedPages(session, TABSPageIndexKind::kRecordPages, record_index_.root);
}

void TABSDiskTableData::DeleteAllBlobs(int32_t session) {
  if (blob_index_.root >= 0) RemoveListedPages(session, TABSPageIndexKind::kBlobPages, blob_index_.root);
}

void TABSDiskTableData::EmptyContent(int32_t session) {
  TABSTableMetadata& metadata = Metadata();
  TABSPageManager& pages = disk_.DiskPageManager();
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    const TABSIndexDef& index = *metadata.Indexes().Items(i);
    if (!index.Temporary()) table_trees::EmptyIndex(pages, session, index, metadata.Fields());
  }
  DeleteAllBlobs(session);
  DeleteAllRecords(session);
  TABSTableState& state = MutableState();
  state.ResetAutoInc(metadata.Fields());
  // A version stamp: a value used before would make stale copies look current.
  state.change_counter = static_cast<int32_t>(static_cast<uint32_t>(state.change_counter) + 1);
  state.record_count = 0;
  WriteState(session);
}

void TABSDiskTableData::DeleteStorage(int32_t session) {
  TABSTableMetadata& metadata = Metadata();
  TABSPageManager& pages = disk_.DiskPageManager();
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    const TABSIndexDef& index = *metadata.Indexes().Items(i);
    if (!index.Temporary()) table_trees::DropIndex(pages, session, index, metadata.Fields());
  }
  DeleteAllBlobs(session);
  if (blob_index_.root >= 0) {
    table_trees::DropPageIndex(pages, session, TABSPageIndexKind::kBlobPages, blob_index_.root, 0);
  }
  DeleteAllRecords(session);
  table_trees::DropPageIndex(pages, session, TABSPageIndexKind::kRecordPages, record_index_.root,
                             records_per_page_);
  files_.Delete(session);
}

}  // namespace kelvorin
