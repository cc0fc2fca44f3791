// The SQL type table, its lookups, value sizes and the promotion table.
#include "db/tables/values/field_types.h"

#include <gtest/gtest.h>

#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;
using C = TABSColumnType;

TEST(ValuesFieldTypesTest, LookupsTakeTheFirstRow) {
  EXPECT_EQ(SQLFieldTypes().size(), 59u);
  EXPECT_EQ(ColumnTypeOfDatasetType(ftWideString), C::WideChar);
  EXPECT_EQ(ColumnTypeOfDatasetType(ftSmallint), C::SmallInt);
  EXPECT_EQ(ColumnTypeOfDatasetType(ftWord), C::Word);
  EXPECT_EQ(ColumnTypeOfDatasetType(ftFloat), C::Float);
  EXPECT_EQ(ColumnTypeOfDatasetType(ftLargeint), C::LargeInt);
  for (TFieldType t : {ftBlob, ftParadoxOle, ftTypedBinary, ftDBaseOle}) {
    EXPECT_EQ(ColumnTypeOfDatasetType(t), C::Blob);
  }
  EXPECT_EQ(ColumnTypeName(C::Float), "FLOAT");
  EXPECT_EQ(ColumnTypeName(C::Logical), "LOGICAL");
  EXPECT_EQ(StorageTypeName(S::Float), "FLOAT");
  EXPECT_EQ(StorageTypeName(S::DateTime), "DATETIME");
  EXPECT_EQ(StorageTypeName(S::Logical), "LOGICAL");
  EXPECT_EQ(StorageTypeName(S::None), "Unknown");
  EXPECT_EQ(StorageTypeOf(C::TimeStamp), S::DateTime);
  EXPECT_EQ(StorageTypeOf(C::Guid), S::Char);
  EXPECT_EQ(ColumnTypeOfStorage(S::Integer), C::Integer);
  EXPECT_EQ(DatasetTypeOf(C::WideMemo), ftBlob);
  EXPECT_EQ(DatasetTypeOf(C::None), ftUnknown);
  EXPECT_EQ(FindSQLFieldType("varchar2")->column_type, C::String);
  EXPECT_EQ(FindSQLFieldType("NUMBER"), nullptr);
}

TEST(ValuesFieldTypesTest, UnknownDatasetTypeNamesItsNumber) {
  try {
    ColumnTypeOfDatasetType(ftUnknown);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError(), 30289);
    EXPECT_STREQ(e.what(), "Unknown DataType: '25' - Native error: 30289");
  }
}

TEST(ValuesFieldTypesTest, StorageSizes) {
  struct Case {
    S type;
    int32_t declared;
    int32_t bytes;
  } cases[] = {
      {S::Char, 10, 11},      {S::String, 0, 1},     {S::WideChar, 10, 22}, {S::WideString, 3, 8},
      {S::ShortInt, 0, 1},    {S::SmallInt, 0, 2},   {S::Integer, 0, 4},    {S::LargeInt, 0, 8},
      {S::Byte, 0, 1},        {S::Word, 0, 2},       {S::Cardinal, 0, 4},   {S::Single, 0, 4},
      {S::Float, 0, 8},       {S::Extended, 0, 10},  {S::Date, 0, 4},       {S::Time, 0, 4},
      {S::DateTime, 0, 8},    {S::Blob, 0, 10},      {S::Memo, 0, 10},      {S::WideMemo, 0, 10},
      {S::Logical, 0, 2},     {S::Currency, 0, 8},   {S::Bytes, 16, 16},    {S::VarBytes, 7, 7},
  };
  for (const Case& c : cases) EXPECT_EQ(StorageSize(c.type, c.declared), c.bytes) << int(c.type);
  // Declared sizes come from SQL text and files: a size whose bytes do not
  // fit the signed 32-bit range is a range error, never a wrapped size.
  const Case out_of_range[] = {
      {S::Char, INT32_MAX, 0},           {S::WideString, INT32_MAX / 2, 0},
      {S::WideChar, INT32_MAX, 0},       {S::Bytes, -1, 0},
      {S::String, INT32_MIN, 0},         {S::WideChar, -1000, 0},
  };
  for (const Case& c : out_of_range) {
    EXPECT_THROW(StorageSize(c.type, c.declared), ERangeError) << int(c.type) << " " << c.declared;
  }
  EXPECT_EQ(StorageSize(S::WideString, INT32_MAX / 2 - 1), INT32_MAX - 1);
  try {
    StorageSize(S::None, 0);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_STREQ(e.what(), "Unknown DataType: 'Unknown' - Native error: 30050");
  }
}

TEST(ValuesFieldTypesTest, PromotionTable) {
  struct Case {
    S left, right;
    S arithmetic;  // dates win = false
    S comparison;  // dates win = true
  } cases[] = {
      {S::ShortInt, S::Word, S::Word, S::Word},
      {S::Word, S::ShortInt, S::Integer, S::Integer},
      {S::ShortInt, S::Byte, S::SmallInt, S::SmallInt},
      {S::Byte, S::Byte, S::Byte, S::Byte},
      {S::Integer, S::Cardinal, S::LargeInt, S::LargeInt},
      {S::Cardinal, S::ShortInt, S::LargeInt, S::LargeInt},
      {S::Cardinal, S::Word, S::Cardinal, S::Cardinal},
      {S::LargeInt, S::Single, S::Single, S::Single},
      {S::Single, S::Float, S::Float, S::Float},
      {S::Extended, S::ShortInt, S::Extended, S::Extended},
      {S::Integer, S::Currency, S::Currency, S::Currency},
      {S::Currency, S::Integer, S::Integer, S::Integer},
      {S::Integer, S::Logical, S::Integer, S::Integer},
      {S::Logical, S::Integer, S::Integer, S::Integer},
      {S::Logical, S::Logical, S::Logical, S::Logical},
      {S::Logical, S::Date, S::None, S::None},
      {S::Logical, S::Currency, S::None, S::None},
      {S::Currency, S::Logical, S::None, S::None},
      {S::Currency, S::Date, S::None, S::None},
      {S::Integer, S::String, S::String, S::String},
      {S::Integer, S::Date, S::Date, S::Date},
      {S::Char, S::WideChar, S::WideChar, S::WideChar},
      {S::WideChar, S::Char, S::WideChar, S::WideChar},
      {S::WideChar, S::String, S::WideChar, S::WideChar},
      {S::String, S::WideChar, S::WideChar, S::WideChar},
      {S::String, S::Char, S::String, S::String},
      {S::WideString, S::WideChar, S::WideString, S::WideString},
      {S::String, S::Integer, S::String, S::String},
      {S::String, S::Logical, S::String, S::String},
      {S::String, S::Date, S::String, S::Date},
      {S::WideString, S::DateTime, S::WideString, S::DateTime},
      {S::Date, S::String, S::String, S::Date},
      {S::Time, S::WideChar, S::WideChar, S::Time},
      {S::Date, S::Integer, S::Date, S::Date},
      {S::Date, S::Date, S::Date, S::Date},
      {S::Date, S::Time, S::DateTime, S::DateTime},
      {S::Time, S::Date, S::DateTime, S::DateTime},
      {S::Time, S::Float, S::Time, S::Time},
      {S::DateTime, S::Time, S::DateTime, S::DateTime},
      {S::Date, S::Logical, S::None, S::None},
      {S::Time, S::Currency, S::None, S::None},
      {S::Blob, S::Blob, S::None, S::None},
      {S::Memo, S::String, S::None, S::None},
      {S::String, S::Memo, S::None, S::None},
      {S::Bytes, S::Bytes, S::None, S::None},
      {S::VarBytes, S::Integer, S::None, S::None},
      {S::Integer, S::WideMemo, S::None, S::None},
      {S::None, S::Integer, S::None, S::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResultType(c.left, c.right, false), c.arithmetic)
        << StorageTypeName(c.left) << " " << StorageTypeName(c.right);
    EXPECT_EQ(ResultType(c.left, c.right, true), c.comparison)
        << StorageTypeName(c.left) << " " << StorageTypeName(c.right);
  }
}

TEST(ValuesFieldTypesTest, NumericPromotionTableInFull) {
  // Rows left SHORTINT..EXTENDED (5..14), columns right, as the engine's
  // documentation lists them; the same whether dates win or not.
  const int table[10][10] = {
      {5, 6, 7, 8, 6, 10, 11, 12, 13, 14},      {6, 6, 7, 8, 6, 10, 11, 12, 13, 14},
      {7, 7, 7, 8, 7, 7, 8, 12, 13, 14},        {8, 8, 8, 8, 8, 8, 8, 12, 13, 14},
      {6, 6, 7, 8, 9, 10, 11, 12, 13, 14},      {7, 7, 7, 8, 10, 10, 11, 12, 13, 14},
      {8, 8, 8, 8, 11, 11, 11, 12, 13, 14},     {12, 12, 12, 12, 12, 12, 12, 12, 13, 14},
      {13, 13, 13, 13, 13, 13, 13, 13, 13, 14}, {14, 14, 14, 14, 14, 14, 14, 14, 14, 14},
  };
  for (int l = 0; l < 10; ++l) {
    for (int r = 0; r < 10; ++r) {
      const S left = static_cast<S>(l + 5);
      const S right = static_cast<S>(r + 5);
      for (bool dates_win : {false, true}) {
        EXPECT_EQ(static_cast<int>(ResultType(left, right, dates_win)), table[l][r])
            << StorageTypeName(left) << " " << StorageTypeName(right);
      }
    }
  }
}

TEST(ValuesFieldTypesTest, ResultColumnTypePrefersTheOperandTypes) {
  EXPECT_EQ(ResultColumnType(C::AutoInc, C::SmallInt, false), C::AutoInc);
  EXPECT_EQ(ResultColumnType(C::SmallInt, C::AutoInc, false), C::AutoInc);
  EXPECT_EQ(ResultColumnType(C::Word, C::ShortInt, false), C::Integer);
  EXPECT_EQ(ResultColumnType(C::TimeStamp, C::Date, false), C::TimeStamp);
  EXPECT_EQ(ResultColumnType(C::Date, C::Time, false), C::DateTime);
  EXPECT_EQ(ResultColumnType(C::Blob, C::Integer, false), C::None);
}

}  // namespace
}  // namespace kelvorin
