// TABSMemoryManager: alignment, counting, limit, guards, the registry of
// live blocks, reallocation and the owning TABSMemoryBlock.
#include "db/storage/memory/memory_manager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

// Runs f and returns the native code and message of the engine error it raised.
template <typename F>
std::pair<int32_t, std::string> Raised(F f) {
  try {
    f();
  } catch (const EABSException& e) {
    return {e.NativeError(), e.what()};
  }
  return {0, ""};
}

class MemoryTest : public ::testing::Test {
 protected:
  TABSMemoryManager mm_;
};

TEST_F(MemoryTest, BlocksAreAlignedCountedAndSized) {
  void* a = mm_.GetMem(1);
  void* b = mm_.AllocMem(100);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 16, 0u);
  EXPECT_EQ(mm_.AllocatedBytes(), 101);
  EXPECT_EQ(mm_.GetSize(b), 100);
  EXPECT_EQ(mm_.GetSize(nullptr), 0);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(static_cast<uint8_t*>(b)[i], 0);
  mm_.FreeAndNillMem(a);
  mm_.FreeAndNillMem(b);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(mm_.AllocatedBytes(), 0);
}

TEST_F(MemoryTest, BadSizesFail) {
  EXPECT_EQ(Raised([&] { mm_.GetMem(0); }),
            std::make_pair(30286, std::string("Cannot allocate 0 bytes - Native error: 30286")));
  for (int64_t size : {int64_t{-1}, INT64_MIN, INT64_MAX, TABSMemoryManager::kMaxBlockSize + 1}) {
    EXPECT_EQ(Raised([&] { mm_.GetMem(size); }).first, 30015) << size;
  }
  EXPECT_EQ(mm_.AllocatedBytes(), 0);
}

TEST_F(MemoryTest, LimitIsEnforced) {
  mm_.SetMemoryLimit(1000000);
  void* p = mm_.GetMem(999990);
  auto [code, text] = Raised([&] { mm_.GetMem(20); });
  EXPECT_EQ(code, 30004);
  EXPECT_EQ(text, "Memory limit exceeded (Limit = 1000000 bytes) - Native error: 30004");
  void* q = mm_.GetMem(10);
  EXPECT_LE(mm_.AvailableMemory(), 1000000);
  mm_.FreeAndNillMem(q);
  mm_.FreeAndNillMem(p);
}

TEST_F(MemoryTest, OverrunIsReportedAfterRelease) {
  void* p = mm_.GetMem(8);
  static_cast<char*>(p)[8] = 1;
  EXPECT_EQ(Raised([&] { mm_.FreeAndNillMem(p); }).first, 30137);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(mm_.AllocatedBytes(), 0);
}

TEST_F(MemoryTest, ForeignAndFreedAddressesAreRefused) {
  alignas(16) char local[64] = {};
  void* foreign = local + 16;
  EXPECT_EQ(Raised([&] { mm_.FreeAndNillMem(foreign); }).first, 30001);
  EXPECT_EQ(Raised([&] { mm_.ReallocMem(foreign, 4, false); }).first, 30002);
  EXPECT_EQ(Raised([&] { mm_.GetSize(foreign); }).first, 30005);
  void* p = mm_.GetMem(4);
  void* copy = p;
  mm_.FreeAndNillMem(p);
  EXPECT_EQ(Raised([&] { mm_.FreeAndNillMem(copy); }),
            std::make_pair(30001, std::string("Invalid pointer - Native error: 30001")));
}

TEST_F(MemoryTest, ReallocKeepsContentsAndZeroFills) {
  void* p = mm_.GetMem(4);
  std::memcpy(p, "abcd", 4);
  mm_.ReallocMem(p, 8, true);
  EXPECT_EQ(std::memcmp(p, "abcd\0\0\0\0", 8), 0);
  mm_.ReallocMem(p, 2, false);
  EXPECT_EQ(mm_.GetSize(p), 2);
  EXPECT_EQ(std::memcmp(p, "ab", 2), 0);
  EXPECT_EQ(mm_.AllocatedBytes(), 2);
  mm_.FreeAndNillMem(p);
}

TEST_F(MemoryTest, ReallocOfOverrunBlockLeavesTheNewBlock) {
  void* p = mm_.GetMem(4);
  std::memcpy(p, "abcde", 5);
  EXPECT_EQ(Raised([&] { mm_.ReallocMem(p, 16, false); }).first, 30137);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(mm_.GetSize(p), 16);
  EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
  mm_.FreeAndNillMem(p);
  EXPECT_EQ(mm_.AllocatedBytes(), 0);
}

TEST_F(MemoryTest, ReallocFailureKeepsTheOldBlock) {
  void* p = mm_.GetMem(4);
  void* before = p;
  auto [code, text] = Raised([&] { mm_.ReallocMem(p, -1, false); });
  EXPECT_EQ(code, 30014);
  EXPECT_EQ(text, "ReallocMem error: Invalid block size - Native error: 30014");
  EXPECT_EQ(p, before);
  EXPECT_EQ(mm_.GetSize(p), 4);
  mm_.ReallocMem(p, 0x10000, true);
  EXPECT_EQ(mm_.GetSize(p), 0x10000);
  mm_.FreeAndNillMem(p);
  void* none = nullptr;
  mm_.ReallocMem(none, 3, true);
  EXPECT_EQ(mm_.GetSize(none), 3);
  mm_.FreeAndNillMem(none);
  mm_.FreeAndNillMem(none);  // a nullptr is left alone
  EXPECT_EQ(mm_.AllocatedBytes(), 0);
}

TEST_F(MemoryTest, CountsStayExactAcrossThreads) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 2000; ++i) {
        void* p = mm_.GetMem(1 + (i + t) % 64);
        mm_.ReallocMem(p, 1 + i % 32, false);
        mm_.FreeAndNillMem(p);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mm_.AllocatedBytes(), 0);
}

TEST(MemoryBlockTest, FreesThroughTheProcessManager) {
  int64_t before = MemoryManager().AllocatedBytes();
  {
    TABSMemoryBlock block(32, true);
    EXPECT_EQ(block.size(), 32);
    EXPECT_EQ(MemoryManager().AllocatedBytes(), before + 32);
    block.Resize(64);
    TABSMemoryBlock moved = std::move(block);
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(moved.size(), 64);
  }
  EXPECT_EQ(MemoryManager().AllocatedBytes(), before);
}

TEST(MemoryAvailableTest, IsCappedTo32Bits) {
  int64_t available = MemoryManager().AvailableMemory();
  EXPECT_GT(available, 0);
  EXPECT_LE(available, INT32_MAX);
}

}  // namespace
}  // namespace kelvorin
