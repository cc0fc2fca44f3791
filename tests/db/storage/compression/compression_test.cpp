// The compression layer: every algorithm and level round-trips empty, short,
// text, random and repetitive inputs; the PPM header word and its ratio
// against zlib; refused inputs and levels; damaged and truncated input never
// decodes past its buffer.
#include "db/storage/compression/compression.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/memory/memory_manager.h"

namespace kelvorin {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes TextInput(size_t size) {
  static const char* words[] = {"table ", "player ", "round ", "score ", "seat ", "the ", "of ",
                                "Kolo ", "Stul\n", "id_hrace, ", "SELECT MAX(id) FROM hraci; "};
  std::mt19937 rng(7);
  Bytes out;
  while (out.size() < size) {
    const char* w = words[rng() % std::size(words)];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(size);
  return out;
}

Bytes RandomInput(size_t size) {
  std::mt19937 rng(11);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

struct Input {
  const char* name;
  Bytes bytes;
};

std::vector<Input> Inputs() {
  return {{"one", Bytes{0x41}},
          {"text", TextInput(12000)},
          {"random", RandomInput(6000)},
          {"repetitive", Bytes(30000, 0xAB)}};
}

struct AlgorithmLevels {
  TABSCompressionAlgorithm algorithm;
  int first;
  int last;
};

constexpr AlgorithmLevels kAlgorithms[] = {{TABSCompressionAlgorithm::kZlib, 0, 9},
                                           {TABSCompressionAlgorithm::kBzip, 1, 9},
                                           {TABSCompressionAlgorithm::kPpm, 1, 9}};

Bytes Compress(TABSCompressionAlgorithm algorithm, int level, const Bytes& in) {
  TABSMemoryBlock out;
  int64_t size = 0;
  EXPECT_TRUE(CompressBuffer(static_cast<uint8_t>(algorithm), level, in.data(),
                             static_cast<int64_t>(in.size()), &out, &size));
  EXPECT_LE(size, out.size());
  return Bytes(out.bytes(), out.bytes() + size);
}

bool Decompress(TABSCompressionAlgorithm algorithm, const Bytes& in, int64_t expected, Bytes* out) {
  TABSMemoryBlock block;
  int64_t size = 0;
  bool ok = DecompressBuffer(static_cast<uint8_t>(algorithm), in.data(),
                             static_cast<int64_t>(in.size()), expected, &block, &size);
  if (ok) out->assign(block.bytes(), block.bytes() + size);
  return ok;
}

TEST(Compression, EveryAlgorithmAndLevelRoundTripsEveryInput) {
  for (const Input& input : Inputs()) {
    for (const AlgorithmLevels& a : kAlgorithms) {
      for (int level = a.first; level <= a.last; ++level) {
        SCOPED_TRACE(std::string(input.name) + " " +
                     std::string(CompressionAlgorithmName(static_cast<uint8_t>(a.algorithm))) +
                     " level " + std::to_string(level));
        Bytes packed = Compress(a.algorithm, level, input.bytes);
        Bytes unpacked;
        ASSERT_TRUE(Decompress(a.algorithm, packed, static_cast<int64_t>(input.bytes.size()), &unpacked));
        EXPECT_EQ(unpacked, input.bytes);
      }
    }
  }
}

TEST(Compression, EmptyInputNoneAndLevelsOutOfRangeFail) {
  Bytes in = TextInput(100);
  struct Case {
    uint8_t algorithm;
    int level;
    int64_t size;
  } cases[] = {{1, 5, 0}, {2, 5, 0}, {3, 5, 0}, {0, 0, 100}, {1, -1, 100}, {1, 10, 100},
               {2, 0, 100}, {2, 10, 100}, {3, 0, 100}, {3, 10, 100}, {7, 1, 100}};
  for (const Case& c : cases) {
    TABSMemoryBlock out;
    int64_t size = 1;
    EXPECT_FALSE(CompressBuffer(c.algorithm, c.level, in.data(), c.size, &out, &size))
        << int(c.algorithm) << " " << c.level;
    EXPECT_EQ(size, 0);
  }
}

TEST(Compression, PpmLevelFiveStartsWithItsHeaderWord) {
  Bytes packed = Compress(TABSCompressionAlgorithm::kPpm, 5, TextInput(500));
  ASSERT_GE(packed.size(), 4u);
  EXPECT_EQ(packed[0], 0x56);
  EXPECT_EQ(packed[1], 0x61);
  EXPECT_EQ(packed[2], 0x00);
  EXPECT_EQ(packed[3], 0x00);
}

TEST(Compression, PpmCompressesTextBetterThanZlibAtLevelNine) {
  Bytes text = TextInput(12000);
  EXPECT_LT(Compress(TABSCompressionAlgorithm::kPpm, 9, text).size() * 10,
            Compress(TABSCompressionAlgorithm::kZlib, 9, text).size() * 9);
}

TEST(Compression, PpmStoresIncompressibleDataBeyondItsFirstBuffer) {
  // Small random inputs expand by more than size / 20 + 50 bytes.
  for (size_t size : {1u, 2u, 40u, 300u}) {
    Bytes in = RandomInput(size);
    Bytes packed = Compress(TABSCompressionAlgorithm::kPpm, 9, in);
    Bytes out;
    ASSERT_TRUE(Decompress(TABSCompressionAlgorithm::kPpm, packed, static_cast<int64_t>(size), &out));
    EXPECT_EQ(out, in);
  }
}

// An output buffer that cannot grow under a memory limit fails the call; the
// library's own work memory must still go back to the memory manager.
TEST(Compression, AnOutputBeyondTheMemoryLimitLeaksNoLibraryState) {
  struct Case {
    TABSCompressionAlgorithm algorithm;
    int level;
  };
  const Case cases[] = {{TABSCompressionAlgorithm::kZlib, 9}, {TABSCompressionAlgorithm::kBzip, 1}};
  Bytes in = RandomInput(4 << 20);
  TABSMemoryManager& memory = MemoryManager();
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.algorithm));
    int64_t before = memory.AllocatedBytes();
    memory.SetMemoryLimit(before + (3 << 20));  // room for the work memory, not for the output
    bool compressed = true;
    try {
      TABSMemoryBlock out;
      int64_t out_size = 0;
      compressed = CompressBuffer(static_cast<uint8_t>(c.algorithm), c.level, in.data(),
                                  static_cast<int64_t>(in.size()), &out, &out_size);
    } catch (const EABSException&) {
      compressed = false;
    }
    memory.SetMemoryLimit(0);
    EXPECT_FALSE(compressed);
    EXPECT_EQ(memory.AllocatedBytes(), before);
  }
}

TEST(Compression, DecompressingIntoTooSmallABufferFails) {
  Bytes text = TextInput(5000);
  for (const AlgorithmLevels& a : kAlgorithms) {
    Bytes packed = Compress(a.algorithm, a.last, text);
    Bytes out;
    EXPECT_FALSE(Decompress(a.algorithm, packed, 4999, &out));
    EXPECT_FALSE(Decompress(a.algorithm, packed, 0, &out));
  }
}

TEST(Compression, DamagedInputFailsOrDecodesWithoutOverrun) {
  Bytes text = TextInput(3000);
  for (const AlgorithmLevels& a : kAlgorithms) {
    Bytes packed = Compress(a.algorithm, a.first + 1, text);
    for (size_t cut = 0; cut < packed.size(); cut += 7) {
      Bytes truncated(packed.begin(), packed.begin() + cut);
      Bytes out;
      if (Decompress(a.algorithm, truncated, 3000, &out)) {
        EXPECT_LE(out.size(), 3000u);
      }
    }
    for (size_t i = 0; i < packed.size(); i += 5) {
      Bytes flipped = packed;
      flipped[i] ^= 0x5A;
      Bytes out;
      if (Decompress(a.algorithm, flipped, 3000, &out)) {
        EXPECT_LE(out.size(), 3000u);
      }
    }
  }
}

TEST(Compression, AlgorithmNamesAreFoundWithoutRegardToCase) {
  struct Case {
    const char* name;
    bool found;
    uint8_t id;
  } cases[] = {{"NONE", true, 0}, {"zlib", true, 1}, {"Bzip", true, 2}, {"ppm", true, 3},
               {"PPMD", false, 0}, {"", false, 0}};
  for (const Case& c : cases) {
    uint8_t id = 99;
    EXPECT_EQ(CompressionAlgorithmOfName(c.name, &id), c.found) << c.name;
    if (c.found) {
      EXPECT_EQ(id, c.id);
    }
  }
  EXPECT_EQ(CompressionAlgorithmName(3), "PPM");
  EXPECT_EQ(CompressionAlgorithmName(4), "");
}

TEST(Compression, DefaultBlockSizeFollowsTheLevel) {
  const int32_t expected[] = {102400, 524288, 524288, 524288, 1048576,
                              1048576, 1048576, 1572864, 1572864, 1572864};
  for (int level = 0; level <= 9; ++level) {
    EXPECT_EQ(DefaultCompressionBlockSize(level), expected[level]) << level;
  }
}

}  // namespace
}  // namespace kelvorin
