// TABSDatabase: one database file under an alias, as the application and
// its datasets see it. It connects (sharing another component's connection
// when both handle sharing; asking for a password and whether to repair a
// file that was not closed properly), disconnects (closing its datasets
// first), creates and deletes the file, answers for its tables, runs
// transactions and compacts the file.
//
// Compacting copies every table into "<file>.tmp", makes the copy durable
// and renames it over the file in one step, so that the file's name holds
// either the old file or the whole copy, whenever the process stops.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/access/local/local_session.h"

namespace kelvorin {

class TABSSession;

// A dataset (table or query) that holds a database: Disconnect closes
// every user, queries first, then the others from the last to the first.
class TABSDatabaseUser {
 public:
  virtual ~TABSDatabaseUser() = default;
  virtual void CloseForDisconnect() = 0;  // must not raise
  virtual bool IsQuery() const = 0;
  // The owner (form or data module) the dataset belongs to, for the
  // preference among databases that handle sharing; may be null.
  virtual const void* Owner() const = 0;
  // The records of the database went back to an earlier state (a
  // rollback): the user must not stay on what is gone. Must not raise.
  virtual void RecordsRolledBack() noexcept {}
};

// The part of a progress display that one step of a longer operation uses:
// percentages from `start` to `end`, reported through `report`, which
// clears the continue flag to stop. `report` may be empty.
struct TABSProgressRange {
  int32_t start = 0;
  int32_t end = 100;
  std::function<void(int32_t percent, bool& continue_flag)> report;
};

class TABSDatabase {
 public:
  static constexpr const char* kRepairQuestion =
      "Database file was not correctly closed last time. Do you want to repair it?";
  static constexpr const char* kRepairCaption = "Repairing Database...";
  static constexpr const char* kPasswordCaption = "Database authentication";
  static constexpr const char* kPasswordLabel = "Password:";

  // Copies one table of `source` into `destination` (both connected) with
  // its indexes and auto-increment state; refusals go into `error_text`.
  using TableCopier =
      std::function<void(TABSDatabase& source, TABSDatabase& destination, const std::string& table,
                         const TABSProgressRange& range, bool& continue_flag, std::string& error_text)>;
  // Set by the table layer at start-up; without one Compact raises.
  static void SetTableCopier(TableCopier copier);
  static bool HasTableCopier();

  // `owner` is the form or data module the component lives on (may be
  // null), `name` the component's name used in its error messages.
  explicit TABSDatabase(const void* owner = nullptr, std::string name = {});
  // Disconnects (rolling back a transaction of its own) and leaves its
  // session; never raises.
  ~TABSDatabase();
  TABSDatabase(const TABSDatabase&) = delete;
  TABSDatabase& operator=(const TABSDatabase&) = delete;

  const std::string& Name() const { return name_; }
  const void* Owner() const { return owner_; }

  // --- Properties ---
  bool Connected() const { return connection_ != nullptr; }
  void SetConnected(bool connected);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }
  const std::string& DatabaseFileName() const { return file_name_; }
  // Another file disconnects first.
  void SetDatabaseFileName(std::string file_name);
  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(std::string_view alias);
  const std::string& SessionName() const { return session_name_; }
  void SetSessionName(std::string_view session_name);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value) { exclusive_ = value; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }
  bool MultiUser() const { return multi_user_; }
  void SetMultiUser(bool value) { multi_user_ = value; }
  // How lock requests of a later connection wait (tests count the sleeps
  // instead of sleeping).
  void SetLockPacing(TABSLockPacing pacing) { lock_pacing_ = std::move(pacing); }
  int32_t MaxConnections() const { return file_settings_.max_connections; }
  void SetMaxConnections(int32_t value) { file_settings_.max_connections = value; }
  bool KeepConnection() const { return keep_connection_; }
  // Off, a database without users disconnects.
  void SetKeepConnection(bool keep);
  bool HandleShared() const { return handle_shared_; }
  void SetHandleShared(bool value) { handle_shared_ = value; }
  const std::string& Password() const { return password_; }
  void SetPassword(std::string password) { password_ = std::move(password); }
  bool SilentMode() const { return silent_mode_; }
  void SetSilentMode(bool value) { silent_mode_ = value; }
  // Page size and pages per extent for a file to be created; after Connect
  // those of the open file.
  const TABSDatabaseFileSettings& FileSettings() const { return file_settings_; }
  void SetFileSettings(const TABSDatabaseFileSettings& settings) { file_settings_ = settings; }

  bool Temporary() const { return temporary_; }
  int32_t UseCount() const { return use_count_; }
  // The session SessionName names; raises "Invalid session name '%s'".
  TABSSession& Session() const;

  // --- Events ---
  // Answers whether to connect again (with the Password it may have set).
  std::function<bool(TABSDatabase&)> OnPassword;
  // Answers whether to repair the file.
  std::function<bool(TABSDatabase&)> OnNeedRepair;
  std::function<void(TABSDatabase&)> BeforeRepair;
  std::function<void(TABSDatabase&, int32_t percent, bool& continue_flag)> OnRepairProgress;
  std::function<void(TABSDatabase&)> AfterRepair;

  // --- Datasets ---
  // The connection; raises when not connected.
  TABSLocalSession& Connection() const;
  void AddUser(TABSDatabaseUser& user);
  void RemoveUser(TABSDatabaseUser& user) noexcept;
  const std::vector<TABSDatabaseUser*>& Users() const { return users_; }

  // --- Operations ---
  void CreateDatabase();
  // Refused while the process has the file open.
  void DeleteDatabase();
  bool Exists() const;
  bool TableExists(std::string_view table_name);
  // Errors are swallowed, leaving the list as far as it got.
  void GetTablesList(std::vector<std::string>& list) noexcept;

  void StartTransaction();
  void Commit(bool flush = false);
  void Rollback();
  bool InTransaction() const;

  // Rebuilds the file; returns the error text, empty on success. The file
  // is replaced only by a whole copy; any failure or a stop leaves it as it
  // was and removes the copy.
  std::string Compact();

 private:
  friend class TABSSession;
  struct TemporaryKey {};

 public:
  // A temporary database of a session, created for an alias.
  TABSDatabase(TemporaryKey, std::string_view alias, bool keep_connection);

 private:
  void Connect();
  void Disconnect();
  void DisconnectQuietly() noexcept;
  // Connect step by step: a shared connection, or the file opened (with
  // the password question), then the needs-repair check.
  bool ConnectShared(TABSSession& session);
  void OpenConnection();
  bool AskPasswordAgain();
  void CheckNeedsRepair();
  bool DecideRepair();
  void Repair();
  void TakeOverFileSettings();
  TABSSessionSettings ConnectionSettings() const;
  void CloseUsers() noexcept;
  void RollbackOwnTransaction() noexcept;
  // Tells the users of every component standing on the same open database
  // (a rollback undoes the pages of all of them) that records went back.
  void NotifyRollback() noexcept;
  void CheckCreateDelete(const char* operation);
  void CheckFileNotOpen(bool compacting) const;
  [[noreturn]] void Fail(std::string_view text) const;

  // Compact's steps.
  std::string CompactFile();
  void ReportProgress(int32_t percent, bool& continue_flag);

  const void* owner_;
  std::string name_;
  std::string file_name_;
  std::string database_name_;
  std::string session_name_;
  bool exclusive_ = false;
  bool read_only_ = false;
  bool multi_user_ = false;
  TABSLockPacing lock_pacing_;
  bool keep_connection_ = true;
  bool handle_shared_ = false;
  bool silent_mode_ = false;
  std::string password_;
  TABSDatabaseFileSettings file_settings_;
  bool temporary_ = false;
  int32_t use_count_ = 0;
  std::vector<TABSDatabaseUser*> users_;
  // Shared between components that handle sharing: the last one to let go
  // closes it.
  std::shared_ptr<TABSLocalSession> connection_;
  bool owns_transaction_ = false;
  // Connects made by Compact (its own and the copy's) ask nothing; a repair
  // under way answers "no" to another.
  bool compacting_ = false;
  bool repairing_ = false;
  bool progress_window_ = false;
  // Datasets closed by Disconnect release the database meanwhile: that
  // must neither disconnect it again nor free it.
  bool disconnecting_ = false;
};

}  // namespace kelvorin
