// Storage encodings: EXTENDED bytes, day numbers and calendar values, the
// stream form and its validation, the dataset variant exchange.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "db/tables/values/value_encoding.h"
#include "values_test_support.h"

namespace kelvorin {
namespace {

using namespace testing_support;
using S = TABSStorageType;

class ValuesEncodingTest : public PinnedLocaleTest {};

TEST_F(ValuesEncodingTest, ExtendedBytesAreX87) {
  struct Case {
    long double value;
    uint8_t bytes[10];
  } cases[] = {
      {1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
      {-2.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0}},
      {0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {-0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
      {3.0L, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0x00, 0x40}},
      {std::numeric_limits<long double>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
  };
  for (const Case& c : cases) {
    uint8_t out[10];
    EncodeExtended(out, c.value);
    EXPECT_EQ(std::memcmp(out, c.bytes, 10), 0) << static_cast<double>(c.value);
    long double back = DecodeExtended(c.bytes);
    EXPECT_EQ(back, c.value);
    EXPECT_EQ(std::signbit(back), std::signbit(c.value));
  }
  uint8_t nan[10];
  EncodeExtended(nan, std::numeric_limits<long double>::quiet_NaN());
  EXPECT_TRUE(std::isnan(DecodeExtended(nan)));
}

TEST_F(ValuesEncodingTest, ExtendedRoundTripsEveryMagnitude) {
  for (long double v : {0.1L, -1e-300L, 1e300L, 123456789.123456789L,
                        std::numeric_limits<long double>::min(),
                        std::numeric_limits<long double>::denorm_min(),
                        std::numeric_limits<long double>::max(), 1.0L + 1e-18L}) {
    uint8_t bytes[10];
    EncodeExtended(bytes, v);
    EXPECT_EQ(DecodeExtended(bytes), v) << static_cast<double>(v);
  }
}

TEST_F(ValuesEncodingTest, DayNumbers) {
  EXPECT_EQ(DayNumberOf(1, 1, 1), 1);
  EXPECT_EQ(DayNumberOf(1899, 12, 30), kDateDelta);
  EXPECT_EQ(DayNumberOf(9999, 12, 31), kMaxCalendarDay);
  EXPECT_EQ(DayNumberOf(2000, 3, 1) - DayNumberOf(2000, 2, 28), 2);
  EXPECT_EQ(DayNumberOf(1900, 3, 1) - DayNumberOf(1900, 2, 28), 1);
  for (int64_t day : {int64_t{1}, int64_t{kDateDelta}, int64_t{738890}, int64_t{kMaxCalendarDay}}) {
    TABSCivilDate d = CivilDateOf(day);
    EXPECT_EQ(DayNumberOf(d.year, d.month, d.day), day);
  }
  EXPECT_EQ(CivilDateOf(1).day_of_week, 1);  // 0001-01-01 was a Monday
  EXPECT_EQ(CivilDateOf(DayNumberOf(2024, 1, 5)).day_of_week, 5);
}

TEST_F(ValuesEncodingTest, CalendarValues) {
  struct Case {
    double value;
    int32_t day;
    int32_t ms;
  } cases[] = {
      {0.0, kDateDelta, 0},
      {1.5, kDateDelta + 1, 43200000},
      {-1.25, kDateDelta - 1, 21600000},  // 1899-12-29 06:00, the fraction counts forward
      {-693593.0, 1, 0},
      {45296.999999999999, kDateDelta + 45297, 0},  // rounds up into the next day
      {-1.9999999999999, kDateDelta, 0},
      {0.5 / 86400000.0, kDateDelta, 0},  // half a millisecond rounds to even
      {1.5 / 86400000.0, kDateDelta, 2},
  };
  for (const Case& c : cases) {
    int32_t day = 0;
    int32_t ms = 0;
    ASSERT_TRUE(CalendarToDayMs(c.value, &day, &ms)) << c.value;
    EXPECT_EQ(day, c.day) << c.value;
    EXPECT_EQ(ms, c.ms) << c.value;
  }
  int32_t day = 0;
  int32_t ms = 0;
  for (double bad : {std::nan(""), double(INFINITY), -double(INFINITY), 1e10, -3e9}) {
    EXPECT_FALSE(CalendarToDayMs(bad, &day, &ms)) << bad;
  }
  // Every day and time goes there and back.
  for (int32_t d : {1, kDateDelta - 400, kDateDelta - 1, kDateDelta, kDateDelta + 1, kMaxCalendarDay}) {
    for (int32_t m : {0, 1, 999, 43200000, 86399999}) {
      ASSERT_TRUE(CalendarToDayMs(DayMsToCalendar(d, m), &day, &ms));
      EXPECT_EQ(day, d);
      EXPECT_EQ(ms, m);
    }
  }
}

TEST_F(ValuesEncodingTest, CalendarSettersRejectNonFiniteValues) {
  TABSVariant v;
  EXPECT_EQ(CodeOf([&] { v.SetDateTimeFromCalendar(std::nan("")); }), 30051);
  EXPECT_EQ(CodeOf([&] { v.SetDateFromCalendar(1e300); }), 30051);
  v.SetDateTimeFromCalendar(-1.25);
  EXPECT_DOUBLE_EQ(v.AsCalendarDateTime(), -1.25);
  EXPECT_EQ(v.AsString(), "29.12.1899 6:00:00");
}

std::vector<TABSVariant> OneOfEveryEncoding() {
  std::vector<TABSVariant> values = {
      Str("P\xF8\xEDli\x9A"),
      WStr(u"\u017Elu\u0165ou\u010Dk\u00FD"),
      I8(-128), I16(-32768), I32(INT32_MIN), I64(INT64_MIN),
      U8(255), U16(65535), U32(4294967295u),
      F32(-1.5f), F64(0.1), F80(1.0L / 3.0L),
      Day(kEmptyDate), Day(738890), Ms(86399999), Stamp(738890, 1),
      Bool(true), Bool(false), Money(-12.3456),
      Blob(std::string("a\0b", 3)),
      Null(S::Integer), Null(S::None), Null(S::WideMemo),
  };
  TABSVariant fixed_char(S::Char);
  fixed_char.SetRaw("ab", 3, S::Char);
  values.push_back(fixed_char);
  TABSVariant wide_char;
  wide_char.SetRaw("x\0\0\0", 4, S::WideChar);
  values.push_back(wide_char);
  for (S bytes_type : {S::Bytes, S::VarBytes, S::Memo}) {
    TABSVariant raw;
    raw.SetRaw("\x01\x02\x03", 3, bytes_type);
    values.push_back(raw);
  }
  return values;
}

TEST_F(ValuesEncodingTest, StreamFormRoundTripsEveryEncoding) {
  std::string bytes;
  TABSStringValueOutput out(&bytes);
  std::vector<TABSVariant> values = OneOfEveryEncoding();
  for (const TABSVariant& v : values) v.SaveToStream(out);
  TABSBufferValueInput in(bytes);
  for (const TABSVariant& v : values) {
    TABSVariant back = Str("old content is cleared");
    back.LoadFromStream(in);
    EXPECT_TRUE(SameValue(back, v));
    EXPECT_EQ(back.Type(), v.Type());
  }
  EXPECT_EQ(in.Position(), in.Size());
}

TEST_F(ValuesEncodingTest, StreamFormLayout) {
  std::string bytes;
  TABSStringValueOutput out(&bytes);
  I32(0x01020304).SaveToStream(out);
  Null(S::Date).SaveToStream(out);
  EXPECT_EQ(bytes, std::string("\x07\x00\x04\x00\x00\x00\x04\x03\x02\x01\x0F\xFF", 12));
}

TEST_F(ValuesEncodingTest, LoadingValidatesTheStream) {
  struct Case {
    const char* name;
    std::string bytes;
    int32_t error;
  } cases[] = {
      {"empty", "", 10501},
      {"type only", std::string("\x07", 1), 10501},
      {"unknown type", std::string("\x19\x00\x04\x00\x00\x00" "abcd", 10), 10502},
      {"typeless value", std::string("\x00\x00\x01\x00\x00\x00x", 7), 10502},
      {"bad null marker", std::string("\x07\x01", 2), 10502},
      {"short size", std::string("\x07\x00\x04\x00", 4), 10501},
      {"negative size", std::string("\x03\x00\xFF\xFF\xFF\xFF", 6), 10502},
      {"zero size", std::string("\x03\x00\x00\x00\x00\x00", 6), 10502},
      {"wrong fixed size", std::string("\x07\x00\x02\x00\x00\x00" "ab", 8), 10502},
      {"size beyond the data", std::string("\x03\x00\x00\x00\x00\x10" "abc", 9), 10502},
      {"unterminated string", std::string("\x03\x00\x03\x00\x00\x00" "abc", 9), 10502},
      {"odd wide size", std::string("\x04\x00\x03\x00\x00\x00" "a\0\0", 9), 10502},
      {"unterminated wide", std::string("\x04\x00\x02\x00\x00\x00" "ab", 8), 10502},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TABSBufferValueInput in(c.bytes);
    TABSVariant v = I32(1);
    EXPECT_EQ(CodeOf([&] { v.LoadFromStream(in); }), c.error);
  }
}

TEST_F(ValuesEncodingTest, DatasetVariantExchange) {
  struct Case {
    const char* name;
    TABSVariant value;
    TVarType out;
  } cases[] = {
      {"SMALLINT", I16(-2), varSmallint},     {"INTEGER", I32(7), varInteger},
      {"SINGLE", F32(0.5f), varSingle},       {"FLOAT", F64(0.25), varDouble},
      {"CURRENCY", Money(1.5), varDouble},    {"EXTENDED", F80(2), varDouble},
      {"DATE", Day(kDateDelta + 2), varDouble}, {"TIME", Ms(43200000), varDouble},
      {"DATETIME", Stamp(kDateDelta + 1, 43200000), varDate},
      {"WIDESTRING", WStr(u"\u010D"), varOleStr}, {"LOGICAL", Bool(true), varBoolean},
      {"SHORTINT", I8(-1), varShortInt},      {"BYTE", U8(1), varByte},
      {"WORD", U16(2), varWord},              {"CARDINAL", U32(3000000000u), varLongWord},
      {"LARGEINT", I64(INT64_MIN), varInt64}, {"STRING", Str("x"), varString},
      {"CHAR", Typed(S::Char, [](TABSVariant& v) { v.SetString("c"); }), varString},
      {"WIDECHAR", Typed(S::WideChar, [](TABSVariant& v) { v.SetWideString(u"\u010D"); }),
       varOleStr},
      {"BLOB", Blob("raw"), varString},       {"NULL", Null(S::Integer), varNull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDataVariant out = c.value.ToDataVariant();
    EXPECT_EQ(out.type(), c.out);
    // Coming back into a value of the same type restores it.
    TABSVariant back(c.value.Type());
    back.FromDataVariant(out);
    EXPECT_TRUE(SameValue(back, c.value));
  }
  EXPECT_DOUBLE_EQ(Day(kDateDelta + 2).ToDataVariant().AsReal(), kDateDelta + 2.0);
  EXPECT_DOUBLE_EQ(Stamp(kDateDelta + 1, 43200000).ToDataVariant().AsReal(), 1.5);
  TABSVariant untyped;
  untyped.FromDataVariant(TDataVariant::String("abc"));
  EXPECT_EQ(untyped.Type(), S::String);
  untyped.FromDataVariant(TDataVariant::Null());
  EXPECT_TRUE(untyped.IsNull());
  EXPECT_EQ(untyped.Type(), S::String);
  std::string message;
  EXPECT_EQ(CodeOf([&] { untyped.FromDataVariant(TDataVariant::OfType(varArray)); }, &message),
            30113);
  EXPECT_EQ(message, "Unsupported Variant Type Array - Native error: 30113");
  TABSVariant memo;
  memo.SetRaw("m", 1, S::Memo);
  EXPECT_EQ(CodeOf([&] { memo.ToDataVariant(); }, &message), 30114);
  EXPECT_EQ(message, "Unsupported Variant Type MEMO - Native error: 30114");
}

}  // namespace
}  // namespace kelvorin
