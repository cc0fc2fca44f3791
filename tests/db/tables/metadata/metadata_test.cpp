// Table metadata: the tournament tables' blocks written and read back, the
// exact bytes of the sections, derived and generated constraint names with
// 254- and 255-character names, list lookups and assignment, FindMatching,
// temporary and later-added indexes, field rename, damaged blocks.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/memory_stream.h"
#include "db/tables/metadata/table_metadata.h"
#include "platform/locale_profile.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin {
namespace {

using C = TABSColumnType;

class MetadataTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }
  // Object numbers as the database file's counter hands them out.
  TABSObjectIdSource NextId() {
    return [this] { return next_id_++; };
  }
  int32_t next_id_ = 100;
};

// Always draws the same number, so that collisions are forced.
class FixedRandom : public TABSNameRandom {
 public:
  explicit FixedRandom(uint32_t value) : value_(value) {}
  uint32_t Next(uint32_t max) override { return value_ <= max ? value_ : max; }

 private:
  uint32_t value_;
};

using testing::ErrorCode;

TABSDatasetFieldDef Field(const char* name, C type, int32_t size = 0) {
  TABSDatasetFieldDef f;
  f.name = name;
  f.type = type;
  f.size = size;
  return f;
}

// The tournament's tables as the application declares them.
struct TableCase {
  const char* name;
  std::vector<TABSDatasetFieldDef> fields;
};

std::vector<TableCase> TournamentTables() {
  return {{"hraci", {Field("Jmeno", C::String, 20), Field("Rating", C::Integer), Field("id", C::AutoInc)}},
          {"seskupeni",
           {Field("id_hrace", C::Integer), Field("Stul", C::Integer), Field("Kolo", C::Integer),
            Field("Body", C::Integer), Field("Skore", C::Integer)}},
          {"param", {Field("Kolo", C::Integer)}}};
}

void ExpectSameField(const TABSFieldDef& a, const TABSFieldDef& b) {
  EXPECT_EQ(a.Name(), b.Name());
  EXPECT_EQ(a.ObjectId(), b.ObjectId());
  EXPECT_EQ(a.StorageType(), b.StorageType());
  EXPECT_EQ(a.ColumnType(), b.ColumnType());
  EXPECT_EQ(a.DeclaredSize(), b.DeclaredSize());
  EXPECT_EQ(a.StoredSize(), b.StoredSize());
  EXPECT_EQ(a.MemorySize(), b.MemorySize());
  EXPECT_EQ(a.StoredOffset(), b.StoredOffset());
  EXPECT_EQ(a.MemoryOffset(), b.MemoryOffset());
  EXPECT_EQ(a.DefaultValue().IsNull(), b.DefaultValue().IsNull());
  if (!a.DefaultValue().IsNull()) {
    EXPECT_EQ(a.DefaultValue().Compare(b.DefaultValue()), TABSCompareResult{});
  }
  EXPECT_EQ(a.BlobCompressionAlgorithm(), b.BlobCompressionAlgorithm());
  EXPECT_EQ(a.BlobCompressionLevel(), b.BlobCompressionLevel());
  EXPECT_EQ(a.BlobBlockSize(), b.BlobBlockSize());
  EXPECT_EQ(a.AutoIncIncrement(), b.AutoIncIncrement());
  EXPECT_EQ(a.AutoIncInitialValue(), b.AutoIncInitialValue());
  EXPECT_EQ(a.AutoIncMinimum(), b.AutoIncMinimum());
  EXPECT_EQ(a.AutoIncMaximum(), b.AutoIncMaximum());
  EXPECT_EQ(a.AutoIncCycle(), b.AutoIncCycle());
}

std::unique_ptr<TABSTableMetadata> Reload(const std::string& block) {
  auto loaded = std::make_unique<TABSTableMetadata>();
  TABSBufferValueInput input(block);
  loaded->LoadFromStream(input);
  EXPECT_EQ(input.Position(), static_cast<int64_t>(block.size()));
  return loaded;
}

TEST_F(MetadataTest, TournamentTablesRoundTripFieldByField) {
  for (const TableCase& table : TournamentTables()) {
    SCOPED_TRACE(table.name);
    TABSTableMetadata metadata;
    metadata.DefineFields(table.fields);
    for (int32_t i = 0; i < metadata.Fields().Count(); ++i) metadata.Fields().Items(i)->SetObjectId(next_id_++);
    metadata.ComputeLayout();
    auto reloaded = Reload(metadata.MetadataBlock());
    TABSTableMetadata& loaded = *reloaded;
    ASSERT_EQ(loaded.Fields().Count(), static_cast<int32_t>(table.fields.size()));
    for (int32_t i = 0; i < loaded.Fields().Count(); ++i) {
      ExpectSameField(*metadata.Fields().Items(i), *loaded.Fields().Items(i));
    }
    EXPECT_EQ(loaded.Indexes().Count(), 0);
    EXPECT_EQ(loaded.Constraints().Count(), 0);
    EXPECT_EQ(loaded.MemoryRecordSize(), metadata.MemoryRecordSize());
  }
}

// Stands for the record and BLOB manager sections that end the block.
class CounterSection : public TABSMetadataSection {
 public:
  explicit CounterSection(int64_t value) : value(value) {}
  void SaveToStream(TABSMetadataWriter& writer) const override { writer.I64(value); }
  void LoadFromStream(TABSMetadataReader& reader) override { value = reader.I64(); }
  int64_t value;
};

TEST_F(MetadataTest, BlockGoesThroughEngineStreamsWithTheTrailingSections) {
  TABSTableMetadata metadata;
  metadata.DefineFields({Field("Kolo", C::Integer)});
  CounterSection records(11), blobs(22);
  metadata.SetTrailingSections(&records, &blobs);
  TABSMemoryStream stream;
  TABSStreamValueOutput output(stream);
  metadata.SaveToStream(output);
  EXPECT_EQ(stream.Size(), static_cast<int64_t>(metadata.MetadataBlock().size()));

  TABSTableMetadata loaded;
  CounterSection records_back(0), blobs_back(0);
  loaded.SetTrailingSections(&records_back, &blobs_back);
  stream.SetPosition(0);
  TABSStreamValueInput input(stream);
  loaded.LoadFromStream(input);
  EXPECT_EQ(records_back.value, 11);
  EXPECT_EQ(blobs_back.value, 22);
  EXPECT_EQ(loaded.Fields().Items(0)->Name(), "Kolo");
  EXPECT_EQ(stream.Position(), stream.Size());
}

TEST_F(MetadataTest, ParamBlockIsExactlyAsStored) {
  TABSTableMetadata metadata;
  metadata.DefineFields({Field("Kolo", C::Integer)});
  metadata.Fields().Items(0)->SetObjectId(7);
  const std::string expected = std::string("\x01\x00\x00\x00", 4) +   // one field
                               "\x04Kolo" + std::string("\x07\x00\x00\x00", 4) +
                               "\x07\x07" + std::string(4, '\0') +  // types, declared size
                               std::string("\x01\0\0\0\0\0\0\0", 8) + std::string(8, '\0') +
                               std::string(8, '\0') + std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 8) +
                               std::string(1, '\0') +            // no cycle
                               std::string("\x00\xFF", 2) +       // NULL default
                               std::string(4, '\0') +             // no index
                               std::string(4, '\0');              // no constraint
  EXPECT_EQ(metadata.MetadataBlock(), expected);
}

TEST_F(MetadataTest, DefaultValuesAndTemporaryIndexesAsStored) {
  TABSTableMetadata metadata;
  metadata.DefineFields({Field("Kolo", C::Integer)});
  std::string null_default = metadata.MetadataBlock();
  metadata.Fields().Items(0)->DefaultValue().SetInteger(5);
  std::string integer_default = metadata.MetadataBlock();
  EXPECT_EQ(integer_default.size(), null_default.size() + 8);
  EXPECT_NE(integer_default.find(std::string("\x07\x00\x04\x00\x00\x00\x05\x00\x00\x00", 10)),
            std::string::npos);
  // A temporary index is never written: the index section stays four zeros.
  metadata.AddTemporaryIndex({"Kolo"}, {"ASC"}, {""}, 3, 0, NextId());
  EXPECT_EQ(metadata.MetadataBlock(), integer_default);
  EXPECT_EQ(Reload(integer_default)->Fields().Items(0)->DefaultValue().AsInteger(), 5);
}

TEST_F(MetadataTest, IndexesAndConstraintsRoundTrip) {
  TABSTableMetadata metadata;
  TABSDatasetFieldDef kolo = Field("Kolo", C::Integer);
  kolo.required = true;
  kolo.minimum.SetInteger(1);
  TABSDatasetFieldDef memo = Field("Poznamka", C::Memo);
  memo.blob_compression_algorithm = 3;
  memo.blob_compression_level = 5;
  metadata.DefineFields({Field("A", C::String, 10), Field("B", C::Integer), kolo, memo});
  for (int32_t i = 0; i < metadata.Fields().Count(); ++i) metadata.Fields().Items(i)->SetObjectId(next_id_++);
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName("PK");
  index->SetPrimary(true);
  index->SetObjectId(next_id_++);
  index->SetRootPage(42);
  index->SetColumns({"A", "B"}, {"ASC", "DESC"}, {"NO_CASE", ""});
  metadata.Indexes().Add(std::move(index));
  metadata.DeriveIndexConstraints();
  metadata.AttachConstraints("param", NextId());

  ASSERT_EQ(metadata.Constraints().Count(), 3);
  auto* pk = static_cast<TABSConstraintDefPrimary*>(metadata.Constraints().Items(2));
  EXPECT_EQ(pk->Name(), "C_PK$A$B");
  ASSERT_EQ(pk->Columns().size(), 2u);
  EXPECT_EQ(pk->Columns()[0], (TABSNameAndNumber{"A", 100}));
  EXPECT_EQ(pk->Columns()[1], (TABSNameAndNumber{"B", 101}));
  EXPECT_EQ(metadata.Constraints().Items(0)->Name(), "$C_NotNull$param$Kolo");
  EXPECT_EQ(metadata.Constraints().Items(1)->Name(), "$C_Check$param$Kolo");

  std::string block = metadata.MetadataBlock();
  auto reloaded = Reload(block);
    TABSTableMetadata& loaded = *reloaded;
  EXPECT_EQ(loaded.MetadataBlock(), block);
  const TABSIndexDef* back = loaded.Indexes().Items(0);
  EXPECT_EQ(back->RootPage(), 42);
  EXPECT_EQ(back->Columns(), metadata.Indexes().Items(0)->Columns());
  EXPECT_EQ(loaded.Fields().Items(3)->BlobCompressionAlgorithm(), 3);
  EXPECT_EQ(loaded.Fields().Items(3)->StoredSize(), 6);
  const auto* check = static_cast<const TABSConstraintDefCheck*>(loaded.Constraints().Items(1));
  EXPECT_EQ(check->Minimum().AsInteger(), 1);
  EXPECT_TRUE(check->Maximum().IsNull());
  EXPECT_EQ(check->SubjectPair(), (TABSNameAndNumber{"Kolo", 102}));
  EXPECT_EQ(check->TablePair().name, "param");
}

TEST_F(MetadataTest, GeneratedNamesAndPairNameLengths) {
  struct Case {
    const char* what;
    size_t table_length;
    size_t field_length;
    bool stores;  // a not-null pair name of 255 characters does not fit its count byte
  } cases[] = {{"short", 5, 4, true},
               {"254-character table", 254, 4, true},
               {"255-character table", 255, 4, false},
               {"255-character field", 5, 255, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string table(c.table_length, 't');
    std::string field(c.field_length, 'f');
    TABSTableMetadata metadata;
    TABSDatasetFieldDef f = Field(field.c_str(), C::Integer);
    f.required = true;
    metadata.DefineFields({f});
    // A second constraint with the same base text must find a free name.
    metadata.Constraints().Add(std::make_unique<TABSConstraintDefNotNull>());
    metadata.Constraints().Items(1)->SubjectPair().name = field;
    FixedRandom random(42);
    metadata.AttachConstraints(table, NextId(), random);
    std::string base = "$C_NotNull$" + table + "$" + field;
    const std::string& first = metadata.Constraints().Items(0)->Name();
    const std::string& second = metadata.Constraints().Items(1)->Name();
    EXPECT_EQ(first, base.substr(0, 255));
    EXPECT_NE(second, first);
    EXPECT_LE(second.size(), 255u);
    EXPECT_EQ(second.substr(second.size() - 2), "42");
    if (c.stores) {
      EXPECT_EQ(Reload(metadata.MetadataBlock())->Constraints().Items(0)->TablePair().name, table);
    } else {
      EXPECT_THROW(metadata.MetadataBlock(), std::out_of_range);
    }
  }
}

TEST_F(MetadataTest, UniqueConstraintsKeep255CharacterNames) {
  std::string name(255, 'u');
  TABSTableMetadata metadata;
  metadata.DefineFields({Field(name.c_str(), C::Integer)});
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName(name);
  index->SetUnique(true);
  index->SetColumns({name}, {""}, {""});
  metadata.Indexes().Add(std::move(index));
  metadata.DeriveIndexConstraints();
  metadata.AttachConstraints(name, NextId());
  EXPECT_EQ(metadata.Constraints().Items(0)->Name(), ("C_Unique$" + name).substr(0, 255));
  auto reloaded = Reload(metadata.MetadataBlock());
    TABSTableMetadata& loaded = *reloaded;
  auto* unique = static_cast<TABSConstraintDefUnique*>(loaded.Constraints().Items(0));
  EXPECT_EQ(unique->Columns()[0].name, name);
  EXPECT_EQ(unique->TablePair().name, name);
}

TEST_F(MetadataTest, AttachingReportsWhatItCannotResolve) {
  struct Case {
    const char* what;
    uint8_t kind;
    const char* subject;
    const char* column;
    int32_t code;
  } cases[] = {{"primary without index", 0, "NOPE", "A", 30325},
               {"unique without index", 2, "NOPE", "A", 30326},
               {"primary without field", 0, "IDX", "NOPE", 30331},
               {"unique without field", 2, "IDX", "NOPE", 30332},
               {"not null without field", 3, "NOPE", nullptr, 30027},
               {"check without field", 4, "NOPE", nullptr, 30027}};
  for (const Case& c : cases) {
    TABSTableMetadata metadata;
    metadata.DefineFields({Field("A", C::Integer)});
    auto index = std::make_unique<TABSIndexDef>();
    index->SetName("IDX");
    metadata.Indexes().Add(std::move(index));
    std::unique_ptr<TABSConstraintDef> constraint = TABSConstraintDef::Create(c.kind);
    constraint->SubjectPair().name = c.subject;
    if (c.column != nullptr) {
      static_cast<TABSConstraintDefUnique*>(constraint.get())->Columns().push_back({c.column, -1});
    }
    metadata.Constraints().Add(std::move(constraint));
    EXPECT_EQ(ErrorCode([&] { metadata.AttachConstraints("t", NextId()); }), c.code) << c.what;
  }
}

TEST_F(MetadataTest, ListsRejectDuplicateNamesAndStayIntactOnFailure) {
  TABSFieldDefs source;
  for (const char* name : {"Kolo", "Body", "KOLO"}) {
    static_cast<TABSFieldDef*>(source.AddNew())->SetName(name);
  }
  TABSFieldDefs target;
  target.AddNew()->SetName("Stul");
  try {
    target.Assign(source);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError(), 10424);
    EXPECT_EQ(std::string(e.what()).rfind("Duplicate field name KOLO", 0), 0u);
  }
  ASSERT_EQ(target.Count(), 1);
  EXPECT_EQ(target.Item(0)->Name(), "Stul");
  target.Assign(target);
  EXPECT_EQ(target.Count(), 1);
  TABSFieldDef* stul = target.Items(0);
  stul->Assign(*stul);
  EXPECT_EQ(stul->Name(), "Stul");

  EXPECT_EQ(target.IndexOfName("STUL"), 0);
  EXPECT_EQ(target.IndexOfName("stůl"), -1);
  EXPECT_EQ(target.FindByNumber(-1), stul);
  EXPECT_EQ(target.IndexOfNumber(5), -1);

  TABSMetaObjectDefs base;
  try {
    base.AddNew();
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError(), 30339);
    EXPECT_EQ(std::string(e.what()).rfind(
                  "The method 'InternalAddCreated' not overrided in class 'TABSMetaObjectDefs'", 0),
              0u);
  }
}

// A typed list hands its items out as its own class, so nothing else may
// get into it, neither added nor inserted nor copied from another list.
TEST_F(MetadataTest, TypedListsHoldOnlyTheirOwnDefinitions) {
  TABSFieldDefs fields;
  TABSIndexDefs indexes;
  TABSConstraintDefs constraints;
  fields.AddNew()->SetName("Kolo");
  indexes.AddNew()->SetName("ByKolo");
  constraints.Add(std::make_unique<TABSConstraintDefNotNull>())->SetName("C");
  struct Case {
    const char* what;
    std::function<void()> run;
    const TABSMetaObjectDefs* list;
    const char* kept;
  } cases[] = {
      {"index added to fields", [&] { fields.Add(std::make_unique<TABSIndexDef>()); }, &fields, "Kolo"},
      {"constraint inserted into fields",
       [&] { fields.Insert(0, std::make_unique<TABSConstraintDefCheck>()); }, &fields, "Kolo"},
      {"field added to indexes", [&] { indexes.Add(std::make_unique<TABSFieldDef>()); }, &indexes, "ByKolo"},
      {"nothing added to indexes", [&] { indexes.Add(nullptr); }, &indexes, "ByKolo"},
      {"field inserted into constraints",
       [&] { constraints.Insert(1, std::make_unique<TABSFieldDef>()); }, &constraints, "C"},
      {"fields assigned to constraints", [&] { constraints.Assign(fields); }, &constraints, "C"},
      {"constraints assigned to fields", [&] { fields.Assign(constraints); }, &fields, "Kolo"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorCode(c.run), 10616) << c.what;
    ASSERT_EQ(c.list->Count(), 1) << c.what;
    EXPECT_EQ(c.list->Item(0)->Name(), c.kept) << c.what;
  }
}

TEST_F(MetadataTest, FindMatchingComparesLeadingColumns) {
  TABSTableMetadata metadata;
  auto add = [&](const char* name, std::vector<std::string> fields, std::vector<std::string> dirs,
                 std::vector<std::string> cases, bool temporary, int32_t session) {
    auto index = std::make_unique<TABSIndexDef>();
    index->SetName(name);
    index->SetColumns(fields, dirs, cases);
    index->SetTemporary(temporary);
    index->SetSessionId(session);
    index->SetObjectId(next_id_++);
    metadata.Indexes().Add(std::move(index));
  };
  add("tmp", {"Kolo"}, {"ASC"}, {""}, true, 1);          // 100
  add("desc", {"Kolo"}, {"DESC"}, {""}, false, -1);      // 101
  add("two", {"kolo", "Stul"}, {"ASC", ""}, {"NO_CASE", ""}, false, -1);  // 102
  struct Case {
    std::vector<std::string> fields, dirs, cases;
    int32_t session;
    int32_t expected;
  } cases[] = {{{"Kolo"}, {"ASC"}, {""}, 2, 102},
               {{"Kolo"}, {"ASC"}, {""}, 1, 100},
               {{"Kolo"}, {"DESC"}, {""}, 2, 101},
               {{"Kolo"}, {""}, {"CASE"}, 2, 101},
               {{"Kolo", "Stul"}, {"", ""}, {"", ""}, 2, 102},
               {{"Kolo", "Body"}, {"", ""}, {"", ""}, 2, -1},
               {{"Stul"}, {""}, {""}, 2, -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(metadata.Indexes().FindMatching(c.fields, c.dirs, c.cases, c.session), c.expected);
  }
  EXPECT_EQ(ErrorCode([&] { metadata.Indexes().FindMatching({"a"}, {}, {""}, 1); }), 10276);
  EXPECT_EQ(ErrorCode([&] { metadata.Indexes().FindMatching({"a"}, {""}, {}, 1); }), 10277);
  TABSIndexDef def;
  EXPECT_EQ(ErrorCode([&] { def.SetColumns({"a"}, {}, {""}); }), 10278);
  EXPECT_EQ(ErrorCode([&] { def.SetColumns({"a"}, {""}, {}); }), 10279);
}

TEST_F(MetadataTest, TemporaryIndexNamesAvoidTakenOnes) {
  TABSTableMetadata metadata;
  FixedRandom random(7);
  TABSIndexDef* first = metadata.AddTemporaryIndex({"Kolo"}, {""}, {""}, 4, 9, NextId(), random);
  EXPECT_EQ(first->Name(), "TEMPORARY_INDEX_7");
  EXPECT_TRUE(first->Temporary());
  EXPECT_EQ(first->SessionId(), 4);
  EXPECT_EQ(first->ChangeCounter(), 9);
  TABSIndexDef* second = metadata.AddTemporaryIndex({"Kolo"}, {""}, {""}, 4, 9, NextId(), random);
  EXPECT_EQ(second->Name(), "TEMPORARY_INDEX_0");
}

TEST_F(MetadataTest, IndexesAddedLaterDeriveTheirConstraint) {
  TABSTableMetadata metadata;
  metadata.DefineFields({Field("id", C::AutoInc), Field("Jmeno", C::String, 20)});
  for (int32_t i = 0; i < metadata.Fields().Count(); ++i) metadata.Fields().Items(i)->SetObjectId(next_id_++);
  auto failing = std::make_unique<TABSIndexDef>();
  failing->SetUnique(true);
  failing->SetColumns({"Jmeno"}, {""}, {""});
  EXPECT_THROW(metadata.AddIndex(std::move(failing), "hraci", NextId(),
                                 [](TABSIndexDef&) { throw EABSException(20087, "Invalid index page"); }),
               EABSException);
  EXPECT_EQ(metadata.Indexes().Count(), 0);
  EXPECT_EQ(metadata.Constraints().Count(), 0);

  auto index = std::make_unique<TABSIndexDef>();
  index->SetName("ByName");
  index->SetUnique(true);
  index->SetColumns({"Jmeno"}, {""}, {""});
  TABSIndexDef* added = metadata.AddIndex(std::move(index), "hraci", NextId(), nullptr);
  ASSERT_EQ(metadata.Constraints().Count(), 1);
  auto* unique = static_cast<TABSConstraintDefUnique*>(metadata.Constraints().Items(0));
  EXPECT_EQ(unique->Name(), "C_Unique$Jmeno");
  EXPECT_EQ(unique->SubjectPair(), (TABSNameAndNumber{"ByName", added->ObjectId()}));
  EXPECT_EQ(unique->Columns()[0], (TABSNameAndNumber{"Jmeno", 101}));
  EXPECT_NE(unique->ObjectId(), added->ObjectId());

  metadata.AddTemporaryIndex({"id"}, {""}, {""}, 1, 0, NextId());
  EXPECT_EQ(metadata.Constraints().Count(), 1);
  EXPECT_TRUE(metadata.DropIndex(added->ObjectId()));
  EXPECT_EQ(metadata.Constraints().Count(), 0);
  EXPECT_FALSE(metadata.DropIndex(12345));
  metadata.DropTemporaryIndexes();
  EXPECT_EQ(metadata.Indexes().Count(), 0);
}

TEST_F(MetadataTest, RenamingAFieldRenamesItsIndexColumns) {
  TABSTableMetadata metadata;
  metadata.DefineFields({Field("Kolo", C::Integer), Field("Stul", C::Integer)});
  auto index = std::make_unique<TABSIndexDef>();
  index->SetColumns({"KOLO", "Stul"}, {"", ""}, {"", ""});
  metadata.Indexes().Add(std::move(index));
  metadata.RenameField("kolo", "Round");
  EXPECT_EQ(metadata.Fields().Items(0)->Name(), "Round");
  EXPECT_EQ(metadata.Indexes().Items(0)->Columns()[0].field_name, "Round");
  EXPECT_EQ(metadata.Indexes().Items(0)->Columns()[1].field_name, "Stul");
  EXPECT_EQ(ErrorCode([&] { metadata.RenameField("Kolo", "X"); }), 30343);
  EXPECT_EQ(ErrorCode([&] { metadata.RenameField("Round", "STUL"); }), 30344);
  // A new name is cut to 255 characters before it is compared.
  std::string long_name(255, 'n');
  metadata.RenameField("Stul", long_name);
  EXPECT_EQ(ErrorCode([&] { metadata.RenameField("Round", long_name + "x"); }), 30344);
  EXPECT_EQ(metadata.Fields().Items(0)->Name(), "Round");
}

TEST_F(MetadataTest, UnsupportedTypesAreRejected) {
  TABSFieldDef field;
  EXPECT_EQ(ErrorCode([&] { field.SetType(C::None, 0); }), 30007);
  EXPECT_EQ(ErrorCode([&] { field.SetType(static_cast<C>(99), 0); }), 30007);
  field.SetType(C::WideString, 10);
  EXPECT_EQ(field.MemorySize(), 22);
  field.SetBlobSettings(1, 1, -3);
  EXPECT_EQ(field.BlobBlockSize(), 102400);
}

TEST_F(MetadataTest, DamagedBlocksRaiseTheStreamError) {
  TABSTableMetadata metadata;
  TABSDatasetFieldDef kolo = Field("Kolo", C::Integer);
  kolo.required = true;
  metadata.DefineFields({Field("Jmeno", C::String, 20), kolo});
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName("U");
  index->SetUnique(true);
  index->SetColumns({"Jmeno"}, {""}, {""});
  metadata.Indexes().Add(std::move(index));
  metadata.DeriveIndexConstraints();
  metadata.AttachConstraints("hraci", NextId());
  const std::string block = metadata.MetadataBlock();

  // Every truncation fails cleanly and leaves the target as it was.
  TABSTableMetadata target;
  target.DefineFields({Field("Old", C::Integer)});
  for (size_t cut = 0; cut < block.size(); ++cut) {
    TABSBufferValueInput input(std::string_view(block).substr(0, cut));
    EXPECT_THROW(target.LoadFromStream(input), EABSException) << cut;
    ASSERT_EQ(target.Fields().Count(), 1);
  }
  struct Case {
    const char* what;
    size_t offset;
    std::string bytes;
    int32_t code;
  };
  const Case cases[] = {
      {"huge field count", 0, std::string("\xFF\xFF\xFF\x7F", 4), 10610},
      {"negative field count", 0, std::string("\xFF\xFF\xFF\xFF", 4), 10610},
      {"name longer than the block", 4, std::string("\xF0", 1), 10610},
      {"types that disagree", 4 + 1 + 5 + 4, std::string("\x07", 1), 10610},
  };
  for (const Case& c : cases) {
    std::string damaged = block;
    damaged.replace(c.offset, c.bytes.size(), c.bytes);
    TABSBufferValueInput input(damaged);
    EXPECT_EQ(ErrorCode([&] { target.LoadFromStream(input); }), c.code) << c.what;
  }
}

TEST_F(MetadataTest, ConstraintEntriesAreCheckedOnLoad) {
  TABSTableMetadata metadata;
  TABSDatasetFieldDef kolo = Field("Kolo", C::Integer);
  kolo.required = true;
  metadata.DefineFields({kolo});
  metadata.AttachConstraints("param", NextId());
  std::string block = metadata.MetadataBlock();
  // The constraint section: count, kind, header, three numbers, then the
  // first pair's N (1) and its length byte (0).
  size_t section = block.size() - (4 + 1 + (1 + 21 + 4) + 12 + 2 + 7 + 6);
  ASSERT_EQ(block.substr(section, 5), std::string("\x01\x00\x00\x00\x03", 5));
  struct Case {
    const char* what;
    size_t offset;
    char value;
    int32_t code;
  } cases[] = {{"unknown kind", section + 4, 1, 30316},
               {"kind above 4", section + 4, 9, 30316},
               {"N of 0", section + 5 + 26 + 12, 0, 10614},
               {"length byte not N - 1", section + 5 + 26 + 12 + 1, 5, 10614},
               {"table name beyond the block", section + 5 + 26 + 12 + 2, 100, 10614}};
  for (const Case& c : cases) {
    std::string damaged = block;
    damaged[c.offset] = c.value;
    TABSBufferValueInput input(damaged);
    TABSTableMetadata target;
    EXPECT_EQ(ErrorCode([&] { target.LoadFromStream(input); }), c.code) << c.what;
  }
}

}  // namespace
}  // namespace kelvorin
