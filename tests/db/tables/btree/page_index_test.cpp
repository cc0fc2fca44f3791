// The page-index trees: random work against a map of page amounts across
// commits, rollbacks and reopening, the room rules, the record-number
// translation, dropping and emptying, and the checker on trees damaged by
// hand.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <memory>
#include <random>

#include "db/storage/pages/disk_page_manager.h"
#include "db/tables/btree/btree_errors.h"
#include "db/tables/btree/page_index.h"
#include "tests/db/engine_error_capture.h"
#include "tests/db/storage/storage_test_util.h"
#include "tests/db/tables/btree/memory_pages.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::MemoryPageManager;
using testing::MemoryPageStore;

constexpr int32_t kSession = 3;

class PageIndexTest : public ::testing::Test {
 public:
  uint8_t* Data(int32_t page_no) { return store_.images.at(page_no).data() + kPageHeaderSize; }

 protected:
  void Open(int32_t page_size = 256) {
    page_size_ = page_size;
    index_.reset();
    pages_ = std::make_unique<MemoryPageManager>(store_, page_size);
    if (root_ < 0) {
      root_ = TABSBTreeRecordPageIndex::Create(*pages_, kSession);
      pages_->CommitSession(kSession);
    }
    index_ = std::make_unique<TABSBTreeRecordPageIndex>(*pages_, root_, kCapacity);
  }
  void Reopen() {
    pages_->CommitSession(kSession);
    Open(page_size_);
  }
  void ExpectMatches(const std::map<int32_t, int32_t>& model) {
    std::vector<TABSPageAmount> expected;
    for (const auto& [page, amount] : model) expected.push_back({page, amount});
    const std::vector<TABSPageAmount> entries = index_->Entries(kSession);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      ASSERT_EQ(entries[i].page_no, expected[i].page_no) << i;
      ASSERT_EQ(entries[i].amount, expected[i].amount) << i;
    }
    const TABSBTreeCheckResult check = index_->Check(kSession);
    ASSERT_TRUE(check.Clean()) << check.Describe();
  }
  // Fills pages 0, 2, 4, ... with amounts 1..kCapacity and commits.
  std::map<int32_t, int32_t> Fill(int32_t count) {
    std::map<int32_t, int32_t> model;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t page = 2 * ((i * 7919) % count);
      const int32_t amount = 1 + i % kCapacity;
      index_->AddAmount(kSession, page, amount);
      model[page] += amount;
    }
    pages_->CommitSession(kSession);
    return model;
  }

  static constexpr int32_t kCapacity = 5;
  MemoryPageStore store_;
  std::unique_ptr<MemoryPageManager> pages_;
  std::unique_ptr<TABSBTreeRecordPageIndex> index_;
  int32_t root_ = -1;
  int32_t page_size_ = 256;
};

TEST_F(PageIndexTest, RandomWorkMatchesAMapAcrossCommitsRollbacksAndReopening) {
  for (const int32_t page_size : {256, 512}) {
    store_ = {};
    root_ = -1;
    Open(page_size);
    std::mt19937 rng(page_size);
    std::map<int32_t, int32_t> model;
    std::map<int32_t, int32_t> committed;
    for (int step = 0; step < 3000; ++step) {
      const int32_t page = static_cast<int32_t>(rng() % 1500);
      const int op = static_cast<int>(rng() % 100);
      if (op < 50) {
        const int32_t amount = 1 + static_cast<int32_t>(rng() % 3);
        const bool room = model[page] + amount <= kCapacity;
        if (model[page] == 0) model.erase(page);
        if (room) {
          index_->AddAmount(kSession, page, amount);
          model[page] += amount;
        } else {
          ASSERT_EQ(ErrorCode([&] { index_->AddAmount(kSession, page, amount); }), 20106);
        }
      } else if (op < 92) {
        auto it = model.lower_bound(page);
        if (it == model.end()) continue;
        const int32_t amount = 1 + static_cast<int32_t>(rng() % it->second);
        index_->SubtractAmount(kSession, it->first, amount);
        if ((it->second -= amount) == 0) model.erase(it);
      } else if (op < 96) {
        pages_->CommitSession(kSession);
        committed = model;
      } else if (op < 98) {
        pages_->RollbackSession(kSession);
        model = committed;
      } else {
        Reopen();
        committed = model;
      }
      if (step % 50 == 0 || op >= 92) {
        ASSERT_NO_FATAL_FAILURE(ExpectMatches(model)) << "step " << step;
      }
    }
    ExpectMatches(model);
  }
}

TEST_F(PageIndexTest, NavigationAndRoomFollowThePageOrder) {
  Open();
  const std::map<int32_t, int32_t> model = Fill(300);
  EXPECT_EQ(index_->FirstPage(kSession), model.begin()->first);
  EXPECT_EQ(index_->LastPage(kSession), model.rbegin()->first);
  for (const int32_t probe : {-5, 0, 1, 2, 301, 596, 597, 598, 1000}) {
    auto above = model.upper_bound(probe);
    auto below = model.lower_bound(probe);
    EXPECT_EQ(index_->NextPage(kSession, probe), above == model.end() ? -1 : above->first) << probe;
    EXPECT_EQ(index_->PriorPage(kSession, probe), below == model.begin() ? -1 : std::prev(below)->first) << probe;
  }
  // The last leaf is searched from its end, so the page with room found is
  // the highest one that has room.
  int32_t highest_with_room = -1;
  for (const auto& [page, amount] : model) {
    if (amount < kCapacity) highest_with_room = page;
  }
  EXPECT_EQ(index_->FindPageWithRoom(kSession, 1), highest_with_room);
  EXPECT_EQ(index_->FindPageWithRoom(kSession, kCapacity + 1), -1);

  int64_t number = 0;
  for (const auto& [page, amount] : model) {
    for (int32_t position = 0; position < amount; ++position) {
      ++number;
      const TABSBTreePageIndex::Position at = index_->PositionOfNumber(kSession, number);
      ASSERT_EQ(at.page_no, page);
      ASSERT_EQ(at.position, position);
      ASSERT_EQ(index_->NumberOfPosition(kSession, page, position), number);
    }
  }
  EXPECT_EQ(index_->TotalAmount(kSession), number);
  EXPECT_EQ(ErrorCode([&] { index_->PositionOfNumber(kSession, number + 1); }), 20113);
  EXPECT_EQ(ErrorCode([&] { index_->NumberOfPosition(kSession, 1, 0); }), 10655);
}

TEST_F(PageIndexTest, RefusalsChangeNothing) {
  Open();
  index_->AddAmount(kSession, 7, kCapacity);
  index_->AddAmount(kSession, 9, 1);
  const struct {
    const char* what;
    std::function<void()> call;
    int32_t code;
  } cases[] = {
      {"add to a full page", [&] { index_->AddAmount(kSession, 7, 1); }, 20106},
      {"add more than a page holds", [&] { index_->AddAmount(kSession, 8, kCapacity + 1); }, 20106},
      {"subtract from an absent page", [&] { index_->SubtractAmount(kSession, 8, 1); }, 20112},
      {"subtract more than held", [&] { index_->SubtractAmount(kSession, 9, 2); }, 10645},
      {"number beyond the count", [&] { index_->PositionOfNumber(kSession, kCapacity + 2); }, 20113},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorCode(c.call), c.code) << c.what;
    ExpectMatches({{7, kCapacity}, {9, 1}});
  }
  TABSBTreeRecordPageIndex no_tree(*pages_, -1, kCapacity);
  EXPECT_EQ(ErrorCode([&] { no_tree.AddAmount(kSession, 1, 1); }), 10644);
}

TEST_F(PageIndexTest, BlobPagesHaveRoomBelowTheDataSizeLessTwo) {
  pages_ = std::make_unique<MemoryPageManager>(store_, 256);
  const int32_t root = TABSBTreeBlobPageIndex::Create(*pages_, kSession);
  TABSBTreeBlobPageIndex blobs(*pages_, root);
  const int32_t data_size = 256 - kPageHeaderSize;
  blobs.AddAmount(kSession, 4, data_size - 3);
  EXPECT_EQ(blobs.FindPageWithRoom(kSession, 1), -1);
  EXPECT_EQ(ErrorCode([&] { blobs.AddAmount(kSession, 4, 1); }), 20106);
  blobs.SubtractAmount(kSession, 4, 1);
  EXPECT_EQ(blobs.FindPageWithRoom(kSession, 1), 4);
  EXPECT_TRUE(blobs.Check(kSession).Clean());
}

TEST_F(PageIndexTest, RootStaysThroughSplitsAndMergesDownToAnEmptyRoot) {
  Open();
  const int32_t before = store_.UsedCount();
  std::map<int32_t, int32_t> model = Fill(2000);
  EXPECT_GT(store_.UsedCount(), before + 60);  // three levels of pages
  EXPECT_EQ(index_->RootPage(), root_);
  std::mt19937 rng(5);
  std::vector<std::pair<int32_t, int32_t>> all(model.begin(), model.end());
  std::shuffle(all.begin(), all.end(), rng);
  for (size_t i = 0; i < all.size(); ++i) {
    index_->SubtractAmount(kSession, all[i].first, all[i].second);
    model.erase(all[i].first);
    if (i % 97 == 0) {
      ASSERT_NO_FATAL_FAILURE(ExpectMatches(model));
    }
  }
  pages_->CommitSession(kSession);
  EXPECT_EQ(store_.UsedCount(), before);
  EXPECT_EQ(Data(root_)[btree_header::kRootFlag], 1);
  EXPECT_EQ(Data(root_)[btree_header::kLeafFlag], 1);
  EXPECT_EQ(LoadLE<uint16_t>(Data(root_) + btree_header::kEntryCount), 0);
}

// Merges between leaves under different parents move the separator that
// leads to the parent whose first leaf changed.
TEST_F(PageIndexTest, MergesAcrossParentsKeepTheSeparatorsAboveThem) {
  for (const bool into_next : {true, false}) {
    store_ = {};
    root_ = -1;
    Open();
    std::map<int32_t, int32_t> model;
    for (int32_t i = 0; i < 1000; ++i) {
      index_->AddAmount(kSession, 10 * i, 1);
      model[10 * i] = 1;
    }
    pages_->CommitSession(kSession);
    // Inner pages hold 8-byte entries (key, child), leaves 6-byte ones.
    auto child = [&](int32_t page, int32_t i) { return LoadLE<int32_t>(Data(page) + btree_header::kSize + 8 * i + 4); };
    auto count = [&](int32_t page) { return LoadLE<uint16_t>(Data(page) + btree_header::kEntryCount); };
    auto keys = [&](int32_t leaf) {
      std::vector<int32_t> k;
      for (int32_t i = 0; i < count(leaf); ++i) k.push_back(LoadLE<int32_t>(Data(leaf) + btree_header::kSize + 6 * i));
      return k;
    };
    const int32_t first_parent = child(root_, 0);
    const int32_t second_parent = child(root_, 1);
    ASSERT_EQ(Data(first_parent)[btree_header::kLeafFlag], 0) << "three levels";
    const int32_t before_last = child(first_parent, count(first_parent) - 2);
    const int32_t last = child(first_parent, count(first_parent) - 1);
    const int32_t first = child(second_parent, 0);
    const int32_t second = child(second_parent, 1);
    auto fill = [&](int32_t leaf) {  // to the brim
      const std::vector<int32_t> k = keys(leaf);
      for (size_t i = 0; i + 1 < k.size() && model.size() < 2000 && keys(leaf).size() < 33; ++i) {
        index_->AddAmount(kSession, k[i] + 1, 1);
        model[k[i] + 1] = 1;
        pages_->CommitSession(kSession);
      }
      ASSERT_EQ(count(leaf), 33);
    };
    auto shrink = [&](int32_t leaf, int32_t to) {
      for (const int32_t key : keys(leaf)) {
        // A leaf that merged away is gone from the store.
        if (store_.images.count(leaf) == 0 || count(leaf) <= to) break;
        index_->SubtractAmount(kSession, key, 1);
        model.erase(key);
        pages_->CommitSession(kSession);
      }
    };
    // Both parents stay more than half full when they lose a leaf (a parent
    // merging away would take the separator with it): two leaves of each
    // split.
    const int32_t splitting[] = {child(first_parent, 1), child(first_parent, 2), child(second_parent, 2),
                                 child(second_parent, 3)};
    for (const int32_t leaf : splitting) {
      fill(leaf);
      index_->AddAmount(kSession, keys(leaf).front() + 2, 1);
      model[keys(leaf).front() + 2] = 1;
      pages_->CommitSession(kSession);
    }
    ASSERT_GE(count(first_parent), 14);
    ASSERT_GE(count(second_parent), 14);
    if (into_next) {
      // The first parent's last leaf merges into the second parent's first.
      fill(before_last);
      fill(last);
      fill(second);
      shrink(first, 10);
      shrink(last, 16);
      EXPECT_EQ(store_.images.count(last), 0u) << "merged";
    } else {
      // The second parent's first leaf merges into the first parent's last.
      fill(second);
      shrink(last, 16);
      shrink(first, 16);
      EXPECT_EQ(store_.images.count(first), 0u) << "merged";
    }
    ASSERT_NO_FATAL_FAILURE(ExpectMatches(model));
    for (const auto& [page, amount] : model) ASSERT_EQ(index_->Amount(kSession, page), amount) << page;
  }
}

TEST_F(PageIndexTest, AnEmptiedPageGoesEvenWhenItsSiblingsAreExactlyFull) {
  Open();
  std::map<int32_t, int32_t> model;
  for (int32_t i = 0; i < 60; ++i) {
    index_->AddAmount(kSession, 10 * i, 1);
    model[10 * i] = 1;
  }
  pages_->CommitSession(kSession);
  auto child = [&](int32_t i) { return LoadLE<int32_t>(Data(root_) + btree_header::kSize + 8 * i + 4); };
  auto count = [&](int32_t page) { return LoadLE<uint16_t>(Data(page) + btree_header::kEntryCount); };
  ASSERT_EQ(LoadLE<uint16_t>(Data(root_) + btree_header::kEntryCount), 3);
  const int32_t middle = child(1);
  // The outer leaves to the brim (33 entries of 6 bytes fill 216 bytes).
  for (const int32_t leaf : {child(0), child(2)}) {
    for (int32_t key = 10 * (leaf == child(0) ? 0 : 34) + 1; count(leaf) < 33; key += 10) {
      index_->AddAmount(kSession, key, 1);
      model[key] = 1;
      pages_->CommitSession(kSession);
    }
  }
  for (int32_t i = 17; i < 34; ++i) {
    index_->SubtractAmount(kSession, 10 * i, 1);
    model.erase(10 * i);
  }
  pages_->CommitSession(kSession);
  EXPECT_EQ(store_.images.count(middle), 0u);
  ExpectMatches(model);
}

// The key of an inner page's first entry is never compared, so it may hold
// anything (all zeros after a root split, a separator long replaced above);
// a merge must not make it the separator of the sibling it merges into.
TEST_F(PageIndexTest, AnInnerPageMergedIntoItsNextSiblingHandsUpItsFirstLeafKey) {
  Open();
  auto count = [&](int32_t page) { return LoadLE<uint16_t>(Data(page) + btree_header::kEntryCount); };
  auto child = [&](int32_t page, int32_t i) { return LoadLE<int32_t>(Data(page) + btree_header::kSize + 8 * i + 4); };
  auto key = [&](int32_t leaf, int32_t i) { return LoadLE<int32_t>(Data(leaf) + btree_header::kSize + 6 * i); };
  std::map<int32_t, int32_t> model;
  auto add = [&](int32_t k) {
    index_->AddAmount(kSession, k, 1);
    model[k] = 1;
    pages_->CommitSession(kSession);
  };
  // Ascending keys leave inner pages of 12 entries behind the last one
  // (an inner page holds 24).
  for (int32_t k = 0; Data(root_)[btree_header::kLeafFlag] != 0 || Data(child(root_, 0))[btree_header::kLeafFlag] != 0 ||
                      count(root_) < 4;
       k += 100) {
    add(k);
  }
  const int32_t first = child(root_, 0);
  const int32_t middle = child(root_, 1);
  const int32_t next = child(root_, 2);
  ASSERT_EQ(count(next), 12);
  // The first two grow by a leaf each (13 entries): the middle one, losing
  // a leaf again, no longer fits its previous sibling but fits its next.
  for (const int32_t inner : {first, middle}) {
    const int32_t leaf = child(inner, 0);
    for (int32_t k = key(leaf, 0) + 1; count(inner) < 13; ++k) add(k);
  }
  StoreLE(Data(middle) + btree_header::kSize, std::numeric_limits<int32_t>::max());
  Open();
  ASSERT_NO_FATAL_FAILURE(ExpectMatches(model));
  const int32_t shrinking = child(middle, 1);
  while (store_.images.count(middle) != 0 && count(middle) == 13) {
    const int32_t k = key(shrinking, 0);
    index_->SubtractAmount(kSession, k, 1);
    model.erase(k);
    pages_->CommitSession(kSession);
  }
  EXPECT_EQ(store_.images.count(middle), 0u) << "merged into its next sibling";
  ASSERT_NO_FATAL_FAILURE(ExpectMatches(model));
}

// An inner page that cannot merge (its sibling is full) keeps shrinking
// until its last child merges into a cousin; the inner page, left without
// entries, must then go too.
TEST_F(PageIndexTest, AnInnerPageLeftWithoutChildrenGoesEvenWhenItsSiblingIsFull) {
  Open();
  auto count = [&](int32_t page) { return LoadLE<uint16_t>(Data(page) + btree_header::kEntryCount); };
  auto child = [&](int32_t page, int32_t i) { return LoadLE<int32_t>(Data(page) + btree_header::kSize + 8 * i + 4); };
  auto leaf = [&](int32_t page) { return Data(page)[btree_header::kLeafFlag] != 0; };
  // Ascending keys fill the last leaf, then the last inner page: 24 inner
  // entries of 8 bytes fill a 256-byte page.
  std::map<int32_t, int32_t> model;
  for (int32_t key = 0;; key += 10) {
    index_->AddAmount(kSession, key, 1);
    model[key] = 1;
    pages_->CommitSession(kSession);
    if (!leaf(root_) && !leaf(child(root_, 0)) && count(root_) == 2 && count(child(root_, 1)) == 24) break;
    ASSERT_LT(key, 100000);
  }
  const int32_t first_inner = child(root_, 0);
  const int32_t second_inner = child(root_, 1);
  const int32_t first_key_of_second = LoadLE<int32_t>(Data(child(second_inner, 0)) + btree_header::kSize);
  // Every key below the second inner page's goes, lowest first.
  while (model.begin()->first < first_key_of_second) {
    ASSERT_NO_THROW(index_->SubtractAmount(kSession, model.begin()->first, 1)) << model.begin()->first;
    model.erase(model.begin());
    pages_->CommitSession(kSession);
  }
  EXPECT_EQ(store_.images.count(first_inner), 0u);
  EXPECT_EQ(count(root_), 24);
  ASSERT_NO_FATAL_FAILURE(ExpectMatches(model));
}

TEST_F(PageIndexTest, EmptyKeepsTheRootAndDropFreesEveryPage) {
  Open();
  const int32_t before = store_.UsedCount();
  Fill(500);
  index_->Empty(kSession);
  pages_->CommitSession(kSession);
  EXPECT_EQ(store_.UsedCount(), before);
  ExpectMatches({});
  Fill(500);
  index_->Drop(kSession);
  pages_->CommitSession(kSession);
  EXPECT_EQ(store_.UsedCount(), before - 1);
  EXPECT_EQ(index_->RootPage(), -1);
}

TEST_F(PageIndexTest, TheCheckerReportsTreesDamagedByHand) {
  struct Damage {
    const char* what;
    std::function<void(PageIndexTest&, int32_t root, int32_t first_leaf, int32_t second_leaf)> apply;
    int32_t code;
  };
  const Damage cases[] = {
      {"keys out of order in a leaf",
       [](PageIndexTest& t, int32_t, int32_t leaf, int32_t) {
         uint8_t* entries = t.Data(leaf) + btree_header::kSize;
         std::swap_ranges(entries, entries + 4, entries + 6);
       },
       20031},
      {"a broken next link",
       [](PageIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.Data(leaf) + btree_header::kNextPage, int32_t{-1});
       },
       20034},
      {"a broken previous link",
       [](PageIndexTest& t, int32_t, int32_t, int32_t second) {
         StoreLE(t.Data(second) + btree_header::kPrevPage, int32_t{-1});
       },
       20033},
      {"a separator above its child",
       [](PageIndexTest& t, int32_t root, int32_t, int32_t) {
         StoreLE(t.Data(root) + btree_header::kSize + 8, int32_t{1 << 30});
       },
       20029},
      {"a child that is the root again",
       [](PageIndexTest& t, int32_t root, int32_t, int32_t) {
         StoreLE(t.Data(root) + btree_header::kSize + 4, root);
       },
       10651},
      {"an amount out of range",
       [](PageIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.Data(leaf) + btree_header::kSize + 4, uint16_t{0});
       },
       20194},
  };
  for (const Damage& damage : cases) {
    store_ = {};
    root_ = -1;
    Open();
    Fill(60);  // two leaves under the root
    ASSERT_TRUE(index_->Check(kSession).Clean());
    const int32_t first = LoadLE<int32_t>(Data(root_) + btree_header::kSize + 4);
    const int32_t second = LoadLE<int32_t>(Data(root_) + btree_header::kSize + 8 + 4);
    damage.apply(*this, root_, first, second);
    Open();
    const TABSBTreeCheckResult check = index_->Check(kSession);
    ASSERT_FALSE(check.Clean()) << damage.what;
    EXPECT_EQ(check.problems.front().native_code, damage.code) << damage.what << "\n" << check.Describe();
    EXPECT_EQ(check.pages.front(), root_);
  }
}

class PageIndexFileTest : public testing::StorageTest {};

TEST_F(PageIndexFileTest, ATreeInADatabaseFileReadsBackAfterReopening) {
  int32_t root = -1;
  {
    TABSDiskPageManager pages;
    pages.CreateDatabaseFile(Path(), {}, 8, 512);
    root = TABSBTreeBlobPageIndex::Create(pages, kSystemSessionId);
    TABSBTreeBlobPageIndex blobs(pages, root);
    for (int32_t page = 0; page < 1000; ++page) blobs.AddAmount(kSystemSessionId, 3 * page, 1 + page % 400);
    pages.CommitSession(kSystemSessionId);
    pages.Close();
  }
  TABSDiskPageManager pages;
  bool multi_user = false;
  bool read_only = false;
  pages.OpenDatabaseFile(Path(), {}, multi_user, false, read_only);
  TABSBTreeBlobPageIndex blobs(pages, root);
  const std::vector<TABSPageAmount> entries = blobs.Entries(kSystemSessionId);
  ASSERT_EQ(entries.size(), 1000u);
  for (int32_t page = 0; page < 1000; ++page) {
    ASSERT_EQ(entries[page].page_no, 3 * page);
    ASSERT_EQ(entries[page].amount, 1 + page % 400);
  }
  const TABSBTreeCheckResult check = blobs.Check(kSystemSessionId);
  EXPECT_TRUE(check.Clean()) << check.Describe();
  EXPECT_GT(check.pages.size(), 10u);
  blobs.Drop(kSystemSessionId);
  pages.CommitSession(kSystemSessionId);
  pages.Close();
}

}  // namespace
}  // namespace kelvorin
