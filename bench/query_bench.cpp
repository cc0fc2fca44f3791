// The SQL lexer's cost. A 110-character filter condition is lexed and, in
// the same run, SQLite prepares "SELECT * FROM t WHERE" the same condition;
// the ratio is printed at the end. Large texts (1 MB) of every shape a
// crafted filter may take must each be accepted or refused well within
// 100 ms.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/query/lexer/lexer.h"
#include "db/storage/errors/abs_exception.h"
#include "platform/locale_profile.h"

namespace kelvorin {
namespace {

constexpr char kCondition[] =
    "Kolo = 3 AND Jmeno LIKE 'Nov%' AND (Body >= 2.5 OR Stul IN (1, 2, 3)) AND Hrac <> 170 AND "
    "Poznamka IS NOT NULL";
static_assert(sizeof(kCondition) - 1 == 110);

void BM_LexCondition(benchmark::State& state) {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  for (auto _ : state) {
    TABSLexer lexer(kCondition);
    benchmark::DoNotOptimize(lexer.NumCommands());
  }
}
BENCHMARK(BM_LexCondition);

// SQLite with the same durability settings the engine benchmarks use; for a
// prepare they change nothing, but the peer stays the same everywhere.
class SQLiteDatabase {
 public:
  SQLiteDatabase() {
    if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("sqlite3_open");
    Exec("PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE;");
    Exec("CREATE TABLE t (Kolo INTEGER, Jmeno TEXT, Body REAL, Stul INTEGER, Hrac INTEGER, "
         "Poznamka TEXT)");
  }
  ~SQLiteDatabase() { sqlite3_close(db_); }
  sqlite3* db() const { return db_; }

 private:
  void Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db_));
    }
  }
  sqlite3* db_ = nullptr;
};

void BM_SQLitePrepareCondition(benchmark::State& state) {
  SQLiteDatabase database;
  const std::string sql = std::string("SELECT * FROM t WHERE ") + kCondition;
  for (auto _ : state) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database.db(), sql.c_str(), static_cast<int>(sql.size()), &statement,
                           nullptr) != SQLITE_OK) {
      state.SkipWithError(sqlite3_errmsg(database.db()));
      break;
    }
    sqlite3_finalize(statement);
  }
}
BENCHMARK(BM_SQLitePrepareCondition);

// Texts of about 1 MB, one per shape.
std::string Repeat(const std::string& unit, const std::string& prefix = "",
                   const std::string& suffix = "") {
  std::string text = prefix;
  while (text.size() + unit.size() + suffix.size() <= (1u << 20)) text += unit;
  return text + suffix;
}

const std::vector<std::pair<std::string, std::string>>& LargeTexts() {
  static const std::vector<std::pair<std::string, std::string>> texts = {
      {"one word", Repeat("a")},
      {"one string", Repeat("x''", "'", "'")},
      {"short tokens", Repeat("a+")},
      {"reserved words", Repeat("SELECT ")},
      {"nested parentheses", Repeat("(", "", "") + "x"},
      {"balanced parentheses", Repeat("(x)")},
      {"numbers", Repeat("1.5e-3 ")},
      {"one long number", Repeat("1")},
      {"commands", Repeat("a;")},
      {"line comments", Repeat("--\n")},
      {"comments in a word", Repeat("a/**/")},
      {"open comment", Repeat("x", "/*")},
      {"parameters", Repeat(":p ")},
      {"open string", Repeat("x", "'")},
  };
  return texts;
}

void BM_LexLargeText(benchmark::State& state) {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  TABSSQLParams params;
  for (int i = 0; i < 200; ++i) params.AddParam().SetName(std::to_string(i));
  params.AddParam().SetName("p");
  const auto& [name, text] = LargeTexts()[static_cast<size_t>(state.range(0))];
  state.SetLabel(name);
  bool refused = false;
  for (auto _ : state) {
    try {
      TABSLexer lexer(text, &params);
      benchmark::DoNotOptimize(lexer.NumCommands());
    } catch (const EABSException&) {
      refused = true;
    }
  }
  state.counters["refused"] = refused ? 1 : 0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LexLargeText)->DenseRange(0, 13)->Unit(benchmark::kMillisecond);

// Prints the lexer's time as a fraction of SQLite's prepare after the runs.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto lex = times_.find("BM_LexCondition");
    const auto sqlite = times_.find("BM_SQLitePrepareCondition");
    if (lex != times_.end() && sqlite != times_.end() && sqlite->second > 0) {
      std::printf("lexing the condition / SQLite's prepare of its SELECT: %.3f\n",
                  lex->second / sqlite->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace
}  // namespace kelvorin

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  kelvorin::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
