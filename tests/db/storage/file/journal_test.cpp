// The rollback journal seen from opening: a live journal is rolled back
// (and refused by a read-only open), a stale one is never applied, and
// creating a database removes whatever journal its name had.
#include <gtest/gtest.h>

#include <cstring>

#include "db/storage/file/crc32.h"
#include "db/storage/pages/disk_page_manager.h"
#include "db/storage/file/journal.h"
#include "platform/file.h"
#include "tests/db/storage/storage_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin {
namespace {

using testing::ErrorOf;

class JournalTest : public testing::StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    TABSDiskPageManager m;
    m.CreateDatabaseFile(Path(), {}, 8, 512);
    for (int i = 0; i < 3; ++i) {
      TABSPage* page = m.AddPage(1, ptTableRecord);
      std::memset(page->Data(), 1, page->DataSize());
      pages_.push_back(page->PageNo());
      m.PutPage(page);
    }
    m.CommitSession(1);
  }
  // Leaves the file as a process would that died half-way through a commit
  // changing every page to 2.
  void InterruptCommit() {
    TABSDiskPageManager m;
    bool multi = false, ro = false;
    m.OpenDatabaseFile(Path(), {}, multi, false, ro);
    for (int32_t no : pages_) {
      TABSPage* page = m.GetPage(1, no, ptTableRecord);
      std::memset(page->Data(), 2, page->DataSize());
      page->dirty = true;
      m.PutPage(page);
    }
    {
      // From the second page write on the disk is gone: the commit stops
      // part-way and cannot roll itself back either.
      testing::WriteFaults disk(Path());
      disk.fail_at = 2;
      disk.keep_failing = true;
      EXPECT_EQ(ErrorOf([&] { m.CommitSession(1); }), "injected write failure - Native error: 99999");
    }
    m.RollbackSession(1);
  }
  uint8_t PageByte(int32_t no) {
    const std::vector<uint8_t> bytes = ReadAll(Path());
    return bytes[380 + size_t(no) * 512 + 40];
  }

  std::vector<int32_t> pages_;
};

TEST_F(JournalTest, LiveJournalIsRolledBackAtOpen) {
  InterruptCommit();
  EXPECT_EQ(PageByte(pages_[0]), 2) << "the first page was written before the disk failed";
  {
    TABSDiskPageManager m;
    bool multi = false, ro = true;
    EXPECT_NE(ErrorOf([&] { m.OpenDatabaseFile(Path(), {}, multi, false, ro); }).find("rolled back by a writable open"),
              std::string::npos);
  }
  TABSDiskPageManager m;
  bool multi = false, ro = false;
  EXPECT_FALSE(m.OpenDatabaseFile(Path(), {}, multi, false, ro)) << "rolled back, so no repair is needed";
  for (int32_t no : pages_) {
    TABSPage* page = m.GetPage(1, no, ptTableRecord);
    EXPECT_EQ(page->Data()[0], 1);
    m.PutPage(page);
  }
  m.Close();
  EXPECT_FALSE(std::filesystem::exists(Path() + "-journal"));
  ExpectClean(Path());
}

TEST_F(JournalTest, StaleJournalIsNeverApplied) {
  // A journal from an earlier commit: the file has moved on by two commits
  // (one would match the journal's counter after its own commit).
  InterruptCommit();
  const std::vector<uint8_t> old_journal = ReadAll(Path() + "-journal");
  for (uint8_t fill : {3, 4}) {
    TABSDiskPageManager m;
    bool multi = false, ro = false;
    m.OpenDatabaseFile(Path(), {}, multi, false, ro);
    TABSPage* page = m.GetPage(1, pages_[1], ptTableRecord);
    std::memset(page->Data(), fill, page->DataSize());
    page->dirty = true;
    m.PutPage(page);
    m.CommitSession(1);
  }
  WriteAll(Path() + "-journal", old_journal);
  {
    TABSDiskPageManager m;
    bool multi = false, ro = true;
    m.OpenDatabaseFile(Path(), {}, multi, false, ro);
    TABSPage* page = m.GetPage(1, pages_[1], ptTableRecord);
    EXPECT_EQ(page->Data()[0], 4);
    m.PutPage(page);
  }
  const TABSIntegrityReport report = CheckDatabaseFile(Path());
  EXPECT_NE(report.Describe().find("journal of another state"), std::string::npos) << report.Describe();
}

// A commit writes its pages and its final header and then syncs them
// together: the disk may keep the header and lose a page. The journal stays
// until that sync is over, and it is applied while the file's counter is the
// one before or the one after its commit; any other counter means it belongs
// to another state of the file.
TEST_F(JournalTest, AppliedOnlyAtTheCountersOfItsCommit) {
  const struct {
    int32_t counter_change;
    bool applied;
  } cases[] = {{0, true}, {1, true}, {2, false}, {-1, false}};
  const std::vector<uint8_t> start = ReadAll(Path());
  for (const auto& c : cases) {
    SCOPED_TRACE("counter change " + std::to_string(c.counter_change));
    WriteAll(Path(), start);
    InterruptCommit();
    std::vector<uint8_t> bytes = ReadAll(Path());
    const uint32_t counter = uint32_t(bytes[38]) | uint32_t(bytes[39]) << 8 | uint32_t(bytes[40]) << 16 |
                             uint32_t(bytes[41]) << 24;
    const uint32_t changed = counter + static_cast<uint32_t>(c.counter_change);
    for (int i = 0; i < 4; ++i) bytes[38 + i] = static_cast<uint8_t>(changed >> (8 * i));
    WriteAll(Path(), bytes);
    {
      TABSDiskPageManager m;
      bool multi = false, ro = false;
      m.OpenDatabaseFile(Path(), {}, multi, false, ro);
    }
    EXPECT_EQ(PageByte(pages_[0]), c.applied ? 1 : 2);
    EXPECT_EQ(std::filesystem::exists(Path() + "-journal"), !c.applied);
    if (c.applied) ExpectClean(Path());
    std::filesystem::remove(Path() + "-journal");
  }
}

// Counters alone do not tell files apart: a journal is applied only to a
// file whose unchanging header bytes are the ones it recorded.
TEST_F(JournalTest, JournalOfAnotherFileWithTheSameCounterIsNotApplied) {
  InterruptCommit();
  const std::vector<uint8_t> journal = ReadAll(Path() + "-journal");
  const struct {
    int32_t pages_per_extent, page_size;
    TABSPassword password;
  } others[] = {{4, 512, {}}, {8, 1024, {}}, {8, 512, {"other", ciRijndael128}}};
  for (const auto& other : others) {
    SCOPED_TRACE("page size " + std::to_string(other.page_size));
    const std::string path = Path("other");
    {
      TABSDiskPageManager m;
      m.CreateDatabaseFile(path, other.password, other.pages_per_extent, other.page_size);
      TABSPage* page = m.AddPage(1, ptTableRecord);
      std::memset(page->Data(), 4, page->DataSize());
      m.PutPage(page);
      m.CommitSession(1);
    }
    const std::vector<uint8_t> before = ReadAll(path);
    WriteAll(path + "-journal", journal);
    {
      TABSDiskPageManager m;
      bool multi = false, ro = false;
      m.OpenDatabaseFile(path, other.password, multi, false, ro);
    }
    EXPECT_EQ(ReadAll(path), before);
    const TABSIntegrityReport report = CheckDatabaseFile(path, other.password);
    EXPECT_NE(report.Describe().find("journal of another state"), std::string::npos) << report.Describe();
  }
}

// A journal whose checksums hold but whose size or page numbers lie beyond
// the total it recorded (crafted, or damaged before it was checksummed)
// never makes the file grow past that total.
TEST_F(JournalTest, RecoveryStaysWithinTheRecordedTotal) {
  InterruptCommit();
  std::vector<uint8_t> journal = ReadAll(Path() + "-journal");
  const uint32_t salt = LoadU32(journal.data() + 20);
  StoreU64(journal.data() + 24, uint64_t{1} << 40);
  StoreU32(journal.data() + 416, AbsCrc32(journal.data(), 416));
  // A far record right after the valid ones.
  size_t end = 420;
  while (end + 520 <= journal.size() && LoadU32(journal.data() + end + 516) == AbsCrc32(journal.data() + end, 516, salt)) {
    end += 520;
  }
  journal.resize(end + 520);
  StoreI32(journal.data() + end, 1 << 30);
  StoreU32(journal.data() + end + 516, AbsCrc32(journal.data() + end, 516, salt));
  WriteAll(Path() + "-journal", journal);
  // The size reached at any moment, not just at the end (opening shortens
  // a file longer than its total).
  struct Extent : platform::FileObserver {
    std::string path;
    int64_t furthest = 0;
    void BeforeWrite(const std::string& p, int64_t offset, const void*, int64_t count) override {
      if (p == path) furthest = std::max(furthest, offset + count);
    }
    void AfterSync(const std::string&) override {}
    void BeforeTruncate(const std::string& p, int64_t size) override {
      if (p == path) furthest = std::max(furthest, size);
    }
    void AfterRemove(const std::string&) override {}
    void AfterDirectorySync(const std::string&) override {}
  } extent;
  extent.path = Path();
  platform::SetFileObserver(&extent);
  {
    TABSDiskPageManager m;
    bool multi = false, ro = false;
    m.OpenDatabaseFile(Path(), {}, multi, false, ro);
  }
  platform::SetFileObserver(nullptr);
  EXPECT_LE(extent.furthest, 380 + 6 * 512);
  EXPECT_EQ(std::filesystem::file_size(Path()), 380u + 6 * 512);
  EXPECT_EQ(PageByte(pages_[0]), 1) << "the valid record was applied";
  ExpectClean(Path());
}

// A commit marks its journal done after its final sync and only then sets
// the state byte back, unsynced: a power loss may keep the committing state.
// Beside a journal marked done that state means a completed commit, at a
// read-only open too; without the journal it still means repair.
TEST_F(JournalTest, CommittingStateBesideADoneJournalIsACompletedCommit) {
  std::vector<uint8_t> done_journal;
  {
    TABSDiskPageManager m;
    bool multi = false, ro = false;
    m.OpenDatabaseFile(Path(), {}, multi, false, ro);
    TABSPage* page = m.GetPage(1, pages_[0], ptTableRecord);
    std::memset(page->Data(), 5, page->DataSize());
    page->dirty = true;
    m.PutPage(page);
    m.CommitSession(1);
    done_journal = ReadAll(Path() + "-journal");
  }
  ASSERT_GE(done_journal.size(), 16u);
  std::vector<uint8_t> committing = ReadAll(Path());
  committing[42] = 1;
  const struct {
    bool with_journal, read_only, needs_repair;
  } cases[] = {{true, true, false}, {true, false, false}, {false, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.with_journal ? "journal" : "no journal") + (c.read_only ? ", read-only" : ""));
    WriteAll(Path(), committing);
    std::filesystem::remove(Path() + "-journal");
    if (c.with_journal) WriteAll(Path() + "-journal", done_journal);
    {
      TABSDiskPageManager m;
      bool multi = false, ro = c.read_only;
      EXPECT_EQ(m.OpenDatabaseFile(Path(), {}, multi, false, ro), c.needs_repair);
    }
    EXPECT_EQ(PageByte(pages_[0]), 5);
    EXPECT_EQ(ReadAll(Path())[42], c.with_journal && !c.read_only ? 2 : 1);
    EXPECT_EQ(CheckDatabaseFile(Path()).HasCorruption(), c.needs_repair) << CheckDatabaseFile(Path()).Describe();
  }
}

// Fails the write that marks a journal done.
class FailingDoneMark : public platform::FileObserver {
 public:
  explicit FailingDoneMark(std::string journal) : journal_(std::move(journal)) { platform::SetFileObserver(this); }
  ~FailingDoneMark() override { platform::SetFileObserver(nullptr); }
  void BeforeWrite(const std::string& path, int64_t offset, const void* data, int64_t count) override {
    if (path == journal_ && offset == 0 && count == 16 &&
        std::memcmp(data, "KELVORINJOURDONE", 16) == 0) {
      throw EABSException(99997, "journal disk gone");
    }
  }
  void AfterSync(const std::string&) override {}
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}

 private:
  std::string journal_;
};

// A commit whose data is synced but whose journal cannot be marked done
// must not return as durable: it is rolled back from the journal (which a
// reopen would apply anyway) and can be retried.
TEST_F(JournalTest, CommitThatCannotRetireItsJournalIsRolledBack) {
  TABSDiskPageManager m;
  bool multi = false, ro = false;
  m.OpenDatabaseFile(Path(), {}, multi, false, ro);
  const std::vector<uint8_t> before = ReadAll(Path());
  TABSPage* page = m.GetPage(1, pages_[0], ptTableRecord);
  std::memset(page->Data(), 6, page->DataSize());
  page->dirty = true;
  m.PutPage(page);
  {
    FailingDoneMark failing(Path() + "-journal");
    EXPECT_EQ(ErrorOf([&] { m.CommitSession(1); }), "journal disk gone - Native error: 99997");
  }
  EXPECT_EQ(ReadAll(Path()), before);
  EXPECT_FALSE(TABSJournal::IsLive(m.File()));
  m.CommitSession(1);
  EXPECT_EQ(PageByte(pages_[0]), 6);
  m.Close();
  ExpectClean(Path());
}

// Fails the first header write that sets the consistent state.
class FailingStateWrite : public platform::FileObserver {
 public:
  explicit FailingStateWrite(std::string path) : path_(std::move(path)) { platform::SetFileObserver(this); }
  ~FailingStateWrite() override { platform::SetFileObserver(nullptr); }
  void BeforeWrite(const std::string& path, int64_t offset, const void* data, int64_t count) override {
    if (!failed && path == path_ && offset == 0 && count >= 43 && static_cast<const uint8_t*>(data)[42] == 2) {
      failed = true;
      throw EABSException(99996, "header write lost");
    }
  }
  void AfterSync(const std::string&) override {}
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}
  bool failed = false;

 private:
  std::string path_;
};

// Once the journal is marked done the commit is durable: the state write
// after it cannot fail the commit, and closing completes it.
TEST_F(JournalTest, CommitIsDurableOnceItsJournalIsDone) {
  {
    TABSDiskPageManager m;
    bool multi = false, ro = false;
    m.OpenDatabaseFile(Path(), {}, multi, false, ro);
    TABSPage* page = m.GetPage(1, pages_[0], ptTableRecord);
    std::memset(page->Data(), 9, page->DataSize());
    page->dirty = true;
    m.PutPage(page);
    FailingStateWrite failing(Path());
    EXPECT_EQ(ErrorOf([&] { m.CommitSession(1); }), "");
    EXPECT_TRUE(failing.failed);
    EXPECT_EQ(ReadAll(Path())[42], 1);
  }
  EXPECT_EQ(ReadAll(Path())[42], 2) << "closing writes the state";
  EXPECT_FALSE(std::filesystem::exists(Path() + "-journal"));
  EXPECT_EQ(PageByte(pages_[0]), 9);
  ExpectClean(Path());
}

TEST_F(JournalTest, CreatingADatabaseRemovesItsOldJournal) {
  InterruptCommit();
  ASSERT_TRUE(std::filesystem::exists(Path() + "-journal"));
  TABSDiskPageManager m;
  m.CreateDatabaseFile(Path(), {}, 8, 512);
  EXPECT_FALSE(std::filesystem::exists(Path() + "-journal"));
  m.PutPage(m.AddPage(1, ptTableRecord));
  m.CommitSession(1);
  m.Close();
  ExpectClean(Path());
}

}  // namespace
}  // namespace kelvorin
