// What the locks of a database file show to an outsider: the connection
// slots taken and the table and record locks held, found by testing the
// bytes of the sessions file and of every table's locks file from an open
// of its own (writable where the file allows, so that read locks show
// too). It takes nothing but each file's lock for the moment of testing;
// an exclusive lock shows as a file lock that cannot be had, whose slot
// the file does not record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/storage/file/page_cipher.h"
#include "db/storage/locks/lock_types.h"
#include "db/tables/btree/record_id.h"

namespace kelvorin {

struct TABSHeldLock {
  static constexpr int32_t kUnknownSlot = -1;

  int32_t slot;
  std::string table;
  TABSLockType type;
  TABSRecordId record;  // of a record lock
};

struct TABSLockReport {
  int32_t connections = 0;
  std::vector<int32_t> connected_slots;
  std::vector<TABSHeldLock> locks;  // by table, then slot, then type

  bool EverySlotTaken() const { return connections > 0 && static_cast<int32_t>(connected_slots.size()) == connections; }
};

std::string_view LockTypeName(TABSLockType type);

TABSLockReport InspectLocks(const std::string& path, const TABSPassword& password);

}  // namespace kelvorin
