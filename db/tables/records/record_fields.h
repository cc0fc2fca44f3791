// TABSRecordFields: where each field of a table lies in a memory record
// (the record form cursors, expressions and indexes read and write) and how
// its value is encoded, for field access, new records and the comparison of
// records. The null bitmap comes first (ceil(fields / 8) bytes; field i owns
// bit i mod 8 of byte i div 8, set = NULL), then the fields in definition
// order without padding.
//
// A BLOB-like field (BLOB, MEMO, WIDEMEMO storage) takes 10 bytes in memory:
// the 6-byte BLOB reference that the stored record keeps, then a 4-byte
// handle of the BLOB manager's cached value (a slot number and a generation,
// never a pointer; 0 for none). Records are therefore compared as stored
// forms, never byte for byte.
#pragma once

#include <cstdint>
#include <vector>

#include "db/tables/metadata/meta_object_defs.h"

namespace kelvorin {

struct TABSFieldSlot {
  int32_t memory_offset = 0;
  int32_t memory_size = 0;
  int32_t stored_size = 0;
  TABSStorageType storage_type = TABSStorageType::None;
  TABSColumnType column_type = TABSColumnType::None;
};

class TABSRecordFields {
 public:
  // The offset of the BLOB manager's handle inside a BLOB field's memory slot.
  static constexpr int32_t kBlobHandleOffset = 6;

  TABSRecordFields() = default;
  // Takes the positions the field definitions' layout computed.
  explicit TABSRecordFields(const TABSFieldDefs& fields);

  int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
  int32_t BitmapSize() const { return bitmap_size_; }
  int32_t MemorySize() const { return memory_size_; }
  const TABSFieldSlot& Field(int32_t field) const { return fields_[static_cast<size_t>(field)]; }
  // Field numbers of the BLOB-like fields, in order.
  const std::vector<int32_t>& BlobFields() const { return blob_fields_; }

  static bool IsNull(const uint8_t* record, int32_t field) { return (record[field >> 3] >> (field & 7)) & 1; }
  static void SetNull(uint8_t* record, int32_t field, bool null) {
    const auto bit = static_cast<uint8_t>(1u << (field & 7));
    record[field >> 3] = null ? (record[field >> 3] | bit) : (record[field >> 3] & ~bit);
  }
  uint8_t* Slot(uint8_t* record, int32_t field) const { return record + Field(field).memory_offset; }
  const uint8_t* Slot(const uint8_t* record, int32_t field) const { return record + Field(field).memory_offset; }

  // A new record: every field NULL, every byte after the bitmap 0.
  void InitRecord(uint8_t* record) const;
  // Whether two memory records have the same stored form, field by field:
  // the same NULL fields, and the same stored bytes in every other field.
  bool SameStoredForm(const uint8_t* a, const uint8_t* b) const;

 private:
  std::vector<TABSFieldSlot> fields_;
  std::vector<int32_t> blob_fields_;
  int32_t bitmap_size_ = 0;
  int32_t memory_size_ = 0;
};

}  // namespace kelvorin
