#include "db/tables/records/table_data.h"

#include <algorithm>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/records/base_record_manager.h"
#include "db/tables/records/database_data.h"
#include "db/tables/records/table_data_errors.h"
#include "db/tables/records/table_lock_guards.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

TABSTableData::TABSTableData(TABSDatabaseData& database, std::string name, TABSPageManager* page_manager)
    : database_(&database), name_(std::move(name)), page_manager_(page_manager) {}

TABSTableData::~TABSTableData() = default;

void TABSTableData::AddCursor(TABSCursor& cursor) {
  std::lock_guard lock(critical_section_);
  cursors_.push_back(&cursor);
  cursor.SetTable(this);
}

void TABSTableData::RemoveCursor(TABSCursor& cursor) {
  std::lock_guard lock(critical_section_);
  cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), &cursor), cursors_.end());
  if (cursor.Table() == this) cursor.SetTable(nullptr);
  if (cursors_.empty()) DropTemporaryIndexes();
}

void TABSTableData::InitManagers() {
  TABSBaseRecordManager* records = RecordManager();
  field_manager_ = std::make_unique<TABSBaseFieldManager>(metadata_.Fields(), state_.autoinc_values);
  field_manager_->SetBlobManager(BlobManager());
  index_manager_ = std::make_unique<TABSBaseIndexManager>(*page_manager_, metadata_.Indexes(), metadata_.Fields(),
                                                          *records);
  index_manager_->SetTemporaryPages(TemporaryIndexPages());
  index_manager_->OpenIndexes();
  constraint_manager_ = std::make_unique<TABSBaseConstraintManager>(
      metadata_.Constraints(), metadata_.Fields(), field_manager_->RecordFields(), *index_manager_);
}

TABSBaseRecordManager& TABSTableData::Records() { return *RecordManager(); }

void TABSTableData::InitRecord(TABSBaseSession& session, uint8_t* record, bool apply_defaults) {
  std::lock_guard lock(critical_section_);
  field_manager_->InitRecord(session, record, apply_defaults);
}

bool TABSTableData::ReadRecord(int32_t session, TABSRecordId id, uint8_t* record) {
  std::lock_guard lock(critical_section_);
  // A lock that cannot be had is an error, never a missing record.
  const TABSTableReadLock read(*this, session, native::kTableLocked20214);
  return Records().ReadRecord(session, id, record);
}

void TABSTableData::ForEachRecord(int32_t session, const std::function<void(TABSRecordId, const uint8_t*)>& visit) {
  std::lock_guard lock(critical_section_);
  const TABSTableReadLock read(*this, session, native::kTableLocked20214);
  TABSMemoryBlock record(RecordFields().MemorySize());
  Records().ForEachRecord(session, record.bytes(), [&](TABSRecordId id) {
    visit(id, record.bytes());
    return true;
  });
}

void TABSTableData::EmptyTable(int32_t session) {
  std::lock_guard lock(critical_section_);
  index_manager_->EmptyIndexes(session);
  DeleteAllBlobs(session);
  // Raises the change counter: a version stamp used before would make stale
  // copies look current.
  DeleteAllRecords(session);
  state_.ResetAutoInc(metadata_.Fields());
  SaveState(session);
}

void TABSTableData::SaveState(int32_t session) {
  if (TABSBaseRecordManager* records = RecordManager()) {
    state_.record_count = records->RecordCount();
    state_.change_counter = records->ChangeCounter();
  }
  WriteState(session);
}

TABSIndexDef* TABSTableData::AddIndex(int32_t session, std::unique_ptr<TABSIndexDef> index) {
  std::lock_guard lock(critical_section_);
  index->SetTemporary(false);
  try {
    return metadata_.AddIndex(std::move(index), name_, [this] { return database_->NextObjectNumber(); },
                              [&](TABSIndexDef& definition) {
                                index_manager_->OpenIndexes();
                                const int32_t position = metadata_.Indexes().IndexOfNumber(definition.ObjectId());
                                index_manager_->BuildIndex(
                                    session, position, [&](const auto& visit) { ForEachRecord(session, visit); },
                                    state_.change_counter);
                              });
  } catch (...) {
    index_manager_->OpenIndexes();
    throw;
  }
}

void TABSTableData::ForgetIndex(int32_t object_id) {
  std::lock_guard lock(critical_section_);
  metadata_.DropIndex(object_id);
  index_manager_->OpenIndexes();
}

TABSIndexDef* TABSTableData::AddTemporaryIndex(int32_t session, const std::vector<std::string>& field_names,
                                               const std::vector<std::string>& directions,
                                               const std::vector<std::string>& case_options) {
  std::lock_guard lock(critical_section_);
  if (index_manager_->TemporaryPages() == nullptr) throw EABSException(native::kNoTemporaryIndexPages, {name_});
  TABSIndexDef* definition = metadata_.AddTemporaryIndex(
      field_names, directions, case_options, session, state_.change_counter,
      [this] { return database_->NextObjectNumber(); });
  try {
    index_manager_->OpenIndexes();
    definition->SetRootPage(-1);
    RefreshTemporaryIndex(session, *definition);
  } catch (...) {
    metadata_.DropIndex(definition->ObjectId());
    index_manager_->OpenIndexes();
    throw;
  }
  return definition;
}

void TABSTableData::RefreshTemporaryIndex(int32_t session, TABSIndexDef& definition) {
  std::lock_guard lock(critical_section_);
  const int32_t position = metadata_.Indexes().IndexOfNumber(definition.ObjectId());
  if (position < 0 || !definition.Temporary() || index_manager_->IsCurrent(position, state_.change_counter)) return;
  index_manager_->BuildIndex(
      session, position, [&](const auto& visit) { ForEachRecord(session, visit); }, state_.change_counter);
}

void TABSTableData::DropTemporaryIndexes() noexcept {
  bool any = false;
  for (int32_t i = 0; i < metadata_.Indexes().Count(); ++i) {
    if (!metadata_.Indexes().Items(i)->Temporary()) continue;
    any = true;
    if (index_manager_ != nullptr) index_manager_->DropTemporaryTree(i);
  }
  if (!any) return;
  metadata_.DropTemporaryIndexes();
  try {
    if (index_manager_ != nullptr) index_manager_->OpenIndexes();
  } catch (...) {
    // The persistent indexes opened before; they open the same way again.
  }
}

void TABSTableData::RollbackHook(int32_t session) {
  std::lock_guard lock(critical_section_);
  ++state_generation_;
  PagesRolledBack(session);
  ReadState(session);
}

void TABSTableData::PagesRolledBack(int32_t) {
  if (index_manager_ != nullptr) index_manager_->InvalidateTemporaryIndexes();
  if (TABSBlobManager* blobs = BlobManager()) blobs->InvalidateCaches();
}

void TABSTableData::RaiseAutoIncValues(int32_t session, const std::vector<int64_t>& floors) {
  std::lock_guard lock(critical_section_);
  std::vector<int64_t>& values = MutableState().autoinc_values;
  for (size_t i = 0; i < floors.size() && i < values.size(); ++i) {
    if (floors[i] == 0 || !IsAutoIncColumn(Metadata().Fields().Items(static_cast<int32_t>(i))->ColumnType())) continue;
    const bool descending = Metadata().Fields().Items(static_cast<int32_t>(i))->AutoIncIncrement() < 0;
    values[i] = descending ? std::min(values[i], floors[i]) : std::max(values[i], floors[i]);
  }
  WriteState(session);
}

void TABSTableData::ReadState(int32_t) {}
void TABSTableData::WriteState(int32_t) {}
void TABSTableData::DeleteAllRecords(int32_t session) {
  if (TABSBaseRecordManager* records = RecordManager()) records->Empty(session);
}
void TABSTableData::DeleteAllBlobs(int32_t session) {
  if (TABSBlobManager* blobs = BlobManager()) blobs->DeleteAll(session);
}
bool TABSTableData::LockTable(int32_t, TABSLockType, TABSLockWait) { return true; }
void TABSTableData::UnlockTable(int32_t, TABSLockType) {}
bool TABSTableData::LockRecord(int32_t, const TABSRecordId&, TABSLockWait) { return true; }
bool TABSTableData::UnlockRecord(int32_t, const TABSRecordId&) { return true; }
bool TABSTableData::HoldsRecordLock(int32_t, const TABSRecordId&) { return false; }

}  // namespace kelvorin
