// TABSHiddenTable: the table a whole-table copy fills before it takes the
// name of the table it makes or replaces. In a database file it is created
// under a hidden name, filled in transactions of a few megabytes each, and
// given its name in one commit of the system session, in which a table it
// replaces is deleted. Whenever the process stops, the name holds the old table or
// the whole new one; a hidden table left behind is reported by the checker
// and dropped by Compact. A hidden table that never took its name is
// dropped when the object goes.
//
// The memory and temporary databases do not outlive the process: there the
// filled table replaces the old one by a delete and a rename (no other
// process can write between them, so the change counter is not checked).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/local/local_cursor.h"
#include "db/tables/metadata/table_metadata.h"

namespace kelvorin {

// The definitions a copy is created from: fresh copies without the
// temporary indexes (the table's roots, counters and numbers are its own).
void CopyDefinitions(const TABSTableMetadata& from, TABSTableMetadata& to);

class TABSHiddenTable {
 public:
  // Bytes of records a fill commits at a time.
  static constexpr int64_t kBatchBytes = int64_t{4} << 20;

  // Creates the table and opens it exclusively.
  TABSHiddenTable(TABSLocalSession& session, const TABSTableMetadata& definitions, std::string_view target);
  // Drops the table unless it took its name.
  ~TABSHiddenTable();
  TABSHiddenTable(const TABSHiddenTable&) = delete;
  TABSHiddenTable& operator=(const TABSHiddenTable&) = delete;

  const std::string& Name() const { return name_; }
  TABSTableData& Table() const { return cursor_->OpenTable(); }
  TABSLocalCursor& Cursor() const { return *cursor_; }

  // A new record of the table (every field NULL, then the defaults).
  uint8_t* NewRecord();
  // Posts the record NewRecord gave; `blob_bytes`: the BLOB bytes it
  // carries, counted toward the batch. A refused record raises the
  // engine's error and leaves the table as it was before the record.
  void Append(int64_t blob_bytes = 0);
  // From here the first refused record ends the fill (the table is then
  // dropped): records go in without a savepoint each, and a refusal rolls
  // back the open batch. Only for a table of a database file.
  void AllOrNothing();
  // Commits the last batch.
  void Finish();
  // After Finish: the table takes the name `target` (see above), its
  // auto-increment counters rise to `autoinc_floors` (by field number),
  // and a table it replaces is deleted in the same commit.
  // `expected_change_counter`: see TABSDiskDatabaseData::SwapHiddenTable.
  void TakeName(const std::vector<int64_t>& autoinc_floors, int64_t expected_change_counter = -1);
  // Records appended so far.
  int64_t Count() const { return count_; }

 private:
  bool Hidden() const { return disk_ != nullptr; }
  void Drop() noexcept;
  void SetAllOrNothing(bool all_or_nothing) noexcept;

  TABSLocalSession& session_;
  TABSDiskDatabaseData* disk_;
  std::string target_;
  std::string name_;
  std::unique_ptr<TABSLocalCursor> cursor_;
  std::vector<uint8_t> record_;
  int64_t batch_bytes_ = 0;
  int64_t count_ = 0;
  bool in_batch_ = false;
  bool all_or_nothing_ = false;
  bool named_ = false;
};

}  // namespace kelvorin
