// The compressed BLOB stream: block layout and headers, appends that refill
// the last block, checksums, settings and headers read from a container that
// are not trusted, truncation, SetSize, file-like positions, short container
// writes, and random operations against an in-memory model.
#include "db/storage/streams/compressed_blob_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/memory_stream.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kZlib = 1;
constexpr uint8_t kBzip = 2;
constexpr uint8_t kPpm = 3;

Bytes Pattern(size_t size, uint32_t seed = 3) {
  std::mt19937 rng(seed);
  Bytes out(size);
  // Compressible but not trivial: runs of a few random letters.
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>('a' + (rng() % 4) + (i / 500) % 3);
  return out;
}

TABSCompressedStreamSettings MakeSettings(uint8_t algorithm, uint8_t level, int32_t block_size) {
  TABSCompressedStreamSettings s;
  s.algorithm = algorithm;
  s.level = level;
  s.block_size = block_size;
  return s;
}

using testing::ErrorCode;

Bytes ReadAll(TABSStream& stream) {
  Bytes out(static_cast<size_t>(stream.Size()));
  stream.SetPosition(0);
  if (!out.empty()) {
    EXPECT_EQ(stream.Read(out.data(), static_cast<int64_t>(out.size())), stream.Size());
  }
  return out;
}

void PutI32(TABSMemoryStream& s, int64_t at, int32_t v) {
  uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
  std::memcpy(s.Memory() + at, b, 4);
}

TEST(CompressedBlobStream, WritingCutsIntoFullBlocksAndChainsTheirHeaders) {
  TABSMemoryStream container;
  TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kZlib, 6, 102400));
  Bytes data = Pattern(250000);
  EXPECT_EQ(blob.Write(data.data(), 250000), 250000);
  ASSERT_EQ(blob.BlockCount(), 3);
  const int32_t sizes[] = {102400, 102400, 45200};
  int64_t position = 0;
  for (int i = 0; i < 3; ++i) {
    const TABSCompressedBlockHeader& h = blob.BlockHeader(i);
    EXPECT_EQ(h.uncompressed_size, sizes[i]);
    EXPECT_EQ(h.distance, h.compressed_size + 20);
    EXPECT_EQ(blob.BlockPosition(i), position);
    position += h.distance;
  }
  EXPECT_EQ(container.Size(), position);
  EXPECT_GT(blob.CompressionRatio(), 0.0f);

  // An append refills the last block in place and adds none.
  Bytes more = Pattern(1000, 9);
  EXPECT_EQ(blob.Write(more.data(), 1000), 1000);
  EXPECT_EQ(blob.BlockCount(), 3);
  EXPECT_EQ(blob.BlockHeader(2).uncompressed_size, 46200);
  data.insert(data.end(), more.begin(), more.end());

  // The stored settings reopen the stream.
  TABSCompressedStreamSettings stored = blob.Settings();
  EXPECT_EQ(stored.block_count, 3);
  EXPECT_EQ(stored.uncompressed_size, 251000);
  TABSCompressedBLOBStream reopened(container, false, false, stored);
  EXPECT_EQ(ReadAll(reopened), data);
}

TEST(CompressedBlobStream, EmptyStreamsReopenEmpty) {
  for (uint8_t algorithm : {uint8_t{0}, kZlib, kBzip, kPpm}) {
    TABSMemoryStream container;
    TABSCompressedStreamSettings stored;
    {
      TABSCompressedBLOBStream blob(container, false, true, MakeSettings(algorithm, 1, 0));
      EXPECT_EQ(blob.CompressionRatio(), 0.0f);
      stored = blob.Settings();
    }
    EXPECT_EQ(stored.block_count, 0);
    EXPECT_EQ(stored.block_size, algorithm == 0 ? 0 : 524288);
    TABSCompressedBLOBStream reopened(container, false, false, stored);
    EXPECT_EQ(reopened.Size(), 0);
    uint8_t byte;
    EXPECT_EQ(reopened.Read(&byte, 1), 0);
  }
}

TEST(CompressedBlobStream, AlteredChecksumFailsOnReading) {
  TABSMemoryStream container;
  TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kZlib, 1, 1000));
  Bytes data = Pattern(2500);
  blob.Write(data.data(), 2500);
  container.Memory()[blob.BlockPosition(1) + 8] ^= 0x01;
  TABSCompressedBLOBStream reopened(container, false, false, blob.Settings());
  reopened.SetPosition(1500);
  uint8_t byte;
  try {
    reopened.Read(&byte, 1);
    FAIL() << "no error";
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError(), 10089);
    EXPECT_NE(std::string(e.what()).find("Decompress buffer failed. CheckSum = "), std::string::npos);
  }
}

TEST(CompressedBlobStream, SettingsFromAFileAreChecked) {
  TABSMemoryStream container;
  {
    TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kZlib, 1, 100));
    Bytes data = Pattern(250);
    blob.Write(data.data(), 250);
  }
  struct Case {
    const char* name;
    TABSCompressedStreamSettings settings;
    bool new_stream;
    int32_t code;
  };
  auto with = [](TABSCompressedStreamSettings s, auto change) {
    change(s);
    return s;
  };
  TABSCompressedStreamSettings good = MakeSettings(kZlib, 1, 100);
  good.block_count = 3;
  const Case cases[] = {
      {"block size 0, existing", with(good, [](auto& s) { s.block_size = 0; }), false, 10419},
      {"negative block size", with(good, [](auto& s) { s.block_size = -5; }), true, 10419},
      {"unknown algorithm", with(good, [](auto& s) { s.algorithm = 9; }), false, 10085},
      {"PPM level 0", with(good, [](auto& s) { s.algorithm = kPpm, s.level = 0; }), true, 10085},
      {"PPM level 10", with(good, [](auto& s) { s.algorithm = kPpm, s.level = 10; }), true, 10085},
      {"start beyond the container", with(good, [](auto& s) { s.start_position = 1 << 20; }), false, 10103},
      {"negative start", with(good, [](auto& s) { s.start_position = -1; }), false, 10103},
      {"too many blocks", with(good, [](auto& s) { s.block_count = 1000000000; }), false, 10082},
      {"negative block count", with(good, [](auto& s) { s.block_count = -1; }), false, 10082},
      {"stored size beyond the container", with(good, [](auto& s) {
         s.algorithm = 0, s.uncompressed_size = 1 << 20; }), false, 10081},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorCode([&] { TABSCompressedBLOBStream s(container, false, c.new_stream, c.settings); }),
              c.code)
        << c.name;
  }
  // A stored level outside its range does not matter for reading.
  TABSCompressedStreamSettings odd_level = with(good, [](auto& s) { s.level = 77; });
  TABSCompressedBLOBStream readable(container, false, false, odd_level);
  EXPECT_EQ(readable.Size(), 250);
  uint8_t byte = 0;
  EXPECT_EQ(readable.Read(&byte, 1), 1);
  readable.SetPosition(250);
  EXPECT_EQ(ErrorCode([&] { readable.Write(&byte, 1); }), 10085);
}

TEST(CompressedBlobStream, DamagedHeadersAreRejected) {
  Bytes data = Pattern(250);
  struct Case {
    const char* name;
    int block;
    int offset;
    int32_t value;
    int32_t code;
  } cases[] = {
      {"distance 0", 0, 12, 0, 10083},
      {"negative compressed size", 1, 0, -4, 10083},
      {"oversized uncompressed size", 0, 4, 101, 10088},
      {"negative uncompressed size", 2, 4, -1, 10088},
      {"short middle block", 1, 4, 50, 10088},
      {"distance beyond the container", 2, 12, 1 << 30, 10083},
  };
  for (const Case& c : cases) {
    TABSMemoryStream container;
    TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kZlib, 1, 100));
    blob.Write(data.data(), 250);
    PutI32(container, blob.BlockPosition(c.block) + c.offset, c.value);
    if (c.offset == 0) PutI32(container, blob.BlockPosition(c.block) + 12, c.value + 20);
    EXPECT_EQ(ErrorCode([&] { TABSCompressedBLOBStream s(container, false, false, blob.Settings()); }),
              c.code)
        << c.name;
  }
}

TEST(CompressedBlobStream, TruncationIsToleratedWhenAsked) {
  TABSMemoryStream container;
  TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kZlib, 1, 100));
  Bytes data = Pattern(250);
  blob.Write(data.data(), 250);
  TABSCompressedStreamSettings stored = blob.Settings();
  container.SetSize(blob.BlockPosition(2) + 25);  // the last block cut short
  EXPECT_EQ(ErrorCode([&] { TABSCompressedBLOBStream s(container, false, false, stored); }), 10082);
  TABSCompressedBLOBStream tolerant(container, true, false, stored);
  EXPECT_EQ(tolerant.BlockCount(), 2);
  EXPECT_EQ(ReadAll(tolerant), Bytes(data.begin(), data.begin() + 200));
}

TEST(CompressedBlobStream, SetSizeToWholeBlocksKeepsThemAndGrowingAppendsZeros) {
  for (int64_t cut : {0, 100, 200}) {
    TABSMemoryStream container;
    TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kBzip, 1, 100));
    Bytes data = Pattern(250);
    blob.Write(data.data(), 250);
    TABSCompressedBlockHeader first = blob.BlockHeader(0);
    blob.SetSize(cut);
    EXPECT_EQ(blob.Size(), cut);
    EXPECT_EQ(blob.BlockCount(), cut / 100);
    EXPECT_EQ(blob.Position(), cut);
    if (cut > 0) {
      EXPECT_EQ(blob.BlockHeader(0).crc32, first.crc32);
    }
    EXPECT_EQ(container.Size(), cut == 0 ? 0 : blob.BlockPosition(cut / 100 - 1) +
                                                   blob.BlockHeader(cut / 100 - 1).distance);
    // Growing keeps the position and reads back as zeros.
    blob.SetPosition(cut / 2);
    blob.SetSize(cut + 130);
    EXPECT_EQ(blob.Position(), cut / 2);
    Bytes expected(data.begin(), data.begin() + cut);
    expected.resize(static_cast<size_t>(cut + 130), 0);
    EXPECT_EQ(ReadAll(blob), expected);
  }
}

TEST(CompressedBlobStream, PositionsBehaveAsInAFile) {
  TABSMemoryStream container;
  TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kPpm, 2, 64));
  uint8_t buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(blob.Read(buffer, 8), 0);
  EXPECT_EQ(ErrorCode([&] { blob.Seek(-1, TABSSeekOrigin::kBeginning); }), 10102);
  EXPECT_EQ(blob.Seek(70, TABSSeekOrigin::kBeginning), 70);
  EXPECT_EQ(blob.CurrentBlock(), 0);  // an empty stream has only block 0
  blob.SetPosition(0);
  blob.Write(buffer, 8);
  EXPECT_EQ(blob.Read(buffer, 8), 0);
  EXPECT_EQ(blob.Seek(100, TABSSeekOrigin::kCurrent), 108);
  EXPECT_EQ(blob.CurrentBlock(), 1);  // the block that would hold position 108
  EXPECT_EQ(blob.Read(buffer, 8), 0);
  blob.Write(buffer, 2);
  Bytes expected = {1, 2, 3, 4, 5, 6, 7, 8};
  expected.resize(108, 0);
  expected.push_back(1);
  expected.push_back(2);
  EXPECT_EQ(ReadAll(blob), expected);
  EXPECT_EQ(blob.Seek(-10, TABSSeekOrigin::kEnd), 100);
  // Positions that overflow are refused, not wrapped.
  EXPECT_EQ(blob.Seek(INT64_MAX - 1, TABSSeekOrigin::kBeginning), INT64_MAX - 1);
  EXPECT_EQ(blob.Write(buffer, 8), 0);
  EXPECT_EQ(ErrorCode([&] { blob.Seek(10, TABSSeekOrigin::kCurrent); }), 10102);
  EXPECT_EQ(blob.Size(), 110);
}

// A container that takes no more than `limit` bytes, as a full disk.
class FullContainer : public TABSMemoryStream {
 public:
  explicit FullContainer(int64_t limit) : limit_(limit) {}
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t room = std::max<int64_t>(0, limit_ - Position());
    return TABSMemoryStream::Write(buffer, std::min(count, room));
  }

 private:
  int64_t limit_;
};

TEST(CompressedBlobStream, ShortContainerWritesNameTheirPlace) {
  Bytes data = Pattern(250);
  struct Case {
    const char* what;
    int64_t limit;
    bool grow;  // SetSize instead of Write
    int32_t code;
  } cases[] = {{"header of the first block", 10, false, 10100},
               {"data of the first block", 25, false, 10101},
               {"header of a later block", 0, false, 10100},
               {"growing by SetSize", 10, true, 10097}};
  for (const Case& c : cases) {
    int64_t limit = c.limit;
    if (limit == 0) {
      // Room for exactly the first block.
      TABSMemoryStream probe;
      TABSCompressedBLOBStream sizing(probe, false, true, MakeSettings(kZlib, 1, 100));
      sizing.Write(data.data(), 100);
      limit = probe.Size() + 5;
    }
    FullContainer container(limit);
    TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kZlib, 1, 100));
    int32_t code = ErrorCode([&] {
      if (c.grow) {
        blob.SetSize(250);
      } else {
        blob.Write(data.data(), 250);
      }
    });
    EXPECT_EQ(code, c.code) << c.what;
  }
}

TEST(CompressedBlobStream, AFailedWriteKeepsTheBlocksItStored) {
  Bytes data = Pattern(250);
  TABSMemoryStream probe;
  TABSCompressedBLOBStream sizing(probe, false, true, MakeSettings(kZlib, 1, 100));
  sizing.Write(data.data(), 100);
  FullContainer container(probe.Size() + 5);  // room for the first block only
  TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kZlib, 1, 100));
  EXPECT_EQ(ErrorCode([&] { blob.Write(data.data(), 250); }), 10100);
  EXPECT_EQ(blob.BlockCount(), 1);
  EXPECT_EQ(blob.Size(), 100);
  TABSCompressedBLOBStream reopened(container, false, false, blob.Settings());
  EXPECT_EQ(ReadAll(reopened), Bytes(data.begin(), data.begin() + 100));
}

// A container that cannot be made smaller.
class UncuttableContainer : public TABSMemoryStream {
 public:
  void SetSize(int64_t size) override {
    if (size >= Size()) TABSMemoryStream::SetSize(size);
  }
};

TEST(CompressedBlobStream, AContainerThatKeepsItsSizeFailsTheCut) {
  Bytes data = Pattern(250);
  struct Case {
    const char* what;
    bool write;  // cut by writing before the end, else by SetSize
    int32_t code;
  } cases[] = {{"write before the end", true, 10092}, {"SetSize", false, 10093}};
  for (const Case& c : cases) {
    UncuttableContainer container;
    TABSCompressedBLOBStream blob(container, false, true, MakeSettings(kZlib, 1, 100));
    blob.Write(data.data(), 250);
    int32_t code = ErrorCode([&] {
      if (c.write) {
        blob.SetPosition(100);
        blob.Write(data.data(), 10);
      } else {
        blob.SetSize(100);
      }
    });
    EXPECT_EQ(code, c.code) << c.what;
  }
}

TEST(CompressedBlobStream, RandomOperationsMatchAnInMemoryModel) {
  for (uint8_t algorithm : {uint8_t{0}, kZlib, kBzip, kPpm}) {
    SCOPED_TRACE(int(algorithm));
    std::mt19937 rng(algorithm + 1u);
    TABSMemoryStream container;
    TABSCompressedStreamSettings settings = MakeSettings(algorithm, algorithm == kZlib ? 0 : 1, 300);
    auto blob = std::make_unique<TABSCompressedBLOBStream>(container, false, true, settings);
    Bytes model;
    int64_t position = 0;
    for (int step = 0; step < 120; ++step) {
      switch (rng() % 5) {
        case 0:
        case 1: {
          Bytes chunk = Pattern(rng() % 700, static_cast<uint32_t>(step));
          EXPECT_EQ(blob->Write(chunk.data(), static_cast<int64_t>(chunk.size())),
                    static_cast<int64_t>(chunk.size()));
          if (!chunk.empty()) {
            // A compressed stream is cut at the position; a stored one is
            // overwritten in place, as a file.
            size_t end = static_cast<size_t>(position) + chunk.size();
            if (algorithm != 0) model.resize(static_cast<size_t>(position));
            model.resize(std::max(model.size(), end), 0);
            std::copy(chunk.begin(), chunk.end(), model.begin() + position);
            position += static_cast<int64_t>(chunk.size());
          }
          break;
        }
        case 2: {
          position = static_cast<int64_t>(rng() % (model.size() + 50));
          EXPECT_EQ(blob->Seek(position, TABSSeekOrigin::kBeginning), position);
          break;
        }
        case 3: {
          int64_t size = static_cast<int64_t>(rng() % (model.size() + 400));
          if (rng() % 4 == 0) size = size / 300 * 300;
          blob->SetSize(size);
          model.resize(static_cast<size_t>(size), 0);
          position = std::min(position, size);
          break;
        }
        default: {
          Bytes got(rng() % 500);
          int64_t n = blob->Read(got.data(), static_cast<int64_t>(got.size()));
          int64_t expected = std::max<int64_t>(
              0, std::min<int64_t>(static_cast<int64_t>(got.size()),
                                   static_cast<int64_t>(model.size()) - position));
          ASSERT_EQ(n, expected);
          EXPECT_TRUE(std::equal(got.begin(), got.begin() + n, model.begin() + position));
          position += n;
        }
      }
      ASSERT_EQ(blob->Size(), static_cast<int64_t>(model.size()));
      ASSERT_EQ(blob->Position(), position);
      if (step % 20 == 19) {
        TABSCompressedStreamSettings stored = blob->Settings();
        blob = std::make_unique<TABSCompressedBLOBStream>(container, false, false, stored);
        EXPECT_EQ(ReadAll(*blob), model);
        blob->SetPosition(position);
      }
    }
  }
}

}  // namespace
}  // namespace kelvorin
