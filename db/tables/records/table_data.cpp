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
void TABSTableData::DeleteAllRecords(int32_t) {}
void TABSTableData::DeleteAllBlobs(int32_t) {}

}  // namespace kelvorin
