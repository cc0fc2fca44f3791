// Parses arbitrary text as SQL statements. Every text is either refused
// with an engine error or parsed whole; a parsed query parses again to the
// same shape when the text is given once more.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "db/query/sql/sql_processor.h"
#include "db/storage/errors/abs_exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  kelvorin::TABSSQLProcessor processor;
  processor.SetSQL(text);
  bool parsed = false;
  try {
    processor.Parse();
    parsed = true;
  } catch (const kelvorin::EABSException&) {
  }
  const bool yields_rows = parsed && processor.LastYieldsRows();
  // The same text parses the same way a second time.
  try {
    processor.Parse();
    if (!parsed || processor.LastYieldsRows() != yields_rows) std::abort();
  } catch (const kelvorin::EABSException&) {
    if (parsed) std::abort();
  }
  return 0;
}
