// Parses arbitrary text with the structure and data statements installed,
// so that every statement's grammar meets the same mutations.
#include "db/access/ddl/ddl_statements.h"
#include "db/query/dml/data_statements.h"
#include "tests/db/query/sql/parse_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvorin::RegisterDDLStatements();
  kelvorin::RegisterDataStatements();
  kelvorin::testing::CheckParsesAlikeTwice(data, size);
  return 0;
}
