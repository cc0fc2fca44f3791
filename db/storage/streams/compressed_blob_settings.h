// The settings of a compressed BLOB stream and the header in front of each of
// its blocks, with their stored little-endian forms.
//
// Settings (32 bytes): i32 block size (0: the level's default), i64 block
// count, i64 uncompressed size, i64 start position in the container, u8
// algorithm, u8 level, 2 unused bytes.
// Block header (20 bytes): i32 compressed size, i32 uncompressed size, u32
// CRC-32 of the uncompressed bytes, i64 distance to the next header
// (compressed size + 20).
#pragma once

#include <cstdint>

namespace kelvorin {

struct TABSCompressedStreamSettings {
  static constexpr int kStoredSize = 32;

  int32_t block_size = 0;
  int64_t block_count = 0;
  int64_t uncompressed_size = 0;
  int64_t start_position = 0;
  uint8_t algorithm = 0;
  uint8_t level = 0;

  void Store(uint8_t* out) const;
  static TABSCompressedStreamSettings Load(const uint8_t* in);
};

struct TABSCompressedBlockHeader {
  static constexpr int kStoredSize = 20;

  int32_t compressed_size = 0;
  int32_t uncompressed_size = 0;
  uint32_t crc32 = 0;
  int64_t distance = 0;

  void Store(uint8_t* out) const;
  static TABSCompressedBlockHeader Load(const uint8_t* in);
};

}  // namespace kelvorin
