// Fuzz target: opens damaged small database files as the catalogue does
// (directory, sessions file, table list, every table's files and trees),
// walks every table's records reading their BLOB values, deletes, inserts
// and updates records with values, makes catalogue changes, then reads
// every page, makes one page change and commits it, and runs the integrity
// checker. Only engine errors may come out; any crash, hang or sanitizer
// finding is a bug.
//
// Input: a mode byte, then either a whole file (mode 0) or patches of three
// bytes (16-bit offset, value) over a valid file: pages only, plain (1) or
// encrypted (2), or a database holding tables, indexes, records and BLOB
// values (3), so that even a simple mutator reaches the code behind the
// header checks.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/catalog/catalog_check.h"
#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/database_file.h"
#include "db/storage/pages/disk_page_manager.h"
#include "db/storage/pages/integrity_check.h"
#include "db/storage/streams/memory_stream.h"
#include "db/tables/metadata/table_metadata.h"

namespace {

using namespace kelvorin;

// Files beyond this many pages are legal but slow to walk.
constexpr int32_t kMaxPages = 512;

std::string ScratchPath() {
  const std::filesystem::path base =
      std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  return (base / ("kelvorin-fuzz-" + std::to_string(::getpid()))).string();
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> MakePagesBase(const std::string& path, const TABSPassword& password) {
  {
    TABSDiskPageManager m;
    m.Random().Seed(1);
    m.CreateDatabaseFile(path, password, 2, 256);
    int32_t previous = -1;
    for (int i = 0; i < 8; ++i) {
      TABSPage* page = m.AddPage(1, i % 2 ? ptTableRecord : ptTableBlob);
      std::memset(page->Data(), i, page->DataSize());
      page->SetNextPage(previous);
      previous = page->PageNo();
      m.PutPage(page);
    }
    m.CommitSession(1);
    m.RemovePage(1, 4);
    m.CommitSession(1);
  }
  return ReadAll(path);
}

TABSDatasetFieldDef Field(const char* name, TABSColumnType type, int32_t size = 0) {
  TABSDatasetFieldDef field;
  field.name = name;
  field.type = type;
  field.size = size;
  return field;
}

void CreateTable(TABSDiskDatabaseData& db, const char* name, const std::vector<TABSDatasetFieldDef>& fields,
                 const char* index_field) {
  TABSTableMetadata metadata;
  metadata.DefineFields(fields);
  if (index_field != nullptr) {
    auto index = std::make_unique<TABSIndexDef>();
    index->SetName(std::string("I_") + index_field);
    index->SetColumns({index_field}, {""}, {""});
    index->SetPrimary(true);
    index->SetUnique(true);
    metadata.Indexes().Add(std::move(index));
    metadata.DeriveIndexConstraints();
  }
  db.CreateTable(name, metadata.Fields(), metadata.Indexes(), metadata.Constraints());
}

// A record of the table whose BLOB fields hold `blob_size` bytes each.
void InsertRecord(TABSDiskTableData& table, int32_t session, int32_t key, int64_t blob_size) {
  TABSDiskRecordManager& records = table.DiskRecordManager();
  TABSBlobManager& blobs = *table.BlobManager();
  std::vector<uint8_t> record(static_cast<size_t>(records.Layout().MemorySize()), 0);
  for (int32_t i = 0; i < table.Metadata().Fields().Count(); ++i) {
    const TABSFieldDef& field = *table.Metadata().Fields().Items(i);
    if (field.StorageType() == TABSStorageType::Integer) StoreLE(record.data() + field.MemoryOffset(), key);
  }
  const std::vector<uint8_t> value(static_cast<size_t>(blob_size), static_cast<uint8_t>(key));
  for (const TABSBlobFieldSlot& slot : records.Layout().BlobFields()) {
    blobs.WriteValue(record.data(), slot.field_no, value.data(), blob_size);
  }
  const TABSBlobStore store = blobs.StoreBlobs(session, record.data(), true);
  TABSRecordId id;
  if (!records.Insert(session, record.data(), id)) {
    blobs.DeleteNewValues(session, store);
    blobs.ReleaseDescriptors(record.data());
    throw EABSException(99998, "insert failed");
  }
  blobs.ReleaseStored(record.data(), store);
  blobs.ReleaseDescriptors(record.data());
}

void InsertRecords(TABSDiskDatabaseData& db, TABSBaseSession& session, const char* table_name,
                   const std::vector<int64_t>& blob_sizes) {
  TABSCursor cursor(session, table_name);
  TABSDiskTableData& table = *db.OpenTable(cursor);
  for (size_t i = 0; i < blob_sizes.size(); ++i) InsertRecord(table, 0, static_cast<int32_t>(i), blob_sizes[i]);
  table.WriteState(0);
  db.CommitTransaction(0, false);
  db.CloseTable(cursor);
}

// A database with tables, an index on some, records, and small and large
// BLOB values.
std::vector<uint8_t> MakeCatalogueBase(const std::string& path) {
  TABSDatabaseFileSettings settings;
  settings.page_size = 256;
  settings.pages_per_extent = 2;
  settings.max_connections = 8;
  TABSDiskDatabaseData::CreateDatabase(path, {}, settings);
  {
    TABSDiskDatabaseData db(path, {});
    TABSBaseSession session;
    const TABSSessionConnection connection(db, session);
    using C = TABSColumnType;
    CreateTable(db, "hraci", {Field("Jmeno", C::String, 20), Field("Rating", C::Integer), Field("id", C::AutoInc)},
                "id");
    CreateTable(db, "param", {Field("Kolo", C::Integer)}, nullptr);
    CreateTable(db, "obrazky", {Field("id", C::Integer), Field("foto", C::Blob)}, "id");
    // Records only where no index must list them.
    CreateTable(db, "prilohy", {Field("id", C::Integer), Field("foto", C::Blob), Field("popis", C::Memo)}, nullptr);
    InsertRecords(db, session, "param", std::vector<int64_t>(12, 0));
    InsertRecords(db, session, "prilohy", {0, 1, 40, 191, 192, 600, 30});
  }
  return ReadAll(path);
}

void ExercisePages(const std::string& path, const TABSPassword& password) {
  TABSDiskPageManager m;
  bool multi_user = false;
  bool read_only = false;
  m.OpenDatabaseFile(path, password, multi_user, false, read_only);
  const int32_t total = m.Header().total_page_count;
  if (total > kMaxPages) return;
  for (int32_t no = 0; no < total; ++no) {
    try {
      TABSPage* page = m.GetPage(1, no, kAnyPageType);
      m.PutPage(page);
    } catch (const EABSException&) {
    }
  }
  try {
    TABSPage* page = m.AddPage(2, ptTableRecord);
    page->Data()[0] = 1;
    m.PutPage(page);
    if (total > 3) m.RemovePage(2, 3);
    m.CommitSession(2);
  } catch (const EABSException&) {
    m.RollbackSession(2);
  }
  m.Close();
}

template <typename F>
void Try(F&& f) {
  try {
    f();
  } catch (const EABSException&) {
  }
}

// Walks the table's records reading their values, then (in a table without
// indexes) deletes the first record, inserts one and replaces the last
// one's values, and commits.
void ExerciseRecords(TABSDiskDatabaseData& db, TABSBaseSession& session, const std::string& name) {
  TABSCursor cursor(session, name);
  TABSDiskTableData& table = *db.OpenTable(cursor);
  struct CloseAfter {
    TABSDiskDatabaseData& db;
    TABSCursor& cursor;
    ~CloseAfter() { db.CloseTable(cursor); }
  } close_after{db, cursor};
  TABSDiskRecordManager& records = table.DiskRecordManager();
  TABSBlobManager& blobs = *table.BlobManager();
  std::vector<uint8_t> record(static_cast<size_t>(records.Layout().MemorySize()));
  TABSNavigateRequest request;
  request.go_to_first = true;
  request.record = record.data();
  TABSRecordId first, last;
  for (int steps = 0; steps < 2 * kMaxPages; ++steps) {
    records.Navigate(0, request);
    if (request.status != TABSNavigateStatus::kFound) break;
    if (steps == 0) first = request.record_id;
    last = request.record_id;
    for (const TABSBlobFieldSlot& slot : records.Layout().BlobFields()) {
      Try([&] {
        TABSMemoryStream value;
        blobs.ReadValue(0, record.data(), slot.field_no, value);
      });
    }
  }
  // Changes keep indexes as they are: only a table without one is changed.
  if (table.Metadata().Indexes().Count() > 0) return;
  try {
    if (first.IsValid() && records.ReadRecord(0, first, record.data()) && records.Delete(0, first)) {
      blobs.DeleteRecordBlobs(0, record.data());
    }
    InsertRecord(table, 0, 77, 300);
    if (last.IsValid() && last != first && records.ReadRecord(0, last, record.data())) {
      for (const TABSBlobFieldSlot& slot : records.Layout().BlobFields()) {
        blobs.WriteValue(record.data(), slot.field_no, "value", 5);
      }
      const TABSBlobStore store = blobs.StoreBlobs(0, record.data(), false);
      if (records.Update(0, record.data(), last)) {
        blobs.DeleteReplacedValues(0, store);
      } else {
        blobs.DeleteNewValues(0, store);
      }
      blobs.ReleaseDescriptors(record.data());
    }
    table.WriteState(0);
    db.CommitTransaction(0, false);
  } catch (const EABSException&) {
    blobs.ReleaseDescriptors(record.data());
    db.RollbackTransaction(0);
  }
}

void ExerciseCatalogue(const std::string& path, const TABSPassword& password) {
  {
    TABSDiskPageManager m;
    bool multi_user = false;
    bool read_only = true;
    m.OpenDatabaseFile(path, password, multi_user, false, read_only);
    if (m.Header().total_page_count > kMaxPages) return;
  }
  TABSDiskDatabaseData db(path, password);
  TABSBaseSession session;
  const TABSSessionConnection connection(db, session);
  const TABSTableList list = db.TableList();
  for (const TABSTableListEntry& entry : list) Try([&] { ExerciseRecords(db, session, entry.name); });
  if (list.empty()) return;
  Try([&] {
    TABSCursor cursor(session, list.front().name);
    db.EmptyTable(cursor);
  });
  Try([&] { db.RenameTable(session, list.front().name, "renamed"); });
  Try([&] { CreateTable(db, "fuzz", {Field("a", TABSColumnType::Integer)}, "a"); });
  Try([&] { db.DeleteTable(session, list.back().name); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath();
  static bool configured = [] {
    LockRetryPolicy().tries = 1;
    return true;
  }();
  (void)configured;
  static const std::vector<uint8_t> plain = MakePagesBase(path, {});
  static const std::vector<uint8_t> encrypted = MakePagesBase(path, {"pw", ciRijndael128});
  static const std::vector<uint8_t> catalogue = MakeCatalogueBase(path);
  if (size == 0) return 0;
  std::vector<uint8_t> file;
  const uint8_t mode = data[0] % 4;
  if (mode == 0) {
    file.assign(data + 1, data + size);
  } else {
    file = mode == 1 ? plain : mode == 2 ? encrypted : catalogue;
    for (size_t i = 1; i + 3 <= size; i += 3) {
      const size_t offset = (data[i] | (data[i + 1] << 8)) % file.size();
      file[offset] = data[i + 2];
    }
  }
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  std::filesystem::remove(path + "-journal");
  Try([&] { CheckDatabaseCatalogue(path, {"pw"}); });
  Try([&] { ExerciseCatalogue(path, {"pw"}); });
  Try([&] { ExercisePages(path, {"pw"}); });
  Try([&] { CheckDatabaseCatalogue(path, {"pw"}); });
  return 0;
}
