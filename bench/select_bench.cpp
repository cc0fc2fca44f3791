// SELECT statements against SQLite, the same queries in one run (SQLite:
// synchronous FULL, rollback journal). Each side runs the statement's text
// and reads every column of every result row; each figure is the best of
// three runs.
//   tournament  seskupeni of 7,650 rows (510 players, 15 rounds) and hraci:
//               MAX(Kolo); GROUP BY Kolo; one round joined to the names and
//               ordered; standings (join, group, order)
//   100k        100,000 rows: ORDER BY an integer, ORDER BY a string,
//               DISTINCT, GROUP BY with four aggregates, a 1:1 join of two
//               100,000-row tables, a LEFT JOIN with an ON rest, TOP 10
//               ORDER BY, a three-table comma join written in a bad order;
//               UNION ALL, UNION and EXCEPT of 2 x 100,000 rows
//   spill       500,000 rows of about 100 bytes under a 32 MB temporary
//               storage limit: ORDER BY, DISTINCT, GROUP BY (SQLite with
//               temp_store=file). Each engine case runs in a process of its
//               own, which reports its peak resident memory.
// Arguments name the groups to run (default: all); SELECT_BENCH_CASE runs
// only the cases whose name contains it (for profiling).
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "bench/engine_session.h"
#include "bench/process_memory.h"
#include "bench/sqlite_peer.h"
#include "db/access/local/local_cursor.h"
#include "db/query/operators/row_table.h"
#include "db/query/sql/sql_processor.h"
#include "db/storage/temporary/temporary_budget.h"
#include "db/tables/metadata/table_metadata.h"
#include "platform/locale_profile.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;
using C = TABSColumnType;

// Runs per figure (SELECT_BENCH_RUNS overrides, for profiling).
int kRuns = 3;

double Best(const std::function<void()>& work, int runs = kRuns) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

int64_t volatile g_sink = 0;

// One table's rows as text (empty optional: NULL) and its columns.
struct Column {
  const char* name;
  C type;
  int size;
};
using Value = std::string;  // "\x01": NULL
const Value kNull = "\x01";

struct Data {
  std::string name;
  std::vector<Column> columns;
  std::vector<std::vector<Value>> rows;
};

// --- The engine ---

class Engine {
 public:
  // A new database, or the one a former run left at `path`.
  explicit Engine(const std::string& path, bool create = true) : session_(bench::OpenSession(path, create)) {}

  void Load(const Data& data) {
    TABSTableMetadata defs;
    std::vector<TABSDatasetFieldDef> fields;
    for (const Column& column : data.columns) {
      TABSDatasetFieldDef field;
      field.name = column.name;
      field.type = column.type;
      field.size = column.size;
      fields.push_back(field);
    }
    defs.DefineFields(fields);
    TABSLocalCursor cursor(*session_, data.name);
    cursor.CreateTable(defs.Fields(), defs.Indexes(), defs.Constraints());
    cursor.Open();
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    TABSVariant value;
    session_->StartTransaction();
    for (const auto& row : data.rows) {
      cursor.InitRecordBuffer(buffer.data(), false);
      for (size_t i = 0; i < row.size(); ++i) {
        if (row[i] == kNull) continue;
        if (IsStringColumn(data.columns[i].type)) {
          value.Clear(TABSStorageType::String);
          value.SetString(row[i]);
        } else {
          value.SetInteger(std::stoi(row[i]));
        }
        cursor.OpenTable().FieldManager().SetFieldValue(static_cast<int32_t>(i), value, buffer.data());
      }
      if (!cursor.Post(buffer.data(), true)) std::abort();
    }
    session_->Commit();
  }

  // Runs the statement and reads every column of every row.
  void Run(const std::string& sql) {
    TABSSQLQueryContext context;
    context.session = session_.get();
    TABSSQLProcessor processor(context);
    processor.SetSQL(sql);
    std::unique_ptr<TABSLocalCursor> cursor = processor.Run();
    const int32_t columns = cursor->OpenTable().Metadata().Fields().Count();
    TABSRowReader reader(*cursor);
    TABSVariant value;
    int64_t sum = 0;
    for (reader.First(); !reader.Eof(); reader.Next()) {
      for (int32_t i = 0; i < columns; ++i) {
        reader.Value(i, &value);
        sum += value.IsNull() ? 0 : value.DataSize();
      }
      ++sum;
    }
    g_sink = g_sink + sum;
  }

 private:
  std::unique_ptr<TABSLocalSession> session_;
};

// --- SQLite ---

class Peer {
 public:
  // A new database, or the one at `path` when `create` is false.
  Peer(const std::string& path, bool temp_file, bool create = true) {
    if (create) std::filesystem::remove(path);
    db_ = bench::OpenSqlite(path);
    if (temp_file) bench::Exec(db_, "PRAGMA temp_store=FILE; PRAGMA cache_size=-32000;");
  }
  ~Peer() { sqlite3_close(db_); }

  void Load(const Data& data) {
    std::string create = "CREATE TABLE " + data.name + "(";
    std::string insert = "INSERT INTO " + data.name + " VALUES(";
    for (size_t i = 0; i < data.columns.size(); ++i) {
      create += (i ? "," : "") + std::string(data.columns[i].name) +
                (IsStringColumn(data.columns[i].type) ? " TEXT" : " INTEGER");
      insert += i ? ",?" : "?";
    }
    bench::Exec(db_, create + ")");
    bench::Exec(db_, "BEGIN");
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db_, (insert + ")").c_str(), -1, &stmt, nullptr);
    for (const auto& row : data.rows) {
      for (size_t i = 0; i < row.size(); ++i) {
        const int at = static_cast<int>(i) + 1;
        if (row[i] == kNull) {
          sqlite3_bind_null(stmt, at);
        } else if (IsStringColumn(data.columns[i].type)) {
          sqlite3_bind_text(stmt, at, row[i].c_str(), -1, SQLITE_TRANSIENT);
        } else {
          sqlite3_bind_int(stmt, at, std::stoi(row[i]));
        }
      }
      sqlite3_step(stmt);
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    bench::Exec(db_, "COMMIT");
  }

  void Run(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "sqlite: %s: %s\n", sql.c_str(), sqlite3_errmsg(db_));
      std::abort();
    }
    int64_t sum = 0;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int i = 0; i < columns; ++i) sum += sqlite3_column_bytes(stmt, i);
      ++sum;
    }
    sqlite3_finalize(stmt);
    g_sink = g_sink + sum;
  }

 private:
  sqlite3* db_ = nullptr;
};

// --- Data ---

Data Tournament(Data* names) {
  names->name = "hraci";
  names->columns = {{"id", C::Integer, 0}, {"Jmeno", C::String, 30}, {"Rating", C::Integer, 0}};
  for (int p = 1; p <= 510; ++p) {
    names->rows.push_back({std::to_string(p), "Hrac " + std::to_string((p * 7919) % 1000), std::to_string(1200 + p % 800)});
  }
  Data seats{"seskupeni",
             {{"id_hrace", C::Integer, 0}, {"Stul", C::Integer, 0}, {"Kolo", C::Integer, 0}, {"Body", C::Integer, 0},
              {"Skore", C::Integer, 0}},
             {}};
  for (int kolo = 1; kolo <= 15; ++kolo) {
    for (int p = 1; p <= 510; ++p) {
      seats.rows.push_back({std::to_string(p), std::to_string((p * kolo) % 128 + 1), std::to_string(kolo),
                            std::to_string((p + kolo) % 3), std::to_string((p * 31 + kolo) % 50)});
    }
  }
  return seats;
}

// t1(id, k, s, v): ids 0..n-1 shuffled, k in 0..999, s a word of 12 letters
// from 5,000, v with 5 % NULL.
Data Wide(const std::string& name, int n, uint32_t seed) {
  Data data{name, {{"id", C::Integer, 0}, {"k", C::Integer, 0}, {"s", C::String, 20}, {"v", C::Integer, 0}}, {}};
  std::mt19937 random(seed);
  std::vector<int> ids(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) ids[static_cast<size_t>(i)] = i;
  std::shuffle(ids.begin(), ids.end(), random);
  for (int i = 0; i < n; ++i) {
    const int word = static_cast<int>(random() % 5000);
    data.rows.push_back({std::to_string(ids[static_cast<size_t>(i)]), std::to_string(random() % 1000),
                         "w" + std::to_string(word * 7919 % 100000) + "abcdefgh",
                         random() % 20 == 0 ? kNull : std::to_string(random() % 100)});
  }
  return data;
}

// About 100-byte rows for the spill case.
Data Spill(int n) {
  Data data{"big", {{"id", C::Integer, 0}, {"k", C::Integer, 0}, {"s", C::String, 90}}, {}};
  std::mt19937 random(9);
  for (int i = 0; i < n; ++i) {
    std::string s = "row-" + std::to_string(random() % 200000) + "-";
    s.resize(80, 'x');
    data.rows.push_back({std::to_string(i), std::to_string(random() % 50000), s});
  }
  return data;
}

void Report(const char* name, double engine, double sqlite, double target) {
  const double ratio = engine / sqlite;
  std::printf("%-34s engine %9.2f ms  sqlite %9.2f ms  ratio %5.2f  (target <= %.0fx)%s\n", name, engine * 1e3,
              sqlite * 1e3, ratio, target, ratio <= target ? "" : "  OVER");
  std::fflush(stdout);
}

struct Case {
  const char* name;
  std::string sql;
  // SQLite's text where its dialect differs (TOP).
  std::string sqlite_sql;
  double target;
};

bool Selected(const Case& c) {
  const char* only = std::getenv("SELECT_BENCH_CASE");
  return only == nullptr || std::string(c.name).find(only) != std::string::npos;
}

void RunCases(Engine& engine, Peer& peer, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    if (!Selected(c)) continue;
    const double e = Best([&] { engine.Run(c.sql); });
    const double s = Best([&] { peer.Run(c.sqlite_sql.empty() ? c.sql : c.sqlite_sql); });
    Report(c.name, e, s, c.target);
  }
}

void TournamentCases(const std::string& dir) {
  Engine engine(dir + "/tournament.kdb");
  Peer peer(dir + "/tournament.sqlite", false);
  Data names;
  const Data seats = Tournament(&names);
  for (const Data* data : std::initializer_list<const Data*>{&names, &seats}) {
    engine.Load(*data);
    peer.Load(*data);
  }
  const std::vector<Case> cases = {
      {"MAX(Kolo) 7,650", "SELECT MAX(Kolo) AS result FROM seskupeni", "", 2},
      {"GROUP BY Kolo 7,650", "SELECT Kolo, COUNT(*) AS n FROM seskupeni GROUP BY Kolo", "", 2},
      {"round joined to names, ordered",
       "SELECT s.Stul, h.Jmeno, s.Body, s.Skore FROM seskupeni s JOIN hraci h ON s.id_hrace = h.id "
       "WHERE s.Kolo = 7 ORDER BY s.Stul, h.Jmeno",
       "", 3},
      {"standings (join, group, order)",
       "SELECT h.Jmeno, SUM(Body) AS body, SUM(Skore) AS skore FROM seskupeni s JOIN hraci h ON s.id_hrace = h.id "
       "GROUP BY h.id ORDER BY body DESC, skore DESC",
       "", 3},
  };
  RunCases(engine, peer, cases);
}

void HundredThousandCases(const std::string& dir) {
  Engine engine(dir + "/wide.kdb");
  Peer peer(dir + "/wide.sqlite", false);
  for (const Data& data : {Wide("t1", 100000, 1), Wide("t2", 100000, 2)}) {
    engine.Load(data);
    peer.Load(data);
  }
  const std::vector<Case> cases = {
      {"ORDER BY integer 100k", "SELECT * FROM t1 ORDER BY k", "", 3},
      {"ORDER BY string 100k", "SELECT * FROM t1 ORDER BY s", "", 3},
      {"DISTINCT 100k", "SELECT DISTINCT k, s FROM t1", "", 3},
      {"GROUP BY, four aggregates 100k", "SELECT k, COUNT(*), SUM(v), MIN(s), AVG(v) FROM t1 GROUP BY k", "", 3},
      {"1:1 join 100k x 100k", "SELECT * FROM t1 a JOIN t2 b ON a.id = b.id", "", 3},
      {"LEFT JOIN with an ON rest 100k",
       "SELECT * FROM t1 a LEFT JOIN t2 b ON a.id = b.id AND b.k < 500 AND a.v < b.v", "", 3},
      {"TOP 10 ORDER BY 100k", "SELECT TOP 10 * FROM t1 ORDER BY s DESC",
       "SELECT * FROM t1 ORDER BY s DESC LIMIT 10", 5},
      // a and b share no equality: written in this order a naive plan
      // would build a x b first.
      {"comma join in a bad order 100k", "SELECT a.id, b.s, c.v FROM t1 a, t2 b, t1 c WHERE a.id = c.k AND b.id = c.id",
       "", 5},
      {"UNION ALL 200k", "SELECT k, s FROM t1 UNION ALL SELECT k, s FROM t2", "", 4},
      {"UNION 200k", "SELECT k, s FROM t1 UNION SELECT k, s FROM t2", "", 4},
      {"EXCEPT 200k", "SELECT k, s FROM t1 EXCEPT SELECT k, s FROM t2", "", 4},
  };
  RunCases(engine, peer, cases);
}

const std::vector<Case>& SpillList() {
  static const std::vector<Case> cases = {
      {"ORDER BY 500k, 32 MB", "SELECT * FROM big ORDER BY s", "", 3},
      {"DISTINCT 500k, 32 MB", "SELECT DISTINCT k, s FROM big", "", 3},
      {"GROUP BY 500k, 32 MB", "SELECT k, COUNT(*), MAX(s) FROM big GROUP BY k", "", 3},
  };
  return cases;
}
constexpr int64_t kSpillLimit = 32 * 1024 * 1024;

// In the child process: one spill case over the database the parent made;
// prints its time in seconds and the process's peak resident memory in kB.
int SpillChild(const std::string& dir, size_t index) {
  TemporaryBudget().SetLimit(kSpillLimit);
  Engine engine(dir + "/spill.kdb", false);
  const Case& c = SpillList().at(index);
  const double seconds = Best([&] { engine.Run(c.sql); }, 1);
  std::printf("%.6f %lld\n", seconds, static_cast<long long>(bench::StatusKb("VmHWM:")));
  return 0;
}

// Runs the engine's side of a spill case in a new process of this program.
bool RunSpillChild(const std::string& dir, size_t index, double* seconds, int64_t* peak_kb) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return false;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    const std::string number = std::to_string(index);
    execl("/proc/self/exe", "select_bench", "--spill-case", dir.c_str(), number.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  long long kb = 0;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || std::sscanf(out.c_str(), "%lf %lld", seconds, &kb) != 2) {
    return false;
  }
  *peak_kb = kb;
  return true;
}

void SpillCases(const std::string& dir) {
  {
    Engine engine(dir + "/spill.kdb");
    Peer peer(dir + "/spill.sqlite", true);
    const Data data = Spill(500000);
    engine.Load(data);
    peer.Load(data);
  }
  Peer peer(dir + "/spill.sqlite", true, false);
  const std::vector<Case>& cases = SpillList();
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    if (!Selected(c)) continue;
    double engine_seconds = 0;
    int64_t peak_kb = 0;
    if (!RunSpillChild(dir, i, &engine_seconds, &peak_kb)) {
      std::fprintf(stderr, "%s: the engine's process failed\n", c.name);
      continue;
    }
    const double s = Best([&] { peer.Run(c.sql); }, 1);
    Report(c.name, engine_seconds, s, c.target);
    std::printf("%-34s engine process peak resident memory %lld MB (target <= 64 MB)%s\n", "",
                static_cast<long long>(peak_kb / 1024), peak_kb <= 64 * 1024 ? "" : "  OVER");
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  if (argc == 4 && std::string(argv[1]) == "--spill-case") {
    return SpillChild(argv[2], static_cast<size_t>(std::atoi(argv[3])));
  }
  if (const char* runs = std::getenv("SELECT_BENCH_RUNS")) kRuns = std::max(1, std::atoi(runs));
  std::set<std::string> groups;
  for (int i = 1; i < argc; ++i) groups.insert(argv[i]);
  const auto wanted = [&](const char* name) { return groups.empty() || groups.count(name) > 0; };
  const std::string dir = (std::filesystem::temp_directory_path() / "select_bench").string();
  std::filesystem::create_directories(dir);
  if (wanted("tournament")) TournamentCases(dir);
  if (wanted("100k")) HundredThousandCases(dir);
  if (wanted("spill")) SpillCases(dir);
  std::filesystem::remove_all(dir);
  return 0;
}
