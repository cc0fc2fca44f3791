#include "db/access/local/cursor_lock_ledger.h"

#include <exception>

namespace kelvorin {

bool TABSCursorLockLedger::LockEditTable(bool in_transaction, TABSLockWait wait) {
  if (edit_table_) return true;
  const TABSLockType type = in_transaction ? TABSLockType::kTransactionWrite : TABSLockType::kEdit;
  if (!table_->LockTable(session_, type, wait)) return false;
  edit_table_ = in_transaction;
  return true;
}

bool TABSCursorLockLedger::LockRecord(const TABSRecordId& id, TABSLockWait wait) {
  if (record_) return *record_ == id;
  if (!table_->LockRecord(session_, id, wait)) return false;
  record_ = id;
  return true;
}

void TABSCursorLockLedger::ReleaseRecord() {
  if (!record_) return;
  const TABSRecordId id = *record_;
  record_.reset();
  table_->UnlockRecord(session_, id);
}

void TABSCursorLockLedger::ReleaseEditTable(bool in_transaction_now) {
  if (!edit_table_) return;
  const bool begun_in_transaction = *edit_table_;
  edit_table_.reset();
  if (!begun_in_transaction) {
    table_->UnlockTable(session_, TABSLockType::kEdit);
    return;
  }
  // The transaction's write lock is the transaction's to release.
  if (in_transaction_now) return;
  // The transaction ended during the edit: the edit lock the lock manager
  // gave in its place goes now, if it could be had then.
  try {
    table_->UnlockTable(session_, TABSLockType::kEdit);
  } catch (...) {
  }
}

void TABSCursorLockLedger::ReleaseEdit(bool in_transaction_now) {
  std::exception_ptr failure;
  try {
    ReleaseRecord();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    ReleaseEditTable(in_transaction_now);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kelvorin
