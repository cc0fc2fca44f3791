// The local cursor against SQLite, the same work in one run (SQLite:
// synchronous FULL, rollback journal). A player table (id auto-increment
// with a unique index, Jmeno, Body) takes:
//   locate      10,000 locates of a random id through the cursor; SQLite:
//               SELECT ... WHERE id = ? (target <= 1.5x)
//   edit+post   200 autocommitted edits (locate, begin edit, a new Body,
//               post); SQLite: UPDATE ... WHERE id = ? in autocommit
//               (target <= 1.5x)
//   10k posts   10,000 inserts in one transaction; SQLite: 10,000 INSERTs
//               between BEGIN and COMMIT (target <= 3x)
// Each figure is the best of three runs.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/sqlite_peer.h"
#include "db/access/local/local_cursor.h"
#include "platform/locale_profile.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;
using C = TABSColumnType;

constexpr int kRecords = 10000;
constexpr int kLocates = 10000;
constexpr int kEdits = 200;
constexpr int kRuns = 3;

double Best(const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

int64_t volatile g_sink = 0;

TABSDatasetFieldDef Field(const char* name, C type, int32_t size = 0) {
  TABSDatasetFieldDef field;
  field.name = name;
  field.type = type;
  field.size = size;
  return field;
}

// --- The engine ---

class EngineRun {
 public:
  explicit EngineRun(const std::string& path) {
    settings_.file_name = path;
    std::filesystem::remove(path);
    TABSLocalSession::CreateDatabase(settings_);
    session_ = std::make_unique<TABSLocalSession>(settings_);
    session_->Connect();
    cursor_ = std::make_unique<TABSLocalCursor>(*session_, "hraci");
    TABSTableMetadata defs;
    defs.DefineFields({Field("id", C::AutoInc), Field("Jmeno", C::String, 20), Field("Body", C::Integer)});
    auto index = std::make_unique<TABSIndexDef>();
    index->SetName("I_id");
    index->SetColumns({"id"}, {""}, {""});
    index->SetUnique(true);
    index->SetPrimary(true);
    defs.Indexes().Add(std::move(index));
    defs.DeriveIndexConstraints();
    cursor_->CreateTable(defs.Fields(), defs.Indexes(), defs.Constraints());
    cursor_->Open();
    buffer_ = cursor_->NewRecordBuffer();
  }

  void Insert(int count) {
    session_->StartTransaction();
    for (int i = 0; i < count; ++i) {
      cursor_->InitRecordBuffer(buffer_.data(), true);
      TABSVariant name;
      name.SetString("Hrac " + std::to_string(i));
      cursor_->OpenTable().FieldManager().SetFieldValue(1, name, buffer_.data());
      cursor_->OpenTable().FieldManager().SetFieldData(2, &i, buffer_.data());
      if (!cursor_->Post(buffer_.data(), true)) std::abort();
    }
    session_->Commit();
  }
  bool Locate(int32_t id) {
    TABSVariant key[1];
    key[0].SetInteger(id);
    return cursor_->Locate(buffer_.data(), "id", key, false, false);
  }
  void Edit(int32_t id, int32_t body) {
    if (!Locate(id) || !cursor_->BeginEdit(buffer_.data())) std::abort();
    cursor_->OpenTable().FieldManager().SetFieldData(2, &body, buffer_.data());
    if (!cursor_->Post(buffer_.data(), false)) std::abort();
  }

 private:
  TABSSessionSettings settings_;
  std::unique_ptr<TABSLocalSession> session_;
  std::unique_ptr<TABSLocalCursor> cursor_;
  std::vector<uint8_t> buffer_;
};

// --- SQLite ---

using bench::Exec;

class SqliteRun {
 public:
  explicit SqliteRun(const std::string& path) {
    std::filesystem::remove(path);
    db_ = bench::OpenSqlite(path);
    Exec(db_, "CREATE TABLE hraci (id INTEGER PRIMARY KEY AUTOINCREMENT, Jmeno TEXT, Body INTEGER)");
    sqlite3_prepare_v2(db_, "INSERT INTO hraci (Jmeno, Body) VALUES (?, ?)", -1, &insert_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT id, Jmeno, Body FROM hraci WHERE id = ?", -1, &select_, nullptr);
    sqlite3_prepare_v2(db_, "UPDATE hraci SET Body = ? WHERE id = ?", -1, &update_, nullptr);
  }
  ~SqliteRun() {
    sqlite3_finalize(insert_);
    sqlite3_finalize(select_);
    sqlite3_finalize(update_);
    sqlite3_close(db_);
  }

  void Insert(int count) {
    Exec(db_, "BEGIN");
    for (int i = 0; i < count; ++i) {
      const std::string name = "Hrac " + std::to_string(i);
      sqlite3_bind_text(insert_, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(insert_, 2, i);
      if (sqlite3_step(insert_) != SQLITE_DONE) std::abort();
      sqlite3_reset(insert_);
    }
    Exec(db_, "COMMIT");
  }
  bool Locate(int32_t id) {
    sqlite3_bind_int(select_, 1, id);
    const bool found = sqlite3_step(select_) == SQLITE_ROW;
    if (found) g_sink = g_sink + sqlite3_column_int(select_, 2) + sqlite3_column_bytes(select_, 1);
    sqlite3_reset(select_);
    return found;
  }
  void Edit(int32_t id, int32_t body) {
    sqlite3_bind_int(update_, 1, body);
    sqlite3_bind_int(update_, 2, id);
    if (sqlite3_step(update_) != SQLITE_DONE) std::abort();
    sqlite3_reset(update_);
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* select_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
};

template <typename Run>
std::vector<double> Measure(Run& run) {
  std::vector<double> figures;
  figures.push_back(Best([&] { run.Insert(kRecords); }));
  std::mt19937 random(7);
  figures.push_back(Best([&] {
    for (int i = 0; i < kLocates; ++i) {
      if (!run.Locate(static_cast<int32_t>(random() % kRecords) + 1)) std::abort();
    }
  }));
  figures.push_back(Best([&] {
    for (int i = 0; i < kEdits; ++i) run.Edit(static_cast<int32_t>(random() % kRecords) + 1, i);
  }));
  return figures;
}

}  // namespace

int main() {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  std::vector<double> engine;
  std::vector<double> sqlite;
  {
    EngineRun run((dir / "cursor_bench.kdb").string());
    engine = Measure(run);
  }
  {
    SqliteRun run((dir / "cursor_bench.sqlite").string());
    sqlite = Measure(run);
  }
  const char* names[] = {"10k posts in one transaction", "locate on the id (10,000)", "autocommitted edit+post (200)"};
  const double targets[] = {3.0, 1.5, 1.5};
  std::printf("%-32s %12s %12s %8s %8s\n", "work", "engine ms", "sqlite ms", "ratio", "target");
  for (size_t i = 0; i < engine.size(); ++i) {
    std::printf("%-32s %12.2f %12.2f %8.2f %8.1f\n", names[i], engine[i] * 1000, sqlite[i] * 1000,
                engine[i] / sqlite[i], targets[i]);
  }
  std::filesystem::remove(dir / "cursor_bench.kdb");
  std::filesystem::remove(dir / "cursor_bench.sqlite");
  return 0;
}
