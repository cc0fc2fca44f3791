// TABSCursorLockLedger: the table and record locks an edit of one cursor
// holds (between processes, in a multi-user database), so that each is
// released exactly once whatever path the edit ends on: post, cancel,
// delete, close, or a refusal that already let them go.
//
// The edit's table lock depends on the transaction: an edit begun outside
// one holds the edit lock (type 2) until it ends; one begun inside holds
// the transaction's write lock (type 3), which stays until the transaction
// ends, when the lock manager hands the edit an edit lock of its own in
// its place.
#pragma once

#include <cstdint>
#include <optional>

#include "db/tables/records/table_data.h"

namespace kelvorin {

class TABSCursorLockLedger {
 public:
  TABSCursorLockLedger() = default;
  TABSCursorLockLedger(const TABSCursorLockLedger&) = delete;
  TABSCursorLockLedger& operator=(const TABSCursorLockLedger&) = delete;

  // The table whose locks the ledger keeps, and the session they are held for.
  void Bind(TABSTableData* table, int32_t session) {
    table_ = table;
    session_ = session;
  }

  // False when the lock cannot be had (nothing is then held for it).
  bool LockEditTable(bool in_transaction, TABSLockWait wait);
  bool LockRecord(const TABSRecordId& id, TABSLockWait wait);

  bool HoldsEditTable() const { return edit_table_.has_value(); }
  bool HoldsRecord() const { return record_.has_value(); }
  const std::optional<TABSRecordId>& Record() const { return record_; }

  // Releases the record lock and the edit's table lock as the transaction
  // state now says (see above). Every release is tried; the first failure
  // is raised afterwards. Releasing what is no longer held does nothing.
  void ReleaseEdit(bool in_transaction_now);

 private:
  void ReleaseRecord();
  void ReleaseEditTable(bool in_transaction_now);

  TABSTableData* table_ = nullptr;
  int32_t session_ = -1;
  // Whether the edit began inside a transaction (its lock is then type 3).
  std::optional<bool> edit_table_;
  std::optional<TABSRecordId> record_;
};

}  // namespace kelvorin
