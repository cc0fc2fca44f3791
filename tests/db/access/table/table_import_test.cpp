// Import from a dataset of this layer and from a foreign one, copies into
// "MEMORY", and the values and shapes a whole-table copy must carry as they
// are: EXTENDED values beyond the double range, bytes with zeros, wide
// memos, the empty date, a table read without a field object for one of
// its columns, a hundred and one tables, a name of 255 bytes.
#include <cstring>

#include "db/access/local/local_cursor.h"
#include "db/access/table/table_copy.h"
#include "db/storage/blobs/blob_manager.h"
#include "db/storage/catalog/catalog_check.h"
#include "db/storage/streams/memory_stream.h"
#include "db/tables/values/value_encoding.h"
#include "tests/db/access/dataset/dataset_test_util.h"
#include "tests/db/access/session/session_test_util.h"
#include "tests/db/storage/storage_test_util.h"
#include "tests/db/write_killer.h"

namespace kelvorin::testing {
namespace {

using Names = std::vector<std::string>;

// A read-only dataset outside this layer: rows of values in memory.
class ListDataSet : public TDataSet {
 public:
  struct Column {
    std::string name;
    TFieldType type;
    int32_t size;
  };
  ListDataSet(std::vector<Column> columns, std::vector<std::vector<TABSVariant>> rows)
      : columns_(std::move(columns)), rows_(std::move(rows)) {}
  int32_t RecordCount() override { return static_cast<int32_t>(rows_.size()); }

 protected:
  void InternalOpen() override {
    MutableFieldDefs().Clear();
    for (const Column& column : columns_) MutableFieldDefs().Add(column.name, column.type, column.size);
  }
  void InternalClose() override {}
  int32_t RecordDataSize() const override { return sizeof(int64_t); }
  bool FetchRecord(Fetch fetch, std::vector<uint8_t>& buffer) override {
    int64_t row = 0;
    std::memcpy(&row, buffer.data(), sizeof row);
    const int64_t count = static_cast<int64_t>(rows_.size());
    switch (fetch) {
      case Fetch::kFirst: row = 0; break;
      case Fetch::kLast: row = count - 1; break;
      case Fetch::kNext: ++row; break;
      case Fetch::kPrior: --row; break;
      case Fetch::kCurrent: break;
    }
    if (row < 0 || row >= count) return false;
    std::memcpy(buffer.data(), &row, sizeof row);
    return true;
  }
  void InternalInitRecord(std::vector<uint8_t>&) override { ReadOnly(); }
  void InternalEdit(std::vector<uint8_t>&) override { ReadOnly(); }
  void InternalPost(std::vector<uint8_t>&, bool) override { ReadOnly(); }
  void InternalCancel(std::vector<uint8_t>&, bool) override {}
  void InternalDelete(std::vector<uint8_t>&) override { ReadOnly(); }
  bool ReadDataField(const TField& field, const uint8_t* record, TABSVariant& value) const override {
    int64_t row = 0;
    std::memcpy(&row, record, sizeof row);
    value.Assign(rows_.at(static_cast<size_t>(row)).at(static_cast<size_t>(field.FieldNo())));
    return !value.IsNull();
  }
  void WriteDataField(TField&, uint8_t*, const TABSVariant&) override { ReadOnly(); }
  bool ReadOnlyData() const override { return true; }

 private:
  [[noreturn]] static void ReadOnly() { throw std::runtime_error("read-only"); }
  std::vector<Column> columns_;
  std::vector<std::vector<TABSVariant>> rows_;
};

TABSVariant Int(int32_t value) {
  TABSVariant v;
  v.SetInteger(value);
  return v;
}
TABSVariant Text(const std::string& text) {
  TABSVariant v;
  v.SetString(text);
  return v;
}

class TableImportTest : public DatasetTest {
 protected:
  Names Rows(TABSTable& table, const std::string& field, const std::string& index = "") {
    table.SetIndexName(index);
    table.Open();
    Names values = Column(table, field);
    table.Close();
    return values;
  }
  // Ratings 10..50 for A..E.
  TABSTable& FivePlayers() {
    TABSTable& players = Players();
    players.Open();
    for (int i = 0; i < 5; ++i) AddPlayer(players, std::string(1, static_cast<char>('A' + i)), 10 * (i + 1));
    players.Close();
    return players;
  }
  std::unique_ptr<ListDataSet> Foreign() {
    return std::make_unique<ListDataSet>(
        std::vector<ListDataSet::Column>{{"Jmeno", ftString, 20}, {"Body", ftInteger, 0}},
        std::vector<std::vector<TABSVariant>>{{Text("Zora"), Int(3)}, {Text("Adam"), Int(1)}, {Text("Mia"), {}}});
  }
  std::string Path() const { return database_->DatabaseFileName(); }
};

TEST_F(TableImportTest, FromATableOfThisLayerAsItIsSeen) {
  TABSTable& players = FivePlayers();
  players.SetFilter("Rating > 20");
  players.SetFiltered(true);
  players.Open();
  players.Last();
  TABSTable& imported = NewTable("silni");
  std::string errors;
  ASSERT_TRUE(imported.ImportTable(players, errors)) << errors;
  EXPECT_EQ(errors, "");
  EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "E") << "the source is back where it was";
  players.Close();
  EXPECT_EQ(Rows(imported, "Jmeno"), (Names{"C", "D", "E"})) << "only the filtered records";
  imported.InitFieldDefs();
  const TABSTableMetadata& defs = imported.RestructureDefs();
  EXPECT_EQ(defs.Fields().Find("id")->ColumnType(), TABSColumnType::AutoInc) << "the engine's definitions";
  EXPECT_NE(defs.Indexes().Find("I_id"), nullptr);
}

TEST_F(TableImportTest, FromAForeignDatasetWithItsIndexDefinitions) {
  struct Case {
    const char* what;
    std::vector<TIndexDef> indexes;
    bool result;
    std::string errors;
    Names index_names;
  };
  const std::vector<Case> cases = {
      {"no indexes", {}, true, "", {}},
      {"an unnamed primary index", {{"", "Jmeno", ixPrimary, "", ""}}, true, "", {"idxPrimaryKey"}},
      {"only the first unnamed one is the primary key",
       {{"", "Jmeno", ixPrimary, "", ""}, {"", "Body", 0, "", ""}}, true, "", {"idxPrimaryKey", ""}},
      {"an index without fields",
       {{"podle", "Body", 0, "", ""}, {"vyraz", "", 0, "", ""}},
       false,
       "Cannot import index 'vyraz'. Index type is not supported, index skipped",
       {"podle"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto source = Foreign();
    source->Open();
    TIndexDefs index_defs;
    for (const TIndexDef& def : c.indexes) index_defs.Add(def.name, def.fields, def.options);
    TABSTable& imported = NewTable("cizi");
    std::string errors;
    EXPECT_EQ(imported.ImportTable(*source, errors, &index_defs), c.result);
    EXPECT_EQ(errors, c.errors);
    EXPECT_EQ(Rows(imported, "Jmeno"), (Names{"Zora", "Adam", "Mia"}));
    EXPECT_EQ(Rows(imported, "Body"), (Names{"3", "1", ""}));
    imported.InitFieldDefs();
    const TABSIndexDefs& indexes = imported.RestructureDefs().Indexes();
    ASSERT_EQ(indexes.Count(), static_cast<int32_t>(c.index_names.size()));
    for (size_t i = 0; i < c.index_names.size(); ++i) {
      if (!c.index_names[i].empty()) {
        EXPECT_EQ(indexes.Items(static_cast<int32_t>(i))->Name(), c.index_names[i]);
      }
    }
    if (!c.index_names.empty() && c.index_names[0] == "idxPrimaryKey") {
      EXPECT_EQ(Rows(imported, "Jmeno", "idxPrimaryKey"), (Names{"Adam", "Mia", "Zora"}));
    }
  }
}

TEST_F(TableImportTest, OverAnExistingTableOnlyWhole) {
  FivePlayers();
  TABSTable& target = NewTable("hraci");
  auto source = Foreign();
  source->Open();
  // Stopped: the old table stays whole.
  target.OnImportProgress = [](TDataSet&, int32_t, bool& go_on) { go_on = false; };
  std::string errors;
  EXPECT_FALSE(target.ImportTable(*source, errors));
  EXPECT_NE(errors.find("Terminated by User."), std::string::npos) << errors;
  EXPECT_EQ(Rows(target, "Jmeno"), (Names{"A", "B", "C", "D", "E"}));
  // A record the keys refuse is left out and described; the rest replace
  // the old table.
  target.OnImportProgress = nullptr;
  TIndexDefs unique;
  unique.Add("body", "Body", ixUnique);
  auto twice = std::make_unique<ListDataSet>(
      std::vector<ListDataSet::Column>{{"Jmeno", ftString, 20}, {"Body", ftInteger, 0}},
      std::vector<std::vector<TABSVariant>>{{Text("Zora"), Int(3)}, {Text("Adam"), Int(3)}, {Text("Mia"), Int(4)}});
  twice->Open();
  errors.clear();
  EXPECT_FALSE(target.ImportTable(*twice, errors, &unique));
  EXPECT_EQ(errors.rfind("Error importing table. Cannot copy data due to error: Error copying table. Record #2 was "
                         "not imported due to error: ",
                         0),
            0u)
      << errors;
  EXPECT_EQ(Rows(target, "Jmeno"), (Names{"Zora", "Mia"}));
  database_->Close();
  EXPECT_TRUE(CheckDatabaseCatalogue(Path()).Clean()) << "the replaced table is gone";
}

TEST_F(TableImportTest, CopyIntoMemory) {
  TABSTable& players = FivePlayers();
  std::string errors;
  ASSERT_TRUE(players.CopyTable("pametovi", errors, 100, 0, true, false, false, "MEMORY")) << errors;
  TABSTable& copy = NewTable("pametovi");
  copy.SetInMemory(true);
  EXPECT_EQ(Rows(copy, "Jmeno"), (Names{"A", "B", "C", "D", "E"}));
  // Overwritten only by a whole copy; a stop keeps the old one.
  players.Open();
  AddPlayer(players, "F", 60);
  players.Close();
  players.OnCopyProgress = [](TDataSet&, int32_t, bool& go_on) { go_on = false; };
  EXPECT_FALSE(players.CopyTable("pametovi", errors, 100, 0, true, true, false, "MEMORY"));
  EXPECT_EQ(Rows(copy, "Jmeno"), (Names{"A", "B", "C", "D", "E"}));
  players.OnCopyProgress = nullptr;
  ASSERT_TRUE(players.CopyTable("pametovi", errors, 100, 0, true, true, false, "MEMORY")) << errors;
  EXPECT_EQ(Rows(copy, "Jmeno"), (Names{"A", "B", "C", "D", "E", "F"}));
  copy.Open();
  AddPlayer(copy, "G", 70);
  EXPECT_EQ(copy.FieldByName("id").AsInteger(), 7) << "the counter came along";
  copy.Close();
  copy.DeleteTable();
}

TEST_F(TableImportTest, AColumnWithoutAFieldObjectIsCopiedWhole) {
  FivePlayers();
  // As the application declares its players: no field object for Rating.
  TABSTable& players = NewTable("hraci");
  players.AddField("Jmeno", ftString, 20);
  players.AddField("id", ftAutoInc);
  players.SetFilter("Rating < 30");
  players.SetFiltered(true);
  std::string errors;
  ASSERT_TRUE(players.CopyTable("kopie", errors)) << errors;
  players.InitFieldDefs();
  players.MutableRestructureDefs().Fields().Find("Jmeno")->SetType(TABSColumnType::String, 30);
  ASSERT_TRUE(players.RestructureTable(errors)) << errors;
  for (const char* name : {"hraci", "kopie"}) {
    SCOPED_TRACE(name);
    TABSTable& all = NewTable(name);
    EXPECT_EQ(Rows(all, "Rating"), (Names{"10", "20", "30", "40", "50"})) << "neither filtered nor NULL";
  }
}

// The stored form of every field of every record, BLOBs by their bytes.
std::vector<std::string> StoredForms(TABSDatabase& database, const std::string& table_name) {
  TABSLocalCursor cursor(database.Connection(), table_name);
  cursor.Open();
  TABSTableData& table = cursor.OpenTable();
  std::vector<uint8_t> record = cursor.NewRecordBuffer();
  std::vector<std::string> forms;
  for (auto r = cursor.GetRecord(record.data(), TABSGetRecordMode::kFirst); r == TABSGetRecordResult::kFound;
       r = cursor.GetRecord(record.data(), TABSGetRecordMode::kNext)) {
    for (int32_t i = 0; i < table.Metadata().Fields().Count(); ++i) {
      const TABSFieldDef& field = *table.Metadata().Fields().Items(i);
      std::string form = field.Name() + "=";
      if (TABSRecordFields::IsNull(record.data(), i)) {
        form += "NULL";
      } else if (IsBlobStorage(field.StorageType())) {
        TABSMemoryStream value;
        table.BlobManager()->ReadValue(cursor.LocalSession().SessionNumber(), record.data(), i, value);
        form.append(reinterpret_cast<const char*>(value.Memory()), static_cast<size_t>(value.Size()));
      } else {
        form.append(reinterpret_cast<const char*>(record.data() + field.MemoryOffset()),
                    static_cast<size_t>(field.StoredSize()));
      }
      forms.push_back(form);
    }
    table.BlobManager()->ReleaseDescriptors(record.data());
  }
  cursor.Close();
  return forms;
}

TEST_F(TableImportTest, StoredValuesSurviveCopyAndCompactBitForBit) {
  TABSTable& values = NewTable("hodnoty");
  values.DeclaredFieldDefs().Add("x", ftInteger);
  values.CreateTable();
  values.InitFieldDefs();
  TABSFieldDefs& fields = values.MutableRestructureDefs().Fields();
  for (const auto& [name, type, size] : std::vector<std::tuple<const char*, TABSColumnType, int32_t>>{
           {"e", TABSColumnType::Extended, 0},
           {"b", TABSColumnType::Bytes, 4},
           {"w", TABSColumnType::WideMemo, 0},
           {"d", TABSColumnType::Date, 0}}) {
    auto* field = static_cast<TABSFieldDef*>(fields.AddNew());
    field->SetName(name);
    field->SetType(type, size);
  }
  std::string errors;
  ASSERT_TRUE(values.RestructureTable(errors)) << errors;
  {
    TABSLocalCursor cursor(database_->Connection(), "hodnoty");
    cursor.Open();
    TABSTableData& table = cursor.OpenTable();
    std::vector<uint8_t> record = cursor.NewRecordBuffer();
    const uint8_t zeros[4] = {0, 0, 0, 0};
    const uint8_t some[4] = {7, 0, 0, 9};
    const std::u16string wide = u"\u017elu\u0165ou\u010dk\u00fd k\u016f\u0148";
    struct Row {
      long double e;
      const uint8_t* bytes;
      bool memo;
      int32_t date;
    };
    for (const Row& row : {Row{1e4000L, zeros, true, kEmptyDate}, Row{1.0L / 3, some, false, 45000}}) {
      cursor.InitRecordBuffer(record.data(), true);
      TABSVariant v;
      v.SetExtended(row.e);
      table.FieldManager().SetFieldValue(1, v, record.data());
      TABSVariant b;
      b.SetRaw(row.bytes, 4, TABSStorageType::Bytes);
      table.FieldManager().SetFieldValue(2, b, record.data());
      if (row.memo) table.BlobManager()->WriteValue(record.data(), 3, wide.data(), 2 * static_cast<int64_t>(wide.size()));
      TABSVariant d;
      d.SetDate(row.date);
      table.FieldManager().SetFieldValue(4, d, record.data());
      ASSERT_TRUE(cursor.Post(record.data(), true)) << cursor.StatusMessage();
      table.BlobManager()->ReleaseDescriptors(record.data());
    }
    cursor.Close();
  }
  const std::vector<std::string> stored = StoredForms(*database_, "hodnoty");
  ASSERT_EQ(stored.size(), 10u);
  ASSERT_TRUE(values.CopyTable("kopie", errors)) << errors;
  EXPECT_EQ(StoredForms(*database_, "kopie"), stored);
  database_->Close();
  RegisterTableCopier();
  ASSERT_EQ(database_->Compact(), "");
  database_->Open();
  EXPECT_EQ(StoredForms(*database_, "hodnoty"), stored);
  EXPECT_EQ(StoredForms(*database_, "kopie"), stored);
}

TEST_F(TableImportTest, ManyTablesAndTheLongestName) {
  const std::string longest(255, 'n');
  std::vector<std::string> names;
  for (int i = 0; i < 100; ++i) names.push_back("t" + std::to_string(i));
  names.push_back(longest);
  for (const std::string& name : names) {
    TABSTable& table = NewTable(name);
    table.DeclaredFieldDefs().Add("id", ftAutoInc);
    table.CreateTable();
  }
  TABSTable& one = NewTable(longest);
  one.Open();
  one.Insert();
  one.Post();
  one.Close();
  std::string errors;
  const std::string copy_name = std::string(254, 'n') + "k";
  ASSERT_TRUE(one.CopyTable(copy_name, errors)) << errors;
  one.InitFieldDefs();
  ASSERT_TRUE(one.RestructureTable(errors)) << errors;
  database_->Close();
  RegisterTableCopier();
  RecordingProgress progress;
  database_->SetSilentMode(false);
  ASSERT_EQ(database_->Compact(), "");
  int last = 0;
  for (const std::string& event : progress.events) {
    if (event.empty() || !std::isdigit(static_cast<unsigned char>(event[0]))) continue;
    const int percent = std::stoi(event);
    EXPECT_GE(percent, last) << "progress never goes back";
    EXPECT_LE(percent, 100);
    last = percent;
  }
  database_->Open();
  std::vector<std::string> tables;
  database_->GetTablesList(tables);
  EXPECT_EQ(tables.size(), 102u);
  for (const std::string& name : {longest, copy_name}) {
    TABSTable& table = NewTable(name);
    EXPECT_EQ(Rows(table, "id"), (Names{"1"})) << name.size();
  }
  database_->Close();
  EXPECT_TRUE(CheckDatabaseCatalogue(Path()).Clean());
}

TEST_F(TableImportTest, KilledAtEveryWriteOfAnImportOverATable) {
  FivePlayers();
  database_->Close();
  const std::string path = Path();
  const std::vector<uint8_t> original = StorageTest::ReadAll(path);
  const auto reset = [&] {
    StorageTest::WriteAll(path, original);
    std::filesystem::remove(path + "-journal");
  };
  const auto import = [&] {
    database_->Open();
    auto source = Foreign();
    source->Open();
    TIndexDefs keys;
    keys.Add("", "Jmeno", ixPrimary);
    std::string errors;
    NewTable("hraci").ImportTable(*source, errors, &keys);
    database_->Close();
  };
  KillAtEveryWrite(reset, import, [&] {
    database_->Open();
    TABSTable& players = NewTable("hraci");
    const Names names = Rows(players, "Jmeno");
    EXPECT_TRUE(names == (Names{"A", "B", "C", "D", "E"}) || names == (Names{"Zora", "Adam", "Mia"}))
        << ::testing::PrintToString(names);
    if (names.size() == 3) {
      EXPECT_EQ(Rows(players, "Jmeno", "idxPrimaryKey"), (Names{"Adam", "Mia", "Zora"}));
    }
    database_->Close();
    // Pages the killed commit had taken may leak; nothing else may be wrong.
    const TABSIntegrityReport report = CheckDatabaseCatalogue(path);
    EXPECT_FALSE(report.HasCorruption()) << report.Describe();
  });
}

}  // namespace
}  // namespace kelvorin::testing
