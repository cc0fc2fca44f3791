// Ordering of values: NULL first, numbers in their common type, NaN and -0,
// strings by the Czech collation, strings against dates.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "db/tables/values/value_compare.h"
#include "values_test_support.h"

namespace kelvorin {
namespace {

using namespace testing_support;
using S = TABSStorageType;

class ValuesCompareTest : public PinnedLocaleTest {};

struct CompareCase {
  const char* name;
  TABSVariant left;
  TABSVariant right;
  TABSCompareResult raw;
  bool case_insensitive = false;
};

void RunCases(const std::vector<CompareCase>& cases) {
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.left.Compare(c.right, true, false, c.case_insensitive), c.raw);
    // The signed form of the buffer comparison agrees with the raw code.
    const int sign = SignedCompareResult(c.raw);
    EXPECT_EQ(CompareValuesSigned(c.left.Data(), c.right.Data(), c.left.Type(), c.right.Type(),
                                  c.left.IsNull(), c.right.IsNull(), c.case_insensitive, -1,
                                  c.left.DataSize(), c.right.DataSize()),
              sign);
  }
}

TEST_F(ValuesCompareTest, NullSortsBeforeEveryValue) {
  RunCases({
      {"NULL vs smallest LARGEINT", Null(S::LargeInt), I64(INT64_MIN), kCompareLeftNull},
      {"smallest INTEGER vs NULL", I32(INT32_MIN), Null(S::Integer), kCompareRightNull},
      {"NULL vs empty-date marker", Null(S::Date), Day(kEmptyDate), kCompareLeftNull},
      {"two NULLs", Null(S::String), Null(S::Integer), kCompareBothNull},
      {"NULL of incompatible types", Null(S::Blob), Null(S::Logical), kCompareBothNull},
      {"NULL vs -infinity", Null(S::Float), F64(-INFINITY), kCompareLeftNull},
  });
  EXPECT_EQ(Null(S::Integer).Compare(I32(1)), kCompareLess);
  EXPECT_EQ(I32(1).Compare(Null(S::Integer)), kCompareGreater);
  EXPECT_EQ(Null(S::Integer).Compare(Null(S::Integer)), kCompareEqual);
}

TEST_F(ValuesCompareTest, NumbersInTheirCommonType) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  RunCases({
      {"signed", I8(-1), I8(1), kCompareLess},
      {"unsigned BYTE", U8(200), U8(100), kCompareGreater},
      {"CARDINAL above 2^31", U32(3000000000u), U32(1), kCompareGreater},
      {"CARDINAL vs INTEGER as LARGEINT", U32(3000000000u), I32(-1), kCompareGreater},
      {"WORD vs SHORTINT", U16(65535), I8(-1), kCompareGreater},
      {"INTEGER vs FLOAT", I32(2), F64(2.5), kCompareLess},
      {"SINGLE vs FLOAT", F32(0.5f), F64(0.5), kCompareEqual},
      {"EXTENDED precision", F80(1.0L + 1e-18L), F80(1.0L), kCompareGreater},
      {"-0 equals +0", F64(-0.0), F64(0.0), kCompareEqual},
      {"NaN equals NaN", F64(nan), F64(nan), kCompareEqual},
      {"NaN above +infinity", F64(nan), F64(INFINITY), kCompareGreater},
      {"number below NaN", F64(1e308), F64(nan), kCompareLess},
      {"CURRENCY", Money(1.25), Money(1.5), kCompareLess},
      {"LOGICAL false before true", Bool(false), Bool(true), kCompareLess},
      {"LOGICAL vs INTEGER as INTEGER", Bool(true), I32(1), kCompareEqual},
      {"DATE", Day(D(2024, 1, 5)), Day(D(2023, 12, 31)), kCompareGreater},
      {"TIME", Ms(1), Ms(0), kCompareGreater},
      {"DATETIME day first", Stamp(5, 0), Stamp(4, 86399999), kCompareGreater},
      {"DATETIME then time", Stamp(5, 10), Stamp(5, 20), kCompareLess},
      {"DATE vs DATETIME", Day(5), Stamp(5, 1), kCompareLess},
  });
}

TEST_F(ValuesCompareTest, StringsCollateUnderTheCzechProfile) {
  RunCases({
      {"c before c-caron", Str("cena"), Str("\xE8" "as"), kCompareLess},
      {"ch after h", Str("chata"), Str("hrad"), kCompareGreater},
      {"r-caron after r", Str("\xF8" "eka"), Str("rys"), kCompareGreater},
      {"accent counts", Str("a"), Str("\xE1"), kCompareLess},
      {"case counts", Str("a"), Str("A"), kCompareLess},
      {"case ignored", Str("a"), Str("A"), kCompareEqual, true},
      {"accent kept when case is ignored", Str("A"), Str("\xE1"), kCompareLess, true},
      {"hyphen takes part", Str("a-b"), Str("ab"), kCompareLess},
      {"apostrophe takes part", Str("o'b"), Str("ob"), kCompareLess},
      {"wide strings", WStr(u"\u010Dest"), WStr(u"cesta"), kCompareGreater},
      {"8-bit vs wide", Str("\xE8" "est"), WStr(u"\u010Dest"), kCompareEqual},
      {"text 10 before text 9", Str("10"), I32(9), kCompareLess},
      {"number then text", I32(9), Str("10"), kCompareGreater},
  });
}

TEST_F(ValuesCompareTest, PrefixComparesTheShorterLength) {
  EXPECT_EQ(Str("Nov").Compare(Str("Novak"), false, true), kCompareEqual);
  EXPECT_EQ(Str("Nov").Compare(Str("Novak"), false, false), kCompareLess);
  EXPECT_EQ(Str("nov").Compare(Str("NOVAK"), false, true, true), kCompareEqual);
  EXPECT_EQ(CompareValues("abcx", "abcy", S::String, S::String, false, false, false, 3),
            kCompareEqual);
  EXPECT_EQ(CompareValues("abcx", "abcy", S::String, S::String, false, false, false, 4),
            kCompareLess);
}

TEST_F(ValuesCompareTest, StringAgainstDateComparesAsDates) {
  UseIsoDates();
  EXPECT_EQ(Str("2024-01-05").Compare(Day(D(2024, 1, 5))), kCompareEqual);
  EXPECT_EQ(Day(D(2024, 1, 6)).Compare(Str("2024-01-05")), kCompareGreater);
  EXPECT_EQ(CodeOf([] { Str("5.1.2024").Compare(Day(1)); }), 30051);
}

TEST_F(ValuesCompareTest, IncompatibleAndUncomparableTypes) {
  std::string message;
  EXPECT_EQ(CodeOf([] { Bool(true).Compare(Day(1)); }, &message), 30044);
  EXPECT_EQ(message,
            "Cannot compare Incompatible DataTypes: 'LOGICAL' and 'DATE' - Native error: 30044");
  EXPECT_EQ(CodeOf([] { Blob("a").Compare(Blob("a")); }, &message), 30047);
  EXPECT_EQ(message, "Unknown DataType: 'BLOB' - Native error: 30047");
  EXPECT_EQ(CodeOf([] { CompareValues(nullptr, "a", S::String, S::String, false, false, false, -1); }),
            30140);
}

}  // namespace
}  // namespace kelvorin
