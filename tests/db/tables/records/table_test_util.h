// Helpers of the table-level tests: records of an open disk table built and
// read by field name, and a scan of a table in storage order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
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

}  // namespace kelvorin::testing
