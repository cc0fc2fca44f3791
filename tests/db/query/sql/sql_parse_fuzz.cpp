// Parses arbitrary text as SQL queries (no other statements installed).
#include "tests/db/query/sql/parse_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvorin::testing::CheckParsesAlikeTwice(data, size);
  return 0;
}
