// Loads values from arbitrary bytes: every load either succeeds with a value
// whose stream form reads back the same, or raises the engine error.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/abs_variant.h"
#include "platform/locale_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvorin;
  static bool locale_set = [] {
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    return true;
  }();
  (void)locale_set;
  TABSBufferValueInput input(std::string_view(reinterpret_cast<const char*>(data), size));
  for (int i = 0; i < 64 && input.Position() < input.Size(); ++i) {
    TABSVariant value;
    try {
      value.LoadFromStream(input);
    } catch (const EABSException&) {
      return 0;
    }
    std::string saved;
    TABSStringValueOutput output(&saved);
    value.SaveToStream(output);
    TABSBufferValueInput again(saved);
    TABSVariant copy;
    copy.LoadFromStream(again);
    if (copy.Type() != value.Type() || copy.IsNull() != value.IsNull() ||
        copy.DataSize() != value.DataSize()) {
      std::abort();
    }
    // Whatever was loaded must be safe to show and to compare.
    try {
      if (!value.IsNull()) (void)value.AsString();
      (void)value.Compare(copy);
    } catch (const EABSException&) {
    } catch (const ERangeError&) {
    }
  }
  return 0;
}
