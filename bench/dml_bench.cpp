// The data statements against SQLite, the same SQL texts in one run
// (SQLite: synchronous FULL, rollback journal). The table has an
// auto-increment key and two indexed integer columns (a: a permutation of
// the row numbers, b: random), and a short string; each figure is the best
// of three runs, each on a freshly filled table:
//   insert 1       an autocommitted INSERT text (200 of them, per text)
//   insert 10k     10,000 INSERT texts in one transaction
//   copy           INSERT ... SELECT of every row into another table
//   self copy      INSERT ... SELECT of every row into the same table
//   update 1%      UPDATE ... WHERE a < rows / 100 (through the index)
//   update all     UPDATE of a string of every row
//   update key     UPDATE of the indexed b on half the rows
//   delete half    DELETE ... WHERE a < rows / 2 (through the index)
//   delete rest    DELETE ... WHERE s = 'x' (a scan) of the other half
//   rollback       START TRANSACTION, UPDATE every row, ROLLBACK
// at 100,000 rows, and the same at 1,000 rows for the growth of the time.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/best_of.h"
#include "bench/engine_session.h"
#include "bench/sqlite_peer.h"
#include "db/access/ddl/ddl_statements.h"
#include "db/access/local/local_cursor.h"
#include "db/access/local/local_session.h"
#include "db/query/dml/data_statements.h"
#include "db/query/sql/sql_processor.h"

namespace {

using namespace kelvorin;

const char* const kEngineTable =
    "CREATE TABLE %s (id AUTOINC, a INTEGER, b INTEGER, s VARCHAR(20), PRIMARY KEY (id), INDEX %s_a (a), "
    "INDEX %s_b (b))";
const char* const kSqliteTable =
    "CREATE TABLE %s (id INTEGER PRIMARY KEY AUTOINCREMENT, a INTEGER, b INTEGER, s TEXT); "
    "CREATE INDEX %s_a ON %s (a); CREATE INDEX %s_b ON %s (b)";

std::string Format(const char* format, const std::string& name) {
  std::string text(format);
  for (size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at)) {
    text.replace(at, 2, name);
    at += name.size();
  }
  return text;
}

// The rows' values: a permutation and random numbers.
struct Rows {
  std::vector<int> a;
  std::vector<int> b;
  explicit Rows(int count) : a(static_cast<size_t>(count)), b(static_cast<size_t>(count)) {
    std::iota(a.begin(), a.end(), 0);
    std::mt19937 rng(7);
    std::shuffle(a.begin(), a.end(), rng);
    for (int& value : b) value = std::uniform_int_distribution<int>(0, 1000000)(rng);
  }
  std::string Insert(const std::string& table, size_t i) const {
    return "INSERT INTO " + table + " (a, b, s) VALUES (" + std::to_string(a[i]) + ", " + std::to_string(b[i]) +
           ", 'radek " + std::to_string(i % 1000) + "')";
  }
};

class Peer {
 public:
  virtual ~Peer() = default;
  virtual void Run(const std::string& text) = 0;
};

class EnginePeer : public Peer {
 public:
  explicit EnginePeer(const std::string& path) {
    RegisterDataStatements();
    RegisterDDLStatements();
    session_ = bench::OpenSession(path);
    context_.session = session_.get();
  }
  void Run(const std::string& text) override {
    try {
      TABSSQLProcessor processor(context_);
      processor.SetSQL(text);
      processor.Run(false);
    } catch (const EABSException& error) {
      std::fprintf(stderr, "engine: %s in %s\n", error.what(), text.substr(0, 80).c_str());
    }
  }

 private:
  std::unique_ptr<TABSLocalSession> session_;
  TABSSQLQueryContext context_;
};

class SqlitePeer : public Peer {
 public:
  explicit SqlitePeer(const std::string& path) {
    std::filesystem::remove(path);
    db_ = bench::OpenSqlite(path);
  }
  ~SqlitePeer() override { sqlite3_close(db_); }
  void Run(const std::string& text) override { bench::Exec(db_, text); }

 private:
  sqlite3* db_ = nullptr;
};

struct Case {
  const char* name;
  // Untimed, on the filled table; then the timed statements.
  std::function<void(Peer&, bool engine)> setup;
  std::function<void(Peer&, bool engine)> work;
};

struct Figures {
  double engine = 0;
  double sqlite = 0;
};

void Fill(Peer& peer, bool engine, const Rows& rows) {
  peer.Run(engine ? "DROP TABLE t" : "DROP TABLE IF EXISTS t");
  peer.Run(engine ? "DROP TABLE t2" : "DROP TABLE IF EXISTS t2");
  peer.Run(Format(engine ? kEngineTable : kSqliteTable, "t"));
  peer.Run(Format(engine ? kEngineTable : kSqliteTable, "t2"));
  peer.Run(engine ? "START TRANSACTION" : "BEGIN");
  for (size_t i = 0; i < rows.a.size(); ++i) peer.Run(rows.Insert("t", i));
  peer.Run("COMMIT");
}

std::vector<Case> Cases(const Rows& rows) {
  const std::string count = std::to_string(rows.a.size());
  const std::string hundredth = std::to_string(rows.a.size() / 100);
  const std::string half = std::to_string(rows.a.size() / 2);
  const auto none = [](Peer&, bool) {};
  return {
      {"insert 1", none,
       [&rows](Peer& peer, bool) {
         for (size_t i = 0; i < 200; ++i) peer.Run(rows.Insert("t2", i));
       }},
      {"insert 10k", none,
       [&rows](Peer& peer, bool engine) {
         peer.Run(engine ? "START TRANSACTION" : "BEGIN");
         for (size_t i = 0; i < 10000; ++i) peer.Run(rows.Insert("t2", i % rows.a.size()));
         peer.Run("COMMIT");
       }},
      {"copy", none, [](Peer& peer, bool) { peer.Run("INSERT INTO t2 (a, b, s) SELECT a, b, s FROM t"); }},
      {"self copy", none, [](Peer& peer, bool) { peer.Run("INSERT INTO t (a, b, s) SELECT a, b, s FROM t"); }},
      {"update 1%", none,
       [hundredth](Peer& peer, bool) { peer.Run("UPDATE t SET s = 'zmena' WHERE a < " + hundredth); }},
      {"update all", none, [](Peer& peer, bool) { peer.Run("UPDATE t SET s = 'zmena'"); }},
      {"update key", none, [half](Peer& peer, bool) { peer.Run("UPDATE t SET b = b + 1 WHERE a < " + half); }},
      {"delete half", none, [half](Peer& peer, bool) { peer.Run("DELETE FROM t WHERE a < " + half); }},
      {"delete rest",
       [half](Peer& peer, bool) {
         peer.Run("DELETE FROM t WHERE a < " + half);
         peer.Run("UPDATE t SET s = 'x'");
       },
       [](Peer& peer, bool) { peer.Run("DELETE FROM t WHERE s = 'x'"); }},
      {"rollback", none,
       [](Peer& peer, bool engine) {
         peer.Run(engine ? "START TRANSACTION" : "BEGIN");
         peer.Run("UPDATE t SET s = 'zmena'");
         peer.Run("ROLLBACK");
       }},
  };
}

std::vector<Figures> Measure(int row_count, const std::string& dir) {
  const Rows rows(row_count);
  EnginePeer engine(dir + "/dml_bench.kdb");
  SqlitePeer sqlite(dir + "/dml_bench.sqlite");
  std::vector<Figures> figures;
  for (const Case& c : Cases(rows)) {
    Figures f;
    const auto setup = [&](Peer& peer, bool is_engine) {
      Fill(peer, is_engine, rows);
      c.setup(peer, is_engine);
    };
    f.engine = bench::BestOf(3, [&] { setup(engine, true); }, [&] { c.work(engine, true); });
    f.sqlite = bench::BestOf(3, [&] { setup(sqlite, false); }, [&] { c.work(sqlite, false); });
    figures.push_back(f);
  }
  return figures;
}

}  // namespace

int main() {
  const std::string dir = std::filesystem::temp_directory_path().string();
  const std::vector<Figures> small = Measure(1000, dir);
  const std::vector<Figures> large = Measure(100000, dir);
  const Rows names(1);
  const std::vector<Case> cases = Cases(names);
  std::printf("%-12s %12s %12s %8s %14s\n", "case", "engine ms", "sqlite ms", "ratio", "100k / 1k time");
  for (size_t i = 0; i < cases.size(); ++i) {
    const double per = i == 0 ? 200.0 : 1.0;  // the single insert: per text
    std::printf("%-12s %12.3f %12.3f %8.2f %14.1f\n", cases[i].name, 1000 * large[i].engine / per,
                1000 * large[i].sqlite / per, large[i].engine / large[i].sqlite, large[i].engine / small[i].engine);
  }
  std::filesystem::remove(dir + "/dml_bench.kdb");
  std::filesystem::remove(dir + "/dml_bench.sqlite");
  std::filesystem::remove(dir + "/dml_bench.sqlite-journal");
  return 0;
}
