#include "db/storage/compression/compression.h"

#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "db/storage/compression/ppmd.h"

namespace kelvorin {
namespace {

constexpr std::string_view kAlgorithmNames[kCompressionAlgorithmCount] = {"NONE", "ZLIB", "BZIP",
                                                                          "PPM"};
// The output buffer grows in steps of this many bytes when it fills.
constexpr int64_t kOutputStep = 256;
// zlib and libbz2 take at most this many bytes per call.
constexpr int64_t kMaxChunk = std::numeric_limits<unsigned int>::max() / 2;

int64_t InitialOutputSize(int64_t size) {
  int64_t bytes = size + size / 10 + 12;
  return (bytes + kOutputStep - 1) / kOutputStep * kOutputStep;
}

// The libraries' work memory comes from the engine's memory manager too.
// Allocation errors become a null result, which the libraries report.
void* LibraryAlloc(void*, size_t items, size_t size) {
  try {
    return MemoryManager().GetMem(static_cast<int64_t>(items * size));
  } catch (...) {
    return nullptr;
  }
}
void LibraryFree(void*, void* address) {
  try {
    MemoryManager().FreeAndNillMem(address);
  } catch (...) {
  }
}
voidpf ZlibAlloc(voidpf opaque, uInt items, uInt size) { return LibraryAlloc(opaque, items, size); }
void ZlibFree(voidpf opaque, voidpf address) { LibraryFree(opaque, address); }
void* BzipAlloc(void* opaque, int items, int size) {
  return LibraryAlloc(opaque, static_cast<size_t>(items), static_cast<size_t>(size));
}
void BzipFree(void* opaque, void* address) { LibraryFree(opaque, address); }

unsigned int Chunk(int64_t left) { return static_cast<unsigned int>(std::min(left, kMaxChunk)); }

// Ends a library stream on every way out, so that its work memory goes back
// to the memory manager also when growing the output raises.
template <typename End>
class StreamEnd {
 public:
  explicit StreamEnd(End end) : end_(end) {}
  ~StreamEnd() { end_(); }
  StreamEnd(const StreamEnd&) = delete;
  StreamEnd& operator=(const StreamEnd&) = delete;

 private:
  End end_;
};

bool ZlibCompress(int level, const uint8_t* input, int64_t size, TABSMemoryBlock* out,
                  int64_t* out_size) {
  z_stream z{};
  z.zalloc = ZlibAlloc;
  z.zfree = ZlibFree;
  if (deflateInit(&z, level) != Z_OK) return false;
  StreamEnd end([&z] { deflateEnd(&z); });
  out->Allocate(InitialOutputSize(size));
  int64_t in_done = 0;
  int64_t out_done = 0;
  int rc = Z_OK;
  while (rc == Z_OK || rc == Z_BUF_ERROR) {
    if (out_done == out->size()) out->Resize(out->size() + kOutputStep);
    z.next_in = const_cast<Bytef*>(input + in_done);
    z.avail_in = Chunk(size - in_done);
    z.next_out = out->bytes() + out_done;
    z.avail_out = Chunk(out->size() - out_done);
    unsigned int in_before = z.avail_in;
    unsigned int out_before = z.avail_out;
    bool last = in_done + in_before == size;
    rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
    in_done += in_before - z.avail_in;
    out_done += out_before - z.avail_out;
    if (rc == Z_BUF_ERROR && out_done < out->size()) break;  // no progress possible
  }
  *out_size = out_done;
  return rc == Z_STREAM_END && out_done > 0;
}

bool ZlibDecompress(const uint8_t* input, int64_t size, TABSMemoryBlock* out, int64_t* out_size) {
  z_stream z{};
  z.zalloc = ZlibAlloc;
  z.zfree = ZlibFree;
  if (inflateInit(&z) != Z_OK) return false;
  StreamEnd end([&z] { inflateEnd(&z); });
  int64_t in_done = 0;
  int64_t out_done = 0;
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_in = const_cast<Bytef*>(input + in_done);
    z.avail_in = Chunk(size - in_done);
    z.next_out = out->bytes() + out_done;
    z.avail_out = Chunk(out->size() - out_done);
    unsigned int in_before = z.avail_in;
    unsigned int out_before = z.avail_out;
    rc = inflate(&z, Z_NO_FLUSH);
    in_done += in_before - z.avail_in;
    out_done += out_before - z.avail_out;
    if (rc == Z_OK && in_before == z.avail_in && out_before == z.avail_out) break;
  }
  *out_size = out_done;
  return rc == Z_STREAM_END && out_done > 0;
}

bool BzipCompress(int level, const uint8_t* input, int64_t size, TABSMemoryBlock* out,
                  int64_t* out_size) {
  bz_stream bz{};
  bz.bzalloc = BzipAlloc;
  bz.bzfree = BzipFree;
  if (BZ2_bzCompressInit(&bz, level, 0, 0) != BZ_OK) return false;
  StreamEnd end([&bz] { BZ2_bzCompressEnd(&bz); });
  out->Allocate(InitialOutputSize(size));
  int64_t in_done = 0;
  int64_t out_done = 0;
  int rc = BZ_RUN_OK;
  for (;;) {
    if (out_done == out->size()) out->Resize(out->size() + kOutputStep);
    bz.next_in = const_cast<char*>(reinterpret_cast<const char*>(input + in_done));
    bz.avail_in = Chunk(size - in_done);
    bz.next_out = out->chars() + out_done;
    bz.avail_out = Chunk(out->size() - out_done);
    unsigned int in_before = bz.avail_in;
    unsigned int out_before = bz.avail_out;
    bool last = in_done + in_before == size;
    rc = BZ2_bzCompress(&bz, last ? BZ_FINISH : BZ_RUN);
    in_done += in_before - bz.avail_in;
    out_done += out_before - bz.avail_out;
    if (rc != BZ_RUN_OK && rc != BZ_FINISH_OK) break;
  }
  *out_size = out_done;
  return rc == BZ_STREAM_END && out_done > 0;
}

bool BzipDecompress(const uint8_t* input, int64_t size, TABSMemoryBlock* out, int64_t* out_size) {
  bz_stream bz{};
  bz.bzalloc = BzipAlloc;
  bz.bzfree = BzipFree;
  if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) return false;
  StreamEnd end([&bz] { BZ2_bzDecompressEnd(&bz); });
  int64_t in_done = 0;
  int64_t out_done = 0;
  int rc = BZ_OK;
  while (rc == BZ_OK) {
    bz.next_in = const_cast<char*>(reinterpret_cast<const char*>(input + in_done));
    bz.avail_in = Chunk(size - in_done);
    bz.next_out = out->chars() + out_done;
    bz.avail_out = Chunk(out->size() - out_done);
    unsigned int in_before = bz.avail_in;
    unsigned int out_before = bz.avail_out;
    rc = BZ2_bzDecompress(&bz);
    in_done += in_before - bz.avail_in;
    out_done += out_before - bz.avail_out;
    if (rc == BZ_OK && in_before == bz.avail_in && out_before == bz.avail_out) break;
  }
  *out_size = out_done;
  return rc == BZ_STREAM_END && out_done > 0;
}

// Grows the compressed output in the same steps as the other algorithms.
class BlockSink : public ppmd::ByteSink {
 public:
  BlockSink(TABSMemoryBlock* block, int64_t initial) : block_(block) {
    block_->Allocate(initial);
    Sync();
  }
  bool Grow(size_t used) override {
    int64_t wanted = static_cast<int64_t>(used) + 1;
    int64_t size = block_->size();
    while (size < wanted) size += kOutputStep;
    block_->Resize(size);
    Sync();
    return true;
  }

 private:
  void Sync() {
    data_ = block_->bytes();
    capacity_ = static_cast<size_t>(block_->size());
  }
  TABSMemoryBlock* block_;
};

bool PpmCompress(int level, const uint8_t* input, int64_t size, TABSMemoryBlock* out,
                 int64_t* out_size) {
  ppmd::ModelSettings settings;
  if (!ppmd::SettingsOfLevel(level, &settings)) return false;
  TABSMemoryBlock arena(ppmd::ArenaSize(settings));
  BlockSink sink(out, InitialOutputSize(size));
  size_t written = ppmd::Encode(input, static_cast<size_t>(size), settings, arena.bytes(), &sink);
  *out_size = static_cast<int64_t>(written);
  return written > 0;
}

bool PpmDecompress(const uint8_t* input, int64_t size, TABSMemoryBlock* out, int64_t* out_size) {
  if (size < static_cast<int64_t>(ppmd::kHeaderSize)) return false;
  uint32_t word = 0;
  for (size_t i = 0; i < ppmd::kHeaderSize; ++i) word |= uint32_t{input[i]} << (8 * i);
  ppmd::ModelSettings settings;
  if (!ppmd::SettingsOfHeader(word, &settings)) return false;
  TABSMemoryBlock arena(ppmd::ArenaSize(settings));
  size_t produced = 0;
  bool ok = ppmd::Decode(input + ppmd::kHeaderSize, static_cast<size_t>(size) - ppmd::kHeaderSize,
                         settings, arena.bytes(), out->bytes(), static_cast<size_t>(out->size()),
                         &produced);
  *out_size = static_cast<int64_t>(produced);
  return ok && produced > 0;
}

}  // namespace

std::string_view CompressionAlgorithmName(uint8_t algorithm) {
  return algorithm < kCompressionAlgorithmCount ? kAlgorithmNames[algorithm] : std::string_view();
}

bool CompressionAlgorithmOfName(std::string_view name, uint8_t* algorithm) {
  for (uint8_t id = 0; id < kCompressionAlgorithmCount; ++id) {
    std::string_view known = kAlgorithmNames[id];
    if (known.size() == name.size() &&
        std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) ==
                 std::toupper(static_cast<unsigned char>(b));
        })) {
      *algorithm = id;
      return true;
    }
  }
  return false;
}

bool IsKnownCompressionAlgorithm(uint8_t algorithm) {
  return algorithm < kCompressionAlgorithmCount;
}

bool IsValidCompressionLevel(uint8_t algorithm, int level) {
  switch (static_cast<TABSCompressionAlgorithm>(algorithm)) {
    case TABSCompressionAlgorithm::kNone: return true;
    case TABSCompressionAlgorithm::kZlib: return level >= 0 && level <= 9;
    case TABSCompressionAlgorithm::kBzip: return level >= 1 && level <= 9;
    case TABSCompressionAlgorithm::kPpm: return level >= ppmd::kMinLevel && level <= ppmd::kMaxLevel;
  }
  return false;
}

int32_t DefaultCompressionBlockSize(int level) {
  if (level <= 0) return 102400;
  if (level <= 3) return 524288;
  if (level <= 6) return 1048576;
  return 1572864;
}

bool CompressBuffer(uint8_t algorithm, int level, const void* input, int64_t size,
                    TABSMemoryBlock* output, int64_t* output_size) {
  *output_size = 0;
  if (input == nullptr || size <= 0 || !IsValidCompressionLevel(algorithm, level)) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(input);
  switch (static_cast<TABSCompressionAlgorithm>(algorithm)) {
    case TABSCompressionAlgorithm::kZlib: return ZlibCompress(level, bytes, size, output, output_size);
    case TABSCompressionAlgorithm::kBzip: return BzipCompress(level, bytes, size, output, output_size);
    case TABSCompressionAlgorithm::kPpm: return PpmCompress(level, bytes, size, output, output_size);
    default: return false;
  }
}

bool DecompressBuffer(uint8_t algorithm, const void* input, int64_t size, int64_t expected_size,
                      TABSMemoryBlock* output, int64_t* output_size) {
  *output_size = 0;
  if (input == nullptr || size <= 0 || expected_size <= 0 || !IsKnownCompressionAlgorithm(algorithm) ||
      algorithm == 0) {
    return false;
  }
  output->Allocate(expected_size);
  const uint8_t* bytes = static_cast<const uint8_t*>(input);
  switch (static_cast<TABSCompressionAlgorithm>(algorithm)) {
    case TABSCompressionAlgorithm::kZlib: return ZlibDecompress(bytes, size, output, output_size);
    case TABSCompressionAlgorithm::kBzip: return BzipDecompress(bytes, size, output, output_size);
    case TABSCompressionAlgorithm::kPpm: return PpmDecompress(bytes, size, output, output_size);
    default: return false;
  }
}

}  // namespace kelvorin
