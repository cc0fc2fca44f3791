// Native error codes raised by expression nodes, the expression holder and
// the expression parser.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr std::string_view kTextExprValueIsNull = "Value is Null";
inline constexpr TABSNativeError kExprEmptyBooleanValue{30110, kTextExprValueIsNull};
inline constexpr TABSNativeError kLocateCountMismatch{
    30112, "Count of FieldNames (%d) not equal counts of KeyValues (%d)"};

inline constexpr std::string_view kTextExprFieldNotFound = "Field '%s' not found";
inline constexpr TABSNativeError kFieldNotFoundInCursor{30115, kTextExprFieldNotFound};
inline constexpr TABSNativeError kFieldNotFoundInOperator{30197, kTextExprFieldNotFound};
inline constexpr TABSNativeError kLastAutoIncFieldNotFound{30337, kTextExprFieldNotFound};

inline constexpr std::string_view kTextUnknownOperator = "Unknown operator: '%s'";
inline constexpr TABSNativeError kComparisonUnknownOperator{30116, kTextUnknownOperator};
inline constexpr TABSNativeError kBooleanUnknownOperator{30117, kTextUnknownOperator};
inline constexpr TABSNativeError kArithmeticUnknownOperator{30121, kTextUnknownOperator};
inline constexpr TABSNativeError kStringFunctionUnknownOperator{30130, kTextUnknownOperator};
inline constexpr TABSNativeError kAggregateUnknownOperator{30131, kTextUnknownOperator};
inline constexpr TABSNativeError kAggregateValueUnknownOperator{30134, kTextUnknownOperator};
inline constexpr TABSNativeError kTypeUnknownOperator{30287, kTextUnknownOperator};
inline constexpr TABSNativeError kDateFunctionUnknownOperator{30338, kTextUnknownOperator};

inline constexpr TABSNativeError kLikeNotString{30120, "Not string argument in function '%s'"};
inline constexpr std::string_view kTextAggregateNotNumeric =
    "Not numeric argument in numeric operator '%s'";
inline constexpr TABSNativeError kSumNotNumeric{30132, kTextAggregateNotNumeric};
inline constexpr TABSNativeError kAvgNotNumeric{30133, kTextAggregateNotNumeric};

inline constexpr TABSNativeError kFieldNotBound{30196, "Dataset and AO not assigned"};
inline constexpr TABSNativeError kRootNotField{30198, "Node is not field"};
inline constexpr std::string_view kTextCannotDetermineType = "Cannot determine expression type";
inline constexpr TABSNativeError kTypeCombinationFailed{30283, kTextCannotDetermineType};
inline constexpr TABSNativeError kUnboundFieldType{30284, kTextCannotDetermineType};
inline constexpr TABSNativeError kCastSizeUnsupportedType{30466, "Unsupported data type '%s'"};
inline constexpr std::string_view kTextAmbiguousField = "Ambiguous field reference to '%s'";
inline constexpr TABSNativeError kJoinAmbiguousFirstField{10404, kTextAmbiguousField};
inline constexpr TABSNativeError kJoinAmbiguousSecondField{10405, kTextAmbiguousField};

// Parser.
inline constexpr std::string_view kTextUnexpectedEnd =
    "Unexpected end of SQL command found at line %d, column %d";
inline constexpr TABSNativeError kConditionUnexpectedEnd{30118, kTextUnexpectedEnd};
inline constexpr TABSNativeError kValueUnexpectedEnd{30136, kTextUnexpectedEnd};
inline constexpr TABSNativeError kFilterBlank{30119, "Blank SQL command"};

inline constexpr std::string_view kTextBooleanExpected =
    "Boolean expression expected, but '%s' found at line %d, column %d";
inline constexpr TABSNativeError kBooleanPrimaryExpected{30066, kTextBooleanExpected};
inline constexpr TABSNativeError kBooleanTestExpected{30068, kTextBooleanExpected};
inline constexpr TABSNativeError kBooleanFactorExpected{30069, kTextBooleanExpected};
inline constexpr TABSNativeError kBooleanTermExpected{30070, kTextBooleanExpected};

inline constexpr std::string_view kTextTokenExpected =
    "Token '%s' expected, but '%s' found at line %d, column %d";
inline constexpr TABSNativeError kIsTruthExpected{30067, kTextTokenExpected};
inline constexpr TABSNativeError kParenthesisCloseExpected{30071, kTextTokenExpected};
inline constexpr TABSNativeError kCountStarCloseExpected{30073, kTextTokenExpected};
inline constexpr TABSNativeError kAggregateOpenExpected{30074, kTextTokenExpected};
inline constexpr TABSNativeError kAggregateCloseExpected{30075, kTextTokenExpected};
inline constexpr TABSNativeError kCastCloseExpected{30076, kTextTokenExpected};
inline constexpr TABSNativeError kCastUnknownType{
    30077, "Cannot convert an expression to specified type: '%s'"};
inline constexpr TABSNativeError kPosOpenExpected{30078, kTextTokenExpected};
inline constexpr std::string_view kTextArgumentExpected =
    "Argument expected for function '%s' at line %d, column %d";
inline constexpr TABSNativeError kPosNeedleExpected{30079, kTextArgumentExpected};
inline constexpr TABSNativeError kPosSeparatorExpected{30080, kTextTokenExpected};
inline constexpr TABSNativeError kPosTextExpected{30081, kTextArgumentExpected};
inline constexpr TABSNativeError kPosCloseExpected{30082, kTextTokenExpected};
inline constexpr TABSNativeError kLengthOpenExpected{30083, kTextTokenExpected};
inline constexpr TABSNativeError kLengthCloseExpected{30084, kTextTokenExpected};
inline constexpr TABSNativeError kLengthArgumentExpected{30085, kTextArgumentExpected};
inline constexpr TABSNativeError kLastAutoIncOpenExpected{30086, kTextTokenExpected};
inline constexpr TABSNativeError kLastAutoIncCloseExpected{30089, kTextTokenExpected};
inline constexpr TABSNativeError kLastAutoIncCommaExpected{30334, kTextTokenExpected};
inline constexpr TABSNativeError kStringFunctionOpenExpected{30090, kTextTokenExpected};
inline constexpr TABSNativeError kStringFunctionCloseExpected{30091, kTextTokenExpected};
inline constexpr TABSNativeError kStringFunctionArgumentExpected{
    30092, "String argument expected for function '%s', but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kToStringOpenExpected{30093, kTextTokenExpected};
inline constexpr TABSNativeError kToStringArgumentExpected{30094, kTextArgumentExpected};
inline constexpr TABSNativeError kToStringCommaExpected{30095, kTextTokenExpected};
inline constexpr std::string_view kTextDateFormatExpected =
    "Const DateFormat string expected, but '%s' found at line %d, column %d";
inline constexpr TABSNativeError kToStringFormatExpected{30096, kTextDateFormatExpected};
inline constexpr TABSNativeError kToStringCloseExpected{30097, kTextTokenExpected};
inline constexpr TABSNativeError kSubstringOpenExpected{30098, kTextTokenExpected};
inline constexpr TABSNativeError kSubstringTextExpected{30099, kTextArgumentExpected};
inline constexpr TABSNativeError kSubstringFromExpected{30100, kTextTokenExpected};
inline constexpr TABSNativeError kSubstringStartExpected{30101, kTextArgumentExpected};
inline constexpr TABSNativeError kAggregateArgumentExpected{30102, kTextArgumentExpected};
inline constexpr TABSNativeError kSubstringForExpected{30103, kTextTokenExpected};
inline constexpr TABSNativeError kSubstringCloseExpected{30104, kTextTokenExpected};
inline constexpr TABSNativeError kToDateOpenExpected{30105, kTextTokenExpected};
inline constexpr TABSNativeError kToDateCloseExpected{30106, kTextTokenExpected};
inline constexpr TABSNativeError kToDateArgumentExpected{30107, kTextArgumentExpected};
inline constexpr TABSNativeError kToDateCommaExpected{30108, kTextTokenExpected};
inline constexpr TABSNativeError kToDateFormatExpected{30109, kTextDateFormatExpected};
inline constexpr TABSNativeError kCastSizeCloseExpected{30465, kTextTokenExpected};

// Codes of this layer that the original catalogue does not have.
inline constexpr TABSNativeError kLastAutoIncNoTables{
    30488, "Cannot open table '%s' for LASTAUTOINC: no database access"};
inline constexpr TABSNativeError kExpressionTooDeep{
    30490, "Expression is nested too deeply at line %d, column %d"};
inline constexpr TABSNativeError kAggregateNotAllowed{
    30491, "Aggregate function '%s' is not allowed here"};
inline constexpr TABSNativeError kAggregateOverflow{
    30492, "Integer overflow in aggregate function '%s'"};
inline constexpr TABSNativeError kArithmeticOverflow{
    10891, "Integer overflow in arithmetic operator '%s'"};
inline constexpr TABSNativeError kFilterTokensLeft{
    30494, "End of filter expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kLikePatternExpected{
    30495, "Pattern expected for '%s', but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kLikeEscapeInvalid{
    30496, "ESCAPE expects one character, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kCastSizeInvalid{
    30497, "String size from 1 to %d expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kConditionCloseExpected{30498, kTextTokenExpected};
inline constexpr TABSNativeError kLikeEscapeValueInvalid{
    30499, "ESCAPE expects one character, but '%s' found"};

}  // namespace kelvorin::native
