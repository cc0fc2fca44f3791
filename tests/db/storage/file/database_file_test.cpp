// The database file: layout, checksums, encryption, create/open and the
// disk page manager's page and part-of-page access.
#include <gtest/gtest.h>

#include <cstring>

#include "db/storage/pages/disk_page_manager.h"
#include "db/storage/file/page_cipher.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorOf;

class DatabaseFileTest : public testing::StorageTest {
 protected:
  bool Open(TABSDiskPageManager& m, const TABSPassword& password = {}, bool multi_user = false) {
    bool read_only = false;
    return m.OpenDatabaseFile(Path(), password, multi_user, false, read_only);
  }
  // Writes one page with the given data through a session and commits.
  int32_t AddCommittedPage(TABSDiskPageManager& m, uint8_t fill) {
    TABSPage* page = m.AddPage(1, ptTableRecord);
    std::memset(page->Data(), fill, page->DataSize());
    const int32_t page_no = page->PageNo();
    m.PutPage(page);
    m.CommitSession(1);
    return page_no;
  }
};

TEST(PageLayout, WriteCounterNeverReachesTheLimit) {
  const struct { int32_t before, after; } cases[] = {
      {0, 1}, {0x7FFFFFFB, 0x7FFFFFFC}, {0x7FFFFFFC, 0}, {0x7FFFFFFF, 0}, {-5, 0}};
  for (const auto& c : cases) EXPECT_EQ(NextWriteCounter(c.before), c.after) << c.before;
}

TEST(PageLayout, TypeNamesAndChecks) {
  EXPECT_EQ(PageTypeName(ptTableIndex), "TableIndex Page");
  EXPECT_EQ(ErrorOf([] { PageTypeName(13); }), "Unknown Page Type: (13) - Native error: 30382");
  EXPECT_EQ(ErrorOf([] { CheckPageType(ptTableIndex, ptTableRecord, 30423); }),
            "Wrong page type. Found 'TableIndex Page', but wanted: 'TableRecord Page' - Native error: 30423");
  EXPECT_EQ(ErrorOf([] { CheckPageType(ptTableIndex, kAnyPageType, 30423); }), "");
}

TEST(PageCipher, EveryCipherRoundTripsAndDependsOnThePassword) {
  for (int id = 0; id < kCipherCount; ++id) {
    SCOPED_TRACE(std::string(CipherName(static_cast<uint8_t>(id))));
    EXPECT_EQ(CipherIdFromName(CipherName(static_cast<uint8_t>(id))), id);
    std::vector<uint8_t> plain(4056);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> data = plain;
    ASSERT_TRUE(EncryptBuffer(data.data(), data.size(), "secret", static_cast<uint8_t>(id)));
    EXPECT_NE(data, plain);
    std::vector<uint8_t> again = plain;
    ASSERT_TRUE(EncryptBuffer(again.data(), again.size(), "secret", static_cast<uint8_t>(id)));
    EXPECT_EQ(again, data) << "the same password must give the same ciphertext";
    std::vector<uint8_t> wrong = data;
    ASSERT_TRUE(DecryptBuffer(wrong.data(), wrong.size(), "Secret", static_cast<uint8_t>(id)));
    EXPECT_NE(wrong, plain);
    ASSERT_TRUE(DecryptBuffer(data.data(), data.size(), "secret", static_cast<uint8_t>(id)));
    EXPECT_EQ(data, plain);
  }
}

TEST(PageCipher, RefusesUnknownIdsAndTooShortMessages) {
  uint8_t data[64] = {};
  EXPECT_FALSE(EncryptBuffer(data, sizeof data, "p", 8));
  EXPECT_FALSE(DecryptBuffer(data, sizeof data, "p", 255));
  EXPECT_FALSE(EncryptBuffer(data, 16, "p", ciRijndael128));  // one block, nothing to steal from
  EXPECT_TRUE(EncryptBuffer(data, 17, "p", ciRijndael128));
  EXPECT_FALSE(CipherIdFromName("ROT13").has_value());
}

TEST_F(DatabaseFileTest, NewFileIsHeadersOnlyAndGrowsBySixPages) {
  TABSDiskPageManager m;
  m.Random().Seed(1);
  m.CreateDatabaseFile(Path(), {}, 8, 4096);
  EXPECT_EQ(std::filesystem::file_size(Path()), 380u);
  const std::vector<uint8_t> bytes = ReadAll(Path());
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 16), "KELVORINDATABASE");
  const uint8_t version[] = {0xAE, 0x47, 0xE1, 0x7A, 0x14, 0xAE, 0x09, 0x40};
  EXPECT_EQ(std::memcmp(bytes.data() + 18, version, 8), 0);
  EXPECT_EQ(LoadU16(bytes.data() + 16), 76);
  EXPECT_EQ(LoadI32(bytes.data() + 34), -1);
  EXPECT_EQ(bytes[42], 2);
  EXPECT_EQ(LoadU16(bytes.data() + 76), 280);
  EXPECT_EQ(LoadU16(bytes.data() + 356), 20);
  EXPECT_EQ(LoadI32(bytes.data() + 376), 0);

  EXPECT_EQ(AddCommittedPage(m, 0x11), 2);
  EXPECT_EQ(std::filesystem::file_size(Path()), 380u + 6 * 4096);
  EXPECT_EQ(m.Header().commit_counter, 1);
  m.Close();
  ExpectClean(Path());
}

TEST_F(DatabaseFileTest, SameSeedGivesTheSameFile) {
  std::vector<uint8_t> images[2];
  for (auto& image : images) {
    TABSDiskPageManager m;
    m.Random().Seed(42);
    m.CreateDatabaseFile(Path(), {"pw", ciTwofish256}, 8, 1024);
    AddCommittedPage(m, 0x5A);
    m.Close();
    image = ReadAll(Path());
  }
  EXPECT_EQ(images[0], images[1]);
}

TEST_F(DatabaseFileTest, OpenChecksSignatureVersionAndState) {
  {
    TABSDiskPageManager m;
    m.CreateDatabaseFile(Path(), {});
  }
  const std::vector<uint8_t> good = ReadAll(Path());
  struct Case {
    const char* name;
    void (*patch)(std::vector<uint8_t>&);
    bool needs_repair;
    const char* error;
  };
  const Case cases[] = {
      {"clean", [](std::vector<uint8_t>&) {}, false, ""},
      {"state 1", [](std::vector<uint8_t>& b) { b[42] = 1; }, true, ""},
      {"version 2.98", [](std::vector<uint8_t>& b) { StoreU64(b.data() + 18, std::bit_cast<uint64_t>(2.98)); }, true, ""},
      {"signature",
       [](std::vector<uint8_t>& b) { std::memcpy(b.data(), "NOTADATABASEFILE", 16); },
       false,
       "Invalid file format. Found signature: 'NOTADATABASEFILE', expected: 'KELVORINDATABASE' - Native error: 10470"},
      {"page size 0", [](std::vector<uint8_t>& b) { StoreU16(b.data() + 26, 0); }, false,
       "Invalid database format - Native error: 20237"},
      {"pages per extent 0", [](std::vector<uint8_t>& b) { StoreU16(b.data() + 28, 0); }, false,
       "Invalid database format - Native error: 20237"},
      {"encrypted flag 7", [](std::vector<uint8_t>& b) { b[43] = 7; }, false,
       "Invalid database format - Native error: 20237"},
      {"reserved size 21", [](std::vector<uint8_t>& b) { StoreU16(b.data() + 356, 21); }, false,
       "Invalid database format - Native error: 20237"},
      {"encryption header size", [](std::vector<uint8_t>& b) { StoreU16(b.data() + 76, 300); }, false,
       "Invalid database format - Native error: 20237"},
      {"unknown cipher", [](std::vector<uint8_t>& b) { b[43] = 0xFF; b[78] = 9; }, false,
       "Invalid database format - Native error: 20237"},
      {"last used page beyond the total", [](std::vector<uint8_t>& b) { StoreI32(b.data() + 34, 0); }, false,
       "Invalid database format - Native error: 20237"},
      {"negative total", [](std::vector<uint8_t>& b) { StoreI32(b.data() + 30, -6); }, false,
       "Invalid database format - Native error: 20237"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = good;
    c.patch(bytes);
    WriteAll(Path(), bytes);
    TABSDiskPageManager m;
    bool repair = false;
    EXPECT_EQ(ErrorOf([&] { repair = Open(m); }), c.error);
    EXPECT_EQ(repair, c.needs_repair);
    EXPECT_EQ(m.IsOpened(), std::string(c.error).empty());
  }
}

TEST_F(DatabaseFileTest, PasswordIsCheckedForEveryCipher) {
  for (int id = 0; id < kCipherCount; ++id) {
    SCOPED_TRACE(id);
    const TABSPassword password{"s3cret", static_cast<uint8_t>(id)};
    int32_t page_no = 0;
    {
      TABSDiskPageManager m;
      m.CreateDatabaseFile(Path(), password, 8, 512);
      page_no = AddCommittedPage(m, 0x42);
    }
    const std::vector<uint8_t> bytes = ReadAll(Path());
    const size_t data_at = 380 + size_t(page_no) * 512 + 40;
    EXPECT_NE(bytes[data_at], 0x42) << "data area stored encrypted";
    for (const char* wrong : {"", "s3creT"}) {
      TABSDiskPageManager m;
      EXPECT_EQ(ErrorOf([&] { Open(m, {wrong, password.cipher_id}); }),
                "Cannot open database because incorrect password - Native error: 30445");
    }
    TABSDiskPageManager m;
    Open(m, {"s3cret", ciRijndael128});  // the cipher comes from the file
    TABSPage* page = m.GetPage(1, page_no, ptTableRecord);
    EXPECT_EQ(page->Data()[0], 0x42);
    m.PutPage(page);
    m.Close();
    ExpectClean(Path(), password);
  }
}

TEST_F(DatabaseFileTest, CachedCopyStaysPlainAfterAnEncryptedWrite) {
  TABSDiskPageManager m;
  m.CreateDatabaseFile(Path(), {"pw", ciBlowfish}, 8, 1024);
  TABSPage* page = m.AddPage(1, ptTableRecord);
  std::memset(page->Data(), 0x33, page->DataSize());
  m.PutPage(page);
  m.CommitSession(1);
  for (int round = 0; round < 2; ++round) {  // a second write must not encrypt twice
    page = m.GetPage(1, 2, ptTableRecord);
    EXPECT_EQ(page->Data()[100], 0x33);
    page->dirty = true;
    m.PutPage(page);
    m.CommitSession(1);
  }
  m.Close();
  TABSDiskPageManager again;
  Open(again, {"pw"});
  page = again.GetPage(1, 2, ptTableRecord);
  EXPECT_EQ(page->Data()[100], 0x33);
  again.PutPage(page);
}

TEST_F(DatabaseFileTest, CorruptEncryptedPageIsAnErrorAndNotCached) {
  {
    TABSDiskPageManager m;
    m.CreateDatabaseFile(Path(), {"pw", ciSquare}, 8, 512);
    AddCommittedPage(m, 0x77);
  }
  std::vector<uint8_t> bytes = ReadAll(Path());
  bytes[380 + 2 * 512 + 100] ^= 1;
  WriteAll(Path(), bytes);
  TABSDiskPageManager m;
  Open(m, {"pw"});
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(ErrorOf([&] { m.GetPage(1, 2, ptTableRecord); }),
              "Decrypt page error. Check CRC failed. PageNo: 2 - Native error: 30446");
  }
  EXPECT_EQ(m.CachedPageCount(), 0);
}

TEST_F(DatabaseFileTest, ShortPageReadIsAnError) {
  {
    TABSDiskPageManager m;
    m.CreateDatabaseFile(Path(), {}, 8, 512);
    AddCommittedPage(m, 1);
  }
  std::filesystem::resize_file(Path(), 380 + 2 * 512 + 100);  // page 2 cut short
  TABSDiskPageManager m;
  Open(m);
  EXPECT_NE(ErrorOf([&] { m.GetPage(1, 2, ptTableRecord); }), "");
  EXPECT_EQ(m.CachedPageCount(), 0);
}

// Growth is not synced before a commit, and the disk may keep the header of
// a growth without its size change: pages beyond the end were never
// committed, so opening lowers the total (and the last used page) to the
// file. The last used page may be one of them (an uncommitted allocation).
TEST_F(DatabaseFileTest, OpeningLowersTheTotalOfAGrowthWhoseSizeWasLost) {
  const struct {
    int32_t total, last_used;
  } cases[] = {{12, 3}, {12, 9}, {6000, 6}};
  int32_t committed = 0;
  {
    TABSDiskPageManager m;
    m.CreateDatabaseFile(Path(), {}, 2, 512);
    for (int i = 0; i < 2; ++i) committed = AddCommittedPage(m, 7);
  }
  const std::vector<uint8_t> start = ReadAll(Path());
  ASSERT_EQ(start.size(), 380u + 6 * 512);
  for (const auto& c : cases) {
    SCOPED_TRACE("total " + std::to_string(c.total) + ", last used " + std::to_string(c.last_used));
    std::vector<uint8_t> bytes = start;
    StoreI32(bytes.data() + 30, c.total);
    StoreI32(bytes.data() + 34, c.last_used);
    WriteAll(Path(), bytes);
    {
      TABSDiskPageManager m;
      Open(m);
      EXPECT_EQ(m.Header().total_page_count, 6);
      EXPECT_EQ(m.Header().last_used_page, committed);
      TABSPage* page = m.GetPage(1, committed, ptTableRecord);
      EXPECT_EQ(page->Data()[0], 7);
      m.PutPage(page);
      AddCommittedPage(m, 8);
    }
    ExpectClean(Path());
  }
}

// The same when the lost growth had crossed into a new PFS range: the PFS
// page it created is gone with it and is created again by the next growth.
TEST_F(DatabaseFileTest, LostGrowthAcrossAPfsBoundaryIsCreatedAgain) {
  std::vector<uint8_t> committed, grown_header;
  int32_t last = -1, first_lost = -1, last_lost = -1;
  {
    TABSDiskPageManager m;
    m.CreateDatabaseFile(Path(), {}, 1, 128);
    const int64_t pfs_pages = m.FreeSpace()->PagesPerPfs();
    while (last < pfs_pages - 1) {
      TABSPage* page = m.AddPage(1, ptTableRecord);
      last = page->PageNo();
      m.PutPage(page);
    }
    m.CommitSession(1);
    committed = ReadAll(Path());
    // Uncommitted allocations until the file grows past the next PFS page.
    while (std::filesystem::file_size(Path()) <= committed.size() || last_lost <= pfs_pages) {
      TABSPage* page = m.AddPage(2, ptTableRecord);
      if (first_lost < 0) first_lost = page->PageNo();
      last_lost = page->PageNo();
      m.PutPage(page);
    }
    grown_header = ReadAll(Path());
    grown_header.resize(76);
    m.RollbackSession(2);
  }
  // The header of that growth reached the disk, nothing else of it did.
  std::vector<uint8_t> bytes = committed;
  std::copy(grown_header.begin(), grown_header.end(), bytes.begin());
  ASSERT_EQ(LoadI32(bytes.data() + 34), last_lost);
  WriteAll(Path(), bytes);
  {
    TABSDiskPageManager m;
    Open(m);
    EXPECT_EQ(m.Header().last_used_page, last);
    TABSPage* page = m.AddPage(1, ptTableRecord);
    EXPECT_EQ(page->PageNo(), first_lost);
    m.PutPage(page);
    m.CommitSession(1);
  }
  ExpectClean(Path());
}

TEST_F(DatabaseFileTest, PartOfPageAccessChecksItsRange) {
  TABSDiskPageManager m;
  m.CreateDatabaseFile(Path(), {});
  AddCommittedPage(m, 0);
  uint8_t buffer[16] = {1, 2, 3};
  m.WritePartOfPage(buffer, 2, 3, 4093);
  uint8_t back[3];
  m.ReadPartOfPage(back, 2, 3, 4093);
  EXPECT_EQ(back[2], 3);
  const struct { int32_t count, offset; const char* read_error; } cases[] = {
      {10, 4090, "Error - invalid page offset = 4100, page size = 4096 - Native error: 10476"},
      {1, -1, "Error - invalid page offset = 0, page size = 4096 - Native error: 10476"},
      {-1, 0, "Error - invalid page offset = -1, page size = 4096 - Native error: 10476"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf([&] { m.ReadPartOfPage(buffer, 2, c.count, c.offset); }), c.read_error);
    std::string write_error = c.read_error;
    write_error.replace(write_error.size() - 5, 5, "10477");
    EXPECT_EQ(ErrorOf([&] { m.WritePartOfPage(buffer, 2, c.count, c.offset); }), write_error);
  }
  EXPECT_EQ(ErrorOf([&] { m.ReadPartOfPage(buffer, -1, 1, 0); }), "Invalid PageNo = -1 - Native error: 10471");
}

TEST_F(DatabaseFileTest, ObjectNumbersCountUpAndStopAtTheMaximum) {
  TABSDiskPageManager m;
  m.CreateDatabaseFile(Path(), {});
  EXPECT_EQ(m.NextObjectNumber(), 1);
  EXPECT_EQ(m.NextObjectNumber(), 2);
  uint8_t max[4];
  StoreI32(max, INT32_MAX);
  m.File().WriteBuffer(max, 0, 376, 4);
  EXPECT_NE(ErrorOf([&] { m.NextObjectNumber(); }), "");
  // The lock byte was released on the way out.
  EXPECT_FALSE(m.File().IsByteLocked(376));
  StoreI32(max, 7);
  m.File().WriteBuffer(max, 0, 376, 4);
  EXPECT_EQ(m.NextObjectNumber(), 8);
}

TEST_F(DatabaseFileTest, WriteCounterWrapsOnDisk) {
  TABSDiskPageManager m;
  m.CreateDatabaseFile(Path(), {}, 8, 512);
  TABSPage* page = m.AddPage(1, ptTableRecord);
  page->SetWriteCounter(0x7FFFFFFC);
  const int32_t no = page->PageNo();
  m.PutPage(page);
  m.CommitSession(1);
  uint8_t counter[4];
  m.ReadPartOfPage(counter, no, 4, 4);
  EXPECT_EQ(LoadI32(counter), 0);
}

TEST_F(DatabaseFileTest, CommitWithoutChangesWritesNothing) {
  TABSDiskPageManager m;
  m.CreateDatabaseFile(Path(), {});
  AddCommittedPage(m, 9);
  TABSPage* page = m.GetPage(1, 2, ptTableRecord);
  m.PutPage(page);
  m.CommitSession(1);
  EXPECT_EQ(m.Header().commit_counter, 1);
}

TEST_F(DatabaseFileTest, CreateAndOpenRefuseAnOpenManagerAndBadArguments) {
  TABSDiskPageManager m;
  EXPECT_EQ(ErrorOf([&] { m.CreateDatabaseFile(Path(), {}, 8, 40); }), "Invalid database format - Native error: 20237");
  EXPECT_EQ(ErrorOf([&] { m.CreateDatabaseFile(Path(), {}, 0, 4096); }), "Invalid database format - Native error: 20237");
  EXPECT_EQ(ErrorOf([&] { m.CreateDatabaseFile(Path(), {"pw", 8}, 8, 4096); }),
            "Invalid database format - Native error: 20237");
  m.CreateDatabaseFile(Path(), {});
  EXPECT_EQ(ErrorOf([&] { m.CreateDatabaseFile(Path("other"), {}); }),
            "Error - database file " + Path("other") + " is in use. - Native error: 10461");
  bool multi = false, ro = false;
  EXPECT_EQ(ErrorOf([&] { m.OpenDatabaseFile(Path(), {}, multi, false, ro); }),
            "Error - database file " + Path() + " is in use. - Native error: 10462");
}

TEST_F(DatabaseFileTest, CloseRefusesUncommittedPages) {
  TABSDiskPageManager m;
  m.CreateDatabaseFile(Path(), {});
  m.PutPage(m.AddPage(3, ptTableRecord));
  EXPECT_EQ(ErrorOf([&] { m.Close(); }), "Cannot free not commited pages - Native error: 20097");
  EXPECT_TRUE(m.IsOpened());
  m.RollbackSession(3);
  m.Close();
  EXPECT_FALSE(m.IsOpened());
  ExpectClean(Path());
}

}  // namespace
}  // namespace kelvorin
