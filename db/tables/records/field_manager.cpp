#include "db/tables/records/field_manager.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/little_endian.h"

namespace kelvorin {
namespace {

struct ValueRange {
  int64_t low;
  int64_t high;
};

// The values an auto-increment field's storage type can hold.
ValueRange RangeOf(TABSStorageType type) {
  using S = TABSStorageType;
  switch (type) {
    case S::ShortInt:
      return {INT8_MIN, INT8_MAX};
    case S::SmallInt:
      return {INT16_MIN, INT16_MAX};
    case S::Integer:
      return {INT32_MIN, INT32_MAX};
    case S::Byte:
      return {0, UINT8_MAX};
    case S::Word:
      return {0, UINT16_MAX};
    case S::Cardinal:
      return {0, UINT32_MAX};
    default:
      return {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
  }
}

bool IsSignedStorage(TABSStorageType type) {
  return type == TABSStorageType::ShortInt || type == TABSStorageType::SmallInt ||
         type == TABSStorageType::Integer || type == TABSStorageType::LargeInt;
}

// The value an auto-increment field holds, sign-extended for signed types.
int64_t ReadAutoIncValue(const uint8_t* slot, int32_t size, TABSStorageType type) {
  uint8_t bytes[8] = {};
  const int32_t used = std::min(size, 8);
  std::memcpy(bytes, slot, static_cast<size_t>(used));
  if (IsSignedStorage(type) && used < 8 && (bytes[used - 1] & 0x80)) {
    std::memset(bytes + used, 0xFF, static_cast<size_t>(8 - used));
  }
  return LoadLE<int64_t>(bytes);
}

int64_t Increment(const TABSFieldDef& field) {
  return field.AutoIncIncrement() != 0 ? field.AutoIncIncrement() : 1;
}

}  // namespace

TABSBaseFieldManager::TABSBaseFieldManager(const TABSFieldDefs& fields, std::vector<int64_t>& autoinc_values)
    : fields_(fields), autoinc_values_(autoinc_values), record_fields_(fields) {}

const TABSFieldDef& TABSBaseFieldManager::AutoIncField(int32_t field) const {
  if (field < 0 || field >= fields_.Count()) throw EABSException(native::kAutoIncFieldNotFound, {field});
  if (static_cast<size_t>(field) >= autoinc_values_.size()) {
    throw EABSException(native::kAutoIncValueNotFound, {field});
  }
  return *fields_.Items(field);
}

int64_t TABSBaseFieldManager::NextAutoIncValue(int32_t field_no) {
  const TABSFieldDef& field = AutoIncField(field_no);
  const int64_t increment = Increment(field);
  const ValueRange type = RangeOf(field.StorageType());
  const int64_t high = field.AutoIncMaximum() != 0 ? std::min(field.AutoIncMaximum(), type.high) : type.high;
  int64_t next = 0;
  const bool overflow = __builtin_add_overflow(autoinc_values_[field_no], increment, &next);
  if (overflow || next > high || next < type.low) {
    if (!field.AutoIncCycle() || high < type.low) {
      throw EABSException(native::kAutoIncMaxExceeded, {field.Name()});
    }
    next = increment > 0 ? std::clamp(field.AutoIncMinimum(), type.low, high) : high;
  }
  autoinc_values_[field_no] = next;
  return next;
}

int64_t TABSBaseFieldManager::NextSessionSequenceValue(TABSBaseSession& session, int32_t field) {
  const int64_t value = NextAutoIncValue(field);
  session.StoreSequenceValue(fields_.Items(field)->ObjectId(), "", value);
  return value;
}

int64_t TABSBaseFieldManager::LastSessionSequenceValue(const TABSBaseSession& session, int32_t field) const {
  const TABSFieldDef& def = AutoIncField(field);
  const TABSSessionNamedObjectSequenceValue* entry = session.FindSequenceValue(def.ObjectId());
  if (entry == nullptr) throw EABSException(native::kNoSequenceLastValue, {def.Name()});
  return entry->value;
}

std::vector<int32_t> TABSBaseFieldManager::AssignAutoIncValues(TABSBaseSession& session, uint8_t* record) {
  std::vector<int32_t> filled;
  for (int32_t i = 0; i < fields_.Count(); ++i) {
    const TABSFieldDef& field = *fields_.Items(i);
    if (!IsAutoIncColumn(field.ColumnType())) continue;
    uint8_t* slot = record_fields_.Slot(record, i);
    const int32_t size = record_fields_.Field(i).memory_size;
    if (TABSRecordFields::IsNull(record, i)) {
      const int64_t value = NextSessionSequenceValue(session, i);
      uint8_t bytes[8];
      StoreLE<int64_t>(bytes, value);
      std::memcpy(slot, bytes, static_cast<size_t>(std::min(size, 8)));
      TABSRecordFields::SetNull(record, i, false);
      filled.push_back(i);
      continue;
    }
    NoteAutoIncValue(&session, record, i);
  }
  return filled;
}

void TABSBaseFieldManager::RaiseAutoIncCounters(const uint8_t* record) {
  for (int32_t i = 0; i < fields_.Count(); ++i) {
    if (!IsAutoIncColumn(fields_.Items(i)->ColumnType()) || TABSRecordFields::IsNull(record, i)) continue;
    NoteAutoIncValue(nullptr, record, i);
  }
}

void TABSBaseFieldManager::NoteAutoIncValue(TABSBaseSession* session, const uint8_t* record, int32_t field_no) {
  const TABSFieldDef& field = AutoIncField(field_no);
  const int64_t value =
      ReadAutoIncValue(record_fields_.Slot(record, field_no), record_fields_.Field(field_no).memory_size,
                       field.StorageType());
  int64_t& last = autoinc_values_[field_no];
  if (Increment(field) > 0 ? value > last : value < last) {
    last = value;
    if (session != nullptr) session->StoreSequenceValue(field.ObjectId(), "", value);
  }
}

void TABSBaseFieldManager::ApplyDefaults(TABSBaseSession&, uint8_t* record) {
  for (int32_t i = 0; i < fields_.Count(); ++i) {
    const TABSFieldDef& field = *fields_.Items(i);
    if (field.DefaultValue().IsNull() || IsBlobStorage(field.StorageType())) continue;
    kelvorin::SetFieldValue(record_fields_, i, field.DefaultValue(), record, blobs_);
  }
}

void TABSBaseFieldManager::InitRecord(TABSBaseSession& session, uint8_t* record, bool apply_defaults) {
  record_fields_.InitRecord(record);
  if (apply_defaults) ApplyDefaults(session, record);
}

void TABSBaseFieldManager::CheckDefaults(const TABSFieldDefs& fields) {
  std::vector<int64_t> no_values;
  TABSBaseFieldManager manager(fields, no_values);
  TABSMemoryBlock record(manager.RecordFields().MemorySize());
  TABSBaseSession session;
  manager.InitRecord(session, record.bytes(), true);
}

}  // namespace kelvorin
