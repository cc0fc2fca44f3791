// The page managers of temporary and in-memory storage: lowest-free page
// numbers, sessions whose rollback discards their changes whole, the
// explicit close that checks what is left, pages beyond the memory limit in
// a temporary file, and a memory page manager saved to a stream and loaded
// back, damaged streams included.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "db/storage/file/little_endian.h"
#include "db/storage/pages/page_hold.h"
#include "db/storage/streams/memory_stream.h"
#include "db/storage/temporary/memory_page_manager.h"
#include "db/storage/temporary/temporary_page_manager.h"
#include "tests/db/storage/temporary/volatile_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;

constexpr int32_t kSession = 3;

// Adds a page whose bytes all hold `fill`, committed unless asked not to.
int32_t AddFilled(TABSPageManager& pages, uint8_t fill, bool commit = true) {
  int32_t page_no;
  {
    TABSPageHold page = TABSPageHold::Add(pages, kSession, kAnyPageType);
    std::memset(page->Buffer(), fill, static_cast<size_t>(pages.PageSize()));
    page_no = page->PageNo();
  }
  if (commit) pages.CommitSession(kSession);
  return page_no;
}

uint8_t FillOf(TABSPageManager& pages, int32_t page_no, int32_t session = kSession) {
  TABSPageHold page = TABSPageHold::Get(pages, session, page_no, kAnyPageType);
  for (int32_t i = 1; i < pages.PageSize(); ++i) EXPECT_EQ(page->Buffer()[i], page->Buffer()[0]) << page_no;
  return page->Buffer()[0];
}

void Remove(TABSPageManager& pages, int32_t page_no) {
  pages.RemovePage(kSession, page_no);
  pages.CommitSession(kSession);
}

// Both managers keep pages alike below the memory limit.
template <typename Manager>
class VolatilePagesTest : public ::testing::Test {};
using Managers = ::testing::Types<TABSMemoryPageManager, TABSTemporaryPageManager>;
TYPED_TEST_SUITE(VolatilePagesTest, Managers);

TYPED_TEST(VolatilePagesTest, NumbersAreHandedOutLowestFreeFirst) {
  TypeParam pages;
  for (uint8_t i = 0; i < 5; ++i) EXPECT_EQ(AddFilled(pages, i), i);
  Remove(pages, 1);
  Remove(pages, 3);
  EXPECT_EQ(AddFilled(pages, 10), 1);
  EXPECT_EQ(AddFilled(pages, 11), 3);
  EXPECT_EQ(AddFilled(pages, 12), 5);
  EXPECT_EQ(FillOf(pages, 1), 10);
  EXPECT_EQ(FillOf(pages, 4), 4);
  EXPECT_EQ(pages.AllocatedPageCount(), 6);
}

TYPED_TEST(VolatilePagesTest, ARollbackDiscardsTheSessionsChangesWhole) {
  TypeParam pages;
  const int32_t kept = AddFilled(pages, 1);
  {
    TABSPageHold page = TABSPageHold::Get(pages, kSession, kept, kAnyPageType);
    std::memset(page->Buffer(), 2, static_cast<size_t>(pages.PageSize()));
    page.MarkDirty();
  }
  const int32_t added = AddFilled(pages, 3, /*commit=*/false);
  pages.RollbackSession(kSession);
  EXPECT_EQ(FillOf(pages, kept), 1) << "the committed image, not the discarded change";
  EXPECT_EQ(pages.AllocatedPageCount(), 1) << "page " << added << " went back";
  EXPECT_EQ(ErrorCode([&] { FillOf(pages, added); }) / 10, 1039) << "an unallocated number";
}

TYPED_TEST(VolatilePagesTest, CloseChecksThatNothingIsLeftAndTheDestructorNeverRaises) {
  {
    TypeParam pages;
    const int32_t page_no = AddFilled(pages, 1);
    const int32_t code = std::is_same_v<TypeParam, TABSMemoryPageManager> ? 20023 : 20036;
    EXPECT_EQ(ErrorCode([&] { pages.Close(); }), code) << "index pages are not released";
    AddFilled(pages, 2, /*commit=*/false);
    EXPECT_EQ(ErrorCode([&] { pages.Close(); }), 20097) << "not committed";
    pages.RollbackSession(kSession);
    Remove(pages, page_no);
    pages.Close();
    EXPECT_EQ(pages.AllocatedPageCount(), 0);
    AddFilled(pages, 3);
    AddFilled(pages, 4, /*commit=*/false);
  }  // pages left, committed and not: freed without a word
}

TEST(TemporaryPagesTest, PagesBeyondTheMemoryLimitLiveInTheFile) {
  const int before = testing::OpenFileCount();
  {
    TABSTemporaryPageManager pages;
    pages.SetMemoryPageLimit(3);
    std::vector<int32_t> numbers;
    for (uint8_t i = 0; i < 20; ++i) numbers.push_back(AddFilled(pages, static_cast<uint8_t>(i + 1)));
    EXPECT_EQ(pages.PagesInMemory(), 3);
    EXPECT_TRUE(pages.HasFile());
    EXPECT_EQ(testing::OpenFileCount(), before + 1);
    pages.SetCacheCapacity(0);  // every read comes from storage
    for (uint8_t i = 0; i < 20; ++i) EXPECT_EQ(FillOf(pages, numbers[i]), i + 1);
    // A freed memory page makes room for the next new one.
    Remove(pages, numbers[1]);
    EXPECT_EQ(AddFilled(pages, 99), numbers[1]);
    EXPECT_EQ(pages.PagesInMemory(), 3);
    EXPECT_EQ(FillOf(pages, numbers[1]), 99);
  }
  EXPECT_EQ(testing::OpenFileCount(), before) << "the file closes with the manager";
}

TEST(TemporaryPagesTest, TheBudgetSendsPagesToTheFile) {
  TemporaryBudget().SetLimit(TemporaryBudget().Used() + 2 * TABSTemporaryPageManager::kPageSize);
  const int64_t used = TemporaryBudget().Used();
  {
    TABSTemporaryPageManager first, second;
    for (uint8_t i = 0; i < 3; ++i) AddFilled(first, i);
    AddFilled(second, 7);
    EXPECT_EQ(first.PagesInMemory(), 2);
    EXPECT_EQ(second.PagesInMemory(), 0) << "the budget is shared";
    EXPECT_EQ(FillOf(second, 0), 7);
  }
  EXPECT_EQ(TemporaryBudget().Used(), used);
  TemporaryBudget().SetLimit(0);
}

// --- Saving and loading ---

// A manager with pages 0..4 filled with 1..5 and page 2 freed.
void Fill(TABSMemoryPageManager& pages) {
  for (uint8_t i = 0; i < 5; ++i) AddFilled(pages, static_cast<uint8_t>(i + 1));
  Remove(pages, 2);
}

TEST(MemoryPagesStreamTest, SavedPagesLoadBackIntoAnotherManager) {
  TABSMemoryPageManager pages;
  Fill(pages);
  TABSMemoryStream stream;
  pages.SaveToStream(stream);
  EXPECT_EQ(stream.Size(), TABSMemoryPageManager::kStreamHeaderSize + 7 + 50 * 4096) << "50 slots";
  stream.SetPosition(0);
  TABSMemoryPageManager loaded;
  AddFilled(loaded, 42);  // replaced by the load
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.AllocatedPageCount(), 4);
  EXPECT_EQ(loaded.HighestPageNo(), 4);
  for (int32_t page_no : {0, 1, 3, 4}) EXPECT_EQ(FillOf(loaded, page_no), page_no + 1);
  EXPECT_EQ(AddFilled(loaded, 9), 2) << "the free number is free again";
  EXPECT_EQ(AddFilled(loaded, 10), 5);
}

TEST(MemoryPagesStreamTest, AnEmptyManagerRoundTrips) {
  TABSMemoryPageManager pages;
  TABSMemoryStream stream;
  pages.SaveToStream(stream);
  EXPECT_EQ(stream.Size(), TABSMemoryPageManager::kStreamHeaderSize);
  stream.SetPosition(0);
  TABSMemoryPageManager loaded;
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.AllocatedPageCount(), 0);
  EXPECT_EQ(loaded.HighestPageNo(), -1);
}

TEST(MemoryPagesStreamTest, LoadingIsRefusedWhilePagesAreInUse) {
  TABSMemoryPageManager source;
  Fill(source);
  TABSMemoryStream stream;
  source.SaveToStream(stream);
  TABSMemoryPageManager pages;
  const int32_t page_no = AddFilled(pages, 1);
  {
    TABSPageHold held = TABSPageHold::Get(pages, kSession, page_no, kAnyPageType);
    stream.SetPosition(0);
    EXPECT_EQ(ErrorCode([&] { pages.LoadFromStream(stream); }), 10792);
  }
  AddFilled(pages, 2, /*commit=*/false);
  stream.SetPosition(0);
  EXPECT_EQ(ErrorCode([&] { pages.LoadFromStream(stream); }), 10792);
}

// Every damage leaves the loading manager as it was.
struct Damage {
  const char* what;
  std::function<void(std::vector<uint8_t>&)> apply;
  int32_t code;
};

TEST(MemoryPagesStreamTest, DamagedStreamsAreRefusedAndChangeNothing) {
  TABSMemoryPageManager source;
  Fill(source);
  TABSMemoryStream saved;
  source.SaveToStream(saved);
  const std::vector<uint8_t> good(saved.Memory(), saved.Memory() + saved.Size());
  const auto set_i32 = [](size_t offset, int32_t value) {
    return [=](std::vector<uint8_t>& b) { StoreLE(b.data() + offset, value); };
  };
  const auto cut = [](size_t size) { return [=](std::vector<uint8_t>& b) { b.resize(size); }; };
  const std::vector<Damage> damages = {
      {"no bytes", cut(0), 10369},
      {"cut in the highest page", cut(6), 10370},
      {"cut in the growth step", cut(9), 10371},
      {"cut in the page size", cut(13), 10372},
      {"cut in the header size", cut(15), 10373},
      {"cut in the allocated count", cut(18), 10374},
      {"cut in the pages", cut(good.size() - 1), 10790},
      {"page count past the bytes", set_i32(0, 51), 10790},
      {"huge page count", set_i32(0, 0x7FFFFFFF), 10790},
      {"negative page count", set_i32(0, -50), 10790},
      {"highest past the page count", set_i32(4, 50), 10790},
      {"highest below -1", set_i32(4, -2), 10790},
      {"highest below an allocated page", set_i32(4, 3), 10790},
      {"growth step 0", set_i32(8, 0), 10790},
      {"page size", [](std::vector<uint8_t>& b) { StoreLE<uint16_t>(b.data() + 12, 8192); }, 10790},
      {"header size", [](std::vector<uint8_t>& b) { StoreLE<uint16_t>(b.data() + 14, 40); }, 10790},
      {"allocated count", set_i32(16, 5), 10790},
      {"bit array", [](std::vector<uint8_t>& b) { b[20] |= 0x80; }, 10790},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    std::vector<uint8_t> bytes = good;
    damage.apply(bytes);
    TABSMemoryStream stream;
    if (!bytes.empty()) stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    TABSMemoryPageManager pages;
    const int32_t page_no = AddFilled(pages, 77);
    EXPECT_EQ(ErrorCode([&] { pages.LoadFromStream(stream); }), damage.code);
    EXPECT_EQ(pages.AllocatedPageCount(), 1);
    EXPECT_EQ(FillOf(pages, page_no), 77);
  }
}

TEST(MemoryPagesStreamTest, AShortWriteNamesTheFieldItFailedIn) {
  // A stream that takes a number of bytes and then no more.
  class FullStream : public TABSMemoryStream {
   public:
    explicit FullStream(int64_t room) : room_(room) {}
    int64_t Write(const void* buffer, int64_t count) override {
      const int64_t taken = std::min(count, room_);
      room_ -= taken;
      return TABSMemoryStream::Write(buffer, taken);
    }

   private:
    int64_t room_;
  };
  TABSMemoryPageManager pages;
  Fill(pages);
  struct Case {
    int64_t room;
    int32_t code;
  };
  for (const Case c : {Case{0, 10362}, Case{4, 10363}, Case{8, 10364}, Case{12, 10365}, Case{14, 10366},
                       Case{16, 10367}, Case{20, 10368}, Case{30, 10368}}) {
    FullStream stream(c.room);
    EXPECT_EQ(ErrorCode([&] { pages.SaveToStream(stream); }), c.code) << c.room;
  }
}

}  // namespace
}  // namespace kelvorin
