// Sessions and locks against SQLite, the same work in one run:
//   reads:   100,000 reads of a record by its id in multi-user mode, on a file
//            of 500 connections where 20 other slots (another open) hold the
//            table's shared lock: each read takes and releases the read lock
//            (SQLite: point reads by rowid with a second connection open);
//   updates: two processes, each 1,000 durable read-modify-write updates of
//            random rows among 100, along the lock sequence of an edit and
//            its post (SQLite: BEGIN IMMEDIATE, read, update, COMMIT, with
//            synchronous FULL and a rollback journal), wall time of both.
// Run in a directory on a real disk: syncing is part of what is measured.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/sqlite_peer.h"
#include "db/storage/catalog/disk_database_data.h"
#include "db/tables/metadata/table_metadata.h"
#include "db/tables/records/table_lock_guards.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;

constexpr int kReadRows = 1000;
constexpr int kReads = 100000;
constexpr int kOtherSlots = 20;
constexpr int kUpdateRows = 100;
constexpr int kUpdatesEach = 1000;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Row(const char* what, double engine, double sqlite) {
  std::printf("%-8s engine %9.2f ms   sqlite %9.2f ms   ratio %5.2f\n", what, engine * 1e3, sqlite * 1e3,
              engine / sqlite);
}

// A file of 500 connections with one table of `rows` rows (k, n, pad).
std::vector<TABSRecordId> MakeEngineFile(const std::string& path, int rows) {
  std::filesystem::remove(path);
  TABSDiskDatabaseData::CreateDatabase(path, {});
  TABSDiskDatabaseData db(path, {});
  TABSBaseSession session;
  const TABSSessionConnection connection(db, session);
  TABSTableMetadata definitions;
  std::vector<TABSDatasetFieldDef> fields(3);
  fields[0].name = "k";
  fields[0].type = TABSColumnType::Integer;
  fields[1].name = "n";
  fields[1].type = TABSColumnType::Integer;
  fields[2].name = "pad";
  fields[2].type = TABSColumnType::String;
  fields[2].size = 40;
  definitions.DefineFields(fields);
  db.CreateTable("t", definitions.Fields(), definitions.Indexes(), definitions.Constraints());
  TABSCursor cursor(session, "t");
  TABSDiskTableData* table = db.OpenTable(cursor);
  std::vector<uint8_t> record(static_cast<size_t>(table->RecordFields().MemorySize()));
  std::vector<TABSRecordId> ids;
  db.StartTransaction(0);
  for (int32_t k = 0; k < rows; ++k) {
    table->InitRecord(session, record.data(), false);
    std::memcpy(table->RecordFields().Slot(record.data(), 0), &k, 4);
    TABSRecordFields::SetNull(record.data(), 0, false);
    const int32_t zero = 0;
    std::memcpy(table->RecordFields().Slot(record.data(), 1), &zero, 4);
    TABSRecordFields::SetNull(record.data(), 1, false);
    ids.push_back(table->InsertRecord(session, record.data()).id);
  }
  db.CommitTransaction(0, true);
  db.CloseTable(cursor);
  return ids;
}

double EngineReads(const std::string& path) {
  const std::vector<TABSRecordId> ids = MakeEngineFile(path, kReadRows);
  // Another open whose 20 sessions hold the table's shared lock.
  TABSDiskDatabaseData others(path, {});
  std::vector<std::unique_ptr<TABSBaseSession>> other_sessions;
  std::vector<std::unique_ptr<TABSCursor>> other_cursors;
  for (int i = 0; i < kOtherSlots; ++i) {
    other_sessions.push_back(std::make_unique<TABSBaseSession>(true, false));
    others.ConnectSession(*other_sessions.back());
    other_cursors.push_back(std::make_unique<TABSCursor>(*other_sessions.back(), "t"));
    others.OpenTable(*other_cursors.back());
  }
  TABSDiskDatabaseData db(path, {});
  TABSBaseSession session(true, false);
  db.ConnectSession(session);
  TABSCursor cursor(session, "t");
  TABSDiskTableData* table = db.OpenTable(cursor);
  std::vector<uint8_t> record(static_cast<size_t>(table->RecordFields().MemorySize()));
  std::mt19937 random(7);
  int64_t sum = 0;
  const auto start = Clock::now();
  for (int i = 0; i < kReads; ++i) {
    const TABSRecordId id = ids[random() % ids.size()];
    if (table->ReadRecord(session.SessionNumber(), id, record.data())) sum += record[1];
  }
  const double seconds = Seconds(start);
  if (sum < 0) std::printf("?");
  db.CloseTable(cursor);
  db.DisconnectSession(session);
  for (auto& c : other_cursors) others.CloseTable(*c);
  for (auto& s : other_sessions) others.DisconnectSession(*s);
  return seconds;
}

using bench::Exec;

void MakeSqliteFile(const std::string& path, int rows) {
  std::filesystem::remove(path);
  sqlite3* db = bench::OpenSqlite(path);
  Exec(db, "CREATE TABLE t(k INTEGER, n INTEGER, pad TEXT)");
  Exec(db, "BEGIN");
  for (int k = 0; k < rows; ++k) Exec(db, ("INSERT INTO t VALUES(" + std::to_string(k) + ", 0, NULL)").c_str());
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

double SqliteReads(const std::string& path) {
  MakeSqliteFile(path, kReadRows);
  sqlite3* other = nullptr;
  sqlite3_open(path.c_str(), &other);
  sqlite3* db = bench::OpenSqlite(path);
  sqlite3_stmt* read = nullptr;
  sqlite3_prepare_v2(db, "SELECT k, n, pad FROM t WHERE rowid=?", -1, &read, nullptr);
  std::mt19937 random(7);
  int64_t sum = 0;
  const auto start = Clock::now();
  for (int i = 0; i < kReads; ++i) {
    sqlite3_bind_int(read, 1, static_cast<int>(random() % kReadRows) + 1);
    if (sqlite3_step(read) == SQLITE_ROW) sum += sqlite3_column_int(read, 1);
    sqlite3_reset(read);
  }
  const double seconds = Seconds(start);
  if (sum < 0) std::printf("?");
  sqlite3_finalize(read);
  sqlite3_close(db);
  sqlite3_close(other);
  return seconds;
}

void EngineUpdater(const std::string& path, int seed) {
  TABSDiskDatabaseData db(path, {});
  TABSBaseSession session(true, false);
  db.ConnectSession(session);
  TABSCursor cursor(session, "t");
  TABSDiskTableData* table = db.OpenTable(cursor);
  const int32_t slot = session.SessionNumber();
  std::vector<TABSRecordId> ids;
  table->ForEachRecord(slot, [&](TABSRecordId id, const uint8_t*) { ids.push_back(id); });
  std::vector<uint8_t> before(static_cast<size_t>(table->RecordFields().MemorySize()));
  std::vector<uint8_t> record(before.size());
  std::mt19937 random(static_cast<uint32_t>(seed));
  for (int i = 0; i < kUpdatesEach;) {
    const TABSRecordId id = ids[random() % ids.size()];
    TABSTableLockHold edit(*table, slot, TABSLockType::kEdit, lock_wait::kEdit);
    if (!edit.Granted()) continue;
    TABSRecordLockHold record_lock(*table, slot, id, lock_wait::kRecord);
    if (!record_lock.Granted() || !table->ReadRecord(slot, id, before.data())) continue;
    record = before;
    int32_t n;
    std::memcpy(&n, table->RecordFields().Slot(record.data(), 1), 4);
    ++n;
    std::memcpy(table->RecordFields().Slot(record.data(), 1), &n, 4);
    if (table->UpdateRecord(session, id, record.data(), before.data()).Succeeded()) ++i;
  }
  db.CloseTable(cursor);
  db.DisconnectSession(session);
}

void SqliteUpdater(const std::string& path, int seed) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_busy_timeout(db, 60000);
  Exec(db, "PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE;");
  sqlite3_stmt* read = nullptr;
  sqlite3_stmt* write = nullptr;
  sqlite3_prepare_v2(db, "SELECT n FROM t WHERE rowid=?", -1, &read, nullptr);
  sqlite3_prepare_v2(db, "UPDATE t SET n=? WHERE rowid=?", -1, &write, nullptr);
  std::mt19937 random(static_cast<uint32_t>(seed));
  for (int i = 0; i < kUpdatesEach;) {
    const int row = static_cast<int>(random() % kUpdateRows) + 1;
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) continue;
    sqlite3_bind_int(read, 1, row);
    const int n = sqlite3_step(read) == SQLITE_ROW ? sqlite3_column_int(read, 0) : 0;
    sqlite3_reset(read);
    sqlite3_bind_int(write, 1, n + 1);
    sqlite3_bind_int(write, 2, row);
    sqlite3_step(write);
    sqlite3_reset(write);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
      ++i;
    } else {
      Exec(db, "ROLLBACK");
    }
  }
  sqlite3_finalize(read);
  sqlite3_finalize(write);
  sqlite3_close(db);
}

// Both processes at once; the wall time until both are done.
template <class F>
double TwoProcesses(F&& work) {
  const auto start = Clock::now();
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    if (children[c] == 0) {
      try {
        work(c);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        ::_exit(1);
      }
      ::_exit(0);
    }
  }
  for (const pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "a writer failed\n");
  }
  return Seconds(start);
}

// The counters must add up to every update both processes made.
template <class Sum>
void ExpectTotal(const char* who, Sum&& sum) {
  const int64_t total = sum();
  if (total != 2 * kUpdatesEach) std::fprintf(stderr, "%s: counters add up to %lld\n", who, static_cast<long long>(total));
}

}  // namespace

int main() {
  const std::string dir = "locks_bench_files";
  std::filesystem::create_directories(dir);
  const std::string engine_path = dir + "/kelvorin.db";
  const std::string sqlite_path = dir + "/sqlite.db";
  std::printf("%d reads by id, %d other slots holding the shared lock; 2 processes x %d updates of %d rows\n", kReads,
              kOtherSlots, kUpdatesEach, kUpdateRows);
  Row("reads", EngineReads(engine_path), SqliteReads(sqlite_path));

  MakeEngineFile(engine_path, kUpdateRows);
  const double engine = TwoProcesses([&](int c) { EngineUpdater(engine_path, c + 1); });
  ExpectTotal("engine", [&] {
    TABSDiskDatabaseData db(engine_path, {});
    TABSBaseSession session;
    const TABSSessionConnection connection(db, session);
    TABSCursor cursor(session, "t");
    TABSDiskTableData* table = db.OpenTable(cursor);
    int64_t total = 0;
    table->ForEachRecord(0, [&](TABSRecordId, const uint8_t* record) {
      int32_t n;
      std::memcpy(&n, table->RecordFields().Slot(record, 1), 4);
      total += n;
    });
    db.CloseTable(cursor);
    return total;
  });
  MakeSqliteFile(sqlite_path, kUpdateRows);
  const double sqlite = TwoProcesses([&](int c) { SqliteUpdater(sqlite_path, c + 1); });
  ExpectTotal("sqlite", [&] {
    sqlite3* db = nullptr;
    sqlite3_open(sqlite_path.c_str(), &db);
    sqlite3_stmt* sum = nullptr;
    sqlite3_prepare_v2(db, "SELECT SUM(n) FROM t", -1, &sum, nullptr);
    const int64_t total = sqlite3_step(sum) == SQLITE_ROW ? sqlite3_column_int64(sum, 0) : -1;
    sqlite3_finalize(sum);
    sqlite3_close(db);
    return total;
  });
  Row("updates", engine, sqlite);
  std::filesystem::remove_all(dir);
  return 0;
}
