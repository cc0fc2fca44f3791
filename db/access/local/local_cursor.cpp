#include "db/access/local/local_cursor.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "db/access/local/access_errors.h"
#include "db/storage/blobs/blob_manager.h"
#include "db/storage/catalog/table_list_file.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_manager.h"
#include "db/storage/temporary/memory_database_data.h"
#include "db/storage/temporary/temporary_database_data.h"
#include "db/tables/records/table_data_errors.h"
#include "db/tables/records/table_lock_guards.h"
#include "db/tables/scans/table_scans.h"

namespace kelvorin {
namespace {

// Offsets within the trailer of a buffer, from the end of the fields.
constexpr int32_t kPositionOffset = 0;
constexpr int32_t kFlagOffset = 6;
constexpr int32_t kKeyAssignedOffset = 6;
constexpr int32_t kKeyExclusiveOffset = 7;
constexpr int32_t kKeyColumnsOffset = 8;

// Runs every step, raising the first failure once all have run.
class FirstFailure {
 public:
  template <typename Step>
  void Run(Step step) {
    try {
      step();
    } catch (...) {
      if (!failure_) failure_ = std::current_exception();
    }
  }
  void Raise() {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  std::exception_ptr failure_;
};

}  // namespace

TABSLocalCursor::TABSLocalCursor(TABSLocalSession& session, std::string table_name, TABSCursorOptions options)
    : TABSScanCursor(session, std::move(table_name), options.exclusive), session_(&session), options_(options) {}

TABSLocalCursor::~TABSLocalCursor() {
  try {
    CancelBatch();
  } catch (...) {
    // A batch that cannot be taken back goes with the transaction or the
    // session.
  }
  try {
    Close();
  } catch (...) {
    // The session's disconnect releases what the table kept.
  }
}

TABSDiskDatabaseData& TABSLocalCursor::Disk() const {
  TABSDiskDatabaseData* disk = session_->DiskDatabase();
  if (disk == nullptr) throw EABSException(native::kSessionNotConnected);
  return *disk;
}

TABSTableData& TABSLocalCursor::OpenTable() const {
  if (Table() == nullptr) throw EABSException(native::kCursorNotOpen, {TableName()});
  return *Table();
}

bool TABSLocalCursor::TemporaryTable() const { return dynamic_cast<TABSTemporaryTableData*>(Table()) != nullptr; }

bool TABSLocalCursor::MultiUserDisk() const {
  return session_->MultiUser() && dynamic_cast<TABSDiskTableData*>(Table()) != nullptr;
}

bool TABSLocalCursor::InTransaction() const { return session_->InTransaction(); }

// --- Table maintenance ---

void TABSLocalCursor::CloseForMaintenance() { Close(); }

void TABSLocalCursor::CreateTable(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                  const TABSConstraintDefs& constraints) {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  CloseForMaintenance();
  if (dynamic_cast<TABSMemoryDatabaseData*>(&database) != nullptr) {
    ReplaceMemoryTable(fields, indexes, constraints);
    return;
  }
  if (auto* temporary = dynamic_cast<TABSTemporaryDatabaseData*>(&database)) {
    // A temporary table lives while a cursor has it: this one keeps it.
    // A name another cursor's table still has is refused.
    temporary->CreateTable(*this, fields, indexes, constraints);
    try {
      AfterOpen();
    } catch (...) {
      CloseQuietly(database);
      throw;
    }
    return;
  }
  // The table it replaces goes in the same change as the new one comes.
  Disk().ReplaceTable(*session_, TableName(), fields, indexes, constraints);
}

void TABSLocalCursor::CreateNewTable(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                     const TABSConstraintDefs& constraints) {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  if (auto* memory = dynamic_cast<TABSMemoryDatabaseData*>(&database)) {
    CloseForMaintenance();
    if (memory->FindTable(TableName()) != nullptr) {
      throw EABSException(native::kTableAlreadyExists30395, {TableName()});
    }
    memory->CreateTable(TableName(), fields, indexes, constraints);
    return;
  }
  if (dynamic_cast<TABSTemporaryDatabaseData*>(&database) != nullptr) {
    if (database.TableExists(TableName())) throw EABSException(native::kTableAlreadyExists30395, {TableName()});
    CreateTable(fields, indexes, constraints);
    return;
  }
  CloseForMaintenance();
  Disk().CreateTable(TableName(), fields, indexes, constraints);
}

void TABSLocalCursor::ReplaceMemoryTable(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                         const TABSConstraintDefs& constraints) {
  TABSMemoryDatabaseData& memory = MemoryDatabase();
  TABSVolatileTableData* old = memory.FindTable(TableName());
  if (old == nullptr) {
    memory.CreateTable(TableName(), fields, indexes, constraints);
    return;
  }
  if (!old->Cursors().empty()) throw EABSException(native::kDeleteOpenTable, {old->Name()});
  std::string scratch = "~";
  while (memory.FindTable(scratch) != nullptr) scratch += '~';
  memory.CreateTable(scratch, fields, indexes, constraints);
  try {
    memory.DeleteTable(TableName());
  } catch (...) {
    try {
      memory.DeleteTable(scratch);
    } catch (...) {
    }
    throw;
  }
  memory.RenameTable(scratch, TableName());
}

void TABSLocalCursor::DeleteTable() {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  CloseForMaintenance();
  if (!database.TableExists(TableName())) throw EABSException(native::kDeleteTableNotFound, {TableName()});
  if (dynamic_cast<TABSMemoryDatabaseData*>(&database) != nullptr) {
    MemoryDatabase().DeleteTable(TableName());
  } else if (dynamic_cast<TABSTemporaryDatabaseData*>(&database) != nullptr) {
    // Still there: another cursor has it, and it goes with that cursor.
    throw EABSException(native::kDeleteOpenTable, {TableName()});
  } else {
    Disk().DeleteTable(*session_, TableName());
  }
}

void TABSLocalCursor::EmptyTable() {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  if (auto* volatile_database = session_->VolatileDatabase()) {
    EmptyVolatileTable(*volatile_database);
    return;
  }
  CloseForMaintenance();
  TABSDiskDatabaseData& disk = Disk();
  if (!disk.TableExists(TableName())) throw EABSException(native::kEmptyTableNotFound, {TableName()});
  disk.EmptyTable(*this);
}

void TABSLocalCursor::EmptyVolatileTable(TABSVolatileDatabaseData& database) {
  // Closing a temporary table's last cursor would free the table: the
  // cursor empties it where it stands instead.
  if (dynamic_cast<TABSTemporaryDatabaseData*>(&database) == nullptr) CloseForMaintenance();
  if (!database.TableExists(TableName())) throw EABSException(native::kEmptyTableNotFound, {TableName()});
  if (IsOpen()) {
    if (editing_) EndEdit();
    DetachStreams();
    database.EmptyTable(*this);
    SetBeforeFirst();
    return;
  }
  database.OpenTable(*this);
  FirstFailure failure;
  failure.Run([&] { database.EmptyTable(*this); });
  failure.Run([&] { database.CloseTable(*this); });
  failure.Raise();
}

void TABSLocalCursor::RenameTable(std::string_view new_name) {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  CloseForMaintenance();
  if (!database.TableExists(TableName())) throw EABSException(native::kRenameTableNotFound, {TableName()});
  if (SameObjectName(TableName(), new_name)) throw EABSException(native::kRenameTableIntoItself, {TableName()});
  if (database.TableExists(new_name)) throw EABSException(native::kRenameTableTaken, {new_name});
  if (dynamic_cast<TABSMemoryDatabaseData*>(&database) != nullptr) {
    MemoryDatabase().RenameTable(TableName(), new_name);
  } else if (dynamic_cast<TABSTemporaryDatabaseData*>(&database) != nullptr) {
    // Still there: another cursor has it open.
    throw EABSException(native::kRenameOpenTable, {TableName()});
  } else {
    Disk().RenameTable(*session_, TableName(), new_name);
  }
}

void TABSLocalCursor::AddIndex(std::unique_ptr<TABSIndexDef> index) {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  TABSTableData& table = OpenTable();
  if (table.Metadata().Indexes().Find(index->Name()) != nullptr) {
    throw EABSException(native::kIndexAlreadyExists, {index->Name()});
  }
  if (auto* volatile_database = session_->VolatileDatabase()) {
    volatile_database->AddIndex(*this, std::move(index));
  } else {
    Disk().AddIndex(*this, std::move(index));
  }
  ReadDefinitions();
}

void TABSLocalCursor::MoveOffDroppedIndexes(TABSTableData& table, int32_t index_id) {
  // Every cursor of the process ordered by the index goes to storage order.
  for (TABSCursor* cursor : table.Cursors()) {
    auto* scan = dynamic_cast<TABSScanCursor*>(cursor);
    if (scan != nullptr && scan->IndexId() == index_id) scan->SetIndexId(-1);
  }
}

void TABSLocalCursor::DropIndexes(TABSDatabaseData& database, const std::vector<int32_t>& index_ids) {
  if (auto* volatile_database = dynamic_cast<TABSVolatileDatabaseData*>(&database)) {
    volatile_database->DeleteIndexes(*this, index_ids);
  } else {
    Disk().DeleteIndexes(*this, index_ids);
  }
  for (const int32_t index_id : index_ids) MoveOffDroppedIndexes(OpenTable(), index_id);
}

void TABSLocalCursor::DeleteIndex(std::string_view name) {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  TABSTableData& table = OpenTable();
  const TABSIndexDef* index = table.Metadata().Indexes().Find(name);
  if (index == nullptr || index->Temporary()) throw EABSException(native::kIndexNotFound, {name});
  DropIndexes(database, {index->ObjectId()});
  ReadDefinitions();
}

void TABSLocalCursor::RenameField(std::string_view old_name, std::string_view new_name) {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  TABSTableData& table = OpenTable();
  if (table.Cursors().size() != 1) throw EABSException(native::kTableExclusiveByCursors20242, {table.Name()});
  table.Metadata().RenameField(old_name, new_name);
  if (TABSDiskDatabaseData* disk = session_->DiskDatabase()) {
    // A failure reads the definitions back from the file.
    disk->RestructureTable(static_cast<TABSDiskTableData&>(table));
  }
  ReadDefinitions();
}

void TABSLocalCursor::DeleteAllIndexes() {
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  TABSTableData& table = OpenTable();
  std::vector<int32_t> index_ids;
  for (int32_t i = table.Metadata().Indexes().Count() - 1; i >= 0; --i) {
    const TABSIndexDef* index = table.Metadata().Indexes().Items(i);
    if (!index->Temporary()) index_ids.push_back(index->ObjectId());
  }
  // One change: a failure part way keeps every index.
  DropIndexes(database, index_ids);
  ReadDefinitions();
}

bool TABSLocalCursor::LockTable(TABSLockType type, int32_t sleep_ms, int32_t tries) {
  if (!MultiUserDisk()) return true;
  return OpenTable().LockTable(SessionNumber(), type, {sleep_ms, tries});
}

void TABSLocalCursor::UnlockTable(TABSLockType type) {
  if (!MultiUserDisk()) return;
  OpenTable().UnlockTable(SessionNumber(), type);
}

// --- Opening ---

void TABSLocalCursor::SetTableDefinitions(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                          const TABSConstraintDefs& constraints) {
  auto definitions = std::make_unique<TABSTableMetadata>();
  definitions->Fields().Assign(fields);
  definitions->Indexes().Assign(indexes);
  definitions->Constraints().Assign(constraints);
  create_definitions_ = std::move(definitions);
}

TABSTableData* TABSLocalCursor::OpenIn(TABSDatabaseData& database) {
  const bool can_create = options_.create_missing && create_definitions_ != nullptr;
  if (auto* temporary = dynamic_cast<TABSTemporaryDatabaseData*>(&database)) {
    if (temporary->FindTable(TableName()) != nullptr) return temporary->OpenTable(*this);
    if (!can_create) throw EABSException(native::kOpenTableNotFound, {TableName()});
    return temporary->CreateTable(*this, create_definitions_->Fields(), create_definitions_->Indexes(),
                                  create_definitions_->Constraints());
  }
  if (auto* memory = dynamic_cast<TABSMemoryDatabaseData*>(&database)) {
    if (memory->FindTable(TableName()) == nullptr) {
      if (!can_create) throw EABSException(native::kOpenTableNotFound, {TableName()});
      memory->CreateTable(TableName(), create_definitions_->Fields(), create_definitions_->Indexes(),
                          create_definitions_->Constraints());
    }
    return memory->OpenTable(*this);
  }
  TABSDiskDatabaseData& disk = Disk();
  if (!disk.TableExists(TableName())) throw EABSException(native::kOpenTableNotFound, {TableName()});
  return disk.OpenTable(*this);
}

void TABSLocalCursor::CloseIn(TABSDatabaseData& database) {
  // The temporary database frees a table with its last cursor.
  if (auto* volatile_database = dynamic_cast<TABSVolatileDatabaseData*>(&database)) {
    volatile_database->CloseTable(*this);
  } else {
    Disk().CloseTable(*this);
  }
}

void TABSLocalCursor::CloseQuietly(TABSDatabaseData& database) noexcept {
  try {
    CloseIn(database);
  } catch (...) {
  }
}

void TABSLocalCursor::AfterOpen() {
  TABSTableData& table = OpenTable();
  ReadDefinitions();
  streams_ = std::make_shared<TABSBlobStreamList>(table.BlobManager());
  ledger_.Bind(&table, SessionNumber());
  SetBeforeFirst();
}

void TABSLocalCursor::Open() {
  if (IsOpen()) return;
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  OpenIn(database);
  try {
    AfterOpen();
  } catch (...) {
    // A cursor that failed to open is not left registered with the table.
    CloseQuietly(database);
    throw;
  }
}

void TABSLocalCursor::ReadDefinitions() {
  const TABSRecordFields& fields = OpenTable().RecordFields();
  first_field_offset_ = fields.BitmapSize();
  fields_end_ = fields.MemorySize();
}

void TABSLocalCursor::Close() {
  if (!IsOpen()) return;
  FirstFailure failure;
  // An open edit is cancelled: its locks (and any the ledger still lists)
  // go before the cursor does.
  failure.Run([&] { EndEdit(); });
  DetachStreams();
  streams_.reset();
  TABSScanCursor::SetFilter(nullptr);
  filter_.reset();
  filter_text_.clear();
  failure.Run([&] { CloseIn(session_->Database()); });
  ledger_.Bind(nullptr, -1);
  failure.Raise();
}

int32_t TABSLocalCursor::FirstFieldOffset() const {
  OpenTable();
  return first_field_offset_;
}

int32_t TABSLocalCursor::FieldsEnd() const {
  OpenTable();
  return fields_end_;
}

void TABSLocalCursor::InitRecordBuffer(uint8_t* buffer, bool apply_defaults) {
  TABSTableData& table = OpenTable();
  std::memset(buffer, 0, static_cast<size_t>(RecordBufferSize()));
  table.InitRecord(*session_, buffer, apply_defaults && !TemporaryTable());
  WritePosition(buffer, TABSRecordId(), TABSRecordFlag::kCurrent);
}

void TABSLocalCursor::WritePosition(uint8_t* buffer, const TABSRecordId& id, TABSRecordFlag flag) const {
  id.Store(buffer + fields_end_ + kPositionOffset);
  buffer[fields_end_ + kFlagOffset] = static_cast<uint8_t>(flag);
}

TABSRecordId TABSLocalCursor::PositionOf(const uint8_t* buffer) const {
  return TABSRecordId::Load(buffer + FieldsEnd() + kPositionOffset);
}

TABSRecordFlag TABSLocalCursor::FlagOf(const uint8_t* buffer) const {
  return static_cast<TABSRecordFlag>(buffer[FieldsEnd() + kFlagOffset]);
}

// --- Navigation ---

void TABSLocalCursor::ResetStatus() {
  status_ = 0;
  status_native_error_ = 0;
  status_message_.clear();
}

void TABSLocalCursor::DetachStreams() {
  if (streams_) streams_->DetachAll();
}

void TABSLocalCursor::CopyCurrent(uint8_t* buffer) {
  TABSTableData& table = OpenTable();
  // The values the buffer's last record kept in memory go with it.
  if (TABSBlobManager* blobs = table.BlobManager()) blobs->ReleaseDescriptors(buffer);
  std::memcpy(buffer, Record().data(), static_cast<size_t>(fields_end_));
  WritePosition(buffer, CurrentId(), TABSRecordFlag::kCurrent);
}

TABSGetRecordResult TABSLocalCursor::GetRecord(uint8_t* buffer, TABSGetRecordMode mode) {
  ResetStatus();
  OpenTable();
  DetachStreams();
  const TABSGetRecordResult result = TABSTableScans::GetRecord(*this, mode);
  if (result == TABSGetRecordResult::kFound && buffer != nullptr) CopyCurrent(buffer);
  return result;
}

bool TABSLocalCursor::GoToRecord(const TABSRecordId& id, uint8_t* buffer) {
  ResetStatus();
  TABSTableData& table = OpenTable();
  DetachStreams();
  // The values the buffer's last record kept in memory go with it.
  if (TABSBlobManager* blobs = table.BlobManager()) blobs->ReleaseDescriptors(buffer);
  if (!table.ReadRecord(SessionNumber(), id, buffer)) return false;
  SetCurrent(id, buffer, fields_end_);
  WritePosition(buffer, id, TABSRecordFlag::kCurrent);
  return true;
}

void TABSLocalCursor::First() {
  ResetStatus();
  OpenTable();
  DetachStreams();
  SetBeforeFirst();
}

void TABSLocalCursor::Last() {
  ResetStatus();
  OpenTable();
  DetachStreams();
  SetAfterLast();
}

int64_t TABSLocalCursor::RecordCount() {
  ResetStatus();
  OpenTable();
  return TABSTableScans::RecordCount(*this);
}

int64_t TABSLocalCursor::RecordNumber() {
  ResetStatus();
  OpenTable();
  return TABSTableScans::RecordNumber(*this);
}

void TABSLocalCursor::SetRecordNumber(int64_t number) {
  ResetStatus();
  OpenTable();
  DetachStreams();
  TABSTableScans::GoToRecordNumber(*this, number);
}

// --- Edits ---

void TABSLocalCursor::SetStatus(const TABSPostResult& result) {
  status_ = static_cast<int32_t>(result.code);
  if (result.code == TABSPostCode::kConstraintViolated) {
    status_message_ = result.message;
    status_native_error_ = result.native_error;
  }
}

void TABSLocalCursor::ReleaseEditLocks() { ledger_.ReleaseEdit(InTransaction()); }

void TABSLocalCursor::EndEdit() {
  editing_ = false;
  edit_copy_.clear();
  ReleaseEditLocks();
}

int32_t TABSLocalCursor::RereadForEdit(TABSTableData& table, const TABSRecordId& id, const uint8_t* buffer) {
  // The values the read keeps in memory for the stored record go with it.
  struct StoredRecord {
    TABSMemoryBlock bytes;
    TABSBlobManager* blobs;
    ~StoredRecord() {
      if (blobs != nullptr) blobs->ReleaseDescriptors(bytes.bytes());
    }
  } stored{TABSMemoryBlock(fields_end_, true), table.BlobManager()};
  if (!table.ReadRecord(SessionNumber(), id, stored.bytes.bytes())) {
    return static_cast<int32_t>(TABSPostCode::kUpdateDeleted);
  }
  if (!table.RecordFields().SameStoredForm(stored.bytes.bytes(), buffer)) {
    return static_cast<int32_t>(TABSPostCode::kUpdateModified);
  }
  return 0;
}

void TABSLocalCursor::ReleaseEditLocksQuietly() noexcept {
  try {
    ReleaseEditLocks();
  } catch (...) {
    // The session's disconnect releases what the lock manager still lists.
  }
}

bool TABSLocalCursor::BeginEdit(uint8_t* buffer) {
  ResetStatus();
  TABSTableData& table = OpenTable();
  if (TemporaryTable()) {
    status_ = static_cast<int32_t>(TABSPostCode::kUpdateTemporary);
    return false;
  }
  const TABSRecordId id = PositionOf(buffer);
  if (MultiUserDisk()) {
    if (!ledger_.LockEditTable(InTransaction(), lock_wait::kEdit)) {
      status_ = static_cast<int32_t>(TABSPostCode::kTableLocked);
      return false;
    }
    if (!ledger_.LockRecord(id, lock_wait::kRecord)) {
      ReleaseEditLocks();
      status_ = static_cast<int32_t>(TABSPostCode::kRecordLocked);
      return false;
    }
    // Another process may have changed or deleted it since it was read.
    int32_t refused = 0;
    try {
      refused = RereadForEdit(table, id, buffer);
    } catch (...) {
      // The edit does not begin: neither do its locks stay.
      ReleaseEditLocksQuietly();
      throw;
    }
    if (refused != 0) {
      ReleaseEditLocks();
      status_ = refused;
      return false;
    }
  }
  edit_copy_.assign(buffer, buffer + fields_end_);
  editing_ = true;
  return true;
}

void TABSLocalCursor::Cancel(uint8_t* buffer, bool inserting) {
  ResetStatus();
  TABSTableData& table = OpenTable();
  DetachStreams();
  // What the buffer reserved: the BLOB values written into it.
  if (TABSBlobManager* blobs = table.BlobManager()) blobs->ReleaseDescriptors(buffer);
  (void)inserting;  // an abandoned insert reserved nothing else
  if (editing_) EndEdit();
}

bool TABSLocalCursor::Post(uint8_t* buffer, bool inserting) {
  ResetStatus();
  TABSTableData& table = OpenTable();
  DetachStreams();
  TABSPostResult result;
  try {
    if (inserting) {
      result = table.InsertRecord(*session_, buffer);
      if (result.Succeeded()) WritePosition(buffer, result.id, TABSRecordFlag::kInserted);
    } else {
      result = table.UpdateRecord(*session_, PositionOf(buffer), buffer, editing_ ? edit_copy_.data() : nullptr);
    }
  } catch (...) {
    // The post was undone; an edit stays open for a retry or a cancel.
    status_ = static_cast<int32_t>(inserting ? TABSPostCode::kInsertFailed : TABSPostCode::kUpdateFailed);
    throw;
  }
  SetStatus(result);
  // The cursor stands on the record it posted.
  if (result.Succeeded()) SetCurrent(PositionOf(buffer), buffer, fields_end_);
  // A record refused by a constraint keeps its edit, to be corrected and
  // posted again; every other outcome ends it.
  if (editing_ && result.code != TABSPostCode::kConstraintViolated) EndEdit();
  return result.Succeeded();
}

bool TABSLocalCursor::Delete(uint8_t* buffer) {
  ResetStatus();
  TABSTableData& table = OpenTable();
  if (TemporaryTable()) {
    status_ = static_cast<int32_t>(TABSPostCode::kDeleteTemporary);
    return false;
  }
  DetachStreams();
  TABSPostResult result;
  try {
    result = table.DeleteRecord(*session_, PositionOf(buffer), buffer);
  } catch (...) {
    status_ = static_cast<int32_t>(TABSPostCode::kDeleteFailed);
    throw;
  }
  SetStatus(result);
  // The record is gone: so is an edit of it.
  if (result.Succeeded() && editing_) EndEdit();
  return result.Succeeded();
}

void TABSLocalCursor::BeginBatch() {
  OpenTable();
  if (batch_ != Batch::kNone) return;
  const int32_t session = SessionNumber();
  if (TABSVolatileDatabaseData* volatile_database = session_->VolatileDatabase()) {
    // Held already: the batch belongs to whoever holds them.
    if (volatile_database->HoldsOperations(session)) return;
    volatile_database->HoldOperations(session);
    batch_ = Batch::kHeld;
  } else if (InTransaction()) {
    TABSPageManager& pages = *session_->Database().PageManager();
    if (pages.InStatement(session)) return;
    pages.BeginStatement(session);
    batch_ = Batch::kStatement;
  } else {
    session_->StartTransaction();
    batch_ = Batch::kOwnTransaction;
  }
}

void TABSLocalCursor::CommitBatch() {
  const int32_t session = SessionNumber();
  switch (batch_) {
    case Batch::kNone:
      return;
    case Batch::kOwnTransaction:
      // A commit that fails keeps the batch's transaction for its cancel.
      session_->Commit();
      break;
    case Batch::kStatement:
      session_->Database().PageManager()->ReleaseStatement(session);
      break;
    case Batch::kHeld:
      session_->VolatileDatabase()->KeepHeldOperations(session);
      break;
  }
  batch_ = Batch::kNone;
}

void TABSLocalCursor::CancelBatch() {
  const Batch batch = batch_;
  batch_ = Batch::kNone;
  // Without a batch the session may be gone already (a cursor outliving
  // it is closed by it): nothing of it is read.
  if (batch == Batch::kNone) return;
  const int32_t session = SessionNumber();
  switch (batch) {
    case Batch::kNone:
      return;
    case Batch::kOwnTransaction:
      // A refused post of an all-or-nothing fill has rolled it back already.
      if (session_->InTransaction()) session_->Rollback();
      return;
    case Batch::kHeld:
      session_->VolatileDatabase()->UndoHeldOperations(session);
      return;
    case Batch::kStatement:
      break;
  }
  TABSDatabaseData& database = session_->Database();
  std::lock_guard lock(database.CriticalSection());
  try {
    database.PageManager()->RollbackStatement(session);
  } catch (...) {
    // The statement's pages cannot be told apart from the transaction's:
    // the whole transaction goes rather than half a statement stays.
    session_->Rollback();
    throw;
  }
  for (const auto& table : database.Tables()) table->RollbackHook(session);
}

// --- Restrictions ---

void TABSLocalCursor::SetFilterText(std::string_view text, bool case_insensitive, bool partial_key) {
  ResetStatus();
  OpenTable();
  auto filter = std::make_unique<TABSExpression>();
  filter->ParseForFilter(this, text, partial_key, case_insensitive);
  DetachStreams();
  TABSScanCursor::SetFilter(filter.get());
  filter_ = std::move(filter);
  filter_text_ = std::string(text);
  SetBeforeFirst();
}

void TABSLocalCursor::ClearFilter() {
  ResetStatus();
  DetachStreams();
  TABSScanCursor::SetFilter(nullptr);
  filter_.reset();
  filter_text_.clear();
  SetBeforeFirst();
}

bool TABSLocalCursor::Locate(uint8_t* buffer, std::string_view field_names, std::span<const TABSVariant> values,
                             bool case_insensitive, bool partial_key) {
  ResetStatus();
  OpenTable();
  TABSExpression search;
  search.BuildLocate(this, field_names, values, case_insensitive, partial_key);
  DetachStreams();
  if (!TABSTableScans::FindByExpression(*this, search)) return false;
  if (buffer != nullptr) CopyCurrent(buffer);
  return true;
}

void TABSLocalCursor::SwitchIndex(std::string_view name) {
  ResetStatus();
  TABSTableData& table = OpenTable();
  DetachStreams();
  if (name.empty()) {
    SetIndexId(-1);
    return;
  }
  const TABSIndexDef* index = table.Metadata().Indexes().Find(name);
  if (index == nullptr) throw EABSException(native::kIndexToSwitchNotFound, {name});
  SetIndexId(index->ObjectId());
}

void TABSLocalCursor::SetKeyTrailer(uint8_t* key, bool assigned, bool exclusive, int32_t columns) const {
  const int32_t end = FieldsEnd();
  key[end + kKeyAssignedOffset] = assigned ? 1 : 0;
  key[end + kKeyExclusiveOffset] = exclusive ? 1 : 0;
  StoreLE(key + end + kKeyColumnsOffset, columns);
}

void TABSLocalCursor::SetKeyRange(const uint8_t* start_key, const uint8_t* end_key) {
  ResetStatus();
  OpenTable();
  const int32_t end = fields_end_;
  const auto assigned = [&](const uint8_t* key) { return key != nullptr && key[end + kKeyAssignedOffset] != 0; };
  const auto exclusive = [&](const uint8_t* key) { return assigned(key) && key[end + kKeyExclusiveOffset] != 0; };
  const auto columns = [&](const uint8_t* key) { return assigned(key) ? LoadLE<int32_t>(key + end + kKeyColumnsOffset) : 0; };
  DetachStreams();
  SetRange(assigned(start_key) ? start_key : nullptr, columns(start_key), exclusive(start_key),
           assigned(end_key) ? end_key : nullptr, columns(end_key), exclusive(end_key), end);
  SetBeforeFirst();
}

void TABSLocalCursor::CancelRange() {
  ResetStatus();
  OpenTable();
  DetachStreams();
  ClearRange();
  SetBeforeFirst();
}

// --- BLOB streams ---

std::unique_ptr<TABSLocalBLOBStream> TABSLocalCursor::OpenBlob(uint8_t* buffer, int32_t field_no,
                                                               TABSBlobStreamMode mode) {
  TABSTableData& table = OpenTable();
  const TABSFieldDefs& fields = table.Metadata().Fields();
  if (field_no < 0 || field_no >= fields.Count()) {
    throw EABSException(native::kBlobFieldNumber, {field_no, fields.Count()});
  }
  TABSBlobManager* blobs = table.BlobManager();
  const TABSRecordFields& layout = table.RecordFields();
  const auto& blob_fields = layout.BlobFields();
  if (blobs == nullptr || std::find(blob_fields.begin(), blob_fields.end(), field_no) == blob_fields.end()) {
    throw EABSException(native::kBlobFieldNotBlob, {fields.Items(field_no)->Name()});
  }
  if (mode != TABSBlobStreamMode::kWrite && streams_->HasReader(field_no)) {
    throw EABSException(native::kBlobFieldOpened, {field_no, fields.Items(field_no)->Name()});
  }
  std::lock_guard lock(table.CriticalSection());
  const TABSTableReadLock read_lock(table, SessionNumber(), native::kBlobOpenLocked);
  const bool own_record = editing_ || FlagOf(buffer) == TABSRecordFlag::kInserted ||
                          !PositionOf(buffer).IsValid();
  if (!own_record) {
    // The stored record as it is now: another writer may have replaced it.
    std::vector<uint8_t> stored(static_cast<size_t>(fields_end_));
    if (!table.ReadRecord(SessionNumber(), PositionOf(buffer), stored.data())) return nullptr;
    blobs->ReleaseDescriptors(buffer);
    std::memcpy(buffer, stored.data(), stored.size());
  }
  TABSBlobStreamList::Entry& entry = streams_->Add(field_no, mode, buffer);
  try {
    const TABSBlobFieldSlot& slot = blobs->Layout().BlobField(field_no);
    TABSCompressedStreamSettings settings;
    if (mode == TABSBlobStreamMode::kWrite) {
      settings.block_size = slot.block_size;
      settings.algorithm = slot.compression_algorithm;
      settings.level = slot.compression_level;
      entry.modified = true;  // writing starts from an empty value
    } else {
      settings = blobs->LoadBlob(SessionNumber(), buffer, field_no, entry.container);
    }
    entry.stream = std::make_unique<TABSCompressedBLOBStream>(entry.container, false,
                                                              mode == TABSBlobStreamMode::kWrite, settings);
  } catch (...) {
    streams_->DetachAll();
    throw;
  }
  return std::make_unique<TABSLocalBLOBStream>(streams_, entry.id);
}

void TABSLocalCursor::CloseBlob(int32_t field_no) {
  if (streams_) streams_->CloseField(field_no);
}

}  // namespace kelvorin
