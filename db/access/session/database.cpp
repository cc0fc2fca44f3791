#include "db/access/session/database.h"

#include <algorithm>

#include "db/access/local/access_errors.h"
#include "db/access/session/access_error.h"
#include "db/access/session/access_events.h"
#include "db/access/session/access_names.h"
#include "db/access/session/session.h"
#include "db/access/session/session_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/database_file_layout.h"
#include "db/storage/file/journal.h"
#include "db/storage/pages/page_errors.h"
#include "db/tables/metadata/meta_object_def.h"
#include "platform/file.h"

namespace kelvorin {

namespace {

constexpr const char* kOpenDatabaseText = "Cannot perform this operation on an open database";

}  // namespace

TABSDatabase::TABSDatabase(const void* owner, std::string name) : owner_(owner), name_(std::move(name)) {
  session_name_ = TABSSessions::Instance().AutoSessionNameFor(owner);
  TABSSessions::Instance().AddDatabase(*this);
}

TABSDatabase::TABSDatabase(TemporaryKey, std::string_view alias, bool keep_connection)
    : owner_(nullptr),
      file_name_(alias),
      database_name_(alias),
      keep_connection_(keep_connection),
      temporary_(true) {
  TABSSessions::Instance().AddDatabase(*this);
}

TABSDatabase::~TABSDatabase() {
  DisconnectQuietly();
  TABSSessions::Instance().RemoveDatabase(*this);
}

void TABSDatabase::Fail(std::string_view text) const { throw EDatabaseError(name_, text); }

TABSSession& TABSDatabase::Session() const { return TABSSessions::Instance().Get(session_name_); }

// --- Properties ---

void TABSDatabase::SetConnected(bool connected) {
  if (connected) {
    Connect();
  } else {
    Disconnect();
  }
}

void TABSDatabase::SetDatabaseFileName(std::string file_name) {
  if (file_name == file_name_) return;
  Disconnect();
  file_name_ = std::move(file_name);
}

void TABSDatabase::SetDatabaseName(std::string_view alias) {
  if (alias == database_name_) return;
  if (Connected()) Fail(kOpenDatabaseText);
  CheckAccessName(alias);
  std::lock_guard lock(AccessCriticalSection());
  TABSSession* session = TABSSessions::Instance().Find(session_name_);
  TABSDatabase* unused_temporary = nullptr;
  if (session != nullptr && !alias.empty()) {
    for (TABSDatabase* other : session->Databases()) {
      if (other == this || !SameObjectName(other->database_name_, alias)) continue;
      if (other->temporary_ && other->use_count_ == 0) {
        unused_temporary = other;
      } else if (!(handle_shared_ && other->handle_shared_)) {
        // Databases that handle sharing may share an alias: that is how one
        // finds the other's connection.
        Fail(kOpenDatabaseText);
      }
    }
  }
  if (unused_temporary != nullptr) session->FreeTemporary(*unused_temporary);
  database_name_ = std::string(alias);
}

void TABSDatabase::SetSessionName(std::string_view session_name) {
  if (session_name == session_name_) return;
  if (Connected()) Fail(kOpenDatabaseText);
  CheckAccessName(session_name);
  session_name_ = std::string(session_name);
}

void TABSDatabase::SetKeepConnection(bool keep) {
  keep_connection_ = keep;
  if (!keep && users_.empty() && use_count_ == 0) Disconnect();
}

// --- Datasets ---

TABSLocalSession& TABSDatabase::Connection() const {
  if (connection_ == nullptr) throw EABSException(native::kSessionNotConnected);
  return *connection_;
}

void TABSDatabase::AddUser(TABSDatabaseUser& user) {
  if (std::find(users_.begin(), users_.end(), &user) == users_.end()) users_.push_back(&user);
}

void TABSDatabase::RemoveUser(TABSDatabaseUser& user) noexcept { std::erase(users_, &user); }

// --- Connecting ---

TABSSessionSettings TABSDatabase::ConnectionSettings() const {
  TABSSessionSettings settings;
  settings.file_name = file_name_;
  settings.password.password = password_;
  settings.read_only = read_only_;
  settings.exclusive = exclusive_;
  settings.multi_user = multi_user_;
  settings.file = file_settings_;
  settings.lock_pacing = lock_pacing_;
  return settings;
}

void TABSDatabase::Connect() {
  if (Connected()) return;
  if (!temporary_ && database_name_.empty()) Fail("Database name missing");
  TABSSession& session = Session();
  session.SetActive(true);
  if (handle_shared_ && ConnectShared(session)) return;
  // The critical section is held while the file is opened, and let go
  // before any question is asked.
  while (true) {
    try {
      OpenConnection();
      break;
    } catch (const EABSException& error) {
      if (error.NativeError() != page_errors::kWrongPassword || !AskPasswordAgain()) throw;
    }
  }
  try {
    CheckNeedsRepair();
    TakeOverFileSettings();
  } catch (...) {
    DisconnectQuietly();
    throw;
  }
}

bool TABSDatabase::ConnectShared(TABSSession& session) {
  std::lock_guard lock(AccessCriticalSection());
  for (TABSDatabase* other : session.Databases()) {
    if (other == this || !other->handle_shared_ || !other->Connected()) continue;
    if (!SameObjectName(other->database_name_, database_name_)) continue;
    connection_ = other->connection_;
    TakeOverFileSettings();
    return true;
  }
  return false;
}

void TABSDatabase::OpenConnection() {
  std::lock_guard lock(AccessCriticalSection());
  const bool volatile_alias = TABSOpenDatabases::FindAlias(file_name_) != nullptr;
  if (!temporary_ && !volatile_alias && !platform::FileExists(file_name_)) {
    Fail("Database file '" + file_name_ + "' does not exist");
  }
  auto connection = std::make_shared<TABSLocalSession>(ConnectionSettings());
  connection->Connect();
  connection_ = std::move(connection);
}

bool TABSDatabase::AskPasswordAgain() {
  const std::string before = password_;
  bool again = false;
  if (OnPassword) {
    again = OnPassword(*this);
  } else {
    std::string typed = password_;
    again = AccessQuestions().AskPassword(kPasswordCaption, kPasswordLabel, typed);
    if (again) password_ = typed;
  }
  // The same password would fail the same way for ever.
  return again && password_ != before;
}

void TABSDatabase::CheckNeedsRepair() {
  if (silent_mode_ || compacting_ || !connection_->NeedsRepair()) return;
  TABSDiskDatabaseData* disk = connection_->DiskDatabase();
  if (disk == nullptr) return;
  // Users counted before this connect (a dataset opening the database)
  // still hold it when the file has been closed and opened again here.
  const int32_t use_count = use_count_;
  const bool old_format = !(disk->DiskPageManager().Header().version >= kOldestCleanVersion);
  if (old_format) {
    DisconnectQuietly();
    AccessQuestions().Inform("Database file '" + file_name_ +
                             "' has an old format and will be converted to the new format.");
    Repair();
  } else {
    // The question waits for the user: the file is closed meanwhile.
    DisconnectQuietly();
    if (DecideRepair()) {
      Repair();
    } else {
      OpenConnection();
    }
  }
  use_count_ = use_count;
}

bool TABSDatabase::DecideRepair() {
  if (OnNeedRepair) return OnNeedRepair(*this);
  if (repairing_) return false;
  return AccessQuestions().AskYesNo(kRepairQuestion);
}

void TABSDatabase::Repair() {
  std::string error_text;
  repairing_ = true;
  try {
    error_text = Compact();
  } catch (const std::exception& error) {
    error_text = error.what();
  }
  repairing_ = false;
  if (!error_text.empty()) throw EABSException(native::kCannotConvertDatabase, {error_text});
  OpenConnection();
}

void TABSDatabase::TakeOverFileSettings() {
  const TABSSessionSettings& settings = connection_->Settings();
  read_only_ = settings.read_only;
  file_settings_ = settings.file;
}

// --- Disconnecting ---

void TABSDatabase::CloseUsers() noexcept {
  const std::vector<TABSDatabaseUser*> users = users_;
  const auto close = [](TABSDatabaseUser* user) {
    try {
      user->CloseForDisconnect();
    } catch (...) {
      ReportCaughtError();
    }
  };
  for (TABSDatabaseUser* user : users) {
    if (user->IsQuery()) close(user);
  }
  for (auto it = users.rbegin(); it != users.rend(); ++it) {
    if (!(*it)->IsQuery()) close(*it);
  }
}

void TABSDatabase::RollbackOwnTransaction() noexcept {
  // A connection another component still shares keeps its transaction;
  // so does one that only shares a page session with a component that
  // started it and is still connected.
  if (connection_.use_count() > 1 || !connection_->InTransaction()) return;
  const bool alone = connection_->Connected() && connection_->Database().Sessions().size() <= 1;
  if (!owns_transaction_ && !alone) return;
  try {
    connection_->Rollback();
  } catch (...) {
    ReportCaughtError();
  }
}

void TABSDatabase::Disconnect() {
  if (!Connected() || disconnecting_) return;
  std::lock_guard lock(AccessCriticalSection());
  disconnecting_ = true;
  CloseUsers();
  disconnecting_ = false;
  RollbackOwnTransaction();
  std::shared_ptr<TABSLocalSession> connection = std::move(connection_);
  connection_.reset();
  use_count_ = 0;
  owns_transaction_ = false;
  if (connection.use_count() == 1) connection->Disconnect();
}

void TABSDatabase::DisconnectQuietly() noexcept {
  try {
    Disconnect();
  } catch (...) {
    ReportCaughtError();
  }
}

// --- Files and tables ---

void TABSDatabase::CheckCreateDelete(const char*) {
  if (database_name_.empty() && !temporary_) Fail("Database name missing");
  Session();
  if (Connected()) Fail(kOpenDatabaseText);
}

void TABSDatabase::CheckFileNotOpen(bool compacting) const {
  if (!TABSOpenDatabases::Process().IsOpen(file_name_)) return;
  throw EABSException(compacting ? native::kCompactFileInUse : native::kDeleteFileInUse, {file_name_});
}

void TABSDatabase::CreateDatabase() {
  CheckCreateDelete("CreateDatabase");
  std::lock_guard lock(AccessCriticalSection());
  TABSLocalSession::CreateDatabase(ConnectionSettings());
}

void TABSDatabase::DeleteDatabase() {
  CheckCreateDelete("DeleteDatabase");
  std::lock_guard lock(AccessCriticalSection());
  CheckFileNotOpen(false);
  if (const int code = platform::RemoveFile(file_name_); code != 0) {
    throw EABSException(native::kDeleteDatabaseFailed, {file_name_, code, platform::ErrorText(code)});
  }
  platform::RemoveFile(TABSJournal::PathFor(file_name_));
  platform::SyncDirectoryOf(file_name_);
}

bool TABSDatabase::Exists() const { return platform::FileExists(file_name_); }

bool TABSDatabase::TableExists(std::string_view table_name) {
  Connect();
  return connection_->TableExists(table_name);
}

void TABSDatabase::GetTablesList(std::vector<std::string>& list) noexcept {
  try {
    Connect();
    for (std::string& name : connection_->TableNames()) list.push_back(std::move(name));
  } catch (...) {
    ReportCaughtError();
  }
}

// --- Transactions ---

void TABSDatabase::StartTransaction() {
  if (!Connected()) Fail("Cannot perform this operation on a closed database");
  if (connection_->InTransaction()) Fail("Database already in transaction");
  connection_->StartTransaction();
  owns_transaction_ = true;
}

void TABSDatabase::Commit(bool flush) {
  if (!Connected() || !connection_->InTransaction()) Fail("Database is not in transaction. Cannot perform operation");
  // A failed commit keeps the transaction: the caller retries or rolls back.
  connection_->Commit(flush);
  owns_transaction_ = false;
}

void TABSDatabase::Rollback() {
  if (!Connected() || !connection_->InTransaction()) Fail("Database is not in transaction. Cannot perform operation");
  connection_->Rollback();
  owns_transaction_ = false;
  NotifyRollback();
}

void TABSDatabase::NotifyRollback() noexcept {
  const TABSDatabaseData* rolled_back = &connection_->Database();
  for (TABSDatabase* database : TABSSessions::Instance().AllDatabases()) {
    if (!database->Connected() || !database->connection_->Connected()) continue;
    if (&database->connection_->Database() != rolled_back) continue;
    // A copy: a user may close itself while it resynchronises.
    const std::vector<TABSDatabaseUser*> users = database->users_;
    for (TABSDatabaseUser* user : users) user->RecordsRolledBack();
  }
}

bool TABSDatabase::InTransaction() const { return Connected() && connection_->InTransaction(); }

}  // namespace kelvorin
