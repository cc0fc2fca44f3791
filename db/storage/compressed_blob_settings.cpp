#include "db/storage/compressed_blob_settings.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace kelvorin {
namespace {

template <typename T>
void Put(uint8_t* out, T value) {
  auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <typename T>
T Get(const uint8_t* in) {
  std::make_unsigned_t<T> bits = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    bits = static_cast<std::make_unsigned_t<T>>(bits | (std::make_unsigned_t<T>{in[i]} << (8 * i)));
  }
  return static_cast<T>(bits);
}

}  // namespace

void TABSCompressedStreamSettings::Store(uint8_t* out) const {
  std::memset(out, 0, kStoredSize);
  Put(out, block_size);
  Put(out + 4, block_count);
  Put(out + 12, uncompressed_size);
  Put(out + 20, start_position);
  out[28] = algorithm;
  out[29] = level;
}

TABSCompressedStreamSettings TABSCompressedStreamSettings::Load(const uint8_t* in) {
  TABSCompressedStreamSettings s;
  s.block_size = Get<int32_t>(in);
  s.block_count = Get<int64_t>(in + 4);
  s.uncompressed_size = Get<int64_t>(in + 12);
  s.start_position = Get<int64_t>(in + 20);
  s.algorithm = in[28];
  s.level = in[29];
  return s;
}

void TABSCompressedBlockHeader::Store(uint8_t* out) const {
  Put(out, compressed_size);
  Put(out + 4, uncompressed_size);
  Put(out + 8, crc32);
  Put(out + 12, distance);
}

TABSCompressedBlockHeader TABSCompressedBlockHeader::Load(const uint8_t* in) {
  TABSCompressedBlockHeader h;
  h.compressed_size = Get<int32_t>(in);
  h.uncompressed_size = Get<int32_t>(in + 4);
  h.crc32 = Get<uint32_t>(in + 8);
  h.distance = Get<int64_t>(in + 12);
  return h;
}

}  // namespace kelvorin
