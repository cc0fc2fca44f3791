// The engine's plain streams: memory streams zero-fill gaps and free their
// buffer, the temporary stream moves into an unnamed file beyond 1 MiB, file
// streams raise their open and create errors, copies report progress.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdint>
#include <string>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/file_stream.h"
#include "db/storage/streams/memory_stream.h"
#include "db/storage/streams/temporary_stream.h"

namespace kelvorin {
namespace {

using Bytes = std::vector<uint8_t>;

int OpenDescriptors() {
  int n = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (readdir(dir) != nullptr) ++n;
  closedir(dir);
  return n;
}

TEST(MemoryStream, WritingPastTheEndZeroFillsAndSizeZeroFrees) {
  TABSMemoryStream s;
  s.Seek(5, TABSSeekOrigin::kBeginning);
  uint8_t byte = 0x77;
  EXPECT_EQ(s.Write(&byte, 1), 1);
  ASSERT_EQ(s.Size(), 6);
  EXPECT_EQ(Bytes(s.Memory(), s.Memory() + 6), (Bytes{0, 0, 0, 0, 0, 0x77}));
  s.SetSize(0);
  EXPECT_EQ(s.Memory(), nullptr);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.Read(&byte, 1), 0);
  EXPECT_THROW(s.Seek(-1, TABSSeekOrigin::kCurrent), EABSException);
}

TEST(TemporaryStream, MovesIntoAFileBeyondOneMegabyteThatDisappearsWhenFreed) {
  int before = OpenDescriptors();
  Bytes data(1048576, 0x3C);
  {
    TABSTemporaryStream s;
    EXPECT_EQ(s.Write(data.data(), 1048576), 1048576);
    EXPECT_TRUE(s.InMemory());
    s.SetPosition(10);
    uint8_t byte = 0x01;
    s.Seek(0, TABSSeekOrigin::kEnd);
    EXPECT_EQ(s.Write(&byte, 1), 1);
    EXPECT_FALSE(s.InMemory());
    EXPECT_EQ(s.Size(), 1048577);
    EXPECT_EQ(s.Position(), 1048577);
    EXPECT_EQ(OpenDescriptors(), before + 1);
    Bytes back(1048577);
    s.SetPosition(0);
    EXPECT_EQ(s.Read(back.data(), 1048577), 1048577);
    data.push_back(0x01);
    EXPECT_EQ(back, data);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST(TemporaryStream, CarriesThePositionIntoTheFileAndRefusesOverflowingWrites) {
  Bytes data(1048576, 0x3C);
  TABSTemporaryStream s;
  s.Write(data.data(), 1048576);
  // A write inside the stream that ends beyond the limit moves it, and the
  // write lands at the position it had in memory.
  Bytes more(1000, 0x5A);
  s.SetPosition(1048000);
  EXPECT_EQ(s.Write(more.data(), 1000), 1000);
  EXPECT_FALSE(s.InMemory());
  EXPECT_EQ(s.Size(), 1049000);
  Bytes back(1049000);
  s.SetPosition(0);
  EXPECT_EQ(s.Read(back.data(), 1049000), 1049000);
  data.resize(1048000);
  data.insert(data.end(), more.begin(), more.end());
  EXPECT_EQ(back, data);

  TABSTemporaryStream small;
  small.Seek(INT64_MAX - 1, TABSSeekOrigin::kBeginning);
  EXPECT_EQ(small.Write(more.data(), 8), 0);
  EXPECT_TRUE(small.InMemory());
  EXPECT_EQ(small.Size(), 0);
}

TEST(FileStream, MissingFilesRaiseTheCreateAndOpenErrors) {
  struct Case {
    uint32_t mode;
    int32_t code;
    const char* text;
  } cases[] = {{TABSFileStream::kCreate, 10104, "Cannot create file. FileName = /nonexistent/dir/f"},
               {TABSFileStream::kOpenRead, 10105, "Cannot open file. FileName = /nonexistent/dir/f, Mode = 0"}};
  for (const Case& c : cases) {
    try {
      TABSFileStream s("/nonexistent/dir/f", c.mode);
      FAIL();
    } catch (const EABSException& e) {
      EXPECT_EQ(e.NativeError(), c.code);
      EXPECT_EQ(std::string(e.what()).rfind(c.text, 0), 0u) << e.what();
    }
  }
}

TEST(FileStream, CreatedFileReadsBackAndReopens) {
  std::string name = "file_stream_test.bin";
  {
    TABSFileStream s(name, TABSFileStream::kCreate);
    Bytes data = {1, 2, 3};
    s.Seek(2, TABSSeekOrigin::kBeginning);
    EXPECT_EQ(s.Write(data.data(), 3), 3);
    EXPECT_EQ(s.Size(), 5);
  }
  TABSFileStream s(name, TABSFileStream::kOpenRead);
  Bytes back(8);
  EXPECT_EQ(s.Read(back.data(), 8), 5);
  EXPECT_EQ(Bytes(back.begin(), back.begin() + 5), (Bytes{0, 0, 1, 2, 3}));
  EXPECT_EQ(s.Read(back.data(), 8), 0);
  std::remove(name.c_str());
}

TEST(Stream, CopyReportsProgressAndRestoresBothPositions) {
  TABSMemoryStream source;
  Bytes data(250000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  source.Write(data.data(), 250000);
  source.SetPosition(17);
  TABSTemporaryStream target;
  std::vector<int> progress;
  source.on_progress = [&](int percent) { progress.push_back(percent); };
  source.SaveToStream(target);
  EXPECT_EQ(progress, (std::vector<int>{0, 40, 81, 100, 100}));
  EXPECT_EQ(source.Position(), 17);
  EXPECT_EQ(target.Position(), 0);
  Bytes back(250000);
  EXPECT_EQ(target.Read(back.data(), 250000), 250000);
  EXPECT_EQ(back, data);

  source.SetBlockSize(0);
  try {
    source.SaveToStream(target);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError(), 10418);
  }
}

}  // namespace
}  // namespace kelvorin
