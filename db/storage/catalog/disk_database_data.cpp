#include "db/storage/catalog/disk_database_data.h"

#include <exception>
#include <optional>

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/catalog/table_trees.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/journal.h"

namespace kelvorin {

// Holds the table-list lock byte (nested within the open file).
class TABSDiskDatabaseData::TableListLock {
 public:
  explicit TableListLock(TABSDiskPageManager& manager) : manager_(manager) {
    if (!manager_.LockTableList()) throw EABSException(native::kDatabaseTablesLocked20210);
  }
  TableListLock(const TableListLock&) = delete;
  TableListLock& operator=(const TableListLock&) = delete;
  ~TableListLock() { manager_.UnlockTableList(); }

 private:
  TABSDiskPageManager& manager_;
};

// One catalogue change in the system session: committed by Commit, rolled
// back on every other way out.
class TABSDiskDatabaseData::SystemChange {
 public:
  explicit SystemChange(TABSDiskDatabaseData& database) : database_(database) {}
  SystemChange(const SystemChange&) = delete;
  SystemChange& operator=(const SystemChange&) = delete;
  ~SystemChange() {
    if (committed_) return;
    try {
      database_.RollbackTransaction(kSystemSessionId);
    } catch (...) {
      // The pages stay allocated; the checker reports them as leaks.
    }
  }
  void Commit() {
    database_.CommitTransaction(kSystemSessionId, false);
    committed_ = true;
  }

 private:
  TABSDiskDatabaseData& database_;
  bool committed_ = false;
};

namespace {

// The catalogue of a new file: the directory at page 2, the sessions file and
// an empty table list, committed in the system session.
void WriteNewCatalogue(TABSDiskPageManager& manager, int32_t max_connections) {
  TABSSystemDirectory directory(manager);
  directory.Create(kSystemSessionId);
  TABSActiveSessionsFile sessions(manager);
  sessions.Create(max_connections);
  directory.Add(TABSSystemDirectory::kSessionsFile, sessions.StartPage());
  TABSTableListFile tables(manager);
  tables.Create(kSystemSessionId);
  directory.Add(TABSSystemDirectory::kTableList, tables.StartPage());
  directory.Write(kSystemSessionId);
  manager.CommitSession(kSystemSessionId);
}

}  // namespace

// The exclusive table lock of a table that no cursor has open, for as long
// as a catalogue change works on it.
class TABSDiskDatabaseData::ExclusiveTableLock {
 public:
  ExclusiveTableLock(TABSDiskDatabaseData& database, TABSDiskTableData& table, int32_t session)
      : database_(database), table_(table), session_(session) {
    if (!database_.LockTable(table_, session_, TABSLockType::kExclusive, lock_wait::kOpenTable)) {
      throw EABSException(native::kTableExclusiveByUser20208, {table_.Name()});
    }
  }
  ExclusiveTableLock(const ExclusiveTableLock&) = delete;
  ExclusiveTableLock& operator=(const ExclusiveTableLock&) = delete;
  ~ExclusiveTableLock() { database_.UnlockQuietly(table_, session_, TABSLockType::kExclusive); }

 private:
  TABSDiskDatabaseData& database_;
  TABSDiskTableData& table_;
  int32_t session_;
};

void TABSDiskDatabaseData::CreateDatabase(const std::string& file_name, const TABSPassword& password,
                                          const TABSDatabaseFileSettings& settings) {
  TABSActiveSessionsFile::CheckConnectionCount(settings.max_connections);
  std::exception_ptr failure;
  {
    TABSDiskPageManager manager;
    // A failure of the file's creation removes the file itself.
    manager.CreateDatabaseFile(file_name, password, settings.pages_per_extent, settings.page_size);
    try {
      WriteNewCatalogue(manager, settings.max_connections);
      manager.Close();
    } catch (...) {
      failure = std::current_exception();
    }
  }  // closed here, whatever was left uncommitted
  if (failure) {
    platform::RemoveFile(file_name);
    platform::RemoveFile(TABSJournal::PathFor(file_name));
    std::rethrow_exception(failure);
  }
}

TABSDiskDatabaseData::TABSDiskDatabaseData(std::string file_name, TABSPassword password, bool read_only)
    : TABSDatabaseData(file_name),
      file_name_(std::move(file_name)),
      password_(std::move(password)),
      read_only_requested_(read_only),
      system_directory_(page_manager_),
      sessions_file_(page_manager_),
      table_list_(page_manager_) {
  SetPageManager(&page_manager_);
  SetReadOnly(read_only);
}

TABSDiskDatabaseData::~TABSDiskDatabaseData() {
  // The table objects use the page manager, which goes before the base.
  DropTableObjects();
  CloseStorage();
}

void TABSDiskDatabaseData::OpenStorage() {
  std::lock_guard lock(CriticalSection());
  bool multi_user = MultiUser();
  bool read_only = read_only_requested_;
  const bool exclusive = !Sessions().empty() && Sessions().front()->Exclusive();
  try {
    needs_repair_ = page_manager_.OpenDatabaseFile(file_name_, password_, multi_user, exclusive, read_only);
    SetMultiUser(multi_user);
    SetReadOnly(read_only);
    if (read_only) page_manager_.WatchForOtherWriters();
    settings_.page_size = page_manager_.PageSize();
    settings_.pages_per_extent = page_manager_.Header().pages_per_extent;
    system_directory_.Open(kSystemSessionId);
    const int32_t sessions_page = system_directory_.Find(TABSSystemDirectory::kSessionsFile);
    if (sessions_page < 0) {
      throw EABSException(native::kSystemDirectoryEntryMissing, {TABSSystemDirectory::kSessionsFile});
    }
    sessions_file_.Open(sessions_page);
    settings_.max_connections = sessions_file_.MaxConnections();
    const int32_t list_page = system_directory_.Find(TABSSystemDirectory::kTableList);
    if (list_page < 0) {
      throw EABSException(native::kSystemDirectoryEntryMissing, {TABSSystemDirectory::kTableList});
    }
    table_list_.Open(list_page);
    table_list_.Replace(table_list_.Read(kSystemSessionId));
    if (MultiUser()) {
      lock_manager_ = std::make_unique<TABSDatabaseTableLockManager>(page_manager_, MaxConnections(), pacing_);
    }
  } catch (...) {
    CloseStorage();
    throw;
  }
}

void TABSDiskDatabaseData::CloseStorage() noexcept {
  // Its lists never go with bytes held: it releases them first.
  lock_manager_.reset();
  if (holds_single_user_lock_) {
    try {
      sessions_file_.UnlockSingleUser();
    } catch (...) {
      // Closing the file releases its locks anyway.
    }
    holds_single_user_lock_ = false;
  }
  table_list_.Close();
  sessions_file_.Close();
  system_directory_.Close();
  // Changes never committed are rolled back: the pages they allocated must
  // not stay taken in the file.
  if (page_manager_.IsOpened() && !ReadOnly()) page_manager_.RollbackAllSessions();
  page_manager_.CloseDiscarding();
}

void TABSDiskDatabaseData::ConnectSession(TABSBaseSession& session) {
  std::lock_guard lock(CriticalSection());
  const bool first = Sessions().empty();
  if (first) {
    SetMultiUser(session.MultiUser());
  } else if (session.MultiUser() != MultiUser()) {
    throw EABSException(native::kMixedUserModes20235);
  }
  TABSDatabaseData::ConnectSession(session);  // opening reads the first session's mode
  try {
    if (first) {
      OpenStorage();
      // In single-user mode the first session takes every connection slot;
      // when another process holds one, this process may only read, and
      // sees what the other one writes. A reader takes none: it must never
      // make the writer read-only.
      if (!MultiUser() && !ReadOnly()) holds_single_user_lock_ = sessions_file_.LockSingleUser();
      if (!MultiUser() && !holds_single_user_lock_) {
        SetReadOnly(true);
        page_manager_.WatchForOtherWriters();
      }
    }
    if (MultiUser()) session.SetSessionNumber(sessions_file_.Connect());
  } catch (...) {
    RemoveSession(session);
    session.SetSessionNumber(-1);
    if (Sessions().empty()) CloseStorage();
    throw;
  }
  session.SetNeedsRepair(needs_repair_);
}

void TABSDiskDatabaseData::DisconnectSession(TABSBaseSession& session) {
  std::lock_guard lock(CriticalSection());
  RemoveSession(session);
  const int32_t number = session.SessionNumber();
  session.SetSessionNumber(-1);
  // Everything is given back whatever fails; the first failure is reported
  // last: the slot's locks, then the slot.
  std::exception_ptr failure;
  const auto attempt = [&](auto&& step) {
    try {
      step();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  };
  if (MultiUser() && number >= 0) {
    if (InTransaction(number)) {
      attempt([&] { RollbackPages(number); });
      EndTransaction(number);
    }
    if (lock_manager_) attempt([&] { lock_manager_->ReleaseAll(number); });
    attempt([&] { sessions_file_.Disconnect(number); });
  }
  if (Sessions().empty()) CloseStorage();
  if (failure) std::rethrow_exception(failure);
}

bool TABSDiskDatabaseData::ReleaseIfUnused() {
  std::lock_guard lock(CriticalSection());
  if (!Sessions().empty()) return false;
  CloseStorage();
  return true;
}

void TABSDiskDatabaseData::CheckOpen() const {
  if (!page_manager_.IsOpened()) throw EABSException(native::kDatabaseFileNotOpened30436);
}

void TABSDiskDatabaseData::CheckWritable(std::string_view operation) const {
  CheckOpen();
  if (ReadOnly()) throw EABSException(native::kReadOnlyDatabase, {operation});
}

TABSTableList TABSDiskDatabaseData::CurrentTableList() {
  // Only another process can change the file: then it is the truth.
  if (MultiUser() || ReadOnly()) table_list_.Replace(table_list_.Read(kSystemSessionId));
  return table_list_.Entries();
}

TABSTableList TABSDiskDatabaseData::TableList() {
  std::lock_guard lock(CriticalSection());
  CheckOpen();
  TableListLock list_lock(page_manager_);
  return CurrentTableList();
}

std::vector<std::string> TABSDiskDatabaseData::GetTableNames() {
  std::vector<std::string> names;
  for (const TABSTableListEntry& entry : TableList()) {
    if (!IsHiddenTableName(entry.name)) names.push_back(entry.name);
  }
  return names;
}

bool TABSDiskDatabaseData::TableExists(std::string_view table_name) {
  return FindTableEntry(TableList(), table_name) >= 0;
}

int32_t TABSDiskDatabaseData::NextObjectNumber() {
  std::lock_guard lock(CriticalSection());
  return page_manager_.NextObjectNumber();
}

void TABSDiskDatabaseData::CommitTransaction(int32_t session, bool flush) {
  std::lock_guard lock(CriticalSection());
  // The steps around a commit belong to an explicit transaction; a change
  // outside one commits under the write lock its caller holds.
  const bool explicit_transaction = InTransaction(session);
  TABSDatabaseTableLockManager* locks = explicit_transaction ? lock_manager_.get() : nullptr;
  if (locks != nullptr && !locks->BeforeCommit(session)) throw EABSException(native::kCommitLocksFailed20233);
  try {
    page_manager_.CommitSession(session);
    if (flush) page_manager_.File().FlushFileBuffers();
  } catch (...) {
    if (locks != nullptr) {
      try {
        locks->CancelCommit(session);
      } catch (...) {
      }
    }
    // A transaction stays open, with its locks, for a retry or a rollback.
    // A change outside one is undone before its caller lets its locks go,
    // so that no stale copy of a page is left for a later commit to write.
    if (!explicit_transaction) {
      try {
        RollbackPages(session);
      } catch (...) {
      }
    }
    throw;
  }
  if (!explicit_transaction) return;
  EndTransaction(session);
  if (locks != nullptr) locks->AfterCommit(session);
}

void TABSDiskDatabaseData::RollbackTransaction(int32_t session) {
  std::lock_guard lock(CriticalSection());
  const bool explicit_transaction = InTransaction(session);
  // The pages go first: while any of them is left, so are the locks that
  // keep other processes from writing under it.
  std::exception_ptr failure;
  try {
    RollbackPages(session);
  } catch (const EABSException&) {
    if (page_manager_.DirtyPageCount(session) > 0) throw;
    failure = std::current_exception();
  }
  if (explicit_transaction) {
    EndTransaction(session);
    if (lock_manager_) lock_manager_->AfterCommit(session);
  }
  if (failure) std::rethrow_exception(failure);
}

void TABSDiskDatabaseData::RollbackPages(int32_t session) {
  page_manager_.RollbackSession(session);
  std::exception_ptr failure;
  for (const auto& table : Tables()) {
    try {
      table->RollbackHook(session);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

std::unique_ptr<TABSDiskTableData> TABSDiskDatabaseData::MakeTableObject(std::string_view name) {
  const TABSTableList list = CurrentTableList();
  const int32_t index = FindTableEntry(list, name);
  if (index < 0) throw EABSException(native::kTableNotExists30396, {name});
  return std::make_unique<TABSDiskTableData>(*this, list[index]);
}

TABSTableData* TABSDiskDatabaseData::CreateTableObject(TABSCursor& cursor) {
  std::lock_guard lock(CriticalSection());
  CheckOpen();
  TableListLock list_lock(page_manager_);
  std::unique_ptr<TABSDiskTableData> table = MakeTableObject(cursor.TableName());
  // Read in the cursor's session, which sees its own uncommitted changes.
  table->Load(cursor.SessionNumber(), cursor.SessionNumber());
  return AddTableObject(std::move(table));
}

TABSLockType TABSDiskDatabaseData::OpenLockType(const TABSCursor& cursor) {
  return cursor.Exclusive() ? TABSLockType::kExclusive : TABSLockType::kShared;
}

TABSDiskTableData* TABSDiskDatabaseData::OpenTable(TABSCursor& cursor) {
  std::lock_guard lock(CriticalSection());
  CheckOpen();
  // Held across the lookup and the table lock, so that no other process
  // deletes or renames the table in between.
  TableListLock list_lock(page_manager_);
  auto* table = static_cast<TABSDiskTableData*>(FindTableObject(cursor.TableName()));
  if (table != nullptr && !table->Cursors().empty() && cursor.Exclusive() && !table->Exclusive()) {
    throw EABSException(native::kTableExclusiveByCursors20242, {table->Name()});
  }
  std::unique_ptr<TABSDiskTableData> made;
  if (table == nullptr) {
    made = MakeTableObject(cursor.TableName());
    table = made.get();
  }
  // The lock first: no other process changes the table while it is read.
  const int32_t session = cursor.SessionNumber();
  if (!LockTable(*table, session, OpenLockType(cursor), lock_wait::kOpenTable)) {
    if (cursor.Exclusive()) throw EABSException(native::kTableExclusiveByUser20208, {table->Name()});
    throw EABSException(native::kTableOpenLocked20209, {table->Name()});
  }
  const bool loading = made != nullptr;
  try {
    if (loading) {
      made->Load(session, session);
      table = static_cast<TABSDiskTableData*>(AddTableObject(std::move(made)));
    }
    table->AddCursor(cursor);
  } catch (...) {
    // Nothing of a failed opening stays: no cursor, no lock, no table.
    table->RemoveCursor(cursor);
    UnlockQuietly(*table, session, OpenLockType(cursor));
    if (loading && !made && table->Cursors().empty()) DropTableObject(table);
    throw;
  }
  if (cursor.Exclusive()) table->SetExclusive(true);
  return table;
}

void TABSDiskDatabaseData::CloseTable(TABSCursor& cursor) {
  std::lock_guard lock(CriticalSection());
  auto* table = static_cast<TABSDiskTableData*>(cursor.Table());
  if (table == nullptr) return;
  // The cursor goes whatever the release says. A cursor of a session that
  // disconnected has no lock left: they all went with the session.
  std::exception_ptr failure;
  try {
    if (cursor.SessionNumber() >= 0) UnlockTable(*table, cursor.SessionNumber(), OpenLockType(cursor));
  } catch (...) {
    failure = std::current_exception();
  }
  table->RemoveCursor(cursor);
  if (cursor.Exclusive()) table->SetExclusive(false);
  if (table->Cursors().empty()) {
    table->Metadata().DropTemporaryIndexes();
    DropTableObject(table);
  }
  if (failure) std::rethrow_exception(failure);
}

void TABSDiskDatabaseData::CreateTable(std::string_view name, const TABSFieldDefs& fields,
                                       const TABSIndexDefs& indexes, const TABSConstraintDefs& constraints) {
  CheckUserTableName(name);
  CreateNamedTable(NextObjectNumber(), name, fields, indexes, constraints);
}

std::string TABSDiskDatabaseData::CreateHiddenTable(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                                    const TABSConstraintDefs& constraints) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("CreateTable");
  const int32_t object_id = NextObjectNumber();
  const std::string name = HiddenTableName(object_id);
  CreateNamedTable(object_id, name, fields, indexes, constraints);
  return name;
}

void TABSDiskDatabaseData::CreateNamedTable(int32_t object_id, std::string_view name, const TABSFieldDefs& fields,
                                            const TABSIndexDefs& indexes, const TABSConstraintDefs& constraints) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("CreateTable");
  if (fields.Count() == 0) throw EABSException(native::kNoFieldsSpecified20128);
  TableListLock list_lock(page_manager_);
  TABSTableList list = CurrentTableList();
  if (FindTableEntry(list, name) >= 0) throw EABSException(native::kTableAlreadyExists30395, {name});
  SystemChange change(*this);
  TABSDiskTableData table(*this, {std::string(name), object_id, -1, -1, -1});
  table.CreateStorage(kSystemSessionId, fields, indexes, constraints);
  list.push_back(table.Entry());
  table_list_.Write(kSystemSessionId, list);
  change.Commit();
  table_list_.Replace(std::move(list));
}

void TABSDiskDatabaseData::SwapHiddenTable(TABSBaseSession& session, std::string_view hidden, std::string_view target,
                                           const std::vector<int64_t>& autoinc_floors,
                                           int64_t expected_change_counter) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("RenameTable");
  CheckUserTableName(target);
  TableListLock list_lock(page_manager_);
  TABSTableList list = CurrentTableList();
  const int32_t hidden_index = FindTableEntry(list, hidden);
  if (!IsHiddenTableName(hidden) || hidden_index < 0) throw EABSException(native::kTableNotExists30397, {hidden});
  const int32_t old_index = FindTableEntry(list, target);
  for (const int32_t index : {hidden_index, old_index}) {
    if (index >= 0 && FindTableObject(list[static_cast<size_t>(index)].name) != nullptr) {
      throw EABSException(native::kTableExclusiveByCursors20242, {list[static_cast<size_t>(index)].name});
    }
  }
  TABSDiskTableData fresh(*this, list[static_cast<size_t>(hidden_index)]);
  std::optional<TABSDiskTableData> old;
  std::optional<ExclusiveTableLock> old_exclusive;
  if (old_index >= 0) {
    old.emplace(*this, list[static_cast<size_t>(old_index)]);
    old_exclusive.emplace(*this, *old, session.SessionNumber());
  }
  ExclusiveTableLock fresh_exclusive(*this, fresh, session.SessionNumber());
  SystemChange change(*this);
  if (old) {
    old->Load(kSystemSessionId, session.SessionNumber());
    if (expected_change_counter >= 0 && old->ChangeCounter() != expected_change_counter) {
      throw EABSException(native::kTableChangedDuringCopy, {old->Name()});
    }
    old->DeleteStorage(kSystemSessionId);
  } else if (expected_change_counter >= 0) {
    throw EABSException(native::kTableChangedDuringCopy, {target});
  }
  fresh.Load(kSystemSessionId, session.SessionNumber());
  fresh.RaiseAutoIncValues(kSystemSessionId, autoinc_floors);
  list[static_cast<size_t>(hidden_index)].name = std::string(target);
  if (old) list.erase(list.begin() + old_index);
  table_list_.Write(kSystemSessionId, list);
  change.Commit();
  table_list_.Replace(std::move(list));
}

void TABSDiskDatabaseData::ReplaceTable(TABSBaseSession& session, std::string_view name, const TABSFieldDefs& fields,
                                        const TABSIndexDefs& indexes, const TABSConstraintDefs& constraints) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("CreateTable");
  if (fields.Count() == 0) throw EABSException(native::kNoFieldsSpecified20128);
  CheckUserTableName(name);
  const int32_t object_id = NextObjectNumber();
  TableListLock list_lock(page_manager_);
  TABSTableList list = CurrentTableList();
  const int32_t index = FindTableEntry(list, name);
  std::optional<TABSDiskTableData> old;
  std::optional<ExclusiveTableLock> exclusive;
  if (index >= 0) {
    if (FindTableObject(list[static_cast<size_t>(index)].name) != nullptr) {
      throw EABSException(native::kTableExclusiveByCursors20242, {list[static_cast<size_t>(index)].name});
    }
    old.emplace(*this, list[static_cast<size_t>(index)]);
    exclusive.emplace(*this, *old, session.SessionNumber());
  }
  SystemChange change(*this);
  if (old) {
    old->Load(kSystemSessionId, session.SessionNumber());
    old->DeleteStorage(kSystemSessionId);
  }
  TABSDiskTableData table(*this, {std::string(name), object_id, -1, -1, -1});
  table.CreateStorage(kSystemSessionId, fields, indexes, constraints);
  if (old) {
    list[static_cast<size_t>(index)] = table.Entry();
  } else {
    list.push_back(table.Entry());
  }
  table_list_.Write(kSystemSessionId, list);
  change.Commit();
  table_list_.Replace(std::move(list));
}

void TABSDiskDatabaseData::DeleteTable(TABSBaseSession& session, std::string_view name) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("DeleteTable");
  TableListLock list_lock(page_manager_);
  TABSTableList list = CurrentTableList();
  const int32_t index = FindTableEntry(list, name);
  if (index < 0) throw EABSException(native::kTableNotExists30405, {name});
  if (FindTableObject(list[index].name) != nullptr) {
    throw EABSException(native::kTableExclusiveByCursors20242, {list[index].name});
  }
  TABSDiskTableData table(*this, list[index]);
  ExclusiveTableLock exclusive(*this, table, session.SessionNumber());
  SystemChange change(*this);
  table.Load(kSystemSessionId, session.SessionNumber());
  table.DeleteStorage(kSystemSessionId);
  list.erase(list.begin() + index);
  table_list_.Write(kSystemSessionId, list);
  change.Commit();
  table_list_.Replace(std::move(list));
}

void TABSDiskDatabaseData::RenameTable(TABSBaseSession& session, std::string_view old_name,
                                       std::string_view new_name) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("RenameTable");
  CheckUserTableName(new_name);
  TableListLock list_lock(page_manager_);
  TABSTableList list = CurrentTableList();
  const int32_t index = FindTableEntry(list, old_name);
  if (index < 0) throw EABSException(native::kTableNotExists30397, {old_name});
  for (size_t i = 0; i < list.size(); ++i) {
    if (static_cast<int32_t>(i) != index && SameObjectName(list[i].name, new_name)) {
      throw EABSException(native::kRenameTableExists, {new_name});
    }
  }
  if (FindTableObject(list[index].name) != nullptr) {
    throw EABSException(native::kTableExclusiveByCursors20242, {list[index].name});
  }
  {
    // No one else may have it open: taking it exclusively proves it.
    TABSDiskTableData table(*this, list[index]);
    ExclusiveTableLock exclusive(*this, table, session.SessionNumber());
  }
  list[index].name = std::string(new_name);
  SystemChange change(*this);
  table_list_.Write(kSystemSessionId, list);
  change.Commit();
  table_list_.Replace(std::move(list));
}

void TABSDiskDatabaseData::EmptyTable(TABSCursor& cursor) {
  std::lock_guard lock(CriticalSection());
  if (InTransaction(cursor.SessionNumber())) {
    throw EABSException(native::kEmptyTableInTransaction, {"EmptyTable"});
  }
  CheckWritable("EmptyTable");
  // The cursor's own opening, or one for the call, must be the only one.
  const bool opened_here = cursor.Table() == nullptr;
  TABSDiskTableData* table = opened_here ? OpenTable(cursor) : static_cast<TABSDiskTableData*>(cursor.Table());
  struct CloseAfter {
    TABSDiskDatabaseData& database;
    TABSCursor& cursor;
    bool active;
    ~CloseAfter() {
      if (active) database.CloseTable(cursor);
    }
  } close_after{*this, cursor, opened_here};
  if (table->Cursors().size() != 1) throw EABSException(native::kTableExclusiveByCursors20242, {table->Name()});
  const int32_t session = cursor.SessionNumber();
  // No other process may use the table while it is emptied.
  ExclusiveTableLock exclusive(*this, *table, session);
  try {
    table->EmptyTable(session);
    CommitTransaction(session, false);
  } catch (...) {
    try {
      // Also rereads the state of every open table.
      RollbackTransaction(session);
    } catch (...) {
    }
    throw;
  }
}

void TABSDiskDatabaseData::RestructureTable(TABSDiskTableData& table) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("RestructureTable");
  try {
    SystemChange change(*this);
    table.WriteMetadata(kSystemSessionId);
    change.Commit();
  } catch (...) {
    try {
      table.ReadMetadata(kSystemSessionId);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
}

TABSIndexDef* TABSDiskDatabaseData::AddIndex(TABSCursor& cursor, std::unique_ptr<TABSIndexDef> index) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("AddIndex");
  if (InTransaction(cursor.SessionNumber())) throw EABSException(native::kEmptyTableInTransaction, {"AddIndex"});
  auto* table = static_cast<TABSDiskTableData*>(cursor.Table());
  if (table == nullptr) throw EABSException(native::kTableNotExists30396, {cursor.TableName()});
  // No other process may read the table while its definitions change.
  ExclusiveTableLock exclusive(*this, *table, cursor.SessionNumber());
  SystemChange change(*this);
  TABSIndexDef* added = table->AddIndex(kSystemSessionId, std::move(index));
  try {
    table->WriteMetadata(kSystemSessionId);
    change.Commit();
  } catch (...) {
    table->ForgetIndex(added->ObjectId());
    throw;
  }
  return added;
}

void TABSDiskDatabaseData::DeleteIndex(TABSCursor& cursor, int32_t index_object_id) {
  DeleteIndexes(cursor, {index_object_id});
}

void TABSDiskDatabaseData::DeleteIndexes(TABSCursor& cursor, const std::vector<int32_t>& index_object_ids) {
  std::lock_guard lock(CriticalSection());
  CheckWritable("DeleteIndex");
  if (InTransaction(cursor.SessionNumber())) throw EABSException(native::kEmptyTableInTransaction, {"DeleteIndex"});
  auto* table = static_cast<TABSDiskTableData*>(cursor.Table());
  if (table == nullptr) throw EABSException(native::kTableNotExists30396, {cursor.TableName()});
  ExclusiveTableLock exclusive(*this, *table, cursor.SessionNumber());
  SystemChange change(*this);
  try {
    for (const int32_t index_object_id : index_object_ids) {
      const auto* index = static_cast<const TABSIndexDef*>(table->Metadata().Indexes().FindByNumber(index_object_id));
      if (index == nullptr) continue;
      if (!index->Temporary()) {
        table_trees::DropIndex(page_manager_, kSystemSessionId, *index, table->Metadata().Fields());
      }
      table->ForgetIndex(index_object_id);
    }
    table->WriteMetadata(kSystemSessionId);
    change.Commit();
  } catch (...) {
    // The definitions and the open trees go back to what the file has.
    try {
      table->ReadMetadata(kSystemSessionId);
      table->IndexManager().OpenIndexes();
    } catch (...) {
    }
    throw;
  }
}

void TABSDiskDatabaseData::SetRecordPageCheckOff(bool off) {
  std::lock_guard lock(CriticalSection());
  record_page_check_off_ = off;
  for (const auto& table : Tables()) static_cast<TABSDiskTableData&>(*table).ApplyRecordPageCheck();
}

namespace {

// What a process that only reads may hold: read locks, an exclusive
// request meaning the shared lock. None for a write type.
std::optional<TABSLockType> ReaderLockType(TABSLockType type) {
  switch (type) {
    case TABSLockType::kShared:
    case TABSLockType::kRead:
      return type;
    case TABSLockType::kExclusive:
      return TABSLockType::kShared;
    default:
      return std::nullopt;
  }
}

}  // namespace

bool TABSDiskDatabaseData::LockTable(TABSDiskTableData& table, int32_t session, TABSLockType type,
                                     TABSLockWait wait) {
  // The lock manager's own critical section is left while a request sleeps.
  // The system session holds no connection slot: its work (building an
  // index, say) runs under the exclusive lock of the session that asked.
  if (!lock_manager_ || session == kSystemSessionId) return true;
  if (ReadOnly()) {
    const std::optional<TABSLockType> reader_type = ReaderLockType(type);
    if (!reader_type) return false;
    type = *reader_type;
  }
  return lock_manager_->LockTable(session, type, wait, table.LocksPage());
}

void TABSDiskDatabaseData::UnlockTable(TABSDiskTableData& table, int32_t session, TABSLockType type) {
  if (!lock_manager_ || session == kSystemSessionId) return;
  if (ReadOnly()) {
    const std::optional<TABSLockType> reader_type = ReaderLockType(type);
    if (!reader_type) throw EABSException(native::kTableLockNotFound20202);
    type = *reader_type;
  }
  lock_manager_->UnlockTable(session, type, table.LocksPage());
}

void TABSDiskDatabaseData::UnlockQuietly(TABSDiskTableData& table, int32_t session, TABSLockType type) noexcept {
  try {
    UnlockTable(table, session, type);
  } catch (...) {
    // The entry stays with the session; its disconnect releases it.
  }
}

bool TABSDiskDatabaseData::LockRecord(TABSDiskTableData& table, int32_t session, const TABSRecordId& id,
                                      TABSLockWait wait) {
  if (!lock_manager_) return true;
  if (ReadOnly()) return false;
  return lock_manager_->LockRecord(session, table.LocksPage(), wait, id);
}

bool TABSDiskDatabaseData::UnlockRecord(TABSDiskTableData& table, int32_t session, const TABSRecordId& id) {
  if (!lock_manager_) return true;
  return lock_manager_->UnlockRecord(session, table.LocksPage(), id);
}

bool TABSDiskDatabaseData::HoldsRecordLock(TABSDiskTableData& table, int32_t session, const TABSRecordId& id) {
  return lock_manager_ && lock_manager_->HoldsRecord(session, table.LocksPage(), id);
}

void TABSDiskDatabaseData::AttachTableLocks(int32_t locks_page) {
  if (lock_manager_) lock_manager_->AttachTable(locks_page);
}

void TABSDiskDatabaseData::DetachTableLocks(int32_t locks_page) noexcept {
  if (lock_manager_) lock_manager_->DetachTable(locks_page);
}

}  // namespace kelvorin
