#include "db/storage/temporary/volatile_table_data.h"

#include <exception>

#include "db/storage/records/base_record_manager.h"
#include "db/storage/temporary/volatile_database_data.h"
#include "db/tables/btree/record_index.h"
#include "db/tables/btree/record_key.h"

namespace kelvorin {

TABSVolatileTableData::TABSVolatileTableData(TABSVolatileDatabaseData& database, std::string name,
                                             std::unique_ptr<TABSPageManager> pages)
    : OwnedPages(std::move(pages)),
      TABSTableData(database, std::move(name), owned_pages.get()),
      volatile_database_(database) {}

TABSVolatileTableData::~TABSVolatileTableData() = default;

void TABSVolatileTableData::CheckIndexLayouts() const {
  for (int32_t i = 0; i < Metadata().Indexes().Count(); ++i) {
    TABSRecordKeyRef(*Metadata().Indexes().Items(i), Metadata().Fields(), PageManager()->DataSize());
  }
}

void TABSVolatileTableData::CreateStorage(int32_t session, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                          const TABSConstraintDefs& constraints) {
  std::lock_guard lock(CriticalSection());
  TABSTableMetadata& metadata = Metadata();
  const TABSObjectIdSource next_id = [this] { return volatile_database_.NextObjectNumber(); };
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
  CheckIndexLayouts();
  // The layout is checked before a record of it is written: sizes beyond
  // what a record can hold are clamped, and the defaults' record would be
  // written past its end.
  const TABSRecordLayout layout(metadata.Fields(), metadata.MemoryRecordSize(), metadata.StoredRecordSize());
  TABSBaseFieldManager::CheckDefaults(metadata.Fields());
  CreateManagers(layout);
  MutableState() = {};
  MutableState().ResetAutoInc(metadata.Fields());
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    TABSBTreeRecordIndex(*PageManager(), metadata.Fields(), nullptr).Build(session, nullptr, *metadata.Indexes().Items(i));
  }
  InitManagers();
  CommitOperation(session);
}

void TABSVolatileTableData::CommitOperation(int32_t session) {
  std::lock_guard lock(CriticalSection());
  PageManager()->CommitSession(session);
  KeepChanges();
  kept_state_ = State();
}

void TABSVolatileTableData::RollbackOperation(int32_t session) {
  std::lock_guard lock(CriticalSection());
  std::exception_ptr error;
  try {
    PageManager()->RollbackSession(session);
  } catch (...) {
    error = std::current_exception();
  }
  RollbackHook(session);
  // The auto-increment counters return with the records (the counts were
  // read from the records by the hook).
  MutableState().autoinc_values = kept_state_.autoinc_values;
  if (error) std::rethrow_exception(error);
}

void TABSVolatileTableData::PagesRolledBack(int32_t session) {
  UndoChanges();
  TABSTableData::PagesRolledBack(session);
}

void TABSVolatileTableData::ReadState(int32_t) {
  if (TABSBaseRecordManager* records = RecordManager()) {
    MutableState().record_count = records->RecordCount();
    MutableState().change_counter = records->ChangeCounter();
  }
}

TABSTemporaryPageManager& TABSVolatileTableData::TemporaryPages() {
  if (!temporary_index_pages_) temporary_index_pages_ = std::make_unique<TABSTemporaryPageManager>();
  return *temporary_index_pages_;
}

void TABSVolatileTableData::Free() {
  std::lock_guard lock(CriticalSection());
  const int32_t session = kSystemSessionId;
  DropTemporaryIndexes();
  if (HasManagers()) {
    for (int32_t i = 0; i < IndexManager().Count(); ++i) {
      if (!IndexManager().Definition(i).Temporary() && IndexManager().Definition(i).RootPage() >= 0) {
        IndexManager().Index(i).Drop(session);
      }
    }
    DeleteAllBlobs(session);
    DeleteAllRecords(session);
  }
  CommitOperation(session);
  ClosePages();
  if (temporary_index_pages_) temporary_index_pages_->Close();
}

}  // namespace kelvorin
