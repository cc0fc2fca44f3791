#include "db/tables/btree/record_key.h"

#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/btree_errors.h"
#include "db/tables/btree/btree_page.h"
#include "db/tables/values/value_compare.h"

namespace kelvorin {

namespace {

bool IsOrderedType(TABSStorageType type) {
  return type != TABSStorageType::None && !IsBlobStorage(type) && type != TABSStorageType::Bytes &&
         type != TABSStorageType::VarBytes;
}

}  // namespace

TABSRecordKeyRef::TABSRecordKeyRef(const TABSIndexDef& index, const TABSFieldDefs& fields,
                                   int32_t page_data_size) {
  if (index.Columns().empty()) throw EABSException(native::kIndexNoColumns, {index.Name()});
  int64_t record_size = (fields.Count() + 7) / 8;
  for (int32_t i = 0; i < fields.Count(); ++i) record_size += fields.Items(i)->MemorySize();
  memory_record_size_ = static_cast<int32_t>(record_size);

  int64_t short_size = 0;
  int64_t full_size = 0;
  for (const TABSIndexColumn& definition : index.Columns()) {
    const int32_t field_no = fields.IndexOfName(definition.field_name);
    if (field_no < 0) throw EABSException(native::kIndexFieldNotFound, {definition.field_name});
    const TABSFieldDef& field = *fields.Items(field_no);
    TABSKeyColumn column;
    column.field_no = field_no;
    column.memory_offset = field.MemoryOffset();
    column.memory_size = field.MemorySize();
    column.type = field.StorageType();
    column.descending = definition.descending;
    column.case_insensitive = definition.case_insensitive;
    column.wide = IsWideStringStorage(column.type);
    if (!IsOrderedType(column.type) || column.memory_size <= 0 || column.memory_offset < 0 ||
        int64_t{column.memory_offset} + column.memory_size > record_size) {
      throw EABSException(native::kIndexColumnType, {field.Name(), StorageTypeName(column.type)});
    }
    // Only strings are cut; keeping the low bytes of a number would scramble
    // its order, and half a wide character would compare as garbage.
    const int32_t max_size = definition.max_indexed_size;
    const bool string = IsStringStorage(column.type);
    const bool cut = max_size < column.memory_size;
    if (max_size <= 0 || (cut && (!string || (column.wide && max_size % 2 != 0)))) {
      throw EABSException(native::kIndexColumnSize, {max_size, field.Name(), index.Name()});
    }
    column.cut = cut;
    column.cut_size = cut ? max_size : 0;
    column.short_offset = static_cast<int32_t>(short_size);
    column.short_size = cut ? max_size + 2 : column.memory_size;
    has_cut_columns_ = has_cut_columns_ || cut;
    short_size += 1 + int64_t{column.short_size};
    full_size += 1 + int64_t{column.memory_size};
    if (short_size > kMaxKeySize) {
      throw EABSException(native::kIndexKeyTooLarge, {index.Name(), short_size, kMaxKeySize});
    }
    columns_.push_back(column);
  }
  const int64_t leaf_pages = btree_header::kSize + 2 * (short_size + kLeafPayloadSize);
  const int64_t inner_pages = btree_header::kSize + 3 * (short_size + kChildPayloadSize);
  if (leaf_pages > page_data_size || inner_pages > page_data_size) {
    throw EABSException(native::kIndexPageTooSmall, {index.Name(), short_size, page_data_size});
  }
  short_key_size_ = static_cast<int32_t>(short_size);
  full_key_size_ = static_cast<int32_t>(full_size);
}

bool TABSRecordKeyRef::IsNull(const uint8_t* record, const TABSKeyColumn& column) const {
  return (record[column.field_no / 8] >> (column.field_no % 8)) & 1;
}

bool TABSRecordKeyRef::AllColumnsNull(const uint8_t* record) const {
  for (const TABSKeyColumn& column : columns_) {
    if (!IsNull(record, column)) return false;
  }
  return true;
}

void TABSRecordKeyRef::BuildShortKey(const uint8_t* record, uint8_t* key) const {
  std::memset(key, 0, static_cast<size_t>(short_key_size_));
  for (const TABSKeyColumn& column : columns_) {
    uint8_t* slot = key + column.short_offset;
    if (IsNull(record, column)) {
      slot[0] = 1;
      continue;
    }
    std::memcpy(slot + 1, record + column.memory_offset,
                static_cast<size_t>(column.cut ? column.cut_size : column.memory_size));
  }
}

bool TABSRecordKeyRef::IsCutValue(const uint8_t* key, int32_t c) const {
  const TABSKeyColumn& column = columns_[static_cast<size_t>(c)];
  const uint8_t* slot = key + column.short_offset;
  if (!column.cut || slot[0] != 0) return false;
  const uint8_t* value = slot + 1;
  if (!column.wide) return std::memchr(value, 0, static_cast<size_t>(column.cut_size)) == nullptr;
  for (int32_t i = 0; i + 1 < column.cut_size; i += 2) {
    if (value[i] == 0 && value[i + 1] == 0) return false;
  }
  return true;
}

bool TABSRecordKeyRef::HoldsCutValue(const uint8_t* key) const {
  for (int32_t c = 0; c < ColumnCount(); ++c) {
    if (IsCutValue(key, c)) return true;
  }
  return false;
}

void TABSRecordKeyRef::RecordFromKey(const uint8_t* key, uint8_t* record) const {
  std::memset(record, 0, static_cast<size_t>(memory_record_size_));
  for (const TABSKeyColumn& column : columns_) {
    const uint8_t* slot = key + column.short_offset;
    if (slot[0] != 0) {
      record[column.field_no / 8] |= static_cast<uint8_t>(1u << (column.field_no % 8));
    } else {
      std::memcpy(record + column.memory_offset, slot + 1,
                  static_cast<size_t>(column.cut ? column.cut_size : column.memory_size));
    }
  }
}

int TABSRecordKeyRef::CompareShortKeys(const uint8_t* a, const uint8_t* b, int32_t columns) const {
  for (int32_t c = 0; c < columns; ++c) {
    const TABSKeyColumn& column = columns_[static_cast<size_t>(c)];
    const uint8_t* slot_a = a + column.short_offset;
    const uint8_t* slot_b = b + column.short_offset;
    const bool null_a = slot_a[0] != 0;
    const bool null_b = slot_b[0] != 0;
    if (!null_a && !null_b && column.cut && (IsCutValue(a, c) || IsCutValue(b, c))) {
      return TABSBTreeProbe::kUndecided;
    }
    int r = CompareValuesSigned(slot_a + 1, slot_b + 1, column.type, column.type, null_a, null_b,
                                column.case_insensitive, -1, column.short_size, column.short_size);
    if (column.descending) r = -r;
    if (r != 0) return r;
  }
  return 0;
}

int TABSRecordKeyRef::CompareRecords(const uint8_t* a, const uint8_t* b, int32_t columns) const {
  for (int32_t c = 0; c < columns; ++c) {
    const TABSKeyColumn& column = columns_[static_cast<size_t>(c)];
    int r = CompareValuesSigned(a + column.memory_offset, b + column.memory_offset, column.type, column.type,
                                IsNull(a, column), IsNull(b, column), column.case_insensitive, -1,
                                column.memory_size, column.memory_size);
    if (column.descending) r = -r;
    if (r != 0) return r;
  }
  return 0;
}

}  // namespace kelvorin
