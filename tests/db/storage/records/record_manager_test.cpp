// The record manager of database files: records per page, slots, the
// record-page index, navigation statuses and what it does with identifiers
// and record pages that do not belong to the table.
#include <gtest/gtest.h>

#include <limits>

#include "db/storage/records/record_errors.h"
#include "tests/db/storage/records/record_test_util.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::LayoutOf;
using testing::RecordOf;
using C = TABSColumnType;
using D = TABSNavigateDirection;
using S = TABSNavigateStatus;

// 30-byte stored records: Jmeno STRING(20), Rating INTEGER, id AUTOINC.
const std::vector<TABSDatasetFieldDef> kPlayers = {Field("Jmeno", C::String, 20), Field("Rating", C::Integer),
                                                   Field("id", C::AutoInc)};

class RecordManagerTest : public testing::RecordStorageTest {
 protected:
  std::vector<uint8_t> Player(uint8_t value) { return RecordOf(records_->Layout(), value); }
  std::vector<TABSRecordId> InsertPlayers(int count, uint8_t first_value = 1) {
    std::vector<TABSRecordId> ids;
    for (int i = 0; i < count; ++i) ids.push_back(Insert(Player(static_cast<uint8_t>(first_value + i))));
    return ids;
  }
};

TEST(RecordsPerPageTest, BitmapAndSlotsFitTheDataArea) {
  struct Case {
    int32_t data_size;
    int64_t record_size;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {4056, 30, 134},   {4056, 1, 3604},  {4056, 4054, 1}, {4056, 4055, 0}, {216, 30, 7},
      {65496, 6, 10693}, {4056, 0, 0},     {4056, int64_t{1} << 40, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.data_size) + " / " + std::to_string(c.record_size));
    const int32_t n = RecordsPerPage(c.data_size, c.record_size);
    EXPECT_EQ(n, c.expected);
    if (n > 0) {
      EXPECT_LE((n + 7) / 8 + n * c.record_size, c.data_size);
      EXPECT_GT((n + 8) / 8 + (n + 1) * c.record_size, c.data_size - 1) << "one more would not fit";
    }
  }
}

TEST_F(RecordManagerTest, RecordTooLargeForThePageIsRefused) {
  Create({Field("a", C::Integer)}, 512);
  EXPECT_EQ(testing::ErrorCode([&] {
              TABSDiskRecordManager(*pages_, LayoutOf({Field("s", C::String, 480)}), kTableId, root_);
            }),
            20174);
}

TEST_F(RecordManagerTest, The135thRecordAddsAPage) {
  Create(kPlayers);
  ASSERT_EQ(records_->RecordsPerPage(), 134);
  const std::vector<TABSRecordId> ids = InsertPlayers(134);
  EXPECT_EQ(ids.front().slot, 0);
  EXPECT_EQ(ids.back().slot, 133);
  EXPECT_EQ(ids.back().page_no, ids.front().page_no);
  ASSERT_EQ(IndexEntries().size(), 1u);
  const TABSRecordId next = Insert(Player(200));
  EXPECT_NE(next.page_no, ids.front().page_no);
  EXPECT_EQ(next.slot, 0);
  const std::vector<TABSPageAmount> entries = IndexEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].amount + entries[1].amount, 135);
  EXPECT_EQ(records_->RecordCount(), 135);
  EXPECT_EQ(records_->ChangeCounter(), 135);
  pages_->CommitSession(kSession);

  // The page carries the table's number; the bits of the first page's last
  // bitmap byte beyond slot 133 stay clear.
  TABSPageHold page = TABSPageHold::Get(*pages_, kSession, next.page_no, ptTableRecord);
  EXPECT_EQ(page->Owner(), kTableId);
  page = TABSPageHold::Get(*pages_, kSession, ids.front().page_no, ptTableRecord);
  EXPECT_EQ(page->Data()[16], 0x3F);
}

TEST_F(RecordManagerTest, RecordsReadBackInStorageOrder) {
  Create({Field("id", C::Integer), Field("foto", C::Blob), Field("name", C::String, 5)});
  const TABSRecordLayout& layout = records_->Layout();
  ASSERT_EQ(layout.MemorySize(), 1 + 4 + 10 + 6);
  ASSERT_EQ(layout.StoredSize(), 1 + 4 + 6 + 6);
  std::vector<uint8_t> record = RecordOf(layout, 9);
  // The handle beside a BLOB reference is no part of the stored record.
  std::memset(record.data() + 5, 0xAB, 10);
  const TABSRecordId id = Insert(record);
  std::vector<uint8_t> read(record.size(), 0xEE);
  ASSERT_TRUE(records_->ReadRecord(kSession, id, read.data()));
  std::vector<uint8_t> expected = record;
  std::memset(expected.data() + 11, 0, 4);
  EXPECT_EQ(read, expected);

  std::vector<uint8_t> changed = RecordOf(layout, 3);
  EXPECT_TRUE(records_->Update(kSession, changed.data(), id));
  ASSERT_TRUE(records_->ReadRecord(kSession, id, read.data()));
  EXPECT_EQ(read, changed);
  EXPECT_EQ(records_->ChangeCounter(), 2);
}

TEST_F(RecordManagerTest, AFreedSlotIsReused) {
  Create(kPlayers);
  const std::vector<TABSRecordId> ids = InsertPlayers(3);
  EXPECT_TRUE(records_->Delete(kSession, ids[1]));
  EXPECT_FALSE(records_->Delete(kSession, ids[1])) << "already deleted";
  EXPECT_FALSE(records_->Update(kSession, Player(5).data(), ids[1]));
  EXPECT_EQ(Insert(Player(4)), ids[1]);
  EXPECT_EQ(IndexEntries().front().amount, 3);
  EXPECT_EQ(records_->RecordCount(), 3);
}

TEST_F(RecordManagerTest, DeletingAPagesLastRecordRemovesThePage) {
  Create(kPlayers);
  const std::vector<TABSRecordId> ids = InsertPlayers(135);
  pages_->CommitSession(kSession);
  const int32_t second = ids.back().page_no;
  ASSERT_TRUE(records_->Delete(kSession, ids.back()));
  ASSERT_EQ(IndexEntries().size(), 1u);
  EXPECT_EQ(IndexEntries().front().page_no, ids.front().page_no);
  pages_->CommitSession(kSession);
  EXPECT_FALSE(pages_->FreeSpace()->IsPageUsed(second));
  EXPECT_EQ(Walk().size(), 134u);
  ExpectFileClean(kPlayers);
}

TEST_F(RecordManagerTest, StatusesAtBothEndsAndAcrossARemovedPage) {
  Create(kPlayers);
  EXPECT_EQ(Edge(D::kNext, false).status, S::kAfterLast) << "empty table";
  EXPECT_EQ(Edge(D::kPrior, true).status, S::kAfterLast) << "empty table";

  // Three pages; the middle one loses every record.
  const std::vector<TABSRecordId> ids = InsertPlayers(3 * 134);
  const TABSRecordId last_of_first = ids[133], first_of_middle = ids[134], last_of_middle = ids[267];
  const TABSRecordId first_of_last = ids[268];
  ASSERT_EQ(last_of_first.page_no, ids.front().page_no);
  ASSERT_NE(first_of_middle.page_no, last_of_first.page_no);
  ASSERT_NE(first_of_last.page_no, first_of_middle.page_no);

  struct Case {
    const char* name;
    TABSNavigateRequest request;
    S status;
    TABSRecordId found;
  };
  const auto step = [](D direction, TABSRecordId from) {
    TABSNavigateRequest r;
    r.direction = direction;
    r.record_id = from;
    return r;
  };
  const auto edge = [](D direction, bool last) {
    TABSNavigateRequest r;
    r.direction = direction;
    r.go_to_first = !last;
    r.go_to_last = last;
    return r;
  };
  const auto run = [&](const std::vector<Case>& cases) {
    for (Case c : cases) {
      SCOPED_TRACE(c.name);
      records_->Navigate(kSession, c.request);
      EXPECT_EQ(c.request.status, c.status);
      if (c.status == S::kFound) {
        EXPECT_EQ(c.request.record_id, c.found);
        EXPECT_FALSE(c.request.go_to_first || c.request.go_to_last);
      }
    }
  };
  run({
      {"first", edge(D::kNext, false), S::kFound, ids.front()},
      {"prior from first (go-to-first)", edge(D::kPrior, false), S::kBeforeFirst, {}},
      {"current with go-to-first", edge(D::kCurrent, false), S::kNotFound, {}},
      {"last", edge(D::kPrior, true), S::kFound, ids.back()},
      {"next with go-to-last", edge(D::kNext, true), S::kAfterLast, {}},
      {"prior from the first record", step(D::kPrior, ids.front()), S::kBeforeFirst, {}},
      {"next from the last record", step(D::kNext, ids.back()), S::kAfterLast, {}},
      {"next across pages", step(D::kNext, last_of_first), S::kFound, first_of_middle},
      {"prior across pages", step(D::kPrior, first_of_middle), S::kFound, last_of_first},
  });

  for (int i = 134; i < 268; ++i) ASSERT_TRUE(records_->Delete(kSession, ids[i]));
  for (const bool committed : {false, true}) {
    SCOPED_TRACE(committed ? "committed" : "in the session");
    run({
        {"next over the removed page", step(D::kNext, last_of_first), S::kFound, first_of_last},
        {"prior over the removed page", step(D::kPrior, first_of_last), S::kFound, last_of_first},
        {"next from a record of the removed page", step(D::kNext, first_of_middle), S::kFound, first_of_last},
        {"prior from a record of the removed page", step(D::kPrior, last_of_middle), S::kFound, last_of_first},
        {"current on the removed page", step(D::kCurrent, first_of_middle), S::kNotFound, {}},
        {"current of a record", step(D::kCurrent, ids[5]), S::kFound, ids[5]},
    });
    pages_->CommitSession(kSession);
  }
  EXPECT_EQ(Walk().size(), 2u * 134);
  Reopen(kPlayers);
  EXPECT_EQ(Walk().size(), 2u * 134);
}

TEST_F(RecordManagerTest, EmptyingGivesUpEveryPageAndRaisesTheChangeCounter) {
  Create(kPlayers);
  InsertPlayers(300);
  pages_->CommitSession(kSession);
  const int32_t changes = records_->ChangeCounter();
  records_->Empty(kSession);
  EXPECT_EQ(records_->RecordCount(), 0);
  EXPECT_EQ(records_->ChangeCounter(), changes + 1);
  EXPECT_TRUE(IndexEntries().empty());
  EXPECT_EQ(Edge(D::kNext, false).status, S::kAfterLast);
  pages_->CommitSession(kSession);
  ExpectFileClean(kPlayers);
  EXPECT_EQ(Insert(Player(1)).slot, 0);
}

TEST_F(RecordManagerTest, CountersNeverOverflow) {
  Create(kPlayers);
  records_->SetCounters(0, std::numeric_limits<int32_t>::max());
  const TABSRecordId id = Insert(Player(1));
  EXPECT_EQ(records_->ChangeCounter(), std::numeric_limits<int32_t>::min());

  records_->SetCounters(TABSBaseRecordManager::kMaxRecordCount, 5);
  TABSRecordId other;
  EXPECT_EQ(testing::ErrorCode([&] { records_->Insert(kSession, Player(2).data(), other); }),
            native::kTableFull.code);
  EXPECT_EQ(records_->RecordCount(), TABSBaseRecordManager::kMaxRecordCount);
  EXPECT_TRUE(records_->Delete(kSession, id));
}

TEST_F(RecordManagerTest, PhysicalRecordNumbers) {
  Create(kPlayers);
  const std::vector<TABSRecordId> ids = InsertPlayers(140);
  const int64_t n = records_->RecordsPerPage();
  EXPECT_EQ(records_->PhysicalRecordNumber(ids[3]), ids[3].page_no * n + 3);
  EXPECT_EQ(records_->RecordIdOfPhysicalNumber(records_->PhysicalRecordNumber(ids[139])), ids[139]);
  EXPECT_EQ(records_->PhysicalRecordNumberBound(kSession), (int64_t{ids.back().page_no} + 1) * n);
  EXPECT_EQ(records_->EstimatedPosition(kSession, ids[0]), 70);
}

TEST_F(RecordManagerTest, IdentifiersNoRecordCanHaveAreRefused) {
  Create(kPlayers);
  const TABSRecordId id = Insert(Player(1));
  std::vector<uint8_t> record = Player(2);
  for (const TABSRecordId bad : {TABSRecordId{id.page_no, 134}, TABSRecordId{id.page_no, 0xFFFF},
                                 TABSRecordId{-5, 0}}) {
    SCOPED_TRACE(std::to_string(bad.page_no) + ":" + std::to_string(bad.slot));
    EXPECT_EQ(testing::ErrorCode([&] { records_->Update(kSession, record.data(), bad); }), 10741);
    EXPECT_EQ(testing::ErrorCode([&] { records_->Delete(kSession, bad); }), 10741);
    for (const D direction : {D::kCurrent, D::kNext, D::kPrior}) {
      EXPECT_EQ(testing::ErrorCode([&] { Step(direction, bad); }), 10741);
    }
  }
  EXPECT_EQ(records_->RecordCount(), 1);
}

// Record pages that do not fit the table, as a damaged or crafted file has
// them: the operations raise engine errors (or, where the acceptance check
// is on, see no record) and change nothing.
class CraftedRecordPageTest : public RecordManagerTest {
 protected:
  void SetUp() override {
    RecordManagerTest::SetUp();
    Create(kPlayers);
    ids_ = InsertPlayers(10);
    page_ = ids_.front().page_no;
    pages_->CommitSession(kSession);
  }
  // Every operation on the damaged page: each engine error's code, or 0.
  std::vector<int32_t> Errors() {
    std::vector<int32_t> codes;
    codes.push_back(testing::ErrorCode([&] { Edge(D::kNext, false); }));
    codes.push_back(testing::ErrorCode([&] { Step(D::kNext, ids_[2]); }));
    codes.push_back(testing::ErrorCode([&] { records_->Update(kSession, Player(1).data(), ids_[2]); }));
    codes.push_back(testing::ErrorCode([&] { records_->Delete(kSession, ids_[2]); }));
    codes.push_back(testing::ErrorCode([&] { records_->Empty(kSession); }));
    pages_->RollbackSession(kSession);
    return codes;
  }

  std::vector<TABSRecordId> ids_;
  int32_t page_ = -1;
};

TEST_F(CraftedRecordPageTest, APageOfAnotherTypeOrTable) {
  struct Case {
    const char* name;
    int32_t offset;
    std::vector<uint8_t> bytes;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {"a BLOB page", page_field::kPageType, {ptTableBlob, 0}, 20153},
      {"another table's page", page_field::kOwner, {1, 0, 0, 0}, 10700},
  };
  const std::vector<uint8_t> base = ReadAll(Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reopen(kPlayers);
    PatchPageHeader(page_, c.offset, c.bytes);
    Reopen(kPlayers);
    for (const int32_t code : Errors()) EXPECT_EQ(code, c.code);

    // With the acceptance check of multi-user use, the page holds no record
    // of the table.
    records_->SetAcceptanceCheck(true);
    EXPECT_EQ(Step(D::kCurrent, ids_[2]).status, S::kNotFound);
    EXPECT_EQ(Edge(D::kNext, false).status, S::kNotFound);
    EXPECT_FALSE(records_->Delete(kSession, ids_[2]));
    EXPECT_FALSE(records_->Update(kSession, Player(1).data(), ids_[2]));
    EXPECT_EQ(records_->RecordCount(), 10);
    pages_->Close();
    WriteAll(Path(), base);
  }
  Reopen(kPlayers);
}

TEST_F(CraftedRecordPageTest, ABitmapThatDisagreesWithTheIndex) {
  // Slots 0..9 are used; the bitmap is cleared, or has every slot and the
  // bits beyond the last slot set.
  Reopen(kPlayers);
  PatchPageData(page_, 0, std::vector<uint8_t>(17, 0));
  Reopen(kPlayers);
  EXPECT_EQ(testing::ErrorCode([&] { Edge(D::kNext, false); }), 20143);
  EXPECT_EQ(testing::ErrorCode([&] { Edge(D::kPrior, true); }), 20144);
  EXPECT_FALSE(records_->Delete(kSession, ids_[2]));
  EXPECT_FALSE(records_->Update(kSession, Player(1).data(), ids_[2]));

  PatchPageData(page_, 0, std::vector<uint8_t>(17, 0xFF));
  Reopen(kPlayers);
  EXPECT_EQ(testing::ErrorCode([&] { records_->Delete(kSession, ids_[2]); }), 10742);
  TABSRecordId id;
  EXPECT_FALSE(records_->Insert(kSession, Player(1).data(), id)) << "the page has no free slot";
  EXPECT_EQ(Step(D::kPrior, {page_, 0}).status, S::kBeforeFirst);
  EXPECT_EQ(Edge(D::kPrior, true).record_id.slot, 133) << "bits beyond the last slot are no records";
  EXPECT_EQ(records_->RecordCount(), 10);
}

TEST_F(CraftedRecordPageTest, AnIndexListingAPageTwiceOrOutOfTheFile) {
  // The record-page index lists a page beyond the file.
  Reopen(kPlayers);
  {
    TABSBTreeRecordPageIndex index(*pages_, root_, records_->RecordsPerPage());
    index.AddAmount(kSession, 5000, 3);
    pages_->CommitSession(kSession);
  }
  Reopen(kPlayers);
  const std::vector<int32_t> codes = Errors();
  EXPECT_EQ(codes[0], 0) << "the first page is sound";
  for (const int32_t code : codes) EXPECT_TRUE(code == 0 || code == 10474) << code;
  EXPECT_EQ(codes[4], 10474);
  EXPECT_EQ(testing::ErrorCode([&] { Step(D::kNext, ids_[9]); }), 10474);
}

}  // namespace
}  // namespace kelvorin
