// The sorted page list: lookup, deletion and least-recently-used eviction.
#include <gtest/gtest.h>

#include "db/storage/pages/page_list.h"
#include "db/storage/pages/page_manager.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorOf;

// A page manager with no storage, enough to own page objects.
class NullPageManager : public TABSPageManager {
 public:
  NullPageManager() : TABSPageManager(512, kPageHeaderSize) {}
  void AllocatePageNumber(TABSPage&) override {}
  void FreePageNumber(int32_t) override {}
  void ReadPage(TABSPage&) override {}
  void WritePage(TABSPage&) override {}
};

class PageListTest : public ::testing::Test {
 protected:
  void AddPages(std::initializer_list<int32_t> numbers) {
    for (int32_t no : numbers) list_.Add(std::make_unique<TABSPage>(&manager_, no));
  }
  NullPageManager manager_;
  TABSSortedPageList list_;
};

TEST_F(PageListTest, KeepsPagesInNumberOrderAndFindsThem) {
  AddPages({40, 7, 19, 3, 1000, 8});
  const int32_t expected[] = {3, 7, 8, 19, 40, 1000};
  ASSERT_EQ(list_.Count(), 6);
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(list_.At(i)->PageNo(), expected[i]);
    EXPECT_EQ(list_.IndexOf(expected[i]), i);
  }
  for (int32_t missing : {-1, 0, 2, 4, 9, 41, 1001}) EXPECT_EQ(list_.Find(missing), nullptr) << missing;
}

TEST_F(PageListTest, DeletingAMissingNumberRemovesNothing) {
  EXPECT_EQ(ErrorOf([&] { list_.Delete(5); }), "TSortedPageList.Delete - no elements in array! - Native error: 20165");
  AddPages({5});
  EXPECT_EQ(ErrorOf([&] { list_.Delete(6); }),
            "TSortedPageList.Delete - element not found, key = 6, itemCount = 1 - Native error: 20166");
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_EQ(ErrorOf([&] { list_.Touch(6); }), "Page not found - Native error: 20167");
  list_.Delete(5);
  EXPECT_EQ(list_.Count(), 0);
}

TEST_F(PageListTest, EvictsLeastRecentlyUsedPagesNobodyHolds) {
  AddPages({1, 2, 3, 4, 5});
  list_.Touch(1);  // use order now 2 3 4 5 1
  list_.Find(2)->use_count = 1;
  EXPECT_EQ(list_.LeastRecentlyUsed()->PageNo(), 2);
  list_.EvictUnheld(3);
  EXPECT_NE(list_.Find(2), nullptr) << "held pages stay";
  EXPECT_EQ(list_.Find(3), nullptr);
  EXPECT_EQ(list_.Find(4), nullptr);
  EXPECT_NE(list_.Find(5), nullptr);
  EXPECT_NE(list_.Find(1), nullptr);
  list_.Find(2)->use_count = 0;
  EXPECT_EQ(list_.TakeLeastRecentlyUsedUnheld()->PageNo(), 2);
}

TEST(PageBuffer, NewBufferHasAnInitialisedHeaderAndGrowsKeepingItsBytes) {
  NullPageManager manager;
  TABSPage page(&manager, 4);
  EXPECT_EQ(ErrorOf([&] { page.GrowBuffer(1024); }), "Invalid page buffer. Buffer is Nil - Native error: 20038");
  page.AllocateBuffer();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(page.Buffer()), 4), "ABSP");
  EXPECT_EQ(page.NextPage(), -1);
  EXPECT_EQ(page.Owner(), -1);
  EXPECT_EQ(page.WriteCounter(), 0);
  EXPECT_EQ(page.DataSize(), 512 - 40);
  page.Data()[10] = 0x5A;
  EXPECT_EQ(ErrorOf([&] { page.GrowBuffer(511); }), "Invalid page modification - Native error: 20039");
  page.GrowBuffer(2048);
  EXPECT_EQ(page.BufferSize(), 2048);
  EXPECT_EQ(page.Data()[10], 0x5A);
  EXPECT_EQ(page.Buffer()[2047], 0);
}

}  // namespace
}  // namespace kelvorin
