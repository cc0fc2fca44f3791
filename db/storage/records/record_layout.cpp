#include "db/storage/records/record_layout.h"

#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/records/record_errors.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

TABSRecordLayout::TABSRecordLayout(const TABSFieldDefs& fields, int64_t memory_record_size,
                                   int64_t stored_record_size)
    : field_count_(fields.Count()) {
  const auto invalid = [&](int32_t field_no) {
    return EABSException(native::kInvalidRecordLayout, {field_no, memory_record_size, stored_record_size});
  };
  // Offsets are checked as running sums in 64 bits against what the fields
  // were given, so a layout that was never computed or wrapped around fails.
  int64_t memory = NullBitmapSize();
  int64_t stored = memory;
  Run run{0, 0, 0};
  for (int32_t i = 0; i < field_count_; ++i) {
    const TABSFieldDef& field = *fields.Items(i);
    const bool blob = IsBlobStorage(field.StorageType());
    if (field.MemoryOffset() != memory || field.StoredOffset() != stored || field.MemorySize() < 0 ||
        field.StoredSize() < 0 || (blob && (field.MemorySize() != TABSBlobFieldSlot::kMemorySize ||
                                            field.StoredSize() != TABSBlobFieldSlot::kStoredSize)) ||
        (!blob && field.MemorySize() != field.StoredSize())) {
      throw invalid(i);
    }
    if (blob) {
      blob_fields_.push_back({i, static_cast<int32_t>(memory), static_cast<int32_t>(stored),
                              field.BlobCompressionAlgorithm(), field.BlobCompressionLevel(), field.BlobBlockSize()});
      // The reference closes the run; the handle bytes are no part of the stored form.
      run.size = static_cast<int32_t>(stored + field.StoredSize() - run.stored_offset);
      runs_.push_back(run);
      run = {static_cast<int32_t>(memory + field.MemorySize()), static_cast<int32_t>(stored + field.StoredSize()),
             0};
    }
    memory += field.MemorySize();
    stored += field.StoredSize();
    if (memory > memory_record_size || stored > stored_record_size) throw invalid(i);
  }
  if (memory != memory_record_size || stored != stored_record_size) throw invalid(field_count_);
  run.size = static_cast<int32_t>(stored - run.stored_offset);
  if (run.size > 0) runs_.push_back(run);
  memory_size_ = static_cast<int32_t>(memory);
  stored_size_ = static_cast<int32_t>(stored);
}

const TABSBlobFieldSlot& TABSRecordLayout::BlobField(int32_t field_no) const {
  for (const TABSBlobFieldSlot& slot : blob_fields_) {
    if (slot.field_no == field_no) return slot;
  }
  throw EABSException(native::kNotABlobField, {field_no});
}

void TABSRecordLayout::ToStored(const uint8_t* memory, uint8_t* stored) const {
  for (const Run& run : runs_) std::memcpy(stored + run.stored_offset, memory + run.memory_offset, run.size);
}

void TABSRecordLayout::ToMemory(const uint8_t* stored, uint8_t* memory) const {
  for (const Run& run : runs_) std::memcpy(memory + run.memory_offset, stored + run.stored_offset, run.size);
  for (const TABSBlobFieldSlot& slot : blob_fields_) {
    std::memset(memory + slot.memory_offset + TABSBlobFieldSlot::kStoredSize, 0,
                TABSBlobFieldSlot::kMemorySize - TABSBlobFieldSlot::kStoredSize);
  }
}

}  // namespace kelvorin
