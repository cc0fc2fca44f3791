// The free-space map: positions of PFS and EAM pages, growth and shrink
// steps, and the boundaries where new bitmap pages appear. 512-byte pages
// reach the boundaries cheaply (3776 pages per PFS page).
#include <gtest/gtest.h>

#include <optional>

#include "db/storage/pages/disk_page_manager.h"
#include "tests/db/storage/write_faults.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorOf;

class FreeSpaceTest : public testing::StorageTest {
 protected:
  TABSDatabaseFreeSpaceManager& Create(int32_t extent, int32_t page_size = 512) {
    m_.Random().Seed(7);
    m_.CreateDatabaseFile(Path(), {}, extent, page_size);
    return *m_.FreeSpace();
  }
  int32_t Total() const { return m_.Header().total_page_count; }
  uint64_t FileSize() const { return std::filesystem::file_size(Path()); }
  void CloseAndCheck() {
    m_.Close();
    ExpectNoCorruption(Path());
  }

  TABSDiskPageManager m_;
};

TEST_F(FreeSpaceTest, FirstAllocationsGrowAndFreeingShrinks) {
  TABSDatabaseFreeSpaceManager& fsm = Create(8, 4096);
  EXPECT_EQ(fsm.AllocatePage(), 2);
  EXPECT_EQ(Total(), 6);
  EXPECT_EQ(FileSize(), 380u + 6 * 4096);
  EXPECT_TRUE(fsm.IsPageUsed(0));
  EXPECT_TRUE(fsm.IsPageUsed(1));
  for (int32_t expected : {3, 4, 5}) EXPECT_EQ(fsm.AllocatePage(), expected);
  EXPECT_EQ(Total(), 6);
  EXPECT_EQ(fsm.AllocatePage(), 6);
  EXPECT_EQ(Total(), 14);
  fsm.FreePage(6);
  EXPECT_EQ(m_.Header().last_used_page, 5);
  EXPECT_EQ(Total(), 6);
  EXPECT_EQ(FileSize(), 380u + 6 * 4096);
  EXPECT_EQ(ErrorOf([&] { fsm.FreePage(4); fsm.FreePage(4); }), "Page: 4 already free - Native error: 30427");
  EXPECT_EQ(ErrorOf([&] { fsm.FreePage(1); }), "Cannot delete PFS or EAM page. PageNo=1 - Native error: 30434");
  EXPECT_EQ(fsm.AllocatePage(), 4);  // a free page below the last used one is found again
  CloseAndCheck();
}

TEST_F(FreeSpaceTest, SystemPagePositions) {
  TABSDatabaseFreeSpaceManager& fsm = Create(8, 4096);
  EXPECT_EQ(fsm.PagesPerPfs(), 32448);
  EXPECT_EQ(fsm.PagesPerGroup(), 129792);
  EXPECT_EQ(fsm.EamPageOfIndex(1), 129793);  // 129792 is PFS page 4
  for (int64_t n : {0, 1, 32448, 64896, 129792, 129793}) EXPECT_TRUE(fsm.IsSystemPage(n)) << n;
  for (int64_t n : {2, 32449, 129794}) EXPECT_FALSE(fsm.IsSystemPage(n)) << n;
}

struct Boundary {
  const char* name;
  int32_t extent;
  int32_t last_before;   // last used page when the next allocation crosses
  int32_t new_system;    // the bitmap page that the crossing creates
  int32_t next_page;     // the page it returns
};

class FreeSpaceBoundaryTest : public FreeSpaceTest, public ::testing::WithParamInterface<Boundary> {};

TEST_P(FreeSpaceBoundaryTest, CrossingCreatesTheBitmapPage) {
  const Boundary b = GetParam();
  TABSDatabaseFreeSpaceManager& fsm = Create(b.extent);
  int32_t page = -1;
  while (page < b.last_before) page = fsm.AllocatePage();
  ASSERT_EQ(page, b.last_before);
  EXPECT_EQ(fsm.AllocatePage(), b.next_page);
  EXPECT_TRUE(fsm.IsSystemPage(b.new_system));
  EXPECT_TRUE(fsm.IsPageUsed(b.new_system));
  // Give everything back from the top: the file shrinks below the boundary
  // and the map stays consistent; growing again re-creates the page.
  for (int32_t p = b.next_page; Total() > b.new_system; --p) {
    if (!fsm.IsSystemPage(p)) fsm.FreePage(p);
  }
  m_.Close();
  ExpectNoCorruption(Path());
  bool multi = false, ro = false;
  m_.OpenDatabaseFile(Path(), {}, multi, false, ro);
  TABSDatabaseFreeSpaceManager& again = *m_.FreeSpace();
  page = -1;
  while (page < b.next_page) page = again.AllocatePage();
  EXPECT_EQ(page, b.next_page);
  CloseAndCheck();
}

INSTANTIATE_TEST_SUITE_P(
    Pages512, FreeSpaceBoundaryTest,
    ::testing::Values(Boundary{"pfs", 8, 3775, 3776, 3777},
                      // pages per extent 1: EAM page 1 at 1888, inside PFS page 0
                      Boundary{"eam_odd_1", 1, 1887, 1888, 1889},
                      // pages per extent 3: EAM page 1 at 5664, inside PFS page 1
                      Boundary{"eam_odd_3", 3, 5663, 5664, 5665}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FreeSpaceTest, TrimTailAndShrinkByKeepTheMapConsistent) {
  TABSDatabaseFreeSpaceManager& fsm = Create(1);
  int32_t page = -1;
  while (page < 1900) page = fsm.AllocatePage();
  for (int32_t p = 1900; p > 1800; --p) {
    if (!fsm.IsSystemPage(p)) fsm.FreePage(p);
  }
  m_.TrimTail();
  EXPECT_EQ(Total(), m_.Header().last_used_page + 1);
  m_.Close();
  ExpectNoCorruption(Path());
}

TEST_F(FreeSpaceTest, LeftoverBitAboveTheLastUsedPageDoesNotBlockGrowth) {
  TABSDatabaseFreeSpaceManager& fsm = Create(8);
  fsm.AllocatePage();
  // An allocation that set page 3's bit and died before writing the header.
  std::vector<uint8_t> pfs(512);
  m_.ReadPartOfPage(pfs.data(), 0, 512, 0);
  pfs[40] |= 1 << 3;
  m_.WritePartOfPage(pfs.data(), 0, 512, 0);
  EXPECT_EQ(fsm.AllocatePage(), 4);
  EXPECT_EQ(fsm.AllocatePage(), 5);
  m_.Close();
  const TABSIntegrityReport report = CheckDatabaseFile(Path());
  EXPECT_FALSE(report.HasCorruption()) << report.Describe();
  EXPECT_NE(report.Describe().find("page 3: allocated but never written"), std::string::npos);
}

// An allocation whose writes fail part-way, and whose undo fails as well
// (the disk refuses every write from then on), leaves its page marked used;
// once the disk writes again the page is given back, not lost.
struct AbandonedCase {
  const char* name;
  int32_t allocate_first;  // pages 2 .. this one are allocated first
  int32_t free_first;      // and this one freed again (-1: none)
  int32_t abandoned;       // the page the failing allocation takes
};

class FreeSpaceAbandonedTest : public FreeSpaceTest, public ::testing::WithParamInterface<AbandonedCase> {};

TEST_P(FreeSpaceAbandonedTest, PageOfAFailedUndoIsGivenBackLater) {
  const AbandonedCase c = GetParam();
  // Pages 0 to 7 make the first extent: the allocation that fills it
  // writes the EAM page after the PFS page.
  TABSDatabaseFreeSpaceManager& fsm = Create(8, 4096);
  int32_t page = -1;
  while (page < c.allocate_first) page = fsm.AllocatePage();
  if (c.free_first >= 0) fsm.FreePage(c.free_first);
  {
    testing::WriteFaults faults(Path());
    faults.fail_at = 2;  // the PFS bit is written, the EAM entry is not
    faults.keep_failing = true;
    EXPECT_THROW(fsm.AllocatePage(), EABSException);
  }
  EXPECT_TRUE(fsm.IsPageUsed(c.abandoned));
  fsm.ReleaseAbandoned();
  EXPECT_FALSE(fsm.IsPageUsed(c.abandoned));
  EXPECT_EQ(fsm.AllocatePage(), c.abandoned);
  CloseAndCheck();
}

INSTANTIATE_TEST_SUITE_P(
    Pages4096, FreeSpaceAbandonedTest,
    ::testing::Values(AbandonedCase{"free_page_below_the_last", 7, 4, 4},
                      AbandonedCase{"page_above_the_last", 6, -1, 7}),
    [](const auto& info) { return std::string(info.param.name); });

// A run keeps the bitmap pages it reads: what it hands out and what it
// leaves in the file must be what the same calls one by one give, across
// new PFS and EAM pages and with freed pages found again.
TEST_F(FreeSpaceTest, AllocationsInARunMatchSingleOnes) {
  const auto allocate = [&](bool in_run) {
    TABSDatabaseFreeSpaceManager& fsm = Create(3);
    std::vector<int32_t> pages;
    {
      std::optional<TABSAllocationRun> run;
      if (in_run) run.emplace(m_);
      for (int i = 0; i < 4000; ++i) pages.push_back(fsm.AllocatePage());
      for (size_t i = 5; i < pages.size(); i += 7) fsm.FreePage(pages[i]);
      for (int i = 0; i < 700; ++i) pages.push_back(fsm.AllocatePage());
    }
    CloseAndCheck();
    return std::pair{pages, ReadAll(Path())};
  };
  const auto one_by_one = allocate(false);
  const auto in_run = allocate(true);
  EXPECT_EQ(in_run.first, one_by_one.first);
  EXPECT_TRUE(in_run.second == one_by_one.second) << "the files differ";
}

// A run that says how many pages it wants takes them at the end of the
// file at once: it must hand out the pages, and leave the file, that the
// same allocations one by one give, across new PFS and EAM pages.
struct ReservedRunCase {
  const char* name;
  int32_t extent;
  int32_t last_before;  // allocated one by one first
  int32_t pages;        // then this many in the run
};

class FreeSpaceReservedRunTest : public FreeSpaceTest, public ::testing::WithParamInterface<ReservedRunCase> {};

TEST_P(FreeSpaceReservedRunTest, MatchesSingleAllocations) {
  const ReservedRunCase c = GetParam();
  const auto allocate = [&](int32_t expected) {
    TABSDatabaseFreeSpaceManager& fsm = Create(c.extent);
    int32_t page = -1;
    while (page < c.last_before) page = fsm.AllocatePage();
    std::vector<int32_t> pages;
    {
      const TABSAllocationRun run(m_, expected);
      for (int i = 0; i < c.pages; ++i) pages.push_back(fsm.AllocatePage());
    }
    CloseAndCheck();
    return std::pair{pages, ReadAll(Path())};
  };
  const auto one_by_one = allocate(0);
  const auto at_once = allocate(c.pages);
  EXPECT_EQ(at_once.first, one_by_one.first);
  EXPECT_TRUE(at_once.second == one_by_one.second) << "the files differ";
}

INSTANTIATE_TEST_SUITE_P(
    Pages512, FreeSpaceReservedRunTest,
    ::testing::Values(ReservedRunCase{"first_pages", 8, -1, 300},
                      ReservedRunCase{"across_a_pfs_page", 8, 3700, 200},
                      ReservedRunCase{"across_an_eam_page", 3, 5600, 200},
                      // pages per extent 1: PFS page 1 at 3776, EAM page 2 right after it
                      ReservedRunCase{"across_both", 1, 3700, 200}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FreeSpaceTest, PagesARunDidNotUseAreGivenBack) {
  TABSDatabaseFreeSpaceManager& fsm = Create(8);
  std::vector<int32_t> pages;
  {
    const TABSAllocationRun run(m_, 500);
    for (int i = 0; i < 100; ++i) pages.push_back(fsm.AllocatePage());
  }
  EXPECT_EQ(m_.Header().last_used_page, pages.back());
  for (int32_t p = pages.back() + 1; p < Total(); ++p) EXPECT_FALSE(fsm.IsPageUsed(p)) << p;
  EXPECT_EQ(fsm.AllocatePage(), pages.back() + 1);
  CloseAndCheck();
}

// The bitmap write of a run's pages fails: the allocation raises and the
// pages are free again at once, or (when the disk keeps refusing writes)
// once it writes again.
class FreeSpaceReservedFaultTest : public FreeSpaceTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FreeSpaceReservedFaultTest, FailedRunLeavesNoPageUsed) {
  const bool keep_failing = GetParam();
  TABSDatabaseFreeSpaceManager& fsm = Create(8);
  const int32_t first = fsm.AllocatePage();
  const int32_t total = Total();
  {
    const TABSAllocationRun run(m_, 300);
    testing::WriteFaults faults(Path());
    faults.fail_at = 2;  // the PFS bits are written, the EAM entries are not
    faults.keep_failing = keep_failing;
    EXPECT_THROW(fsm.AllocatePage(), EABSException);
  }
  EXPECT_EQ(fsm.HasAbandoned(), keep_failing);
  fsm.ReleaseAbandoned();
  EXPECT_FALSE(fsm.HasAbandoned());
  EXPECT_EQ(m_.Header().last_used_page, first);
  for (int32_t p = first + 1; p < std::max(total, Total()); ++p) EXPECT_FALSE(fsm.IsPageUsed(p)) << p;
  EXPECT_EQ(fsm.AllocatePage(), first + 1);
  CloseAndCheck();
}

INSTANTIATE_TEST_SUITE_P(Pages512, FreeSpaceReservedFaultTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "undo_fails_too" : "undone"; });

TEST_F(FreeSpaceTest, RandomAllocateAndFreeStaysConsistent) {
  TABSDatabaseFreeSpaceManager& fsm = Create(3);
  TABSRandomSource random(99);
  std::vector<int32_t> used;
  for (int step = 0; step < 3000; ++step) {
    if (used.empty() || random.Between(0, 9) < 6) {
      const int32_t page = fsm.AllocatePage();
      ASSERT_EQ(std::find(used.begin(), used.end(), page), used.end()) << "page handed out twice";
      used.push_back(page);
    } else {
      const size_t at = static_cast<size_t>(random.Between(0, int64_t(used.size()) - 1));
      fsm.FreePage(used[at]);
      used.erase(used.begin() + static_cast<std::ptrdiff_t>(at));
    }
  }
  for (int32_t page : used) EXPECT_TRUE(fsm.IsPageUsed(page));
  CloseAndCheck();
}

}  // namespace
}  // namespace kelvorin
