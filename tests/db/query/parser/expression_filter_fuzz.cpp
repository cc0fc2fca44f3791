// Fuzz target: any text set as a filter on a small table is accepted or
// refused with an engine error, and an accepted filter evaluates over a few
// records (NULLs, extremes, Czech text) without crashing.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "db/query/parser/expression.h"
#include "db/storage/errors/abs_exception.h"
#include "platform/locale_profile.h"
#include "tests/db/query/fake_table.h"

namespace {

using kelvorin::TABSVariant;
using kelvorin::testing::FakeTable;

std::unique_ptr<FakeTable> MakeTable() {
  using C = kelvorin::TABSColumnType;
  return std::make_unique<FakeTable>(std::vector<FakeTable::Column>{
      {"Kolo", C::Integer}, {"Jmeno", C::String, 20}, {"Body", C::SmallInt},
      {"Hodnota", C::Float}, {"Siroky", C::WideString, 8}, {"Den", C::Date}});
}

// Record k of a few: all NULL, then values of growing oddity.
void FillRecord(FakeTable& table, int k) {
  table.ClearRecord();
  if (k == 0) return;
  TABSVariant v;
  v.SetInteger(k == 1 ? 3 : INT32_MIN);
  table.Set("Kolo", v);
  v.Clear(kelvorin::TABSStorageType::String);
  v.SetString(k == 1 ? "Nov\xE1k" : "%_\xC8\xFF");
  table.Set("Jmeno", v);
  v.Clear(kelvorin::TABSStorageType::SmallInt);
  v.SetSmallInt(k == 1 ? 7 : -32768);
  table.Set("Body", v);
  v.Clear(kelvorin::TABSStorageType::Float);
  v.SetFloat(k == 1 ? 2.5 : 1e308);
  table.Set("Hodnota", v);
  v.Clear(kelvorin::TABSStorageType::WideString);
  v.SetWideString(u"\u010C\u4E00");
  table.Set("Siroky", v);
  v.Clear(kelvorin::TABSStorageType::Date);
  v.SetDate(k == 1 ? 739000 : 1);
  table.Set("Den", v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvorin;
  static bool locale_set = [] {
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    return true;
  }();
  (void)locale_set;
  static std::unique_ptr<FakeTable> table = MakeTable();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TABSExpression expression;
  try {
    expression.ParseForFilter(table.get(), text, size % 2 == 0, true);
  } catch (const EABSException&) {
    return 0;
  }
  for (int k = 0; k < 3; ++k) {
    try {
      FillRecord(*table, k);
      expression.BindToRecord(table->Record());
      expression.GetBooleanValue();
    } catch (const EABSException&) {
    } catch (const ERangeError&) {
      // Small-integer arithmetic out of range is the value layer's range error.
    }
  }
  return 0;
}
