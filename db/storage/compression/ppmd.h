// The "PPM" compression algorithm: PPMd variant G with the engine's nine
// levels. A compressed buffer starts with a 4-byte little-endian header word
// ((model memory in MB - 1) << 4) | (model order - 1) | 0x6000, followed by
// the range-coded symbols and an end marker (an escape out of every context).
// The decoder reads model order and memory from the header word, so any
// stored buffer decodes without knowing the level that wrote it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db/storage/compression/ppmd_range_coder.h"

namespace kelvorin::ppmd {

struct ModelSettings {
  int order;      // 1..16
  int memory_mb;  // 1..256
};

inline constexpr int kMinLevel = 1;
inline constexpr int kMaxLevel = 9;
inline constexpr size_t kHeaderSize = 4;

// Model settings of a level 1..9; false for any other level.
bool SettingsOfLevel(int level, ModelSettings* settings);
uint32_t HeaderWord(const ModelSettings& settings);
// False when the word does not carry the 0x6000 mark.
bool SettingsOfHeader(uint32_t word, ModelSettings* settings);
inline uint32_t ArenaSize(const ModelSettings& settings) {
  return static_cast<uint32_t>(settings.memory_mb) << 20;
}

// Writes header and code for `size` input bytes into the sink; the arena of
// ArenaSize(settings) bytes (4-byte aligned) is the model memory. Returns the
// number of bytes written, or 0 when the sink could not grow.
size_t Encode(const uint8_t* input, size_t size, const ModelSettings& settings,
              uint8_t* arena, ByteSink* sink);

// Decodes the code part of a buffer (after the header word) into at most
// `capacity` bytes. False for damaged input: a count out of range, input that
// ends early, or more output than `capacity`. On success *out_size is the
// number of bytes decoded.
bool Decode(const uint8_t* code, size_t size, const ModelSettings& settings, uint8_t* arena,
            uint8_t* output, size_t capacity, size_t* out_size);

}  // namespace kelvorin::ppmd
