// Record indexes against a model: random inserts, deletes, updates, commits,
// rollbacks and reopening, with a descending INTEGER index (NULLs and
// negative numbers), a STRING(40) index cut after 3 bytes under the Czech
// collation (case and accent variants, prefixes whose order differs from
// their values'), and a unique index over both. The index must agree with
// the model, ordered by a comparator of its own. After every step: key
// uniqueness, Locate and record numbers of the records the step touched (and
// no entry left for those it removed), and one scan. After every rollback and
// reopening, at the end of every phase and every few steps in between, all
// of it: both leaf walks, Locate, record numbers both ways, scans of every
// kind, and a clean integrity check.
//
// For longer runs: KELVORIN_BTREE_MODEL_STEPS (steps per page size),
// KELVORIN_BTREE_MODEL_SEED, and KELVORIN_BTREE_MODEL_FULL_EVERY (steps
// between full checks; 1 checks everything after every step).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>

#include "db/tables/btree/record_index.h"
#include "platform/locale_profile.h"
#include "tests/db/engine_error_capture.h"
#include "tests/db/tables/btree/fake_table.h"
#include "tests/db/tables/btree/memory_pages.h"

namespace kelvorin {
namespace {

using namespace testing;

constexpr int32_t kSession = 7;
constexpr int32_t kJmeno = 0;
constexpr int32_t kCislo = 1;

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::atoi(value) : fallback;
}

// The model's own order: NULL first, strings by the locale's collation,
// numbers by value, descending columns reversed.
struct ModelColumn {
  int32_t field;
  bool descending;
  bool case_insensitive;
};

class ModelOrder {
 public:
  ModelOrder(const FakeTable& table, std::vector<ModelColumn> columns) : table_(table), columns_(std::move(columns)) {}

  int Compare(const Record& a, const Record& b, size_t columns) const {
    for (size_t c = 0; c < columns; ++c) {
      const ModelColumn& column = columns_[c];
      const bool null_a = table_.IsNull(a, column.field);
      const bool null_b = table_.IsNull(b, column.field);
      int r;
      if (null_a || null_b) {
        r = null_a == null_b ? 0 : (null_a ? -1 : 1);
      } else if (column.field == kJmeno) {
        const platform::CollationResult order = platform::CurrentLocale().CompareAnsi(
            table_.GetString(a, kJmeno), table_.GetString(b, kJmeno), column.case_insensitive);
        r = order == platform::kLess ? -1 : (order == platform::kGreater ? 1 : 0);
      } else {
        const int32_t x = table_.GetInteger(a, column.field);
        const int32_t y = table_.GetInteger(b, column.field);
        r = x < y ? -1 : (y < x ? 1 : 0);
      }
      if (column.descending) r = -r;
      if (r != 0) return r;
    }
    return 0;
  }
  size_t Columns() const { return columns_.size(); }

 private:
  const FakeTable& table_;
  std::vector<ModelColumn> columns_;
};

struct IndexUnderTest {
  std::unique_ptr<TABSIndexDef> definition;
  ModelOrder order;
  std::unique_ptr<TABSBTreeRecordIndex> index;
  std::vector<TABSRecordId> sorted;  // the model's order of the table's records
};

class RecordIndexModelTest : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    rng_.seed(static_cast<uint32_t>(EnvInt("KELVORIN_BTREE_MODEL_SEED", 20240611) + GetParam()));
    pages_ = std::make_unique<MemoryPageManager>(store_, GetParam());
    AddIndex(MakeIndexDef("ByCislo", 101, {{"Cislo", true}}), {{kCislo, true, false}});
    AddIndex(MakeIndexDef("ByJmeno", 102, {{"Jmeno", false, false, 3}}), {{kJmeno, false, false}});
    AddIndex(MakeIndexDef("Unikat", 103, {{"Jmeno", false, true, 3}, {"Cislo"}}, /*unique=*/true),
             {{kJmeno, false, true}, {kCislo, false, false}});
    // A first population, built through the cursor.
    for (int i = 0; i < 150; ++i) {
      const Record record = RandomRecord();
      if (ModelKeyFree(record, TABSRecordId{})) table_.Add(record);
    }
    FakeCursor cursor(table_, kSession);
    for (IndexUnderTest& t : indexes_) {
      t.index = std::make_unique<TABSBTreeRecordIndex>(*pages_, table_.Fields(), &table_);
      t.index->Build(kSession, &cursor, *t.definition);
    }
    Commit();
    SortModel();
  }

  void AddIndex(std::unique_ptr<TABSIndexDef> definition, std::vector<ModelColumn> columns) {
    indexes_.push_back({std::move(definition), ModelOrder(table_, std::move(columns)), nullptr, {}});
  }
  IndexUnderTest& Unique() { return indexes_[2]; }

  std::string RandomName() {
    static const char* const kWords[] = {"Han", "han", "Hana", "hanz", "Nov\xE1", "Nova", "Nov\xE1ka", "Novakz",
                                         "xc", "xd", "xch", "Ch", "ch", "c", "h", "H\xE1j", "haj", "CHAR",
                                         "Nov\xE1k", "nov\xE1k", "xd1", "x", "xC", "Xch"};
    static const char* const kPieces[] = {"a", "\xE1", "A", "\xC1", "c", "C", "ch", "Ch", "h",
                                          "H", "n", "N", "o", "\xF3", "v", "z", "x", "d"};
    if (rng_() % 10 < 4) return kWords[rng_() % std::size(kWords)];
    std::string name;
    for (int n = 1 + static_cast<int>(rng_() % 3); n > 0; --n) name += kPieces[rng_() % std::size(kPieces)];
    return name;
  }
  void Randomise(Record& record, int32_t field) {
    if (rng_() % 8 == 0) {
      table_.SetNull(record, field);
    } else if (field == kJmeno) {
      table_.SetString(record, kJmeno, RandomName());
    } else {
      table_.SetInteger(record, kCislo, static_cast<int32_t>(rng_() % 61) - 30);
    }
  }
  Record RandomRecord() {
    Record record = table_.NewRecord();
    Randomise(record, kJmeno);
    Randomise(record, kCislo);
    return record;
  }

  bool ModelKeyFree(const Record& record, TABSRecordId own) {
    const ModelOrder& order = Unique().order;
    for (const auto& [id, other] : table_.Records()) {
      if (id != own && order.Compare(record, other, order.Columns()) == 0) return false;
    }
    return true;
  }
  bool ModelBefore(const IndexUnderTest& t, TABSRecordId a, TABSRecordId b) const {
    const int r = t.order.Compare(table_.Records().at(a), table_.Records().at(b), t.order.Columns());
    return r != 0 ? r < 0 : a < b;
  }
  void SortModel() {
    for (IndexUnderTest& t : indexes_) {
      t.sorted.clear();
      for (const auto& entry : table_.Records()) t.sorted.push_back(entry.first);
      std::sort(t.sorted.begin(), t.sorted.end(),
                [&](TABSRecordId a, TABSRecordId b) { return ModelBefore(t, a, b); });
    }
  }
  // Enters a record of the table into the model's order (or takes it out).
  void ModelAdd(TABSRecordId id) {
    for (IndexUnderTest& t : indexes_) {
      t.sorted.insert(std::lower_bound(t.sorted.begin(), t.sorted.end(), id,
                                       [&](TABSRecordId a, TABSRecordId b) { return ModelBefore(t, a, b); }),
                      id);
    }
  }
  void ModelRemove(TABSRecordId id) {
    for (IndexUnderTest& t : indexes_) t.sorted.erase(std::find(t.sorted.begin(), t.sorted.end(), id));
  }

  void Commit() {
    pages_->CommitSession(kSession);
    table_.Snapshot();
  }
  void Reopen() {
    Commit();
    for (IndexUnderTest& t : indexes_) t.index.reset();
    pages_ = std::make_unique<MemoryPageManager>(store_, GetParam());
    for (IndexUnderTest& t : indexes_) {
      t.index = std::make_unique<TABSBTreeRecordIndex>(*pages_, table_.Fields(), &table_);
      t.index->Open(*t.definition);
    }
  }

  void Insert() {
    const Record record = RandomRecord();
    const bool free = ModelKeyFree(record, TABSRecordId{});
    ASSERT_EQ(Unique().index->IsKeyFree(kSession, record.data()), free);
    if (!free) return;
    const TABSRecordId id = table_.Add(record);
    FakeCursor cursor(table_, kSession);
    cursor.Set(&table_.Records().at(id), id);
    for (IndexUnderTest& t : indexes_) t.index->Insert(cursor);
    ModelAdd(id);
    touched_.push_back(id);
  }
  TABSRecordId AnyRecord() {
    auto it = table_.Records().begin();
    std::advance(it, rng_() % table_.Records().size());
    return it->first;
  }
  void Delete() {
    if (table_.Records().empty()) return;
    const TABSRecordId id = AnyRecord();
    for (IndexUnderTest& t : indexes_) t.index->Delete(kSession, table_.Records().at(id).data(), id);
    ModelRemove(id);
    removed_.emplace_back(id, table_.Records().at(id));
    table_.Remove(id);
  }
  void Update() {
    if (table_.Records().empty()) return;
    const TABSRecordId id = AnyRecord();
    const Record before = table_.Records().at(id);
    Record after = before;
    switch (rng_() % 4) {
      case 0:
        Randomise(after, kJmeno);
        break;
      case 1:
        Randomise(after, kCislo);
        break;
      case 2:  // the same name in other letter case: equal for the unique index
        if (!table_.IsNull(after, kJmeno)) {
          std::string name = table_.GetString(after, kJmeno);
          for (char& c : name) c = platform::CurrentLocale().UpperAnsiChar(c);
          table_.SetString(after, kJmeno, name);
        }
        break;
      default:
        break;
    }
    const bool free = ModelKeyFree(after, id);
    ASSERT_EQ(Unique().index->IsKeyFreeOnUpdate(kSession, before.data(), after.data(), id), free);
    if (!free) return;
    FakeCursor cursor(table_, kSession);
    cursor.Set(&after, id, &before);
    for (IndexUnderTest& t : indexes_) t.index->Update(cursor);
    ModelRemove(id);
    table_.Replace(id, after);
    ModelAdd(id);
    touched_.push_back(id);
  }

  // Walks both ways with the position cache.
  void ExpectWalks(IndexUnderTest& t, const std::vector<TABSRecordId>& expected) {
    for (const bool forward : {true, false}) {
      std::vector<TABSRecordId> walked;
      TABSIndexPositionCache cache;
      Record record(static_cast<size_t>(table_.RecordSize()));
      TABSIndexRecordRequest request;
      request.mode = forward ? TABSGetRecordMode::kFirst : TABSGetRecordMode::kLast;
      request.destination = record.data();
      for (t.index->GetRecord(kSession, request, &cache); request.result == TABSGetRecordResult::kFound;
           t.index->GetRecord(kSession, request, &cache)) {
        walked.push_back(request.found_id);
        ASSERT_EQ(record, table_.Records().at(request.found_id));
        request.mode = forward ? TABSGetRecordMode::kNext : TABSGetRecordMode::kPrior;
        request.current_id = request.found_id;
        request.current_record = table_.Records().at(request.found_id).data();
      }
      ASSERT_EQ(request.result, forward ? TABSGetRecordResult::kEndOfIndex : TABSGetRecordResult::kBeginningOfIndex);
      if (!forward) std::reverse(walked.begin(), walked.end());
      ASSERT_EQ(walked, expected) << t.definition->Name() << (forward ? " forward" : " backward");
    }
  }

  void ExpectNumbers(IndexUnderTest& t, const std::vector<TABSRecordId>& expected) {
    if (expected.empty()) {
      TABSRecordId id;
      EXPECT_EQ(ErrorCode([&] { t.index->GoToRecordNumber(kSession, nullptr, id, 1); }), 20074);
      return;
    }
    SetFilter filter;
    std::vector<TABSRecordId> filtered;
    for (const TABSRecordId& id : expected) {
      if (rng_() % 2) {
        filter.ids.insert(id);
        filtered.push_back(id);
      }
    }
    for (int k = 0; k < 2; ++k) {
      const size_t at = rng_() % expected.size();
      const TABSRecordId id = expected[at];
      const uint8_t* record = table_.Records().at(id).data();
      TABSKeyPath path;
      ASSERT_TRUE(t.index->Locate(kSession, id, path, record));
      ASSERT_EQ(t.index->RecordNumber(kSession, id, nullptr, record), static_cast<int64_t>(at) + 1);
      TABSRecordId found;
      t.index->GoToRecordNumber(kSession, nullptr, found, static_cast<int64_t>(at) + 1);
      ASSERT_EQ(found, id);
      const auto place = std::find(filtered.begin(), filtered.end(), id);
      ASSERT_EQ(t.index->RecordNumber(kSession, id, &filter, record),
                place == filtered.end() ? -1 : (place - filtered.begin()) + 1);
      if (!filtered.empty()) {
        const size_t nth = rng_() % filtered.size();
        t.index->GoToRecordNumber(kSession, &filter, found, static_cast<int64_t>(nth) + 1);
        ASSERT_EQ(found, filtered[nth]);
      }
    }
    TABSRecordId id;
    EXPECT_EQ(ErrorCode([&] { t.index->GoToRecordNumber(kSession, nullptr, id, expected.size() + 1); }), 20075);
  }

  // A random scan between random bounds, against the model filtered by the
  // same conditions.
  void ExpectScan(IndexUnderTest& t, const std::vector<TABSRecordId>& expected) {
    using Kind = TABSScanConditionKind;
    static const Kind kLower[] = {Kind::kEqual, Kind::kGreater, Kind::kGreaterOrEqual};
    static const Kind kUpper[] = {Kind::kEqual, Kind::kLess, Kind::kLessOrEqual};
    const Record lower_values = rng_() % 2 && !expected.empty()
                                    ? table_.Records().at(expected[rng_() % expected.size()])
                                    : RandomRecord();
    const Record upper_values = rng_() % 2 && !expected.empty()
                                    ? table_.Records().at(expected[rng_() % expected.size()])
                                    : RandomRecord();
    const int32_t columns = 1 + static_cast<int32_t>(rng_() % t.order.Columns());
    TABSScanSearchCondition lower{kLower[rng_() % 3], lower_values.data(), columns, -1};
    TABSScanSearchCondition upper{kUpper[rng_() % 3], upper_values.data(), columns, t.definition->ObjectId()};
    const int which = static_cast<int>(rng_() % 4);
    const TABSScanSearchCondition* lower_bound = which & 1 ? &lower : nullptr;
    const TABSScanSearchCondition* upper_bound = which & 2 ? &upper : nullptr;
    const bool ascending = rng_() % 2;

    auto satisfies = [&](const Record& record, const TABSScanSearchCondition* condition, const Record& values) {
      if (condition == nullptr) return true;
      const int r = t.order.Compare(record, values, static_cast<size_t>(columns));
      switch (condition->kind) {
        case Kind::kEqual: return r == 0;
        case Kind::kLess: return r < 0;
        case Kind::kLessOrEqual: return r <= 0;
        case Kind::kGreater: return r > 0;
        case Kind::kGreaterOrEqual: return r >= 0;
      }
      return false;
    };
    std::vector<TABSRecordId> wanted;
    for (const TABSRecordId& id : expected) {
      const Record& record = table_.Records().at(id);
      if (satisfies(record, lower_bound, lower_values) && satisfies(record, upper_bound, upper_values)) {
        wanted.push_back(id);
      }
    }
    if (!ascending) std::reverse(wanted.begin(), wanted.end());
    std::vector<TABSRecordId> scanned;
    auto state = t.index->NewScanState();
    TABSRecordId id;
    for (bool restart = true; t.index->ScanStep(kSession, restart, state.get(), id, nullptr, lower_bound,
                                                upper_bound, ascending);
         restart = false) {
      scanned.push_back(id);
    }
    ASSERT_EQ(scanned, wanted) << t.definition->Name() << " columns " << columns << " lower "
                               << (lower_bound ? static_cast<int>(lower.kind) : 0) << " upper "
                               << (upper_bound ? static_cast<int>(upper.kind) : 0) << (ascending ? " up" : " down");
    const int64_t total = static_cast<int64_t>(expected.size());
    const int64_t estimate = t.index->EstimateCount(kSession, lower_bound, upper_bound, total);
    ASSERT_GE(estimate, 0);
    ASSERT_LE(estimate, total);
    if (wanted.empty()) {
      ASSERT_EQ(estimate, 0);
    }
  }

  // The records the last step inserted or updated are where the model puts
  // them; those it deleted are gone; one scan and one key probe agree.
  void VerifyTouched() {
    for (IndexUnderTest& t : indexes_) {
      for (const TABSRecordId& id : touched_) {
        const auto record = table_.Records().find(id);
        if (record == table_.Records().end()) continue;
        TABSKeyPath path;
        ASSERT_TRUE(t.index->Locate(kSession, id, path, record->second.data())) << t.definition->Name();
        const auto at = std::find(t.sorted.begin(), t.sorted.end(), id) - t.sorted.begin();
        ASSERT_EQ(t.index->RecordNumber(kSession, id, nullptr, record->second.data()), at + 1)
            << t.definition->Name();
      }
      for (const auto& [id, record] : removed_) {
        TABSKeyPath path;
        ASSERT_FALSE(t.index->Locate(kSession, id, path, record.data())) << t.definition->Name();
      }
    }
    IndexUnderTest& t = indexes_[rng_() % indexes_.size()];
    ASSERT_NO_FATAL_FAILURE(ExpectScan(t, t.sorted));
    const Record probe = RandomRecord();
    ASSERT_EQ(Unique().index->IsKeyFree(kSession, probe.data()), ModelKeyFree(probe, TABSRecordId{}));
  }

  void Verify() {
    for (IndexUnderTest& t : indexes_) {
      const std::vector<TABSRecordId>& expected = t.sorted;
      ASSERT_NO_FATAL_FAILURE(ExpectWalks(t, expected));
      ASSERT_NO_FATAL_FAILURE(ExpectNumbers(t, expected));
      ASSERT_NO_FATAL_FAILURE(ExpectScan(t, expected));
      const TABSBTreeCheckResult check = t.index->CheckIntegrity(kSession);
      ASSERT_TRUE(check.Clean()) << t.definition->Name() << "\n" << check.Describe();
    }
    const Record probe = RandomRecord();
    ASSERT_EQ(Unique().index->IsKeyFree(kSession, probe.data()), ModelKeyFree(probe, TABSRecordId{}));
  }

  std::mt19937 rng_;
  FakeTable table_{{{"Jmeno", TABSColumnType::String, 40}, {"Cislo", TABSColumnType::Integer, 0}}};
  MemoryPageStore store_;
  std::unique_ptr<MemoryPageManager> pages_;
  std::vector<IndexUnderTest> indexes_;
  // What the current step changed.
  std::vector<TABSRecordId> touched_;
  std::vector<std::pair<TABSRecordId, Record>> removed_;
};

TEST_P(RecordIndexModelTest, RandomWorkAgreesWithTheModel) {
  const int steps = EnvInt("KELVORIN_BTREE_MODEL_STEPS", 1500);
  const int full_every = std::max(1, EnvInt("KELVORIN_BTREE_MODEL_FULL_EVERY", 25));
  constexpr int kPhase = 70;
  for (int step = 0; step < steps; ++step) {
    // Phases of growth and of shrinking, so that trees gain and lose levels.
    const bool growing = (step / kPhase) % 2 == 1;
    touched_.clear();
    removed_.clear();
    bool full = (step + 1) % full_every == 0 || (step + 1) % kPhase == 0 || step + 1 == steps;
    const int op = static_cast<int>(rng_() % 100);
    if (op < (growing ? 60 : 25)) {
      ASSERT_NO_FATAL_FAILURE(Insert()) << "step " << step;
    } else if (op < 62) {
      Delete();
      if (!growing) Delete();
    } else if (op < 84) {
      ASSERT_NO_FATAL_FAILURE(Update()) << "step " << step;
    } else if (op < 92) {
      Commit();
    } else if (op < 97) {
      pages_->RollbackSession(kSession);
      table_.Restore();
      SortModel();
      full = true;
    } else {
      Reopen();
      full = true;
    }
    if (full) {
      ASSERT_NO_FATAL_FAILURE(Verify()) << "step " << step;
    } else {
      ASSERT_NO_FATAL_FAILURE(VerifyTouched()) << "step " << step;
    }
  }
  // The distinct filter keeps the first record of each key.
  for (IndexUnderTest& t : indexes_) {
    SetFilter filter;
    for (const auto& entry : table_.Records()) filter.ids.insert(entry.first);
    t.index->KeepFirstOfEqualKeys(kSession, filter);
    std::set<TABSRecordId> kept;
    const std::vector<TABSRecordId>& order = t.sorted;
    for (size_t i = 0; i < order.size(); ++i) {
      if (i == 0 || t.order.Compare(table_.Records().at(order[i - 1]), table_.Records().at(order[i]),
                                    t.order.Columns()) != 0) {
        kept.insert(order[i]);
      }
    }
    EXPECT_EQ(filter.ids, kept) << t.definition->Name();
  }
}

INSTANTIATE_TEST_SUITE_P(PageSizes, RecordIndexModelTest, ::testing::Values(256, 512));

}  // namespace
}  // namespace kelvorin
