// What a BLOB value is to the storage: the reference a record keeps, the
// header stored in front of each value, and the value's stored bytes.
//
// Reference (the 6 bytes of a BLOB field in a record): {i32 page, i16 slot}.
// Slot 255 names a large BLOB by its first page; slots 0..254 an entry of a
// small BLOB page. Page -1 (or 0) names no value; an empty BLOB is {-1, 255}.
//
// Entry header (22 bytes, little-endian):
//   0  i16  entry id within its page (small BLOB pages only)
//   2  u32  block count of the compressed BLOB stream
//   6  i64  stored size in bytes
//  14  u32  uncompressed size, low 32 bits
//  18  u32  uncompressed size, high 32 bits
//
// The stored bytes are the container content of a compressed BLOB stream
// (its blocks, or the plain bytes without compression).
#pragma once

#include <cstdint>

#include "db/storage/file/little_endian.h"
#include "db/storage/memory/memory_manager.h"

namespace kelvorin {

struct TABSBlobReference {
  static constexpr int32_t kStoredSize = 6;
  static constexpr int16_t kLargeSlot = 255;

  int32_t page_no = -1;
  int16_t slot = kLargeSlot;

  static TABSBlobReference None() { return {}; }
  bool NamesStoredValue() const { return page_no > 0; }
  bool IsLarge() const { return slot == kLargeSlot; }
  // A slot no value can have (stored references only).
  bool HasValidSlot() const { return slot >= 0 && slot <= kLargeSlot; }
  bool operator==(const TABSBlobReference&) const = default;

  static TABSBlobReference Load(const uint8_t* p) { return {LoadLE<int32_t>(p), LoadLE<int16_t>(p + 4)}; }
  void Store(uint8_t* p) const {
    StoreLE(p, page_no);
    StoreLE(p + 4, slot);
  }
};

struct TABSBlobEntryHeader {
  static constexpr int32_t kStoredSize = 22;

  int16_t id = 0;
  uint32_t block_count = 0;
  int64_t stored_size = 0;
  // Stored as two unsigned halves; a value above the signed range is damage.
  int64_t uncompressed_size = 0;

  static TABSBlobEntryHeader Load(const uint8_t* p) {
    TABSBlobEntryHeader h;
    h.id = LoadLE<int16_t>(p);
    h.block_count = LoadLE<uint32_t>(p + 2);
    h.stored_size = LoadLE<int64_t>(p + 6);
    h.uncompressed_size =
        static_cast<int64_t>(uint64_t{LoadLE<uint32_t>(p + 14)} | (uint64_t{LoadLE<uint32_t>(p + 18)} << 32));
    return h;
  }
  void Store(uint8_t* p) const {
    StoreLE(p, id);
    StoreLE(p + 2, block_count);
    StoreLE(p + 6, stored_size);
    StoreLE(p + 14, static_cast<uint32_t>(static_cast<uint64_t>(uncompressed_size)));
    StoreLE(p + 18, static_cast<uint32_t>(static_cast<uint64_t>(uncompressed_size) >> 32));
  }
  // Sizes that a value of this header can have at all.
  bool HasValidSizes() const { return stored_size >= 0 && uncompressed_size >= 0; }
};

// One BLOB value: its stored bytes and what the stream needs to read them.
struct TABSBlobValue {
  uint32_t block_count = 0;
  int64_t uncompressed_size = 0;
  TABSMemoryBlock bytes;

  int64_t StoredSize() const { return bytes.size(); }
  TABSBlobEntryHeader Header(int16_t id = 0) const {
    return {id, block_count, StoredSize(), uncompressed_size};
  }
};

}  // namespace kelvorin
