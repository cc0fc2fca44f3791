// TABSRecordLayout: the two forms of a table's records as its field
// definitions place them (after the layout was computed), for the storage
// that converts between them and finds BLOB fields in them.
//
//   memory form   null bitmap, then each field at its memory offset
//   stored form   the same bitmap, then each field at its stored offset
//
// Both forms share the bitmap (bit i of byte i/8 set: field i is NULL) and
// the field order; they differ only in BLOB-like fields, which take 10 bytes
// in memory (the 6-byte reference, then a 4-byte handle of the BLOB manager)
// and 6 when stored. Converting copies a few contiguous runs (one per BLOB
// field, plus one), so it costs no more than a handful of copies.
#pragma once

#include <cstdint>
#include <vector>

#include "db/tables/metadata/meta_object_defs.h"

namespace kelvorin {

// A BLOB-like field (BLOB, MEMO or WIDEMEMO storage) of a record.
struct TABSBlobFieldSlot {
  static constexpr int32_t kMemorySize = 10;
  static constexpr int32_t kStoredSize = 6;

  int32_t field_no;
  int32_t memory_offset;
  int32_t stored_offset;
  // How its values are compressed (the stream settings of its values).
  uint8_t compression_algorithm;
  uint8_t compression_level;
  int32_t block_size;
};

class TABSRecordLayout {
 public:
  // Takes the offsets the fields were given and the record sizes of both
  // forms; raises "Invalid record layout" when they do not describe records
  // of packed fields (a layout not computed, or one that overflowed).
  TABSRecordLayout(const TABSFieldDefs& fields, int64_t memory_record_size, int64_t stored_record_size);

  int32_t FieldCount() const { return field_count_; }
  int32_t NullBitmapSize() const { return (field_count_ + 7) / 8; }
  int32_t MemorySize() const { return memory_size_; }
  int32_t StoredSize() const { return stored_size_; }
  const std::vector<TABSBlobFieldSlot>& BlobFields() const { return blob_fields_; }
  bool HasBlobFields() const { return !blob_fields_.empty(); }
  // The BLOB field of that number; raises for a field that is not one.
  const TABSBlobFieldSlot& BlobField(int32_t field_no) const;

  // The null flag of a field, in either form.
  static bool IsNull(const uint8_t* record, int32_t field_no) {
    return (record[field_no / 8] >> (field_no % 8)) & 1;
  }
  static void SetNull(uint8_t* record, int32_t field_no, bool null) {
    const auto bit = static_cast<uint8_t>(1u << (field_no % 8));
    record[field_no / 8] = null ? (record[field_no / 8] | bit) : (record[field_no / 8] & ~bit);
  }

  void ToStored(const uint8_t* memory, uint8_t* stored) const;
  // The handles beside the BLOB references start as 0 (no cached value).
  void ToMemory(const uint8_t* stored, uint8_t* memory) const;

 private:
  // Bytes that lie together in both forms.
  struct Run {
    int32_t memory_offset;
    int32_t stored_offset;
    int32_t size;
  };

  int32_t field_count_ = 0;
  int32_t memory_size_ = 0;
  int32_t stored_size_ = 0;
  std::vector<Run> runs_;
  std::vector<TABSBlobFieldSlot> blob_fields_;
};

}  // namespace kelvorin
