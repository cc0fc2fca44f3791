// What every SQL parse fuzzer asks of a text: it is either refused with an
// engine error or parsed whole, and parses the same way a second time.
// Nothing runs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "db/query/sql/sql_processor.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin::testing {

inline void CheckParsesAlikeTwice(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TABSSQLProcessor processor;
  processor.SetSQL(text);
  bool parsed = false;
  try {
    processor.Parse();
    parsed = true;
  } catch (const EABSException&) {
  }
  const bool yields_rows = parsed && processor.LastYieldsRows();
  try {
    processor.Parse();
    if (!parsed || processor.LastYieldsRows() != yields_rows) std::abort();
  } catch (const EABSException&) {
    if (parsed) std::abort();
  }
}

}  // namespace kelvorin::testing
