// TABSTableLockList: the table and record locks one connection slot of this
// process holds, one entry per lock type and table, with a nesting count
// (only the first request and the last release touch the file) and whether
// the entry holds its byte in the table's locks file (an entry covered by
// the slot's exclusive lock holds none).
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/locks/lock_types.h"
#include "db/tables/btree/record_id.h"

namespace kelvorin {

struct TABSTableLockEntry {
  TABSLockType type;
  int32_t table;  // the start page of the table's locks file
  int32_t count;
  bool file_locked;
  TABSRecordId record;  // the locked record, for a record lock
};

class TABSTableLockList {
 public:
  TABSTableLockList() = default;
  TABSTableLockList(const TABSTableLockList&) = delete;
  TABSTableLockList& operator=(const TABSTableLockList&) = delete;
  TABSTableLockList(TABSTableLockList&&) = default;
  TABSTableLockList& operator=(TABSTableLockList&&) = default;

  bool Empty() const { return entries_.empty(); }
  const std::vector<TABSTableLockEntry>& Entries() const { return entries_; }

  TABSTableLockEntry* Find(TABSLockType type, int32_t table);
  // Whether any entry of the table covers the requested type.
  bool Covers(int32_t table, TABSLockType requested) const;
  bool HasTable(int32_t table) const;
  void Add(const TABSTableLockEntry& entry) { entries_.push_back(entry); }
  // Only once its byte is free (or it never had one).
  void Remove(TABSLockType type, int32_t table);
  // Raises "Some table locks still exist" while an entry remains: a list
  // is given up only once every lock of its slot is gone.
  void CheckEmpty() const;

 private:
  std::vector<TABSTableLockEntry> entries_;
};

}  // namespace kelvorin
