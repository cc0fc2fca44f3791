// TABSLocalSession: the connection of one database component to one
// database: the settings it connects with, the shared open-database object
// while connected (its session number is the connection identifier used
// for locks and transactions), the questions answered by that object
// (tables, the record page check) and explicit transactions.
//
// TABSOpenDatabases: the process-wide, thread-safe list of open databases
// that sessions share. A database file is known by its device and inode,
// so that two spellings of one path give one object and two different
// files never share one. The aliases "MEMORY" and "TEMP" name the
// process's memory and temporary databases, which live as long as the
// process and so are never closed by the list.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/temporary/volatile_database_data.h"
#include "platform/file.h"

namespace kelvorin {

struct TABSSessionSettings {
  // The database: a file name, or the alias "MEMORY" or "TEMP".
  std::string file_name;
  TABSPassword password;
  bool read_only = false;
  bool exclusive = false;
  bool multi_user = false;
  // For a file that is created, or as the open file has them once connected.
  TABSDatabaseFileSettings file;
  // How lock requests of a database opened for this session wait.
  TABSLockPacing lock_pacing;
};

class TABSLocalSession;

class TABSOpenDatabases {
 public:
  // The list of this process.
  static TABSOpenDatabases& Process();

  TABSOpenDatabases() = default;
  ~TABSOpenDatabases();
  TABSOpenDatabases(const TABSOpenDatabases&) = delete;
  TABSOpenDatabases& operator=(const TABSOpenDatabases&) = delete;

  // Finds the database of the settings (or opens one and lists it) and
  // connects the session to it.
  TABSDatabaseData& Connect(TABSBaseSession& session, const TABSSessionSettings& settings);
  // Disconnects the session; the last session's leaving closes the database
  // and takes it off the list. The session is gone from it whatever happens.
  void Disconnect(TABSDatabaseData& database, TABSBaseSession& session);
  // Whether the file is open in this list (the memory and temporary
  // databases always are).
  bool IsOpen(const std::string& file_name);
  // The memory or temporary database the name is the alias of, if any.
  static TABSVolatileDatabaseData* FindAlias(std::string_view name);
  int32_t Count();

 private:
  struct Entry {
    platform::FileIdentity identity;
    std::unique_ptr<TABSDatabaseData> database;
  };

  TABSDatabaseData& ConnectFile(TABSBaseSession& session, const TABSSessionSettings& settings);
  Entry* Find(const platform::FileIdentity& identity);

  std::mutex mutex_;
  std::vector<Entry> entries_;
};

class TABSLocalSession : public TABSBaseSession {
 public:
  explicit TABSLocalSession(TABSSessionSettings settings, TABSOpenDatabases& list = TABSOpenDatabases::Process());
  // Disconnects (an open transaction of its own is rolled back by the
  // database's disconnect).
  ~TABSLocalSession() override;

  const TABSSessionSettings& Settings() const { return settings_; }
  bool Connected() const { return database_ != nullptr; }
  void Connect();
  void Disconnect();
  // The open database; raises when not connected.
  TABSDatabaseData& Database() const;
  // The database file, or none for "MEMORY" and "TEMP".
  TABSDiskDatabaseData* DiskDatabase() const;
  // The memory or temporary database, or none for a file.
  TABSVolatileDatabaseData* VolatileDatabase() const;
  bool ReadOnly() const { return settings_.read_only; }

  // Creates the settings' database file; refused when this process has it
  // open.
  static void CreateDatabase(const TABSSessionSettings& settings,
                             TABSOpenDatabases& list = TABSOpenDatabases::Process());

  // Asked of the open database; a session that is not connected asks
  // through a connection made for the question and closed again.
  bool TableExists(std::string_view name);
  std::vector<std::string> TableNames();

  // Switches the record page check of a database file (compacting it
  // copies every page it can).
  void SetRecordPageCheck(bool on);

  // Explicit transactions of the session's page session: the flag lives on
  // the open database, so that sessions sharing a page session share it.
  // The memory and temporary databases keep every operation when it ends,
  // so a transaction there is the session's own flag: its commit and
  // rollback find nothing left to keep or undo.
  void StartTransaction();
  void Commit(bool flush = false);
  void Rollback();
  bool InTransaction() const;

 private:
  template <typename Answer>
  auto Ask(Answer answer);

  TABSSessionSettings settings_;
  TABSOpenDatabases* list_;
  TABSDatabaseData* database_ = nullptr;
  bool volatile_transaction_ = false;
};

}  // namespace kelvorin
