// Native error entries of the relational operators. Codes of this layer's
// own: 10850..10869.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr TABSNativeError kAOOpenTable{10303, "Cannot open table %s, InMemory = %d"};
inline constexpr TABSNativeError kAOFieldNotFound{10305, "Cannot find field %s"};
inline constexpr TABSNativeError kAOInvalidFieldNo{10307, "Invalid field number - FieldNo = %d, FieldCount = %d"};
inline constexpr TABSNativeError kAOInvalidFieldLink{10309, "Invalid field link: table name = %s, FieldNo = %d"};
inline constexpr TABSNativeError kAOInvalidQualifier{
    30327, "Invalid table name in reference. Table name = %s, table alias = %s, tname = %s"};
inline constexpr TABSNativeError kJoinListsLength{10330, "Error - different lists length. L1 = %d, L2 = %d"};
inline constexpr std::string_view kTextInvalidJoinField =
    "Invalid field for join operation. Table name = '%s', FieldName = '%s', i = %d, FieldExists = %d";
inline constexpr TABSNativeError kJoinLeftField{10331, kTextInvalidJoinField};
inline constexpr TABSNativeError kJoinRightField{10332, kTextInvalidJoinField};
inline constexpr TABSNativeError kJoinSameSide{
    10334, "Both join fields are from the same table. Field1 = '%s', Field2 = '%s', No1 = %d, No2 = %d."};
inline constexpr std::string_view kTextEmptyFieldList = "Empty field list, item count = %d";
inline constexpr TABSNativeError kUnionNoPairs{10337, kTextEmptyFieldList};
inline constexpr TABSNativeError kGroupByField{
    20245, "Invalid field for GROUP BY. Table name = '%s', FieldName = '%s', i = %d, FieldExists = %d"};

// Codes of this layer: 10850..10869.
inline constexpr TABSNativeError kAOAmbiguousField{10850, "Ambiguous field name %s"};
inline constexpr TABSNativeError kSetColumnCounts{
    10851, "Set operation needs the same number of columns on both sides. Left = %d, Right = %d"};
inline constexpr TABSNativeError kCorrespondingNameUnknown{10852, "Column '%s' of CORRESPONDING BY not found"};
inline constexpr TABSNativeError kBlobKeyRefused{10853, "Field '%s' of type %s cannot be a %s key"};
inline constexpr TABSNativeError kResultLayout{10854, "Result table %s has an unexpected record layout"};
inline constexpr TABSNativeError kAggregateOutsideGroup{10855, "Aggregate function is not allowed here: %s"};
inline constexpr TABSNativeError kTemporaryNameExhausted{10856, "Cannot find a free temporary table name"};

}  // namespace kelvorin::native
