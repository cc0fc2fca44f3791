// Native error codes of the statements that change the structure of the
// database: CREATE TABLE and its column grammar, DROP TABLE, ALTER TABLE,
// RENAME TABLE, CREATE INDEX and DROP INDEX.
#pragma once

#include "db/query/sql/sql_errors.h"

namespace kelvorin::native {

inline constexpr std::string_view kTextSymbolsExpected = "')' or ',' symbol expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextOpenExpected = "'(' symbol expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextBlank = "Blank SQL command";
inline constexpr std::string_view kTextNotNullExpected =
    "'NULL' expected (for NOT NULL), but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextIndexKeywordExpected =
    "'INDEX' keyword expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextAlterActionExpected =
    "ADD, DROP or MODIFY keyword expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextOnExpected = "'ON' keyword expected, but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextPasswordExpected =
    "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d";
inline constexpr std::string_view kTextIndexNameExpected = "index name expected, but '%s' found at line %d, column %d";

// The column grammar and CREATE TABLE.
inline constexpr TABSNativeError kColumnListOpenExpected{30226, kTextTokenExpected};
inline constexpr TABSNativeError kItemNameExpected{30227, kTextFieldNameExpected};
inline constexpr TABSNativeError kFieldTypeExpected{30228, "Field type expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kOptionFollowerExpected{30229, kTextSymbolsExpected};
inline constexpr TABSNativeError kTableNameExpected{30230, kTextTableNameExpected};
inline constexpr TABSNativeError kMemoryTableNameExpected{30231, kTextTableNameExpected};
inline constexpr TABSNativeError kUnknownFieldType{30232, "Unknown field type '%s' at line %d, column %d"};
inline constexpr TABSNativeError kSizeOpenExpected{30233, kTextOpenExpected};
inline constexpr TABSNativeError kSizeExpected{30235, "Decimal constant expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kSizeCloseExpected{30236, kTextSymbolsExpected};
inline constexpr TABSNativeError kNotNullReservedWord{2011, kTextNotNullExpected};
inline constexpr TABSNativeError kNotNullExpected{30237, kTextNotNullExpected};
inline constexpr TABSNativeError kCreateTableTrailing{30246, kTextUnexpectedToken};
inline constexpr TABSNativeError kCreateTableExists{30247, "Cannot create table. Table '%s' already exists"};
inline constexpr TABSNativeError kCreateTableFailed{30248, "Error creating table: '%s'"};
inline constexpr TABSNativeError kCreateTableBlank{30249, kTextBlank};
inline constexpr TABSNativeError kDefaultFollowerExpected{30298, kTextSymbolsExpected};
inline constexpr TABSNativeError kAutoIncOptionsEnd{30290, kTextUnexpectedEnd};
inline constexpr TABSNativeError kIntegerOutOfRange{30291, kTextIntegerExpected};
inline constexpr TABSNativeError kIntegerExpected{30292, kTextIntegerExpected};
inline constexpr TABSNativeError kAutoIncOptionUnexpected{30294, kTextUnexpectedToken};
inline constexpr TABSNativeError kAutoIncTypeUnsupported{
    30295, "Unsupported Autoinc DataType (%s) found at line %d, column %d"};
inline constexpr TABSNativeError kDefaultTwice{30299, "default value for column '%s' declared twice"};

// DROP TABLE, ALTER TABLE, RENAME TABLE.
inline constexpr TABSNativeError kDropTableTrailing{30246, kTextUnexpectedToken};
inline constexpr TABSNativeError kDropTableFailed{30250, "Error dropping table: '%s'"};
inline constexpr TABSNativeError kDropTableBlank{30251, kTextBlank};
inline constexpr TABSNativeError kAlterActionUnknown{30252, kTextAlterActionExpected};
inline constexpr TABSNativeError kAlterActionExpected{30253, kTextAlterActionExpected};
inline constexpr TABSNativeError kModifyFieldNotFound{30259, "Field '%s' not found"};
inline constexpr TABSNativeError kAlterTableBlank{30261, kTextBlank};
inline constexpr TABSNativeError kAlterTableFailed{30265, "Error altering table: '%s'"};
inline constexpr TABSNativeError kRestructureFailed{30347, "Restructure table error: '%s'"};
inline constexpr TABSNativeError kDropFieldNotFound{30349, "Field '%s' not found"};
inline constexpr TABSNativeError kAddFieldExists{30351, "Field by name '%s' already exists"};
inline constexpr TABSNativeError kRenameColumnToExpected{30352, kTextTokenExpected};
inline constexpr TABSNativeError kRenameTableBlank{30354, kTextBlank};
inline constexpr TABSNativeError kRenameTableToExpected{30355, kTextTokenExpected};
inline constexpr TABSNativeError kDropListNextExpected{10406, kTextUnexpectedToken};
inline constexpr TABSNativeError kDropListNameExpected{10408, kTextFieldNameExpected};

// CREATE INDEX and DROP INDEX, and the indexes declared in a column list.
inline constexpr TABSNativeError kIndexKeywordExpected{30267, kTextIndexKeywordExpected};
inline constexpr TABSNativeError kIndexKeywordNotIndex{30268, kTextIndexKeywordExpected};
inline constexpr TABSNativeError kIndexNameExpected{30269, kTextIndexNameExpected};
inline constexpr TABSNativeError kOnExpected{30270, kTextOnExpected};
inline constexpr TABSNativeError kOnNotOn{30271, kTextOnExpected};
inline constexpr TABSNativeError kIndexTableExpected{30272, kTextTableNameExpected};
inline constexpr TABSNativeError kIndexColumnsOpenExpected{30273, kTextOpenExpected};
inline constexpr TABSNativeError kIndexColumnExpected{30274, kTextFieldNameExpected};
inline constexpr TABSNativeError kIndexPasswordExpected{30275, kTextPasswordExpected};
inline constexpr TABSNativeError kIndexPasswordFollower{30276, kTextSymbolsExpected};
inline constexpr TABSNativeError kDropIndexTableMissing{30278, kTextUnexpectedEnd};
inline constexpr TABSNativeError kDropIndexDotMissing{30279, kTextUnexpectedEnd};
inline constexpr TABSNativeError kDropIndexDotExpected{30280, kTextTokenExpected};
inline constexpr TABSNativeError kDropIndexNameMissing{30281, kTextUnexpectedEnd};
inline constexpr TABSNativeError kDropIndexPasswordExpected{30282, kTextPasswordExpected};

// Codes of these statements that the original catalogue does not have.
inline constexpr TABSNativeError kDDLInTransaction{10930, "%s cannot run inside a transaction"};
inline constexpr TABSNativeError kColumnOptionExpected{
    10931, "Column option, ')' or ',' expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kUnknownCompression{
    10932, "Unknown compression algorithm '%s' at line %d, column %d"};
inline constexpr TABSNativeError kBoundExpected{10933, "Value expected, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kPrimaryKeyTwice{10934, "Primary key declared twice at line %d, column %d"};
inline constexpr TABSNativeError kKeyColumnsOpenExpected{10935, kTextOpenExpected};
inline constexpr TABSNativeError kIndexColumnFollower{10936, kTextSymbolsExpected};
inline constexpr TABSNativeError kBlobBlockSizeRange{
    10937, "BLOBBLOCKSIZE must be between %d and %d, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kCompressionLevelRange{
    10938, "BLOBCOMPRESSIONMODE must be between 0 and %d, but '%s' found at line %d, column %d"};
inline constexpr TABSNativeError kDefaultInvalid{10939, "Default value of column '%s' is not valid: %s"};
inline constexpr TABSNativeError kBoundInvalid{10940, "Value limit of column '%s' is not valid: %s"};
inline constexpr TABSNativeError kAutoIncSettingsInvalid{10941, "Auto-increment settings of column '%s' are not valid: %s"};
inline constexpr TABSNativeError kColumnDeclaredTwice{10942, "Column '%s' declared twice"};
inline constexpr TABSNativeError kIndexColumnUnknown{10943, "Index '%s' names the unknown column '%s'"};
inline constexpr TABSNativeError kAlterTrailing{10944, kTextUnexpectedToken};
inline constexpr TABSNativeError kRenameTargetMissing{10945, kTextUnexpectedEnd};
inline constexpr TABSNativeError kDropIndexedColumn{10946, "Cannot drop column '%s': the index '%s' uses it"};
inline constexpr TABSNativeError kDropLastColumn{10947, "Cannot drop every column of table '%s'"};
inline constexpr TABSNativeError kDropListCloseExpected{10948, kTextSymbolsExpected};
inline constexpr TABSNativeError kRenameColumnNotFound{10949, "Field '%s' not found"};
inline constexpr TABSNativeError kCreateIndexTrailing{10950, kTextUnexpectedToken};
inline constexpr TABSNativeError kDropIndexTrailing{10951, kTextUnexpectedToken};
inline constexpr TABSNativeError kIndexDeclaredTwice{10952, "Index '%s' declared twice"};
inline constexpr TABSNativeError kCompressionLevelInvalid{
    10953, "Compression level %d is not valid for the algorithm %s of column '%s'"};

}  // namespace kelvorin::native
