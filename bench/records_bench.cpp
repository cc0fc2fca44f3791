// Record and BLOB storage against SQLite's tables, the same work in one
// run, each transaction durable when it commits (SQLite: synchronous FULL,
// rollback journal):
//   insert:  100,000 records (id, Kolo, Jmeno STRING(20), Body) in one
//            transaction, no index (SQLite: a rowid table);
//   scan:    read every record with every field, in storage order;
//   blobs:   10,000 records with a 500-byte BLOB, then 100 with a 1 MB BLOB,
//            each set in one transaction and read back;
//   empty:   remove the 100,000 records (SQLite: DELETE FROM).
// The engine's side is the record and BLOB managers of an open table, as
// the table layer drives them; run in a directory on a real disk.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/sqlite_peer.h"
#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/streams/memory_stream.h"
#include "db/tables/metadata/table_metadata.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;

constexpr int kRecords = 100000;
constexpr int kSmallBlobs = 10000;
constexpr int kSmallBlobSize = 500;
constexpr int kLargeBlobs = 100;
constexpr int kLargeBlobSize = 1 << 20;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Figures {
  double insert = 0, scan = 0, small_write = 0, small_read = 0, large_write = 0, large_read = 0, empty = 0;
  int64_t file_size = 0;
};

std::vector<uint8_t> BlobValue(int size, int seed) {
  std::vector<uint8_t> value(static_cast<size_t>(size));
  for (int i = 0; i < size; ++i) value[i] = static_cast<uint8_t>((i * 31 + seed) % 251);
  return value;
}

TABSDatasetFieldDef Field(const char* name, TABSColumnType type, int32_t size = 0) {
  TABSDatasetFieldDef field;
  field.name = name;
  field.type = type;
  field.size = size;
  return field;
}

// The engine's side: one open table per workload.
class EngineTable {
 public:
  EngineTable(TABSDiskDatabaseData& db, TABSBaseSession& session, const char* name,
              const std::vector<TABSDatasetFieldDef>& fields)
      : db_(db), cursor_(session, name) {
    TABSTableMetadata metadata;
    metadata.DefineFields(fields);
    db.CreateTable(name, metadata.Fields(), metadata.Indexes(), metadata.Constraints());
    table_ = db.OpenTable(cursor_);
    record_.assign(static_cast<size_t>(Records().Layout().MemorySize()), 0);
  }
  ~EngineTable() { db_.CloseTable(cursor_); }

  TABSDiskRecordManager& Records() { return table_->DiskRecordManager(); }
  TABSBlobManager& Blobs() { return *table_->BlobManager(); }
  uint8_t* Record() { return record_.data(); }

  void Insert() {
    const TABSBlobStore store = Blobs().StoreBlobs(0, Record(), true);
    TABSRecordId id;
    if (!Records().Insert(0, Record(), id)) std::fprintf(stderr, "insert failed\n");
    Blobs().ReleaseStored(Record(), store);
  }
  void Commit() {
    table_->WriteState(0);
    db_.CommitTransaction(0, /*flush=*/true);
  }
  // Visits every record, read into Record().
  template <typename F>
  int64_t Scan(F&& visit) {
    TABSNavigateRequest request;
    request.go_to_first = true;
    request.record = Record();
    int64_t count = 0;
    for (Records().Navigate(0, request); request.status == TABSNavigateStatus::kFound;
         Records().Navigate(0, request)) {
      visit();
      ++count;
    }
    return count;
  }
  void Empty() { db_.EmptyTable(cursor_); }

 private:
  TABSDiskDatabaseData& db_;
  TABSCursor cursor_;
  TABSDiskTableData* table_;
  std::vector<uint8_t> record_;
};

Figures Engine(const std::string& path) {
  Figures f;
  TABSDiskDatabaseData::CreateDatabase(path, {});
  TABSDiskDatabaseData db(path, {});
  TABSBaseSession session;
  const TABSSessionConnection connection(db, session);
  using C = TABSColumnType;
  {
    EngineTable table(db, session, "seskupeni",
                      {Field("id", C::Integer), Field("Kolo", C::Integer), Field("Jmeno", C::String, 20),
                       Field("Body", C::Integer)});
    const TABSRecordLayout& layout = table.Records().Layout();
    auto start = Clock::now();
    for (int i = 0; i < kRecords; ++i) {
      uint8_t* record = table.Record();
      record[0] = 0;
      StoreLE(record + 1, i);
      StoreLE(record + 5, i % 30);
      std::snprintf(reinterpret_cast<char*>(record + 9), 21, "hrac %d", i);
      StoreLE(record + 30, i % 7);
      table.Insert();
    }
    table.Commit();
    f.insert = Seconds(start);
    start = Clock::now();
    int64_t sum = 0;
    const int64_t count = table.Scan([&] {
      const uint8_t* record = table.Record();
      sum += LoadLE<int32_t>(record + 1) + LoadLE<int32_t>(record + 5) + record[9] + LoadLE<int32_t>(record + 30);
    });
    f.scan = Seconds(start);
    if (count != kRecords || sum == 0 || layout.MemorySize() != 34) std::fprintf(stderr, "scan: %lld\n", (long long)count);
    start = Clock::now();
    table.Empty();
    f.empty = Seconds(start);
  }
  const auto blob_workload = [&](const char* name, int count, int size, double& write, double& read) {
    EngineTable table(db, session, name, {Field("id", C::Integer), Field("data", C::Blob)});
    auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
      const std::vector<uint8_t> value = BlobValue(size, i);
      uint8_t* record = table.Record();
      record[0] = 0;
      StoreLE(record + 1, i);
      table.Blobs().WriteValue(record, 1, value.data(), size);
      table.Insert();
    }
    table.Commit();
    write = Seconds(start);
    start = Clock::now();
    int64_t bytes = 0;
    TABSMemoryStream stream;
    table.Scan([&] {
      stream.Clear();
      table.Blobs().ReadValue(0, table.Record(), 1, stream);
      bytes += stream.Size();
    });
    read = Seconds(start);
    if (bytes != int64_t{count} * size) std::fprintf(stderr, "%s: read %lld bytes\n", name, (long long)bytes);
  };
  blob_workload("small_blobs", kSmallBlobs, kSmallBlobSize, f.small_write, f.small_read);
  blob_workload("large_blobs", kLargeBlobs, kLargeBlobSize, f.large_write, f.large_read);
  f.file_size = static_cast<int64_t>(std::filesystem::file_size(path));
  return f;
}

using bench::Exec;

Figures Sqlite(const std::string& path) {
  Figures f;
  std::filesystem::remove(path);
  sqlite3* db = bench::OpenSqlite(path);
  Exec(db, "CREATE TABLE seskupeni (id INTEGER, Kolo INTEGER, Jmeno VARCHAR(20), Body INTEGER)");
  sqlite3_stmt* insert = nullptr;
  auto start = Clock::now();
  Exec(db, "BEGIN");
  sqlite3_prepare_v2(db, "INSERT INTO seskupeni VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
  char name[21];
  for (int i = 0; i < kRecords; ++i) {
    std::snprintf(name, sizeof name, "hrac %d", i);
    sqlite3_bind_int(insert, 1, i);
    sqlite3_bind_int(insert, 2, i % 30);
    sqlite3_bind_text(insert, 3, name, -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 4, i % 7);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Exec(db, "COMMIT");
  f.insert = Seconds(start);
  start = Clock::now();
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT id, Kolo, Jmeno, Body FROM seskupeni", -1, &select, nullptr);
  int64_t sum = 0;
  while (sqlite3_step(select) == SQLITE_ROW) {
    sum += sqlite3_column_int(select, 0) + sqlite3_column_int(select, 1) + sqlite3_column_text(select, 2)[0] +
           sqlite3_column_int(select, 3);
  }
  sqlite3_finalize(select);
  f.scan = Seconds(start);
  if (sum == 0) std::fprintf(stderr, "sqlite scan\n");
  start = Clock::now();
  Exec(db, "DELETE FROM seskupeni");
  f.empty = Seconds(start);

  const auto blob_workload = [&](const char* table, int count, int size, double& write, double& read) {
    Exec(db, (std::string("CREATE TABLE ") + table + " (id INTEGER, data BLOB)").c_str());
    sqlite3_stmt* put = nullptr;
    auto begin = Clock::now();
    Exec(db, "BEGIN");
    sqlite3_prepare_v2(db, (std::string("INSERT INTO ") + table + " VALUES (?, ?)").c_str(), -1, &put, nullptr);
    for (int i = 0; i < count; ++i) {
      const std::vector<uint8_t> value = BlobValue(size, i);
      sqlite3_bind_int(put, 1, i);
      sqlite3_bind_blob(put, 2, value.data(), size, SQLITE_TRANSIENT);
      sqlite3_step(put);
      sqlite3_reset(put);
    }
    sqlite3_finalize(put);
    Exec(db, "COMMIT");
    write = Seconds(begin);
    begin = Clock::now();
    sqlite3_stmt* get = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT data FROM ") + table).c_str(), -1, &get, nullptr);
    int64_t bytes = 0;
    std::vector<uint8_t> copy;
    while (sqlite3_step(get) == SQLITE_ROW) {
      const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(get, 0));
      copy.assign(data, data + sqlite3_column_bytes(get, 0));
      bytes += static_cast<int64_t>(copy.size());
    }
    sqlite3_finalize(get);
    read = Seconds(begin);
    if (bytes != int64_t{count} * size) std::fprintf(stderr, "sqlite %s\n", table);
  };
  blob_workload("small_blobs", kSmallBlobs, kSmallBlobSize, f.small_write, f.small_read);
  blob_workload("large_blobs", kLargeBlobs, kLargeBlobSize, f.large_write, f.large_read);
  sqlite3_close(db);
  f.file_size = static_cast<int64_t>(std::filesystem::file_size(path));
  return f;
}

void Row(const char* what, double engine, double sqlite) {
  std::printf("%-28s %10.2f ms %10.2f ms %8.2fx\n", what, engine * 1000, sqlite * 1000, engine / sqlite);
}

}  // namespace

int main() {
  const std::filesystem::path dir = std::filesystem::current_path();
  const std::string engine_path = (dir / "records_bench.kelvorin").string();
  const std::string sqlite_path = (dir / "records_bench.sqlite").string();
  const Figures e = Engine(engine_path);
  const Figures s = Sqlite(sqlite_path);
  std::printf("%-28s %13s %13s %9s\n", "", "kelvorin", "sqlite", "ratio");
  Row("insert 100,000 records", e.insert, s.insert);
  Row("scan 100,000 records", e.scan, s.scan);
  Row("empty 100,000 records", e.empty, s.empty);
  Row("write 10,000 BLOBs of 500 B", e.small_write, s.small_write);
  Row("read 10,000 BLOBs of 500 B", e.small_read, s.small_read);
  Row("write 100 BLOBs of 1 MB", e.large_write, s.large_write);
  Row("read 100 BLOBs of 1 MB", e.large_read, s.large_read);
  std::printf("%-28s %10lld KB %10lld KB\n", "file size", (long long)e.file_size / 1024,
              (long long)s.file_size / 1024);
  std::filesystem::remove(engine_path);
  std::filesystem::remove(sqlite_path);
  return 0;
}
