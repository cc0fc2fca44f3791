#include "db/storage/locks/table_lock_list.h"

#include <algorithm>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/errors/native_errors.h"

namespace kelvorin {

TABSTableLockEntry* TABSTableLockList::Find(TABSLockType type, int32_t table) {
  for (TABSTableLockEntry& entry : entries_) {
    if (entry.type == type && entry.table == table) return &entry;
  }
  return nullptr;
}

bool TABSTableLockList::Covers(int32_t table, TABSLockType requested) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const TABSTableLockEntry& entry) {
    return entry.table == table && LockCovers(entry.type, requested);
  });
}

bool TABSTableLockList::HasTable(int32_t table) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const TABSTableLockEntry& entry) { return entry.table == table; });
}

void TABSTableLockList::Remove(TABSLockType type, int32_t table) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const TABSTableLockEntry& entry) {
                                  return entry.type == type && entry.table == table;
                                }),
                 entries_.end());
}

void TABSTableLockList::CheckEmpty() const {
  if (!entries_.empty()) throw EABSException(native::kSomeTableLocksExist20201);
}

}  // namespace kelvorin
