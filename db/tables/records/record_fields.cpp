#include "db/tables/records/record_fields.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kelvorin {

TABSRecordFields::TABSRecordFields(const TABSFieldDefs& fields) {
  const int32_t count = fields.Count();
  bitmap_size_ = (count + 7) / 8;
  memory_size_ = bitmap_size_;
  fields_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const TABSFieldDef& def = *fields.Items(i);
    fields_.push_back({def.MemoryOffset(), def.MemorySize(), def.StoredSize(), def.StorageType(), def.ColumnType()});
    if (IsBlobStorage(def.StorageType())) blob_fields_.push_back(i);
    memory_size_ = static_cast<int32_t>(std::min<int64_t>(int64_t{def.MemoryOffset()} + def.MemorySize(), INT32_MAX));
  }
}

void TABSRecordFields::InitRecord(uint8_t* record) const {
  std::memset(record, 0xFF, static_cast<size_t>(bitmap_size_));
  std::memset(record + bitmap_size_, 0, static_cast<size_t>(memory_size_ - bitmap_size_));
}

bool TABSRecordFields::SameStoredForm(const uint8_t* a, const uint8_t* b) const {
  if (std::memcmp(a, b, static_cast<size_t>(bitmap_size_)) != 0) return false;
  for (int32_t i = 0; i < FieldCount(); ++i) {
    if (IsNull(a, i)) continue;
    const TABSFieldSlot& field = fields_[static_cast<size_t>(i)];
    if (std::memcmp(a + field.memory_offset, b + field.memory_offset, static_cast<size_t>(field.stored_size)) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace kelvorin
