// Shared body of the decompressor fuzz targets: the input is decompressed as
// it is, or (first byte odd) compressed first and then damaged at one place,
// so that the decoder also meets nearly valid streams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db/storage/compression/compression.h"

namespace kelvorin::fuzz {

inline void DecompressInput(uint8_t algorithm, int level, const uint8_t* data, size_t size) {
  if (size < 3) return;
  const int64_t expected = 1 + data[1] * 64;
  const uint8_t* in = data + 2;
  int64_t in_size = static_cast<int64_t>(size - 2);
  TABSMemoryBlock packed;
  if (data[0] & 1) {
    int64_t packed_size = 0;
    if (!CompressBuffer(algorithm, level, in, in_size, &packed, &packed_size)) return;
    packed.bytes()[(data[0] >> 1) % packed_size] ^= static_cast<uint8_t>(data[1] | 1);
    in = packed.bytes();
    in_size = packed_size;
  }
  TABSMemoryBlock out;
  int64_t out_size = 0;
  if (DecompressBuffer(algorithm, in, in_size, expected, &out, &out_size) && out_size > expected) {
    __builtin_trap();
  }
}

}  // namespace kelvorin::fuzz
