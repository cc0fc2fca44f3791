#include "db/access/table/table_maintenance.h"

#include "db/access/dataset/dataset_errors.h"
#include "db/access/local/access_errors.h"
#include "db/access/table/hidden_table.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/records/table_data.h"
#include "db/tables/scans/table_scans.h"

namespace kelvorin {
namespace {

constexpr const char* kLineEnd = "\r\n";
// The exclusive table lock of index changes: sleep base and tries.
constexpr int32_t kIndexLockSleepMs = 100;
constexpr int32_t kIndexLockTries = 50;

}  // namespace

TABSIndexLock::TABSIndexLock(TABSLocalCursor& cursor) : cursor_(cursor) {
  if (!cursor_.LockTable(TABSLockType::kExclusive, kIndexLockSleepMs, kIndexLockTries)) {
    throw EABSException(native::kIndexExclusiveLock, {cursor_.TableName()});
  }
}

TABSIndexLock::~TABSIndexLock() {
  try {
    cursor_.UnlockTable(TABSLockType::kExclusive);
  } catch (...) {
  }
}

void AddTableIndex(TABSLocalCursor& cursor, std::unique_ptr<TABSIndexDef> index) {
  const TABSFieldDefs& fields = cursor.OpenTable().Metadata().Fields();
  for (const TABSIndexColumn& column : index->Columns()) {
    if (fields.Find(column.field_name) == nullptr) throw EABSException(native::kIndexFieldUnknown, {column.field_name});
  }
  const TABSIndexLock lock(cursor);
  cursor.AddIndex(std::move(index));
}

bool DeleteTableIndex(TABSLocalCursor& cursor, std::string_view name) {
  TABSTableData& table = cursor.OpenTable();
  const TABSIndexDef* index = table.Metadata().Indexes().Find(name);
  if (index == nullptr || index->Temporary()) throw EABSException(native::kIndexNotFound, {name});
  // Another cursor ordered by it would be left reading a dropped tree.
  for (TABSCursor* other : table.Cursors()) {
    const auto* scan = dynamic_cast<const TABSScanCursor*>(other);
    if (other != &cursor && scan != nullptr && scan->IndexId() == index->ObjectId()) {
      throw EABSException(native::kIndexInUse, {name});
    }
  }
  const bool was_current = cursor.IndexId() == index->ObjectId();
  const TABSIndexLock lock(cursor);
  cursor.DeleteIndex(name);
  return was_current;
}

bool RestructureStoredTable(TABSLocalSession& session, std::string_view table_name, const TABSRestructureEdit& edit,
                            const TABSStoredCopyRequest& request, bool& continue_flag, std::string& error_text) {
  // Held exclusively from here to the swap: nobody writes meanwhile.
  TABSCursorOptions options;
  options.exclusive = true;
  TABSLocalCursor reader(session, std::string(table_name), options);
  reader.Open();
  TABSTableData& source = reader.OpenTable();
  TABSTableMetadata definitions;
  edit(source.Metadata(), definitions);
  std::unique_ptr<TABSHiddenTable> rebuilt;
  try {
    rebuilt = std::make_unique<TABSHiddenTable>(session, definitions, table_name);
  } catch (const std::exception& error) {
    error_text += std::string("Error restructuring table. Cannot create table due to error: ") + error.what() +
                  kLineEnd;
    return false;
  }
  const TABSRecordMap map(source.Metadata().Fields(), rebuilt->Table().Metadata().Fields());
  TABSCopyMessages messages;
  bool copied = false;
  try {
    copied = CopyStoredRecords(reader, *rebuilt, map, request, continue_flag, messages);
  } catch (...) {
    error_text += messages.Text();
    throw;
  }
  error_text += messages.Text();
  if (!copied || !continue_flag) return false;
  const std::vector<int64_t> floors = AutoIncFloors(source, rebuilt->Table(), map);
  const int64_t counter = source.ChangeCounter();
  reader.Close();
  rebuilt->TakeName(floors, counter);
  return true;
}

}  // namespace kelvorin
