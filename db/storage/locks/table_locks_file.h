// TABSTableLocksFile: one table's locks file, a direct-access internal file
// of 12 bytes per connection slot, bound by its start page. Its bytes are
// the targets of the table's byte-range locks:
//
//   t * N + s          locked while slot s holds a table lock of type t (0..4)
//   5 * N + s          locked while slot s holds a record lock on the table
//   6 * N + 6 * s      6 bytes: the record id {page i32, slot u16} slot s locked
//
// and the file's own lock (the first byte of its first page) is held by
// every lock change for its duration and by an exclusive lock for as long
// as it lasts. "Does another slot hold type t" is answered by testing the
// two regions around the own byte (this open's own locks count as locked,
// so the own byte must stay outside), each split at page boundaries.
#pragma once

#include <cstdint>
#include <optional>

#include "db/storage/catalog/direct_file.h"
#include "db/storage/locks/lock_types.h"
#include "db/tables/btree/record_id.h"

namespace kelvorin {

class TABSTableLocksFile {
 public:
  static constexpr int32_t kBytesPerConnection = 12;

  // Opens the file at start_page; raises "Invalid database format" unless it
  // has 12 bytes per connection.
  TABSTableLocksFile(TABSDiskPageManager& manager, int32_t start_page, int32_t max_connections);
  TABSTableLocksFile(const TABSTableLocksFile&) = delete;
  TABSTableLocksFile& operator=(const TABSTableLocksFile&) = delete;

  int32_t StartPage() const { return file_.StartPage(); }
  int32_t MaxConnections() const { return connections_; }

  bool LockFile() { return file_.LockFile(); }
  bool UnlockFile() { return file_.UnlockFile(); }

  // The byte of a table lock type (0..4) or of the record lock (5).
  int32_t LockByte(TABSLockType type, int32_t slot) const { return LockTypeIndex(type) * connections_ + slot; }
  bool Lock(TABSLockType type, int32_t slot) { return file_.LockByte(LockByte(type, slot)); }
  bool Unlock(TABSLockType type, int32_t slot) { return file_.UnlockByte(LockByte(type, slot)); }
  // Whether any slot but `slot` holds the type (`slot` may lie outside the
  // slots: then every slot counts).
  bool OtherSlotHolds(TABSLockType type, int32_t slot);
  // Whether this slot's byte of the type is locked by anyone (diagnostics:
  // an open's own locks count).
  bool SlotHolds(TABSLockType type, int32_t slot) { return file_.IsByteLocked(LockByte(type, slot)); }

  TABSRecordId ReadRecordId(int32_t slot);
  void WriteRecordId(int32_t slot, const TABSRecordId& id);
  // Another slot whose record lock is on `id`, if any.
  std::optional<int32_t> RecordHolder(int32_t slot, const TABSRecordId& id);

 private:
  int32_t RecordIdPosition(int32_t slot) const { return 6 * connections_ + 6 * slot; }

  TABSInternalDBDirectAccessFile file_;
  int32_t connections_;
};

}  // namespace kelvorin
