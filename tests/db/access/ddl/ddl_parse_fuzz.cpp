// Parses arbitrary text with the structure statements installed. Every text
// is either refused with an engine error or parsed whole, and parses the
// same way a second time; nothing runs.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "db/access/ddl/ddl_statements.h"
#include "db/query/sql/sql_processor.h"
#include "db/storage/errors/abs_exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvorin::RegisterDDLStatements();
  const std::string text(reinterpret_cast<const char*>(data), size);
  kelvorin::TABSSQLProcessor processor;
  processor.SetSQL(text);
  bool parsed = false;
  try {
    processor.Parse();
    parsed = true;
  } catch (const kelvorin::EABSException&) {
  }
  try {
    processor.Parse();
    if (!parsed) std::abort();
  } catch (const kelvorin::EABSException&) {
    if (parsed) std::abort();
  }
  return 0;
}
