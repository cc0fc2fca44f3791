// Arithmetic on TABSVariant: wrap and range rules, division errors, NULL
// operands, dates and times, negation.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "values_test_support.h"

namespace kelvorin {
namespace {

using namespace testing_support;
using S = TABSStorageType;

class ValuesArithmeticTest : public PinnedLocaleTest {};

enum class Op { kAdd, kMultiply, kDivide };

struct ArithmeticCase {
  const char* name;
  Op op;
  TABSVariant left;
  TABSVariant right;
  TABSVariant expected;  // ignored when error != 0
  int32_t error = 0;     // native code, -1 for "Range check error"
};

void Apply(TABSVariant& v, Op op, const TABSVariant& right) {
  if (op == Op::kAdd) v.Add(right);
  if (op == Op::kMultiply) v.Multiply(right);
  if (op == Op::kDivide) v.Divide(right);
}

TEST_F(ValuesArithmeticTest, Table) {
  const std::vector<ArithmeticCase> cases = {
      {"BYTE 200 + 100", Op::kAdd, U8(200), U8(100), TABSVariant(), -1},
      {"BYTE 200 + 55", Op::kAdd, U8(200), U8(55), U8(255)},
      {"SHORTINT wraps never", Op::kMultiply, I8(-128), I8(-1), TABSVariant(), -1},
      {"SMALLINT range", Op::kAdd, I16(32767), I16(1), TABSVariant(), -1},
      {"WORD + BYTE stays WORD", Op::kAdd, U16(65535), U8(1), TABSVariant(), -1},
      {"WORD + SHORTINT may go negative", Op::kAdd, U16(0), I8(-1), I32(-1)},
      {"INTEGER wraps", Op::kAdd, I32(2147483647), I32(1), I32(INT32_MIN)},
      {"INTEGER multiply wraps", Op::kMultiply, I32(65536), I32(65536), I32(0)},
      {"LARGEINT wraps", Op::kAdd, I64(INT64_MAX), I64(1), I64(INT64_MIN)},
      {"LARGEINT multiply wraps", Op::kMultiply, I64(INT64_MIN), I64(-1), I64(INT64_MIN)},
      {"CARDINAL wraps", Op::kAdd, U32(4294967295u), U32(1), U32(0)},
      {"INTEGER + CARDINAL in LARGEINT", Op::kAdd, I32(-1), U32(4294967295u), I64(4294967294)},
      {"SHORTINT + WORD in WORD", Op::kAdd, I8(1), U16(2), U16(3)},
      {"WORD + SHORTINT in INTEGER", Op::kAdd, U16(2), I8(-3), I32(-1)},
      {"integer division truncates", Op::kDivide, I32(-7), I32(2), I32(-3)},
      {"CARDINAL division unsigned", Op::kDivide, U32(4000000000u), U32(3), U32(1333333333u)},
      {"INTEGER 1 / 0", Op::kDivide, I32(1), I32(0), TABSVariant(), 30128},
      {"INTEGER min / -1", Op::kDivide, I32(INT32_MIN), I32(-1), TABSVariant(), 30128},
      {"LARGEINT min / -1", Op::kDivide, I64(INT64_MIN), I64(-1), TABSVariant(), 30128},
      {"SHORTINT -128 / -1", Op::kDivide, I8(-128), I8(-1), TABSVariant(), 30128},
      {"FLOAT / 0", Op::kDivide, F64(1), F64(0), TABSVariant(), 30128},
      {"FLOAT", Op::kMultiply, F64(1.5), F64(2), F64(3)},
      {"SINGLE precision", Op::kAdd, F32(0.1f), F32(0.2f), F32(0.1f + 0.2f)},
      {"EXTENDED", Op::kDivide, F80(1), F80(3), F80(1.0L / 3.0L)},
      {"numeric + CURRENCY", Op::kAdd, I32(1), Money(0.5), Money(1.5)},
      {"CURRENCY + numeric", Op::kAdd, Money(0.5), I32(1), I32(1)},
      {"LOGICAL or", Op::kMultiply, Bool(false), Bool(true), Bool(true)},
      {"LOGICAL both false", Op::kDivide, Bool(false), Bool(false), Bool(false)},
      {"concatenation", Op::kAdd, Str("ab"), Str("cd"), Str("abcd")},
      {"number + text is text", Op::kAdd, I32(5), Str("3"), Str("53")},
      {"wide concatenation", Op::kAdd, Str("a"), WStr(u"\u010D"), WStr(u"a\u010D")},
      {"text * text", Op::kMultiply, Str("a"), Str("b"), TABSVariant(), 30126},
      {"text / number", Op::kDivide, Str("a"), I32(1), TABSVariant(), 30127},
      {"BLOB + number", Op::kAdd, Blob("a"), I32(1), TABSVariant(), 30124},
      {"DATE + days", Op::kAdd, Day(D(2024, 2, 28)), I32(2), Day(D(2024, 3, 1))},
      {"DATE leaves the calendar", Op::kAdd, Day(kMaxCalendarDay), I32(1), TABSVariant(), 30051},
      {"DATE + TIME", Op::kAdd, Day(D(2024, 1, 5)), Ms(3600000), Stamp(D(2024, 1, 5), 3600000)},
      {"DATETIME carry", Op::kAdd, Stamp(10, 80000000), Stamp(0, 10000000), Stamp(11, 3600000)},
      {"DATETIME + TIME", Op::kAdd, Stamp(D(2024, 1, 5), 82800000), Ms(7200000),
       Stamp(D(2024, 1, 6), 3600000)},
      {"DATETIME carry leaves the calendar", Op::kAdd, Stamp(kMaxCalendarDay, 86399999), Ms(1),
       TABSVariant(), 30051},
      {"DATETIME milliseconds below the 32-bit range", Op::kMultiply, Stamp(1, -2000000000),
       Stamp(1, 2000000000), TABSVariant(), 30051},
      {"TIME overflow", Op::kMultiply, Ms(86399999), Ms(86399999), TABSVariant(), 30051},
      {"TIME / 0", Op::kDivide, Ms(5), Ms(0), TABSVariant(), 30128},
  };
  for (const ArithmeticCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOutcome(c.left, [&](TABSVariant& v) { Apply(v, c.op, c.right); }, c.error, c.expected);
  }
}

TEST_F(ValuesArithmeticTest, DivisionErrorCarriesTheUnderlyingMessage) {
  std::string message;
  TABSVariant v = I32(1);
  EXPECT_EQ(CodeOf([&] { v.Divide(I32(0)); }, &message), 30128);
  EXPECT_EQ(message, "Division error: Division by zero - Native error: 30128");
  TABSVariant s = I8(-128);
  CodeOf([&] { s.Divide(I8(-1)); }, &message);
  EXPECT_EQ(message, "Division error: Range check error - Native error: 30128");
  TABSVariant t = Str("x");
  CodeOf([&] { t.Multiply(Str("y")); }, &message);
  EXPECT_EQ(message, "Not numeric argument in numeric operator '*' - Native error: 30126");
}

TEST_F(ValuesArithmeticTest, NullOperands) {
  TABSVariant number = I32(5);
  number.Add(Null(S::Integer));
  EXPECT_TRUE(number.IsNull());
  TABSVariant text = Str("ab");
  text.Add(Null(S::String));
  EXPECT_EQ(text.AsString(), "ab");
  TABSVariant empty(S::Integer);
  empty.Add(I16(7));
  EXPECT_TRUE(SameValue(empty, I16(7)));
  TABSVariant product(S::Integer);
  product.Multiply(I32(3));
  EXPECT_TRUE(product.IsNull());
  TABSVariant quotient = I32(6);
  quotient.Divide(Null(S::Integer));
  EXPECT_TRUE(quotient.IsNull());
}

TEST_F(ValuesArithmeticTest, Negate) {
  struct Case {
    const char* name;
    TABSVariant value;
    TABSVariant expected;
    int32_t error = 0;
  } cases[] = {
      {"SHORTINT", I8(5), I8(-5)},
      {"SHORTINT min", I8(-128), TABSVariant(), -1},
      {"SMALLINT min", I16(-32768), TABSVariant(), -1},
      {"INTEGER min wraps", I32(INT32_MIN), I32(INT32_MIN)},
      {"LARGEINT min wraps", I64(INT64_MIN), I64(INT64_MIN)},
      {"BYTE becomes SHORTINT", U8(128), I8(-128)},
      {"BYTE 200", U8(200), TABSVariant(), -1},
      {"WORD becomes SMALLINT", U16(7), I16(-7)},
      {"CARDINAL becomes INTEGER", U32(2147483648u), I32(INT32_MIN)},
      {"CARDINAL too large", U32(2147483649u), TABSVariant(), -1},
      {"DATE", Day(5), Day(-5)},
      {"empty-date marker", Day(kEmptyDate), TABSVariant(), 30051},
      {"FLOAT", F64(1.5), F64(-1.5)},
      {"EXTENDED", F80(2), F80(-2)},
      {"CURRENCY", Money(3), Money(-3)},
      {"LOGICAL", Bool(true), Bool(false)},
      {"NULL stays NULL", Null(S::Integer), Null(S::Integer)},
      {"SINGLE -0", F32(0.0f), F32(-0.0f)},
      {"TIME", Ms(5), TABSVariant(), 30123},
      {"DATETIME", Stamp(5, 0), TABSVariant(), 30123},
      {"string", Str("1"), TABSVariant(), 30123},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOutcome(c.value, [](TABSVariant& v) { v.Negate(); }, c.error, c.expected);
  }
}

}  // namespace
}  // namespace kelvorin
