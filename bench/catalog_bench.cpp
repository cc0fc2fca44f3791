// The table catalogue against SQLite's schema, the same work in one run,
// both with every change durable when it returns (SQLite: synchronous FULL,
// rollback journal, each statement its own transaction):
//   create:  200 tables of five columns with one index each, one by one;
//   open:    open the file and list its tables;
//   tables:  open each table once (SQLite: prepare a query on it);
//   check:   the integrity checker (SQLite: PRAGMA integrity_check);
//   delete:  drop the 200 tables one by one.
// Run in a directory on a real disk: syncing is part of what is measured.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "db/storage/catalog/catalog_check.h"
#include "db/storage/catalog/disk_database_data.h"
#include "bench/sqlite_peer.h"
#include "db/tables/metadata/table_metadata.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;

constexpr int kTables = 200;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string TableName(int i) { return "tabulka_" + std::to_string(i); }

struct Figures {
  double create = 0, open = 0, tables = 0, check = 0, drop = 0;
};

Figures Engine(const std::string& path) {
  Figures f;
  TABSDiskDatabaseData::CreateDatabase(path, {});
  TABSTableMetadata definitions;
  std::vector<TABSDatasetFieldDef> fields(5);
  const char* names[] = {"id", "Jmeno", "Kolo", "Stul", "Body"};
  const TABSColumnType types[] = {TABSColumnType::AutoInc, TABSColumnType::String, TABSColumnType::Integer,
                                  TABSColumnType::Integer, TABSColumnType::Integer};
  for (int i = 0; i < 5; ++i) {
    fields[i].name = names[i];
    fields[i].type = types[i];
    fields[i].size = i == 1 ? 20 : 0;
  }
  definitions.DefineFields(fields);
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName("I_Kolo");
  index->SetColumns({"Kolo"}, {""}, {""});
  definitions.Indexes().Add(std::move(index));
  {
    TABSDiskDatabaseData db(path, {});
    TABSBaseSession session;
    const TABSSessionConnection connection(db, session);
    auto start = Clock::now();
    for (int i = 0; i < kTables; ++i) {
      db.CreateTable(TableName(i), definitions.Fields(), definitions.Indexes(), definitions.Constraints());
    }
    f.create = Seconds(start);
  }
  {
    auto start = Clock::now();
    TABSDiskDatabaseData db(path, {});
    TABSBaseSession session;
    const TABSSessionConnection connection(db, session);
    const std::vector<std::string> names_on_file = db.GetTableNames();
    f.open = Seconds(start);
    start = Clock::now();
    for (const std::string& name : names_on_file) {
      TABSCursor cursor(session, name);
      db.OpenTable(cursor);
      db.CloseTable(cursor);
    }
    f.tables = Seconds(start);
  }
  auto start = Clock::now();
  if (!CheckDatabaseCatalogue(path).Clean()) std::fprintf(stderr, "the checker found problems\n");
  f.check = Seconds(start);
  {
    TABSDiskDatabaseData db(path, {});
    TABSBaseSession session;
    const TABSSessionConnection connection(db, session);
    start = Clock::now();
    for (int i = 0; i < kTables; ++i) db.DeleteTable(session, TableName(i));
    f.drop = Seconds(start);
  }
  return f;
}

using bench::Exec;
using bench::OpenSqlite;

Figures Sqlite(const std::string& path) {
  Figures f;
  std::filesystem::remove(path);
  sqlite3* db = OpenSqlite(path);
  auto start = Clock::now();
  for (int i = 0; i < kTables; ++i) {
    Exec(db, "CREATE TABLE " + TableName(i) +
                 " (id INTEGER PRIMARY KEY AUTOINCREMENT, Jmeno VARCHAR(20), Kolo INTEGER, Stul INTEGER, "
                 "Body INTEGER)");
    Exec(db, "CREATE INDEX I_Kolo_" + std::to_string(i) + " ON " + TableName(i) + " (Kolo)");
  }
  f.create = Seconds(start);
  sqlite3_close(db);
  start = Clock::now();
  db = OpenSqlite(path);
  std::vector<std::string> names;
  sqlite3_stmt* list = nullptr;
  sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &list, nullptr);
  while (sqlite3_step(list) == SQLITE_ROW) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
  sqlite3_finalize(list);
  f.open = Seconds(start);
  start = Clock::now();
  for (const std::string& name : names) {
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db, ("SELECT * FROM " + name).c_str(), -1, &query, nullptr);
    sqlite3_finalize(query);
  }
  f.tables = Seconds(start);
  start = Clock::now();
  Exec(db, "PRAGMA integrity_check");
  f.check = Seconds(start);
  start = Clock::now();
  for (int i = 0; i < kTables; ++i) Exec(db, "DROP TABLE " + TableName(i));
  f.drop = Seconds(start);
  sqlite3_close(db);
  return f;
}

void Row(const char* what, double engine, double sqlite) {
  std::printf("%-8s engine %8.2f ms   sqlite %8.2f ms   ratio %5.2f\n", what, engine * 1e3, sqlite * 1e3,
              engine / sqlite);
}

}  // namespace

int main() {
  const std::string dir = "catalog_bench_files";
  std::filesystem::create_directories(dir);
  const Figures engine = Engine(dir + "/kelvorin.db");
  const Figures sqlite = Sqlite(dir + "/sqlite.db");
  std::printf("%d tables of five columns with one index each\n", kTables);
  Row("create", engine.create, sqlite.create);
  Row("open", engine.open, sqlite.open);
  Row("tables", engine.tables, sqlite.tables);
  Row("check", engine.check, sqlite.check);
  Row("delete", engine.drop, sqlite.drop);
  std::filesystem::remove_all(dir);
  return 0;
}
