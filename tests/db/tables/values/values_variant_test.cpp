// TABSVariant itself: NULL state, typed setters and getters, owned and
// shared data, raw access, release of its memory.
#include <gtest/gtest.h>

#include <cstring>

#include "values_test_support.h"

namespace kelvorin {
namespace {

using namespace testing_support;
using S = TABSStorageType;

class ValuesVariantTest : public PinnedLocaleTest {};

TEST_F(ValuesVariantTest, NewValueIsNullOfItsType) {
  TABSVariant v(S::Integer);
  EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(v.NullMarker(), 0xFF);
  EXPECT_EQ(v.DataSize(), 0);
  EXPECT_EQ(v.StringLength(), -1);
  std::string message;
  EXPECT_EQ(CodeOf([&] { v.AsInteger(); }, &message), 30016);
  EXPECT_EQ(message, "Value is Null - Native error: 30016");
}

TEST_F(ValuesVariantTest, SettersKeepAnExistingType) {
  TABSVariant v(S::SmallInt);
  v.SetInteger(300);
  EXPECT_EQ(v.Type(), S::SmallInt);
  EXPECT_EQ(v.AsSmallInt(), 300);
  EXPECT_EQ(CodeOf([&] { v.SetInteger(70000); }), 30051);
  TABSVariant s(S::String);
  s.SetFloat(2.5);
  EXPECT_EQ(s.AsString(), "2,5");
  EXPECT_EQ(s.StringLength(), 3);
  TABSVariant untyped;
  untyped.SetWord(5);
  EXPECT_EQ(untyped.Type(), S::Word);
}

TEST_F(ValuesVariantTest, EmptyStringIsNull) {
  TABSVariant v = I32(5);
  v.SetString("");
  EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(v.Type(), S::Integer);
  TABSVariant w;
  w.SetWideString(u"");
  EXPECT_TRUE(w.IsNull());
  TABSVariant time_as_text(S::String);
  time_as_text.SetTime(0);
  EXPECT_TRUE(time_as_text.IsNull());
  // Also when the raw bytes land in an owned buffer of the same size.
  TABSVariant reused = U8(5);
  reused.SetRaw("", 1, S::String);
  EXPECT_TRUE(reused.IsNull());
  EXPECT_EQ(reused.Type(), S::String);
  TABSVariant reused_wide = U16(5);
  reused_wide.SetRaw("\0\0", 2, S::WideString);
  EXPECT_TRUE(reused_wide.IsNull());
}

TEST_F(ValuesVariantTest, ShortFixedDataIsNeverReadPastItsEnd) {
  // A raw buffer shorter than its type's size (from a damaged record) fails
  // as a conversion instead of being read beyond its end.
  const uint8_t one_byte = 7;
  TABSVariant v;
  v.SetRaw(&one_byte, 1, S::Integer);
  EXPECT_EQ(CodeOf([&] { v.Compare(I32(7)); }), 30051);
  EXPECT_EQ(CodeOf([&] { I32(7).Compare(v); }), 30051);
  EXPECT_EQ(CodeOf([&] { v.Add(I32(1)); }), 30051);
  TABSVariant sum = I32(1);
  EXPECT_EQ(CodeOf([&] { sum.Add(v); }), 30051);
  EXPECT_EQ(sum.AsInteger(), 1);
  EXPECT_EQ(CodeOf([&] { v.Negate(); }), 30051);
  EXPECT_EQ(CodeOf([&] { v.AsInteger(); }), 30051);
  const int32_t four = 7;
  EXPECT_EQ(CodeOf([&] {
              CompareValues(&one_byte, &four, S::Integer, S::Integer, false, false, false, -1, 1, 4);
            }),
            30051);
  EXPECT_EQ(CompareValues(&four, &four, S::Integer, S::Integer, false, false, false, -1, 4, 4),
            kCompareEqual);
  // Nor is it written where loading would refuse it.
  std::string bytes;
  TABSStringValueOutput out(&bytes);
  EXPECT_EQ(CodeOf([&] { v.SaveToStream(out); }), 30051);
  EXPECT_TRUE(bytes.empty());
  // A longer buffer keeps only the type's own bytes, so it reads back.
  const uint8_t wide[8] = {7, 0, 0, 0, 9, 9, 9, 9};
  TABSVariant longer;
  longer.SetRaw(wide, 8, S::Integer);
  longer.SaveToStream(out);
  TABSBufferValueInput in(bytes);
  TABSVariant back;
  back.LoadFromStream(in);
  EXPECT_EQ(back.AsInteger(), 7);
  EXPECT_EQ(back.DataSize(), 4);
  // A value without a storage type has no stream form either.
  TABSVariant untyped;
  untyped.SetRaw(wide, 4, S::None);
  std::string more;
  TABSStringValueOutput out_more(&more);
  EXPECT_EQ(CodeOf([&] { untyped.SaveToStream(out_more); }), 10502);
  EXPECT_TRUE(more.empty());
}

TEST_F(ValuesVariantTest, AssignCopiesOrShares) {
  TABSVariant source = Str("abc");
  TABSVariant copy;
  copy.Assign(source, true);
  EXPECT_FALSE(copy.IsShared());
  EXPECT_NE(copy.Data(), source.Data());
  TABSVariant shared;
  shared.Assign(source, false);
  EXPECT_TRUE(shared.IsShared());
  EXPECT_EQ(shared.Data(), source.Data());
  TABSVariant null_source(S::Date);
  copy.Assign(null_source);
  EXPECT_TRUE(copy.IsNull());
  EXPECT_EQ(copy.Type(), S::Date);
  source.Assign(source);
  EXPECT_EQ(source.AsString(), "abc");
  TABSVariant& self = source;
  source = self;
  EXPECT_EQ(source.AsString(), "abc");
}

TEST_F(ValuesVariantTest, SetRawReusesAnOwnedBufferOfTheSameSize) {
  TABSVariant v = I32(1);
  const void* before = v.Data();
  int32_t other = 7;
  v.SetRaw(&other, 4, S::Integer);
  EXPECT_EQ(v.Data(), before);
  EXPECT_EQ(v.AsInteger(), 7);
  char record[8] = {'x', 'y', 0};
  v.SetRaw(record, 3, S::String, false);
  EXPECT_TRUE(v.IsShared());
  record[0] = 'z';
  EXPECT_EQ(v.AsString(), "zy");
  TABSVariant own = Str("abcdef");
  own.SetRaw(static_cast<const char*>(own.Data()) + 3, 4, S::String, false);
  EXPECT_FALSE(own.IsShared());
  EXPECT_EQ(own.AsString(), "def");
}

TEST_F(ValuesVariantTest, GetRaw) {
  char buffer[8] = {};
  EXPECT_FALSE(Null(S::Integer).GetRaw(buffer));
  TABSVariant one_char;
  one_char.SetRaw("", 1, S::String);
  EXPECT_FALSE(one_char.GetRaw(buffer));
  EXPECT_TRUE(I32(0x44434241).GetRaw(buffer, 4));
  EXPECT_EQ(std::memcmp(buffer, "ABCD", 4), 0);
  std::string message;
  EXPECT_EQ(CodeOf([&] { I64(1).GetRaw(buffer, 4); }, &message), 20056);
  EXPECT_EQ(message, "Buffer size exceeded - Native error: 20056");
}

TEST_F(ValuesVariantTest, GettersConvert) {
  EXPECT_EQ(Str("42").AsInteger(), 42);
  EXPECT_EQ(I32(42).AsString(), "42");
  EXPECT_EQ(I32(42).AsWideString(), u"42");
  EXPECT_EQ(WStr(u"\u0161").AsString(), "\x9A");
  EXPECT_TRUE(Str("TRUE").AsLogical());
  EXPECT_EQ(CodeOf([] { Str("x").AsDate(); }), 30051);
  EXPECT_EQ(Day(kDateDelta).AsCalendarDateTime(), 0.0);
}

TEST_F(ValuesVariantTest, ConvertToKeepsTheValueOnFailure) {
  TABSVariant v = Str("abc");
  EXPECT_EQ(CodeOf([&] { v.ConvertTo(S::Integer); }), 30051);
  EXPECT_EQ(v.Type(), S::String);
  EXPECT_EQ(v.AsString(), "abc");
  TABSVariant n(S::String);
  n.ConvertTo(S::Integer);
  EXPECT_EQ(n.Type(), S::Integer);
  EXPECT_TRUE(n.IsNull());
}

TEST_F(ValuesVariantTest, ValuesAreReleased) {
  const int64_t before = MemoryManager().AllocatedBytes();
  {
    TABSVariant a = Str("some text");
    TABSVariant b = a;
    TABSVariant c = std::move(b);
    c.Add(Str(" more"));
    a.Clear(S::Integer);
  }
  EXPECT_EQ(MemoryManager().AllocatedBytes(), before);
}

}  // namespace
}  // namespace kelvorin
