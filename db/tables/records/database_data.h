// TABSDatabaseData: one object per database open in the process, shared by
// every session that uses it. It hands out session numbers, keeps the table
// objects open on the database, hands out object numbers and turns a
// session's page changes into commits and rollbacks. The disk, memory and
// temporary databases derive from it.
//
// Every operation runs inside the object's critical section.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "db/tables/records/base_session.h"
#include "db/tables/records/cursor.h"
#include "db/tables/records/table_data.h"

namespace kelvorin {

class TABSPageManager;

class TABSDatabaseData {
 public:
  explicit TABSDatabaseData(std::string name) : name_(std::move(name)) {}
  virtual ~TABSDatabaseData();
  TABSDatabaseData(const TABSDatabaseData&) = delete;
  TABSDatabaseData& operator=(const TABSDatabaseData&) = delete;

  std::recursive_mutex& CriticalSection() { return critical_section_; }
  const std::string& Name() const { return name_; }
  TABSPageManager* PageManager() const { return page_manager_; }
  bool ReadOnly() const { return read_only_; }
  bool MultiUser() const { return multi_user_; }
  const std::vector<TABSBaseSession*>& Sessions() const { return sessions_; }
  const std::vector<std::unique_ptr<TABSTableData>>& Tables() const { return tables_; }

  // Appends the session and gives it session number 0.
  virtual void ConnectSession(TABSBaseSession& session);
  virtual void DisconnectSession(TABSBaseSession& session);
  // Closes what the object holds once no session uses it; true when the
  // caller may then destroy it.
  virtual bool ReleaseIfUnused();
  // The names of the open table objects.
  virtual std::vector<std::string> GetTableNames();
  virtual void OpenStorage();
  // Creates the table object named by the cursor and appends it.
  virtual TABSTableData* CreateTableObject(TABSCursor& cursor) = 0;
  TABSTableData* FindTableObject(std::string_view table_name);
  TABSTableData* GetTableObject(TABSCursor& cursor);
  virtual int32_t NextObjectNumber() = 0;
  // Explicit transactions, per session number: sessions that share a number
  // (single-user mode) share the transaction. A commit or rollback that
  // succeeds ends it; a failed one keeps it open.
  virtual void StartTransaction(int32_t session);
  bool InTransaction(int32_t session) const;
  virtual void CommitTransaction(int32_t session, bool flush);
  // Rolls the session's pages back, then lets every open table reread what
  // it caches about them.
  virtual void RollbackTransaction(int32_t session);

  // Whether a table of the name exists (hidden ones included).
  virtual bool TableExists(std::string_view table_name);

 protected:
  void SetPageManager(TABSPageManager* manager) { page_manager_ = manager; }
  void SetReadOnly(bool value) { read_only_ = value; }
  void SetMultiUser(bool value) { multi_user_ = value; }
  TABSTableData* AddTableObject(std::unique_ptr<TABSTableData> table);
  // Destroys a table object once no cursor has it open.
  void DropTableObject(TABSTableData* table);
  // Destroys every table object (the storage they use is going away).
  void DropTableObjects() { tables_.clear(); }
  void RemoveSession(TABSBaseSession& session);
  void EndTransaction(int32_t session);

 private:
  std::recursive_mutex critical_section_;
  std::string name_;
  TABSPageManager* page_manager_ = nullptr;
  bool read_only_ = false;
  bool multi_user_ = false;
  std::vector<TABSBaseSession*> sessions_;
  std::vector<std::unique_ptr<TABSTableData>> tables_;
  std::vector<int32_t> transactions_;  // page sessions in an explicit transaction
};

// Keeps a session connected to a database for the object's life.
class TABSSessionConnection {
 public:
  TABSSessionConnection(TABSDatabaseData& database, TABSBaseSession& session)
      : database_(database), session_(session) {
    database_.ConnectSession(session_);
  }
  TABSSessionConnection(const TABSSessionConnection&) = delete;
  TABSSessionConnection& operator=(const TABSSessionConnection&) = delete;
  ~TABSSessionConnection() {
    try {
      database_.DisconnectSession(session_);
    } catch (...) {
      // Closing the file releases the session's locks anyway.
    }
  }

 private:
  TABSDatabaseData& database_;
  TABSBaseSession& session_;
};

}  // namespace kelvorin
