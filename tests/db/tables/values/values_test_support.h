// Helpers of the value tests: a pinned locale profile and short builders.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/abs_variant.h"
#include "db/tables/values/value_encoding.h"
#include "platform/locale_profile.h"

namespace kelvorin::testing_support {

// Every value test runs under the Czech profile unless it installs another.
class PinnedLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }
  void TearDown() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }

  static void UseIsoDates() {
    platform::LocaleFormats formats = platform::LocaleProfile::Czech()->formats();
    formats.short_date_format = "yyyy-MM-dd";
    formats.date_separator = '-';
    platform::SetCurrentLocale(platform::LocaleProfile::WithFormats("cs_CZ", formats));
  }
};

inline TABSVariant Null(TABSStorageType type) { return TABSVariant(type); }
inline TABSVariant Str(std::string_view s) {
  TABSVariant v;
  v.SetString(s);
  return v;
}
inline TABSVariant WStr(std::u16string_view s) {
  TABSVariant v;
  v.SetWideString(s);
  return v;
}
inline TABSVariant Typed(TABSStorageType type, const std::function<void(TABSVariant&)>& set) {
  TABSVariant v(type);
  set(v);
  return v;
}
#define KV_BUILDER(Name, CType, Setter) \
  inline TABSVariant Name(CType x) {    \
    TABSVariant v;                      \
    v.Setter(x);                        \
    return v;                           \
  }
KV_BUILDER(I8, int8_t, SetShortInt)
KV_BUILDER(I16, int16_t, SetSmallInt)
KV_BUILDER(I32, int32_t, SetInteger)
KV_BUILDER(I64, int64_t, SetLargeInt)
KV_BUILDER(U8, uint8_t, SetByte)
KV_BUILDER(U16, uint16_t, SetWord)
KV_BUILDER(U32, uint32_t, SetCardinal)
KV_BUILDER(F32, float, SetSingle)
KV_BUILDER(F64, double, SetFloat)
KV_BUILDER(F80, long double, SetExtended)
KV_BUILDER(Day, int32_t, SetDate)
KV_BUILDER(Ms, int32_t, SetTime)
KV_BUILDER(Bool, bool, SetLogical)
KV_BUILDER(Money, double, SetCurrency)
#undef KV_BUILDER
inline TABSVariant Stamp(int32_t day, int32_t ms) {
  TABSVariant v;
  v.SetDateTime(day, ms);
  return v;
}
inline TABSVariant Blob(std::string_view bytes) {
  TABSVariant v;
  v.SetRaw(bytes.data(), static_cast<int32_t>(bytes.size()), TABSStorageType::Blob);
  return v;
}
// Day number of a calendar date.
inline int32_t D(int year, int month, int day) {
  return static_cast<int32_t>(DayNumberOf(year, month, day));
}

// Same type, NULL state and bytes.
inline ::testing::AssertionResult SameValue(const TABSVariant& a, const TABSVariant& b) {
  if (a.Type() != b.Type() || a.IsNull() != b.IsNull()) {
    return ::testing::AssertionFailure()
           << "type " << static_cast<int>(a.Type()) << (a.IsNull() ? " null" : "") << " vs "
           << static_cast<int>(b.Type()) << (b.IsNull() ? " null" : "");
  }
  if (a.IsNull()) return ::testing::AssertionSuccess();
  if (a.DataSize() != b.DataSize() ||
      std::memcmp(a.Data(), b.Data(), static_cast<size_t>(a.DataSize())) != 0) {
    std::string shown_a = a.AsString();
    std::string shown_b = b.AsString();
    return ::testing::AssertionFailure() << "'" << shown_a << "' vs '" << shown_b << "'";
  }
  return ::testing::AssertionSuccess();
}

// The native code raised by f (0 when it raised nothing, -1 for a range error).
template <typename F>
int32_t CodeOf(F f, std::string* message = nullptr) {
  try {
    f();
  } catch (const EABSException& e) {
    if (message) *message = e.what();
    return e.NativeError();
  } catch (const ERangeError& e) {
    if (message) *message = e.what();
    return -1;
  }
  return 0;
}

// Applies `change` to a copy of `before` and checks one table row: the code
// it raised (0 none, -1 a range error), then the expected value, or after a
// failure the value left as it was.
template <typename F>
void ExpectOutcome(const TABSVariant& before, F change, int32_t error,
                   const TABSVariant& expected) {
  TABSVariant value = before;
  const int32_t code = CodeOf([&] { change(value); });
  EXPECT_EQ(code, error);
  if (error == 0 && code == 0) {
    EXPECT_TRUE(SameValue(value, expected));
  } else {
    EXPECT_TRUE(SameValue(value, before)) << "a failure changed the value";
  }
}

}  // namespace kelvorin::testing_support
