// Native error entries of the internal files and the table catalogue that
// the common catalogue (native_errors.h) does not name: the checks of stored
// sizes, chains and names, and the refusals of table maintenance.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Codes of this catalogue: 10701..10718 (10700 is the page manager's page
// owner check, 10712 the table data layer's state block).

inline constexpr TABSNativeError kInvalidInternalFileHeader{
    10701, "Invalid internal file header. StartPageNo=%d. HeaderSize=%d, FileSize=%d, UncompressedSize=%d, "
           "Algorithm=%d"};
inline constexpr TABSNativeError kInternalFileChainLength{
    10702, "Internal file chain does not match its size. StartPageNo=%d. FileSize=%d, Pages=%d"};
inline constexpr TABSNativeError kInternalFileChainLoops{
    10703, "Internal file page chain loops. StartPageNo=%d. PageNo=%d"};
inline constexpr TABSNativeError kInvalidTableListSize{10704, "Invalid table list size. FileSize=%d"};
inline constexpr TABSNativeError kInvalidSystemDirectorySize{10705,
                                                             "Invalid system directory size. FileSize=%d"};
inline constexpr TABSNativeError kInvalidConnectionCount{
    10706, "Invalid number of allowed connections: %d. It must lie between 1 and %d"};
inline constexpr TABSNativeError kInvalidTableName{
    10707, "Invalid table name '%s'. A table name has 1 to 255 characters"};
// The access layer's text for a rename onto a name that is taken (30451).
inline constexpr TABSNativeError kRenameTableExists{10708, "Table %s already exists"};
inline constexpr TABSNativeError kEmptyTableInTransaction{
    10709, "Cannot perform '%s' operation on a database in transaction"};
inline constexpr TABSNativeError kSystemDirectoryEntryMissing{
    10710, "Invalid system directory. No entry of kind %d"};
inline constexpr TABSNativeError kInvalidTableListEntry{10711, "Invalid table list entry #%d"};
inline constexpr TABSNativeError kInvalidTableMetadata{10713, "Invalid metadata of table '%s'"};
inline constexpr TABSNativeError kReadOnlyDatabase{
    10714, "Cannot perform '%s' operation on a read-only database"};
inline constexpr TABSNativeError kDirectFileOutsideFile{
    10715, "Internal file page is outside the database file. StartPageNo=%d. PageNo=%d"};
inline constexpr TABSNativeError kInvalidDirectFileHeader{
    10716, "Invalid internal file header. StartPageNo=%d. HeaderSize=%d, FileSize=%d, Capacity=%d"};

inline constexpr TABSNativeError kReservedTableName{
    10717, "Invalid table name '%s'. Names beginning with '%s' are reserved"};
inline constexpr TABSNativeError kTableChangedDuringCopy{
    10718, "Table '%s' was changed by another session while it was copied"};
// Places of the common catalogue's messages.
inline constexpr TABSNativeError kTransactedFileExists = kInternalFileExists30383;
inline constexpr TABSNativeError kTransactedFileClosed = kClosedInternalFile30389;
inline constexpr TABSNativeError kDirectFileExists = kInternalFileExists20157;
inline constexpr TABSNativeError kDirectFileClosed = kClosedInternalFile20156;

}  // namespace kelvorin::native
