// Table data against SQLite, the same work in one run, both durable when a
// commit returns (SQLite: synchronous FULL, rollback journal). The table
// (id AUTOINC primary key, Kolo INTEGER indexed, Jmeno STRING(20) indexed
// under the Czech collation, Body INTEGER; SQLite: the same columns with a
// collation that calls the engine's) takes:
//   bulk      100,000 inserts in one transaction
//   auto      1,000 inserts, each committed on its own
//   scan      a full scan reading every field
//   lookups   100,000 point lookups through each index, the record fetched
//   build     an index over 100,000 records (INTEGER, STRING(20)) against
//             CREATE INDEX, and the same at 7,650 records
//   blobs     10,000 BLOBs of 500 bytes and 100 of 1 MB written (one
//             transaction each) and read back
//   empty     emptying the 101,000 records
// File sizes are reported beside SQLite's. Run in a directory on a real
// disk: syncing is part of what is measured. An argument ("bulk" or "blobs")
// runs that case alone, on both sides, for profiling it.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/sqlite_peer.h"
#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/streams/memory_stream.h"
#include "db/tables/metadata/table_metadata.h"
#include "db/tables/values/value_compare.h"
#include "platform/locale_profile.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;
using C = TABSColumnType;

constexpr int kRecords = 100000;
constexpr int kAutocommitted = 1000;
constexpr int kLookups = 100000;
constexpr int kSmallBuild = 7650;
constexpr int kSmallBlobs = 10000;
constexpr int kSmallBlobSize = 500;
constexpr int kLargeBlobs = 100;
constexpr int kLargeBlobSize = 1 << 20;

// The case the command line asks for alone; empty for every case.
std::string only_case;
bool Runs(const char* name) { return only_case.empty() || only_case == name; }

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Player names in Windows-1250, distinct and in no order.
std::vector<std::string> Names(int count) {
  static const char* first[] = {"Jan", "Petr", "Pavel", "Ji\xF8\xED", "Tom\xE1\xB9", "Eva", "Jana", "\x8A" "rka", "Lucie",
                                "Zden\xEC" "k"};
  static const char* last[] = {"Nov\xE1k", "Svoboda", "Dvo\xF8\xE1k", "\xC8" "ern\xFD", "Proch\xE1zka", "Kucera",
                               "Vesel\xFD", "Hor\xE1k", "N\xEC" "mec", "\x8A" "tastn\xFD", "Chalupa", "Ch\xFDle"};
  std::vector<std::string> names;
  std::mt19937 random(7);
  for (int i = 0; i < count; ++i) {
    const int n = static_cast<int>(random() % 1000000);
    names.push_back(std::string(last[n % 12]) + " " + first[(n / 12) % 10] + " " + std::to_string(i));
  }
  return names;
}

struct Figures {
  double bulk = 0, autocommit = 0, scan = 0, lookup_id = 0, lookup_kolo = 0, lookup_jmeno = 0;
  double build_kolo = 0, build_jmeno = 0, build_small_kolo = 0, build_small_jmeno = 0;
  double blobs_small = 0, blobs_large = 0, empty = 0;
  int64_t size_records = 0, size_blobs = 0;
  int64_t checksum = 0;
};

// --- The engine ---

class EngineRun {
 public:
  explicit EngineRun(const std::string& path) : path_(path) {
    std::filesystem::remove(path);
    TABSDiskDatabaseData::CreateDatabase(path, {});
    db_ = std::make_unique<TABSDiskDatabaseData>(path, TABSPassword{});
    connection_ = std::make_unique<TABSSessionConnection>(*db_, session_);
  }
  ~EngineRun() {
    for (auto& cursor : cursors_) db_->CloseTable(*cursor);
  }

  void CreatePlayers(const std::string& name, bool indexes) {
    TABSTableMetadata defs;
    defs.DefineFields({Field("id", C::AutoInc), Field("Kolo", C::Integer), Field("Jmeno", C::String, 20),
                       Field("Body", C::Integer)});
    if (indexes) {
      defs.Indexes().Add(Index("I_id", "id", true));
      defs.Indexes().Add(Index("I_Kolo", "Kolo", false));
      defs.Indexes().Add(Index("I_Jmeno", "Jmeno", false));
      defs.DeriveIndexConstraints();
    }
    db_->CreateTable(name, defs.Fields(), defs.Indexes(), defs.Constraints());
  }
  void CreateBlobs(const std::string& name) {
    TABSTableMetadata defs;
    defs.DefineFields({Field("id", C::AutoInc), Field("Data", C::Blob)});
    db_->CreateTable(name, defs.Fields(), defs.Indexes(), defs.Constraints());
  }
  TABSDiskTableData& Open(const std::string& name) {
    cursors_.push_back(std::make_unique<TABSCursor>(session_, name));
    return *db_->OpenTable(*cursors_.back());
  }
  TABSCursor& CursorOf(TABSTableData& table) {
    for (auto& cursor : cursors_) {
      if (cursor->Table() == &table) return *cursor;
    }
    std::abort();
  }

  void Insert(TABSTableData& table, const std::vector<std::string>& names, int from, int to) {
    std::vector<uint8_t> record(static_cast<size_t>(table.RecordFields().MemorySize()));
    TABSBaseFieldManager& fields = table.FieldManager();
    for (int i = from; i < to; ++i) {
      table.InitRecord(session_, record.data(), false);
      const int32_t kolo = i % 15 + 1, body = i % 7;
      char name[21] = {};
      std::strncpy(name, names[static_cast<size_t>(i)].c_str(), 20);
      fields.SetFieldData(1, &kolo, record.data());
      fields.SetFieldData(2, name, record.data());
      fields.SetFieldData(3, &body, record.data());
      if (!table.InsertRecord(session_, record.data()).Succeeded()) std::abort();
    }
  }

  int64_t Scan(TABSTableData& table) {
    int64_t sum = 0;
    TABSBaseFieldManager& fields = table.FieldManager();
    table.ForEachRecord(0, [&](TABSRecordId, const uint8_t* record) {
      int32_t id = 0, kolo = 0, body = 0;
      char name[21];
      fields.GetFieldData(0, &id, record);
      fields.GetFieldData(1, &kolo, record);
      fields.GetFieldData(2, name, record);
      fields.GetFieldData(3, &body, record);
      sum += id + kolo + body + name[0];
    });
    return sum;
  }

  // Point lookups through one index: the first record whose field equals
  // the key, fetched.
  template <typename SetKey>
  int64_t Lookups(TABSTableData& table, int32_t index_position, SetKey set_key) {
    TABSBTreeRecordIndex& index = table.IndexManager().Index(index_position);
    std::vector<uint8_t> probe(static_cast<size_t>(table.RecordFields().MemorySize()));
    std::vector<uint8_t> found(probe.size());
    TABSIndexScanState state;
    TABSScanSearchCondition condition;
    condition.kind = TABSScanConditionKind::kEqual;
    condition.record = probe.data();
    condition.columns = 1;
    condition.index_object_id = table.IndexManager().Definition(index_position).ObjectId();
    int64_t sum = 0;
    for (int i = 0; i < kLookups; ++i) {
      table.InitRecord(session_, probe.data(), false);
      set_key(i, probe.data());
      TABSRecordId id;
      if (!index.ScanStep(0, true, &state, id, found.data(), &condition, &condition, true)) std::abort();
      sum += found[1];
    }
    return sum;
  }

  double AddIndex(TABSTableData& table, const char* name, const char* field) {
    const auto start = Clock::now();
    db_->AddIndex(CursorOf(table), Index(name, field, false));
    return Seconds(start);
  }

  void InsertBlobs(TABSTableData& table, int count, int size) {
    std::vector<uint8_t> record(static_cast<size_t>(table.RecordFields().MemorySize()));
    std::vector<uint8_t> value(static_cast<size_t>(size));
    for (size_t i = 0; i < value.size(); ++i) value[i] = static_cast<uint8_t>(i * 7);
    db_->StartTransaction(0);
    for (int i = 0; i < count; ++i) {
      table.InitRecord(session_, record.data(), false);
      value[0] = static_cast<uint8_t>(i);
      table.BlobManager()->WriteValue(record.data(), 1, value.data(), size);
      if (!table.InsertRecord(session_, record.data()).Succeeded()) std::abort();
    }
    db_->CommitTransaction(0, false);
  }
  int64_t ReadBlobs(TABSTableData& table) {
    int64_t sum = 0;
    TABSMemoryStream value;
    std::vector<uint8_t> copy(static_cast<size_t>(table.RecordFields().MemorySize()));
    table.ForEachRecord(0, [&](TABSRecordId, const uint8_t* record) {
      std::memcpy(copy.data(), record, copy.size());
      value.Clear();
      table.BlobManager()->ReadValue(0, copy.data(), 1, value);
      sum += value.Size() + value.Memory()[0];
    });
    return sum;
  }

  TABSDiskDatabaseData& Db() { return *db_; }
  TABSBaseSession& Session() { return session_; }

 private:
  static TABSDatasetFieldDef Field(const char* name, C type, int32_t size = 0) {
    TABSDatasetFieldDef field;
    field.name = name;
    field.type = type;
    field.size = size;
    return field;
  }
  static std::unique_ptr<TABSIndexDef> Index(const char* name, const char* field, bool primary) {
    auto index = std::make_unique<TABSIndexDef>();
    index->SetName(name);
    index->SetColumns({field}, {""}, {""});
    index->SetPrimary(primary);
    index->SetUnique(primary);
    return index;
  }

  std::string path_;
  std::unique_ptr<TABSDiskDatabaseData> db_;
  TABSBaseSession session_;
  std::unique_ptr<TABSSessionConnection> connection_;
  std::vector<std::unique_ptr<TABSCursor>> cursors_;
};

Figures Engine(const std::string& path, const std::vector<std::string>& names) {
  Figures f;
  EngineRun run(path);
  auto start = Clock::now();
  if (only_case == "blobs") {
    run.CreateBlobs("velke");
    TABSDiskTableData& large = run.Open("velke");
    start = Clock::now();
    run.InsertBlobs(large, kLargeBlobs, kLargeBlobSize);
    f.checksum += run.ReadBlobs(large);
    f.blobs_large = Seconds(start);
    return f;
  }
  run.CreatePlayers("hraci", true);
  TABSDiskTableData& table = run.Open("hraci");
  start = Clock::now();
  run.Db().StartTransaction(0);
  run.Insert(table, names, 0, kRecords);
  run.Db().CommitTransaction(0, false);
  f.bulk = Seconds(start);
  if (!only_case.empty()) return f;
  start = Clock::now();
  run.Insert(table, names, kRecords, kRecords + kAutocommitted);
  f.autocommit = Seconds(start);
  start = Clock::now();
  f.checksum += run.Scan(table);
  f.scan = Seconds(start);

  std::mt19937 random(11);
  std::vector<int> keys(kLookups);
  for (int& key : keys) key = static_cast<int>(random() % kRecords);
  start = Clock::now();
  f.checksum += run.Lookups(table, 0, [&](int i, uint8_t* probe) {
    const int32_t id = keys[static_cast<size_t>(i)] + 1;
    table.FieldManager().SetFieldData(0, &id, probe);
  });
  f.lookup_id = Seconds(start);
  start = Clock::now();
  f.checksum += run.Lookups(table, 1, [&](int i, uint8_t* probe) {
    const int32_t kolo = keys[static_cast<size_t>(i)] % 15 + 1;
    table.FieldManager().SetFieldData(1, &kolo, probe);
  });
  f.lookup_kolo = Seconds(start);
  start = Clock::now();
  f.checksum += run.Lookups(table, 2, [&](int i, uint8_t* probe) {
    char name[21] = {};
    std::strncpy(name, names[static_cast<size_t>(keys[static_cast<size_t>(i)])].c_str(), 20);
    table.FieldManager().SetFieldData(2, name, probe);
  });
  f.lookup_jmeno = Seconds(start);
  f.size_records = static_cast<int64_t>(std::filesystem::file_size(path));

  for (const auto& [name, count] : {std::pair{"stavba", kRecords}, std::pair{"mala", kSmallBuild}}) {
    run.CreatePlayers(name, false);
    TABSDiskTableData& build = run.Open(name);
    run.Db().StartTransaction(0);
    run.Insert(build, names, 0, count);
    run.Db().CommitTransaction(0, false);
    const double kolo = run.AddIndex(build, "I_Kolo", "Kolo");
    const double jmeno = run.AddIndex(build, "I_Jmeno", "Jmeno");
    (count == kRecords ? f.build_kolo : f.build_small_kolo) = kolo;
    (count == kRecords ? f.build_jmeno : f.build_small_jmeno) = jmeno;
  }

  run.CreateBlobs("blobs");
  run.CreateBlobs("velke");
  TABSDiskTableData& small = run.Open("blobs");
  TABSDiskTableData& large = run.Open("velke");
  start = Clock::now();
  run.InsertBlobs(small, kSmallBlobs, kSmallBlobSize);
  f.checksum += run.ReadBlobs(small);
  f.blobs_small = Seconds(start);
  start = Clock::now();
  run.InsertBlobs(large, kLargeBlobs, kLargeBlobSize);
  f.checksum += run.ReadBlobs(large);
  f.blobs_large = Seconds(start);
  f.size_blobs = static_cast<int64_t>(std::filesystem::file_size(path));

  start = Clock::now();
  run.Db().EmptyTable(run.CursorOf(table));
  f.empty = Seconds(start);
  return f;
}

// --- SQLite ---

using bench::Exec;

// The engine's collation of 8-bit strings, for SQLite's index on Jmeno.
int CzechCollation(void*, int left_size, const void* left, int right_size, const void* right) {
  char a[64], b[64];
  const int la = std::min(left_size, 63), lb = std::min(right_size, 63);
  std::memcpy(a, left, static_cast<size_t>(la));
  std::memcpy(b, right, static_cast<size_t>(lb));
  a[la] = b[lb] = 0;
  return CompareValuesSigned(a, b, TABSStorageType::String, TABSStorageType::String, false, false, false, -1,
                             la + 1, lb + 1);
}

sqlite3* OpenSqlite(const std::string& path) {
  sqlite3* db = bench::OpenSqlite(path);
  sqlite3_create_collation(db, "CZ", SQLITE_UTF8, nullptr, CzechCollation);
  return db;
}

struct Statement {
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr); }
  ~Statement() { sqlite3_finalize(stmt); }
  sqlite3_stmt* stmt = nullptr;
};

void SqliteInsert(sqlite3* db, const char* table, const std::vector<std::string>& names, int from, int to) {
  Statement insert(db, (std::string("INSERT INTO ") + table + " (Kolo, Jmeno, Body) VALUES (?, ?, ?)").c_str());
  for (int i = from; i < to; ++i) {
    sqlite3_bind_int(insert.stmt, 1, i % 15 + 1);
    const std::string& name = names[static_cast<size_t>(i)];
    sqlite3_bind_text(insert.stmt, 2, name.c_str(), static_cast<int>(std::min<size_t>(name.size(), 20)),
                      SQLITE_STATIC);
    sqlite3_bind_int(insert.stmt, 3, i % 7);
    sqlite3_step(insert.stmt);
    sqlite3_reset(insert.stmt);
  }
}

void CreateSqlitePlayers(sqlite3* db, const char* table, bool indexes) {
  Exec(db, std::string("CREATE TABLE ") + table +
               " (id INTEGER PRIMARY KEY AUTOINCREMENT, Kolo INTEGER, Jmeno VARCHAR(20) COLLATE CZ, Body INTEGER)");
  if (indexes) {
    Exec(db, std::string("CREATE INDEX I_Kolo_") + table + " ON " + table + " (Kolo)");
    Exec(db, std::string("CREATE INDEX I_Jmeno_") + table + " ON " + table + " (Jmeno)");
  }
}

int64_t SqliteLookups(sqlite3* db, const char* sql, const std::vector<int>& keys,
                      const std::vector<std::string>& names, int mode) {
  Statement lookup(db, sql);
  int64_t sum = 0;
  for (const int key : keys) {
    if (mode == 0) sqlite3_bind_int(lookup.stmt, 1, key + 1);
    if (mode == 1) sqlite3_bind_int(lookup.stmt, 1, key % 15 + 1);
    if (mode == 2) {
      const std::string& name = names[static_cast<size_t>(key)];
      sqlite3_bind_text(lookup.stmt, 1, name.c_str(), static_cast<int>(std::min<size_t>(name.size(), 20)),
                        SQLITE_STATIC);
    }
    if (sqlite3_step(lookup.stmt) != SQLITE_ROW) std::abort();
    sum += sqlite3_column_int(lookup.stmt, 1) + sqlite3_column_bytes(lookup.stmt, 2);
    sqlite3_reset(lookup.stmt);
  }
  return sum;
}

// BLOBs written in one transaction and read back; the seconds taken.
double SqliteBlobs(sqlite3* db, const char* table, int count, int size, Figures& f) {
  Exec(db, std::string("CREATE TABLE ") + table + " (id INTEGER PRIMARY KEY AUTOINCREMENT, Data BLOB)");
  std::vector<uint8_t> value(static_cast<size_t>(size));
  for (size_t i = 0; i < value.size(); ++i) value[i] = static_cast<uint8_t>(i * 7);
  const auto start = Clock::now();
  Exec(db, "BEGIN");
  {
    Statement insert(db, (std::string("INSERT INTO ") + table + " (Data) VALUES (?)").c_str());
    for (int i = 0; i < count; ++i) {
      value[0] = static_cast<uint8_t>(i);
      sqlite3_bind_blob(insert.stmt, 1, value.data(), size, SQLITE_STATIC);
      sqlite3_step(insert.stmt);
      sqlite3_reset(insert.stmt);
    }
  }
  Exec(db, "COMMIT");
  {
    Statement read(db, (std::string("SELECT Data FROM ") + table).c_str());
    while (sqlite3_step(read.stmt) == SQLITE_ROW) {
      const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(read.stmt, 0));
      f.checksum += sqlite3_column_bytes(read.stmt, 0) + bytes[0];
    }
  }
  return Seconds(start);
}

Figures Sqlite(const std::string& path, const std::vector<std::string>& names) {
  Figures f;
  std::filesystem::remove(path);
  sqlite3* db = OpenSqlite(path);
  auto start = Clock::now();
  if (Runs("bulk")) {
    CreateSqlitePlayers(db, "hraci", true);
    start = Clock::now();
    Exec(db, "BEGIN");
    SqliteInsert(db, "hraci", names, 0, kRecords);
    Exec(db, "COMMIT");
    f.bulk = Seconds(start);
  }
  if (!only_case.empty()) {
    if (Runs("blobs")) f.blobs_large = SqliteBlobs(db, "velke", kLargeBlobs, kLargeBlobSize, f);
    sqlite3_close(db);
    return f;
  }
  start = Clock::now();
  SqliteInsert(db, "hraci", names, kRecords, kRecords + kAutocommitted);
  f.autocommit = Seconds(start);
  start = Clock::now();
  {
    Statement scan(db, "SELECT id, Kolo, Jmeno, Body FROM hraci");
    while (sqlite3_step(scan.stmt) == SQLITE_ROW) {
      f.checksum += sqlite3_column_int(scan.stmt, 0) + sqlite3_column_int(scan.stmt, 1) +
                    sqlite3_column_int(scan.stmt, 3) + sqlite3_column_text(scan.stmt, 2)[0];
    }
  }
  f.scan = Seconds(start);

  std::mt19937 random(11);
  std::vector<int> keys(kLookups);
  for (int& key : keys) key = static_cast<int>(random() % kRecords);
  start = Clock::now();
  f.checksum += SqliteLookups(db, "SELECT * FROM hraci WHERE id = ?", keys, names, 0);
  f.lookup_id = Seconds(start);
  start = Clock::now();
  f.checksum += SqliteLookups(db, "SELECT * FROM hraci WHERE Kolo = ? LIMIT 1", keys, names, 1);
  f.lookup_kolo = Seconds(start);
  start = Clock::now();
  f.checksum += SqliteLookups(db, "SELECT * FROM hraci WHERE Jmeno = ? LIMIT 1", keys, names, 2);
  f.lookup_jmeno = Seconds(start);
  sqlite3_close(db);
  f.size_records = static_cast<int64_t>(std::filesystem::file_size(path));
  db = OpenSqlite(path);

  for (const auto& [name, count] : {std::pair{"stavba", kRecords}, std::pair{"mala", kSmallBuild}}) {
    CreateSqlitePlayers(db, name, false);
    Exec(db, "BEGIN");
    SqliteInsert(db, name, names, 0, count);
    Exec(db, "COMMIT");
    start = Clock::now();
    Exec(db, std::string("CREATE INDEX I_Kolo_") + name + " ON " + name + " (Kolo)");
    (count == kRecords ? f.build_kolo : f.build_small_kolo) = Seconds(start);
    start = Clock::now();
    Exec(db, std::string("CREATE INDEX I_Jmeno_") + name + " ON " + name + " (Jmeno)");
    (count == kRecords ? f.build_jmeno : f.build_small_jmeno) = Seconds(start);
  }

  f.blobs_small = SqliteBlobs(db, "blobs", kSmallBlobs, kSmallBlobSize, f);
  f.blobs_large = SqliteBlobs(db, "velke", kLargeBlobs, kLargeBlobSize, f);
  sqlite3_close(db);
  f.size_blobs = static_cast<int64_t>(std::filesystem::file_size(path));
  db = OpenSqlite(path);
  start = Clock::now();
  Exec(db, "DELETE FROM hraci");
  f.empty = Seconds(start);
  sqlite3_close(db);
  return f;
}

void Row(const char* what, double engine, double sqlite, double target) {
  if (engine == 0 && sqlite == 0) return;  // a case left out
  std::printf("%-22s engine %9.2f ms   sqlite %9.2f ms   ratio %5.2f  (target %.1f)%s\n", what, engine * 1e3,
              sqlite * 1e3, engine / sqlite, target, engine / sqlite > target ? "  MISSED" : "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) only_case = argv[1];
  if (!Runs("bulk") && !Runs("blobs")) {
    std::fprintf(stderr, "usage: table_data_bench [bulk|blobs]\n");
    return 2;
  }
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  const std::string dir = "table_data_bench_files";
  std::filesystem::create_directories(dir);
  const std::vector<std::string> names = Names(kRecords + kAutocommitted);
  const Figures engine = Engine(dir + "/kelvorin.db", names);
  const Figures sqlite = Sqlite(dir + "/sqlite.db", names);
  std::printf("players table: id AUTOINC primary key, Kolo INTEGER and Jmeno STRING(20) (Czech) indexed\n");
  Row("bulk insert 100,000", engine.bulk, sqlite.bulk, 1.5);
  Row("autocommitted 1,000", engine.autocommit, sqlite.autocommit, 1.5);
  Row("full scan", engine.scan, sqlite.scan, 1.0);
  Row("lookups by id", engine.lookup_id, sqlite.lookup_id, 1.5);
  Row("lookups by Kolo", engine.lookup_kolo, sqlite.lookup_kolo, 1.5);
  Row("lookups by Jmeno", engine.lookup_jmeno, sqlite.lookup_jmeno, 2.0);
  Row("index build INTEGER", engine.build_kolo, sqlite.build_kolo, 3.0);
  Row("index build STRING(20)", engine.build_jmeno, sqlite.build_jmeno, 3.0);
  Row("build INTEGER 7,650", engine.build_small_kolo, sqlite.build_small_kolo, 3.0);
  Row("build STRING 7,650", engine.build_small_jmeno, sqlite.build_small_jmeno, 3.0);
  Row("10,000 BLOBs of 500 B", engine.blobs_small, sqlite.blobs_small, 2.0);
  Row("100 BLOBs of 1 MB", engine.blobs_large, sqlite.blobs_large, 2.0);
  Row("empty 101,000", engine.empty, sqlite.empty, 3.0);
  if (only_case.empty()) {
    std::printf("file after the players: engine %.1f MB, sqlite %.1f MB; after the BLOBs: engine %.1f MB, sqlite %.1f MB\n",
                engine.size_records / 1e6, sqlite.size_records / 1e6, engine.size_blobs / 1e6, sqlite.size_blobs / 1e6);
  }
  std::printf("(checksums %lld %lld)\n", static_cast<long long>(engine.checksum),
              static_cast<long long>(sqlite.checksum));
  std::filesystem::remove_all(dir);
  return 0;
}
