// Native error entries of sessions and locks: the places of the common
// catalogue's messages, and the checks of their own.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Codes of this catalogue: 10780..10789.

// A table's locks file whose size is not 12 bytes per connection.
inline constexpr TABSNativeError kInvalidLocksFileSize{10780, kTextInvalidDatabaseFormat};
// A record lock asked for by a slot beyond the connections of the file.
inline constexpr TABSNativeError kCannotLockRecordSlot{10781, kTextCannotLockRecord};

// The read operations of a table whose read lock timed out.
inline constexpr TABSNativeError kTableLockedFetch = kTableLocked20214;
inline constexpr TABSNativeError kTableLockedCount = kTableLocked20215;
inline constexpr TABSNativeError kTableLockedRecordNumber = kTableLocked20216;
inline constexpr TABSNativeError kTableLockedRecordId = kTableLocked20217;
inline constexpr TABSNativeError kTableLockedIndexRead = kTableLocked20218;
inline constexpr TABSNativeError kTableLockedFilter = kTableLocked20219;
inline constexpr TABSNativeError kTableLockedBlob = kTableLocked20220;

}  // namespace kelvorin::native
