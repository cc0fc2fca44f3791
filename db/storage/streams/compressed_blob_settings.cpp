#include "db/storage/streams/compressed_blob_settings.h"

#include <cstring>

#include "db/storage/file/little_endian.h"

namespace kelvorin {

void TABSCompressedStreamSettings::Store(uint8_t* out) const {
  std::memset(out, 0, kStoredSize);
  StoreLE(out, block_size);
  StoreLE(out + 4, block_count);
  StoreLE(out + 12, uncompressed_size);
  StoreLE(out + 20, start_position);
  out[28] = algorithm;
  out[29] = level;
}

TABSCompressedStreamSettings TABSCompressedStreamSettings::Load(const uint8_t* in) {
  TABSCompressedStreamSettings s;
  s.block_size = LoadLE<int32_t>(in);
  s.block_count = LoadLE<int64_t>(in + 4);
  s.uncompressed_size = LoadLE<int64_t>(in + 12);
  s.start_position = LoadLE<int64_t>(in + 20);
  s.algorithm = in[28];
  s.level = in[29];
  return s;
}

void TABSCompressedBlockHeader::Store(uint8_t* out) const {
  StoreLE(out, compressed_size);
  StoreLE(out + 4, uncompressed_size);
  StoreLE(out + 8, crc32);
  StoreLE(out + 12, distance);
}

TABSCompressedBlockHeader TABSCompressedBlockHeader::Load(const uint8_t* in) {
  TABSCompressedBlockHeader h;
  h.compressed_size = LoadLE<int32_t>(in);
  h.uncompressed_size = LoadLE<int32_t>(in + 4);
  h.crc32 = LoadLE<uint32_t>(in + 8);
  h.distance = LoadLE<int64_t>(in + 12);
  return h;
}

}  // namespace kelvorin
