#include "db/storage/locks/lock_inspection.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/catalog/system_directory.h"
#include "db/storage/catalog/table_list_file.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/locks/sessions_file.h"
#include "db/storage/locks/table_locks_file.h"

namespace kelvorin {
namespace {

// Lock changes hold a table's file lock for moments; an exclusive lock
// holds it for as long as it lasts.
constexpr int kFileLockTries = 50;
constexpr int kFileLockSleepMs = 20;

int32_t DirectoryEntry(const TABSSystemDirectory& directory, uint8_t kind) {
  const int32_t page = directory.Find(kind);
  if (page < 0) throw EABSException(native::kSystemDirectoryEntryMissing, {kind});
  return page;
}

bool TakeFileLock(TABSTableLocksFile& file) {
  for (int attempt = 0; attempt < kFileLockTries; ++attempt) {
    if (file.LockFile()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(kFileLockSleepMs));
  }
  return false;
}

void InspectTable(TABSDiskPageManager& pages, const TABSTableListEntry& entry, int32_t connections,
                  TABSLockReport& report) {
  TABSTableLocksFile file(pages, entry.locks_page, connections);
  const bool file_locked = TakeFileLock(file);
  if (!file_locked) report.locks.push_back({TABSHeldLock::kUnknownSlot, entry.name, TABSLockType::kExclusive, {}});
  const size_t first = report.locks.size();
  for (int32_t type = 0; type <= LockTypeIndex(TABSLockType::kRecord); ++type) {
    const auto lock_type = static_cast<TABSLockType>(type);
    // Most types are held by no slot: one region test each.
    if (!file.OtherSlotHolds(lock_type, -1)) continue;
    for (int32_t slot = 0; slot < connections; ++slot) {
      if (!file.SlotHolds(lock_type, slot)) continue;
      const TABSRecordId record = lock_type == TABSLockType::kRecord ? file.ReadRecordId(slot) : TABSRecordId{};
      report.locks.push_back({slot, entry.name, lock_type, record});
    }
  }
  std::stable_sort(report.locks.begin() + static_cast<std::ptrdiff_t>(first), report.locks.end(),
                   [](const TABSHeldLock& a, const TABSHeldLock& b) { return a.slot < b.slot; });
  if (file_locked) file.UnlockFile();
}

}  // namespace

std::string_view LockTypeName(TABSLockType type) {
  switch (type) {
    case TABSLockType::kShared: return "shared";
    case TABSLockType::kRead: return "read";
    case TABSLockType::kEdit: return "edit";
    case TABSLockType::kTransactionWrite: return "transaction write";
    case TABSLockType::kWrite: return "write";
    case TABSLockType::kRecord: return "record";
    case TABSLockType::kExclusive: return "exclusive";
  }
  return "?";
}

TABSLockReport InspectLocks(const std::string& path, const TABSPassword& password) {
  TABSDiskPageManager pages;
  bool multi_user = true;
  bool read_only = false;
  pages.OpenDatabaseFile(path, password, multi_user, false, read_only);
  TABSLockReport report;
  try {
    TABSSystemDirectory directory(pages);
    directory.Open(kSystemSessionId);
    TABSActiveSessionsFile sessions(pages);
    sessions.Open(DirectoryEntry(directory, TABSSystemDirectory::kSessionsFile));
    report.connections = sessions.MaxConnections();
    // Under the sessions file's lock no slot changes hands while it is tested.
    const bool locked = sessions.File().LockFileWithRetry();
    for (int32_t slot = 0; slot < report.connections; ++slot) {
      if (sessions.IsSlotTaken(slot)) report.connected_slots.push_back(slot);
    }
    if (locked) sessions.File().UnlockFile();
    TABSTableListFile list(pages);
    list.Open(DirectoryEntry(directory, TABSSystemDirectory::kTableList));
    for (const TABSTableListEntry& entry : list.Read(kSystemSessionId)) {
      InspectTable(pages, entry, report.connections, report);
    }
  } catch (...) {
    pages.CloseDiscarding();
    throw;
  }
  pages.CloseDiscarding();
  return report;
}

}  // namespace kelvorin
