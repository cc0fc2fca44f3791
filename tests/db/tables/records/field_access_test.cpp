// Record layouts and field access on memory records.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "db/storage/file/little_endian.h"
#include "tests/db/engine_error_capture.h"
#include "tests/db/tables/records/record_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::ErrorOf;
using testing::FieldOf;
using testing::FieldsFixture;
using C = TABSColumnType;

TEST(RecordLayoutTest, PlayersRecordHasNoPadding) {
  FieldsFixture t({FieldOf("Jmeno", C::String, 20), FieldOf("Rating", C::Integer), FieldOf("id", C::AutoInc)});
  const TABSFieldDefs& fields = t.metadata.Fields();
  EXPECT_EQ(fields.Items(0)->MemoryOffset(), 1);
  EXPECT_EQ(fields.Items(1)->MemoryOffset(), 22);
  EXPECT_EQ(fields.Items(2)->MemoryOffset(), 26);
  EXPECT_EQ(t.metadata.MemoryRecordSize(), 30);
  EXPECT_EQ(t.metadata.StoredRecordSize(), 30);
  EXPECT_EQ(t.record[0], 0xFF) << "a new record has every field NULL";
}

TEST(RecordLayoutTest, BlobFieldsTakeTenBytesInMemoryAndSixStored) {
  FieldsFixture t({FieldOf("a", C::Integer), FieldOf("b", C::Blob), FieldOf("c", C::Memo), FieldOf("d", C::Byte)});
  const TABSFieldDefs& fields = t.metadata.Fields();
  EXPECT_EQ(fields.Items(2)->MemoryOffset(), 15);
  EXPECT_EQ(fields.Items(2)->StoredOffset(), 11);
  EXPECT_EQ(t.metadata.MemoryRecordSize(), 26);
  EXPECT_EQ(t.metadata.StoredRecordSize(), 18);
  EXPECT_EQ(t.Fields().BlobFields(), (std::vector<int32_t>{1, 2}));
}

// Declared sizes come from files and SQL text: sums beyond 32 bits give the
// largest size (which no page holds) instead of a wrapped one.
TEST(RecordLayoutTest, SizesAreSummedIn64Bits) {
  FieldsFixture t({FieldOf("a", C::String, 1000000000), FieldOf("b", C::String, 1000000000),
                   FieldOf("c", C::String, 1000000000), FieldOf("d", C::Integer)});
  EXPECT_EQ(t.metadata.MemoryRecordSize(), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(t.metadata.StoredRecordSize(), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(t.metadata.Fields().Items(3)->MemoryOffset(), std::numeric_limits<int32_t>::max());
}

class FieldAccessTest : public ::testing::Test {
 protected:
  FieldAccessTest()
      : t({FieldOf("s", C::String, 5), FieldOf("i", C::Integer), FieldOf("f", C::Single), FieldOf("e", C::Extended),
           FieldOf("w", C::WideString, 3), FieldOf("g", C::Guid, 38), FieldOf("b", C::Blob), FieldOf("l", C::Float)}) {}
  uint8_t* Record() { return t.record.data(); }
  FieldsFixture t;
};

TEST_F(FieldAccessTest, RawValuesRoundTrip) {
  const TABSRecordFields& fields = t.Fields();
  const int32_t i = 1234567;
  SetFieldData(fields, 1, &i, Record());
  int32_t read = 0;
  EXPECT_TRUE(GetFieldData(fields, 1, &read, Record()));
  EXPECT_EQ(read, i);
  // SINGLE and EXTENDED fields are handed over as 8-byte doubles.
  for (const int32_t field : {2, 3}) {
    const double value = 2.25;
    SetFieldData(fields, field, &value, Record());
    double back = 0;
    EXPECT_TRUE(GetFieldData(fields, field, &back, Record()));
    EXPECT_EQ(back, value) << field;
  }
  EXPECT_EQ(LoadLE<float>(fields.Slot(Record(), 2)), 2.25f);
  // A double beyond what a SINGLE holds is refused and changes nothing;
  // infinities are kept.
  const std::vector<uint8_t> before = t.record;
  const double too_large = 1e39;
  EXPECT_EQ(ErrorCode([&] { SetFieldData(fields, 2, &too_large, Record()); }), 30051);
  EXPECT_EQ(t.record, before);
  const double infinite = -std::numeric_limits<double>::infinity();
  SetFieldData(fields, 2, &infinite, Record());
  EXPECT_EQ(LoadLE<float>(fields.Slot(Record(), 2)), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(GetFieldData(fields, 1, nullptr, Record())) << "no buffer: the null test alone";
  EXPECT_FALSE(GetFieldData(fields, 0, &read, Record()));
}

TEST_F(FieldAccessTest, EmptyStringsAndMissingBuffersMakeNull) {
  const TABSRecordFields& fields = t.Fields();
  const char text[6] = "abc";
  const char16_t empty_wide[4] = {0, 'x', 0, 0};
  const char empty[39] = "";
  struct Case {
    int32_t field;
    const void* buffer;
    bool null;
  } cases[] = {{0, text, false},        {0, empty, true},       {4, u"ab", false},
               {4, empty_wide, true},    {5, "{1234}", false},   {5, empty, true},
               {1, nullptr, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    TABSRecordFields::SetNull(Record(), c.field, !c.null);
    SetFieldData(fields, c.field, c.buffer, Record());
    EXPECT_EQ(TABSRecordFields::IsNull(Record(), c.field), c.null);
  }
}

TEST_F(FieldAccessTest, StringsEndAtTheirTerminatorAndWritesForceOne) {
  const TABSRecordFields& fields = t.Fields();
  const char unterminated[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
  SetFieldData(fields, 0, unterminated, Record());
  EXPECT_EQ(fields.Slot(Record(), 0)[5], 0);
  TABSVariant value;
  GetFieldValue(fields, 0, value, Record());
  EXPECT_EQ(value.AsString(), "abcde");
  // A damaged record whose slot has no terminator is read within its slot.
  std::memset(fields.Slot(Record(), 0), 'z', 6);
  GetFieldValue(fields, 0, value, Record());
  EXPECT_EQ(value.AsString(), "zzzzz");
  EXPECT_EQ(value.DataSize(), 6);
  std::memcpy(fields.Slot(Record(), 0), "ab\0yz", 6);
  GetFieldValue(fields, 0, value, Record());
  EXPECT_EQ(value.DataSize(), 3);
}

TEST_F(FieldAccessTest, ValuesAreConvertedToTheFieldBeforeAnythingChanges) {
  const TABSRecordFields& fields = t.Fields();
  TABSVariant value;
  value.SetString("42");
  SetFieldValue(fields, 1, value, Record());
  TABSVariant read;
  GetFieldValue(fields, 1, read, Record());
  EXPECT_EQ(read.Type(), TABSStorageType::Integer);
  EXPECT_EQ(read.AsInteger(), 42);
  value.Clear(TABSStorageType::None);
  value.SetFloat(3.9);
  SetFieldValue(fields, 1, value, Record());
  GetFieldValue(fields, 1, read, Record());
  EXPECT_EQ(read.AsInteger(), 3);

  const std::vector<uint8_t> before = t.record;
  TABSVariant bad;
  bad.SetString("abc");
  EXPECT_EQ(ErrorCode([&] { SetFieldValue(fields, 1, bad, Record()); }), 30051);
  TABSVariant too_long;
  too_long.SetString("abcdef");
  EXPECT_EQ(ErrorOf([&] { SetFieldValue(fields, 0, too_long, Record()); }), "Buffer size exceeded - Native error: 20056");
  EXPECT_EQ(t.record, before);

  TABSVariant empty(TABSStorageType::String);
  empty.SetRaw("", 1, TABSStorageType::String);
  SetFieldValue(fields, 1, empty, Record());
  EXPECT_TRUE(TABSRecordFields::IsNull(Record(), 1)) << "an empty string makes a field NULL";
  TABSVariant null_value(TABSStorageType::Integer);
  GetFieldValue(fields, 1, null_value, Record());
  EXPECT_TRUE(null_value.IsNull());
}

TEST_F(FieldAccessTest, FieldNumbersAndRecordsAreChecked) {
  const TABSRecordFields& fields = t.Fields();
  int32_t buffer = 0;
  EXPECT_EQ(ErrorOf([&] { GetFieldData(fields, 8, &buffer, Record()); }),
            "Invalid field number - FieldNo = 8, FieldCount = 8 - Native error: 10000");
  EXPECT_EQ(ErrorCode([&] { GetFieldData(fields, -1, &buffer, Record()); }), 10000);
  EXPECT_EQ(ErrorCode([&] { SetFieldData(fields, 9, &buffer, Record()); }), 10004);
  EXPECT_EQ(ErrorCode([&] { GetFieldData(fields, 1, &buffer, nullptr); }), 10003);
  EXPECT_EQ(ErrorCode([&] { GetFieldData(fields, 8, &buffer, Record(), native::kCursorFieldNumber20191); }), 20191);
  TABSVariant value;
  EXPECT_EQ(ErrorCode([&] { SetFieldValue(fields, 8, value, Record()); }), 10004);
}

// Only NULL goes into a BLOB field through field access; values go through
// BLOB streams.
TEST_F(FieldAccessTest, BlobFieldsTakeOnlyNull) {
  const TABSRecordFields& fields = t.Fields();
  uint8_t buffer[10] = {};
  TABSRecordFields::SetNull(Record(), 6, false);
  EXPECT_TRUE(GetFieldData(fields, 6, buffer, Record()));
  EXPECT_EQ(buffer[0], 0) << "BLOB data is not copied";
  SetFieldValue(fields, 6, TABSVariant(), Record());
  EXPECT_TRUE(TABSRecordFields::IsNull(Record(), 6));
  EXPECT_EQ(ErrorCode([&] { SetFieldData(fields, 6, buffer, Record()); }), 10765);
  TABSVariant text;
  text.SetString("x");
  EXPECT_EQ(ErrorCode([&] { SetFieldValue(fields, 6, text, Record()); }), 10765);
}

// Records compare as stored forms: what NULL fields hold and the handles
// beside BLOB references do not count.
TEST_F(FieldAccessTest, RecordsCompareAsStoredForms) {
  const TABSRecordFields& fields = t.Fields();
  std::vector<uint8_t> other = t.record;
  EXPECT_TRUE(fields.SameStoredForm(Record(), other.data()));
  fields.Slot(other.data(), 1)[0] = 7;  // NULL field
  StoreLE<uint32_t>(fields.Slot(other.data(), 6) + 6, 99);
  EXPECT_TRUE(fields.SameStoredForm(Record(), other.data()));
  const int32_t value = 7;
  SetFieldData(fields, 1, &value, other.data());
  EXPECT_FALSE(fields.SameStoredForm(Record(), other.data()));
}

}  // namespace
}  // namespace kelvorin
