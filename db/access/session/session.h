// Sessions: named groups of database components. TABSSessions is the
// process-wide, thread-safe list of every session, created with the default
// session ("Default"); it hands out the numbers of automatic session names
// and finds a session by name without regard to case. A database component
// belongs to the session its SessionName names (empty: the default one).
//
// TABSSession::OpenDatabase and CloseDatabase are the datasets' way to their
// database: the database of an alias, created on demand as a temporary
// database when no component has that alias, with a use count that frees a
// temporary database (or disconnects one that does not keep its connection)
// when its last user leaves.
//
// Activation, Connect, CreateDatabase and Disconnect of every session run
// under one process-wide critical section that a thread may enter again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kelvorin {

class TABSDatabase;
class TABSSessions;

std::recursive_mutex& AccessCriticalSection();

class TABSSession {
 public:
  static constexpr const char* kDefaultName = "Default";

  // `owner` is the form or data module the component lives on (may be
  // null); `name` is the component's own name, the stem of an automatic
  // session name. Refused on an owner whose session names itself.
  explicit TABSSession(const void* owner = nullptr, std::string name = "Session");
  // Frees its temporary databases; its other databases are disconnected
  // and move to the default session.
  ~TABSSession();
  TABSSession(const TABSSession&) = delete;
  TABSSession& operator=(const TABSSession&) = delete;

  const std::string& Name() const { return name_; }
  const void* Owner() const { return owner_; }
  bool IsDefault() const { return is_default_; }

  std::string SessionName() const;
  void SetSessionName(std::string_view name);
  bool AutoSessionName() const { return auto_session_name_; }
  void SetAutoSessionName(bool on);
  bool KeepConnections() const { return keep_connections_; }
  void SetKeepConnections(bool keep) { keep_connections_ = keep; }

  bool Active() const { return active_; }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  std::function<void(TABSSession&)> OnStartup;

  // The session's databases, in creation order.
  std::vector<TABSDatabase*> Databases() const;
  // The database of the alias (without regard to case); among databases
  // that handle sharing, one of the owner is preferred.
  TABSDatabase* FindDatabase(std::string_view alias, const void* owner = nullptr) const;
  // Connects the database of the alias (created as a temporary database
  // when there is none) and counts one more user of it.
  TABSDatabase& OpenDatabase(std::string_view alias, const void* owner = nullptr);
  // Counts one user less (never below 0); at 0 a database that does not keep
  // its connection is disconnected, or freed when temporary.
  void CloseDatabase(TABSDatabase& database);

 private:
  friend class TABSSessions;
  friend class TABSDatabase;
  struct DefaultKey {};

 public:
  TABSSession(DefaultKey, TABSSessions& list);

 private:
  // Takes ownership of a temporary database created for an alias.
  TABSDatabase& AddTemporary(std::unique_ptr<TABSDatabase> database);
  void FreeTemporary(TABSDatabase& database);
  void ReleaseAutoNumber();

  TABSSessions& list_;
  const void* owner_;
  std::string name_;
  std::string session_name_;
  bool is_default_ = false;
  bool auto_session_name_ = false;
  int32_t auto_number_ = 0;  // 0: none taken
  bool keep_connections_ = true;
  bool active_ = false;
  std::vector<std::unique_ptr<TABSDatabase>> temporaries_;
};

class TABSSessions {
 public:
  // The list of this process, with its default session.
  static TABSSessions& Instance();
  static TABSSession& Default() { return Instance().DefaultSession(); }

  TABSSession& DefaultSession() { return *default_; }
  // An empty name gives the default session; none when no session has the
  // name.
  TABSSession* Find(std::string_view name);
  // The same, raising "Invalid session name '%s'" for a missing one.
  TABSSession& Get(std::string_view name);
  std::vector<TABSSession*> List();
  // The session name that an automatically named session gives to the
  // components of its owner; empty when there is none.
  std::string AutoSessionNameFor(const void* owner);

  // Every database component of the process, in creation order.
  std::vector<TABSDatabase*> AllDatabases();

 private:
  friend class TABSSession;
  friend class TABSDatabase;
  TABSSessions();
  ~TABSSessions();

  void Add(TABSSession& session);
  void Remove(TABSSession& session) noexcept;
  void AddDatabase(TABSDatabase& database);
  void RemoveDatabase(TABSDatabase& database) noexcept;
  // The lowest number from 1 not used by an automatic name.
  int32_t TakeNumber();
  void ReleaseNumber(int32_t number) noexcept;
  TABSSession* FindLocked(std::string_view name);

  mutable std::mutex mutex_;
  std::vector<TABSSession*> sessions_;
  std::vector<TABSDatabase*> databases_;
  std::vector<bool> used_numbers_;  // [n] for the number n + 1
  std::unique_ptr<TABSSession> default_;
};

}  // namespace kelvorin
