// The engine's compression layer: turns a buffer into a compressed buffer with
// one of the algorithms of the table below and back. Failures of the
// algorithms are reported as false; the callers raise their own messages.
//
//   id  name    algorithm                   level
//   0   "NONE"  stored as it is             -
//   1   "ZLIB"  zlib stream (RFC 1950/1951) deflate level 0..9
//   2   "BZIP"  bzip2 stream                block size 1..9 x 100000, work factor 0
//   3   "PPM"   PPMd variant G              1..9 (model order and memory)
#pragma once

#include <cstdint>
#include <string_view>

#include "db/storage/memory/memory_manager.h"

namespace kelvorin {

enum class TABSCompressionAlgorithm : uint8_t { kNone = 0, kZlib = 1, kBzip = 2, kPpm = 3 };

inline constexpr uint8_t kCompressionAlgorithmCount = 4;

// "NONE", "ZLIB", "BZIP", "PPM"; an empty text for an unknown id.
std::string_view CompressionAlgorithmName(uint8_t algorithm);
// Looks a name up without regard to case; false when there is none.
bool CompressionAlgorithmOfName(std::string_view name, uint8_t* algorithm);
bool IsKnownCompressionAlgorithm(uint8_t algorithm);
// Whether `level` lies in the range of the algorithm (NONE accepts any).
bool IsValidCompressionLevel(uint8_t algorithm, int level);

// Block size of a compressed BLOB stream whose settings give none.
int32_t DefaultCompressionBlockSize(int level);

// Compresses `size` bytes. False for NONE, an empty input, a level outside
// the algorithm's range, or a failure of the algorithm; else `output` holds
// the *output_size compressed bytes (the block may be larger).
bool CompressBuffer(uint8_t algorithm, int level, const void* input, int64_t size,
                    TABSMemoryBlock* output, int64_t* output_size);

// Decompresses into a buffer of `expected_size` bytes; output beyond it is a
// failure. False for NONE, an empty input, a failure of the algorithm or an
// output of 0 bytes; else *output_size is the number of bytes produced.
bool DecompressBuffer(uint8_t algorithm, const void* input, int64_t size, int64_t expected_size,
                      TABSMemoryBlock* output, int64_t* output_size);

}  // namespace kelvorin
