// Native error entries of the table metadata: definitions, their lists, the
// derived constraints and the stored metadata block.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr std::string_view kTextDuplicateFieldName = "Duplicate field name %s";
inline constexpr TABSNativeError kDuplicateDefinitionName{10424, kTextDuplicateFieldName};
inline constexpr TABSNativeError kUnsupportedFieldType{30007, "Unsupported data type '%s'"};

inline constexpr TABSNativeError kAssignUnknownConstraintKind{30035, kTextNotImplementedYet};
inline constexpr TABSNativeError kGeneratedNameUnknownKind{30038, kTextNotImplementedYet};
inline constexpr TABSNativeError kAttachUnknownConstraintKind{30058, kTextNotImplementedYet};
inline constexpr TABSNativeError kLoadUnknownConstraintKind{30316, "Unknown Constraint Type: '%d'"};
inline constexpr TABSNativeError kAddNewNotOverridden{30339,
                                                      "The method '%s' not overrided in class '%s'"};

inline constexpr std::string_view kTextIndexNotFound = "Index '%s' not found";
inline constexpr std::string_view kTextFieldNotFound = "Field '%s' not found";
inline constexpr TABSNativeError kPrimaryIndexNotFound{30325, kTextIndexNotFound};
inline constexpr TABSNativeError kUniqueIndexNotFound{30326, kTextIndexNotFound};
inline constexpr TABSNativeError kPrimaryFieldNotFound{30331, kTextFieldNotFound};
inline constexpr TABSNativeError kUniqueFieldNotFound{30332, kTextFieldNotFound};
inline constexpr TABSNativeError kConstraintFieldNotFound{30027, kTextFieldNotFound};
inline constexpr TABSNativeError kRenameFieldNotFound{30343, kTextFieldNotFound};
inline constexpr TABSNativeError kRenameFieldExists{
    30344, "Cannot rename field '%s'. Field '%s' already exists"};

inline constexpr std::string_view kTextDifferentListLengths =
    "Error - different lists length. L1 = %d, L2 = %d";
inline constexpr TABSNativeError kFindMatchingDirections{10276, kTextDifferentListLengths};
inline constexpr TABSNativeError kFindMatchingCases{10277, kTextDifferentListLengths};
inline constexpr TABSNativeError kSetColumnsDirections{10278, kTextDifferentListLengths};
inline constexpr TABSNativeError kSetColumnsCases{10279, kTextDifferentListLengths};

// The stored metadata block: one read and one write code per section.
inline constexpr TABSNativeError kFieldSectionRead{10610, kTextCannotReadFromStream};
inline constexpr TABSNativeError kFieldSectionWrite{10611, kTextCannotWriteToStream};
inline constexpr TABSNativeError kIndexSectionRead{10612, kTextCannotReadFromStream};
inline constexpr TABSNativeError kIndexSectionWrite{10613, kTextCannotWriteToStream};
inline constexpr TABSNativeError kConstraintSectionRead{10614, kTextCannotReadFromStream};
inline constexpr TABSNativeError kConstraintSectionWrite{10615, kTextCannotWriteToStream};
// A definition assigned from one of another class.
inline constexpr TABSNativeError kAssignOtherClass{10616, kTextNotImplementedYet};
// No unused generated constraint name is left.
inline constexpr TABSNativeError kGeneratedNameExhausted{10617, kTextDuplicateFieldName};

}  // namespace kelvorin::native
