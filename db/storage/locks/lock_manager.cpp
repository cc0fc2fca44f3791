#include "db/storage/locks/lock_manager.h"

#include <chrono>
#include <exception>
#include <thread>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/locks/lock_errors.h"

namespace kelvorin {

// The table's file lock for one try: given back on every way out unless
// kept (an exclusive lock keeps it).
class TABSDatabaseTableLockManager::FileLockHold {
 public:
  explicit FileLockHold(TABSTableLocksFile& file) : file_(file), held_(file.LockFile()) {}
  FileLockHold(const FileLockHold&) = delete;
  FileLockHold& operator=(const FileLockHold&) = delete;
  ~FileLockHold() {
    if (held_) file_.UnlockFile();
  }
  bool Held() const { return held_; }
  void Keep() { held_ = false; }

 private:
  TABSTableLocksFile& file_;
  bool held_;
};

// Unbinds a locks file that a request bound but left no lock on.
class TABSDatabaseTableLockManager::UnusedBindingDrop {
 public:
  UnusedBindingDrop(TABSDatabaseTableLockManager& manager, int32_t table) : manager_(manager), table_(table) {}
  UnusedBindingDrop(const UnusedBindingDrop&) = delete;
  UnusedBindingDrop& operator=(const UnusedBindingDrop&) = delete;
  ~UnusedBindingDrop() { manager_.DropIfUnused(table_); }

 private:
  TABSDatabaseTableLockManager& manager_;
  int32_t table_;
};

TABSDatabaseTableLockManager::TABSDatabaseTableLockManager(TABSDiskPageManager& pages, int32_t max_connections,
                                                           TABSLockPacing pacing)
    : pages_(pages), connections_(max_connections), pacing_(std::move(pacing)) {}

TABSDatabaseTableLockManager::~TABSDatabaseTableLockManager() {
  std::vector<int32_t> slots;
  {
    const Lock lock(mutex_);
    for (const auto& [slot, list] : lists_) slots.push_back(slot);
  }
  for (const int32_t slot : slots) {
    try {
      ReleaseAll(slot);
    } catch (...) {
      // Closing the file releases what is left.
    }
  }
}

void TABSDatabaseTableLockManager::CheckSlot(int32_t slot, const TABSNativeError& error) const {
  if (slot < 0 || slot >= connections_) throw EABSException(error);
}

TABSTableLocksFile& TABSDatabaseTableLockManager::Bind(int32_t table) {
  Binding& binding = files_[table];
  if (!binding.file) {
    try {
      binding.file = std::make_unique<TABSTableLocksFile>(pages_, table, connections_);
    } catch (...) {
      files_.erase(table);
      throw;
    }
  }
  return *binding.file;
}

void TABSDatabaseTableLockManager::DropIfUnused(int32_t table) noexcept {
  const auto it = files_.find(table);
  if (it != files_.end() && it->second.users <= 0) files_.erase(it);
}

void TABSDatabaseTableLockManager::AttachTable(int32_t table) {
  const Lock lock(mutex_);
  Bind(table);
  ++files_[table].users;
}

void TABSDatabaseTableLockManager::DetachTable(int32_t table) noexcept {
  const Lock lock(mutex_);
  const auto it = files_.find(table);
  if (it == files_.end()) return;
  --it->second.users;
  DropIfUnused(table);
}

TABSTableLockList* TABSDatabaseTableLockManager::FindList(int32_t slot) {
  const auto it = lists_.find(slot);
  return it == lists_.end() ? nullptr : &it->second;
}

TABSTableLockEntry* TABSDatabaseTableLockManager::FindEntry(int32_t slot, TABSLockType type, int32_t table) {
  TABSTableLockList* list = FindList(slot);
  return list == nullptr ? nullptr : list->Find(type, table);
}

void TABSDatabaseTableLockManager::AddEntry(int32_t slot, const TABSTableLockEntry& entry) {
  lists_[slot].Add(entry);
  ++files_.at(entry.table).users;
}

void TABSDatabaseTableLockManager::RemoveEntry(int32_t slot, TABSLockType type, int32_t table) {
  TABSTableLockList* list = FindList(slot);
  if (list == nullptr || list->Find(type, table) == nullptr) return;
  list->Remove(type, table);
  if (list->Empty()) lists_.erase(slot);
  const auto it = files_.find(table);
  if (it != files_.end()) {
    --it->second.users;
    DropIfUnused(table);
  }
}

void TABSDatabaseTableLockManager::Pause(Lock& lock, int32_t ms) {
  // Other sessions of the process may release their locks meanwhile.
  lock.unlock();
  try {
    if (pacing_.sleep) {
      pacing_.sleep(ms);
    } else if (ms > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
  } catch (...) {
    lock.lock();
    throw;
  }
  lock.lock();
}

int32_t TABSDatabaseTableLockManager::TablePause(int32_t base) {
  const int32_t half = base / 2;
  if (half <= 0) return 0;
  const int32_t jitter =
      pacing_.random ? pacing_.random(half) : static_cast<int32_t>(random_.Between(0, half - 1));
  return half + jitter;
}

bool TABSDatabaseTableLockManager::LockTable(int32_t slot, TABSLockType type, TABSLockWait wait, int32_t table) {
  Lock lock(mutex_);
  return LockTableHeld(lock, slot, type, wait, table);
}

bool TABSDatabaseTableLockManager::LockTableHeld(Lock& lock, int32_t slot, TABSLockType type, TABSLockWait wait,
                                                 int32_t table) {
  CheckSlot(slot, native::kCannotSetTableLockRepair20200);
  // Record locks have their own request.
  if (type == TABSLockType::kRecord) throw EABSException(native::kCannotSetTableLock20203);
  for (int32_t attempt = 1;; ++attempt) {
    const Try result = TryLockTable(slot, type, table);
    if (result != Try::kBusy) return result == Try::kGranted;
    if (attempt >= wait.tries) return false;
    Pause(lock, TablePause(wait.sleep_ms));
  }
}

TABSDatabaseTableLockManager::Try TABSDatabaseTableLockManager::TryLockTable(int32_t slot, TABSLockType type,
                                                                             int32_t table) {
  if (TABSTableLockEntry* entry = FindEntry(slot, type, table)) {
    // An edit lock is one edit's: a second edit of the slot waits for nothing.
    if (type == TABSLockType::kEdit) return Try::kRefused;
    ++entry->count;
    return Try::kGranted;
  }
  TABSTableLocksFile& file = Bind(table);
  const UnusedBindingDrop drop(*this, table);
  const TABSTableLockList* list = FindList(slot);
  if (list != nullptr && list->Covers(table, type)) {
    AddEntry(slot, {type, table, 1, false, {}});
    return Try::kGranted;
  }
  FileLockHold file_lock(file);
  // Another slot's exclusive lock holds the file lock.
  if (!file_lock.Held()) return Try::kBusy;
  for (int32_t held = 0; held < LockTypeIndex(TABSLockType::kExclusive); ++held) {
    const auto held_type = static_cast<TABSLockType>(held);
    if (!LockCompatible(held_type, type) && file.OtherSlotHolds(held_type, slot)) return Try::kBusy;
  }
  if (type == TABSLockType::kExclusive) {
    pages_.SettleCommitOfDeadWriter();
    AddEntry(slot, {type, table, 1, true, {}});
    file_lock.Keep();
    return Try::kGranted;
  }
  if (!file.Lock(type, slot)) throw EABSException(native::kCannotSetTableLock20203);
  try {
    // The writer this lock had to wait for may have died inside its commit.
    pages_.SettleCommitOfDeadWriter();
    AddEntry(slot, {type, table, 1, true, {}});
  } catch (...) {
    file.Unlock(type, slot);
    throw;
  }
  return Try::kGranted;
}

void TABSDatabaseTableLockManager::UnlockTable(int32_t slot, TABSLockType type, int32_t table) {
  const Lock lock(mutex_);
  UnlockTableHeld(slot, type, table);
}

void TABSDatabaseTableLockManager::UnlockTableHeld(int32_t slot, TABSLockType type, int32_t table) {
  TABSTableLockEntry* entry = FindEntry(slot, type, table);
  if (entry == nullptr || type == TABSLockType::kRecord) throw EABSException(native::kTableLockNotFound20202);
  if (entry->count > 1) {
    --entry->count;
    return;
  }
  ReleaseEntry(slot, type, table, true);
}

void TABSDatabaseTableLockManager::ReleaseEntry(int32_t slot, TABSLockType type, int32_t table, bool give_bytes) {
  const TABSTableLockEntry* entry = FindEntry(slot, type, table);
  if (entry == nullptr) return;
  if (entry->file_locked) {
    TABSTableLocksFile& file = *files_.at(table).file;
    if (type == TABSLockType::kExclusive) {
      // The locks it covered must not lose their protection with it.
      if (give_bytes) GiveBytes(slot, table, file);
      if (!file.UnlockFile()) throw EABSException(native::kCannotUnlockTable20204);
    } else if (!file.Unlock(type, slot)) {
      throw EABSException(type == TABSLockType::kRecord ? native::kCannotUnlockRecord20206
                                                        : native::kCannotUnlockTable20204);
    }
  }
  RemoveEntry(slot, type, table);
}

void TABSDatabaseTableLockManager::GiveBytes(int32_t slot, int32_t table, TABSTableLocksFile& file) {
  // Under the exclusive lock no other slot holds a byte of the table, so
  // every one can be had; a failure leaves the exclusive lock in place.
  const std::vector<TABSTableLockEntry> entries = lists_.at(slot).Entries();
  for (const TABSTableLockEntry& snapshot : entries) {
    if (snapshot.table != table || snapshot.file_locked || snapshot.type == TABSLockType::kExclusive) continue;
    if (snapshot.type == TABSLockType::kRecord) {
      if (!file.Lock(TABSLockType::kRecord, slot)) throw EABSException(native::kCannotLockRecord20205);
      try {
        file.WriteRecordId(slot, snapshot.record);
      } catch (...) {
        file.Unlock(TABSLockType::kRecord, slot);
        throw;
      }
    } else if (!file.Lock(snapshot.type, slot)) {
      throw EABSException(native::kCannotSetTableLock20203);
    }
    FindEntry(slot, snapshot.type, table)->file_locked = true;
  }
}

bool TABSDatabaseTableLockManager::LockRecord(int32_t slot, int32_t table, TABSLockWait wait,
                                              const TABSRecordId& id) {
  Lock lock(mutex_);
  CheckSlot(slot, native::kCannotLockRecordSlot);
  for (int32_t attempt = 1;; ++attempt) {
    const Try result = TryLockRecord(slot, table, id);
    if (result != Try::kBusy) return result == Try::kGranted;
    if (attempt >= wait.tries) return false;
    Pause(lock, wait.sleep_ms);
  }
}

TABSDatabaseTableLockManager::Try TABSDatabaseTableLockManager::TryLockRecord(int32_t slot, int32_t table,
                                                                              const TABSRecordId& id) {
  // One record lock per slot and table: a second one clashes with the
  // slot's own lock, which no wait can end.
  if (FindEntry(slot, TABSLockType::kRecord, table) != nullptr) return Try::kRefused;
  TABSTableLocksFile& file = Bind(table);
  const UnusedBindingDrop drop(*this, table);
  const TABSTableLockList* list = FindList(slot);
  if (list != nullptr && list->Covers(table, TABSLockType::kRecord)) {
    AddEntry(slot, {TABSLockType::kRecord, table, 1, false, id});
    return Try::kGranted;
  }
  FileLockHold file_lock(file);
  if (!file_lock.Held() || file.RecordHolder(slot, id)) return Try::kBusy;
  if (!file.Lock(TABSLockType::kRecord, slot)) throw EABSException(native::kCannotLockRecord20205);
  try {
    file.WriteRecordId(slot, id);
    AddEntry(slot, {TABSLockType::kRecord, table, 1, true, id});
  } catch (...) {
    file.Unlock(TABSLockType::kRecord, slot);
    throw;
  }
  return Try::kGranted;
}

bool TABSDatabaseTableLockManager::UnlockRecord(int32_t slot, int32_t table, const TABSRecordId& id) {
  const Lock lock(mutex_);
  const TABSTableLockEntry* entry = FindEntry(slot, TABSLockType::kRecord, table);
  if (entry == nullptr || entry->record != id) return false;
  ReleaseEntry(slot, TABSLockType::kRecord, table, false);
  return true;
}

bool TABSDatabaseTableLockManager::BeforeCommit(int32_t slot) {
  Lock lock(mutex_);
  commit_write_locks_.erase(slot);
  const TABSTableLockList* list = FindList(slot);
  if (list == nullptr) return true;
  std::vector<int32_t> written;
  for (const TABSTableLockEntry& entry : list->Entries()) {
    if (entry.type == TABSLockType::kTransactionWrite) written.push_back(entry.table);
  }
  bool failed = false;
  try {
    for (const int32_t table : written) {
      if (!LockTableHeld(lock, slot, TABSLockType::kWrite, lock_wait::kCommit, table)) {
        failed = true;
        break;
      }
      commit_write_locks_[slot].push_back(table);
    }
  } catch (...) {
    ReleaseCommitWriteLocks(slot);
    throw;
  }
  if (!failed) return true;
  ReleaseCommitWriteLocks(slot);
  const TABSTableLockList* after = FindList(slot);
  if (after != nullptr) {
    for (const TABSTableLockEntry& entry : after->Entries()) {
      if (entry.type == TABSLockType::kWrite) throw EABSException(native::kSomeTableLocksExist20234);
    }
  }
  return false;
}

void TABSDatabaseTableLockManager::ReleaseCommitWriteLocks(int32_t slot) {
  const auto it = commit_write_locks_.find(slot);
  if (it == commit_write_locks_.end()) return;
  const std::vector<int32_t> tables = std::move(it->second);
  commit_write_locks_.erase(it);
  std::exception_ptr failure;
  for (const int32_t table : tables) {
    try {
      if (FindEntry(slot, TABSLockType::kWrite, table) != nullptr) {
        UnlockTableHeld(slot, TABSLockType::kWrite, table);
      }
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void TABSDatabaseTableLockManager::CancelCommit(int32_t slot) {
  const Lock lock(mutex_);
  ReleaseCommitWriteLocks(slot);
}

bool TABSDatabaseTableLockManager::AfterCommit(int32_t slot) {
  Lock lock(mutex_);
  std::exception_ptr failure;
  bool edits_locked = true;
  std::vector<int32_t> edited;
  std::vector<int32_t> written;
  if (const TABSTableLockList* list = FindList(slot)) {
    for (const TABSTableLockEntry& entry : list->Entries()) {
      if (entry.type == TABSLockType::kRecord) edited.push_back(entry.table);
      if (entry.type == TABSLockType::kTransactionWrite) written.push_back(entry.table);
    }
  }
  // An edit begun in the transaction goes on outside it, under an edit lock.
  try {
    for (const int32_t table : edited) {
      if (FindEntry(slot, TABSLockType::kEdit, table) != nullptr) continue;
      if (!LockTableHeld(lock, slot, TABSLockType::kEdit, lock_wait::kCommit, table)) {
        edits_locked = false;
        break;
      }
    }
  } catch (...) {
    failure = std::current_exception();
    edits_locked = false;
  }
  for (const int32_t table : written) {
    try {
      ReleaseEntry(slot, TABSLockType::kTransactionWrite, table, true);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  try {
    ReleaseCommitWriteLocks(slot);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
  return edits_locked;
}

void TABSDatabaseTableLockManager::ReleaseAll(int32_t slot) {
  const Lock lock(mutex_);
  commit_write_locks_.erase(slot);
  const TABSTableLockList* list = FindList(slot);
  if (list == nullptr) return;
  const std::vector<TABSTableLockEntry> entries = list->Entries();
  bool failed = false;
  // Everything goes: the exclusive locks last, with nothing left to cover.
  for (const bool exclusive : {false, true}) {
    for (const TABSTableLockEntry& entry : entries) {
      if ((entry.type == TABSLockType::kExclusive) != exclusive) continue;
      try {
        ReleaseEntry(slot, entry.type, entry.table, false);
      } catch (const EABSException&) {
        failed = true;
      }
    }
  }
  if (failed) throw EABSException(native::kSomeTableLocksExist20201);
}

bool TABSDatabaseTableLockManager::Holds(int32_t slot, TABSLockType type, int32_t table) {
  const Lock lock(mutex_);
  return FindEntry(slot, type, table) != nullptr;
}

bool TABSDatabaseTableLockManager::HoldsRecord(int32_t slot, int32_t table, const TABSRecordId& id) {
  const Lock lock(mutex_);
  const TABSTableLockEntry* entry = FindEntry(slot, TABSLockType::kRecord, table);
  return entry != nullptr && entry->record == id;
}

std::vector<TABSTableLockEntry> TABSDatabaseTableLockManager::Entries(int32_t slot) {
  const Lock lock(mutex_);
  const TABSTableLockList* list = FindList(slot);
  return list == nullptr ? std::vector<TABSTableLockEntry>{} : list->Entries();
}

int32_t TABSDatabaseTableLockManager::ListCount() {
  const Lock lock(mutex_);
  return static_cast<int32_t>(lists_.size());
}

int32_t TABSDatabaseTableLockManager::BoundFileCount() {
  const Lock lock(mutex_);
  return static_cast<int32_t>(files_.size());
}

}  // namespace kelvorin
