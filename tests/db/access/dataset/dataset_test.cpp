// The dataset over a table: opening, navigation, editing with its states
// and events, field values, record numbers and bookmarks, notifications.
#include "db/access/dataset/date_forms.h"
#include "db/access/dataset/engine_error.h"
#include "db/access/dataset/blob_stream.h"
#include "tests/db/access/dataset/dataset_test_util.h"

namespace kelvorin::testing {
namespace {

using Names = std::vector<std::string>;

TEST_F(DatasetTest, InsertNavigateAndReadBack) {
  TABSTable& players = Players();
  players.Open();
  EXPECT_TRUE(players.IsEmpty());
  AddPlayer(players, "Novak", 1500);
  AddPlayer(players, "Adam", 1600);
  AddPlayer(players, "Cerny", 1400);
  EXPECT_EQ(players.RecordCount(), 3);
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"Novak", "Adam", "Cerny"}));
  EXPECT_EQ(ColumnBackwards(players, "Jmeno"), (Names{"Cerny", "Adam", "Novak"}));
  EXPECT_EQ(Column(players, "id"), (Names{"1", "2", "3"}));
  players.Close();
  players.Open();
  EXPECT_EQ(Column(players, "Rating"), (Names{"1500", "1600", "1400"}));
  EXPECT_EQ(TABSDataSet::CurrentVersion(), "3.21 ");
}

TEST_F(DatasetTest, StepsOffTheOnlyRecordLeaveTheOtherEdge) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "Novak", 1500);
  players.First();
  players.Next();
  EXPECT_TRUE(players.Eof());
  EXPECT_FALSE(players.Bof());
  EXPECT_FALSE(players.IsEmpty()) << "one record after Next";
  players.Last();
  players.Prior();
  EXPECT_TRUE(players.Bof());
  EXPECT_FALSE(players.Eof());
  EXPECT_FALSE(players.IsEmpty()) << "one record after Prior";
}

TEST_F(DatasetTest, EventsOfEachOperationInOrder) {
  TABSTable& players = Players();
  std::vector<std::string> events;
  const auto note = [&](const char* name) { return [&events, name](TDataSet&) { events.push_back(name); }; };
  players.BeforeOpen = note("BeforeOpen");
  players.AfterOpen = note("AfterOpen");
  players.BeforeInsert = note("BeforeInsert");
  players.OnNewRecord = note("OnNewRecord");
  players.AfterInsert = note("AfterInsert");
  players.BeforePost = note("BeforePost");
  players.AfterPost = note("AfterPost");
  players.BeforeEdit = note("BeforeEdit");
  players.AfterEdit = note("AfterEdit");
  players.BeforeCancel = note("BeforeCancel");
  players.AfterCancel = note("AfterCancel");
  players.BeforeDelete = note("BeforeDelete");
  players.AfterDelete = note("AfterDelete");
  players.BeforeClose = note("BeforeClose");
  players.AfterClose = note("AfterClose");
  players.Open();
  AddPlayer(players, "Novak", 1);
  players.Edit();
  players.Cancel();
  players.Delete();
  players.Close();
  EXPECT_EQ(events, (Names{"BeforeOpen", "AfterOpen", "BeforeInsert", "OnNewRecord", "AfterInsert", "BeforePost",
                           "AfterPost", "BeforeEdit", "AfterEdit", "BeforeCancel", "AfterCancel", "BeforeDelete",
                           "AfterDelete", "BeforeClose", "AfterClose"}));
}

TEST_F(DatasetTest, RefusalsOfStatesAndModes) {
  TABSTable& players = Players();
  struct Case {
    const char* what;
    std::function<void()> run;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"post on a closed dataset", [&] { players.Post(); }, "Dataset is not opened"},
      {"post in browse state", [&] { players.Open(), players.Post(); }, "Dataset is not in insert or edit mode"},
      {"write in browse state", [&] { players.FieldByName("Jmeno").SetAsString("x"); },
       "Dataset not in edit or insert mode"},
      {"delete on an empty dataset", [&] { players.Delete(); }, "Cannot perform this operation on an empty dataset"},
      {"an unknown field", [&] { players.FieldByName("Prijmeni"); }, "Field 'Prijmeni' not found"},
      {"table name of an open table", [&] { players.SetTableName("x"); }, "Cannot perform this operation on an open dataset"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(Raised(c.run).find(c.message), std::string::npos) << c.what << ": " << Raised(c.run);
  }
  EXPECT_EQ(players.State(), TDataSetState::dsBrowse);

  TABSTable& no_database = NewTable("hraci");
  no_database.SetDatabaseName("");
  EXPECT_NE(Raised([&] { no_database.Open(); }).find("DatabaseName property is blank"), std::string::npos);
}

TEST_F(DatasetTest, ReadOnlyDatasetRefusesChanges) {
  Players();
  TABSTable& players = NewTable("hraci");
  players.SetReadOnly(true);
  players.Open();
  EXPECT_NE(Raised([&] { players.Insert(); }).find("Dataset is in read only mode"), std::string::npos);
  EXPECT_EQ(players.State(), TDataSetState::dsBrowse);
}

TEST(FieldCutTest, CodePageTextIsCutByBytesAndWideTextByCharacters) {
  // "\x9a" is a Windows-1250 letter (s with caron), not a UTF-8 continuation.
  EXPECT_EQ(TField("Jmeno", ftString, 2).CutToSize("a\x9a\x9a"), "a\x9a");
  EXPECT_EQ(TField("Kod", ftFixedChar, 1).CutToSize("\x9a\x9a"), "\x9a");
  EXPECT_EQ(TField("Text", ftWideString, 2).CutToSize("a\xc5\xa1"), "a") << "a two-byte character goes whole";
}

TEST_F(DatasetTest, FieldValuesAndTheirTexts) {
  TABSTable& players = Players();
  players.Open();
  players.Insert();
  TField& name = players.FieldByName("Jmeno");
  TField& rating = players.FieldByName("Rating");
  EXPECT_EQ(players.RecNo(), -1) << "insert state";
  EXPECT_TRUE(rating.IsNull());
  EXPECT_EQ(rating.AsInteger(), 0);
  EXPECT_EQ(rating.AsString(), "");
  EXPECT_TRUE(rating.AsVariant().IsNull());
  // Engine text is Windows-1250: "Bartoloměj Dvořáček z Vysokého Mýta".
  name.SetAsString("Bartolom\xecj Dvo\xf8\xe1\xe8" "ek z Vysok\xe9ho M\xfdta");
  EXPECT_EQ(name.AsString(), "Bartolom\xecj Dvo\xf8\xe1\xe8" "ek ") << "20 characters at most";
  name.SetAsString("Dvo\xf8\xe1k");
  EXPECT_EQ(name.AsString(), "Dvo\xf8\xe1k");
  name.SetAsString("");
  EXPECT_TRUE(name.IsNull()) << "empty text is NULL";
  rating.SetAsString("1720");
  EXPECT_EQ(rating.AsInteger(), 1720);
  rating.SetAsFloat(12.0);
  EXPECT_EQ(rating.AsString(), "12");
  rating.SetAsVariant(TDataVariant::Integer(7));
  EXPECT_EQ(rating.AsVariant().AsInt(), 7);
  EXPECT_EQ(rating.AsFloat(), 7.0);
  players.Post();
  EXPECT_EQ(players.FieldByName("id").AsInteger(), 1);
}

TEST_F(DatasetTest, EditOnAnEmptyDatasetInserts) {
  TABSTable& players = Players();
  players.Open();
  players.Edit();
  EXPECT_EQ(players.State(), TDataSetState::dsInsert);
  players.FieldByName("Jmeno").SetAsString("Novak");
  players.Post();
  EXPECT_EQ(players.RecordCount(), 1);
}

TEST_F(DatasetTest, CheckBrowseModePostsOnlyWhatWasModified) {
  TABSTable& players = Players();
  players.Open();
  players.Insert();
  players.CheckBrowseMode();
  EXPECT_EQ(players.RecordCount(), 0) << "an unmodified insert is cancelled";
  players.Insert();
  players.FieldByName("Jmeno").SetAsString("Novak");
  players.CheckBrowseMode();
  EXPECT_EQ(players.RecordCount(), 1);
  players.Edit();
  players.FieldByName("Jmeno").SetAsString("Nov\xe1kov\xe1");
  players.CheckBrowseMode();
  EXPECT_EQ(players.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"Nov\xe1kov\xe1"}));
}

TEST_F(DatasetTest, FailedPostKeepsStateRecordAndEditForARetry) {
  TABSTable& players = NewTable("hraci");
  players.DeclaredFieldDefs().Add("Jmeno", ftString, 20, /*required=*/true);
  players.DeclaredFieldDefs().Add("id", ftAutoInc);
  players.IndexDefs().Add("I_id", "id", ixPrimary);
  players.CreateTable();
  players.Open();
  players.Insert();
  std::string error;
  try {
    players.Post();
  } catch (const EABSEngineError& e) {
    error = e.what();
    EXPECT_EQ(e.ErrorCode(), -8);
  }
  EXPECT_EQ(error.rfind("Kelvorin Engine Error # -8 ", 0), 0u) << error;
  EXPECT_EQ(players.State(), TDataSetState::dsInsert);
  players.FieldByName("Jmeno").SetAsString("Novak");
  players.CheckBrowseMode();
  EXPECT_EQ(players.RecordCount(), 1);

  players.Edit();
  players.FieldByName("Jmeno").Clear();
  EXPECT_THROW(players.CheckBrowseMode(), EABSEngineError);
  EXPECT_EQ(players.State(), TDataSetState::dsEdit) << "a failed post leaves the state";
  players.FieldByName("Jmeno").SetAsString("Novakova");
  players.Post();
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"Novakova"}));
}

TEST_F(DatasetTest, ARecordChangedSinceItsEditIsNotOverwritten) {
  TABSTable& first = Players();
  first.Open();
  AddPlayer(first, "Novak", 1);
  TABSTable& second = NewTable("hraci");
  second.Open();
  first.Edit();
  first.FieldByName("Rating").SetAsInteger(2);
  second.Edit();
  second.FieldByName("Rating").SetAsInteger(3);
  second.Post();
  int32_t code = 0;
  try {
    first.Post();
  } catch (const EABSEngineError& e) {
    code = e.ErrorCode();
    EXPECT_STREQ(e.what(), "Kelvorin Engine Error # -4 Error updating record - record was modified by other process");
  }
  EXPECT_EQ(code, -4);
  first.Cancel();
  EXPECT_EQ(first.FieldByName("Rating").AsInteger(), 3);
}

TEST_F(DatasetTest, PostErrorHandlerMayMendAndRetry) {
  TABSTable& players = NewTable("hraci");
  players.DeclaredFieldDefs().Add("Jmeno", ftString, 20, /*required=*/true);
  players.CreateTable();
  players.Open();
  int calls = 0;
  players.OnPostError = [&](TDataSet& d, const std::exception&, TDataAction& action) {
    ++calls;
    d.FieldByName("Jmeno").SetAsString("Doplneno");
    action = TDataAction::daRetry;
  };
  players.Insert();
  players.Post();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"Doplneno"}));
  players.OnPostError = [](TDataSet&, const std::exception&, TDataAction& action) { action = TDataAction::daAbort; };
  players.Insert();
  EXPECT_THROW(players.Post(), EAbort);
  EXPECT_EQ(players.State(), TDataSetState::dsInsert);
}

TEST_F(DatasetTest, DisconnectClosesTheDatasetsOfTheDatabase) {
  TABSTable& players = Players();
  players.Open();
  players.Insert();
  players.FieldByName("Jmeno").SetAsString("Novak");
  database_->Close();
  EXPECT_FALSE(players.Active());
  EXPECT_FALSE(players.HasCursor());
  EXPECT_EQ(players.Database(), nullptr);
  database_->Open();
  players.Open();
  EXPECT_TRUE(players.IsEmpty()) << "closing cancels";
}

TEST_F(DatasetTest, DeleteGoesToTheNeighbourAndDeleteInInsertCancels) {
  TABSTable& players = Players();
  players.Open();
  for (const char* name : {"A", "B", "C"}) AddPlayer(players, name, 1);
  players.First();
  players.Next();
  players.Delete();
  EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "C");
  players.Delete();
  EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "A") << "the last record goes to the one before";
  players.Insert();
  players.Delete();
  EXPECT_EQ(players.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(players.RecordCount(), 1);
  players.Delete();
  EXPECT_TRUE(players.IsEmpty());
}

TEST_F(DatasetTest, DeletingTheRecordBeingEditedDeletesItAsStored) {
  TABSTable& players = Players();
  players.Open();
  for (const char* name : {"A", "B", "C", "D", "E"}) AddPlayer(players, name, 1);
  players.AddIndex("I_Jmeno", "Jmeno");
  players.SetIndexName("I_Jmeno");
  struct Case {
    bool change_key;
    Names left;
  };
  for (const Case& c : std::vector<Case>{{false, {"A", "C", "D", "E"}}, {true, {"A", "D", "E"}}}) {
    SCOPED_TRACE(c.change_key ? "key changed" : "unchanged");
    players.First();
    players.Next();
    players.Edit();
    if (c.change_key) players.FieldByName("Jmeno").SetAsString("Z");
    EXPECT_EQ(Raised([&] { players.Delete(); }), "");
    EXPECT_EQ(players.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(players.FieldByName("Jmeno").AsString(), c.left[1]) << "on the stored record's neighbour";
    EXPECT_EQ(Column(players, "Jmeno"), c.left);
  }
}

TEST_F(DatasetTest, CancelRereadsTheRecord) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "Novak", 1);
  players.Edit();
  players.FieldByName("Jmeno").SetAsString("Svoboda");
  players.Cancel();
  EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "Novak");
  players.Insert();
  players.FieldByName("Jmeno").SetAsString("Svoboda");
  players.Cancel();
  EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "Novak") << "back on the record shown before";
}

TEST_F(DatasetTest, RecordNumbersAreRanksWithoutGaps) {
  TABSTable& players = Players();
  players.Open();
  for (int i = 0; i < 6; ++i) AddPlayer(players, "P" + std::to_string(i), i);
  players.First();
  players.Next();
  players.Delete();  // a gap in storage order
  std::vector<int32_t> numbers;
  for (players.First(); !players.Eof(); players.Next()) numbers.push_back(players.RecNo());
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3, 4, 5}));

  struct Case {
    int32_t set;
    int32_t expect;
  };
  players.SetRecNo(3);
  for (const Case& c : std::vector<Case>{{0, 3}, {-5, 3}, {6, 5}, {1, 1}, {4, 4}}) {
    players.SetRecNo(c.set);
    EXPECT_EQ(players.RecNo(), c.expect) << c.set;
  }
}

TEST_F(DatasetTest, BookmarksFromOutsideAreChecked) {
  TABSTable& players = Players();
  players.Open();
  for (int i = 0; i < 4; ++i) AddPlayer(players, "P" + std::to_string(i), i);
  players.First();
  players.Next();
  const TBookmark second = players.GetBookmark();
  ASSERT_EQ(second.size(), 6u);
  players.Last();
  const TBookmark last = players.GetBookmark();
  EXPECT_TRUE(players.BookmarkValid(second));
  players.GotoBookmark(second);
  EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "P1");
  EXPECT_EQ(players.CompareBookmarks(second, last), -1);
  EXPECT_EQ(players.CompareBookmarks(last, second), 1);
  EXPECT_EQ(players.CompareBookmarks(second, second), 0);
  EXPECT_EQ(players.CompareBookmarks({}, second), 1);
  EXPECT_EQ(players.CompareBookmarks(second, {}), -1);
  EXPECT_EQ(players.CompareBookmarks({}, {}), 0);

  const auto crafted = [](int32_t page, uint16_t slot) {
    TBookmark bookmark(6);
    TABSRecordId{page, slot}.Store(bookmark.data());
    return bookmark;
  };
  const std::vector<TBookmark> invalid = {
      {},
      {1, 2, 3},
      crafted(-1, 0),
      crafted(0, 0),          // the file's header page
      crafted(1, 0),          // a system page
      crafted(1 << 30, 0),    // beyond the file
      crafted(TABSRecordId::Load(second.data()).page_no, 60000),  // slot beyond the page
  };
  for (const TBookmark& bookmark : invalid) {
    EXPECT_FALSE(players.BookmarkValid(bookmark));
    EXPECT_NE(Raised([&] { players.GotoBookmark(bookmark); }), "");
    EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "P1") << "did not move";
  }
  players.Delete();
  EXPECT_FALSE(players.BookmarkValid(second)) << "a deleted record";
}

class LinkRecorder : public TDataLink {
 public:
  std::vector<std::string> events;
  bool raise = false;

 protected:
  void ActiveChanged() override { Note("active"); }
  void DataSetChanged() override { Note("changed"); }
  void DataSetScrolled() override { Note("scrolled"); }
  void RecordChanged(TField* field) override { Note(field == nullptr ? "record" : "field " + field->FieldName()); }
  void StateChanged() override { Note("state"); }

 private:
  void Note(const std::string& event) {
    events.push_back(event);
    if (raise) throw std::runtime_error("view failed: " + event);
  }
};

TEST_F(DatasetTest, DataLinksFollowAndNeverRaiseIntoTheDataset) {
  TABSTable& players = Players();
  TDataSource source(&players);
  LinkRecorder link;
  link.SetDataSource(&source);
  players.Open();
  AddPlayer(players, "Novak", 1);
  AddPlayer(players, "Svoboda", 2);
  link.events.clear();
  players.First();
  players.Next();
  EXPECT_EQ(link.events, (Names{"changed", "scrolled"}));
  link.events.clear();
  players.Edit();
  players.FieldByName("Rating").SetAsInteger(5);
  EXPECT_EQ(link.events, (Names{"state", "record", "field Rating"}));

  link.raise = true;
  players.Post();
  EXPECT_EQ(players.State(), TDataSetState::dsBrowse);
  EXPECT_FALSE(hook_.messages.empty());
  EXPECT_EQ(hook_.messages.front(), "view failed: " + link.events.front());

  link.raise = false;
  link.events.clear();
  players.DisableControls();
  players.First();
  players.Next();
  EXPECT_TRUE(link.events.empty());
  players.EnableControls();
  EXPECT_EQ(link.events, (Names{"changed"}));
}

TEST_F(DatasetTest, FieldChangeEventsAreCaught) {
  TABSTable& players = Players();
  TField& name = players.AddField("Jmeno", ftString, 20);
  players.AddField("id", ftAutoInc);
  name.OnChange = [](TField&) { throw std::runtime_error("handler failed"); };
  players.Open();
  players.Insert();
  name.SetAsString("Novak");
  players.Post();
  EXPECT_EQ(hook_.messages, (Names{"handler failed"}));
  EXPECT_EQ(players.FieldCount(), 2) << "the persistent fields only";
}

TEST_F(DatasetTest, PersistentFieldsMustMatchTheStoredTable) {
  Players();
  struct Case {
    TFieldType type;
    int32_t size;
    bool opens;
  };
  for (const Case& c : std::vector<Case>{{ftString, 20, true}, {ftInteger, 0, false}, {ftString, 10, false}}) {
    TABSTable& players = NewTable("hraci");
    players.AddField("Jmeno", c.type, c.size);
    EXPECT_EQ(Raised([&] { players.Open(); }).empty(), c.opens) << c.type << " " << c.size;
    EXPECT_EQ(players.Active(), c.opens);
    // A failed open holds nothing: no cursor, no use of the database.
    if (!c.opens) {
      EXPECT_FALSE(players.HasCursor());
      EXPECT_EQ(players.Database(), nullptr);
    }
  }
}

TEST_F(DatasetTest, MissingTableLeavesNothingHeld) {
  TABSTable& missing = NewTable("nikdo");
  EXPECT_NE(Raised([&] { missing.Open(); }).find("Table not found, table name = nikdo"), std::string::npos);
  EXPECT_FALSE(missing.HasCursor());
  EXPECT_EQ(missing.Database(), nullptr);
  EXPECT_TRUE(database_->Users().empty());
}

TEST_F(DatasetTest, BlobFieldsThroughStreams) {
  TABSTable& photos = NewTable("fotky");
  photos.DeclaredFieldDefs().Add("Jmeno", ftString, 20);
  photos.DeclaredFieldDefs().Add("Foto", ftBlob);
  photos.CreateTable();
  photos.Open();
  photos.Insert();
  photos.FieldByName("Jmeno").SetAsString("Novak");
  {
    auto stream = photos.CreateBlobStream(photos.FieldByName("Foto"), TABSBlobStreamMode::kWrite);
    EXPECT_EQ(stream->Write("picture", 7), 7);
  }
  EXPECT_TRUE(photos.Modified());
  photos.Post();
  photos.Close();
  photos.Open();
  auto stream = photos.CreateBlobStream(photos.FieldByName("Foto"), TABSBlobStreamMode::kRead);
  std::string read(16, '\0');
  read.resize(static_cast<size_t>(stream->Read(read.data(), 16)));
  EXPECT_EQ(read, "picture");
  EXPECT_NE(Raised([&] { photos.CreateBlobStream(photos.FieldByName("Foto"), TABSBlobStreamMode::kWrite); }), "")
      << "writing needs edit state";
}

TEST_F(DatasetTest, DatesAndTimesInTheirForms) {
  TABSTable& rounds = NewTable("kola");
  rounds.DeclaredFieldDefs().Add("Den", ftDate);
  rounds.DeclaredFieldDefs().Add("Cas", ftTime);
  rounds.DeclaredFieldDefs().Add("Zacatek", ftDateTime);
  rounds.CreateTable();
  rounds.Open();
  rounds.Insert();
  const double start = 46366 + 49545250 / 86400000.0;  // 2026-12-10 13:45:45.250
  rounds.FieldByName("Den").SetAsDateTime(start);
  rounds.FieldByName("Cas").SetAsDateTime(start);
  rounds.FieldByName("Zacatek").SetAsDateTime(start);
  rounds.Post();
  EXPECT_EQ(rounds.FieldByName("Den").AsDateTime(), 46366.0);
  EXPECT_NEAR(rounds.FieldByName("Cas").AsDateTime(), 49545250 / 86400000.0, 1e-9);
  EXPECT_NEAR(rounds.FieldByName("Zacatek").AsDateTime(), start, 1e-9);
  EXPECT_EQ(rounds.FieldByName("Zacatek").AsVariant().type(), varDate);

  struct Case {
    int32_t day, ms;
    int64_t date_time;
  };
  for (const Case& c : std::vector<Case>{{1, 0, 0}, {2, 1, 86400001}, {739960, 49545250, 63932507145250}}) {
    EXPECT_EQ(DataSetDateTime(c.day, c.ms), c.date_time);
    int32_t day = 0, ms = 0;
    ASSERT_TRUE(StoredDateTime(c.date_time, &day, &ms));
    EXPECT_EQ(day, c.day);
    EXPECT_EQ(ms, c.ms);
  }
  int32_t day = 0, ms = 0;
  EXPECT_FALSE(StoredDateTime(-1, &day, &ms));
  EXPECT_EQ(DataSetTime(1000.5), 1001);
  EXPECT_EQ(DataSetTime(999.4), 999);

  const TSQLTimeStamp stamp = SQLTimeStampOf(739960, 49545250);
  EXPECT_EQ(stamp, (TSQLTimeStamp{2026, 12, 10, 13, 45, 45, 250}));
  ASSERT_TRUE(StoredTimeStamp(stamp, &day, &ms));
  EXPECT_EQ(day, 739960);
  EXPECT_EQ(ms, 49545250);
  for (const TSQLTimeStamp& bad : {TSQLTimeStamp{2026, 13, 1, 0, 0, 0, 0}, TSQLTimeStamp{2026, 2, 30, 0, 0, 0, 0},
                                   TSQLTimeStamp{2026, 1, 1, 24, 0, 0, 0}, TSQLTimeStamp{2026, 1, 1, 0, 0, 0, 1000}}) {
    EXPECT_FALSE(StoredTimeStamp(bad, &day, &ms));
  }
}

}  // namespace
}  // namespace kelvorin::testing
