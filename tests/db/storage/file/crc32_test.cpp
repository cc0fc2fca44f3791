// The engine's CRC-32, linked on its own (no file layer, no Crypto++).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "db/storage/file/crc32.h"

namespace kelvorin {
namespace {

// Bit by bit, as the variant is defined: reflected 0xEDB88320, from 0, no
// final inversion.
uint32_t BitwiseCrc(const uint8_t* data, size_t size) {
  uint32_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return crc;
}

TEST(Crc32, MatchesTheEngineVariant) {
  EXPECT_EQ(AbsCrc32("abc", 3), 0xCA6598D0u);
  EXPECT_EQ(AbsCrc32("", 0), 0u);
  // Running in two parts equals one pass.
  EXPECT_EQ(AbsCrc32("c", 1, AbsCrc32("ab", 2)), 0xCA6598D0u);
}

TEST(Crc32, EightBytesAtATimeEqualsBitByBitAtEveryLengthAndAlignment) {
  std::vector<uint8_t> bytes(80);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  for (size_t start = 0; start < 8; ++start) {
    for (size_t size = 0; start + size <= bytes.size(); ++size) {
      ASSERT_EQ(AbsCrc32(bytes.data() + start, size), BitwiseCrc(bytes.data() + start, size))
          << "start " << start << " size " << size;
      const size_t half = size / 2;
      ASSERT_EQ(AbsCrc32(bytes.data() + start + half, size - half, AbsCrc32(bytes.data() + start, half)),
                BitwiseCrc(bytes.data() + start, size));
    }
  }
}

}  // namespace
}  // namespace kelvorin
