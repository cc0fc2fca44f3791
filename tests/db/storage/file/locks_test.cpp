// The lock bytes of a database file: header, table list and object number,
// the lock retry, exclusive opening, and two processes sharing one file.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "db/storage/pages/disk_page_manager.h"
#include "platform/file.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorOf;

class LocksTest : public testing::StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    TABSDiskPageManager m;
    m.CreateDatabaseFile(Path(), {}, 8, 512);
  }
  void Open(TABSDiskPageManager& m, bool multi_user = true, bool exclusive = false) {
    bool read_only = false;
    m.OpenDatabaseFile(Path(), {}, multi_user, exclusive, read_only);
  }
};

TEST_F(LocksTest, HeaderLockIsNestedAndReleasedOnEveryWayOut) {
  TABSDiskPageManager a, b;
  Open(a);
  Open(b);
  int sleeps = 0;
  LockRetryPolicy().tries = 4;
  LockRetryPolicy().sleep = [&](int) { ++sleeps; };
  ASSERT_TRUE(a.LockHeader());
  ASSERT_TRUE(a.LockHeader());
  EXPECT_EQ(ErrorOf([&] { b.AddPage(1, ptTableRecord); }), "Database is locked - Native error: 20231");
  EXPECT_EQ(sleeps, 4);
  EXPECT_EQ(ErrorOf([&] { b.PageCount(); }), "Database is locked - Native error: 20236");
  a.UnlockHeader();
  EXPECT_TRUE(b.File().IsByteLocked(360)) << "still held once";
  a.UnlockHeader();
  a.UnlockHeader();  // one release too many changes nothing
  ASSERT_TRUE(a.LockHeader());
  a.UnlockHeader();
  b.PutPage(b.AddPage(1, ptTableRecord));
  // A commit that fails keeps no lock behind.
  b.RemovePage(1, 300);
  EXPECT_NE(ErrorOf([&] { b.CommitSession(1); }), "");
  EXPECT_FALSE(a.File().IsByteLocked(360));
  b.RollbackSession(1);
}

TEST_F(LocksTest, TableListAndObjectNumberBytes) {
  TABSDiskPageManager a, b;
  Open(a);
  Open(b);
  LockRetryPolicy().tries = 2;
  ASSERT_TRUE(a.LockTableList());
  EXPECT_TRUE(a.LockTableList()) << "nested within one open, at once";
  EXPECT_FALSE(b.LockTableList());
  EXPECT_TRUE(a.UnlockTableList());
  EXPECT_FALSE(b.LockTableList()) << "the outer hold remains";
  EXPECT_TRUE(a.UnlockTableList());
  EXPECT_FALSE(a.UnlockTableList()) << "nothing left to release";
  EXPECT_TRUE(b.LockTableList());
  ASSERT_TRUE(a.File().LockByte(1, 376));
  EXPECT_EQ(ErrorOf([&] { b.NextObjectNumber(); }), "Cannot get NextObjectID. File area is Locked. - Native error: 30401");
  a.File().UnlockByte(1, 376);
  EXPECT_EQ(b.NextObjectNumber(), 1);
  EXPECT_EQ(a.NextObjectNumber(), 2);
}

TEST_F(LocksTest, ExclusiveOpenExcludesEveryOtherOpen) {
  TABSDiskPageManager a, b;
  Open(a, false, true);
  EXPECT_TRUE(a.IsSoleOpener());
  EXPECT_NE(ErrorOf([&] { Open(b); }).find("Native error: 30364"), std::string::npos);
  a.Close();
  Open(b);
  EXPECT_NE(ErrorOf([&] { Open(a, false, true); }).find("Native error: 30364"), std::string::npos);
  EXPECT_TRUE(b.IsSoleOpener());
}

TEST_F(LocksTest, MultiUserReaderSeesAnotherWritersCommit) {
  TABSDiskPageManager a, b;
  Open(a);
  Open(b);
  TABSPage* page = a.AddPage(1, ptTableRecord);
  page->Data()[0] = 1;
  const int32_t no = page->PageNo();
  a.PutPage(page);
  a.CommitSession(1);
  page = b.GetPage(1, no, ptTableRecord);
  EXPECT_EQ(page->Data()[0], 1);
  b.PutPage(page);
  page = a.GetPage(1, no, ptTableRecord);
  page->Data()[0] = 2;
  page->dirty = true;
  a.PutPage(page);
  a.CommitSession(1);
  page = b.GetPage(1, no, ptTableRecord);  // cached, revalidated by its counter
  EXPECT_EQ(page->Data()[0], 2);
  b.PutPage(page);
}

TEST_F(LocksTest, RevalidationNeverDiscardsHeldOrChangedPages) {
  TABSDiskPageManager a, b;
  Open(a);
  Open(b);
  TABSPage* page = a.AddPage(1, ptTableRecord);
  const int32_t no = page->PageNo();
  a.PutPage(page);
  a.CommitSession(1);
  TABSPage* held = b.GetPage(1, no, ptTableRecord);
  held->Data()[0] = 9;  // changed, not yet released
  page = a.GetPage(1, no, ptTableRecord);
  page->Data()[0] = 5;
  page->dirty = true;
  a.PutPage(page);
  a.CommitSession(1);
  TABSPage* again = b.GetPage(1, no, ptTableRecord);
  EXPECT_EQ(again, held);
  EXPECT_EQ(again->Data()[0], 9);
  b.PutPage(again);
  held->dirty = true;
  b.PutPage(held);
  again = b.GetPage(1, no, ptTableRecord);  // from b's own changed pages
  EXPECT_EQ(again->Data()[0], 9);
  b.PutPage(again);
  b.RollbackSession(1);
  again = b.GetPage(1, no, ptTableRecord);
  EXPECT_EQ(again->Data()[0], 5);
  b.PutPage(again);
}

// A process dies inside a commit while another has the file open: the
// survivor's next take of the header lock rolls the commit back.
TEST_F(LocksTest, SurvivorRollsBackACommitItsPeerDiedIn) {
  std::vector<int32_t> pages;
  {
    TABSDiskPageManager m;
    Open(m);
    for (int i = 0; i < 3; ++i) {
      TABSPage* page = m.AddPage(1, ptTableRecord);
      std::memset(page->Data(), 1, page->DataSize());
      pages.push_back(page->PageNo());
      m.PutPage(page);
    }
    m.CommitSession(1);
  }
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    struct Killer : platform::FileObserver {
      std::string path;
      int writes = 0;
      void BeforeWrite(const std::string& p, int64_t offset, const void*, int64_t) override {
        if (p == path && offset >= 380 && ++writes == 2) ::raise(SIGKILL);
      }
      void AfterSync(const std::string&) override {}
      void BeforeTruncate(const std::string&, int64_t) override {}
      void AfterRemove(const std::string&) override {}
      void AfterDirectorySync(const std::string&) override {}
    } killer;
    killer.path = Path();
    TABSDiskPageManager m;
    Open(m);
    for (int32_t no : pages) {
      TABSPage* page = m.GetPage(1, no, ptTableRecord);
      std::memset(page->Data(), 2, page->DataSize());
      page->dirty = true;
      m.PutPage(page);
    }
    char byte;
    if (::read(go[0], &byte, 1) != 1) ::_exit(3);
    platform::SetFileObserver(&killer);
    m.CommitSession(1);
    ::_exit(4);  // the commit was meant to die
  }
  TABSDiskPageManager survivor;
  Open(survivor);
  ASSERT_EQ(::write(go[1], "g", 1), 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "child exit " << WEXITSTATUS(status);
  uint8_t byte = 0;
  survivor.ReadPartOfPage(&byte, pages[0], 1, kPageHeaderSize);
  ASSERT_EQ(byte, 2) << "the dead commit had written its first page";
  survivor.PutPage(survivor.AddPage(1, ptTableRecord));  // takes the header lock
  for (int32_t no : pages) {
    survivor.ReadPartOfPage(&byte, no, 1, kPageHeaderSize);
    EXPECT_EQ(byte, 1) << "page " << no;
  }
  survivor.RollbackSession(1);
  survivor.Close();
  ExpectClean(Path());
}

// Two processes hand out object numbers and allocate and commit pages at
// once: no number is lost or given twice, no page is allocated twice.
TEST_F(LocksTest, TwoProcessesShareTheLockBytes) {
  LockRetryPolicy().tries = 100000;
  LockRetryPolicy().interval_ms = 0;
  LockRetryPolicy().sleep = [](int) { ::usleep(50); };
  constexpr int kNumbers = 150;
  constexpr int kPages = 25;
  int fds[2][2];
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    ASSERT_EQ(::pipe(fds[c]), 0);
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      int status = 0;
      try {
        TABSDiskPageManager m;
        Open(m);
        for (int i = 0; i < kNumbers + kPages; ++i) {
          int32_t value;
          if (i % 7 == 0 && i / 7 < kPages) {
            TABSPage* page = m.AddPage(1, ptTableRecord);
            value = -page->PageNo() - 1;
            std::memset(page->Data(), c + 1, page->DataSize());
            m.PutPage(page);
            m.CommitSession(1);
          } else {
            value = m.NextObjectNumber();
          }
          if (::write(fds[c][1], &value, sizeof value) != sizeof value) status = 2;
        }
        m.Close();
      } catch (const std::exception& e) {
        std::fprintf(stderr, "child %d: %s\n", c, e.what());
        status = 1;
      }
      ::_exit(status);
    }
    ::close(fds[c][1]);
  }
  std::multiset<int32_t> numbers, pages;
  for (int c = 0; c < 2; ++c) {
    int32_t value;
    while (::read(fds[c][0], &value, sizeof value) == sizeof value) {
      (value > 0 ? numbers : pages).insert(value > 0 ? value : -value - 1);
    }
    ::close(fds[c][0]);
    int status = 0;
    ::waitpid(children[c], &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << c;
  }
  EXPECT_EQ(numbers.size(), std::set<int32_t>(numbers.begin(), numbers.end()).size()) << "an object number twice";
  ASSERT_FALSE(numbers.empty());
  EXPECT_EQ(*numbers.rbegin(), static_cast<int32_t>(numbers.size())) << "an object number lost";
  EXPECT_EQ(pages.size(), std::set<int32_t>(pages.begin(), pages.end()).size()) << "a page allocated twice";
  ExpectClean(Path());
}

}  // namespace
}  // namespace kelvorin
