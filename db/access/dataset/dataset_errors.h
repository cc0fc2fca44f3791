// Native error entries of the dataset and table layer that the common
// catalogue does not name. Codes of this layer's own: 10830..10852.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Field values and states.
inline constexpr TABSNativeError kNotInEditOrInsert{10007, "Dataset not in edit or insert mode"};
inline constexpr TABSNativeError kFieldNotInIndex{20019, "Field %s is not in the current index"};
inline constexpr TABSNativeError kCannotRetrieveRecord{10026, "Cannot retreive record"};
inline constexpr TABSNativeError kCurrentIndexMissing{10325, "Cannot find index %s"};
inline constexpr TABSNativeError kNoTableHandle{20001, "Error creating table handle"};
inline constexpr std::string_view kTextReadOnlyDataset = "Dataset is in read only mode";
inline constexpr TABSNativeError kBlobOnReadOnlyDataset{10106, kTextReadOnlyDataset};
inline constexpr TABSNativeError kDatabaseNameBlank{10830, "DatabaseName property is blank"};
inline constexpr TABSNativeError kReadOnlyDataset{10831, kTextReadOnlyDataset};
inline constexpr TABSNativeError kNotInInsertOrEdit{10832, "Dataset is not in insert or edit mode"};
inline constexpr TABSNativeError kDatasetNotOpened{10833, "Dataset is not opened"};
inline constexpr TABSNativeError kDatasetOpen{10834, "Cannot perform this operation on an open dataset"};
inline constexpr TABSNativeError kDatasetClosed{10835, "Cannot perform this operation on a closed dataset"};
inline constexpr TABSNativeError kEmptyDataset{10836, "Cannot perform this operation on an empty dataset"};
inline constexpr TABSNativeError kFieldNotFound{10837, "Field '%s' not found"};
inline constexpr TABSNativeError kDatabaseHeld{10838, "Cannot perform this operation on an open database"};
inline constexpr TABSNativeError kCircularDataLinks{10839, "Circular datalinks are not allowed"};
inline constexpr TABSNativeError kInvalidBookmark{10840, "Invalid bookmark"};
inline constexpr TABSNativeError kFieldTypeMismatch{10841, "Type mismatch for field '%s', expecting: %s actual: %s"};
inline constexpr TABSNativeError kFieldSizeMismatch{10842, "Size mismatch for field '%s', expecting: %d actual: %d"};
inline constexpr TABSNativeError kNilPointerDataset{10843, kTextNilPointer};
inline constexpr TABSNativeError kRecordCountTooLarge{10844, "Record count %d does not fit 32 bits"};

// Tables.
inline constexpr TABSNativeError kMissingTableName{10845, "Missing TableName property"};
inline constexpr TABSNativeError kKeyFieldCount{10846, "Invalid key field count %d"};
inline constexpr TABSNativeError kNoIndexForFields{10847, "Index for fields '%s' not found"};
inline constexpr TABSNativeError kIndexInUse{10848, "Cannot delete index '%s'. Index is in use"};
inline constexpr TABSNativeError kCannotCopyIntoItself{30447, "Cannot copy table '%s.%s' into it self"};
inline constexpr TABSNativeError kCopyTargetExists{30448, "Table '%s.%s' already exists"};
inline constexpr TABSNativeError kCopyCreateError{30450, "Create table '%s.%s' error: '%s'"};
inline constexpr TABSNativeError kFieldNeedsSize{30453, "Cannot create table '%s' with field: %s %s(%d)"};
inline constexpr std::string_view kTextInTransaction = "Cannot perform '%s' operation on a database in transaction";
inline constexpr TABSNativeError kCreateTableInTransaction{20182, kTextInTransaction};
inline constexpr TABSNativeError kDeleteTableInTransaction{20183, kTextInTransaction};
inline constexpr TABSNativeError kRenameTableInTransaction{20181, kTextInTransaction};
inline constexpr TABSNativeError kAddIndexInTransaction{20175, kTextInTransaction};
inline constexpr TABSNativeError kDeleteIndexInTransaction{20177, kTextInTransaction};
inline constexpr TABSNativeError kDeleteAllIndexesInTransaction{20178, kTextInTransaction};
inline constexpr TABSNativeError kRenameFieldInTransaction{20179, kTextInTransaction};
inline constexpr TABSNativeError kRestructureInTransaction{20180, kTextInTransaction};
inline constexpr TABSNativeError kCopyTableInTransaction{10849, kTextInTransaction};
inline constexpr TABSNativeError kImportTableInTransaction{10850, kTextInTransaction};
inline constexpr TABSNativeError kStoredFieldsChanged{
    10851, "Cannot restructure table '%s'. Its fields were changed since they were read"};
inline constexpr TABSNativeError kInvalidIndexName{20046, "Invalid index name '%s'"};
inline constexpr std::string_view kTextIndexFieldMissing = "Cannot find index field '%s'";
inline constexpr TABSNativeError kIndexFieldsEmpty{20047, kTextIndexFieldMissing};
inline constexpr TABSNativeError kIndexFieldUnknown{20050, kTextIndexFieldMissing};
inline constexpr TABSNativeError kIndexExclusiveLock{
    20228, "Cannot access table '%s' in exclusive mode. Probably the table is open by another user"};

}  // namespace kelvorin::native
