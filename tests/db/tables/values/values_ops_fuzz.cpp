// Runs conversions, comparisons and arithmetic on values made from arbitrary
// bytes: every operation either succeeds or raises the engine error or the
// range error; nothing reads past a buffer or overflows.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/abs_variant.h"
#include "platform/locale_profile.h"

namespace {

using kelvorin::TABSStorageType;
using kelvorin::TABSVariant;

// One value from the input: a type byte, a size byte, then that many bytes
// (fewer at the end of the input).
TABSVariant TakeValue(const uint8_t*& data, size_t& size) {
  TABSVariant value;
  if (size < 2) return value;
  const auto type = static_cast<TABSStorageType>(data[0] % (kelvorin::kMaxStorageType + 1));
  size_t length = data[1] % 24;
  data += 2;
  size -= 2;
  if (length > size) length = size;
  value.SetRaw(data, static_cast<int32_t>(length), type);
  data += length;
  size -= length;
  return value;
}

template <typename F>
void Guarded(F f) {
  try {
    f();
  } catch (const kelvorin::EABSException&) {
  } catch (const kelvorin::ERangeError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool locale_set = [] {
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    return true;
  }();
  (void)locale_set;
  const TABSVariant left = TakeValue(data, size);
  const TABSVariant right = TakeValue(data, size);
  for (int t = 0; t <= kelvorin::kMaxStorageType; ++t) {
    TABSVariant converted = left;
    Guarded([&] { converted.ConvertTo(static_cast<TABSStorageType>(t)); });
    Guarded([&] { (void)converted.AsString(); });
  }
  Guarded([&] { (void)left.Compare(right, true, false, false); });
  Guarded([&] { (void)left.Compare(right, false, true, true); });
  Guarded([&] { (void)right.Compare(left); });
  TABSVariant sum = left;
  Guarded([&] { sum.Add(right); });
  TABSVariant product = left;
  Guarded([&] { product.Multiply(right); });
  TABSVariant quotient = left;
  Guarded([&] { quotient.Divide(right); });
  TABSVariant negated = left;
  Guarded([&] { negated.Negate(); });
  Guarded([&] { (void)left.ToDataVariant(); });
  return 0;
}
