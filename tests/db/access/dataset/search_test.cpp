// Filters, the Find methods, Locate and Lookup, and the lookup field of the
// seating tables.
#include "tests/db/access/dataset/dataset_test_util.h"

namespace kelvorin::testing {
namespace {

using Names = std::vector<std::string>;

class SearchTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    TABSTable& seatings = Seatings();
    seatings.Open();
    const int rows[][3] = {{1, 1, 1}, {2, 1, 2}, {3, 2, 3}, {1, 2, 3}, {2, 3, 3}, {4, 1, 3}};
    for (const auto& row : rows) {
      seatings.Insert();
      seatings.FieldByName("id_hrace").SetAsInteger(row[0]);
      seatings.FieldByName("Stul").SetAsInteger(row[1]);
      seatings.FieldByName("Kolo").SetAsInteger(row[2]);
      seatings.Post();
    }
    seatings_ = &seatings;
  }
  TABSTable* seatings_ = nullptr;
};

TEST_F(SearchTest, RoundFilterAndItsChanges) {
  TABSTable& s = *seatings_;
  s.SetFilter("Kolo = 3");
  EXPECT_EQ(Column(s, "id_hrace").size(), 6u) << "not filtered yet";
  s.SetFiltered(true);
  EXPECT_EQ(Column(s, "id_hrace"), (Names{"3", "1", "2", "4"}));
  EXPECT_EQ(s.RecordCount(), 4);
  s.Last();
  s.SetFiltered(true);
  EXPECT_TRUE(s.Bof()) << "setting Filtered again moves to the first record";
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 3);

  // A filter that does not compile is refused; the old one stays in force.
  EXPECT_NE(Raised([&] { s.SetFilter("Kolo = = 3"); }), "");
  EXPECT_EQ(s.Filter(), "Kolo = 3");
  EXPECT_EQ(s.RecordCount(), 4);
  s.SetFilter("Kolo = 2");
  EXPECT_EQ(Column(s, "id_hrace"), (Names{"2"}));
  s.SetFiltered(false);
  EXPECT_EQ(s.RecordCount(), 6);
}

TEST_F(SearchTest, APostedRecordStaysUntilTheNextMove) {
  TABSTable& s = *seatings_;
  s.SetFilter("Kolo = 3");
  s.SetFiltered(true);
  s.Next();
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 1);
  s.Edit();
  s.FieldByName("Kolo").SetAsInteger(2);
  s.Post();
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 1) << "the filter no longer admits it";
  s.Next();
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 2);
  EXPECT_EQ(Column(s, "id_hrace"), (Names{"3", "2", "4"}));
}

TEST_F(SearchTest, OnFilterRecordDecidesAndItsErrorsAreCaught) {
  TABSTable& s = *seatings_;
  s.SetFiltered(true);
  s.SetOnFilterRecord([](TDataSet& d, bool& accept) { accept = d.FieldByName("Stul").AsInteger() == 1; });
  EXPECT_EQ(Column(s, "id_hrace"), (Names{"1", "2", "4"}));
  s.SetFilter("Kolo = 3");
  EXPECT_EQ(Column(s, "id_hrace"), (Names{"4"})) << "both decide";
  s.SetOnFilterRecord([](TDataSet& d, bool& accept) {
    if (d.FieldByName("id_hrace").AsInteger() == 2) throw std::runtime_error("filter failed");
    accept = true;
  });
  EXPECT_EQ(Column(s, "id_hrace"), (Names{"3", "1", "2", "4"})) << "the answer as it was when it raised";
  EXPECT_FALSE(hook_.messages.empty());
  EXPECT_EQ(hook_.messages.front(), "filter failed");
}

TEST_F(SearchTest, FindMethodsUseTheFilterWithoutFiltering) {
  TABSTable& s = *seatings_;
  s.SetFilter("Stul = 1");
  EXPECT_TRUE(s.FindFirst());
  EXPECT_TRUE(s.Found());
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 1);
  EXPECT_TRUE(s.FindNext());
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 2);
  EXPECT_TRUE(s.FindLast());
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 4);
  EXPECT_FALSE(s.FindNext());
  EXPECT_FALSE(s.Found());
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 4) << "stays on the found record";
  EXPECT_TRUE(s.FindPrior());
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 2);
  EXPECT_EQ(s.RecordCount(), 6) << "the filter is gone again";
  s.Next();
  EXPECT_EQ(s.FieldByName("id_hrace").AsInteger(), 3);
}

TEST_F(SearchTest, LocateKeys) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "Nov\xe1k", 1500);
  AddPlayer(players, "Novotný", 1600);
  AddPlayer(players, "NOVÁK", 1400);
  players.Insert();
  players.FieldByName("Rating").SetAsInteger(1300);
  players.Post();
  struct Case {
    const char* fields;
    std::vector<TDataVariant> values;
    TLocateOptions options;
    int32_t rating;  // 0: not found
  };
  const std::vector<Case> cases = {
      {"Jmeno", {TDataVariant::String("NOVÁK")}, 0, 1400},
      {"Jmeno", {TDataVariant::String("nov\xe1k")}, loCaseInsensitive, 1500},
      {"Jmeno", {TDataVariant::String("Novo")}, 0, 0},
      {"Jmeno", {TDataVariant::String("Novo")}, loPartialKey, 1600},
      {"Jmeno", {TDataVariant::String("nov")}, loPartialKey | loCaseInsensitive, 1500},
      {"Jmeno", {TDataVariant::Null()}, 0, 1300},
      {"Jmeno;Rating", {TDataVariant::String("Nov\xe1k"), TDataVariant::Integer(1500)}, 0, 1500},
      {"Jmeno;Rating", {TDataVariant::String("Nov\xe1k"), TDataVariant::Integer(1400)}, 0, 0},
      {"jmeno; rating", {TDataVariant::String("NOVÁK"), TDataVariant::Integer(1400)}, 0, 1400},
  };
  for (const Case& c : cases) {
    players.First();
    const bool found = players.Locate(c.fields, c.values, c.options);
    EXPECT_EQ(found, c.rating != 0) << c.fields << " " << c.options;
    EXPECT_EQ(players.FieldByName("Rating").AsInteger(), found ? c.rating : 1500) << c.fields << " " << c.options;
  }
}

TEST_F(SearchTest, LookupLeavesTheDatasetAlone) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "Novak", 1500);
  AddPlayer(players, "Svoboda", 1600);
  players.First();
  EXPECT_EQ(players.Lookup("id", {TDataVariant::Integer(2)}, "Jmeno").AsText(), "Svoboda");
  EXPECT_TRUE(players.Lookup("id", {TDataVariant::Integer(9)}, "Jmeno").IsNull());
  EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "Novak");

  // While a record is typed: no state change, no event, the record as typed.
  int events = 0;
  TDataSource source(&players);
  source.OnDataChange = [&](TDataSource&, TField*) { ++events; };
  source.OnStateChange = [&](TDataSource&) { ++events; };
  players.BeforeScroll = [&](TDataSet&) { ++events; };
  players.Insert();
  players.FieldByName("Jmeno").SetAsString("Cerny");
  events = 0;
  EXPECT_EQ(players.Lookup("Jmeno", {TDataVariant::String("Novak")}, "Rating").AsInt(), 1500);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(players.State(), TDataSetState::dsInsert);
  EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "Cerny");
  players.Post();
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"Novak", "Svoboda", "Cerny"}));
}

TEST_F(SearchTest, LookupFieldOfTheSeatings) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "Novak", 1500);
  AddPlayer(players, "Svoboda", 1600);
  AddPlayer(players, "Cerny", 1400);
  TABSTable& window = NewTable("seskupeni");
  window.AddField("id_hrace", ftInteger);
  window.AddLookupField("Jmeno", ftString, 20, players, "id", "Jmeno", "id_hrace");
  window.AddField("Stul", ftInteger);
  window.AddField("Kolo", ftInteger);
  window.Open();
  EXPECT_EQ(Column(window, "Jmeno"), (Names{"Novak", "Svoboda", "Cerny", "Novak", "Svoboda", ""}))
      << "a seating without its player shows an empty name";
  window.SetFilter("Kolo = 3");
  window.SetFiltered(true);
  EXPECT_EQ(Column(window, "Jmeno"), (Names{"Cerny", "Novak", "Svoboda", ""}));
}

}  // namespace
}  // namespace kelvorin::testing
