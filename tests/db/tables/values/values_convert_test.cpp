// The conversion matrix: every source class to its targets, with the
// conversion and cast errors, under a pinned locale profile.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "db/tables/values/value_convert.h"
#include "values_test_support.h"

namespace kelvorin {
namespace {

using namespace testing_support;
using S = TABSStorageType;

class ValuesConvertTest : public PinnedLocaleTest {};

struct ConvertCase {
  const char* name;
  TABSVariant source;
  S to;
  TABSVariant expected;  // ignored when error != 0
  int32_t error = 0;
};

void RunCases(const std::vector<ConvertCase>& cases) {
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOutcome(c.source, [&](TABSVariant& v) { v.ConvertTo(c.to); }, c.error, c.expected);
  }
}

TEST_F(ValuesConvertTest, FromStrings) {
  RunCases({
      {"text to SHORTINT", Str("-128"), S::ShortInt, I8(-128)},
      {"200 to SHORTINT", Str("200"), S::ShortInt, TABSVariant(), 30051},
      {"text to SMALLINT", Str("+32767"), S::SmallInt, I16(32767)},
      {"text to BYTE", Str("255"), S::Byte, U8(255)},
      {"negative BYTE", Str("-1"), S::Byte, TABSVariant(), 30051},
      {"text to WORD", Str("65535"), S::Word, U16(65535)},
      {"text to CARDINAL", Str("2147483647"), S::Cardinal, U32(2147483647u)},
      {"CARDINAL beyond 32-bit text", Str("3000000000"), S::Cardinal, TABSVariant(), 30051},
      {"negative CARDINAL", Str("-5"), S::Cardinal, TABSVariant(), 30051},
      {"text to INTEGER", Str("-2147483648"), S::Integer, I32(INT32_MIN)},
      {"LARGEINT beyond 32 bits", Str("3000000000"), S::LargeInt, TABSVariant(), 30051},
      {"text to LARGEINT", Str("-7"), S::LargeInt, I64(-7)},
      {"blank before integer", Str(" 7"), S::Integer, TABSVariant(), 30051},
      {"hex integer", Str("$1F"), S::Integer, TABSVariant(), 30051},
      {"sign only", Str("-"), S::Integer, TABSVariant(), 30051},
      {"point is the float separator", Str("1.5"), S::Float, F64(1.5)},
      {"comma is not", Str("1,5"), S::Float, TABSVariant(), 30051},
      {"exponent", Str("-2.5e3"), S::Single, F32(-2500.0f)},
      {"nan refused", Str("nan"), S::Float, TABSVariant(), 30051},
      {"inf refused", Str("inf"), S::Extended, TABSVariant(), 30051},
      {"hex float refused", Str("0x1p3"), S::Float, TABSVariant(), 30051},
      {"beyond SINGLE", Str("1e39"), S::Single, TABSVariant(), 30051},
      {"EXTENDED", Str("0.1"), S::Extended, F80(0.1L)},
      {"true in any case", Str("tRuE"), S::Logical, Bool(true)},
      {"one", Str("1"), S::Logical, Bool(true)},
      {"leading blank", Str(" true"), S::Logical, Bool(false)},
      {"other text", Str("yes"), S::Logical, Bool(false)},
      {"currency locale separator", Str("12,34567"), S::Currency, Money(12.3457)},
      {"currency with point", Str("12.5"), S::Currency, TABSVariant(), 30051},
      {"date in short date format", Str("5.1.2024"), S::Date, Day(D(2024, 1, 5))},
      {"invalid date", Str("31.02.2024"), S::Date, TABSVariant(), 30051},
      {"time", Str("13:45:10"), S::Time, Ms(49510000)},
      {"time out of range", Str("24:00:00"), S::Time, TABSVariant(), 30051},
      {"date-time", Str("05.01.2024 1:02:03"), S::DateTime, Stamp(D(2024, 1, 5), 3723000)},
      {"date only as date-time", Str("05.01.2024"), S::DateTime, Stamp(D(2024, 1, 5), 0)},
      {"8-bit to wide", Str("\xE8" "aj"), S::WideString, WStr(u"\u010Daj")},
      {"wide to 8-bit", WStr(u"\u0159\u20AC"), S::String, Str("\xF8\x80")},
      {"wide without 8-bit form", WStr(u"\u4E2D"), S::String, Str("?")},
      {"string to BLOB", Str("abc"), S::Blob, Blob("abc")},
      {"BLOB to string", Blob("xyz"), S::String, Str("xyz")},
      {"BLOB to integer", Blob("42"), S::Integer, I32(42)},
      {"string to MEMO", Str("a"), S::Memo, TABSVariant(), 30052},
      {"string to BYTES", Str("a"), S::Bytes, TABSVariant(), 30052},
  });
}

TEST_F(ValuesConvertTest, FromNumbers) {
  RunCases({
      {"SHORTINT to text", I8(-5), S::String, Str("-5")},
      {"CARDINAL to text", U32(4000000000u), S::String, Str("4000000000")},
      {"LARGEINT to text", I64(INT64_MIN), S::WideString, WStr(u"-9223372036854775808")},
      {"INTEGER to SHORTINT", I32(127), S::ShortInt, I8(127)},
      {"INTEGER out of SHORTINT", I32(128), S::ShortInt, TABSVariant(), 30051},
      {"negative to WORD", I16(-1), S::Word, TABSVariant(), 30051},
      {"CARDINAL to INTEGER", U32(4000000000u), S::Integer, TABSVariant(), 30051},
      {"SHORTINT to CARDINAL", I8(-1), S::Cardinal, TABSVariant(), 30051},
      {"LARGEINT to CARDINAL", I64(4294967295), S::Cardinal, U32(4294967295u)},
      {"INTEGER to FLOAT", I32(-3), S::Float, F64(-3.0)},
      {"INTEGER to CURRENCY", I32(7), S::Currency, Money(7.0)},
      {"INTEGER to DATE", I32(738000), S::Date, Day(738000)},
      {"LARGEINT to DATE", I64(int64_t{1} << 32), S::Date, TABSVariant(), 30051},
      {"INTEGER to TIME", I32(1000), S::Time, Ms(1000)},
      {"CARDINAL beyond TIME", U32(3000000000u), S::Time, TABSVariant(), 30051},
      {"INTEGER to DATETIME", I32(5), S::DateTime, Stamp(5, 0)},
      {"zero to LOGICAL", I32(0), S::Logical, Bool(false)},
      {"number to BLOB", I32(1), S::Blob, TABSVariant(), 30052},
      {"FLOAT to text", F64(1.5), S::String, Str("1,5")},
      {"FLOAT general format", F64(1234567.125), S::String, Str("1234567,125")},
      {"FLOAT 15 digits", F64(0.1 + 0.2), S::String, Str("0,3")},
      {"FLOAT large", F64(1.5e20), S::String, Str("1,5E20")},
      {"FLOAT small", F64(1e-7), S::String, Str("1E-7")},
      {"FLOAT NaN text", F64(std::nan("")), S::String, Str("NAN")},
      {"FLOAT to INTEGER truncates", F64(-2.9), S::Integer, I32(-2)},
      {"FLOAT out of INTEGER", F64(3e9), S::Integer, TABSVariant(), 30051},
      {"NaN to INTEGER", F64(std::nan("")), S::Integer, TABSVariant(), 30051},
      {"infinity to LARGEINT", F64(INFINITY), S::LargeInt, TABSVariant(), 30051},
      {"2^63 to LARGEINT", F64(9223372036854775808.0), S::LargeInt, TABSVariant(), 30051},
      {"NaN to DATE", F64(std::nan("")), S::Date, TABSVariant(), 30051},
      {"huge to DATE", F64(1e12), S::Date, TABSVariant(), 30051},
      {"FLOAT to DATE", F64(738000.7), S::Date, Day(738000)},
      {"FLOAT to TIME", F64(86400001.0), S::Time, Ms(1)},
      {"FLOAT to DATETIME", F64(10.5), S::DateTime, Stamp(10, 43200000)},
      {"FLOAT to SINGLE", F64(0.5), S::Single, F32(0.5f)},
      {"FLOAT beyond SINGLE", F64(1e300), S::Single, TABSVariant(), 30051},
      {"FLOAT to CURRENCY", F64(2.25), S::Currency, Money(2.25)},
      {"EXTENDED beyond CURRENCY", F80(1e400L), S::Currency, TABSVariant(), 30051},
      {"EXTENDED beyond FLOAT", F80(-1e400L), S::Float, TABSVariant(), 30051},
      {"EXTENDED to SINGLE", F80(0.5L), S::Single, F32(0.5f)},
      {"NaN to LOGICAL", F64(std::nan("")), S::Logical, Bool(true)},
      {"CURRENCY to text", Money(1234.5), S::String, Str("1234,5")},
      {"CURRENCY to INTEGER", Money(-7.9), S::Integer, I32(-7)},
      {"CURRENCY to DATE", Money(1), S::Date, TABSVariant(), 30052},
      {"CURRENCY to BLOB", Money(1), S::Blob, TABSVariant(), 30052},
      {"LOGICAL to text", Bool(true), S::String, Str("True")},
      {"LOGICAL to wide text", Bool(false), S::WideString, WStr(u"False")},
      {"LOGICAL to BYTE", Bool(true), S::Byte, U8(1)},
      {"LOGICAL to FLOAT", Bool(false), S::Float, F64(0)},
      {"LOGICAL to CURRENCY", Bool(true), S::Currency, TABSVariant(), 30052},
      {"LOGICAL to DATE", Bool(true), S::Date, TABSVariant(), 30052},
      {"LOGICAL to TIME", Bool(true), S::Time, TABSVariant(), 30052},
  });
}

TEST_F(ValuesConvertTest, FromDatesAndTimes) {
  const int32_t day = D(2024, 1, 5);
  RunCases({
      {"DATE to text", Day(day), S::String, Str("05.01.2024")},
      {"empty date to text", Day(kEmptyDate), S::String, Null(S::String)},
      {"empty date to LOGICAL", Day(kEmptyDate), S::Logical, Bool(false)},
      {"DATE to LOGICAL", Day(day), S::Logical, Bool(true)},
      {"DATE to INTEGER", Day(day), S::Integer, I32(day)},
      {"DATE to SMALLINT", Day(day), S::SmallInt, TABSVariant(), 30051},
      {"DATE to FLOAT", Day(day), S::Float, F64(day)},
      {"DATE to TIME", Day(day), S::Time, Ms(day)},
      {"DATE to DATETIME", Day(day), S::DateTime, Stamp(day, 0)},
      {"TIME to text", Ms(3723004), S::String, Str("1:02:03")},
      {"TIME 0 to text", Ms(0), S::String, Null(S::String)},
      {"TIME to DATE", Ms(5), S::Date, Day(5)},
      {"TIME to DATETIME", Ms(5), S::DateTime, Stamp(kEmptyDate, 5)},
      {"TIME to LOGICAL", Ms(0), S::Logical, Bool(false)},
      {"DATETIME to text", Stamp(day, 3723000), S::String, Str("05.01.2024 1:02:03")},
      {"midnight DATETIME to text", Stamp(day, 0), S::String, Str("05.01.2024")},
      {"empty DATETIME to text", Stamp(kEmptyDate, 0), S::String, Null(S::String)},
      {"DATETIME without date to text", Stamp(kEmptyDate, 3600000), S::String, Str("1:00:00")},
      {"DATETIME to INTEGER", Stamp(day, 5), S::Integer, I32(day)},
      {"DATETIME to FLOAT", Stamp(10, 43200000), S::Float, F64(10.5)},
      {"empty DATETIME to FLOAT", Stamp(kEmptyDate, 21600000), S::Float, F64(0.25)},
      {"DATETIME to CURRENCY", Stamp(1, 1000), S::Currency, Money(1.0)},
      {"DATETIME to DATE", Stamp(day, 5), S::Date, Day(day)},
      {"DATETIME to TIME", Stamp(day, 5), S::Time, Ms(5)},
      {"empty DATETIME to LOGICAL", Stamp(kEmptyDate, 0), S::Logical, Bool(false)},
      {"time only DATETIME to LOGICAL", Stamp(kEmptyDate, 1), S::Logical, Bool(true)},
      {"DATE to BLOB", Day(day), S::Blob, TABSVariant(), 30052},
      {"DATE out of the calendar to text", Day(0), S::String, TABSVariant(), 30051},
  });
}

TEST_F(ValuesConvertTest, DatesInTextFollowTheProfile) {
  UseIsoDates();
  TABSVariant v = Str("2024-01-05");
  v.ConvertTo(S::Date);
  EXPECT_EQ(v.AsDate(), D(2024, 1, 5));
  EXPECT_EQ(v.AsString(), "2024-01-05");
}

TEST_F(ValuesConvertTest, FloatTextIgnoresTheLocaleCurrencyFollowsIt) {
  platform::SetCurrentLocale(platform::LocaleProfile::FromLocale("en_US"));
  RunCases({
      {"point under a point locale", Str("1.5"), S::Float, F64(1.5)},
      {"FLOAT back with the point", F64(1.5), S::String, Str("1.5")},
      {"currency with the locale's point", Str("12.5"), S::Currency, Money(12.5)},
      {"currency comma refused", Str("12,5"), S::Currency, TABSVariant(), 30051},
      {"date in the locale's order", Str("1/5/2024"), S::Date, Day(D(2024, 1, 5))},
  });
}

TEST_F(ValuesConvertTest, ChangeTypeTurnsFailuresIntoNull) {
  TABSVariant v = Str("abc");
  v.ChangeType(S::Integer);
  EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(v.Type(), S::Integer);
  TABSVariant w = Str("12");
  w.ChangeType(S::Integer);
  EXPECT_EQ(w.AsInteger(), 12);
  TABSVariant n(S::String);
  n.ChangeType(S::Date);
  EXPECT_TRUE(n.IsNull());
  EXPECT_EQ(n.Type(), S::Date);
}

TEST_F(ValuesConvertTest, ConversionErrorsNameBothTypes) {
  std::string message;
  TABSVariant v = Str("200");
  EXPECT_EQ(CodeOf([&] { v.ConvertTo(S::ShortInt); }, &message), 30051);
  EXPECT_EQ(message, "Cannot cast from 'STRING' to 'SHORTINT' - Native error: 30051");
  TABSVariant b = Bool(true);
  EXPECT_EQ(CodeOf([&] { b.ConvertTo(S::DateTime); }, &message), 30052);
  EXPECT_EQ(message, "Cannot cast from 'LOGICAL' to 'DATETIME' - Native error: 30052");
}

TEST_F(ValuesConvertTest, UnterminatedStringBufferIsBounded) {
  const char raw[4] = {'1', '2', '3', '4'};
  TABSMemoryBlock out = ConvertValue(raw, 2, S::String, S::Integer);
  EXPECT_EQ(LoadLE<int32_t>(out.data()), 12);
  EXPECT_EQ(CodeOf([&] { ConvertValue(raw, 2, S::Integer, S::String); }), 30051);
}

}  // namespace
}  // namespace kelvorin
