// Fuzz target: any text set as a filter on a small table is accepted or
// refused with an engine error, and an accepted filter evaluates over a few
// records (NULLs, extremes, Czech text) without crashing.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "db/query/parser/expression.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/meta_object_defs.h"
#include "platform/locale_profile.h"

namespace {

using namespace kelvorin;

class FuzzTable : public TABSExprFieldSource {
 public:
  FuzzTable() {
    Add("Kolo", TABSColumnType::Integer, 0);
    Add("Jmeno", TABSColumnType::String, 20);
    Add("Body", TABSColumnType::SmallInt, 0);
    Add("Hodnota", TABSColumnType::Float, 0);
    Add("Siroky", TABSColumnType::WideString, 8);
    Add("Den", TABSColumnType::Date, 0);
    int32_t stored = 0;
    defs_.ComputeLayout(&size_, &stored);
    record_.assign(static_cast<size_t>(size_), 0);
  }
  const TABSFieldDefs& FieldDefs() const override { return defs_; }
  const uint8_t* CurrentRecord() const override { return record_.data(); }

  // Record k of a few: all NULL, then values of growing oddity.
  const uint8_t* Record(int k) {
    std::fill(record_.begin(), record_.end(), 0);
    record_[0] = k == 0 ? 0xFF : 0x00;
    if (k == 0) return record_.data();
    auto put = [this](int field, const void* data, size_t size) {
      std::memcpy(record_.data() + defs_.Items(field)->MemoryOffset(), data, size);
    };
    const int32_t kolo = k == 1 ? 3 : INT32_MIN;
    const int16_t body = k == 1 ? 7 : -32768;
    const double hodnota = k == 1 ? 2.5 : 1e308;
    const char* jmeno = k == 1 ? "Nov\xE1k" : "%_\xC8\xFF";
    const char16_t siroky[] = u"\u010C\u4E00";
    const int32_t den = k == 1 ? 739000 : 1;
    put(0, &kolo, 4);
    put(1, jmeno, std::strlen(jmeno));
    put(2, &body, 2);
    put(3, &hodnota, 8);
    put(4, siroky, 4);
    put(5, &den, 4);
    return record_.data();
  }

 private:
  void Add(const char* name, TABSColumnType type, int32_t size) {
    auto* def = static_cast<TABSFieldDef*>(defs_.AddNew());
    def->SetName(name);
    def->SetType(type, size);
  }
  TABSFieldDefs defs_;
  std::vector<uint8_t> record_;
  int32_t size_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool locale_set = [] {
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    return true;
  }();
  (void)locale_set;
  static FuzzTable table;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TABSExpression expression;
  try {
    expression.ParseForFilter(&table, text, size % 2 == 0, true);
  } catch (const EABSException&) {
    return 0;
  }
  for (int k = 0; k < 3; ++k) {
    try {
      expression.BindToRecord(table.Record(k));
      expression.GetBooleanValue();
    } catch (const EABSException&) {
    } catch (const ERangeError&) {
      // Small-integer arithmetic out of range is the value layer's range error.
    }
  }
  return 0;
}
