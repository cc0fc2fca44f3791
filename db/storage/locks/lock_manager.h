// TABSDatabaseTableLockManager: the table and record locks that the
// connection slots of this process hold on the tables of one database file
// in multi-user mode. Per slot it keeps a lock list (made when the slot
// first locks, dropped when its last lock goes), so that nested requests
// are counted in memory and only the first request and the last release
// touch the table's locks file.
//
// A request takes the table's file lock, tests the bytes of every type it
// cannot coexist with in the regions of the other slots, locks its own
// byte and lets the file lock go, on every try, whether it succeeded or
// not; between tries it leaves the critical section and sleeps. Releasing
// unlocks the own byte without the file lock (that creates no conflict) and
// never waits. Only the exclusive lock covers other requests of its slot;
// when it goes, the slot's remaining locks on the table get their bytes
// first. An entry goes only once its byte is free.
//
// The locks files are bound by their start pages for as long as a lock or
// an open table object uses them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "db/storage/errors/native_errors.h"
#include "db/storage/locks/table_lock_list.h"
#include "db/storage/locks/table_locks_file.h"
#include "db/storage/pages/page_random.h"

namespace kelvorin {

// How the manager waits between tries; tests replace both.
struct TABSLockPacing {
  std::function<void(int32_t ms)> sleep;            // empty: really sleep
  std::function<int32_t(int32_t bound)> random;     // uniform in [0, bound); empty: the manager's own
};

class TABSDatabaseTableLockManager {
 public:
  TABSDatabaseTableLockManager(TABSDiskPageManager& pages, int32_t max_connections, TABSLockPacing pacing = {});
  // Releases whatever is still held (closing the file would too); never raises.
  ~TABSDatabaseTableLockManager();
  TABSDatabaseTableLockManager(const TABSDatabaseTableLockManager&) = delete;
  TABSDatabaseTableLockManager& operator=(const TABSDatabaseTableLockManager&) = delete;

  int32_t MaxConnections() const { return connections_; }

  // Keeps a table's locks file bound while a table object uses it; binding
  // raises "Invalid database format" for a file of the wrong size.
  void AttachTable(int32_t table);
  void DetachTable(int32_t table) noexcept;

  // `table` is the start page of the table's locks file. A request that
  // cannot be had within its tries reports false; a repeated edit lock and
  // a second record lock of a slot on one table report false at once.
  bool LockTable(int32_t slot, TABSLockType type, TABSLockWait wait, int32_t table);
  // Takes one count off; the last one frees the byte. Raises "Cannot remove
  // table lock. Lock not found" when the slot holds no such lock.
  void UnlockTable(int32_t slot, TABSLockType type, int32_t table);
  bool LockRecord(int32_t slot, int32_t table, TABSLockWait wait, const TABSRecordId& id);
  // False when the slot holds no lock on that record.
  bool UnlockRecord(int32_t slot, int32_t table, const TABSRecordId& id);

  // Before an explicit transaction's commit: a write lock on every table
  // the transaction wrote. False (with nothing of it left held) when one
  // cannot be had.
  bool BeforeCommit(int32_t slot);
  // The commit failed after BeforeCommit: gives its write locks back; the
  // transaction's own locks stay for a retry or a rollback.
  void CancelCommit(int32_t slot);
  // After an explicit transaction's commit, and at its rollback: an edit
  // still in progress gets the edit lock it needs outside a transaction,
  // then every transaction write lock and every write lock BeforeCommit
  // took are released, whatever happened. False when an edit lock could not
  // be had.
  bool AfterCommit(int32_t slot);
  // Releases every lock of the slot (its session disconnects); raises "Some
  // table locks still exist" when a byte could not be freed (its entry
  // stays).
  void ReleaseAll(int32_t slot);

  // Inspection.
  bool Holds(int32_t slot, TABSLockType type, int32_t table);
  bool HoldsRecord(int32_t slot, int32_t table, const TABSRecordId& id);
  // A copy of the slot's entries (none when it holds nothing).
  std::vector<TABSTableLockEntry> Entries(int32_t slot);
  // Slots with a lock list, and tables with a bound locks file.
  int32_t ListCount();
  int32_t BoundFileCount();

 private:
  using Lock = std::unique_lock<std::mutex>;
  enum class Try { kGranted, kRefused, kBusy };
  struct Binding {
    std::unique_ptr<TABSTableLocksFile> file;
    int32_t users = 0;  // attachments and entries
  };
  class FileLockHold;
  class UnusedBindingDrop;

  void CheckSlot(int32_t slot, const TABSNativeError& error) const;
  TABSTableLocksFile& Bind(int32_t table);
  void DropIfUnused(int32_t table) noexcept;
  TABSTableLockList& ListFor(int32_t slot) { return lists_[slot]; }
  TABSTableLockList* FindList(int32_t slot);
  TABSTableLockEntry* FindEntry(int32_t slot, TABSLockType type, int32_t table);
  void AddEntry(int32_t slot, const TABSTableLockEntry& entry);
  void RemoveEntry(int32_t slot, TABSLockType type, int32_t table);
  void Pause(Lock& lock, int32_t ms);
  int32_t TablePause(int32_t base);

  bool LockTableHeld(Lock& lock, int32_t slot, TABSLockType type, TABSLockWait wait, int32_t table);
  Try TryLockTable(int32_t slot, TABSLockType type, int32_t table);
  Try TryLockRecord(int32_t slot, int32_t table, const TABSRecordId& id);
  // Frees the entry's byte (an exclusive entry first gives the slot's other
  // entries on the table theirs), then removes the entry.
  void ReleaseEntry(int32_t slot, TABSLockType type, int32_t table, bool give_bytes);
  void GiveBytes(int32_t slot, int32_t table, TABSTableLocksFile& file);
  void UnlockTableHeld(int32_t slot, TABSLockType type, int32_t table);
  void ReleaseCommitWriteLocks(int32_t slot);

  TABSDiskPageManager& pages_;
  int32_t connections_;
  TABSLockPacing pacing_;
  TABSRandomSource random_;
  std::mutex mutex_;
  std::unordered_map<int32_t, TABSTableLockList> lists_;
  std::map<int32_t, Binding> files_;
  // Per slot, the tables on which BeforeCommit took a write lock.
  std::unordered_map<int32_t, std::vector<int32_t>> commit_write_locks_;
};

}  // namespace kelvorin
