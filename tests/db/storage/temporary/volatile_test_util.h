// Helpers of the temporary and in-memory storage tests: record layouts
// built from field definitions, raw records told apart by a number, and a
// fixture with one session on the process's TEMP and MEMORY databases that
// leaves the budget, the memory limit and both databases as it found them.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/storage/records/record_layout.h"
#include "db/storage/temporary/memory_database_data.h"
#include "db/storage/temporary/temporary_budget.h"
#include "db/storage/temporary/temporary_database_data.h"
#include "tests/db/tables/records/table_test_util.h"

namespace kelvorin::testing {

// The layout of a table of the fields (computed as a table computes it).
struct LayoutOf {
  explicit LayoutOf(const std::vector<TABSDatasetFieldDef>& fields) {
    defs.DefineFields(fields);
    defs.ComputeLayout();
  }
  TABSRecordLayout Layout() const {
    return TABSRecordLayout(defs.Fields(), defs.MemoryRecordSize(), defs.StoredRecordSize());
  }
  TABSTableMetadata defs;
};

// A record of `size` bytes without NULLs whose bytes are made from `seed`.
inline MemoryRecord RawRecord(int32_t size, int64_t seed) {
  MemoryRecord record(static_cast<size_t>(size));
  for (size_t i = 1; i < record.size(); ++i) record[i] = static_cast<uint8_t>((seed * 131 + static_cast<int64_t>(i) * 7) >> (i % 3));
  std::memcpy(record.data() + 1, &seed, std::min<size_t>(sizeof seed, record.size() - 1));
  return record;
}

// Open file descriptors of the process.
inline int OpenFileCount() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++count;
    ::closedir(dir);
  }
  return count;
}

class VolatileTableTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    session_ = std::make_unique<TABSBaseSession>();
    MemoryDatabase().ConnectSession(*session_);
  }
  void TearDown() override {
    MemoryManager().SetMemoryLimit(0);
    TemporaryBudget().SetLimit(0);
    for (auto& cursor : cursors_) CloseCursor(*cursor);
    cursors_.clear();
    for (const std::string& name : memory_tables_) {
      if (MemoryDatabase().FindTable(name) != nullptr) MemoryDatabase().DeleteTable(name);
    }
    MemoryDatabase().DisconnectSession(*session_);
    session_.reset();
    CatalogTest::TearDown();
  }

  int32_t Session() const { return session_->SessionNumber(); }

  TABSTemporaryTableData& CreateTemporary(const std::string& name, const std::vector<TABSDatasetFieldDef>& fields,
                                          const std::vector<std::string>& index_columns = {}) {
    const auto defs = Definitions(fields, index_columns);
    cursors_.push_back(std::make_unique<TABSCursor>(*session_, name));
    return *TemporaryDatabase().CreateTable(*cursors_.back(), defs->Fields(), defs->Indexes(), defs->Constraints());
  }
  TABSMemoryTableData& CreateMemory(const std::string& name, const std::vector<TABSDatasetFieldDef>& fields,
                                    const std::vector<std::string>& index_columns = {}) {
    const auto defs = Definitions(fields, index_columns);
    MemoryDatabase().CreateTable(name, defs->Fields(), defs->Indexes(), defs->Constraints());
    memory_tables_.push_back(name);
    cursors_.push_back(std::make_unique<TABSCursor>(*session_, name));
    return static_cast<TABSMemoryTableData&>(*MemoryDatabase().OpenTable(*cursors_.back()));
  }
  TABSCursor& CursorOf(const TABSTableData& table) {
    for (auto& cursor : cursors_) {
      if (cursor->Table() == &table) return *cursor;
    }
    ADD_FAILURE() << "no cursor on " << table.Name();
    return *cursors_.front();
  }
  static void CloseCursor(TABSCursor& cursor) {
    if (cursor.Table() == nullptr) return;
    if (cursor.Table()->Database().Name() == TABSTemporaryDatabaseData::kName) {
      TemporaryDatabase().CloseTable(cursor);
    } else {
      MemoryDatabase().CloseTable(cursor);
    }
  }

  std::unique_ptr<TABSBaseSession> session_;
  std::vector<std::unique_ptr<TABSCursor>> cursors_;
  std::vector<std::string> memory_tables_;
};

// Every index of the table lists every record once, in key order.
inline void ExpectIndexesListTheRecords(TABSTableData& table, int32_t session) {
  std::set<TABSRecordId> ids;
  for (const auto& r : Scan(table, session)) ids.insert(r.id);
  TABSBaseIndexManager& indexes = table.IndexManager();
  for (int32_t i = 0; i < indexes.Count(); ++i) {
    SCOPED_TRACE(indexes.Definition(i).Name());
    if (indexes.Definition(i).Temporary() && indexes.Definition(i).RootPage() < 0) continue;
    std::set<TABSRecordId> listed;
    MemoryRecord previous, current(static_cast<size_t>(table.RecordFields().MemorySize()));
    TABSIndexRecordRequest request;
    request.mode = TABSGetRecordMode::kFirst;
    request.destination = current.data();
    TABSBTreeRecordIndex& index = indexes.Index(i);
    const int32_t index_session = indexes.Definition(i).Temporary() ? 0 : session;
    for (index.GetRecord(index_session, request, nullptr); request.result == TABSGetRecordResult::kFound;
         index.GetRecord(index_session, request, nullptr)) {
      EXPECT_TRUE(listed.insert(request.found_id).second);
      if (!previous.empty()) {
        EXPECT_LE(index.CompareRecords(previous.data(), current.data(), index.KeyLayout().ColumnCount()), 0);
      }
      previous = current;
      request.mode = TABSGetRecordMode::kNext;
      request.current_id = request.found_id;
      request.current_record = previous.data();
    }
    EXPECT_EQ(listed, ids);
  }
}

}  // namespace kelvorin::testing
