// kelvorin compress ALG LEVEL IN OUT / kelvorin decompress IN OUT: a file
// written through a compressed BLOB stream, for checking by hand and for the
// benchmark. OUT starts with the 32-byte stream settings; the blocks follow.
#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/storage/streams/compressed_blob_stream.h"
#include "db/storage/compression/compression.h"
#include "db/storage/streams/file_stream.h"
#include "db/storage/memory/memory_manager.h"
#include "tools/kelvorin/command.h"

namespace kelvorin::tool {
namespace {

constexpr int64_t kSettingsSize = TABSCompressedStreamSettings::kStoredSize;

void WriteSettings(TABSStream& file, const TABSCompressedStreamSettings& settings) {
  uint8_t stored[kSettingsSize];
  settings.Store(stored);
  file.SetPosition(0);
  if (file.Write(stored, kSettingsSize) != kSettingsSize) {
    throw std::runtime_error("cannot write the stream settings");
  }
}

int Compress(const std::vector<std::string>& args) {
  if (args.size() != 4) {
    std::fprintf(stderr, "usage: kelvorin compress ALG LEVEL IN OUT\n");
    return 1;
  }
  uint8_t algorithm = 0;
  if (!CompressionAlgorithmOfName(args[0], &algorithm)) {
    std::fprintf(stderr, "kelvorin: unknown algorithm '%s' (NONE, ZLIB, BZIP, PPM)\n", args[0].c_str());
    return 1;
  }
  int level = 0;
  const char* end = args[1].data() + args[1].size();
  auto [rest, error] = std::from_chars(args[1].data(), end, level);
  if (error != std::errc() || rest != end || args[1].empty()) {
    std::fprintf(stderr, "kelvorin: level '%s' is not a number\n", args[1].c_str());
    return 1;
  }
  if (level < 0 || level > 255 || !IsValidCompressionLevel(algorithm, level)) {
    std::fprintf(stderr, "kelvorin: level %d is outside the range of %s\n", level, args[0].c_str());
    return 1;
  }
  TABSFileStream in(args[2], TABSFileStream::kOpenRead);
  TABSFileStream out(args[3], TABSFileStream::kCreate);
  TABSCompressedStreamSettings settings;
  settings.algorithm = algorithm;
  settings.level = static_cast<uint8_t>(level);
  settings.start_position = kSettingsSize;
  WriteSettings(out, settings);

  TABSCompressedBLOBStream blob(out, false, true, settings);
  // Whole blocks at a time, so no block is compressed twice.
  int64_t chunk = algorithm == 0 ? TABSStream::kDefaultBlockSize : blob.Settings().block_size;
  TABSMemoryBlock buffer(chunk);
  for (;;) {
    int64_t n = in.Read(buffer.data(), chunk);
    if (n <= 0) break;
    blob.Write(buffer.data(), n);
  }
  WriteSettings(out, blob.Settings());
  std::printf("%lld -> %lld bytes, %lld blocks, ratio %.2f%%\n",
              static_cast<long long>(blob.Size()), static_cast<long long>(out.Size()),
              static_cast<long long>(blob.BlockCount()), blob.CompressionRatio());
  return 0;
}

int Decompress(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: kelvorin decompress IN OUT\n");
    return 1;
  }
  TABSFileStream in(args[0], TABSFileStream::kOpenRead);
  uint8_t stored[kSettingsSize];
  if (in.Read(stored, kSettingsSize) != kSettingsSize) {
    std::fprintf(stderr, "kelvorin: %s holds no stream settings\n", args[0].c_str());
    return 1;
  }
  TABSCompressedBLOBStream blob(in, false, false, TABSCompressedStreamSettings::Load(stored));
  TABSFileStream out(args[1], TABSFileStream::kCreate);
  int64_t chunk = blob.Settings().block_size > 0 ? blob.Settings().block_size : TABSStream::kDefaultBlockSize;
  TABSMemoryBlock buffer(chunk);
  for (;;) {
    int64_t n = blob.Read(buffer.data(), chunk);
    if (n <= 0) break;
    if (out.Write(buffer.data(), n) != n) throw std::runtime_error("cannot write " + args[1]);
  }
  return 0;
}

const KelvorinCommand compress_command("compress", "ALG LEVEL IN OUT", Compress);
const KelvorinCommand decompress_command("decompress", "IN OUT", Decompress);

}  // namespace
}  // namespace kelvorin::tool
