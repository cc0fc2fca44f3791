// Transacted and direct-access internal files: sizes and chains, reading
// back plain and compressed content, byte locks, and crafted headers and
// chains that must give engine errors only.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "db/storage/catalog/direct_file.h"
#include "db/storage/catalog/transacted_file.h"
#include "db/storage/compression/compression.h"
#include "db/storage/pages/page_hold.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::ErrorOf;

constexpr uint8_t kZlib = static_cast<uint8_t>(TABSCompressionAlgorithm::kZlib);
constexpr int32_t kSession = 1;

std::string Content(int32_t size, uint32_t seed) {
  std::string bytes(static_cast<size_t>(size), '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    // Compressible but not trivially so.
    c = static_cast<char>('a' + (x >> 16) % 7);
  }
  return bytes;
}

class InternalFileTest : public testing::StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    m_.Random().Seed(5);
    m_.CreateDatabaseFile(Path(), {}, 8, 4096);
    Reopen();
  }
  // Shared, as a database is used (creating opens the file exclusively).
  void Reopen() {
    m_.CloseDiscarding();
    bool multi = false, ro = false;
    m_.OpenDatabaseFile(Path(), {}, multi, false, ro);
  }

  std::string ReadBack(TABSInternalDBTransactedAccessFile& file) {
    int32_t size = 0;
    const TABSMemoryBlock block = file.ReadAll(kSession, &size);
    return std::string(block.chars() == nullptr ? "" : std::string(block.chars(), size));
  }
  void Commit() { m_.CommitSession(kSession); }
  // Changes bytes of a committed page on disk, behind the cache.
  void Patch(int32_t page_no, int32_t offset, const std::vector<uint8_t>& bytes) {
    m_.CloseDiscarding();
    std::vector<uint8_t> file = ReadAll(Path());
    std::memcpy(file.data() + 380 + int64_t{page_no} * 4096 + offset, bytes.data(), bytes.size());
    WriteAll(Path(), file);
    Reopen();
  }

  TABSDiskPageManager m_;
};

TEST_F(InternalFileTest, SizesAroundOnePageReadBackPlainAndCompressed) {
  const int32_t d = m_.DataSize();
  for (const uint8_t algorithm : {uint8_t{0}, kZlib}) {
    for (const int32_t size : {0, 1, d - 11, d - 10, d - 9, 2 * d - 10, 2 * d - 9, 5000, 100, 5000}) {
      SCOPED_TRACE("algorithm " + std::to_string(algorithm) + ", size " + std::to_string(size));
      TABSInternalDBTransactedAccessFile file(m_, ptTableMetaData);
      file.Create(kSession);
      const std::string content = Content(size, static_cast<uint32_t>(size));
      file.WriteFile(kSession, content.data(), size, algorithm, 1);
      Commit();
      EXPECT_EQ(ReadBack(file), content);
      const TABSInternalFileHeader h = file.GetSize(kSession);
      EXPECT_EQ(h.uncompressed_size, size);
      EXPECT_EQ(h.algorithm, size == 0 ? 0 : algorithm) << "an empty content is stored plain";
      EXPECT_EQ(static_cast<int64_t>(file.ChainPages(kSession).size()), InternalFilePagesFor(h.stored_size, d));
      file.Delete(kSession);
      Commit();
    }
  }
  ExpectClean(Path());
}

TEST_F(InternalFileTest, ShrinkingKeepsTheFirstPageAndGrowingAddsOne) {
  TABSInternalDBTransactedAccessFile file(m_, ptTableMostUpdated);
  file.Create(kSession);
  const std::string big = Content(5000, 1), small = Content(100, 2);
  file.WriteFile(kSession, big.data(), 5000, 0, 0);
  Commit();
  const std::vector<int32_t> two = file.ChainPages(kSession);
  ASSERT_EQ(two.size(), 2u);
  file.WriteFile(kSession, small.data(), 100, 0, 0);
  Commit();
  EXPECT_EQ(file.ChainPages(kSession), std::vector<int32_t>{two[0]});
  EXPECT_EQ(ReadBack(file), small);
  const int32_t last_before = m_.Header().last_used_page;
  file.WriteFile(kSession, big.data(), 5000, 0, 0);
  Commit();
  const std::vector<int32_t> again = file.ChainPages(kSession);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[0], two[0]);
  EXPECT_LE(m_.Header().last_used_page, last_before + 1) << "one new page";
  EXPECT_EQ(ReadBack(file), big);
  ExpectClean(Path());
}

TEST_F(InternalFileTest, ClosedAndOpenFilesRefuseWhatTheyCannotDo) {
  TABSInternalDBTransactedAccessFile file(m_, ptTableList);
  char byte = 0;
  const std::vector<std::pair<std::string, std::function<void()>>> closed = {
      {"SetSize", [&] { file.SetSize(kSession, 0, 0, 0); }},
      {"GetSize", [&] { file.GetSize(kSession); }},
      {"ReadFile", [&] { file.ReadFile(kSession, &byte, 1); }},
      {"WriteFile", [&] { file.WriteFile(kSession, &byte, 1, 0, 0); }},
      {"Delete", [&] { file.Delete(kSession); }},
  };
  for (const auto& [name, call] : closed) {
    EXPECT_EQ(ErrorOf(call), "Cannot perform this operation (" + name +
                                 ") on closed internal file - Native error: 30389");
  }
  file.Create(kSession);
  EXPECT_EQ(ErrorOf([&] { file.Create(kSession); }),
            "Cannot create Internal file. File already exists. StartPageNo=" + std::to_string(file.StartPage()) +
                " - Native error: 30383");
  file.WriteFile(kSession, "abc", 3, 0, 0);
  EXPECT_EQ(ErrorOf([&] { file.ReadFile(kSession, &byte, 4); }),
            "Cannot Read internal file. FileSize=3. ReadSize=4 - Native error: 30387");
  m_.RollbackSession(kSession);
}

// A file whose pages are changed on disk: every reading and writing path must
// refuse it with an engine error, never crash, loop or allocate from it.
TEST_F(InternalFileTest, CraftedHeadersAndChainsGiveEngineErrors) {
  struct Case {
    std::string name;
    int32_t page_index;  // which page of the chain is patched
    int32_t offset;      // within the page
    std::vector<uint8_t> bytes;
    int32_t code;  // of reading the whole file
  };
  const auto i32 = [](int32_t v) {
    std::vector<uint8_t> b(4);
    StoreI32(b.data(), v);
    return b;
  };
  const int32_t data = 40;  // data area offset
  std::vector<Case> cases = {
      {"header size 0", 0, data, {0}, 10701},
      {"header size 11", 0, data, {11}, 10701},
      {"negative stored size", 0, data + 1, i32(-1), 10701},
      {"stored size beyond the chain", 0, data + 1, i32(0x7FFFFFF0), 10701},
      {"plain uncompressed size unlike stored", 0, data + 5, i32(7000), 10701},
      {"unknown algorithm", 0, data + 9, {2}, 10701},
      {"chain ends early", 0, 10, i32(-1), 30388},
      {"chain loops to itself", 1, 10, i32(-2), 10703},  // -2: the page's own number, filled in below
      {"chain leaves the file", 0, 10, i32(999999), 10474},
      {"chain meets another type", 1, 8, {ptTableList, 0}, 20153},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    TABSInternalDBTransactedAccessFile file(m_, ptTableMetaData);
    file.Create(kSession);
    const std::string content = Content(9000, 3);
    file.WriteFile(kSession, content.data(), 9000, 0, 0);
    Commit();
    const std::vector<int32_t> chain = file.ChainPages(kSession);
    ASSERT_EQ(chain.size(), 3u);
    if (c.bytes == i32(-2)) c.bytes = i32(chain[c.page_index]);
    if (c.name == "stored size beyond the chain") {
      // Plain: stored and uncompressed sizes agree, the chain cannot hold them.
      Patch(chain[0], data + 5, i32(0x7FFFFFF0));
      c.code = 30388;
    }
    Patch(chain[c.page_index], c.offset, c.bytes);
    TABSInternalDBTransactedAccessFile damaged(m_, ptTableMetaData);
    damaged.Open(chain[0]);
    int32_t size = 0;
    EXPECT_EQ(ErrorCode([&] { damaged.ReadAll(kSession, &size); }), c.code);
    // Rewriting and deleting check the chain before changing anything.
    EXPECT_NE(ErrorCode([&] { damaged.WriteFile(kSession, "x", 1, 0, 0); }), 0);
    EXPECT_NE(ErrorCode([&] { damaged.Delete(kSession); }), 0);
    EXPECT_EQ(m_.DirtyPageCount(kSession), 0);
    m_.RollbackSession(kSession);
  }
}

TEST_F(InternalFileTest, CraftedCompressedContentGivesEngineErrors) {
  const std::string content = Content(20000, 4);
  struct Case {
    std::string name;
    int32_t uncompressed;   // header value written over the real one
    bool damage_stream;     // flip bytes inside the compressed stream
    int32_t code;
  };
  const std::vector<Case> cases = {
      {"an uncompressed size no deflate stream can reach", 0x7FFFFFF0, false, 10701},
      {"an uncompressed size larger than the stream gives", 20001, false, 20189},
      {"an uncompressed size smaller than the stream gives", 19999, false, 20189},
      {"a damaged stream", 20000, true, 20189},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TABSInternalDBTransactedAccessFile file(m_, ptTableMetaData);
    file.Create(kSession);
    file.WriteFile(kSession, content.data(), 20000, kZlib, 1);
    Commit();
    const int32_t start = file.StartPage();
    std::vector<uint8_t> size(4);
    StoreI32(size.data(), c.uncompressed);
    Patch(start, 40 + 5, size);
    if (c.damage_stream) Patch(start, 40 + 30, {0xFF, 0x00, 0xFF, 0x00, 0x13});
    // Nothing is allocated from an unchecked size: a limit far below it
    // would otherwise be the error.
    MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + (4 << 20));
    int32_t read = 0;
    EXPECT_EQ(ErrorCode([&] { file.ReadAll(kSession, &read); }), c.code);
    MemoryManager().SetMemoryLimit(0);
  }
}

TEST_F(InternalFileTest, DirectFilePagesAndBytes) {
  const int32_t d = m_.DataSize();
  struct Case {
    int32_t size;
    size_t pages;
  };
  for (const Case c : {Case{4046, 1}, Case{4047, 2}, Case{0, 1}, Case{3 * d, 4}}) {
    SCOPED_TRACE(c.size);
    TABSInternalDBDirectAccessFile file(m_, ptTableLocks);
    file.Create(c.size);
    m_.CommitSession(kSystemSessionId);
    TABSInternalDBDirectAccessFile opened(m_, ptTableLocks);
    opened.Open(file.StartPage());
    EXPECT_EQ(opened.Pages().size(), c.pages);
    EXPECT_EQ(opened.GetSize(), c.size);
    std::vector<uint8_t> bytes(static_cast<size_t>(c.size));
    std::iota(bytes.begin(), bytes.end(), uint8_t{7});
    EXPECT_EQ(opened.DirectWriteBuffer(bytes.data(), c.size, 0), c.size);
    std::vector<uint8_t> back(bytes.size() + 10, 0);
    EXPECT_EQ(opened.DirectReadBuffer(back.data(), c.size + 10, 0), c.size) << "never past the content";
    back.resize(bytes.size());
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(ErrorOf([&] { opened.DirectReadBuffer(back.data(), 1, c.size + 1); }),
              "Seek position bigger then file size. FileSize=" + std::to_string(c.size) + ". Position=" +
                  std::to_string(c.size + 1) + " - Native error: 20159");
    EXPECT_EQ(ErrorCode([&] { opened.DirectWriteBuffer(bytes.data(), 1, c.size); }), 20158);
    opened.Delete();
    m_.CommitSession(kSystemSessionId);
  }
  ExpectClean(Path());
}

TEST_F(InternalFileTest, DirectFileByteLocksFollowTheChain) {
  TABSInternalDBDirectAccessFile file(m_, ptActiveSessionList);
  file.Create(5000);
  m_.CommitSession(kSystemSessionId);
  TABSDiskPageManager other;
  bool multi = true, ro = false;
  other.OpenDatabaseFile(Path(), {}, multi, false, ro);
  TABSInternalDBDirectAccessFile seen(other, ptActiveSessionList);
  seen.Open(file.StartPage());
  // Content byte 4046 is the first data byte of the second page.
  ASSERT_TRUE(file.LockByte(4046));
  EXPECT_TRUE(seen.IsByteLocked(4046));
  EXPECT_TRUE(other.IsPageByteLocked(file.Pages()[1], 40));
  EXPECT_FALSE(seen.IsByteLocked(4045));
  EXPECT_TRUE(seen.IsRegionLocked(4000, 100));
  EXPECT_FALSE(seen.IsRegionLocked(0, 4046));
  EXPECT_FALSE(seen.IsRegionLocked(4046, 0));
  EXPECT_FALSE(seen.LockRegion(4040, 10)) << "all or nothing";
  EXPECT_FALSE(seen.IsByteLocked(4040)) << "no part kept";
  EXPECT_TRUE(file.UnlockByte(4046));
  EXPECT_TRUE(seen.LockRegion(4040, 10));
  ASSERT_TRUE(file.LockFile());
  EXPECT_TRUE(other.IsPageByteLocked(file.StartPage(), 0));
  EXPECT_FALSE(seen.LockFile());
  EXPECT_TRUE(file.UnlockFile());
  EXPECT_FALSE(file.LockByte(5000)) << "outside the content";
}

TEST_F(InternalFileTest, CraftedDirectFileChainsGiveEngineErrors) {
  TABSInternalDBDirectAccessFile file(m_, ptTableLocks);
  file.Create(6000);
  m_.CommitSession(kSystemSessionId);
  const std::vector<int32_t> pages = file.Pages();
  const auto i32 = [](int32_t v) {
    std::vector<uint8_t> b(4);
    StoreI32(b.data(), v);
    return b;
  };
  struct Case {
    std::string name;
    int32_t page;
    int32_t offset;
    std::vector<uint8_t> bytes;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {"another page type", pages[1], 8, {ptTableList, 0}, 20155},
      {"a loop", pages[1], 10, i32(pages[0]), 10703},
      {"a link out of the file", pages[1], 10, i32(1 << 30), 10715},
      {"a negative link", pages[0], 10, i32(-7), 10715},
      {"a header size of 9", pages[0], 40, {9}, 10716},
      {"a size the chain cannot hold", pages[0], 41, i32(9000), 10716},
      {"a size needing fewer pages", pages[0], 41, i32(10), 10716},
  };
  const std::vector<uint8_t> original = ReadAll(Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_.CloseDiscarding();
    std::vector<uint8_t> bytes = original;
    std::memcpy(bytes.data() + 380 + int64_t{c.page} * 4096 + c.offset, c.bytes.data(), c.bytes.size());
    WriteAll(Path(), bytes);
    Reopen();
    TABSInternalDBDirectAccessFile damaged(m_, ptTableLocks);
    EXPECT_EQ(ErrorCode([&] { damaged.Open(pages[0]); }), c.code);
    EXPECT_FALSE(damaged.IsOpen());
  }
}

}  // namespace
}  // namespace kelvorin
