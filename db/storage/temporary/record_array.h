// TABSRecordArray: fixed-size records kept in memory by sequence number,
// in chunks of about a megabyte. The first chunk grows geometrically until
// it reaches the chunk size and later ones are added whole, so appending
// costs O(1) per record, no record is copied more than a few times, and a
// large array needs no single huge block.
//
// Sequence record ids: temporary and in-memory tables number their records
// 0, 1, 2 … and keep the number in the 6 bytes of a record id (the high
// bits in the page number, the low 16 bits in the slot), so numbers past
// 2^31 have ids and ids order like numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/memory/memory_manager.h"
#include "db/tables/btree/record_id.h"

namespace kelvorin {

inline constexpr int64_t kMaxSequenceNumber = (int64_t{1} << 47) - 1;

inline TABSRecordId SequenceRecordId(int64_t number) {
  return {static_cast<int32_t>(number >> 16), static_cast<uint16_t>(number & 0xFFFF)};
}
// Negative for an id that names no record.
inline int64_t SequenceNumber(TABSRecordId id) {
  return id.page_no < 0 ? -1 : int64_t{id.page_no} * 65536 + id.slot;
}

class TABSRecordArray {
 public:
  static constexpr int64_t kChunkBytes = 1 << 20;

  explicit TABSRecordArray(int32_t record_size);

  int32_t RecordSize() const { return record_size_; }
  int64_t Capacity() const { return capacity_; }
  // The bytes a Grow to at most `max_capacity` records would add.
  int64_t GrowthBytes(int64_t max_capacity) const;
  // Adds room for more records, at most up to `max_capacity` records;
  // raises when memory is refused (nothing changes then).
  void Grow(int64_t max_capacity);
  // The record at a number below the capacity.
  uint8_t* At(int64_t number) const {
    return chunks_[static_cast<size_t>(number / per_chunk_)].bytes() + (number % per_chunk_) * record_size_;
  }
  void Clear();
  // Frees the whole chunks past those `count` records need.
  void ShrinkTo(int64_t count);
  int64_t AllocatedBytes() const { return capacity_ * record_size_; }

 private:
  int64_t InLastChunk() const;
  int64_t NextCapacity(int64_t max_capacity) const;

  int32_t record_size_;
  int64_t per_chunk_;  // records of a full chunk
  int64_t capacity_ = 0;
  std::vector<TABSMemoryBlock> chunks_;
};

}  // namespace kelvorin
