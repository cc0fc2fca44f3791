// Native error codes of the data-changing statements (INSERT, UPDATE,
// DELETE) and of the transaction statements.
#pragma once

#include "db/query/expressions/expression_errors.h"
#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr std::string_view kTextBlankCommand = "Blank SQL command";
inline constexpr std::string_view kTextSeparatorExpected = "')' or ',' symbol expected, but '%s' found at line %d, column %d";

// INSERT.
inline constexpr TABSNativeError kInsertIntoMissing{30205, kTextUnexpectedEnd};
inline constexpr TABSNativeError kInsertIntoExpected{30206, kTextTokenExpected};
inline constexpr TABSNativeError kInsertTableExpected{30207, kTextTableNameExpected};
inline constexpr TABSNativeError kInsertMemoryTableExpected{30208, kTextTableNameExpected};
inline constexpr TABSNativeError kInsertPasswordExpected{
    30210, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kInsertColumnExpected{2156, kTextFieldNameExpected};
inline constexpr TABSNativeError kInsertColumnSeparator{30212, kTextSeparatorExpected};
inline constexpr TABSNativeError kInsertColumnsUnexpectedEnd{30213, kTextUnexpectedEnd};
inline constexpr TABSNativeError kInsertValuesOpenExpected{30214, "'(' symbol expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kInsertValuesUnexpectedEnd{30203, kTextUnexpectedEnd};
inline constexpr TABSNativeError kInsertValueExpected{30357, "Error parsing parameter '%s' at line %d, column %d"};
inline constexpr TABSNativeError kInsertValueUndefined{30356, "Parameter Value undefined (FieldName='%s', Type='%s')"};
inline constexpr TABSNativeError kInsertTableLocked{20224, "Table is locked"};

// UPDATE and DELETE.
inline constexpr TABSNativeError kUpdateBlank{30216, kTextBlankCommand};
inline constexpr TABSNativeError kUpdateTableExpected{30217, kTextTableNameExpected};
inline constexpr TABSNativeError kUpdateMemoryTableExpected{30218, kTextTableNameExpected};
inline constexpr TABSNativeError kUpdatePasswordExpected{
    30219, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kUpdateSetExpected{30220, kTextTokenExpected};
inline constexpr TABSNativeError kUpdateEqualsExpected{30221, kTextTokenExpected};
inline constexpr TABSNativeError kUpdateCommaExpected{30222, kTextTokenExpected};
inline constexpr TABSNativeError kUpdateUnexpectedEnd{30223, kTextUnexpectedEnd};
inline constexpr TABSNativeError kRowsTableLocked{20223, "Table is locked"};

// Transactions.
inline constexpr TABSNativeError kStartBlank{30457, kTextBlankCommand};
inline constexpr TABSNativeError kStartExpected{30458, kTextTokenExpected};
inline constexpr TABSNativeError kStartUnexpectedEnd{30459, kTextUnexpectedEnd};
inline constexpr TABSNativeError kTransactionExpected{30460, kTextTokenExpected};
inline constexpr TABSNativeError kCommitBlank{30461, kTextBlankCommand};
inline constexpr TABSNativeError kCommitExpected{30462, kTextTokenExpected};
inline constexpr TABSNativeError kRollbackBlank{30463, kTextBlankCommand};
inline constexpr TABSNativeError kRollbackExpected{30464, kTextTokenExpected};

// Codes of these statements that the original catalogue does not have.
inline constexpr TABSNativeError kInsertValueSeparator{10900, kTextSeparatorExpected};
inline constexpr TABSNativeError kInsertCountsDiffer{
    10901, "%d columns are named, but %d values are given"};
inline constexpr TABSNativeError kDataColumnNotFound{10902, "Field '%s' not found in table '%s'"};
inline constexpr TABSNativeError kDataColumnRepeated{10903, "Field '%s' is assigned more than once"};
inline constexpr TABSNativeError kInsertTooManyValues{
    10904, "Table '%s' has %d fields, but %d values are given"};
inline constexpr TABSNativeError kInsertSelectCountsDiffer{
    10905, "%d columns are named, but the selection has %d"};
inline constexpr TABSNativeError kInsertSelectFieldMissing{
    10906, "Field '%s' of the selection not found in table '%s'"};
inline constexpr TABSNativeError kDataPostRefused{10907, "%s"};
inline constexpr TABSNativeError kDataUnlockFailed{10908, "Cannot unlock table"};
inline constexpr TABSNativeError kDataTableAfterDotExpected{10909, kTextTableNameExpected};
inline constexpr TABSNativeError kDeleteFromExpected{10910, kTextTokenExpected};
inline constexpr TABSNativeError kDeleteTableExpected{10911, kTextTableNameExpected};
inline constexpr TABSNativeError kDataOrderByExpected{10914, kTextTokenExpected};
inline constexpr TABSNativeError kDataOrderByColumnExpected{10915, kTextFieldNameExpected};
inline constexpr TABSNativeError kInsertDefaultValuesExpected{10916, kTextTokenExpected};
inline constexpr TABSNativeError kUpdateColumnExpected{10917, kTextFieldNameExpected};
inline constexpr TABSNativeError kUpdateValueExpected{10918, "Error parsing parameter '%s' at line %d, column %d"};
inline constexpr TABSNativeError kUpdateValueUndefined{10919, "Parameter Value undefined (FieldName='%s', Type='%s')"};
inline constexpr TABSNativeError kDataValueTooLong{10920, "Value too long for field '%s' (at most %d)"};

}  // namespace kelvorin::native
