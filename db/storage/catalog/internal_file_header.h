// The layout every internal file shares: a chain of pages of one type linked
// through the page header's next-page field, whose first page starts with a
// 10-byte header. The content follows the header and continues at data
// offset 0 of each following page.
//
//   data offset 0  u8   header size, always 10
//               1  i32  stored size (bytes of content as stored)
//               5  i32  uncompressed size (transacted files; 0 otherwise)
//               9  u8   compression algorithm (transacted files; 0 = none)
#pragma once

#include <cstdint>

#include "db/storage/file/database_file_layout.h"

namespace kelvorin {

inline constexpr int32_t kInternalFileHeaderSize = 10;

struct TABSInternalFileHeader {
  uint8_t header_size = kInternalFileHeaderSize;
  int32_t stored_size = 0;
  int32_t uncompressed_size = 0;
  uint8_t algorithm = 0;

  static TABSInternalFileHeader Decode(const uint8_t* in) {
    TABSInternalFileHeader h;
    h.header_size = in[0];
    h.stored_size = LoadI32(in + 1);
    h.uncompressed_size = LoadI32(in + 5);
    h.algorithm = in[9];
    return h;
  }
  void Encode(uint8_t* out) const {
    out[0] = header_size;
    StoreI32(out + 1, stored_size);
    StoreI32(out + 5, uncompressed_size);
    out[9] = algorithm;
  }
};

// Pages a content of `size` bytes needs (the header included).
inline int64_t InternalFilePagesFor(int64_t size, int32_t data_size) {
  return (size + kInternalFileHeaderSize + data_size - 1) / data_size;
}

// The content bytes a chain of `pages` pages can hold.
inline int64_t InternalFileCapacity(int64_t pages, int32_t data_size) {
  return pages * data_size - kInternalFileHeaderSize;
}

}  // namespace kelvorin
