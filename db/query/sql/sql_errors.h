// Native error codes of the SQL statement processor: statement selection,
// the SELECT grammar, building a statement's operator tree and running it.
#pragma once

#include "db/query/expressions/expression_errors.h"
#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr std::string_view kTextSqlTokenExpected =
    "SQL token expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextObjectTypeExpected =
    "Object type keyword expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextUnexpectedToken = "Unexpected token '%s' found at line %d, column %d";
inline constexpr std::string_view kTextIntegerExpected = "Integer expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextFieldNameExpected =
    "Field name expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextPseudonymExpected =
    "Field pseudonym expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextTableNameExpected =
    "Table name expected, but '%s' found at line %d, column %d";

// Statement selection.
inline constexpr TABSNativeError kBlankSqlCommand{30145, "Blank SQL command"};
inline constexpr TABSNativeError kCreateObjectTypeExpected{30147, kTextObjectTypeExpected};
inline constexpr TABSNativeError kCreateUnexpectedEnd{30148, kTextUnexpectedEnd};
inline constexpr TABSNativeError kDropObjectTypeExpected{30149, kTextObjectTypeExpected};
inline constexpr TABSNativeError kDropUnexpectedEnd{30150, kTextUnexpectedEnd};
inline constexpr TABSNativeError kAlterObjectTypeExpected{30151, kTextObjectTypeExpected};
inline constexpr TABSNativeError kAlterUnexpectedEnd{30152, kTextUnexpectedEnd};
inline constexpr TABSNativeError kRenameUnexpectedEnd{30353, kTextUnexpectedEnd};
inline constexpr TABSNativeError kStatementReservedWord{30153, kTextSqlTokenExpected};
inline constexpr TABSNativeError kStatementTokenExpected{30154, kTextSqlTokenExpected};
inline constexpr TABSNativeError kNextTokenMissing{30161, kTextUnexpectedEnd};

// Query expressions.
inline constexpr TABSNativeError kCorrespondingOpenExpected{30193, kTextTokenExpected};
inline constexpr TABSNativeError kQueryPrimaryExpected{30194, kTextTokenExpected};

// SELECT.
inline constexpr TABSNativeError kSelectExpected{30156, kTextSqlTokenExpected};
inline constexpr TABSNativeError kTopCountExpected{30158, kTextIntegerExpected};
inline constexpr TABSNativeError kTopFirstExpected{30159, kTextIntegerExpected};
inline constexpr TABSNativeError kSelectAliasExpected{30162, kTextPseudonymExpected};
inline constexpr TABSNativeError kSelectItemExpected{30163, kTextFieldNameExpected};
inline constexpr TABSNativeError kSelectListExpected{30164, "Field list expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kIntoTableExpected{30165, kTextTableNameExpected};
inline constexpr TABSNativeError kIntoTableAfterDotExpected{30166, kTextTableNameExpected};
inline constexpr TABSNativeError kFromTableExpected{30180, kTextTableNameExpected};
inline constexpr TABSNativeError kFromNextTableExpected{30181, kTextTableNameExpected};
inline constexpr TABSNativeError kFromExpected{30184, kTextTokenExpected};
inline constexpr TABSNativeError kGroupByExpected{30185, kTextTokenExpected};
inline constexpr TABSNativeError kGroupByColumnExpected{10409, kTextFieldNameExpected};
inline constexpr TABSNativeError kGroupByNextColumnExpected{10410, kTextUnexpectedToken};
inline constexpr TABSNativeError kOrderByAfterDotExpected{30186, kTextUnexpectedToken};
inline constexpr TABSNativeError kOrderByColumnExpected{30187, kTextFieldNameExpected};
inline constexpr TABSNativeError kOrderByExpected{30188, kTextTokenExpected};
inline constexpr TABSNativeError kOrderByNextColumnExpected{30189, kTextFieldNameExpected};

// Table references.
inline constexpr TABSNativeError kUsingOpenExpected{30167, kTextTokenExpected};
inline constexpr TABSNativeError kAfterCrossUnexpected{30168, kTextUnexpectedToken};
inline constexpr TABSNativeError kAfterNaturalUnexpected{30169, kTextUnexpectedToken};
inline constexpr TABSNativeError kAfterInnerUnexpected{30170, kTextUnexpectedToken};
inline constexpr TABSNativeError kAfterLeftUnexpected{30171, kTextUnexpectedToken};
inline constexpr TABSNativeError kAfterRightUnexpected{30172, kTextUnexpectedToken};
inline constexpr TABSNativeError kAfterFullUnexpected{30173, kTextUnexpectedToken};
inline constexpr TABSNativeError kAfterOuterUnexpected{30174, kTextUnexpectedToken};
inline constexpr TABSNativeError kJoinExpected{30175, kTextTokenExpected};
inline constexpr TABSNativeError kJoinTableExpected{30176, kTextTableNameExpected};
inline constexpr TABSNativeError kTableAliasExpected{30177, kTextPseudonymExpected};
inline constexpr TABSNativeError kTablePasswordExpected{
    30178, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kNestedTableExpected{30179, kTextFieldNameExpected};

// Building and running.
inline constexpr TABSNativeError kSearchConditionNotApplicable{30144, "Search condition is not applicable"};
inline constexpr TABSNativeError kOrderByColumnNotFound{30195, "Column '%s' from ORDER BY clause not found"};
inline constexpr TABSNativeError kOrderByInvalidNumber{20243, "Invalid field number in ORDER BY clause: %d"};
inline constexpr TABSNativeError kHavingNotApplicable{20244, "Having condition is not applicable"};
inline constexpr TABSNativeError kTableLocked{20225, "Table is locked"};
inline constexpr TABSNativeError kLockRetryUnlockFailed{20226, "Cannot unlock table"};
inline constexpr TABSNativeError kUnlockAfterRunFailed{20227, "Cannot unlock table"};
inline constexpr TABSNativeError kIntoImportFailed{
    10403, "Error importing table. Cannot copy data due to error: %s\r\n"};

// Codes of this layer that the original catalogue does not have.
inline constexpr TABSNativeError kCommandNotEnded{
    10870, "End of SQL command expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kQueryCloseExpected{10871, kTextTokenExpected};
inline constexpr TABSNativeError kTableCloseExpected{10872, kTextTokenExpected};
inline constexpr TABSNativeError kCorrespondingCloseExpected{10873, kTextTokenExpected};
inline constexpr TABSNativeError kUsingCloseExpected{10874, kTextTokenExpected};
inline constexpr TABSNativeError kOrderByInOperand{
    10875, "ORDER BY of a set operation belongs at its end, but found at line %d, column %d"};
inline constexpr TABSNativeError kIntoInOperand{
    10876, "INTO is not allowed in an operand of a set operation at line %d, column %d"};
inline constexpr TABSNativeError kStatementNotAvailable{
    10877, "Statement '%s' is not available at line %d, column %d"};
inline constexpr TABSNativeError kTableAfterDotExpected{10878, kTextTableNameExpected};
inline constexpr TABSNativeError kOuterJoinConditionExpected{
    10879, "ON, USING or NATURAL expected for an outer join, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kColumnListNameExpected{10880, kTextFieldNameExpected};
inline constexpr TABSNativeError kStatementCancelled{10881, "Statement cancelled"};
inline constexpr TABSNativeError kIntoTableExists{10882, "Table '%s' already exists"};
inline constexpr TABSNativeError kIntoInTransaction{
    10883, "SELECT INTO cannot run inside a transaction"};
inline constexpr TABSNativeError kAmbiguousColumn{10884, "Ambiguous field reference to '%s'"};
inline constexpr TABSNativeError kColumnNotFound{10885, "Cannot find field %s"};
inline constexpr TABSNativeError kTableNamedTwice{
    10886, "Table name '%s' is given twice in FROM: give one of them an alias"};

}  // namespace kelvorin::native
