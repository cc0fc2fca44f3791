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

int32_t TABSDiskTableData::DefineTable(TABSTableMetadata& metadata, std::string_view name, const TABSFieldDefs& fields,
                                       const TABSIndexDefs& indexes, const TABSConstraintDefs& constraints,
                                       const TABSObjectIdSource& next_id, int32_t page_data_size) {
  metadata.Fields().Assign(fields);
  for (int32_t i = 0; i < metadata.Fields().Count(); ++i) metadata.Fields().Items(i)->SetObjectId(next_id());
  metadata.Indexes().Assign(indexes);
  for (int32_t i = metadata.Indexes().Count() - 1; i >= 0; --i) {
    if (metadata.Indexes().Items(i)->Temporary()) metadata.Indexes().Delete(i);
  }
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) metadata.Indexes().Items(i)->SetObjectId(next_id());
  metadata.Constraints().Assign(constraints);
  metadata.AttachConstraints(name, next_id);
  metadata.ComputeLayout();
  const int32_t records_per_page = kelvorin::RecordsPerPage(page_data_size, metadata.StoredRecordSize());
  if (records_per_page <= 0) throw EABSException(native::kRecordTooLarge20174);
  CheckIndexLayouts(metadata, page_data_size);
  TABSBaseFieldManager::CheckDefaults(metadata.Fields());
  return records_per_page;
}

void TABSDiskTableData::CreateStorage(int32_t session, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                      const TABSConstraintDefs& constraints) {
  TABSTableMetadata& metadata = Metadata();
  // The definitions first: a table that cannot exist gets no page.
  TABSPageManager& pages = disk_.DiskPageManager();
  records_per_page_ = DefineTable(metadata, Name(), fields, indexes, constraints,
                                  [this] { return disk_.NextObjectNumber(); }, pages.DataSize());

  files_.Create(session, disk_.MaxConnections());
  record_index_.root = TABSDiskRecordManager::CreateIndex(pages, session);
  blob_index_.root = HasBlobFields(metadata.Fields()) ? TABSDiskBlobManager::CreateIndex(pages, session) : -1;
  CreateManagers();
  MutableState() = {};
  MutableState().ResetAutoInc(metadata.Fields());
  WriteState(session);
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    table_trees::BuildIndex(pages, session, *metadata.Indexes().Items(i), metadata.Fields());
  }
  WriteMetadata(session);
  InitManagers();
}

void TABSDiskTableData::CheckIndexLayouts(const TABSTableMetadata& metadata, int32_t page_data_size) {
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    table_trees::CheckIndexLayout(*metadata.Indexes().Items(i), metadata.Fields(), page_data_size);
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
  CheckIndexLayouts(Metadata(), disk_.DiskPageManager().DataSize());
  CreateManagers();
  ReadState(session);
  InitManagers();
}

void TABSDiskTableData::CreateManagers() {
  TABSDiskPageManager& pages = disk_.DiskPageManager();
  const TABSTableMetadata& metadata = Metadata();
  const TABSRecordLayout layout(metadata.Fields(), metadata.MemoryRecordSize(), metadata.StoredRecordSize());
  blob_manager_.reset();
  record_manager_ = std::make_unique<TABSDiskRecordManager>(pages, layout, object_id_, record_index_.root);
  ApplyRecordPageCheck();
  blob_manager_ = std::make_unique<TABSDiskBlobManager>(pages, *record_manager_, blob_index_.root);
}

void TABSDiskTableData::ApplyRecordPageCheck() {
  if (!record_manager_) return;
  // Between processes a record page read from the index may have been freed
  // or reused since; files that keep page owners tell.
  record_manager_->SetAcceptanceCheck(disk_.MultiUser() && !disk_.RecordPageCheckOff() &&
                                      disk_.DiskPageManager().Header().version >= kFirstVersionWithPageOwners);
}

void TABSDiskTableData::ReadMetadata(int32_t session) {
  files_.ReadMetadata(session, Metadata(), Name(), record_index_, blob_index_);
  records_per_page_ = kelvorin::RecordsPerPage(disk_.DiskPageManager().DataSize(), Metadata().StoredRecordSize());
}

void TABSDiskTableData::WriteMetadata(int32_t session) { files_.WriteMetadata(session, Metadata()); }

void TABSDiskTableData::ReadState(int32_t session) {
  MutableState() = files_.ReadState(session, Metadata().Fields().Count());
  if (record_manager_) record_manager_->SetCounters(State().record_count, State().change_counter);
}

void TABSDiskTableData::WriteState(int32_t session) {
  if (record_manager_) {
    MutableState().record_count = record_manager_->RecordCount();
    MutableState().change_counter = record_manager_->ChangeCounter();
  }
  files_.WriteState(session, State(), Metadata().Fields().Count());
}

void TABSDiskTableData::RollbackHook(int32_t session) {
  // The system session holds no connection slot (and locks nothing).
  if (session < 0) {
    TABSTableData::RollbackHook(session);
    return;
  }
  const TABSTableReadLock read(*this, session, native::kTableLockedCount);
  TABSTableData::RollbackHook(session);
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

bool TABSDiskTableData::HoldsRecordLock(int32_t session, const TABSRecordId& id) {
  return disk_.HoldsRecordLock(*this, session, id);
}

bool TABSDiskTableData::Shared() const { return disk_.MultiUser(); }

void TABSDiskTableData::PagesRolledBack(int32_t session) {
  if (record_manager_) record_manager_->InvalidateCaches();
  TABSTableData::PagesRolledBack(session);
}

TABSPageManager* TABSDiskTableData::TemporaryIndexPages() {
  if (!temporary_index_pages_) temporary_index_pages_ = std::make_unique<TABSTemporaryPageManager>();
  return temporary_index_pages_.get();
}

void TABSDiskTableData::DeleteStorage(int32_t session) {
  TABSTableMetadata& metadata = Metadata();
  TABSPageManager& pages = disk_.DiskPageManager();
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    const TABSIndexDef& index = *metadata.Indexes().Items(i);
    if (!index.Temporary()) table_trees::DropIndex(pages, session, index, metadata.Fields());
  }
  DeleteAllBlobs(session);
  if (blob_index_.root >= 0) blob_manager_->DropIndex(session);
  DeleteAllRecords(session);
  record_manager_->DropIndex(session);
  files_.Delete(session);
}

}  // namespace kelvorin
