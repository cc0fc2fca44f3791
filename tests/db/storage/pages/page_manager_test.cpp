// The page manager over a database file: sessions, the shared cache, commit
// and rollback, and a model-based run of random operations.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "db/storage/pages/disk_page_manager.h"
#include "db/storage/memory/memory_manager.h"
#include "platform/file.h"
#include "tests/db/storage/storage_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin {
namespace {

using testing::ErrorOf;

class PageManagerTest : public testing::StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    m_.Random().Seed(3);
    m_.CreateDatabaseFile(Path(), {}, 8, 512);
  }
  int32_t Committed(uint8_t fill, int32_t session = 1) {
    TABSPage* page = m_.AddPage(session, ptTableRecord);
    std::memset(page->Data(), fill, page->DataSize());
    const int32_t no = page->PageNo();
    m_.PutPage(page);
    m_.CommitSession(session);
    return no;
  }
  uint8_t Read(int32_t page_no, int32_t session = 50) {
    TABSPage* page = m_.GetPage(session, page_no, kAnyPageType);
    const uint8_t value = page->Data()[0];
    m_.PutPage(page);
    return value;
  }
  void Modify(int32_t session, int32_t page_no, uint8_t fill) {
    TABSPage* page = m_.GetPage(session, page_no, kAnyPageType);
    std::memset(page->Data(), fill, page->DataSize());
    page->dirty = true;
    m_.PutPage(page);
  }

  TABSDiskPageManager m_;
};

TEST_F(PageManagerTest, CacheCapacityFollowsAvailableMemory) {
  const struct { int64_t limit; int32_t capacity; } cases[] = {{20 << 20, 320}, {int64_t{2} << 30, 1000}};
  for (const auto& c : cases) {
    MemoryManager().SetMemoryLimit(c.limit);
    TABSDiskPageManager m;
    EXPECT_EQ(m.CacheCapacity(), c.capacity) << c.limit;
  }
  MemoryManager().SetMemoryLimit(0);
}

TEST_F(PageManagerTest, ChangedPageIsWrittenOnceAndAnEmptyCommitWritesNothing) {
  const int32_t no = Committed(1);
  testing::WriteFaults writes(Path());
  Modify(1, no, 2);
  m_.CommitSession(1);
  EXPECT_EQ(writes.writes, 1);
  const int32_t counter = m_.Header().commit_counter;
  m_.CommitSession(1);
  EXPECT_EQ(writes.writes, 1);
  EXPECT_EQ(m_.Header().commit_counter, counter);
}

// Counts the bytes written to a file.
class WrittenBytes : public platform::FileObserver {
 public:
  explicit WrittenBytes(std::string path) : path_(std::move(path)) { platform::SetFileObserver(this); }
  ~WrittenBytes() override { platform::SetFileObserver(nullptr); }
  void BeforeWrite(const std::string& path, int64_t, const void*, int64_t count) override {
    if (path == path_) bytes += count;
  }
  void AfterSync(const std::string&) override {}
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}
  int64_t bytes = 0;

 private:
  std::string path_;
};

TEST_F(PageManagerTest, PagesTheSessionAllocatedAreNotJournaled) {
  // What a new page held before is nobody's: only the changed old page and
  // the free-space pages go into the journal, not the 40 new pages.
  const int32_t no = Committed(1);
  WrittenBytes journal(Path() + "-journal");
  Modify(1, no, 2);
  for (int i = 0; i < 40; ++i) m_.PutPage(m_.AddPage(1, ptTableBlob));
  m_.CommitSession(1);
  EXPECT_GT(journal.bytes, 512);
  EXPECT_LT(journal.bytes, 10 * 512);
  EXPECT_EQ(Read(no), 2);
}

TEST_F(PageManagerTest, AnotherSessionWaitsForThePage) {
  const int32_t no = Committed(1);
  TABSPage* held = m_.GetPage(1, no, ptTableRecord);
  EXPECT_EQ(ErrorOf([&] { m_.GetPage(2, no, ptTableRecord); }), "Page is used by other session - Native error: 20090");
  m_.PutPage(held);
  TABSPage* second = m_.GetPage(2, no, ptTableRecord);
  EXPECT_EQ(second->Data()[0], 1);
  m_.PutPage(second);
}

TEST_F(PageManagerTest, RollbackGivesAddedPagesBack) {
  Committed(1);
  const int32_t total = m_.PageCount();
  std::set<int32_t> added;
  for (int i = 0; i < 3; ++i) {
    TABSPage* page = m_.AddPage(4, ptTableRecord);
    added.insert(page->PageNo());
    m_.PutPage(page);
  }
  m_.RollbackSession(4);
  EXPECT_EQ(m_.PageCount(), total);
  for (int32_t no : added) EXPECT_FALSE(m_.FreeSpace()->IsPageUsed(no)) << no;
  m_.Close();
  ExpectClean(Path());
}

// Page numbers a rollback cannot give back at once are given back by
// whichever ends the session's next transaction.
TEST_F(PageManagerTest, PagesARollbackCannotFreeAreOwedToTheNextTransaction) {
  for (const bool commit : {true, false}) {
    SCOPED_TRACE(commit ? "commit" : "rollback");
    std::vector<int32_t> added;
    for (int i = 0; i < 3; ++i) {
      TABSPage* page = m_.AddPage(4, ptTableRecord);
      added.push_back(page->PageNo());
      m_.PutPage(page);
    }
    {
      testing::WriteFaults writes(Path());
      writes.fail_at = 2;
      writes.keep_failing = true;
      EXPECT_EQ(ErrorOf([&] { m_.RollbackSession(4); }), "injected write failure - Native error: 99999");
    }
    if (commit) {
      m_.CommitSession(4);
    } else {
      m_.RollbackSession(4);
    }
    for (const int32_t no : added) EXPECT_FALSE(m_.FreeSpace()->IsPageUsed(no)) << no;
  }
  m_.Close();
  ExpectClean(Path());
}

TEST_F(PageManagerTest, CommitAndRollbackRefuseHeldPages) {
  const int32_t no = Committed(1);
  TABSPage* page = m_.GetPage(1, no, ptTableRecord);
  EXPECT_EQ(ErrorOf([&] { m_.CommitSession(1); }), "Some session pages are not released - Native error: 20152");
  page->dirty = true;
  m_.PutPage(page);
  page = m_.GetPage(1, no, ptTableRecord);  // from the session's dirty list now
  EXPECT_EQ(ErrorOf([&] { m_.CommitSession(1); }), "Cannot write used page - Native error: 20086");
  EXPECT_EQ(ErrorOf([&] { m_.RollbackSession(1); }), "Cannot remove used page - Native error: 20088");
  m_.PutPage(page);
  m_.RollbackSession(1);
  EXPECT_EQ(Read(no), 1);
}

TEST_F(PageManagerTest, PageTypeCheck) {
  TABSPage* page = m_.AddPage(1, ptTableIndex);
  const int32_t no = page->PageNo();
  m_.PutPage(page);
  m_.CommitSession(1);
  m_.Close();
  bool multi = false, ro = false;
  m_.OpenDatabaseFile(Path(), {}, multi, false, ro);
  EXPECT_EQ(ErrorOf([&] { m_.GetPage(1, no, ptTableRecord); }),
            "Invalid page type. Possibly data is corrupted - Native error: 20153");
  EXPECT_EQ(m_.CachedPageCount(), 0);
  m_.PutPage(m_.GetPage(1, no, kAnyPageType));
  m_.PutPage(m_.GetPage(1, no, ptTableIndex));
  EXPECT_EQ(ErrorOf([&] { m_.GetPage(1, 0, kAnyPageType); }),
            "Cannot delete PFS or EAM page. PageNo=0 - Native error: 30434");
  EXPECT_EQ(ErrorOf([&] { m_.RemovePage(1, 1); }), "Cannot delete PFS or EAM page. PageNo=1 - Native error: 30434");
  EXPECT_EQ(ErrorOf([&] { m_.GetPage(-1, no, kAnyPageType); }), "Invalid Session ID - Native error: 20186");
}

// A page already cached, or among the session's own changes, is checked
// like one read from disk: a wrong reference never hands over another
// structure's page.
TEST_F(PageManagerTest, TypeAndOwnerAreCheckedWhereverThePageIs) {
  TABSPage* page = m_.AddPage(1, ptTableRecord);
  page->SetOwner(7);
  const int32_t no = page->PageNo();
  m_.PutPage(page);
  const std::string wrong_type = "Invalid page type. Possibly data is corrupted - Native error: 20153";
  const std::string wrong_owner = "Invalid page owner. Possibly data is corrupted - Native error: 10700";
  for (const char* where : {"session's changes", "cache"}) {
    SCOPED_TRACE(where);
    EXPECT_EQ(ErrorOf([&] { m_.GetPage(1, no, ptTableIndex); }), wrong_type);
    EXPECT_EQ(ErrorOf([&] { m_.GetPage(1, no, ptTableRecord, 8); }), wrong_owner);
    m_.PutPage(m_.GetPage(1, no, ptTableRecord, 7));
    m_.PutPage(m_.GetPage(1, no, ptTableRecord));
    m_.PutPage(m_.GetPage(1, no, kAnyPageType, kAnyPageOwner));
    m_.CommitSession(1);
  }
  m_.Close();
  bool multi = false, ro = false;
  m_.OpenDatabaseFile(Path(), {}, multi, false, ro);
  EXPECT_EQ(ErrorOf([&] { m_.GetPage(1, no, ptTableRecord, 8); }), wrong_owner);
  EXPECT_EQ(m_.CachedPageCount(), 0) << "a page refused on loading is not kept";
  m_.PutPage(m_.GetPage(1, no, ptTableRecord, 7));
  m_.Close();
  // Files before 2.99 keep no owners: there is nothing to check.
  std::vector<uint8_t> bytes = ReadAll(Path());
  const double old_version = 2.98;
  std::memcpy(bytes.data() + 18, &old_version, 8);
  WriteAll(Path(), bytes);
  m_.OpenDatabaseFile(Path(), {}, multi, false, ro);
  m_.PutPage(m_.GetPage(1, no, ptTableRecord, 8));
}

TEST_F(PageManagerTest, RemovingTwiceFreesOnce) {
  const int32_t keep = Committed(1);
  const int32_t no = Committed(2);
  m_.RemovePage(1, no);
  m_.RemovePage(1, no);
  m_.CommitSession(1);
  EXPECT_FALSE(m_.FreeSpace()->IsPageUsed(no));
  EXPECT_TRUE(m_.FreeSpace()->IsPageUsed(keep));
  m_.Close();
  ExpectClean(Path());
}

TEST_F(PageManagerTest, RemovingAPageSomeoneHoldsIsRefused) {
  const int32_t no = Committed(1);
  TABSPage* held = m_.GetPage(2, no, ptTableRecord);
  m_.RemovePage(1, no);
  EXPECT_EQ(ErrorOf([&] { m_.CommitSession(1); }), "Page is used by other session - Native error: 20090");
  EXPECT_TRUE(m_.FreeSpace()->IsPageUsed(no));
  m_.PutPage(held);
  m_.CommitSession(1);
  EXPECT_FALSE(m_.FreeSpace()->IsPageUsed(no));
  EXPECT_EQ(m_.CachedPageCount(), 0) << "no copy of a freed page stays cached";
}

TEST_F(PageManagerTest, RejectedCommitChangesNothing) {
  const int32_t no = Committed(1);
  Modify(1, no, 5);
  TABSPage* added = m_.AddPage(1, ptTableRecord);
  m_.PutPage(added);
  m_.RemovePage(1, 400);  // beyond the file
  const std::vector<uint8_t> before = ReadAll(Path());
  EXPECT_EQ(ErrorOf([&] { m_.CommitSession(1); }),
            "Page: 400 cannot be addressed. TotalPageCount=6 - Native error: 30430");
  EXPECT_EQ(ReadAll(Path()), before);
  EXPECT_EQ(m_.DirtyPageCount(1), 2);
  m_.RollbackSession(1);
  EXPECT_EQ(Read(no), 1);
  m_.Close();
  ExpectClean(Path());
}

TEST_F(PageManagerTest, FailedCommitIsRolledBackAndCanBeRetried) {
  const int32_t a = Committed(1);
  const int32_t b = Committed(2);
  const int32_t c = Committed(3);
  Modify(1, a, 10);
  Modify(1, b, 20);
  m_.RemovePage(1, c);
  const std::vector<uint8_t> before = ReadAll(Path());
  {
    testing::WriteFaults writes(Path());
    writes.fail_at = 3;  // after the free-space change and the first page
    EXPECT_EQ(ErrorOf([&] { m_.CommitSession(1); }), "injected write failure - Native error: 99999");
  }
  EXPECT_EQ(ReadAll(Path()), before);
  EXPECT_FALSE(TABSJournal::IsLive(m_.File()));
  EXPECT_EQ(Read(a), 1);  // other sessions still see the committed state
  m_.CommitSession(1);
  EXPECT_EQ(Read(a), 10);
  EXPECT_EQ(Read(b), 20);
  EXPECT_FALSE(m_.FreeSpace()->IsPageUsed(c));
  m_.Close();
  ExpectClean(Path());
}

// Old page images go into the journal in runs of consecutive pages; a commit
// longer than one run that fails at any of its writes is still undone byte
// for byte, and the retry writes every page.
TEST_F(PageManagerTest, FailedCommitOfManyConsecutivePagesIsRolledBack) {
  std::vector<int32_t> pages;
  for (int i = 0; i < 70; ++i) pages.push_back(Committed(1));
  for (int fail_at : {1, 2, 33, 34, 65, 69, 70}) {
    SCOPED_TRACE(fail_at);
    for (size_t i = 0; i < pages.size(); ++i) Modify(1, pages[i], static_cast<uint8_t>(2 + i));
    const std::vector<uint8_t> before = ReadAll(Path());
    {
      testing::WriteFaults writes(Path());
      writes.fail_at = fail_at;
      EXPECT_EQ(ErrorOf([&] { m_.CommitSession(1); }), "injected write failure - Native error: 99999");
    }
    EXPECT_EQ(ReadAll(Path()), before);
    EXPECT_FALSE(TABSJournal::IsLive(m_.File()));
  }
  m_.CommitSession(1);
  for (size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(Read(pages[i]), static_cast<uint8_t>(2 + i));
  m_.Close();
  ExpectClean(Path());
}

// A commit that cannot undo its writes either leaves new pages in the file
// beside its journal: no page is read before the journal is applied.
TEST_F(PageManagerTest, PagesAreNotReadBeforeAFailedUndoIsSettled) {
  const int32_t a = Committed(1);
  const int32_t b = Committed(2);
  m_.Close();
  bool multi = false, ro = false;
  m_.OpenDatabaseFile(Path(), {}, multi, false, ro);
  Modify(1, a, 10);
  Modify(1, b, 20);
  {
    testing::WriteFaults writes(Path());
    writes.fail_at = 2;
    writes.keep_failing = true;
    EXPECT_EQ(ErrorOf([&] { m_.CommitSession(1); }), "injected write failure - Native error: 99999");
  }
  m_.RollbackSession(1);
  EXPECT_EQ(Read(a), 1);
  EXPECT_EQ(Read(b), 2);
  m_.Close();
  ExpectClean(Path());
}

TEST_F(PageManagerTest, CommitReplacesAnOlderCachedCopy) {
  const int32_t no = Committed(1);
  Modify(1, no, 7);          // session 1's copy moves to its dirty list
  EXPECT_EQ(Read(no, 2), 1);  // session 2 caches the committed copy
  m_.CommitSession(1);
  EXPECT_EQ(Read(no, 2), 7);
  // A commit whose page someone holds in the cache is refused up front.
  Modify(1, no, 8);
  TABSPage* held = m_.GetPage(2, no, kAnyPageType);
  EXPECT_EQ(ErrorOf([&] { m_.CommitSession(1); }), "Page is used by other session - Native error: 20090");
  m_.PutPage(held);
  m_.CommitSession(1);
  EXPECT_EQ(Read(no, 2), 8);
}

// A failed statement inside a transaction undoes only itself: pages the
// transaction had changed get their images back, pages first changed or
// added by the statement go, and its removals are forgotten.
TEST_F(PageManagerTest, StatementRollbackUndoesOnlyTheStatement) {
  const int32_t a = Committed(1), b = Committed(2), c = Committed(3), d = Committed(4);
  Modify(1, a, 10);
  TABSPage* page = m_.AddPage(1, ptTableRecord);
  const int32_t x = page->PageNo();
  std::memset(page->Data(), 11, page->DataSize());
  m_.PutPage(page);
  m_.RemovePage(1, c);

  m_.BeginStatement(1);
  EXPECT_TRUE(m_.InStatement(1));
  Modify(1, a, 20);
  Modify(1, a, 21);  // the image is the one from before the statement
  Modify(1, b, 22);
  Modify(1, x, 23);
  page = m_.AddPage(1, ptTableRecord);
  const int32_t y = page->PageNo();
  m_.PutPage(page);
  m_.RemovePage(1, d);
  m_.RollbackStatement(1);
  EXPECT_FALSE(m_.InStatement(1));

  EXPECT_EQ(Read(a, 1), 10);
  EXPECT_EQ(Read(b, 1), 2);
  EXPECT_EQ(Read(x, 1), 11);
  EXPECT_FALSE(m_.FreeSpace()->IsPageUsed(y));
  m_.CommitSession(1);
  EXPECT_EQ(Read(a), 10);
  EXPECT_EQ(Read(b), 2);
  EXPECT_EQ(Read(x), 11);
  EXPECT_FALSE(m_.FreeSpace()->IsPageUsed(c));
  EXPECT_EQ(Read(d), 4);
  m_.Close();
  ExpectClean(Path());
}

// A holder that prepares its changes gets no copy of the pages it only
// reads; the pages it changes are restored all the same.
TEST_F(PageManagerTest, DeferredImagesAreTakenAtTheFirstChange) {
  const int32_t a = Committed(1), b = Committed(2), c = Committed(3);
  for (const int32_t page : {a, b, c}) Modify(1, page, 10);
  m_.BeginStatement(1);
  const auto change = [&](int32_t page_no, uint8_t fill, bool prepare) {
    TABSPage* page = m_.GetPage(1, page_no, kAnyPageType, kAnyPageOwner, /*defer_image=*/true);
    if (prepare) {
      m_.PrepareChange(*page);
      std::memset(page->Data(), fill, page->DataSize());
      page->dirty = true;
    }
    m_.PutPage(page);
  };
  change(a, 20, true);
  change(b, 0, false);  // only read
  change(c, 0, false);
  Modify(1, c, 30);     // a holder that copies at once
  m_.RollbackStatement(1);
  EXPECT_EQ(Read(a, 1), 10);
  EXPECT_EQ(Read(b, 1), 10);
  EXPECT_EQ(Read(c, 1), 10);
  EXPECT_EQ(m_.DirtyPageCount(1), 3);
  m_.CommitSession(1);
  EXPECT_EQ(Read(b), 10);
}

TEST_F(PageManagerTest, ReleasedStatementKeepsItsChanges) {
  const int32_t a = Committed(1);
  m_.BeginStatement(1);
  EXPECT_EQ(ErrorOf([&] { m_.BeginStatement(1); }),
            "A statement of session 1 is already active - Native error: 10760");
  Modify(1, a, 5);
  m_.ReleaseStatement(1);
  m_.RollbackStatement(1);  // nothing left to undo
  m_.BeginStatement(1);
  Modify(1, a, 6);
  m_.CommitSession(1);  // ends the statement too
  EXPECT_FALSE(m_.InStatement(1));
  EXPECT_EQ(Read(a), 6);
  m_.BeginStatement(1);
  TABSPage* held = m_.GetPage(1, a, kAnyPageType);
  EXPECT_EQ(ErrorOf([&] { m_.RollbackStatement(1); }), "Cannot remove used page - Native error: 20088");
  m_.PutPage(held);
  m_.RollbackStatement(1);
}

// Page numbers the statement added and that cannot be given back at once
// are given back by whichever ends the transaction.
TEST_F(PageManagerTest, StatementPagesThatCannotBeFreedAreOwedToTheTransaction) {
  for (const bool commit : {true, false}) {
    SCOPED_TRACE(commit ? "commit" : "rollback");
    const int32_t a = Committed(1);
    Modify(1, a, 9);
    m_.BeginStatement(1);
    std::vector<int32_t> added;
    for (int i = 0; i < 3; ++i) {
      TABSPage* page = m_.AddPage(1, ptTableRecord);
      added.push_back(page->PageNo());
      m_.PutPage(page);
    }
    {
      testing::WriteFaults writes(Path());
      writes.fail_at = 1;
      writes.keep_failing = true;
      m_.RollbackStatement(1);
    }
    if (commit) {
      m_.CommitSession(1);
    } else {
      m_.RollbackSession(1);
    }
    for (const int32_t no : added) EXPECT_FALSE(m_.FreeSpace()->IsPageUsed(no)) << no;
    EXPECT_EQ(Read(a), commit ? 9 : 1);
  }
  m_.Close();
  ExpectClean(Path());
}

// Random operations over several sessions against a model of what each
// session and the file must hold.
TEST_F(PageManagerTest, RandomOperationsMatchTheModel) {
  m_.SetCacheCapacity(6);
  TABSRandomSource random(2024);
  std::map<int32_t, uint8_t> committed;
  struct SessionModel {
    std::map<int32_t, uint8_t> pending;
    std::set<int32_t> added, removed;
  };
  std::map<int32_t, SessionModel> sessions{{1, {}}, {2, {}}, {3, {}}};
  std::set<int32_t> reserved;  // pages some session changes or removes
  auto pick_committed = [&](int32_t session) -> int32_t {
    std::vector<int32_t> candidates;
    for (const auto& [no, value] : committed) {
      if (!reserved.count(no) || sessions[session].pending.count(no)) {
        if (!sessions[session].removed.count(no)) candidates.push_back(no);
      }
    }
    if (candidates.empty()) return -1;
    return candidates[static_cast<size_t>(random.Between(0, int64_t(candidates.size()) - 1))];
  };
  uint8_t next_value = 1;
  for (int step = 0; step < 1500; ++step) {
    const int32_t s = static_cast<int32_t>(random.Between(1, 3));
    SessionModel& model = sessions[s];
    const int64_t op = random.Between(0, 99);
    if (op < 25) {
      TABSPage* page = m_.AddPage(s, ptTableRecord);
      const int32_t no = page->PageNo();
      ASSERT_FALSE(committed.count(no) || reserved.count(no)) << "page " << no << " handed out twice";
      std::memset(page->Data(), next_value, page->DataSize());
      m_.PutPage(page);
      model.pending[no] = next_value++;
      model.added.insert(no);
      reserved.insert(no);
    } else if (op < 55) {
      const int32_t no = pick_committed(s);
      if (no < 0) continue;
      const uint8_t expected = model.pending.count(no) ? model.pending[no] : committed[no];
      TABSPage* page = m_.GetPage(s, no, ptTableRecord);
      ASSERT_EQ(page->Data()[0], expected) << "page " << no;
      ASSERT_EQ(page->Data()[page->DataSize() - 1], expected);
      std::memset(page->Data(), next_value, page->DataSize());
      page->dirty = true;
      m_.PutPage(page);
      model.pending[no] = next_value++;
      reserved.insert(no);
    } else if (op < 65) {
      const int32_t no = pick_committed(s);
      if (no < 0 || model.pending.count(no)) continue;
      m_.RemovePage(s, no);
      model.removed.insert(no);
      reserved.insert(no);
    } else if (op < 85) {
      m_.CommitSession(s);
      for (const auto& [no, value] : model.pending) committed[no] = value;
      for (int32_t no : model.removed) committed.erase(no);
      for (const auto& [no, value] : model.pending) reserved.erase(no);
      for (int32_t no : model.removed) reserved.erase(no);
      model = {};
    } else if (op < 95) {
      m_.RollbackSession(s);
      for (const auto& [no, value] : model.pending) reserved.erase(no);
      for (int32_t no : model.removed) reserved.erase(no);
      model = {};
    } else {
      const int32_t no = pick_committed(4);
      if (no >= 0 && !reserved.count(no)) {
        ASSERT_EQ(Read(no, 4), committed[no]) << "page " << no;
      }
    }
    ASSERT_LE(m_.CachedPageCount(), 6);
  }
  for (auto& [s, model] : sessions) m_.RollbackSession(s);
  m_.Close();
  ExpectClean(Path());
  bool multi = false, ro = false;
  m_.OpenDatabaseFile(Path(), {}, multi, false, ro);
  for (const auto& [no, value] : committed) EXPECT_EQ(Read(no), value) << "page " << no;
}

}  // namespace
}  // namespace kelvorin
