#include "db/tables/records/field_access.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/little_endian.h"
#include "db/tables/values/value_encoding.h"
#include "db/tables/values/value_errors.h"

namespace kelvorin {
namespace {

const TABSFieldSlot& CheckedField(const TABSRecordFields& fields, int32_t field, const TABSNativeError& error) {
  if (field < 0 || field >= fields.FieldCount()) throw EABSException(error, {field, fields.FieldCount()});
  return fields.Field(field);
}

// The bytes of a string slot up to and including its terminator; a slot
// without one (a damaged record) ends at its last whole character.
int32_t StringBytes(const uint8_t* slot, int32_t slot_size, bool wide) {
  const int32_t unit = wide ? 2 : 1;
  for (int32_t i = 0; i + unit <= slot_size; i += unit) {
    if (slot[i] == 0 && (!wide || slot[i + 1] == 0)) return i + unit;
  }
  return slot_size - slot_size % unit - unit;
}

// Whether a raw value written into the field makes it NULL: an empty string
// (or GUID), its first character 0.
bool IsEmptyStringData(const TABSFieldSlot& field, const uint8_t* data) {
  if (!IsStringOrGuidColumn(field.column_type)) return false;
  if (IsWideStringColumn(field.column_type)) return data[0] == 0 && data[1] == 0;
  return data[0] == 0;
}

void ClearBlobField(int32_t field, uint8_t* record, TABSBlobManager* blobs) {
  if (blobs != nullptr) {
    blobs->ClearValue(record, field);
  } else {
    TABSRecordFields::SetNull(record, field, true);
  }
}

void RefuseBlobValue(const TABSRecordFields& fields, int32_t field) {
  throw EABSException(native::kBlobValueThroughField, {field, StorageTypeName(fields.Field(field).storage_type)});
}

// Copies a string's bytes into its slot, which is cleared first, keeping the
// slot's last character for the terminator.
void WriteString(const TABSFieldSlot& field, uint8_t* slot, const uint8_t* data, int32_t size) {
  const int32_t unit = IsWideStringStorage(field.storage_type) ? 2 : 1;
  const int32_t room = field.memory_size - unit;
  std::memset(slot, 0, static_cast<size_t>(field.memory_size));
  std::memcpy(slot, data, static_cast<size_t>(std::min(size, room)));
}

}  // namespace

bool GetFieldData(const TABSRecordFields& fields, int32_t field_no, void* buffer, const uint8_t* record,
                  const TABSNativeError& field_error) {
  const TABSFieldSlot& field = CheckedField(fields, field_no, field_error);
  if (record == nullptr) throw EABSException(native::kGetFieldDataNilRecord);
  if (TABSRecordFields::IsNull(record, field_no)) return false;
  if (buffer == nullptr || IsBlobColumn(field.column_type)) return true;
  if (field.memory_offset + int64_t{field.memory_size} > fields.MemorySize()) {
    throw EABSException(native::kGetFieldDataFailed, {field_no, field.memory_offset, field.memory_size});
  }
  const uint8_t* slot = fields.Slot(record, field_no);
  switch (field.storage_type) {
    case TABSStorageType::Single:
      StoreLE<double>(buffer, LoadLE<float>(slot));
      break;
    case TABSStorageType::Extended:
      StoreLE<double>(buffer, static_cast<double>(DecodeExtended(slot)));
      break;
    default:
      std::memcpy(buffer, slot, static_cast<size_t>(field.memory_size));
      break;
  }
  return true;
}

void SetFieldData(const TABSRecordFields& fields, int32_t field_no, const void* buffer, uint8_t* record,
                  TABSBlobManager* blobs, const TABSNativeError& field_error) {
  const TABSFieldSlot& field = CheckedField(fields, field_no, field_error);
  if (record == nullptr) throw EABSException(native::kSetFieldDataNilRecord);
  const auto* data = static_cast<const uint8_t*>(buffer);
  const bool null = data == nullptr || IsEmptyStringData(field, data);
  if (IsBlobStorage(field.storage_type)) {
    if (!null) RefuseBlobValue(fields, field_no);
    ClearBlobField(field_no, record, blobs);
    return;
  }
  if (null) {
    TABSRecordFields::SetNull(record, field_no, true);
    return;
  }
  uint8_t* slot = fields.Slot(record, field_no);
  switch (field.storage_type) {
    case TABSStorageType::Single: {
      // The caller's double may be beyond what a float holds; casting it
      // would be undefined.
      const double value = LoadLE<double>(data);
      if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
        throw EABSException(native::kConversionFailed,
                            {StorageTypeName(TABSStorageType::Float), StorageTypeName(TABSStorageType::Single)});
      }
      StoreLE<float>(slot, static_cast<float>(value));
      break;
    }
    case TABSStorageType::Extended:
      EncodeExtended(slot, LoadLE<double>(data));
      break;
    default:
      if (IsStringStorage(field.storage_type)) {
        WriteString(field, slot, data, StringBytes(data, field.memory_size, IsWideStringStorage(field.storage_type)));
      } else {
        std::memcpy(slot, data, static_cast<size_t>(field.memory_size));
      }
      break;
  }
  TABSRecordFields::SetNull(record, field_no, false);
}

void GetFieldValue(const TABSRecordFields& fields, int32_t field_no, TABSVariant& value, const uint8_t* record,
                   const TABSNativeError& field_error) {
  const TABSFieldSlot& field = CheckedField(fields, field_no, field_error);
  if (record == nullptr) throw EABSException(native::kGetFieldDataNilRecord);
  if (TABSRecordFields::IsNull(record, field_no)) {
    value.SetNull();
    return;
  }
  const uint8_t* slot = fields.Slot(record, field_no);
  if (!IsStringStorage(field.storage_type)) {
    value.SetRaw(slot, field.memory_size, field.storage_type, true);
    return;
  }
  const bool wide = IsWideStringStorage(field.storage_type);
  const int32_t size = StringBytes(slot, field.memory_size, wide);
  const bool terminated = size > 0 && slot[size - 1] == 0 && (!wide || slot[size - 2] == 0);
  if (terminated) {
    value.SetRaw(slot, size, field.storage_type, true);
    return;
  }
  TABSMemoryBlock copy(int64_t{size} + (wide ? 2 : 1), true);
  std::memcpy(copy.data(), slot, static_cast<size_t>(size));
  value.SetRaw(copy.data(), static_cast<int32_t>(copy.size()), field.storage_type, true);
}

void SetFieldValue(const TABSRecordFields& fields, int32_t field_no, const TABSVariant& value, uint8_t* record,
                   TABSBlobManager* blobs, const TABSNativeError& field_error) {
  const TABSFieldSlot& field = CheckedField(fields, field_no, field_error);
  if (record == nullptr) throw EABSException(native::kSetFieldDataNilRecord);
  if (IsBlobStorage(field.storage_type)) {
    if (!value.IsNull()) RefuseBlobValue(fields, field_no);
    ClearBlobField(field_no, record, blobs);
    return;
  }
  if (value.IsNull()) {
    TABSRecordFields::SetNull(record, field_no, true);
    return;
  }
  TABSVariant converted;
  const TABSVariant* source = &value;
  if (value.Type() != field.storage_type) {
    converted.Assign(value, false);
    converted.ConvertTo(field.storage_type);
    source = &converted;
  }
  const int32_t empty_size = IsWideStringStorage(field.storage_type) ? 2 : 1;
  if (source->IsNull() || (IsStringStorage(field.storage_type) && source->DataSize() <= empty_size)) {
    TABSRecordFields::SetNull(record, field_no, true);
    return;
  }
  if (source->DataSize() > field.memory_size) throw EABSException(native::kGetRawBufferSizeExceeded);
  uint8_t* slot = fields.Slot(record, field_no);
  if (IsStringStorage(field.storage_type)) {
    WriteString(field, slot, static_cast<const uint8_t*>(source->Data()), source->DataSize());
  } else {
    std::memset(slot, 0, static_cast<size_t>(field.memory_size));
    std::memcpy(slot, source->Data(), static_cast<size_t>(source->DataSize()));
  }
  TABSRecordFields::SetNull(record, field_no, false);
}

}  // namespace kelvorin
