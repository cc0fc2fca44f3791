// Temporary tables against SQLite's, the same work in one run: 2,000,000
// records of 100 bytes (an INTEGER and a 94-character STRING; SQLite: an
// INTEGER and a TEXT column) appended to a temporary table through the
// table's posts and then read back in a full scan, once with the table in
// memory (the engine's temporary budget large enough, SQLite with
// temp_store MEMORY) and once spilled to temporary files (the engine's
// budget at 16 MB, SQLite with temp_store FILE and its default cache).
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/sqlite_peer.h"
#include "db/storage/temporary/temporary_budget.h"
#include "db/storage/temporary/temporary_database_data.h"
#include "db/tables/metadata/table_metadata.h"
#include "platform/locale_profile.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;
using C = TABSColumnType;

constexpr int64_t kRecords = 2000000;
constexpr int32_t kTextSize = 94;
constexpr int64_t kSpillBudget = 16 << 20;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The text of record i: 94 characters.
void TextOf(int64_t i, char* text) {
  std::memset(text, 'a' + static_cast<int>(i % 26), kTextSize);
  std::snprintf(text, 21, "%020lld", static_cast<long long>(i));
  text[20] = '-';
  text[kTextSize] = '\0';
}

TABSDatasetFieldDef Field(const char* name, C type, int32_t size = 0) {
  TABSDatasetFieldDef field;
  field.name = name;
  field.type = type;
  field.size = size;
  return field;
}

struct Figures {
  double append = 0, scan = 0;
  int64_t checksum = 0;
  bool spilled = false;
};

Figures Engine(bool spill) {
  TemporaryBudget().SetLimit(spill ? kSpillBudget : int64_t{1} << 30);
  Figures f;
  TABSBaseSession session;
  TemporaryDatabase().ConnectSession(session);
  TABSTableMetadata defs;
  defs.DefineFields({Field("n", C::Integer), Field("s", C::String, kTextSize)});
  TABSCursor cursor(session, "TEMPORARY_TABLE_BENCH");
  TABSTemporaryTableData& table =
      *TemporaryDatabase().CreateTable(cursor, defs.Fields(), defs.Indexes(), defs.Constraints());
  std::vector<uint8_t> record(static_cast<size_t>(table.RecordFields().MemorySize()));
  char text[kTextSize + 1];
  auto start = Clock::now();
  for (int64_t i = 0; i < kRecords; ++i) {
    table.InitRecord(session, record.data(), false);
    const int32_t value = static_cast<int32_t>(i);
    table.FieldManager().SetFieldData(0, &value, record.data());
    TextOf(i, text);
    table.FieldManager().SetFieldData(1, text, record.data());
    if (!table.InsertRecord(session, record.data()).Succeeded()) std::abort();
  }
  f.append = Seconds(start);
  f.spilled = table.TemporaryRecords().Spilled();
  start = Clock::now();
  table.ForEachRecord(session.SessionNumber(), [&](TABSRecordId, const uint8_t* stored) {
    int32_t value = 0;
    table.FieldManager().GetFieldData(0, &value, stored);
    f.checksum += value + stored[table.RecordFields().MemorySize() - 2];
  });
  f.scan = Seconds(start);
  TemporaryDatabase().CloseTable(cursor);
  TemporaryDatabase().DisconnectSession(session);
  TemporaryBudget().SetLimit(0);
  return f;
}

Figures Sqlite(const std::string& path, bool spill) {
  std::filesystem::remove(path);
  Figures f;
  sqlite3* db = bench::OpenSqlite(path);
  bench::Exec(db, spill ? "PRAGMA temp_store=FILE" : "PRAGMA temp_store=MEMORY");
  bench::Exec(db, "CREATE TEMP TABLE t(n INTEGER, s TEXT)");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?)", -1, &insert, nullptr);
  char text[kTextSize + 1];
  auto start = Clock::now();
  bench::Exec(db, "BEGIN");
  for (int64_t i = 0; i < kRecords; ++i) {
    sqlite3_bind_int(insert, 1, static_cast<int>(i));
    TextOf(i, text);
    sqlite3_bind_text(insert, 2, text, kTextSize, SQLITE_STATIC);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  bench::Exec(db, "COMMIT");
  f.append = Seconds(start);
  sqlite3_finalize(insert);
  sqlite3_stmt* scan = nullptr;
  sqlite3_prepare_v2(db, "SELECT n, s FROM t", -1, &scan, nullptr);
  start = Clock::now();
  while (sqlite3_step(scan) == SQLITE_ROW) {
    f.checksum += sqlite3_column_int(scan, 0) + sqlite3_column_text(scan, 1)[kTextSize - 1];
  }
  f.scan = Seconds(start);
  sqlite3_finalize(scan);
  sqlite3_close(db);
  std::filesystem::remove(path);
  return f;
}

void Row(const char* what, double engine, double sqlite, double target) {
  std::printf("%-28s engine %9.2f ms   sqlite %9.2f ms   ratio %5.2f  (target %.1f)%s\n", what, engine * 1e3,
              sqlite * 1e3, engine / sqlite, target, engine / sqlite > target ? "  MISSED" : "");
}

}  // namespace

int main() {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  const std::string dir = "temporary_bench_files";
  std::filesystem::create_directories(dir);
  for (const bool spill : {false, true}) {
    const Figures engine = Engine(spill);
    const Figures sqlite = Sqlite(dir + "/sqlite.db", spill);
    std::printf("%s (engine %s):\n", spill ? "spilled to temporary files" : "in memory",
                engine.spilled ? "spilled" : "in memory");
    Row("  append 2,000,000 x 100 B", engine.append, sqlite.append, 1.0);
    Row("  scan 2,000,000", engine.scan, sqlite.scan, 1.0);
    Row("  append and scan", engine.append + engine.scan, sqlite.append + sqlite.scan, 1.0);
    std::printf("  (checksums %lld %lld)\n", static_cast<long long>(engine.checksum),
                static_cast<long long>(sqlite.checksum));
  }
  std::filesystem::remove_all(dir);
  return 0;
}
