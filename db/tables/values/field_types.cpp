// The SQL type table, the type lookups and the promotion table.
#include "db/tables/values/field_types.h"

#include <array>
#include <limits>
#include <string>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_errors.h"

namespace kelvorin {
namespace {

using C = TABSColumnType;
using S = TABSStorageType;

constexpr TSQLFieldType kSQLFieldTypes[] = {
    {"CHAR", C::Char, S::Char, ftFixedChar},
    {"FIXEDCHAR", C::Char, S::Char, ftFixedChar},
    {"STRING", C::String, S::String, ftString},
    {"VARCHAR", C::String, S::String, ftString},
    {"VARCHAR2", C::String, S::String, ftString},
    {"WIDECHAR", C::WideChar, S::WideChar, ftWideString},
    {"FIXEDWIDECHAR", C::WideChar, S::WideChar, ftWideString},
    {"WIDESTRING", C::WideString, S::WideString, ftWideString},
    {"WIDEVARCHAR", C::WideString, S::WideString, ftWideString},
    {"SMALLINT", C::SmallInt, S::SmallInt, ftSmallint},
    {"SIGNEDINT16", C::SmallInt, S::SmallInt, ftSmallint},
    {"SHORTINT", C::ShortInt, S::ShortInt, ftSmallint},
    {"SIGNEDINT8", C::ShortInt, S::ShortInt, ftSmallint},
    {"INTEGER", C::Integer, S::Integer, ftInteger},
    {"SIGNEDINT32", C::Integer, S::Integer, ftInteger},
    {"LARGEINT", C::LargeInt, S::LargeInt, ftLargeint},
    {"INT64", C::LargeInt, S::LargeInt, ftLargeint},
    {"SIGNEDINT64", C::LargeInt, S::LargeInt, ftLargeint},
    {"WORD", C::Word, S::Word, ftWord},
    {"UNSIGNEDINT16", C::Word, S::Word, ftWord},
    {"BYTE", C::Byte, S::Byte, ftWord},
    {"UNSIGNEDINT8", C::Byte, S::Byte, ftWord},
    {"CARDINAL", C::Cardinal, S::Cardinal, ftLargeint},
    {"UNSIGNEDINT32", C::Cardinal, S::Cardinal, ftLargeint},
    {"AUTOINC", C::AutoInc, S::Integer, ftAutoInc},
    {"AUTOINCSHORTINT", C::AutoIncShortInt, S::ShortInt, ftAutoInc},
    {"AUTOINCSMALLINT", C::AutoIncSmallInt, S::SmallInt, ftAutoInc},
    {"AUTOINCINTEGER", C::AutoIncInteger, S::Integer, ftAutoInc},
    {"AUTOINCLARGEINT", C::AutoIncLargeInt, S::LargeInt, ftLargeint},
    {"AUTOINCBYTE", C::AutoIncByte, S::Byte, ftAutoInc},
    {"AUTOINCWORD", C::AutoIncWord, S::Word, ftAutoInc},
    {"AUTOINCCARDINAL", C::AutoIncCardinal, S::Cardinal, ftAutoInc},
    {"FLOAT", C::Float, S::Float, ftFloat},
    {"SINGLE", C::Single, S::Single, ftFloat},
    {"DOUBLE", C::Float, S::Float, ftFloat},
    {"EXTENDED", C::Extended, S::Extended, ftFloat},
    {"LOGICAL", C::Logical, S::Logical, ftBoolean},
    {"BOOLEAN", C::Logical, S::Logical, ftBoolean},
    {"BOOL", C::Logical, S::Logical, ftBoolean},
    {"BIT", C::Logical, S::Logical, ftBoolean},
    {"CURRENCY", C::Currency, S::Currency, ftCurrency},
    {"MONEY", C::Currency, S::Currency, ftCurrency},
    {"DATE", C::Date, S::Date, ftDate},
    {"TIME", C::Time, S::Time, ftTime},
    {"DATETIME", C::DateTime, S::DateTime, ftDateTime},
    {"TIMESTAMP", C::TimeStamp, S::DateTime, ftTimeStamp},
    {"BYTES", C::Bytes, S::Bytes, ftBytes},
    {"VARBYTES", C::VarBytes, S::VarBytes, ftVarBytes},
    {"BLOB", C::Blob, S::Blob, ftBlob},
    {"BLOB", C::Blob, S::Blob, ftParadoxOle},
    {"BLOB", C::Blob, S::Blob, ftTypedBinary},
    {"BLOB", C::Blob, S::Blob, ftDBaseOle},
    {"GRAPHIC", C::Graphic, S::Blob, ftGraphic},
    {"MEMO", C::Memo, S::Memo, ftMemo},
    {"CLOB", C::Memo, S::Memo, ftMemo},
    {"FORMATTEDMEMO", C::FormattedMemo, S::Memo, ftFmtMemo},
    {"WIDEMEMO", C::WideMemo, S::WideMemo, ftBlob},
    {"WIDECLOB", C::WideMemo, S::WideMemo, ftMemo},
    {"GUID", C::Guid, S::Char, ftGuid},
};
static_assert(std::size(kSQLFieldTypes) == 59);

constexpr std::string_view kUnknownName = "Unknown";

int Code(S type) { return static_cast<int>(type); }
int Code(C type) { return static_cast<int>(type); }

bool InRange(int code, int low, int high) { return code >= low && code <= high; }

// Bytes of a sized value; the declared size comes from SQL text or a file, so
// a result outside 0..2^31-1 is a range error rather than a wrapped size.
int32_t SizedBytes(int64_t bytes) {
  if (bytes < 0 || bytes > std::numeric_limits<int32_t>::max()) throw ERangeError();
  return static_cast<int32_t>(bytes);
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Promotion of two numeric storage types (5..14), rows left, columns right.
constexpr uint8_t kNumericPromotion[10][10] = {
    {5, 6, 7, 8, 6, 10, 11, 12, 13, 14},        // SHORTINT
    {6, 6, 7, 8, 6, 10, 11, 12, 13, 14},        // SMALLINT
    {7, 7, 7, 8, 7, 7, 8, 12, 13, 14},          // INTEGER
    {8, 8, 8, 8, 8, 8, 8, 12, 13, 14},          // LARGEINT
    {6, 6, 7, 8, 9, 10, 11, 12, 13, 14},        // BYTE
    {7, 7, 7, 8, 10, 10, 11, 12, 13, 14},       // WORD
    {8, 8, 8, 8, 11, 11, 11, 12, 13, 14},       // CARDINAL
    {12, 12, 12, 12, 12, 12, 12, 12, 13, 14},   // SINGLE
    {13, 13, 13, 13, 13, 13, 13, 13, 13, 14},   // FLOAT
    {14, 14, 14, 14, 14, 14, 14, 14, 14, 14}};  // EXTENDED

bool HasNoCommonType(int code) {
  return code == 0 || code == 18 || code == 19 || code == 20 || code == 23 || code == 24 ||
         code > kMaxStorageType;
}

// Left is a string type (1..4).
int StringResult(int left, int right, bool dates_win) {
  if (InRange(right, 15, 17)) return dates_win ? right : left;
  if (InRange(right, 1, 4)) {
    switch (left) {
      case 1:
        return right;
      case 2:
        return right == 4 ? 4 : 2;
      case 3:
        return right == 2 || right == 4 ? right : 3;
      default:
        return 4;
    }
  }
  return left;  // numbers, LOGICAL and CURRENCY become text
}

int ResultCode(int left, int right, bool dates_win) {
  if (HasNoCommonType(left) || HasNoCommonType(right)) return 0;
  if (InRange(left, 1, 4)) return StringResult(left, right, dates_win);
  if (InRange(left, 5, 14)) {
    if (InRange(right, 5, 14)) return kNumericPromotion[left - 5][right - 5];
    if (right == 21) return left;
    return right;  // strings, dates and CURRENCY
  }
  if (InRange(left, 15, 17)) {
    if (InRange(right, 1, 4)) return dates_win ? left : right;
    if (right == 21 || right == 22) return 0;
    if (left == 15) return right == 16 || right == 17 ? 17 : 15;
    if (left == 16) return right == 15 || right == 17 ? 17 : 16;
    return 17;
  }
  // LOGICAL (21) and CURRENCY (22).
  if (InRange(right, 1, 14)) return right;
  return right == left ? left : 0;
}

}  // namespace

std::span<const TSQLFieldType> SQLFieldTypes() { return kSQLFieldTypes; }

const TSQLFieldType* FindSQLFieldType(std::string_view name) {
  for (const TSQLFieldType& row : kSQLFieldTypes) {
    if (row.name.size() != name.size()) continue;
    bool equal = true;
    for (size_t i = 0; i < name.size() && equal; ++i) equal = AsciiUpper(name[i]) == row.name[i];
    if (equal) return &row;
  }
  return nullptr;
}

TABSStorageType StorageTypeOf(TABSColumnType type) {
  for (const TSQLFieldType& row : kSQLFieldTypes) {
    if (row.column_type == type) return row.storage_type;
  }
  return S::None;
}

TABSColumnType ColumnTypeOfStorage(TABSStorageType type) {
  for (const TSQLFieldType& row : kSQLFieldTypes) {
    if (row.storage_type == type) return row.column_type;
  }
  return C::None;
}

TFieldType DatasetTypeOf(TABSColumnType type) {
  for (const TSQLFieldType& row : kSQLFieldTypes) {
    if (row.column_type == type) return row.dataset_type;
  }
  return ftUnknown;
}

TABSColumnType ColumnTypeOfDatasetType(TFieldType type) {
  for (const TSQLFieldType& row : kSQLFieldTypes) {
    if (row.dataset_type == type) return row.column_type;
  }
  throw EABSException(native::kDatasetTypeUnknown, {std::to_string(static_cast<int>(type))});
}

std::string_view ColumnTypeName(TABSColumnType type) {
  for (const TSQLFieldType& row : kSQLFieldTypes) {
    if (row.column_type == type) return row.name;
  }
  return kUnknownName;
}

std::string_view StorageTypeName(TABSStorageType type) {
  for (const TSQLFieldType& row : kSQLFieldTypes) {
    if (row.storage_type == type) return row.name;
  }
  return kUnknownName;
}

int32_t FixedValueSize(TABSStorageType type) {
  switch (type) {
    case S::ShortInt:
    case S::Byte:
      return 1;
    case S::SmallInt:
    case S::Word:
    case S::Logical:
      return 2;
    case S::Integer:
    case S::Cardinal:
    case S::Single:
    case S::Date:
    case S::Time:
      return 4;
    case S::LargeInt:
    case S::Float:
    case S::DateTime:
    case S::Currency:
      return 8;
    case S::Extended:
      return 10;
    default:
      return 0;
  }
}

int32_t StorageSize(TABSStorageType type, int32_t declared_size) {
  const int64_t declared = declared_size;
  switch (type) {
    case S::Char:
    case S::String:
      return SizedBytes(declared + 1);
    case S::WideChar:
    case S::WideString:
      return SizedBytes(2 * (declared + 1));
    case S::Blob:
    case S::Memo:
    case S::WideMemo:
      return kBlobReferenceMemorySize;
    case S::Bytes:
    case S::VarBytes:
      return SizedBytes(declared);
    default:
      break;
  }
  int32_t size = FixedValueSize(type);
  if (size == 0) throw EABSException(native::kStorageSizeUnknownType, {StorageTypeName(type)});
  return size;
}

bool IsStringColumn(TABSColumnType type) { return InRange(Code(type), 1, 4); }
bool IsWideStringColumn(TABSColumnType type) { return InRange(Code(type), 3, 4); }
bool IsStringOrGuidColumn(TABSColumnType type) { return IsStringColumn(type) || type == C::Guid; }
bool IsAutoIncColumn(TABSColumnType type) { return InRange(Code(type), 12, 19); }
bool IsBlobColumn(TABSColumnType type) { return InRange(Code(type), 31, 35); }
bool IsByteArrayColumn(TABSColumnType type) { return type == C::Bytes || type == C::VarBytes; }

bool IsStringStorage(TABSStorageType type) { return InRange(Code(type), 1, 4); }
bool IsWideStringStorage(TABSStorageType type) {
  return type == S::WideChar || type == S::WideString;
}
bool IsNumericStorage(TABSStorageType type) {
  return InRange(Code(type), 5, 14) || type == S::Currency;
}
bool IsIntegerStorage(TABSStorageType type) { return InRange(Code(type), 5, 11); }
bool IsFloatStorage(TABSStorageType type) { return InRange(Code(type), 12, 14); }
bool IsDateTimeStorage(TABSStorageType type) { return InRange(Code(type), 15, 17); }
bool IsBlobStorage(TABSStorageType type) { return InRange(Code(type), 18, 20); }

TABSStorageType ResultType(TABSStorageType left, TABSStorageType right, bool dates_win) {
  return static_cast<S>(ResultCode(Code(left), Code(right), dates_win));
}

TABSColumnType ResultColumnType(TABSColumnType left, TABSColumnType right, bool dates_win) {
  S result = ResultType(StorageTypeOf(left), StorageTypeOf(right), dates_win);
  if (StorageTypeOf(left) == result) return left;
  if (StorageTypeOf(right) == result) return right;
  return ColumnTypeOfStorage(result);
}

}  // namespace kelvorin
