// The benchmarks' peer: SQLite, opened with the durability the engine has
// (every commit synced, a rollback journal).
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace bench {

inline void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", error);
    sqlite3_free(error);
  }
}

inline sqlite3* OpenSqlite(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  Exec(db, "PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE;");
  return db;
}

}  // namespace bench
