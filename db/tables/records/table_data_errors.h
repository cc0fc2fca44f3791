// Native error entries of the table data layer that the common catalogue
// (native_errors.h) does not name. Codes of this layer's own: 10712,
// 10761..10766 and 10768..10779.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// A state block whose field count or length does not fit its table.
inline constexpr TABSNativeError kInvalidTableState{10712, kTextInvalidTableHeaderData};

// Field access on memory records. The cursor layer raises the same text
// with codes of its own (10005, 10006, 10317, 20191..20193).
inline constexpr std::string_view kTextInvalidFieldNumber = "Invalid field number - FieldNo = %d, FieldCount = %d";
inline constexpr TABSNativeError kGetFieldDataFieldNumber{10000, kTextInvalidFieldNumber};
inline constexpr TABSNativeError kGetFieldDataFailed{
    10002, "Error getting field data - FieldNo = %d, MemoryOffset = %d, MemoryDataSize = %d"};
inline constexpr TABSNativeError kGetFieldDataNilRecord{10003, kTextNilPointer};
inline constexpr TABSNativeError kSetFieldDataFieldNumber{10004, kTextInvalidFieldNumber};
inline constexpr TABSNativeError kCursorFieldNumber10005{10005, kTextInvalidFieldNumber};
inline constexpr TABSNativeError kCursorFieldNumber10006{10006, kTextInvalidFieldNumber};
inline constexpr TABSNativeError kCursorFieldNumber10317{10317, kTextInvalidFieldNumber};
inline constexpr TABSNativeError kCursorFieldNumber20191{20191, kTextInvalidFieldNumber};
inline constexpr TABSNativeError kCursorFieldNumber20192{20192, kTextInvalidFieldNumber};
inline constexpr TABSNativeError kCursorFieldNumber20193{20193, kTextInvalidFieldNumber};
inline constexpr TABSNativeError kSetFieldDataNilRecord{10761, kTextNilPointer};
inline constexpr TABSNativeError kBlobValueThroughField{
    10765, "Field #%d of type %s takes its value through a BLOB stream"};

// Auto-increment numbering and session sequences.
inline constexpr TABSNativeError kAutoIncMaxExceeded{20160, "Autoinc max value exceeded for field '%s'"};
inline constexpr std::string_view kTextFieldNumberNotFound = "Field #%d not found";
inline constexpr TABSNativeError kAutoIncFieldNotFound{30402, kTextFieldNumberNotFound};
inline constexpr TABSNativeError kAutoIncValueNotFound{30403, kTextFieldNumberNotFound};
inline constexpr TABSNativeError kNoSequenceLastValue{
    30012, "No SequenceLastValue in session for sequence '%s'. Call GetNextVal first"};

// Constraints.
inline constexpr std::string_view kTextValueCannotBeNull = "Constraint '%s' violated. Value in field '%s' cannot be null";
inline constexpr TABSNativeError kPrimaryKeyNull{30330, kTextValueCannotBeNull};
inline constexpr TABSNativeError kPrimaryKeyDuplicate{30319, "Primary Key constraint '%s' violated. Duplicate found."};
inline constexpr TABSNativeError kUniqueDuplicate{30320, "Constraint unique '%s' violated. Duplicate found."};
inline constexpr TABSNativeError kNotNullFieldNotFound{30024, kTextFieldNumberNotFound};
inline constexpr TABSNativeError kNotNullViolated{30026, kTextValueCannotBeNull};
inline constexpr TABSNativeError kCheckFieldNotFound{30028, kTextFieldNumberNotFound};
inline constexpr TABSNativeError kCheckBelowMinimum{
    30029, "Constraint '%s' violated. Value in field '%s' cannot be lower then '%s'"};
inline constexpr TABSNativeError kCheckAboveMaximum{
    30030, "Constraint '%s' violated. Value in field '%s' cannot be greater then '%s'"};
inline constexpr TABSNativeError kUnknownConstraintKind{30036, kTextNotImplementedYet};
// A unique or primary-key constraint whose index the table does not have.
inline constexpr TABSNativeError kConstraintIndexMissing{10762, "Index #%d of constraint '%s' not found"};

// Table objects.
inline constexpr TABSNativeError kRenameOpenTable{10150,
                                                  "Cannot rename table '%s'. Table is open by another dataset"};
inline constexpr TABSNativeError kDeleteOpenTable{20017,
                                                  "Cannot delete table '%s'. Table is open by another dataset"};
// A record posted with a BLOB reference that is not its own.
inline constexpr TABSNativeError kForeignBlobReference{10764, "Invalid BLOB reference in table '%s'. Field '%s'"};
// A temporary index asked of a table that has no pages for one.
inline constexpr TABSNativeError kNoTemporaryIndexPages{10766, "Table '%s' cannot keep temporary indexes"};

}  // namespace kelvorin::native
