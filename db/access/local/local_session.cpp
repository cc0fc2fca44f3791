#include "db/access/local/local_session.h"

#include <algorithm>

#include "db/access/local/access_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/temporary/memory_database_data.h"
#include "db/storage/temporary/temporary_database_data.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

// --- The list of open databases ---

TABSOpenDatabases& TABSOpenDatabases::Process() {
  static TABSOpenDatabases list;
  return list;
}

TABSOpenDatabases::~TABSOpenDatabases() = default;

TABSOpenDatabases::Entry* TABSOpenDatabases::Find(const platform::FileIdentity& identity) {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& entry) { return entry.identity == identity; });
  return it == entries_.end() ? nullptr : &*it;
}

TABSVolatileDatabaseData* TABSOpenDatabases::FindAlias(std::string_view name) {
  if (SameObjectName(name, TABSMemoryDatabaseData::kName)) return &MemoryDatabase();
  if (SameObjectName(name, TABSTemporaryDatabaseData::kName)) return &TemporaryDatabase();
  return nullptr;
}

TABSDatabaseData& TABSOpenDatabases::Connect(TABSBaseSession& session, const TABSSessionSettings& settings) {
  std::lock_guard lock(mutex_);
  if (TABSVolatileDatabaseData* alias = FindAlias(settings.file_name)) {
    alias->ConnectSession(session);
    return *alias;
  }
  return ConnectFile(session, settings);
}

TABSDatabaseData& TABSOpenDatabases::ConnectFile(TABSBaseSession& session, const TABSSessionSettings& settings) {
  platform::FileIdentity identity;
  const bool exists = platform::IdentifyFile(settings.file_name, &identity) == 0;
  if (exists) {
    if (Entry* entry = Find(identity)) {
      entry->database->ConnectSession(session);
      return *entry->database;
    }
  }
  auto database = std::make_unique<TABSDiskDatabaseData>(settings.file_name, settings.password, settings.read_only);
  database->SetLockPacing(settings.lock_pacing);
  // A file that is missing or cannot be opened raises here.
  database->ConnectSession(session);
  if (!exists && platform::IdentifyFile(settings.file_name, &identity) != 0) {
    // Opened but no longer there to be named: serve this session alone
    // rather than list an object no one else could find.
    database->DisconnectSession(session);
    throw EABSException(native::kSessionNotConnected);
  }
  entries_.push_back({identity, std::move(database)});
  return *entries_.back().database;
}

void TABSOpenDatabases::Disconnect(TABSDatabaseData& database, TABSBaseSession& session) {
  std::lock_guard lock(mutex_);
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& entry) { return entry.database.get() == &database; });
  std::exception_ptr failure;
  try {
    database.DisconnectSession(session);
  } catch (...) {
    failure = std::current_exception();
  }
  if (it != entries_.end() && database.Sessions().empty()) {
    try {
      database.ReleaseIfUnused();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    entries_.erase(it);
  }
  if (failure) std::rethrow_exception(failure);
}

bool TABSOpenDatabases::IsOpen(const std::string& file_name) {
  if (FindAlias(file_name) != nullptr) return true;
  std::lock_guard lock(mutex_);
  platform::FileIdentity identity;
  return platform::IdentifyFile(file_name, &identity) == 0 && Find(identity) != nullptr;
}

int32_t TABSOpenDatabases::Count() {
  std::lock_guard lock(mutex_);
  return static_cast<int32_t>(entries_.size());
}

// --- The session ---

TABSLocalSession::TABSLocalSession(TABSSessionSettings settings, TABSOpenDatabases& list)
    : TABSBaseSession(settings.multi_user, settings.exclusive), settings_(std::move(settings)), list_(&list) {}

TABSLocalSession::~TABSLocalSession() {
  try {
    Disconnect();
  } catch (...) {
    // Closing the file releases whatever the session still held.
  }
}

void TABSLocalSession::Connect() {
  if (database_ != nullptr) return;
  TABSDatabaseData& database = list_->Connect(*this, settings_);
  database_ = &database;
  if (TABSDiskDatabaseData* disk = DiskDatabase()) {
    settings_.read_only = disk->ReadOnly();
    settings_.file = disk->Settings();
  }
}

void TABSLocalSession::Disconnect() {
  if (database_ == nullptr) return;
  TABSDatabaseData* database = database_;
  database_ = nullptr;
  volatile_transaction_ = false;
  list_->Disconnect(*database, *this);
}

TABSDatabaseData& TABSLocalSession::Database() const {
  if (database_ == nullptr) throw EABSException(native::kSessionNotConnected);
  return *database_;
}

TABSDiskDatabaseData* TABSLocalSession::DiskDatabase() const { return dynamic_cast<TABSDiskDatabaseData*>(database_); }

TABSVolatileDatabaseData* TABSLocalSession::VolatileDatabase() const {
  return dynamic_cast<TABSVolatileDatabaseData*>(database_);
}

void TABSLocalSession::CreateDatabase(const TABSSessionSettings& settings, TABSOpenDatabases& list) {
  if (list.IsOpen(settings.file_name)) throw EABSException(native::kCreateDatabaseOpen);
  TABSDiskDatabaseData::CreateDatabase(settings.file_name, settings.password, settings.file);
}

template <typename Answer>
auto TABSLocalSession::Ask(Answer answer) {
  if (database_ != nullptr) return answer(*database_);
  TABSLocalSession asking(settings_, *list_);
  asking.Connect();
  return answer(asking.Database());
}

bool TABSLocalSession::TableExists(std::string_view name) {
  return Ask([&](TABSDatabaseData& database) { return database.TableExists(name); });
}

std::vector<std::string> TABSLocalSession::TableNames() {
  return Ask([](TABSDatabaseData& database) { return database.GetTableNames(); });
}

void TABSLocalSession::SetRecordPageCheck(bool on) {
  if (TABSDiskDatabaseData* disk = DiskDatabase()) disk->SetRecordPageCheckOff(!on);
}

void TABSLocalSession::StartTransaction() {
  TABSDatabaseData& database = Database();
  std::lock_guard lock(database.CriticalSection());
  if (InTransaction()) throw EABSException(native::kAlreadyInTransaction);
  database.StartTransaction(SessionNumber());
  if (VolatileDatabase() != nullptr) volatile_transaction_ = true;
}

void TABSLocalSession::Commit(bool flush) {
  TABSDatabaseData& database = Database();
  if (!InTransaction()) throw EABSException(native::kCommitNotInTransaction);
  // A commit that fails leaves the transaction open, to be retried or
  // rolled back.
  database.CommitTransaction(SessionNumber(), flush);
  volatile_transaction_ = false;
}

void TABSLocalSession::Rollback() {
  TABSDatabaseData& database = Database();
  if (!InTransaction()) throw EABSException(native::kRollbackNotInTransaction);
  database.RollbackTransaction(SessionNumber());
  volatile_transaction_ = false;
}

bool TABSLocalSession::InTransaction() const {
  if (database_ == nullptr) return false;
  if (VolatileDatabase() != nullptr) return volatile_transaction_;
  return database_->InTransaction(SessionNumber());
}

}  // namespace kelvorin
