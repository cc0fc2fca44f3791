// The rows of a query run through SQLite, in the text form the differential
// tests compare against the engine's.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace kelvorin::testing {

// Rows as "a|b|NULL"; a statement SQLite cannot prepare as the single row
// "error: ...".
inline std::vector<std::string> SQLiteRows(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    return {std::string("error: ") + sqlite3_errmsg(db)};
  }
  std::vector<std::string> rows;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      if (i > 0) row += "|";
      const unsigned char* text = sqlite3_column_text(statement, i);
      row += text == nullptr ? "NULL" : reinterpret_cast<const char*>(text);
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  return rows;
}

}  // namespace kelvorin::testing
