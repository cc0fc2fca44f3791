// Helpers of the table-level tests: records of an open disk table built and
// read by field name, and a scan of a table in storage order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "db/storage/catalog/disk_table_data.h"
#include "db/storage/records/base_record_manager.h"
#include "tests/db/storage/catalog/catalog_test_util.h"

namespace kelvorin::testing {

using MemoryRecord = std::vector<uint8_t>;

inline int32_t FieldNo(TABSTableData& table, const std::string& name) {
  const int32_t field = table.Metadata().Fields().IndexOfName(name);
  EXPECT_GE(field, 0) << name;
  return field;
}

inline MemoryRecord NewRecord(TABSTableData& table, TABSBaseSession& session, bool defaults = true) {
  MemoryRecord record(static_cast<size_t>(table.RecordFields().MemorySize()));
  table.InitRecord(session, record.data(), defaults);
  return record;
}

inline void SetValue(TABSTableData& table, MemoryRecord& record, const std::string& field, const TABSVariant& value) {
  table.FieldManager().SetFieldValue(FieldNo(table, field), value, record.data());
}
inline void SetInt(TABSTableData& table, MemoryRecord& record, const std::string& field, int64_t value) {
  TABSVariant v;
  v.SetLargeInt(value);
  SetValue(table, record, field, v);
}
inline void SetText(TABSTableData& table, MemoryRecord& record, const std::string& field, const std::string& text) {
  TABSVariant v;
  v.SetString(text);
  SetValue(table, record, field, v);
}
inline void SetNull(TABSTableData& table, MemoryRecord& record, const std::string& field) {
  SetValue(table, record, field, TABSVariant());
}
inline TABSVariant Value(TABSTableData& table, const MemoryRecord& record, const std::string& field) {
  TABSVariant value;
  table.FieldManager().GetFieldValue(FieldNo(table, field), value, record.data());
  return value;
}
// The value as text, "NULL" for NULL.
inline std::string Text(TABSTableData& table, const MemoryRecord& record, const std::string& field) {
  const TABSVariant value = Value(table, record, field);
  return value.IsNull() ? "NULL" : value.AsString();
}

struct StoredRecord {
  TABSRecordId id;
  MemoryRecord record;
};

inline std::vector<StoredRecord> Scan(TABSTableData& table, int32_t session = 0) {
  std::vector<StoredRecord> records;
  table.ForEachRecord(session, [&](TABSRecordId id, const uint8_t* record) {
    records.push_back({id, MemoryRecord(record, record + table.RecordFields().MemorySize())});
  });
  return records;
}

// A database with one open table at a time, through one cursor.
class TableTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    CreateAndOpen();
  }
  void TearDown() override {
    MemoryManager().SetMemoryLimit(0);
    CloseCursor();
    CatalogTest::TearDown();
  }

  TABSDiskTableData& OpenTable(const std::string& name) {
    CloseCursor();
    cursor_ = std::make_unique<TABSCursor>(*session_, name);
    table_ = db_->OpenTable(*cursor_);
    return *table_;
  }
  void CloseCursor() {
    if (cursor_ && table_) db_->CloseTable(*cursor_);
    cursor_.reset();
    table_ = nullptr;
  }
  void Reopen(const std::string& name) {
    CloseCursor();
    Open();
    OpenTable(name);
  }

  static void AddIndex(TABSTableMetadata& defs, const std::string& name, const std::vector<std::string>& columns,
                       bool unique, bool primary, int32_t max_indexed_size = 20) {
    auto index = std::make_unique<TABSIndexDef>();
    index->SetName(name);
    index->SetColumns(columns, std::vector<std::string>(columns.size()), std::vector<std::string>(columns.size()));
    for (TABSIndexColumn& column : index->Columns()) column.max_indexed_size = max_indexed_size;
    index->SetUnique(unique);
    index->SetPrimary(primary);
    defs.Indexes().Add(std::move(index));
  }

  // Every index lists every record of the table once, in key order, and the
  // record count agrees; returns the records (storage order).
  std::vector<StoredRecord> ExpectIndexesMatchTheRecords() {
    std::vector<StoredRecord> records = Scan(*table_);
    std::set<TABSRecordId> ids;
    for (const auto& r : records) ids.insert(r.id);
    TABSBaseIndexManager& indexes = table_->IndexManager();
    for (int32_t i = 0; i < indexes.Count(); ++i) {
      SCOPED_TRACE(indexes.Definition(i).Name());
      std::set<TABSRecordId> listed;
      MemoryRecord previous, current(static_cast<size_t>(table_->RecordFields().MemorySize()));
      TABSIndexRecordRequest request;
      request.mode = TABSGetRecordMode::kFirst;
      request.destination = current.data();
      TABSBTreeRecordIndex& index = indexes.Index(i);
      for (index.GetRecord(0, request, nullptr); request.result == TABSGetRecordResult::kFound;
           index.GetRecord(0, request, nullptr)) {
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
    EXPECT_EQ(table_->RecordCount(), static_cast<int64_t>(records.size()));
    return records;
  }

  std::unique_ptr<TABSCursor> cursor_;
  TABSDiskTableData* table_ = nullptr;
};

}  // namespace kelvorin::testing
