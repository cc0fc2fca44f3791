#include "db/tables/records/table_lock_guards.h"

#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

TABSTableReadLock::TABSTableReadLock(TABSTableData& table, int32_t session, const TABSNativeError& locked_error)
    : table_(table), session_(session) {
  if (!table_.LockTable(session_, TABSLockType::kRead, lock_wait::kRead)) {
    throw EABSException(locked_error, {table_.Name()});
  }
}

TABSTableReadLock::~TABSTableReadLock() {
  try {
    table_.UnlockTable(session_, TABSLockType::kRead);
  } catch (...) {
    // The entry stays; the session's disconnect releases it.
  }
}

TABSTableLockHold::TABSTableLockHold(TABSTableData& table, int32_t session, TABSLockType type, TABSLockWait wait)
    : table_(table), session_(session), type_(type), granted_(table.LockTable(session, type, wait)) {}

TABSTableLockHold::~TABSTableLockHold() {
  try {
    Release();
  } catch (...) {
  }
}

void TABSTableLockHold::Release() {
  if (!granted_) return;
  granted_ = false;
  table_.UnlockTable(session_, type_);
}

TABSRecordLockHold::TABSRecordLockHold(TABSTableData& table, int32_t session, const TABSRecordId& id,
                                       TABSLockWait wait)
    : table_(table), session_(session), id_(id), granted_(table.HoldsRecordLock(session, id)) {
  if (granted_) return;
  granted_ = owned_ = table.LockRecord(session, id, wait);
}

TABSRecordLockHold::~TABSRecordLockHold() {
  try {
    Release();
  } catch (...) {
  }
}

void TABSRecordLockHold::Release() {
  const bool owned = owned_;
  granted_ = owned_ = false;
  if (owned) table_.UnlockRecord(session_, id_);
}

}  // namespace kelvorin
