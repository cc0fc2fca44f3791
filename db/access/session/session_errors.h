// Native error entries of sessions and database components. Codes of this
// layer's own: 10820..10829.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr TABSNativeError kInvalidSessionName{20002, "Invalid session name '%s'"};
inline constexpr TABSNativeError kCannotConvertDatabase{
    20238, "Database cannot be converted to the new format: %s"};

// Names of sessions and databases.
inline constexpr TABSNativeError kNameTooLong{10820, "Name '%s' is longer than 255 characters"};
inline constexpr TABSNativeError kNameCharacter{
    10821, "Name '%s' contains a character that has no form in the 8-bit code page"};
// Replacing or deleting a file that this process uses elsewhere.
inline constexpr TABSNativeError kCompactFileInUse{
    10822, "Cannot compact database '%s'. The file is open in this process"};
inline constexpr TABSNativeError kDeleteFileInUse{
    10823, "Cannot delete database '%s'. The file is open in this process"};
inline constexpr TABSNativeError kDeleteDatabaseFailed{
    10827, "Cannot delete database file '%s'. ErrorCode:%d. ErrorMessage: %s"};
inline constexpr TABSNativeError kCompactUnavailable{10824, "Compact is not available"};
inline constexpr TABSNativeError kCompactReplaceFailed{
    10825, "Cannot replace database file '%s' by its compacted copy. ErrorCode:%d. ErrorMessage: %s"};
inline constexpr TABSNativeError kCompactSyncFailed{
    10826, "Cannot write the compacted copy '%s' to disk. ErrorCode:%d. ErrorMessage: %s"};

}  // namespace kelvorin::native
