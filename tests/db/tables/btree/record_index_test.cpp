// Record indexes case by case: key layouts and their refusals, cut string
// keys whose prefixes order differently from their values, equal keys over
// many leaves, the root through splits and merges, updates that leave the
// key alone, unique builds over duplicates, NULLs, the errors of every
// operation, and trees whose pages were damaged by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "db/tables/btree/btree_errors.h"
#include "db/tables/btree/record_index.h"
#include "platform/locale_profile.h"
#include "tests/db/engine_error_capture.h"
#include "tests/db/tables/btree/fake_table.h"
#include "tests/db/tables/btree/memory_pages.h"

namespace kelvorin {
namespace {

using namespace testing;

constexpr int32_t kSession = 4;
constexpr int32_t kJmeno = 0;
constexpr int32_t kCislo = 1;

class RecordIndexTest : public ::testing::Test {
 public:
  void SetUp() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }

  // Builds an index over the table (empty) with pages of `page_size`.
  TABSBTreeRecordIndex& Make(std::unique_ptr<TABSIndexDef> definition, int32_t page_size = 256) {
    definition_ = std::move(definition);
    if (!pages_) pages_ = std::make_unique<MemoryPageManager>(store_, page_size);
    index_ = std::make_unique<TABSBTreeRecordIndex>(*pages_, table_.Fields(), &table_);
    index_->Build(kSession, nullptr, *definition_);
    pages_->CommitSession(kSession);
    return *index_;
  }
  void Reopen() {
    pages_->CommitSession(kSession);
    index_.reset();
    pages_ = std::make_unique<MemoryPageManager>(store_, pages_->PageSize());
    index_ = std::make_unique<TABSBTreeRecordIndex>(*pages_, table_.Fields(), &table_);
    index_->Open(*definition_);
  }
  TABSRecordId Insert(const Record& record) {
    const TABSRecordId id = table_.Add(record);
    FakeCursor cursor(table_, kSession);
    cursor.Set(&table_.Records().at(id), id);
    index_->Insert(cursor);
    return id;
  }
  void Delete(TABSRecordId id) {
    index_->Delete(kSession, table_.Records().at(id).data(), id);
    table_.Remove(id);
  }
  Record Named(std::string_view name, int32_t number = 0) {
    Record record = table_.NewRecord();
    table_.SetString(record, kJmeno, name);
    table_.SetInteger(record, kCislo, number);
    return record;
  }
  std::vector<TABSRecordId> Walk() {
    std::vector<TABSRecordId> ids;
    auto state = index_->NewScanState();
    TABSRecordId id;
    for (bool restart = true; index_->ScanStep(kSession, restart, state.get(), id, nullptr, nullptr, nullptr, true);
         restart = false) {
      ids.push_back(id);
    }
    return ids;
  }
  void ExpectClean() {
    const TABSBTreeCheckResult check = index_->CheckIntegrity(kSession);
    EXPECT_TRUE(check.Clean()) << check.Describe();
  }
  uint8_t* Data(int32_t page_no) { return store_.images.at(page_no).data() + kPageHeaderSize; }

  FakeTable table_{{{"Jmeno", TABSColumnType::String, 40}, {"Cislo", TABSColumnType::Integer, 0}}};
  MemoryPageStore store_;
  std::unique_ptr<MemoryPageManager> pages_;
  std::unique_ptr<TABSIndexDef> definition_;
  std::unique_ptr<TABSBTreeRecordIndex> index_;
};

TEST_F(RecordIndexTest, KeyLayoutsAndTheLayoutsThatAreRefused) {
  FakeTable players({{"Jmeno", TABSColumnType::String, 20}, {"Kolo", TABSColumnType::Integer, 0}});
  const TABSRecordKeyRef by_name(*MakeIndexDef("ByName", 1, {{"Jmeno"}}), players.Fields(), 4056);
  EXPECT_EQ(by_name.ShortKeySize(), 23);
  EXPECT_EQ(by_name.FullKeySize(), 22);
  const TABSRecordKeyRef by_round(*MakeIndexDef("ByRound", 2, {{"Kolo"}}), players.Fields(), 4056);
  EXPECT_EQ(by_round.ShortKeySize(), 5);

  const struct {
    const char* what;
    std::vector<FakeIndexColumn> columns;
    int32_t code;
  } refused[] = {
      {"no columns", {}, 10650},
      {"a missing field", {{"Nikdo"}}, 20043},
      {"a BLOB field", {{"Obrazek"}}, 10649},
      {"an indexed size of 0", {{"Jmeno", false, false, 0}}, 10646},
      {"a negative indexed size", {{"Jmeno", false, false, -4}}, 10646},
      {"a number cut below its size", {{"Cislo", false, false, 2}}, 10646},
      {"an odd cut of a wide string", {{"Siroky", false, false, 5}}, 10646},
      {"a key beyond 65535 bytes", {{"Obri", false, false, 70001}}, 10647},
      {"a key that two leaf entries do not fit", {{"Dlouhy", false, false, 200}}, 10648},
  };
  FakeTable table({{"Jmeno", TABSColumnType::String, 40},
                   {"Cislo", TABSColumnType::Integer, 0},
                   {"Siroky", TABSColumnType::WideString, 10},
                   {"Obrazek", TABSColumnType::Blob, 0},
                   {"Dlouhy", TABSColumnType::String, 200},
                   {"Obri", TABSColumnType::String, 70000}});
  for (const auto& c : refused) {
    const auto definition = MakeIndexDef("Bad", 3, c.columns);
    EXPECT_EQ(ErrorCode([&] { TABSRecordKeyRef(*definition, table.Fields(), 216); }), c.code) << c.what;
    // At create and at open alike, and nothing is built.
    pages_ = std::make_unique<MemoryPageManager>(store_, 256);
    TABSBTreeRecordIndex index(*pages_, table.Fields(), &table);
    EXPECT_EQ(ErrorCode([&] { index.Build(kSession, nullptr, *definition); }), c.code) << c.what;
    EXPECT_EQ(ErrorCode([&] { index.Open(*definition); }), c.code) << c.what;
    EXPECT_EQ(pages_->DirtyPageCount(kSession), 0) << c.what;
    EXPECT_EQ(definition->RootPage(), -1);
  }
  // An even cut of a wide string, and sizes at or above the value's are fine.
  for (const FakeIndexColumn& column : std::vector<FakeIndexColumn>{
           {"Siroky", false, false, 6}, {"Siroky", false, false, 22}, {"Cislo", false, false, 4}}) {
    EXPECT_EQ(ErrorCode([&] { TABSRecordKeyRef(*MakeIndexDef("Ok", 4, {column}), table.Fields(), 216); }), 0)
        << column.field;
  }
}

// Prefix order under the Czech collation is not value order: the index must
// order, find, delete and test uniqueness on full values.
TEST_F(RecordIndexTest, CutStringKeysFollowTheFullValues) {
  auto order = [](std::string_view a, std::string_view b) {
    return platform::CurrentLocale().CompareAnsi(a, b, false);
  };
  ASSERT_EQ(order("Han", "han"), platform::kGreater);
  ASSERT_EQ(order("Hana", "hanz"), platform::kLess);
  ASSERT_EQ(order("Nov\xE1", "Nova"), platform::kGreater);
  ASSERT_EQ(order("Nov\xE1ka", "Novakz"), platform::kLess);
  ASSERT_EQ(order("xc", "xd"), platform::kLess);
  ASSERT_EQ(order("xch", "xd"), platform::kGreater);

  Make(MakeIndexDef("ByJmeno", 10, {{"Jmeno", false, false, 3}}, /*unique=*/true));
  const std::vector<std::string> names = {"hanz", "Hana", "Han", "han", "Novakz", "Nov\xE1ka", "Nova", "Nov\xE1",
                                          "xd",   "xch",  "xc",  "Hanz", "hana", "Novak", "xchx", "x"};
  std::vector<TABSRecordId> ids;
  for (const std::string& name : names) {
    ASSERT_TRUE(index_->IsKeyFree(kSession, Named(name).data())) << name;
    ids.push_back(Insert(Named(name)));
  }
  for (const std::string& name : names) EXPECT_FALSE(index_->IsKeyFree(kSession, Named(name).data())) << name;
  EXPECT_TRUE(index_->IsKeyFree(kSession, Named("Hanb").data()));
  EXPECT_TRUE(index_->IsKeyFree(kSession, Named("xcz").data()));

  std::vector<size_t> by_value(names.size());
  for (size_t i = 0; i < names.size(); ++i) by_value[i] = i;
  std::sort(by_value.begin(), by_value.end(),
            [&](size_t a, size_t b) { return order(names[a], names[b]) == platform::kLess; });
  std::vector<TABSRecordId> expected;
  for (size_t i : by_value) expected.push_back(ids[i]);
  EXPECT_EQ(Walk(), expected);
  for (size_t i = 0; i < names.size(); ++i) {
    TABSKeyPath path;
    EXPECT_TRUE(index_->Locate(kSession, ids[i], path, Named(names[i]).data())) << names[i];
    const auto at = std::find(expected.begin(), expected.end(), ids[i]) - expected.begin();
    EXPECT_EQ(index_->RecordNumber(kSession, ids[i], nullptr, Named(names[i]).data()), at + 1) << names[i];
  }
  // A range bound on a cut value: everything from "Hana" up to "hanz".
  const Record from = Named("Hana");
  const Record to = Named("hanz");
  const TABSScanSearchCondition lower{TABSScanConditionKind::kGreaterOrEqual, from.data(), 1, -1};
  const TABSScanSearchCondition upper{TABSScanConditionKind::kLessOrEqual, to.data(), 1, -1};
  std::vector<TABSRecordId> scanned;
  auto state = index_->NewScanState();
  TABSRecordId id;
  for (bool restart = true; index_->ScanStep(kSession, restart, state.get(), id, nullptr, &lower, &upper, true);
       restart = false) {
    scanned.push_back(id);
  }
  std::vector<TABSRecordId> in_range;
  for (size_t i : by_value) {
    if (order(names[i], "Hana") != platform::kLess && order(names[i], "hanz") != platform::kGreater) {
      in_range.push_back(ids[i]);
    }
  }
  EXPECT_EQ(scanned, in_range);
  ExpectClean();
  // A check of the file alone, without records, leaves tied prefixes be.
  TABSBTreeRecordIndex without_records(*pages_, table_.Fields(), nullptr);
  without_records.Open(*definition_);
  const TABSBTreeCheckResult check = without_records.CheckIntegrity(kSession);
  EXPECT_TRUE(check.Clean()) << check.Describe();
  for (size_t i = 0; i < names.size(); ++i) Delete(ids[i]);
  EXPECT_TRUE(Walk().empty());
  ExpectClean();
}

// Two names equal in their first 20 characters are ordered by the rest, two
// equal names by their records' identifiers.
TEST_F(RecordIndexTest, NamesAlikeInTheirPrefixAreOrderedByTheirFullValues) {
  Make(MakeIndexDef("ByJmeno", 11, {{"Jmeno"}}));
  const TABSRecordId later = Insert(Named("Alexandra Nov\xE1kov\xE1-Svobodov\xE1"));
  const TABSRecordId earlier = Insert(Named("Alexandra Nov\xE1kov\xE1-Dvo\xF8\xE1kov\xE1"));
  const TABSRecordId twin = Insert(Named("Alexandra Nov\xE1kov\xE1-Dvo\xF8\xE1kov\xE1"));
  EXPECT_EQ(Walk(), (std::vector<TABSRecordId>{earlier, twin, later}));
}

// A separator whose child lost its first entry, a cut key settled left of it
// by the child's first entry, then a short key between the two: the
// separator must have moved up to the child's first entry.
TEST_F(RecordIndexTest, ASeparatorPassedByACutKeyMovesToItsChildsFirstEntry) {
  ASSERT_EQ(platform::CurrentLocale().CompareAnsi("ab", "aB", false), platform::kLess);
  ASSERT_EQ(platform::CurrentLocale().CompareAnsi("aB", "abzz", false), platform::kLess);
  Make(MakeIndexDef("ByJmeno", 12, {{"Jmeno", false, false, 3}}));
  std::vector<std::string> names = {"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "ab"};
  for (const char* name : {"ac", "ad", "ae", "af", "ag", "ai", "aj", "ak", "al", "am", "an", "ao", "ap", "aq"}) {
    names.push_back(name);
  }
  std::vector<TABSRecordId> ids;
  for (const std::string& name : names) ids.push_back(Insert(Named(name)));
  // Two leaves, a0..a7 and ab..aq, under the separator "ab"; the second stays
  // full enough not to merge when it loses "ab".
  pages_->CommitSession(kSession);
  const int32_t root = index_->RootPage();
  ASSERT_EQ(Data(root)[btree_header::kLeafFlag], 0) << "no split";
  Delete(ids[8]);
  Insert(Named("abzz"));
  Insert(Named("aB"));
  std::vector<std::string> walked;
  for (const TABSRecordId& id : Walk()) walked.push_back(table_.GetString(table_.Records().at(id), kJmeno));
  std::vector<std::string> expected = walked;
  std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    return platform::CurrentLocale().CompareAnsi(a, b, false) == platform::kLess;
  });
  EXPECT_EQ(walked, expected);
  ExpectClean();
}

TEST_F(RecordIndexTest, AThousandEqualKeysOverManyLeavesStayInIdentifierOrder) {
  Make(MakeIndexDef("ByCislo", 13, {{"Cislo"}}));
  std::vector<TABSRecordId> ids;
  for (int i = 0; i < 1000; ++i) ids.push_back(Insert(Named("", 7)));
  EXPECT_GT(store_.UsedCount() + pages_->DirtyPageCount(kSession), 10);
  EXPECT_EQ(Walk(), ids);
  ExpectClean();
  std::mt19937 rng(3);
  std::vector<TABSRecordId> shuffled = ids;
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  for (size_t i = 0; i < 300; ++i) {
    TABSKeyPath path;
    ASSERT_TRUE(index_->Locate(kSession, shuffled[i], path, table_.Records().at(shuffled[i]).data()));
    Delete(shuffled[i]);
    ids.erase(std::find(ids.begin(), ids.end(), shuffled[i]));
  }
  EXPECT_EQ(Walk(), ids);
  const Record seven = Named("", 7);
  const TABSScanSearchCondition equal{TABSScanConditionKind::kEqual, seven.data(), 1, -1};
  auto state = index_->NewScanState();
  TABSRecordId id;
  std::vector<TABSRecordId> down;
  for (bool restart = true; index_->ScanStep(kSession, restart, state.get(), id, nullptr, &equal, nullptr, false);
       restart = false) {
    down.push_back(id);
  }
  EXPECT_EQ(down, std::vector<TABSRecordId>(ids.rbegin(), ids.rend()));
  ExpectClean();
}

TEST_F(RecordIndexTest, TheRootStaysThroughSplitsAndMergesDownToAnEmptyRootLeaf) {
  Make(MakeIndexDef("ByJmeno", 14, {{"Jmeno", false, true, 3}, {"Cislo", true}}));
  const int32_t root = index_->RootPage();
  const int32_t before = store_.UsedCount();
  std::vector<TABSRecordId> ids;
  for (int i = 0; i < 600; ++i) ids.push_back(Insert(Named(std::string("n") + std::to_string(i % 37), i % 11)));
  pages_->CommitSession(kSession);
  EXPECT_GT(store_.UsedCount(), before + 40);
  EXPECT_EQ(index_->RootPage(), root);
  EXPECT_EQ(Data(root)[btree_header::kRootFlag], 1);
  ExpectClean();
  std::mt19937 rng(9);
  std::shuffle(ids.begin(), ids.end(), rng);
  for (size_t i = 0; i < ids.size(); ++i) {
    Delete(ids[i]);
    if (i % 50 == 0) ExpectClean();
  }
  pages_->CommitSession(kSession);
  EXPECT_EQ(store_.UsedCount(), before);
  EXPECT_EQ(index_->RootPage(), root);
  EXPECT_EQ(Data(root)[btree_header::kLeafFlag], 1);
  EXPECT_EQ(LoadLE<uint16_t>(Data(root) + btree_header::kEntryCount), 0);
}

TEST_F(RecordIndexTest, AnUpdateThatKeepsTheKeyWritesNoPage) {
  Make(MakeIndexDef("ByJmeno", 15, {{"Jmeno", false, true, 3}}));
  for (int i = 0; i < 100; ++i) Insert(Named("jm\xE9no " + std::to_string(i), i));
  pages_->CommitSession(kSession);
  const TABSRecordId id = table_.Records().begin()->first;
  const Record before = table_.Records().at(id);
  FakeCursor cursor(table_, kSession);
  // Another number, and the name in capitals: equal for a case-insensitive index.
  Record after = before;
  table_.SetInteger(after, kCislo, 4321);
  std::string name = table_.GetString(after, kJmeno);
  for (char& c : name) c = platform::CurrentLocale().UpperAnsiChar(c);
  table_.SetString(after, kJmeno, name);
  cursor.Set(&after, id, &before);
  const int64_t writes = store_.writes;
  index_->Update(cursor);
  EXPECT_EQ(pages_->DirtyPageCount(kSession), 0);
  pages_->CommitSession(kSession);
  EXPECT_EQ(store_.writes, writes);
  EXPECT_TRUE(index_->IsKeyFreeOnUpdate(kSession, before.data(), after.data(), id));
}

TEST_F(RecordIndexTest, AUniqueBuildOverDuplicatesLeavesNothingBehind) {
  for (const bool primary : {false, true}) {
    table_.Clear();
    for (int i = 0; i < 300; ++i) table_.Add(Named("hr\xE1\xE8 " + std::to_string(i), i));
    table_.Add(Named("HR\xC1\xC8 17", 99));  // equal to "hráč 17" without case
    pages_ = std::make_unique<MemoryPageManager>(store_, 256);
    const int32_t before = store_.UsedCount();
    auto definition = MakeIndexDef("Hraci", 16, {{"Jmeno", false, true, 3}}, !primary, primary);
    TABSBTreeRecordIndex index(*pages_, table_.Fields(), &table_);
    FakeCursor cursor(table_, kSession);
    EXPECT_EQ(ErrorOf([&] { index.Build(kSession, &cursor, *definition); }),
              primary ? "Primary Key constraint 'C_PK$Jmeno' violated. Duplicate found. - Native error: 30319"
                      : "Constraint unique 'C_Unique$Jmeno' violated. Duplicate found. - Native error: 30320");
    EXPECT_EQ(definition->RootPage(), -1);
    EXPECT_EQ(index.RootPage(), -1);
    pages_->CommitSession(kSession);
    EXPECT_EQ(store_.UsedCount(), before);
  }
}

TEST_F(RecordIndexTest, NullsComeFirstAscendingLastDescendingAndOncePerUniqueKey) {
  for (const bool descending : {false, true}) {
    store_ = {};
    pages_.reset();
    Make(MakeIndexDef("ByCislo", 17, {{"Cislo", descending}, {"Jmeno"}}, /*unique=*/true));
    Record null_number = Named("a");
    table_.SetNull(null_number, kCislo);
    const TABSRecordId minus = Insert(Named("a", -5));
    const TABSRecordId none = Insert(null_number);
    const TABSRecordId plus = Insert(Named("a", 3));
    const std::vector<TABSRecordId> expected =
        descending ? std::vector<TABSRecordId>{plus, minus, none} : std::vector<TABSRecordId>{none, minus, plus};
    EXPECT_EQ(Walk(), expected);
    // One NULL per key value: the same NULL again is a duplicate, a NULL with
    // another name is not.
    EXPECT_FALSE(index_->IsKeyFree(kSession, null_number.data()));
    Record other = Named("b");
    table_.SetNull(other, kCislo);
    EXPECT_TRUE(index_->IsKeyFree(kSession, other.data()));
  }
  TABSRecordKeyRef layout(*MakeIndexDef("Pk", 18, {{"Cislo"}, {"Jmeno"}}), table_.Fields(), 216);
  Record half = Named("a");
  table_.SetNull(half, kCislo);
  EXPECT_FALSE(layout.AllColumnsNull(half.data()));
  table_.SetNull(half, kJmeno);
  EXPECT_TRUE(layout.AllColumnsNull(half.data()));
}

TEST_F(RecordIndexTest, OperationErrors) {
  Make(MakeIndexDef("ByJmeno", 19, {{"Jmeno", false, false, 3}}));
  const TABSRecordId kept = Insert(Named("Zden\xECk"));
  const Record absent = Named("Zden\xECk");
  auto state = index_->NewScanState();
  TABSRecordId id;
  TABSIndexRecordRequest current;
  current.mode = TABSGetRecordMode::kCurrent;
  const TABSScanSearchCondition upper_as_lower{TABSScanConditionKind::kLess, absent.data(), 1, -1};
  const TABSScanSearchCondition no_columns{TABSScanConditionKind::kEqual, absent.data(), 0, -1};
  const TABSScanSearchCondition other_index{TABSScanConditionKind::kEqual, absent.data(), 1, 999};
  TABSKeyPath a, b;
  a.level_count = b.level_count = 1;
  a.levels[0].page_no = 1;
  b.levels[0].page_no = 2;
  const struct {
    const char* what;
    std::function<void()> call;
    int32_t code;
  } cases[] = {
      {"delete of an absent entry", [&] { index_->Delete(kSession, absent.data(), {kept.page_no, 77}); }, 20027},
      {"get record current", [&] { index_->GetRecord(kSession, current, nullptr); }, 20053},
      {"record number beyond the count", [&] { index_->GoToRecordNumber(kSession, nullptr, id, 2); }, 20075},
      {"scan without a state", [&] { index_->ScanStep(kSession, true, nullptr, id, nullptr, nullptr, nullptr, true); }, 20077},
      {"an upper bound given as lower",
       [&] { index_->ScanStep(kSession, true, state.get(), id, nullptr, &upper_as_lower, nullptr, true); }, 20078},
      {"no leading columns",
       [&] { index_->ScanStep(kSession, true, state.get(), id, nullptr, &no_columns, nullptr, true); }, 20079},
      {"a condition of another index",
       [&] { index_->EstimateCount(kSession, &other_index, nullptr, 10); }, 20079},
      {"paths through different pages", [&] { index_->ComparePaths(&a, &b); }, 20051},
      {"a missing left path", [&] { index_->ComparePaths(nullptr, &b); }, 10384},
      {"a missing right path", [&] { index_->ComparePaths(&a, nullptr); }, 10385},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorCode(c.call), c.code) << c.what;

  // A cut key that ties needs the entry's record; a record the reader cannot
  // give is an error, not a guess.
  table_.Remove(kept);
  EXPECT_EQ(ErrorCode([&] { index_->IsKeyFree(kSession, Named("Zden\xECk").data()); }), 0);  // not unique
  EXPECT_EQ(ErrorCode([&] { Insert(Named("Zdena")); }), 20170);

  index_->Drop(kSession);
  FakeCursor cursor(table_, kSession);
  const Record record = Named("x");
  cursor.Set(&record, kept, &record);
  TABSIndexRecordRequest first;
  SetFilter filter;
  const struct {
    const char* what;
    std::function<void()> call;
    int32_t code;
  } no_root[] = {
      {"drop", [&] { index_->Drop(kSession); }, 20119},
      {"empty", [&] { index_->Empty(kSession); }, 20120},
      {"get record", [&] { index_->GetRecord(kSession, first, nullptr); }, 20121},
      {"locate", [&] { index_->Locate(kSession, kept, a, record.data()); }, 20122},
      {"record number", [&] { index_->RecordNumber(kSession, kept, nullptr, record.data()); }, 20123},
      {"go to record number", [&] { index_->GoToRecordNumber(kSession, nullptr, id, 1); }, 20124},
      {"scan", [&] { index_->ScanStep(kSession, true, state.get(), id, nullptr, nullptr, nullptr, true); }, 20125},
      {"insert", [&] { index_->Insert(cursor); }, 20126},
      {"delete", [&] { index_->Delete(kSession, record.data(), kept); }, 20127},
      {"distinct", [&] { index_->KeepFirstOfEqualKeys(kSession, filter); }, 10640},
      {"estimate", [&] { index_->EstimateCount(kSession, nullptr, nullptr, 1); }, 10641},
      {"update", [&] { index_->Update(cursor); }, 10643},
  };
  for (const auto& c : no_root) EXPECT_EQ(ErrorCode(c.call), c.code) << c.what;
}

TEST_F(RecordIndexTest, EmptyIndexAnswers) {
  Make(MakeIndexDef("ByCislo", 20, {{"Cislo"}}));
  TABSRecordId id;
  EXPECT_EQ(ErrorCode([&] { index_->GoToRecordNumber(kSession, nullptr, id, 1); }), 20074);
  TABSIndexRecordRequest first;
  index_->GetRecord(kSession, first, nullptr);
  EXPECT_EQ(first.result, TABSGetRecordResult::kEndOfIndex);
  EXPECT_TRUE(Walk().empty());
  EXPECT_EQ(index_->EstimateCount(kSession, nullptr, nullptr, 0), 0);
  ExpectClean();
}

// Pages damaged by hand: every operation ends in an engine error (or works),
// never in a crash, a hang or a read outside a page, and the checker reports
// the damage.
TEST_F(RecordIndexTest, DamagedPagesGiveEngineErrorsOnly) {
  struct Damage {
    const char* what;
    std::function<void(RecordIndexTest&, int32_t root, int32_t leaf, int32_t inner)> apply;
  };
  const Damage cases[] = {
      {"an entry count beyond the page",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.Data(leaf) + btree_header::kEntryCount, uint16_t{0xFFFF});
       }},
      {"the key size of another index",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.Data(leaf) + btree_header::kKeySize, uint16_t{7});
       }},
      {"wide entries", [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) { t.Data(leaf)[btree_header::kWideEntries] = 1; }},
      {"extra header bytes beyond the page",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.Data(leaf) + btree_header::kExtraHeader, uint16_t{0xFFF0});
       }},
      {"a root flag below the root", [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) { t.Data(leaf)[btree_header::kRootFlag] = 1; }},
      {"no root flag on the root", [](RecordIndexTest& t, int32_t root, int32_t, int32_t) { t.Data(root)[btree_header::kRootFlag] = 0; }},
      {"a leaf flag of 7", [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) { t.Data(leaf)[btree_header::kLeafFlag] = 7; }},
      {"a next link to itself",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) { StoreLE(t.Data(leaf) + btree_header::kNextPage, leaf); }},
      {"a link to page -9",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.Data(leaf) + btree_header::kPrevPage, int32_t{-9});
       }},
      {"a next link cut short",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.Data(leaf) + btree_header::kNextPage, int32_t{-1});
       }},
      {"a link to a page never written",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.Data(leaf) + btree_header::kNextPage, int32_t{100000});
       }},
      {"a negative child",
       [](RecordIndexTest& t, int32_t, int32_t, int32_t inner) {
         StoreLE(t.Data(inner) + btree_header::kSize + 9 + 5, int32_t{-1});
       }},
      {"a child that is its parent's parent",
       [](RecordIndexTest& t, int32_t root, int32_t, int32_t inner) {
         StoreLE(t.Data(inner) + btree_header::kSize + 5, root);
       }},
      {"an inner page without entries",
       [](RecordIndexTest& t, int32_t, int32_t, int32_t inner) {
         StoreLE(t.Data(inner) + btree_header::kEntryCount, uint16_t{0});
       }},
      {"an inner page made a leaf", [](RecordIndexTest& t, int32_t, int32_t, int32_t inner) { t.Data(inner)[btree_header::kLeafFlag] = 1; }},
      {"a leaf made an inner page", [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) { t.Data(leaf)[btree_header::kLeafFlag] = 0; }},
      {"a page of another type",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) {
         StoreLE(t.store_.images.at(leaf).data() + page_field::kPageType, uint16_t{ptTableRecord});
       }},
      {"keys out of order",
       [](RecordIndexTest& t, int32_t, int32_t leaf, int32_t) {
         std::swap_ranges(t.Data(leaf) + btree_header::kSize, t.Data(leaf) + btree_header::kSize + 5,
                          t.Data(leaf) + btree_header::kSize + 11 * 3);
       }},
  };
  for (const Damage& damage : cases) {
    store_ = {};
    pages_.reset();
    table_.Clear();
    Make(MakeIndexDef("ByCislo", 21, {{"Cislo"}}));
    std::vector<TABSRecordId> ids;
    for (int i = 0; i < 400; ++i) ids.push_back(Insert(Named("", i)));
    pages_->CommitSession(kSession);
    const int32_t root = index_->RootPage();
    const int32_t inner = LoadLE<int32_t>(Data(root) + btree_header::kSize + 5);
    ASSERT_EQ(Data(inner)[btree_header::kLeafFlag], 0) << "three levels";
    // Entries of inner pages: a 5-byte key and the child.
    const int32_t leaf = LoadLE<int32_t>(Data(inner) + btree_header::kSize + 9 + 5);
    damage.apply(*this, root, leaf, inner);
    Reopen();

    const TABSBTreeCheckResult check = index_->CheckIntegrity(kSession);
    EXPECT_FALSE(check.Clean()) << damage.what;
    const Record probe = Named("", 200);
    auto state = index_->NewScanState();
    SetFilter filter;
    for (const TABSRecordId& id : ids) filter.ids.insert(id);
    const std::function<void()> operations[] = {
        [&] { Walk(); },
        [&] {
          TABSKeyPath path;
          index_->Locate(kSession, ids[200], path, probe.data());
        },
        [&] { index_->RecordNumber(kSession, ids[399], nullptr, table_.Records().at(ids[399]).data()); },
        [&] {
          TABSRecordId id;
          index_->GoToRecordNumber(kSession, nullptr, id, 350);
        },
        [&] {
          TABSIndexRecordRequest request;
          request.mode = TABSGetRecordMode::kLast;
          for (int i = 0; i < 500 && (i == 0 || request.result == TABSGetRecordResult::kFound); ++i) {
            index_->GetRecord(kSession, request, nullptr);
            request.mode = TABSGetRecordMode::kPrior;
            request.current_id = request.found_id;
            if (request.result == TABSGetRecordResult::kFound) request.current_record = table_.Records().at(request.found_id).data();
          }
        },
        [&] { index_->KeepFirstOfEqualKeys(kSession, filter); },
        [&] { index_->EstimateCount(kSession, nullptr, nullptr, 400); },
        [&] { Insert(Named("", 150)); },
        [&] { Delete(ids[10]); },
        [&] { index_->Empty(kSession); },
        [&] { index_->Drop(kSession); },
    };
    for (const auto& operation : operations) {
      try {
        operation();
      } catch (const EABSException&) {
      }
      pages_->RollbackSession(kSession);
    }
  }
}

TEST_F(RecordIndexTest, AWalkPastALevelLinkCutShortIsAnError) {
  Make(MakeIndexDef("ByCislo", 23, {{"Cislo"}}));
  for (int i = 0; i < 100; ++i) Insert(Named("", i));
  pages_->CommitSession(kSession);
  const int32_t first_leaf = LoadLE<int32_t>(Data(index_->RootPage()) + btree_header::kSize + 5);
  StoreLE(Data(first_leaf) + btree_header::kNextPage, int32_t{-1});
  Reopen();
  EXPECT_EQ(ErrorOf([&] { Walk(); }), "Index error: invalid page number - Native error: 20070");
  const TABSBTreeCheckResult check = index_->CheckIntegrity(kSession);
  ASSERT_FALSE(check.Clean());
  EXPECT_EQ(check.problems.front().native_code, 20034) << check.Describe();
}

// A chain of inner pages deeper than the depth limit, and a cycle of them.
TEST_F(RecordIndexTest, TooDeepAndCircularTreesAreIntegrityErrors) {
  for (const bool cycle : {false, true}) {
    store_ = {};
    pages_.reset();
    Make(MakeIndexDef("ByCislo", 22, {{"Cislo"}}));
    const TABSBTreeContext context{pages_.get(), index_->RootPage(), {5, 6}};
    std::optional<TABSBTreePage> above;
    above.emplace(context, kSession, index_->RootPage());
    above->Reset(/*leaf=*/false);
    std::vector<int32_t> chain;
    const uint8_t key[5] = {};
    uint8_t child[4];
    for (int level = 1; level <= (cycle ? 5 : 40); ++level) {
      TABSBTreePage page = TABSBTreePage::Add(context, kSession, /*leaf=*/false);
      chain.push_back(page.PageNo());
      StoreLE(child, page.PageNo());
      above->InsertEntry(0, key, child);
      above.reset();
      above.emplace(std::move(page));
    }
    if (cycle) {
      StoreLE(child, chain[1]);
    } else {
      StoreLE(child, TABSBTreePage::Add(context, kSession, /*leaf=*/true).PageNo());
    }
    above->InsertEntry(0, key, child);
    above.reset();
    pages_->CommitSession(kSession);
    Reopen();
    TABSKeyPath path;
    const int32_t code = ErrorCode([&] { index_->Locate(kSession, {0, 0}, path, Named("", 1).data()); });
    EXPECT_TRUE(code == 10652 || code == 10654) << code;
    EXPECT_NE(ErrorCode([&] { Walk(); }), 0);
    EXPECT_NE(ErrorCode([&] { index_->Drop(kSession); }), 0);
    const TABSBTreeCheckResult check = index_->CheckIntegrity(kSession);
    ASSERT_FALSE(check.Clean());
    EXPECT_TRUE(check.problems.front().native_code == 20032 || check.problems.front().native_code == 20194)
        << check.Describe();
  }
}

}  // namespace
}  // namespace kelvorin
