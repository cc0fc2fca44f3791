// The engine's data types: declared column types, the storage types values
// are held and compared in, the SQL type table that links them to their SQL
// names and dataset field types, value sizes and type promotion.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "db/tables/values/dataset_types.h"

namespace kelvorin {

enum class TABSColumnType : uint8_t {
  None = 0,
  Char = 1,
  String = 2,
  WideChar = 3,
  WideString = 4,
  ShortInt = 5,
  SmallInt = 6,
  Integer = 7,
  LargeInt = 8,
  Byte = 9,
  Word = 10,
  Cardinal = 11,
  AutoInc = 12,
  AutoIncShortInt = 13,
  AutoIncSmallInt = 14,
  AutoIncInteger = 15,
  AutoIncLargeInt = 16,
  AutoIncByte = 17,
  AutoIncWord = 18,
  AutoIncCardinal = 19,
  Single = 20,
  Float = 21,
  Extended = 22,
  Logical = 23,
  Currency = 24,
  Date = 25,
  Time = 26,
  DateTime = 27,
  TimeStamp = 28,
  Bytes = 29,
  VarBytes = 30,
  Blob = 31,
  Graphic = 32,
  Memo = 33,
  FormattedMemo = 34,
  WideMemo = 35,
  Guid = 36,
};

enum class TABSStorageType : uint8_t {
  None = 0,
  Char = 1,
  WideChar = 2,
  String = 3,
  WideString = 4,
  ShortInt = 5,
  SmallInt = 6,
  Integer = 7,
  LargeInt = 8,
  Byte = 9,
  Word = 10,
  Cardinal = 11,
  Single = 12,
  Float = 13,
  Extended = 14,
  Date = 15,
  Time = 16,
  DateTime = 17,
  Blob = 18,
  Memo = 19,
  WideMemo = 20,
  Logical = 21,
  Currency = 22,
  Bytes = 23,
  VarBytes = 24,
};

inline constexpr int kMaxColumnType = 36;
inline constexpr int kMaxStorageType = 24;

// One row of the SQL type table.
struct TSQLFieldType {
  std::string_view name;
  TABSColumnType column_type;
  TABSStorageType storage_type;
  TFieldType dataset_type;
};

// The SQL type table, in its fixed order; every lookup takes the first match.
std::span<const TSQLFieldType> SQLFieldTypes();
// The row whose name equals `name` (ASCII case ignored), or nullptr.
const TSQLFieldType* FindSQLFieldType(std::string_view name);

TABSStorageType StorageTypeOf(TABSColumnType type);
TABSColumnType ColumnTypeOfStorage(TABSStorageType type);
// ftUnknown when the column type has no row.
TFieldType DatasetTypeOf(TABSColumnType type);
// Raises 30289 "Unknown DataType: '%s'" (the type's number) when none.
TABSColumnType ColumnTypeOfDatasetType(TFieldType type);
// "Unknown" when the type has no row.
std::string_view ColumnTypeName(TABSColumnType type);
std::string_view StorageTypeName(TABSStorageType type);

// Bytes one value takes in a record held in memory; `declared_size` is the
// column's size attribute (characters or bytes). Raises 30050 for an unknown
// storage type, and a range error when the bytes of a sized value would fall
// outside 0..2^31-1. BLOB-like values take kBlobReferenceMemorySize bytes.
int32_t StorageSize(TABSStorageType type, int32_t declared_size);
inline constexpr int32_t kBlobReferenceMemorySize = 10;
inline constexpr int32_t kBlobReferenceStoredSize = 6;
// Bytes of the fixed-size storage types (0 for strings, BLOB-like and byte arrays).
int32_t FixedValueSize(TABSStorageType type);

// Column-type classes.
bool IsStringColumn(TABSColumnType type);        // 1..4
bool IsWideStringColumn(TABSColumnType type);    // 3, 4
bool IsStringOrGuidColumn(TABSColumnType type);  // 1..4, 36
bool IsAutoIncColumn(TABSColumnType type);       // 12..19
bool IsBlobColumn(TABSColumnType type);          // 31..35
bool IsByteArrayColumn(TABSColumnType type);     // 29, 30

// Storage-type classes.
bool IsStringStorage(TABSStorageType type);      // 1..4
bool IsWideStringStorage(TABSStorageType type);  // 2, 4
bool IsNumericStorage(TABSStorageType type);     // 5..14, 22
bool IsIntegerStorage(TABSStorageType type);     // 5..11
bool IsFloatStorage(TABSStorageType type);       // 12..14
bool IsDateTimeStorage(TABSStorageType type);    // 15..17
bool IsBlobStorage(TABSStorageType type);        // 18..20

// The common storage type of two operands, None when there is none.
// Arithmetic asks with dates_win false, comparison with true.
TABSStorageType ResultType(TABSStorageType left, TABSStorageType right, bool dates_win);
TABSColumnType ResultColumnType(TABSColumnType left, TABSColumnType right, bool dates_win);

}  // namespace kelvorin
