// Whole-table copies against SQLite, the same work in one run (SQLite:
// synchronous FULL, rollback journal). The table has six integer fields
// (a..f) and an index on a.
//   restructure 100,000   field b widened to LARGEINT (and back) through
//                         RestructureTable; SQLite: the same table rebuilt
//                         in one transaction (CREATE, INSERT … SELECT, DROP,
//                         RENAME, CREATE INDEX) (target <= 5x)
//   restructure 7,650     the same at the tournament's size (target <= 60 ms)
//   copy 100,000          CopyTable with its index over an existing copy;
//                         SQLite: CREATE TABLE … AS SELECT and its index in
//                         one transaction (target <= 5x)
//   compact               Compact of the file with both tables; SQLite:
//                         VACUUM (target <= 8x)
//   syncs per copy        data syncs of the 100,000-record copy, counted
//                         through the platform layer (target about 30)
//   memory of a copy      growth of the peak resident memory while a
//                         1,000,000-record table is copied (target < 64 MB)
// Each timed figure is the best of three runs.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench/best_of.h"
#include "bench/process_memory.h"
#include "bench/sqlite_peer.h"
#include "db/access/session/database.h"
#include "db/access/table/table.h"
#include "db/access/table/table_copy.h"
#include "platform/file.h"
#include "platform/locale_profile.h"

namespace {

using namespace kelvorin;

constexpr int kRecords = 100000;
constexpr int kTournament = 7650;
constexpr int kMillion = 1000000;
constexpr int kRuns = 3;
constexpr const char* kFields[] = {"a", "b", "c", "d", "e", "f"};

double Best(const std::function<void()>& setup, const std::function<void()>& work) {
  return bench::BestOf(kRuns, setup, work);
}

class SyncCounter : public platform::FileObserver {
 public:
  SyncCounter() { platform::SetFileObserver(this); }
  ~SyncCounter() override { platform::SetFileObserver(nullptr); }
  void BeforeWrite(const std::string&, int64_t, const void*, int64_t) override {}
  void AfterSync(const std::string&) override { ++syncs; }
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}
  int syncs = 0;
};

// --- The engine ---

class EngineRun {
 public:
  explicit EngineRun(const std::string& path) : path_(path) {
    std::filesystem::remove(path);
    database_.SetDatabaseFileName(path);
    database_.SetDatabaseName("bench");
    database_.SetSilentMode(true);
    database_.CreateDatabase();
    database_.Open();
  }
  void Fill(const std::string& name, int count) {
    TABSTable table;
    table.SetDatabaseName("bench");
    table.SetTableName(name);
    for (const char* field : kFields) table.DeclaredFieldDefs().Add(field, ftInteger);
    table.IndexDefs().Add("I_a", "a", 0);
    table.CreateTable();
    table.Open();
    database_.StartTransaction();
    for (int i = 0; i < count; ++i) {
      table.Insert();
      for (int f = 0; f < 6; ++f) table.Fields(f).SetAsInteger((i * 7919 + f * 104729) % 1000003);
      table.Post();
    }
    database_.Commit();
    table.Close();
  }
  // Field b widened, or narrowed back.
  void Restructure(const std::string& name) {
    TABSTable table;
    table.SetDatabaseName("bench");
    table.SetTableName(name);
    table.InitFieldDefs();
    TABSFieldDef* b = table.MutableRestructureDefs().Fields().Find("b");
    b->SetType(b->ColumnType() == TABSColumnType::Integer ? TABSColumnType::LargeInt : TABSColumnType::Integer, 0);
    std::string errors;
    if (!table.RestructureTable(errors)) std::fprintf(stderr, "restructure: %s\n", errors.c_str());
  }
  void Copy(const std::string& from, const std::string& to) {
    TABSTable table;
    table.SetDatabaseName("bench");
    table.SetTableName(from);
    std::string errors;
    if (!table.CopyTable(to, errors, 100, 0, true, true)) std::fprintf(stderr, "copy: %s\n", errors.c_str());
  }
  void Compact() {
    database_.Close();
    const std::string errors = database_.Compact();
    if (!errors.empty()) std::fprintf(stderr, "compact: %s\n", errors.c_str());
    database_.Open();
  }
  ~EngineRun() {
    database_.Close();
    std::filesystem::remove(path_);
  }

 private:
  std::string path_;
  TABSDatabase database_;
};

// --- SQLite ---

class SqliteRun {
 public:
  explicit SqliteRun(const std::string& path) : path_(path) {
    std::filesystem::remove(path);
    db_ = bench::OpenSqlite(path);
  }
  ~SqliteRun() {
    sqlite3_close(db_);
    std::filesystem::remove(path_);
  }
  void Fill(const std::string& name, int count) {
    bench::Exec(db_, "CREATE TABLE " + name + " (a INTEGER, b INTEGER, c INTEGER, d INTEGER, e INTEGER, f INTEGER)");
    bench::Exec(db_, "CREATE INDEX " + name + "_a ON " + name + " (a)");
    bench::Exec(db_, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db_, ("INSERT INTO " + name + " VALUES (?, ?, ?, ?, ?, ?)").c_str(), -1, &insert, nullptr);
    for (int i = 0; i < count; ++i) {
      for (int f = 0; f < 6; ++f) sqlite3_bind_int(insert, f + 1, (i * 7919 + f * 104729) % 1000003);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    bench::Exec(db_, "COMMIT");
  }
  void Restructure(const std::string& name) {
    const char* type = (wide_ = !wide_) ? "BIGINT" : "INTEGER";
    bench::Exec(db_, "BEGIN; CREATE TABLE rebuilt (a INTEGER, b " + std::string(type) +
                         ", c INTEGER, d INTEGER, e INTEGER, f INTEGER); INSERT INTO rebuilt SELECT * FROM " + name +
                         "; DROP TABLE " + name + "; ALTER TABLE rebuilt RENAME TO " + name + "; CREATE INDEX " +
                         name + "_a ON " + name + " (a); COMMIT");
  }
  void Copy(const std::string& from, const std::string& to) {
    bench::Exec(db_, "BEGIN; DROP TABLE IF EXISTS " + to + "; CREATE TABLE " + to + " AS SELECT * FROM " + from +
                         "; CREATE INDEX " + to + "_a ON " + to + " (a); COMMIT");
  }
  void Compact() { bench::Exec(db_, "VACUUM"); }

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
  bool wide_ = false;
};

template <typename Run>
std::vector<double> Measure(Run& run) {
  run.Fill("t", kRecords);
  run.Fill("s", kTournament);
  std::vector<double> figures;
  figures.push_back(Best([] {}, [&] { run.Restructure("t"); }));
  figures.push_back(Best([] {}, [&] { run.Restructure("s"); }));
  figures.push_back(Best([] {}, [&] { run.Copy("t", "kopie"); }));
  figures.push_back(Best([] {}, [&] { run.Compact(); }));
  return figures;
}

}  // namespace

int main() {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  RegisterTableCopier();
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  std::vector<double> engine;
  std::vector<double> sqlite;
  int syncs = 0;
  int64_t growth_kb = 0;
  {
    EngineRun run((dir / "table_copy_bench.kdb").string());
    engine = Measure(run);
    SyncCounter counter;
    run.Copy("t", "kopie");
    syncs = counter.syncs;
  }
  {
    SqliteRun run((dir / "table_copy_bench.sqlite").string());
    sqlite = Measure(run);
  }
  {
    EngineRun run((dir / "table_copy_bench_1m.kdb").string());
    run.Fill("m", kMillion);
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const int64_t before = bench::StatusKb("VmRSS:");
    run.Copy("m", "kopie");
    growth_kb = bench::StatusKb("VmHWM:") - before;
  }
  const char* names[] = {"restructure 100,000", "restructure 7,650", "copy 100,000 (with its index)",
                         "compact (both tables)"};
  const double targets[] = {5, 0, 5, 8};
  std::printf("%-32s %12s %12s %8s %8s\n", "work", "engine ms", "sqlite ms", "ratio", "target");
  for (size_t i = 0; i < engine.size(); ++i) {
    std::printf("%-32s %12.2f %12.2f %8.2f", names[i], engine[i] * 1000, sqlite[i] * 1000, engine[i] / sqlite[i]);
    if (targets[i] > 0) {
      std::printf(" %7.0fx\n", targets[i]);
    } else {
      std::printf(" %8s\n", "60 ms");
    }
  }
  std::printf("%-32s %12d %12s %8s %8s\n", "data syncs of a 100,000 copy", syncs, "-", "-", "~30");
  std::printf("%-32s %12.1f %12s %8s %8s\n", "memory growth, 1,000,000 copy MB", static_cast<double>(growth_kb) / 1024,
              "-", "-", "< 64");
  return 0;
}
