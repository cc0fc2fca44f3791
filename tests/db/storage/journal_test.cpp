// The rollback journal seen from opening: a live journal is rolled back
// (and refused by a read-only open), a stale one is never applied, and
// creating a database removes whatever journal its name had.
#include <gtest/gtest.h>

#include <cstring>

#include "db/storage/disk_page_manager.h"
#include "db/storage/journal.h"
#include "platform/file.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorOf;

// Fails every write to the database's pages from the n-th on, so that a
// commit stops part-way and cannot roll itself back either.
class FailingDisk : public platform::FileObserver {
 public:
  FailingDisk(std::string path, int fail_from) : path_(std::move(path)), fail_from_(fail_from) {
    platform::SetFileObserver(this);
  }
  ~FailingDisk() override { platform::SetFileObserver(nullptr); }
  void BeforeWrite(const std::string& path, int64_t offset, const void*, int64_t) override {
    if (path == path_ && offset >= 380 && ++writes_ >= fail_from_) {
      throw EABSException(99998, "disk gone");
    }
  }
  void AfterSync(const std::string&) override {}
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}

 private:
  std::string path_;
  int fail_from_;
  int writes_ = 0;
};

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
      FailingDisk disk(Path(), 2);
      EXPECT_EQ(ErrorOf([&] { m.CommitSession(1); }), "disk gone - Native error: 99998");
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
  // A journal from an earlier commit: the file's counter has moved on.
  InterruptCommit();
  const std::vector<uint8_t> old_journal = ReadAll(Path() + "-journal");
  {
    TABSDiskPageManager m;
    bool multi = false, ro = false;
    m.OpenDatabaseFile(Path(), {}, multi, false, ro);
    TABSPage* page = m.GetPage(1, pages_[1], ptTableRecord);
    std::memset(page->Data(), 3, page->DataSize());
    page->dirty = true;
    m.PutPage(page);
    m.CommitSession(1);
  }
  WriteAll(Path() + "-journal", old_journal);
  TABSDiskPageManager m;
  bool multi = false, ro = true;
  m.OpenDatabaseFile(Path(), {}, multi, false, ro);
  TABSPage* page = m.GetPage(1, pages_[1], ptTableRecord);
  EXPECT_EQ(page->Data()[0], 3);
  m.PutPage(page);
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
