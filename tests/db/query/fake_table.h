// A fake cursor for the expression tests and fuzz targets: field
// definitions over one memory record, written value by value.
#pragma once

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/query/expressions/expr_sources.h"
#include "db/tables/metadata/meta_object_defs.h"
#include "db/tables/values/abs_variant.h"

namespace kelvorin::testing {

// A cursor of fields with one current record.
class FakeTable : public TABSExprFieldSource {
 public:
  struct Column {
    std::string name;
    TABSColumnType type;
    int32_t size = 0;
  };
  explicit FakeTable(const std::vector<Column>& columns) {
    for (const Column& column : columns) {
      auto* def = static_cast<TABSFieldDef*>(defs_.AddNew());
      def->SetName(column.name);
      def->SetType(column.type, column.size);
    }
    int32_t stored = 0;
    defs_.ComputeLayout(&record_size_, &stored);
    record_.assign(static_cast<size_t>(record_size_), 0);
    ClearRecord();
  }
  // The seating table of the tournament, as filters see it.
  static std::unique_ptr<FakeTable> Seating() {
    return std::make_unique<FakeTable>(std::vector<Column>{{"Kolo", TABSColumnType::Integer},
                                                           {"Jmeno", TABSColumnType::String, 20},
                                                           {"Body", TABSColumnType::SmallInt},
                                                           {"Hodnota", TABSColumnType::Float},
                                                           {"Malo", TABSColumnType::ShortInt},
                                                           {"Slovo", TABSColumnType::Word},
                                                           {"Siroky", TABSColumnType::WideString, 10}});
  }

  const TABSFieldDefs& FieldDefs() const override { return defs_; }
  const uint8_t* CurrentRecord() const override { return record_.data(); }
  uint8_t* Record() { return record_.data(); }
  int32_t RecordSize() const { return record_size_; }

  void ClearRecord() {
    std::fill(record_.begin(), record_.end(), 0);
    const int32_t bitmap = (defs_.Count() + 7) / 8;
    std::fill(record_.begin(), record_.begin() + bitmap, 0xFF);
  }
  // Writes a value (converted to the field's type) or NULL into the record.
  void Set(std::string_view name, const TABSVariant& value) {
    const int32_t i = defs_.IndexOfName(name);
    if (i < 0) throw std::invalid_argument("no field " + std::string(name));
    const TABSFieldDef* def = defs_.Items(i);
    uint8_t& bits = record_[static_cast<size_t>(i / 8)];
    TABSVariant copy = value;
    if (!copy.IsNull()) copy.ConvertTo(def->StorageType());
    uint8_t* slot = record_.data() + def->MemoryOffset();
    std::memset(slot, 0, static_cast<size_t>(def->MemorySize()));
    if (copy.IsNull() || !copy.GetRaw(slot, def->MemorySize())) {
      bits = static_cast<uint8_t>(bits | (1u << (i % 8)));
      return;
    }
    bits = static_cast<uint8_t>(bits & ~(1u << (i % 8)));
  }
  void SetNull(std::string_view name) { Set(name, TABSVariant()); }

 private:
  TABSFieldDefs defs_;
  std::vector<uint8_t> record_;
  int32_t record_size_ = 0;
};

}  // namespace kelvorin::testing
