// Shared helpers of the table data tests: field definitions of a table with
// their layout computed, and memory records over them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/tables/metadata/table_metadata.h"
#include "db/tables/records/field_manager.h"

namespace kelvorin::testing {

inline TABSDatasetFieldDef FieldOf(std::string name, TABSColumnType type, int32_t size = 0) {
  TABSDatasetFieldDef field;
  field.name = std::move(name);
  field.type = type;
  field.size = size;
  return field;
}

// Field definitions with their layout, a field manager over them and a
// memory record.
struct FieldsFixture {
  explicit FieldsFixture(const std::vector<TABSDatasetFieldDef>& definitions) {
    metadata.DefineFields(definitions);
    for (int32_t i = 0; i < metadata.Fields().Count(); ++i) metadata.Fields().Items(i)->SetObjectId(100 + i);
    metadata.ComputeLayout();
    values.assign(static_cast<size_t>(metadata.Fields().Count()), 0);
    for (int32_t i = 0; i < metadata.Fields().Count(); ++i) {
      values[static_cast<size_t>(i)] = metadata.Fields().Items(i)->AutoIncInitialValue();
    }
    manager = std::make_unique<TABSBaseFieldManager>(metadata.Fields(), values);
    record.assign(static_cast<size_t>(metadata.MemoryRecordSize()), 0);
    manager->RecordFields().InitRecord(record.data());
  }
  const TABSRecordFields& Fields() const { return manager->RecordFields(); }

  TABSTableMetadata metadata;
  std::vector<int64_t> values;
  std::unique_ptr<TABSBaseFieldManager> manager;
  std::vector<uint8_t> record;
};

}  // namespace kelvorin::testing
