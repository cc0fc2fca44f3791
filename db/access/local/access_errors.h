// Native error entries of the local session and cursor that the common
// catalogue (native_errors.h) does not name. Codes of this layer's own:
// 10810..10819.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Sessions and transactions.
inline constexpr TABSNativeError kCreateDatabaseOpen{20092, "Cannot create database. Database is already open"};
inline constexpr std::string_view kTextNotInTransaction = "Database is not in transaction. Cannot perform operation";
inline constexpr TABSNativeError kCommitNotInTransaction{20229, kTextNotInTransaction};
inline constexpr TABSNativeError kRollbackNotInTransaction{20229, kTextNotInTransaction};
inline constexpr TABSNativeError kAlreadyInTransaction{10810, "Database already in transaction"};
inline constexpr TABSNativeError kSessionNotConnected{10811, "Cannot perform this operation on a closed database"};

// Table maintenance through a cursor.
inline constexpr std::string_view kTextCursorTableNotFound = "Table '%s' not found";
inline constexpr TABSNativeError kDeleteTableNotFound{20132, kTextCursorTableNotFound};
inline constexpr TABSNativeError kEmptyTableNotFound{20133, kTextCursorTableNotFound};
inline constexpr TABSNativeError kRenameTableNotFound{20134, kTextCursorTableNotFound};
inline constexpr TABSNativeError kRenameTableTaken{30451, "Table %s already exists"};
inline constexpr TABSNativeError kRenameTableIntoItself{30452, "Cannot rename table '%s' into itself"};
inline constexpr TABSNativeError kIndexAlreadyExists{20022, "Cannot create index '%s'. Index already exists"};
inline constexpr TABSNativeError kIndexNotFound{20021, "Cannot delete index '%s'. Index not found"};
inline constexpr TABSNativeError kOpenTableNotFound{10028, "Table not found, table name = %s"};
inline constexpr TABSNativeError kCursorNotOpen{10812, "Table '%s' is not open"};
inline constexpr TABSNativeError kIndexToSwitchNotFound{10813, "Index '%s' not found"};

// BLOB streams of a cursor.
inline constexpr TABSNativeError kBlobFieldOpened{10115, "BLOB field already opened. FieldNo = %d, FieldName = %s"};
inline constexpr TABSNativeError kBlobFieldNumber{10814, "Invalid field number - FieldNo = %d, FieldCount = %d"};
inline constexpr TABSNativeError kBlobFieldNotBlob{10815, "Field '%s' is not a BLOB field"};
inline constexpr std::string_view kTextReadOnlyStream = "Cannot write to read only stream";
inline constexpr TABSNativeError kReadOnlyStreamWrite{10115, kTextReadOnlyStream};
inline constexpr TABSNativeError kReadOnlyStreamSize{10116, kTextReadOnlyStream};
inline constexpr TABSNativeError kBlobOpenLocked{10816, kTextTableLocked};

}  // namespace kelvorin::native
