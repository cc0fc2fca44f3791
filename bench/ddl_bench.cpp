// The structure statements against SQLite, the same work in one run
// (SQLite: synchronous FULL, rollback journal), over a table of N rows
// (id, a, b, c) indexed on id (primary) and a:
//   CREATE INDEX      an index on the string column b
//   ALTER ADD         a column with a default; SQLite rebuilds the table in
//                     one transaction (new table, INSERT ... SELECT, drop,
//                     rename, indexes again)
//   ALTER DROP        the column dropped again, SQLite rebuilding alike
// Each figure is the best of three runs, at N = 1,000 and N = 100,000 (the
// last line compares the two sizes).
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "bench/engine_session.h"
#include "bench/sqlite_peer.h"
#include "db/access/ddl/ddl_statements.h"
#include "db/access/local/local_cursor.h"
#include "db/access/local/local_session.h"
#include "db/query/dml/data_statements.h"
#include "db/query/sql/sql_processor.h"
#include "db/tables/metadata/table_metadata.h"
#include "platform/locale_profile.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 3;

double Seconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Name(int i) { return "hrac" + std::to_string((i * 7919) % 100003); }

class Engine {
 public:
  Engine(const std::string& path, int rows) {
    session_ = bench::OpenSession(path);
    context_.session = session_.get();
    Run("CREATE TABLE t (id INTEGER, a INTEGER, b VARCHAR(20), c FLOAT, PRIMARY KEY (id), INDEX ia (a))");
    TABSLocalCursor cursor(*session_, "t");
    cursor.Open();
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    TABSVariant number;
    TABSVariant text;
    TABSVariant real;
    session_->StartTransaction();
    for (int i = 0; i < rows; ++i) {
      cursor.InitRecordBuffer(buffer.data(), false);
      auto& fields = cursor.OpenTable().FieldManager();
      number.SetInteger(i);
      fields.SetFieldValue(0, number, buffer.data());
      number.SetInteger(i % 1000);
      fields.SetFieldValue(1, number, buffer.data());
      text.SetString(Name(i));
      fields.SetFieldValue(2, text, buffer.data());
      real.SetFloat(i * 0.5);
      fields.SetFieldValue(3, real, buffer.data());
      if (!cursor.Post(buffer.data(), true)) std::fprintf(stderr, "engine: %s\n", cursor.StatusMessage().c_str());
    }
    session_->Commit();
  }

  void Run(const std::string& text) {
    TABSSQLProcessor processor(context_);
    processor.SetSQL(text);
    processor.Run();
  }

 private:
  std::unique_ptr<TABSLocalSession> session_;
  TABSSQLQueryContext context_;
};

class Peer {
 public:
  Peer(const std::string& path, int rows) {
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-journal");
    db_ = bench::OpenSqlite(path);
    bench::Exec(db_, "CREATE TABLE t (id INTEGER PRIMARY KEY, a INTEGER, b VARCHAR(20), c FLOAT); "
                     "CREATE INDEX ia ON t(a)");
    bench::Exec(db_, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db_, "INSERT INTO t VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
    for (int i = 0; i < rows; ++i) {
      const std::string name = Name(i);
      sqlite3_bind_int(insert, 1, i);
      sqlite3_bind_int(insert, 2, i % 1000);
      sqlite3_bind_text(insert, 3, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(insert, 4, i * 0.5);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    bench::Exec(db_, "COMMIT");
  }
  ~Peer() { sqlite3_close(db_); }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  void Run(const std::string& sql) { bench::Exec(db_, sql); }

 private:
  sqlite3* db_ = nullptr;
};

// SQLite's ALTER as the rebuild a restructure is: the whole table anew in
// one transaction.
std::string Rebuild(const std::string& columns, const std::string& select) {
  return "BEGIN; CREATE TABLE t2 (" + columns + "); INSERT INTO t2 SELECT " + select +
         " FROM t; DROP TABLE t; ALTER TABLE t2 RENAME TO t; CREATE INDEX ia ON t(a); COMMIT";
}

struct Figure {
  double engine = 1e9;
  double sqlite = 1e9;
};

void Print(const char* name, int rows, const Figure& f, double target) {
  const double ratio = f.engine / f.sqlite;
  std::printf("%-14s %7d rows  engine %9.2f ms  sqlite %9.2f ms  ratio %5.2f  (target <= %.0fx)%s\n", name, rows,
              f.engine * 1e3, f.sqlite * 1e3, ratio, target, ratio <= target ? "" : "  OVER");
}

struct Sizes {
  Figure create_index, add, drop;
};

Sizes RunAt(const std::string& dir, int rows) {
  Engine engine(dir + "/ddl.kdb", rows);
  Peer peer(dir + "/ddl.sqlite", rows);
  Sizes s;
  for (int run = 0; run < kRuns; ++run) {
    s.create_index.engine = std::min(s.create_index.engine, Seconds([&] { engine.Run("CREATE INDEX ib ON t (b)"); }));
    engine.Run("DROP INDEX t.ib");
    s.create_index.sqlite = std::min(s.create_index.sqlite, Seconds([&] { peer.Run("CREATE INDEX ib ON t(b)"); }));
    peer.Run("DROP INDEX ib");

    s.add.engine = std::min(s.add.engine, Seconds([&] { engine.Run("ALTER TABLE t ADD (d INTEGER DEFAULT 5)"); }));
    s.add.sqlite = std::min(s.add.sqlite, Seconds([&] {
      peer.Run(Rebuild("id INTEGER PRIMARY KEY, a INTEGER, b VARCHAR(20), c FLOAT, d INTEGER DEFAULT 5",
                       "id, a, b, c, 5"));
    }));
    s.drop.engine = std::min(s.drop.engine, Seconds([&] { engine.Run("ALTER TABLE t DROP (d)"); }));
    s.drop.sqlite = std::min(s.drop.sqlite, Seconds([&] {
      peer.Run(Rebuild("id INTEGER PRIMARY KEY, a INTEGER, b VARCHAR(20), c FLOAT", "id, a, b, c"));
    }));
  }
  Print("CREATE INDEX", rows, s.create_index, 5);
  Print("ALTER ADD", rows, s.add, 5);
  Print("ALTER DROP", rows, s.drop, 5);
  return s;
}

}  // namespace

int main() {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  RegisterDDLStatements();
  RegisterDataStatements();
  const std::string dir = (std::filesystem::temp_directory_path() / "ddl_bench").string();
  std::filesystem::create_directories(dir);
  const Sizes small = RunAt(dir, 1000);
  const Sizes large = RunAt(dir, 100000);
  std::printf("growth 1,000 -> 100,000 rows (linear: 100x, limit 120x): CREATE INDEX %.0fx, ALTER ADD %.0fx, "
              "ALTER DROP %.0fx\n",
              large.create_index.engine / small.create_index.engine, large.add.engine / small.add.engine,
              large.drop.engine / small.drop.engine);
  std::filesystem::remove_all(dir);
  return 0;
}
