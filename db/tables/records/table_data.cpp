#include "db/tables/records/table_data.h"

#include <algorithm>

namespace kelvorin {

void TABSTableData::AddCursor(TABSCursor& cursor) {
  cursors_.push_back(&cursor);
  cursor.SetTable(this);
}

void TABSTableData::RemoveCursor(TABSCursor& cursor) {
  cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), &cursor), cursors_.end());
  if (cursor.Table() == this) cursor.SetTable(nullptr);
}

void TABSTableData::RollbackHook(int32_t) {}
bool TABSTableData::LockTable(int32_t, TABSLockType, TABSLockWait) { return true; }
void TABSTableData::UnlockTable(int32_t, TABSLockType) {}
bool TABSTableData::LockRecord(int32_t, const TABSRecordId&, TABSLockWait) { return true; }
bool TABSTableData::UnlockRecord(int32_t, const TABSRecordId&) { return true; }
void TABSTableData::DeleteAllRecords(int32_t) {}
void TABSTableData::DeleteAllBlobs(int32_t) {}

}  // namespace kelvorin
