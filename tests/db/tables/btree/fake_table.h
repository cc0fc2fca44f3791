// An in-memory table for the record index tests and benchmarks: field
// definitions with their record layout, memory records kept in a map by
// record identifier (the record reader the index settles cut keys with),
// a snapshot for rollbacks, and a cursor over it.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db/tables/btree/index_cursor.h"
#include "db/tables/metadata/index_def.h"
#include "db/tables/metadata/meta_object_defs.h"

namespace kelvorin::testing {

using Record = std::vector<uint8_t>;

struct FakeColumn {
  std::string name;
  TABSColumnType type;
  int32_t size = 0;
};

class FakeTable : public TABSIndexRecordReader {
 public:
  explicit FakeTable(const std::vector<FakeColumn>& columns) {
    for (const FakeColumn& column : columns) {
      auto field = std::make_unique<TABSFieldDef>();
      field->SetName(column.name);
      field->SetType(column.type, column.size);
      fields_.Add(std::move(field));
    }
    int32_t stored = 0;
    fields_.ComputeLayout(&record_size_, &stored);
  }

  const TABSFieldDefs& Fields() const { return fields_; }
  int32_t RecordSize() const { return record_size_; }

  // A record with every field NULL.
  Record NewRecord() const {
    Record record(static_cast<size_t>(record_size_), 0);
    for (int32_t i = 0; i < fields_.Count(); ++i) SetNull(record, i);
    return record;
  }
  void SetNull(Record& record, int32_t field) const {
    record[field / 8] |= static_cast<uint8_t>(1u << (field % 8));
    std::memset(Slot(record, field), 0, static_cast<size_t>(fields_.Items(field)->MemorySize()));
  }
  bool IsNull(const Record& record, int32_t field) const { return (record[field / 8] >> (field % 8)) & 1; }
  // 8-bit text (Windows-1250), cut to the field's size.
  void SetString(Record& record, int32_t field, std::string_view text) const {
    const int32_t size = fields_.Items(field)->MemorySize();
    std::memset(Slot(record, field), 0, static_cast<size_t>(size));
    std::memcpy(Slot(record, field), text.data(), std::min<size_t>(text.size(), static_cast<size_t>(size - 1)));
    record[field / 8] &= static_cast<uint8_t>(~(1u << (field % 8)));
  }
  void SetInteger(Record& record, int32_t field, int32_t value) const {
    std::memcpy(Slot(record, field), &value, sizeof value);
    record[field / 8] &= static_cast<uint8_t>(~(1u << (field % 8)));
  }
  std::string GetString(const Record& record, int32_t field) const {
    return std::string(reinterpret_cast<const char*>(Slot(record, field)));
  }
  int32_t GetInteger(const Record& record, int32_t field) const {
    int32_t value;
    std::memcpy(&value, Slot(record, field), sizeof value);
    return value;
  }

  // The stored records. A frozen table (no more changes) reads faster.
  TABSRecordId Add(const Record& record) {
    const TABSRecordId id{next_number_ / kSlots, static_cast<uint16_t>(next_number_ % kSlots)};
    ++next_number_;
    records_[id] = record;
    return id;
  }
  void Remove(TABSRecordId id) { records_.erase(id); }
  void Replace(TABSRecordId id, const Record& record) { records_.at(id) = record; }
  // Reads go through a vector by number: the index reads records often.
  void Freeze() {
    by_number_.assign(static_cast<size_t>(next_number_), nullptr);
    for (const auto& [id, record] : records_) by_number_[static_cast<size_t>(id.page_no * kSlots + id.slot)] = &record;
  }
  const std::map<TABSRecordId, Record>& Records() const { return records_; }
  void Clear() {
    records_.clear();
    committed_.clear();
  }
  void Snapshot() { committed_ = records_; }
  void Restore() { records_ = committed_; }

  bool ReadRecord(int32_t, TABSRecordId id, uint8_t* record) override {
    ++reads;
    if (!by_number_.empty()) {
      const int64_t number = int64_t{id.page_no} * kSlots + id.slot;
      const testing::Record* found = number >= 0 && number < static_cast<int64_t>(by_number_.size())
                                         ? by_number_[static_cast<size_t>(number)]
                                         : nullptr;
      if (found == nullptr) return false;
      std::memcpy(record, found->data(), found->size());
      return true;
    }
    auto it = records_.find(id);
    if (it == records_.end()) return false;
    std::memcpy(record, it->second.data(), it->second.size());
    return true;
  }

  int64_t reads = 0;

 private:
  uint8_t* Slot(Record& record, int32_t field) const {
    return record.data() + fields_.Items(field)->MemoryOffset();
  }
  const uint8_t* Slot(const Record& record, int32_t field) const {
    return record.data() + fields_.Items(field)->MemoryOffset();
  }

  static constexpr int32_t kSlots = 5;

  TABSFieldDefs fields_;
  int32_t record_size_ = 0;
  std::vector<const testing::Record*> by_number_;  // once frozen
  int32_t next_number_ = 0;
  std::map<TABSRecordId, Record> records_;
  std::map<TABSRecordId, Record> committed_;
};

class FakeCursor : public TABSIndexCursor {
 public:
  FakeCursor(FakeTable& table, int32_t session) : table_(table), session_(session) {}

  void Set(const testing::Record* record, TABSRecordId id, const testing::Record* before = nullptr) {
    record_ = record;
    id_ = id;
    before_ = before;
  }

  int32_t SessionId() const override { return session_; }
  const uint8_t* Record() const override { return record_->data(); }
  TABSRecordId RecordId() const override { return id_; }
  const uint8_t* BeforeImage() const override { return before_->data(); }
  void ForEachRecord(const std::function<void(TABSRecordId, const uint8_t*)>& visit) override {
    for (const auto& [id, record] : table_.Records()) visit(id, record.data());
  }

 private:
  FakeTable& table_;
  int32_t session_;
  const testing::Record* record_ = nullptr;
  const testing::Record* before_ = nullptr;
  TABSRecordId id_;
};

// A filter bitmap of the record identifiers in a set.
class SetFilter : public TABSFilterBitmap {
 public:
  bool IsSet(TABSRecordId id) const override { return ids.count(id) != 0; }
  void Clear(TABSRecordId id) override { ids.erase(id); }
  std::set<TABSRecordId> ids;
};

struct FakeIndexColumn {
  std::string field;
  bool descending = false;
  bool case_insensitive = false;
  int32_t max_indexed_size = TABSIndexColumn::kDefaultMaxIndexedSize;
};

inline std::unique_ptr<TABSIndexDef> MakeIndexDef(std::string_view name, int32_t object_id,
                                                 const std::vector<FakeIndexColumn>& columns,
                                                 bool unique = false, bool primary = false) {
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName(name);
  index->SetObjectId(object_id);
  for (const FakeIndexColumn& column : columns) {
    index->Columns().push_back({column.field, column.descending, column.case_insensitive, column.max_indexed_size});
  }
  index->SetUnique(unique);
  index->SetPrimary(primary);
  return index;
}

}  // namespace kelvorin::testing
