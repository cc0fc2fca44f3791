#include "db/access/session/session.h"

#include <algorithm>

#include "db/access/session/access_error.h"
#include "db/access/session/access_events.h"
#include "db/access/session/access_names.h"
#include "db/access/session/database.h"
#include "db/access/session/session_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

namespace {

constexpr const char* kOpenDatabaseText = "Cannot perform this operation on an open database";

bool SameName(std::string_view a, std::string_view b) { return SameObjectName(a, b); }

}  // namespace

std::recursive_mutex& AccessCriticalSection() {
  static std::recursive_mutex critical_section;
  return critical_section;
}

// --- The session list ---

TABSSessions& TABSSessions::Instance() {
  static TABSSessions list;
  return list;
}

TABSSessions::TABSSessions() { default_ = std::make_unique<TABSSession>(TABSSession::DefaultKey{}, *this); }

TABSSessions::~TABSSessions() = default;

void TABSSessions::Add(TABSSession& session) {
  std::lock_guard lock(mutex_);
  sessions_.push_back(&session);
}

void TABSSessions::Remove(TABSSession& session) noexcept {
  std::lock_guard lock(mutex_);
  std::erase(sessions_, &session);
}

void TABSSessions::AddDatabase(TABSDatabase& database) {
  std::lock_guard lock(mutex_);
  databases_.push_back(&database);
}

void TABSSessions::RemoveDatabase(TABSDatabase& database) noexcept {
  std::lock_guard lock(mutex_);
  std::erase(databases_, &database);
}

int32_t TABSSessions::TakeNumber() {
  std::lock_guard lock(mutex_);
  const auto free = std::find(used_numbers_.begin(), used_numbers_.end(), false);
  const auto index = static_cast<size_t>(free - used_numbers_.begin());
  if (free == used_numbers_.end()) {
    used_numbers_.push_back(true);
  } else {
    *free = true;
  }
  return static_cast<int32_t>(index) + 1;
}

void TABSSessions::ReleaseNumber(int32_t number) noexcept {
  std::lock_guard lock(mutex_);
  if (number >= 1 && static_cast<size_t>(number) <= used_numbers_.size()) used_numbers_[number - 1] = false;
}

TABSSession* TABSSessions::FindLocked(std::string_view name) {
  if (name.empty()) return default_.get();
  for (TABSSession* session : sessions_) {
    if (SameName(session->session_name_, name)) return session;
  }
  return nullptr;
}

TABSSession* TABSSessions::Find(std::string_view name) {
  std::lock_guard lock(mutex_);
  return FindLocked(name);
}

TABSSession& TABSSessions::Get(std::string_view name) {
  TABSSession* session = Find(name);
  if (session == nullptr) throw EABSException(native::kInvalidSessionName, {name});
  return *session;
}

std::vector<TABSSession*> TABSSessions::List() {
  std::lock_guard lock(mutex_);
  return sessions_;
}

std::string TABSSessions::AutoSessionNameFor(const void* owner) {
  if (owner == nullptr) return {};
  std::lock_guard lock(mutex_);
  for (TABSSession* session : sessions_) {
    if (session->owner_ == owner && session->auto_session_name_) return session->session_name_;
  }
  return {};
}

std::vector<TABSDatabase*> TABSSessions::AllDatabases() {
  std::lock_guard lock(mutex_);
  return databases_;
}

// --- Sessions ---

TABSSession::TABSSession(DefaultKey, TABSSessions& list)
    : list_(list), owner_(nullptr), name_(kDefaultName), session_name_(kDefaultName), is_default_(true) {
  list_.sessions_.push_back(this);
}

TABSSession::TABSSession(const void* owner, std::string name)
    : list_(TABSSessions::Instance()), owner_(owner), name_(std::move(name)) {
  const std::string automatic = list_.AutoSessionNameFor(owner);
  if (!automatic.empty()) {
    throw EDatabaseError(name_, "Cannot add a session to the form or data-module while session '" + automatic +
                                    "' has AutoSessionName enabled");
  }
  list_.Add(*this);
}

TABSSession::~TABSSession() {
  std::lock_guard lock(AccessCriticalSection());
  temporaries_.clear();
  if (!is_default_) {
    for (TABSDatabase* database : Databases()) {
      database->DisconnectQuietly();
      database->session_name_.clear();
    }
  }
  ReleaseAutoNumber();
  list_.Remove(*this);
}

std::string TABSSession::SessionName() const {
  std::lock_guard lock(list_.mutex_);
  return session_name_;
}

void TABSSession::SetSessionName(std::string_view name) {
  if (auto_session_name_) throw EDatabaseError(name_, "Cannot modify SessionName while AutoSessionName is enabled");
  if (active_ || is_default_) throw EDatabaseError(name_, "Cannot perform this operation on an active session");
  CheckAccessName(name);
  std::lock_guard lock(list_.mutex_);
  TABSSession* other = name.empty() ? nullptr : list_.FindLocked(name);
  if (other != nullptr && other != this) {
    throw EDatabaseError(name_, "Duplicate session name '" + std::string(name) + "'");
  }
  session_name_ = std::string(name);
}

void TABSSession::ReleaseAutoNumber() {
  if (auto_number_ == 0) return;
  list_.ReleaseNumber(auto_number_);
  auto_number_ = 0;
}

void TABSSession::SetAutoSessionName(bool on) {
  if (on == auto_session_name_) return;
  if (!on) {
    auto_session_name_ = false;
    return;
  }
  if (active_ || is_default_) throw EDatabaseError(name_, "Cannot perform this operation on an active session");
  std::vector<TABSDatabase*> databases;
  if (owner_ != nullptr) {
    for (TABSSession* other : list_.List()) {
      if (other != this && other->owner_ == owner_) {
        throw EDatabaseError(name_, "Cannot enable AutoSessionName property with more than one session on a form "
                                    "or data-module");
      }
    }
    for (TABSDatabase* database : list_.AllDatabases()) {
      if (database->owner_ != owner_) continue;
      if (database->Connected()) throw EDatabaseError(database->name_, kOpenDatabaseText);
      databases.push_back(database);
    }
  }
  const int32_t number = list_.TakeNumber();
  std::string automatic = name_ + "_" + std::to_string(number);
  try {
    CheckAccessName(automatic);
  } catch (...) {
    list_.ReleaseNumber(number);
    throw;
  }
  ReleaseAutoNumber();
  {
    std::lock_guard lock(list_.mutex_);
    session_name_ = automatic;
  }
  auto_number_ = number;
  auto_session_name_ = true;
  for (TABSDatabase* database : databases) database->session_name_ = automatic;
}

void TABSSession::SetActive(bool active) {
  if (active == active_) return;
  if (active) {
    if (OnStartup) OnStartup(*this);
    std::lock_guard lock(AccessCriticalSection());
    if (active_) return;
    if (SessionName().empty()) throw EDatabaseError(name_, "Session name missing");
    if (!is_default_) list_.DefaultSession().SetActive(true);
    active_ = true;
    return;
  }
  std::lock_guard lock(AccessCriticalSection());
  for (TABSDatabase* database : Databases()) {
    if (database->Temporary()) {
      FreeTemporary(*database);
    } else {
      database->Disconnect();
    }
  }
  active_ = false;
}

std::vector<TABSDatabase*> TABSSession::Databases() const {
  std::vector<TABSDatabase*> mine;
  const std::string own_name = SessionName();
  for (TABSDatabase* database : list_.AllDatabases()) {
    const std::string& name = database->SessionName();
    if (name.empty() ? is_default_ : SameName(name, own_name)) mine.push_back(database);
  }
  return mine;
}

TABSDatabase* TABSSession::FindDatabase(std::string_view alias, const void* owner) const {
  TABSDatabase* found = nullptr;
  for (TABSDatabase* database : Databases()) {
    if (!SameName(database->DatabaseName(), alias)) continue;
    if (!database->HandleShared()) return database;
    if (owner != nullptr && database->Owner() == owner) return database;
    if (found == nullptr) found = database;
  }
  return found;
}

TABSDatabase& TABSSession::AddTemporary(std::unique_ptr<TABSDatabase> database) {
  temporaries_.push_back(std::move(database));
  return *temporaries_.back();
}

void TABSSession::FreeTemporary(TABSDatabase& database) {
  const auto it = std::find_if(temporaries_.begin(), temporaries_.end(),
                               [&](const std::unique_ptr<TABSDatabase>& held) { return held.get() == &database; });
  if (it == temporaries_.end()) return;
  std::unique_ptr<TABSDatabase> freed = std::move(*it);
  temporaries_.erase(it);
}

TABSDatabase& TABSSession::OpenDatabase(std::string_view alias, const void* owner) {
  if (alias.empty()) throw EDatabaseError("Database name missing");
  TABSDatabase* database = nullptr;
  bool created = false;
  {
    std::lock_guard lock(AccessCriticalSection());
    database = FindDatabase(alias, owner);
    if (database == nullptr) {
      CheckAccessName(alias);
      database = &AddTemporary(std::make_unique<TABSDatabase>(TABSDatabase::TemporaryKey{}, alias, keep_connections_));
      database->session_name_ = SessionName();
      created = true;
    }
    // Counted before connecting, so that nothing frees it while a question
    // of the connect waits for the user outside the critical section.
    ++database->use_count_;
  }
  try {
    database->Connect();
  } catch (...) {
    std::lock_guard lock(AccessCriticalSection());
    if (database->use_count_ > 0) --database->use_count_;
    if (created) FreeTemporary(*database);
    throw;
  }
  return *database;
}

void TABSSession::CloseDatabase(TABSDatabase& database) {
  std::lock_guard lock(AccessCriticalSection());
  if (database.use_count_ > 0) --database.use_count_;
  if (database.use_count_ > 0 || database.disconnecting_) return;
  if (database.Temporary()) {
    FreeTemporary(database);
  } else if (!database.KeepConnection()) {
    database.Disconnect();
  }
}

}  // namespace kelvorin
