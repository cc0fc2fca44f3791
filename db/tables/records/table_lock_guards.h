// Scoped table and record locks of a session on a table object, released
// on every way out. The read lock belongs around every read operation of a
// table (fetching a record, counting records, converting between record
// ids and numbers, reading through an index, building a filter, opening a
// BLOB): it raises the operation's "Table is locked" when it cannot be had,
// so that a timeout is never mistaken for a missing record. The other
// holds report whether they were granted and leave the answer to the
// caller (a refused edit, post or delete).
#pragma once

#include <cstdint>

#include "db/storage/errors/native_errors.h"
#include "db/tables/records/table_data.h"

namespace kelvorin {

class TABSTableReadLock {
 public:
  TABSTableReadLock(TABSTableData& table, int32_t session, const TABSNativeError& locked_error);
  ~TABSTableReadLock();
  TABSTableReadLock(const TABSTableReadLock&) = delete;
  TABSTableReadLock& operator=(const TABSTableReadLock&) = delete;

 private:
  TABSTableData& table_;
  int32_t session_;
};

class TABSTableLockHold {
 public:
  TABSTableLockHold(TABSTableData& table, int32_t session, TABSLockType type, TABSLockWait wait);
  ~TABSTableLockHold();
  TABSTableLockHold(const TABSTableLockHold&) = delete;
  TABSTableLockHold& operator=(const TABSTableLockHold&) = delete;

  bool Granted() const { return granted_; }
  // Releases now, raising what the release raises; later releases do nothing.
  void Release();
  // Leaves the lock held (a transaction's, released when it ends).
  void Keep() { granted_ = false; }

 private:
  TABSTableData& table_;
  int32_t session_;
  TABSLockType type_;
  bool granted_;
};

// A record lock that the session holds already (its edit took it) is
// granted without a request of its own, and left to its owner.
class TABSRecordLockHold {
 public:
  TABSRecordLockHold(TABSTableData& table, int32_t session, const TABSRecordId& id, TABSLockWait wait);
  ~TABSRecordLockHold();
  TABSRecordLockHold(const TABSRecordLockHold&) = delete;
  TABSRecordLockHold& operator=(const TABSRecordLockHold&) = delete;

  bool Granted() const { return granted_; }
  void Release();

 private:
  TABSTableData& table_;
  int32_t session_;
  TABSRecordId id_;
  bool granted_;
  bool owned_ = false;
};

}  // namespace kelvorin
