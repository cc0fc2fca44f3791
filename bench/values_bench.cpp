// Costs of the engine's value layer on its hot paths: the memory manager,
// comparisons as index searches make them, conversions and arithmetic.
#include <benchmark/benchmark.h>

#include <cstring>

#include "db/storage/memory/memory_manager.h"
#include "db/tables/values/abs_variant.h"
#include "db/tables/values/value_compare.h"
#include "db/tables/values/value_convert.h"
#include "platform/locale_profile.h"

namespace kelvorin {
namespace {

void UseCzech() { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }

void BM_GetMemFree(benchmark::State& state) {
  for (auto _ : state) {
    void* p = MemoryManager().GetMem(state.range(0));
    benchmark::DoNotOptimize(p);
    MemoryManager().FreeAndNillMem(p);
  }
}
BENCHMARK(BM_GetMemFree)->Arg(64)->Arg(4096);

void BM_CompareIntegers(benchmark::State& state) {
  int32_t a = 12345;
  int32_t b = 12346;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CompareValues(&a, &b, TABSStorageType::Integer,
                                           TABSStorageType::Integer, false, false, false, -1));
  }
}
BENCHMARK(BM_CompareIntegers);

void BM_CompareAnsiStrings(benchmark::State& state) {
  UseCzech();
  const char a[] = "Nov\xE1kov\xE1 Petra";
  const char b[] = "Nov\xE1kov\xE1 Pavla";
  const bool ignore_case = state.range(0) != 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CompareValues(a, b, TABSStorageType::String,
                                           TABSStorageType::String, false, false, ignore_case, -1));
  }
}
BENCHMARK(BM_CompareAnsiStrings)->Arg(0)->Arg(1);

void BM_CompareStringWithInteger(benchmark::State& state) {
  UseCzech();
  const char a[] = "10";
  int32_t b = 9;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CompareValues(a, &b, TABSStorageType::String,
                                           TABSStorageType::Integer, false, false, false, -1));
  }
}
BENCHMARK(BM_CompareStringWithInteger);

void BM_ConvertFloatToString(benchmark::State& state) {
  UseCzech();
  double v = 1234.5678;
  for (auto _ : state) {
    TABSMemoryBlock out = ConvertValue(&v, 8, TABSStorageType::Float, TABSStorageType::String);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ConvertFloatToString);

void BM_VariantAddIntegers(benchmark::State& state) {
  TABSVariant right;
  right.SetInteger(1);
  TABSVariant sum;
  sum.SetInteger(0);
  for (auto _ : state) sum.Add(right);
  benchmark::DoNotOptimize(sum.AsInteger());
}
BENCHMARK(BM_VariantAddIntegers);

}  // namespace
}  // namespace kelvorin

BENCHMARK_MAIN();
