// A model-based test of a disk table: random inserts, updates and deletes
// (BLOBs of 0, 1, 4031, 4032 bytes and large ones, NULLs, auto-increment
// values, unique and non-unique indexes, constraints), commits, rollbacks
// and reopenings, with a memory limit or a file fault injected into about 1 %
// of the operations. After every step, failed ones included, the records in
// storage order, every index and the record count equal the model, and,
// between transactions, the checker finds the file sound.
//
// KELVORIN_MODEL_SEED and KELVORIN_MODEL_STEPS choose a longer run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "db/storage/streams/memory_stream.h"
#include "tests/db/storage/write_faults.h"
#include "tests/db/tables/records/table_test_util.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::MemoryRecord;
using C = TABSColumnType;

int64_t EnvOr(const char* name, int64_t fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::strtoll(value, nullptr, 10) : fallback;
}

struct Row {
  std::optional<int32_t> k;
  std::optional<std::string> u;
  std::optional<int32_t> c;
  std::optional<std::string> b;  // an empty value is NULL
  std::optional<std::string> m;
  TABSRecordId id;

  bool operator==(const Row& o) const { return k == o.k && u == o.u && c == o.c && b == o.b && m == o.m; }
};

std::string Show(const std::optional<std::string>& v) {
  if (!v) return "NULL";
  return v->size() > 24 ? "<" + std::to_string(v->size()) + " bytes>" : *v;
}
std::string Show(const std::optional<int32_t>& v) { return v ? std::to_string(*v) : "NULL"; }
std::string Show(const Row& r) {
  return "k=" + Show(r.k) + " u=" + Show(r.u) + " c=" + Show(r.c) + " b=" + Show(r.b) + " m=" + Show(r.m);
}

// What the table holds: rows by their id, and the auto-increment counter.
struct Model {
  std::map<int64_t, Row> rows;
  int64_t counter = 0;
};

class TableModelTest : public testing::TableTest {
 protected:
  void CreateModelTable() {
    TABSDatasetFieldDef c = Field("c", C::Integer);
    c.minimum.SetInteger(0);
    c.maximum.SetInteger(1000);
    auto defs = Definitions({Field("id", C::AutoInc), Field("k", C::Integer), Field("u", C::String, 30), c,
                             Field("b", C::Blob), Field("m", C::Memo)});
    AddIndex(*defs, "I_id", {"id"}, true, true);
    AddIndex(*defs, "I_k", {"k"}, false, false);
    AddIndex(*defs, "I_u", {"u"}, true, false);
    AddIndex(*defs, "I_ku", {"k", "u"}, false, false, 8);
    defs->DeriveIndexConstraints();
    db_->CreateTable("m", defs->Fields(), defs->Indexes(), defs->Constraints());
    OpenTable("m");
  }

  // --- Random values ---
  int64_t Between(int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random_); }
  bool Chance(int percent) { return Between(0, 99) < percent; }
  std::optional<int32_t> RandomK() {
    if (Chance(15)) return std::nullopt;
    return static_cast<int32_t>(Between(-5, 40));
  }
  // Strings that often share their first 20 (and first 8) characters, so
  // that cut keys tie and full values decide.
  std::optional<std::string> RandomU() {
    if (Chance(3)) return std::nullopt;
    static const char* prefixes[] = {"", "aaaaaaaaaaaaaaaaaaaa", "aaaaaaaabbbbbbbbbbbb", "zz"};
    std::string u = prefixes[Between(0, 3)];
    const int64_t extra = Between(1, 10);
    for (int64_t i = 0; i < extra; ++i) u += static_cast<char>('a' + Between(0, 3));
    return u.substr(0, 30);
  }
  std::optional<int32_t> RandomC() {
    if (Chance(20)) return std::nullopt;
    return static_cast<int32_t>(Chance(5) ? Between(-3, -1) : Between(0, 1003));
  }
  std::optional<std::string> RandomBlob() {
    static const int64_t sizes[] = {0, 1, 4031, 4032, 30, 500};
    const int64_t pick = Between(0, 8);
    if (pick >= 7) return std::nullopt;
    const int64_t size = pick == 6 ? Between(4100, 40000) : sizes[pick];
    if (size == 0) return std::nullopt;
    std::string value(static_cast<size_t>(size), '\0');
    const char fill = static_cast<char>('A' + Between(0, 25));
    for (size_t i = 0; i < value.size(); ++i) value[i] = static_cast<char>(fill + i % 7);
    return value;
  }

  // --- Records ---
  void Write(MemoryRecord& record, const Row& row, bool keep_blobs = false) {
    TABSTableData& t = *table_;
    auto set_int = [&](const char* name, const std::optional<int32_t>& v) {
      if (v) {
        testing::SetInt(t, record, name, *v);
      } else {
        testing::SetNull(t, record, name);
      }
    };
    set_int("k", row.k);
    set_int("c", row.c);
    if (row.u) {
      testing::SetText(t, record, "u", *row.u);
    } else {
      testing::SetNull(t, record, "u");
    }
    if (keep_blobs) return;
    TABSBlobManager& blobs = *t.BlobManager();
    for (const auto& [name, value] : {std::pair{"b", row.b}, std::pair{"m", row.m}}) {
      const int32_t field = testing::FieldNo(t, name);
      if (value) {
        blobs.WriteValue(record.data(), field, value->data(), static_cast<int64_t>(value->size()));
      } else if (Chance(50)) {
        testing::SetNull(t, record, name);  // through field access
      } else {
        blobs.ClearValue(record.data(), field);
      }
    }
  }
  Row Read(MemoryRecord& record) {
    TABSTableData& t = *table_;
    Row row;
    auto get_int = [&](const char* name) -> std::optional<int32_t> {
      const TABSVariant v = testing::Value(t, record, name);
      if (v.IsNull()) return std::nullopt;
      return v.AsInteger();
    };
    row.k = get_int("k");
    row.c = get_int("c");
    const TABSVariant u = testing::Value(t, record, "u");
    if (!u.IsNull()) row.u = u.AsString();
    for (auto [name, target] : {std::pair{"b", &row.b}, std::pair{"m", &row.m}}) {
      TABSMemoryStream stream;
      t.BlobManager()->ReadValue(0, record.data(), testing::FieldNo(t, name), stream);
      if (stream.Size() > 0) *target = std::string(reinterpret_cast<const char*>(stream.Memory()), stream.Size());
    }
    return row;
  }
  int64_t IdOf(const MemoryRecord& record) { return testing::Value(*table_, record, "id").AsLargeInt(); }
  MemoryRecord Stored(TABSRecordId id) {
    MemoryRecord record(static_cast<size_t>(table_->RecordFields().MemorySize()));
    EXPECT_TRUE(table_->ReadRecord(0, id, record.data()));
    return record;
  }

  // --- The model's verdict on a post ---
  bool Violates(const Row& row, int64_t id, const std::map<int64_t, Row>& rows, int64_t own_id) const {
    if (row.c && (*row.c < 0 || *row.c > 1000)) return true;
    for (const auto& [other_id, other] : rows) {
      if (other_id == own_id) continue;
      if (other_id == id || other.u == row.u) return true;
    }
    return false;
  }

  // Runs a post with the fault the step drew (if any); false when the post
  // raised. Faults last for the post only.
  template <typename F>
  bool WithFault(F&& post) {
    std::optional<testing::WriteFaults> faults;
    if (fault_ == 1) MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + Between(0, 60000));
    if (fault_ == 2) {
      faults.emplace(Path());
      faults->fail_at = static_cast<int>(Between(1, 6));
      faults->keep_failing = Chance(50);
    }
    bool raised = false;
    try {
      post();
    } catch (const EABSException&) {
      raised = true;
    }
    // Writes that keep failing may stop a rollback from giving its page
    // numbers back; the session owes them to its next commit or rollback.
    pages_owed_ = raised && faults && faults->keep_failing;
    MemoryManager().SetMemoryLimit(0);
    return !raised;
  }

  void Insert() {
    Row row{RandomK(), RandomU(), RandomC(), RandomBlob(), RandomBlob(), {}};
    MemoryRecord record = testing::NewRecord(*table_, *session_);
    Write(record, row);
    std::optional<int64_t> explicit_id;
    if (Chance(8)) {
      explicit_id = Chance(50) && !model_.rows.empty() ? model_.rows.rbegin()->first - Between(0, 3)
                                                       : model_.counter + Between(-2, 20);
      testing::SetInt(*table_, record, "id", *explicit_id);
    }
    const MemoryRecord before = record;
    TABSPostResult result;
    const bool completed = WithFault([&] { result = table_->InsertRecord(*session_, record.data()); });
    const int64_t id = explicit_id ? *explicit_id : model_.counter + 1;
    const bool violates = Violates(row, id, model_.rows, INT64_MIN);
    if (completed && result.Succeeded()) {
      ASSERT_FALSE(violates) << "inserted " << Show(row) << " id " << id;
      ASSERT_EQ(IdOf(record), id);
      row.id = result.id;
      model_.rows[id] = row;
      model_.counter = std::max(model_.counter, id);
    } else {
      if (fault_ == 0) {
        ASSERT_TRUE(violates) << "refused " << Show(row) << ": " << result.message;
        ASSERT_EQ(result.code, TABSPostCode::kConstraintViolated);
      }
      ASSERT_TRUE(std::equal(record.begin(), record.end(), before.begin())) << "the caller's record is kept";
    }
    table_->BlobManager()->ReleaseDescriptors(record.data());
  }

  void Update() {
    if (model_.rows.empty()) return;
    auto it = std::next(model_.rows.begin(), Between(0, static_cast<int64_t>(model_.rows.size()) - 1));
    const int64_t id = it->first;
    MemoryRecord read = Stored(it->second.id);
    MemoryRecord record = read;
    Row row = it->second;
    if (Chance(50)) row.k = RandomK();
    if (Chance(30)) row.u = RandomU();
    if (Chance(30)) row.c = RandomC();
    const bool new_blobs = Chance(50);
    if (new_blobs) {
      row.b = RandomBlob();
      row.m = Chance(50) ? RandomBlob() : row.m;
    }
    Write(record, row, !new_blobs);
    TABSPostResult result;
    const bool completed =
        WithFault([&] { result = table_->UpdateRecord(*session_, it->second.id, record.data(), read.data()); });
    const bool violates = Violates(row, id, model_.rows, id);
    if (completed && result.Succeeded()) {
      ASSERT_FALSE(violates) << "updated to " << Show(row);
      row.id = it->second.id;
      it->second = row;
    } else if (fault_ == 0) {
      ASSERT_TRUE(violates) << "refused " << Show(row) << ": " << result.message;
    }
    table_->BlobManager()->ReleaseDescriptors(record.data());
  }

  void Delete() {
    if (model_.rows.empty()) return;
    auto it = std::next(model_.rows.begin(), Between(0, static_cast<int64_t>(model_.rows.size()) - 1));
    MemoryRecord copy = Stored(it->second.id);
    if (Chance(50)) {
      // Reading a BLOB leaves a handle in the copy; the copy still is the
      // stored record.
      TABSMemoryStream stream;
      table_->BlobManager()->LoadBlob(0, copy.data(), testing::FieldNo(*table_, "b"), stream);
    }
    TABSPostResult result;
    const bool completed = WithFault([&] { result = table_->DeleteRecord(*session_, it->second.id, copy.data()); });
    table_->BlobManager()->ReleaseDescriptors(copy.data());
    if (completed && result.Succeeded()) {
      model_.rows.erase(it);
    } else if (fault_ == 0) {
      FAIL() << "delete refused: " << static_cast<int>(result.code);
    }
  }

  void Transaction() {
    const int64_t pick = Between(0, 2);
    if (!db_->InTransaction(0)) {
      db_->StartTransaction(0);
      committed_ = model_;
      return;
    }
    if (pick == 0) {
      db_->RollbackTransaction(0);
      model_ = committed_;
      return;
    }
    if (WithFault([&] { db_->CommitTransaction(0, false); })) {
      committed_ = model_;
    } else {
      ASSERT_TRUE(db_->InTransaction(0)) << "a failed commit keeps the transaction";
    }
  }

  void Verify(int64_t step) {
    const std::vector<testing::StoredRecord> records = ExpectIndexesMatchTheRecords();
    std::map<int64_t, Row> found;
    for (const auto& stored : records) {
      MemoryRecord record = stored.record;
      Row row = Read(record);
      row.id = stored.id;
      found[IdOf(record)] = row;
    }
    ASSERT_EQ(found.size(), model_.rows.size()) << "step " << step;
    for (const auto& [id, row] : model_.rows) {
      ASSERT_TRUE(found.count(id)) << "step " << step << ": id " << id << " missing";
      ASSERT_EQ(found[id], row) << "step " << step << ": id " << id << " is " << Show(found[id]) << ", not "
                                << Show(row);
      ASSERT_EQ(found[id].id, row.id);
    }
    // An open transaction holds pages that it allocated but has not written
    // yet; the file is checked between transactions.
    if (db_->InTransaction(0)) return;
    const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
    if (pages_owed_) {
      ASSERT_FALSE(report.HasCorruption()) << "step " << step << "\n" << report.Describe();
    } else {
      ASSERT_TRUE(report.Clean()) << "step " << step << "\n" << report.Describe();
    }
  }

  std::mt19937_64 random_;
  Model model_, committed_;
  int fault_ = 0;  // 0 none, 1 memory limit, 2 file fault
  bool pages_owed_ = false;
};

TEST_F(TableModelTest, RandomPostsMatchTheModel) {
  const int64_t seed = EnvOr("KELVORIN_MODEL_SEED", 11);
  const int64_t steps = EnvOr("KELVORIN_MODEL_STEPS", 300);
  random_.seed(static_cast<uint64_t>(seed));
  CreateModelTable();
  for (int64_t step = 0; step < steps; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    fault_ = Chance(1) ? static_cast<int>(Between(1, 2)) : 0;
    pages_owed_ = false;
    const int64_t op = Between(0, 99);
    const char* what = op < 45 ? "insert" : op < 68 ? "update" : op < 85 ? "delete" : op < 97 ? "transaction" : "reopen";
    try {
      if (op < 45) {
        Insert();
      } else if (op < 68) {
        Update();
      } else if (op < 85) {
        Delete();
      } else if (op < 97) {
        Transaction();
      } else if (!db_->InTransaction(0)) {
        Reopen("m");
      }
      if (::testing::Test::HasFatalFailure()) return;
      Verify(step);
    } catch (const EABSException& e) {
      FAIL() << what << " (fault " << fault_ << "): " << e.what();
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  if (db_->InTransaction(0)) db_->CommitTransaction(0, false);
  CloseCursor();
  ExpectCatalogueCleanAfterClose();
}

}  // namespace
}  // namespace kelvorin
