// TABSTableData: one object per table open in the process, shared by every
// cursor open on that table. It ties the table's definitions (metadata) and
// its state block to the storage that keeps them; the disk, memory and
// temporary tables derive from it and supply the storage.
//
// Extension points for the records layer (record and BLOB managers, the
// auto-increment numbering and the insert, update and delete flows) are the
// virtual hooks below, each with what a table that holds no records needs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "db/tables/metadata/table_metadata.h"
#include "db/tables/records/cursor.h"
#include "db/tables/records/table_state.h"

namespace kelvorin {

class TABSDatabaseData;
class TABSPageManager;
class TABSBaseRecordManager;

class TABSTableData {
 public:
  TABSTableData(TABSDatabaseData& database, std::string name, TABSPageManager* page_manager)
      : database_(&database), name_(std::move(name)), page_manager_(page_manager) {}
  virtual ~TABSTableData() = default;
  TABSTableData(const TABSTableData&) = delete;
  TABSTableData& operator=(const TABSTableData&) = delete;

  // Serialises all work on the table within the process.
  std::recursive_mutex& CriticalSection() { return critical_section_; }
  TABSDatabaseData& Database() const { return *database_; }
  TABSPageManager* PageManager() const { return page_manager_; }
  const std::string& Name() const { return name_; }

  TABSTableMetadata& Metadata() { return metadata_; }
  const TABSTableMetadata& Metadata() const { return metadata_; }
  const TABSTableState& State() const { return state_; }
  int64_t RecordCount() const { return state_.record_count; }
  int32_t ChangeCounter() const { return state_.change_counter; }

  // The storage's record manager; none while the table holds no storage.
  virtual TABSBaseRecordManager* RecordManager() { return nullptr; }

  const std::vector<TABSCursor*>& Cursors() const { return cursors_; }
  void AddCursor(TABSCursor& cursor);
  void RemoveCursor(TABSCursor& cursor);

  // Called by the database after a session's pages were rolled back, so that
  // what is cached about them returns to the committed values.
  virtual void RollbackHook(int32_t session);

 protected:
  void SetName(std::string name) { name_ = std::move(name); }
  TABSTableState& MutableState() { return state_; }

  // Removes every record and every BLOB of the table in the session (the
  // table stays, with its indexes emptied by the caller). A table without a
  // record manager holds nothing to remove.
  virtual void DeleteAllRecords(int32_t session);
  virtual void DeleteAllBlobs(int32_t session);

 private:
  std::recursive_mutex critical_section_;
  TABSDatabaseData* database_;
  std::string name_;
  TABSPageManager* page_manager_;
  TABSTableMetadata metadata_;
  TABSTableState state_;
  std::vector<TABSCursor*> cursors_;
};

}  // namespace kelvorin
