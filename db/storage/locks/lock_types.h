// The table and record lock types of a multi-user database, which of them
// may be held by two connection slots at once, which of them covers another
// request of its own slot, and how long each kind of request waits.
#pragma once

#include <array>
#include <cstdint>

namespace kelvorin {

enum class TABSLockType : uint8_t {
  kShared = 0,            // every cursor that has the table open
  kRead = 1,              // around each read operation
  kEdit = 2,              // an edit outside a transaction, until its post or cancel
  kTransactionWrite = 3,  // edits, posts and deletes inside a transaction, until it ends
  kWrite = 4,             // a post or delete outside a transaction; taken before a commit
  kRecord = 5,            // one record of the table
  kExclusive = 6,         // a cursor that opened the table exclusively
};

inline constexpr int32_t kLockTypeCount = 7;
// Table lock types with a byte per slot (the record type has its own).
inline constexpr int32_t kTableLockByteTypes = 5;

constexpr int32_t LockTypeIndex(TABSLockType type) { return static_cast<int32_t>(type); }

using TABSLockTable = std::array<std::array<bool, kLockTypeCount>, kLockTypeCount>;

// kLockCompatible[held][requested]: whether a lock of the requested type may
// be granted while another slot holds the held type. A transaction's write
// lock is granted beside another slot's edit lock: the edit's post still
// needs the write lock, which the transaction's commit holds.
inline constexpr TABSLockTable kLockCompatible = {{
    //  0  1  2  3  4  5  6   requested
    {{1, 1, 1, 1, 1, 1, 0}},  // held 0
    {{1, 1, 1, 1, 0, 1, 0}},  // held 1
    {{1, 1, 1, 1, 1, 1, 0}},  // held 2
    {{1, 1, 0, 0, 0, 1, 0}},  // held 3
    {{1, 0, 1, 0, 0, 1, 0}},  // held 4
    {{1, 1, 1, 1, 1, 1, 0}},  // held 5
    {{0, 0, 0, 0, 0, 0, 0}},  // held 6
}};

// kLockCovers[held][requested]: a request of its own slot that the held
// lock makes unnecessary to lock in the file. Only the exclusive lock does:
// any other covering lock may go (at a commit) while the covered one stays,
// which then must hold its own byte.
inline constexpr TABSLockTable kLockCovers = {{
    {{0, 0, 0, 0, 0, 0, 0}},
    {{0, 0, 0, 0, 0, 0, 0}},
    {{0, 0, 0, 0, 0, 0, 0}},
    {{0, 0, 0, 0, 0, 0, 0}},
    {{0, 0, 0, 0, 0, 0, 0}},
    {{0, 0, 0, 0, 0, 0, 0}},
    {{1, 1, 1, 1, 1, 1, 1}},
}};

inline bool LockCompatible(TABSLockType held, TABSLockType requested) {
  return kLockCompatible[LockTypeIndex(held)][LockTypeIndex(requested)];
}
inline bool LockCovers(TABSLockType held, TABSLockType requested) {
  return kLockCovers[LockTypeIndex(held)][LockTypeIndex(requested)];
}

// How a request waits: up to `tries` tries; between table-lock tries a
// sleep of base / 2 plus a random part below base / 2 milliseconds, between
// record-lock tries `sleep_ms` exactly.
struct TABSLockWait {
  int32_t sleep_ms;
  int32_t tries;
};

namespace lock_wait {
inline constexpr TABSLockWait kOpenTable{100, 50};
inline constexpr TABSLockWait kRead{40, 2250};
inline constexpr TABSLockWait kEdit{100, 900};
inline constexpr TABSLockWait kPost{40, 2250};
inline constexpr TABSLockWait kDelete{100, 900};
inline constexpr TABSLockWait kRecord{100, 15};
inline constexpr TABSLockWait kCommit{100, 900};
}  // namespace lock_wait

}  // namespace kelvorin
