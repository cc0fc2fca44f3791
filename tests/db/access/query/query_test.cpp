// The query dataset: the application's MAX queries, texts split one word a
// line, parameters and their master values, the refusals, SELECT INTO.
#include <gtest/gtest.h>

#include "db/access/query/query.h"
#include "db/access/query/query_errors.h"
#include "db/query/sql/sql_errors.h"
#include "tests/db/access/dataset/dataset_test_util.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin::testing {
namespace {

class QueryTest : public DatasetTest {
 protected:
  TABSQuery& NewQuery() {
    queries_.push_back(std::make_unique<TABSQuery>());
    queries_.back()->SetDatabaseName(kAlias);
    return *queries_.back();
  }
  void TearDown() override {
    queries_.clear();
    DatasetTest::TearDown();
  }
  static void AddSeating(TABSTable& table, int32_t player, int32_t round) {
    table.Insert();
    table.FieldByName("id_hrace").SetAsInteger(player);
    table.FieldByName("Kolo").SetAsInteger(round);
    table.Post();
  }

  std::vector<std::unique_ptr<TABSQuery>> queries_;
};

TEST_F(QueryTest, MaxOfAnEmptyTableAndOfRows) {
  TABSTable& seatings = Seatings();
  TABSQuery& query = NewQuery();
  EXPECT_EQ(query.RowsAffected(), -1);
  query.SQL().SetCommaText("SELECT,MAX(Kolo),as,result,FROM,seskupeni;");
  query.Open();
  EXPECT_TRUE(query.FieldByName("result").Value().IsNull());
  seatings.Open();
  for (const int32_t round : {1, 3, 2}) AddSeating(seatings, 7, round);
  // A new text closes the query; opening runs the new one.
  query.SQL().SetCommaText("SELECT MAX(Kolo) as result FROM seskupeni;");
  EXPECT_FALSE(query.Active());
  query.Open();
  EXPECT_EQ(query.FieldByName("result").AsInteger(), 3);
  EXPECT_TRUE(query.ReadOnly());
}

TEST_F(QueryTest, Refusals) {
  Seatings();
  TABSQuery& query = NewQuery();
  EXPECT_EQ(ErrorCode([&] { query.Open(); }), 20034);
  EXPECT_EQ(ErrorCode([&] { query.Prepare(); }), 30142);
  query.SQL().Add(";");
  EXPECT_EQ(ErrorCode([&] { query.Open(); }), 30145);
  query.SQL().SetText("SELECT Kolo FROM seskupeni garbage more");
  EXPECT_EQ(ErrorCode([&] { query.Open(); }), 10870);
  EXPECT_FALSE(query.Prepared());
  EXPECT_FALSE(database_->SilentMode());
  query.SQL().SetText("SELECT Kolo FROM nic");
  EXPECT_EQ(ErrorCode([&] { query.Open(); }), 10028);
  EXPECT_FALSE(database_->SilentMode());
  EXPECT_FALSE(query.Active());
  query.SQL().SetText("SELECT Kolo FROM seskupeni");
  query.Open();
  EXPECT_EQ(ErrorCode([&] { query.Prepare(); }), 30141);
  EXPECT_EQ(ErrorCode([&] { query.ExecSQL(); }), 10890);
  query.Close();
  EXPECT_FALSE(query.Prepared());
}

TEST_F(QueryTest, ParametersFromTheTextAndFromTheMaster) {
  TABSTable& seatings = Seatings();
  seatings.Open();
  AddSeating(seatings, 1, 1);
  AddSeating(seatings, 2, 1);
  AddSeating(seatings, 2, 2);
  TABSTable& master = Players();
  master.Open();
  AddPlayer(master, "Novak", 1500);
  AddPlayer(master, "Svoboda", 1400);
  TABSQuery& query = NewQuery();
  query.SQL().SetText("SELECT COUNT(*) AS n FROM seskupeni WHERE id_hrace = :id");
  ASSERT_EQ(query.Params().size(), 1u);
  EXPECT_EQ(query.Params()[0].name, "id");
  TDataSource source(&master);
  query.SetDataSource(&source);
  master.First();
  query.Open();
  EXPECT_EQ(query.FieldByName("n").AsInteger(), 1);
  // Moving the master re-runs the open query with the new value; the
  // parameter itself stays unbound.
  master.Next();
  EXPECT_TRUE(query.Active());
  EXPECT_EQ(query.FieldByName("n").AsInteger(), 2);
  EXPECT_FALSE(query.Params()[0].bound);
  // A value of its own wins over the master's.
  query.Close();
  TABSVariant one;
  one.SetInteger(1);
  query.SetParamValue("ID", one);
  query.Open();
  EXPECT_EQ(query.FieldByName("n").AsInteger(), 1);
  // A text that keeps the parameter keeps its value.
  query.SQL().SetText("SELECT COUNT(*) AS n FROM seskupeni WHERE id_hrace <> :id");
  EXPECT_TRUE(query.Params()[0].bound);
  query.SetDataSource(nullptr);
}

TEST_F(QueryTest, ADisconnectClosesAndUnpreparesTheQuery) {
  Seatings();
  TABSQuery& query = NewQuery();
  query.SQL().SetText("SELECT * FROM seskupeni");
  query.Prepare();
  database_->Close();
  EXPECT_FALSE(query.Prepared());
}

TEST_F(QueryTest, CircularDataSourceIsRefused) {
  Seatings();
  TABSQuery& query = NewQuery();
  TDataSource own(&query);
  EXPECT_EQ(ErrorCode([&] { query.SetDataSource(&own); }), 10839);
}

TEST_F(QueryTest, SelectIntoMakesANewTableOnly) {
  TABSTable& seatings = Seatings();
  seatings.Open();
  AddSeating(seatings, 1, 1);
  AddSeating(seatings, 2, 2);
  TABSQuery& query = NewQuery();
  query.SQL().SetText("SELECT id_hrace, Kolo INTO kopie FROM seskupeni WHERE Kolo = 2");
  // INTO yields no rows: Open refuses it before it runs.
  EXPECT_EQ(ErrorCode([&] { query.Open(); }), 10889);
  EXPECT_FALSE(database_->TableExists("kopie"));
  query.ExecSQL();
  EXPECT_EQ(query.RowsAffected(), 1);
  ASSERT_TRUE(database_->TableExists("kopie"));
  TABSTable& copy = NewTable("kopie");
  copy.Open();
  EXPECT_EQ(Column(copy, "Kolo"), (std::vector<std::string>{"2"}));
  copy.Close();
  // An existing target is refused before anything runs, the table itself
  // included.
  query.Unprepare();
  EXPECT_EQ(ErrorCode([&] { query.ExecSQL(); }), 10882);
  query.SQL().SetText("SELECT * INTO seskupeni FROM seskupeni");
  EXPECT_EQ(ErrorCode([&] { query.ExecSQL(); }), 10882);
  seatings.Close();
  seatings.Open();
  EXPECT_EQ(seatings.RecordCount(), 2);
  // Inside a transaction as creating a table is.
  query.SQL().SetText("SELECT * INTO jina FROM seskupeni");
  database_->StartTransaction();
  EXPECT_EQ(ErrorCode([&] { query.ExecSQL(); }), 10883);
  database_->Rollback();
  EXPECT_FALSE(database_->TableExists("jina"));
}

TEST_F(QueryTest, DataStatementsCountRowsAndLeaveNoTableOpen) {
  TABSTable& seatings = Seatings();
  seatings.Open();
  AddSeating(seatings, 1, 1);
  AddSeating(seatings, 2, 1);
  AddSeating(seatings, 3, 2);
  seatings.Close();
  TABSQuery& query = NewQuery();
  query.SQL().SetText("UPDATE seskupeni SET Kolo = Kolo + 1 WHERE Kolo = 1");
  query.ExecSQL();
  EXPECT_EQ(query.RowsAffected(), 2);
  // The transaction statements are the database's own.
  query.SQL().SetText("START TRANSACTION; DELETE FROM seskupeni WHERE id_hrace > 1");
  query.ExecSQL();
  EXPECT_EQ(query.RowsAffected(), 2);
  EXPECT_TRUE(database_->InTransaction());
  query.SQL().SetText("ROLLBACK WORK");
  query.ExecSQL();
  EXPECT_FALSE(database_->InTransaction());
  query.SQL().SetText("DELETE FROM seskupeni WHERE Kolo = 2");
  query.ExecSQL();
  EXPECT_EQ(query.RowsAffected(), 3);
  // A finished statement keeps no cursor on its table.
  EXPECT_EQ(ErrorCode([&] { seatings.DeleteTable(); }), 0);
}

TEST_F(QueryTest, SelectIntoMemory) {
  TABSTable& seatings = Seatings();
  seatings.Open();
  AddSeating(seatings, 1, 1);
  TABSQuery& query = NewQuery();
  query.SQL().SetText("SELECT Kolo INTO MEMORY pamet FROM seskupeni");
  query.ExecSQL();
  EXPECT_EQ(query.RowsAffected(), 1);
  query.SQL().SetText("SELECT Kolo FROM MEMORY pamet");
  query.Open();
  EXPECT_EQ(Column(query, "Kolo"), (std::vector<std::string>{"1"}));
  query.Close();
  query.SQL().SetText("SELECT Kolo INTO MEMORY pamet FROM seskupeni");
  EXPECT_EQ(ErrorCode([&] { query.ExecSQL(); }), 10882);
}

TEST_F(QueryTest, OpenRefusesATextWhoseLastStatementYieldsNoRowsBeforeRunningIt) {
  Seatings();
  TABSQuery& query = NewQuery();
  query.SQL().SetText("SELECT * FROM seskupeni; SELECT * INTO jina FROM seskupeni");
  EXPECT_EQ(ErrorCode([&] { query.Open(); }), 10889);
  EXPECT_FALSE(database_->TableExists("jina"));
}

}  // namespace
}  // namespace kelvorin::testing

namespace kelvorin::testing {
namespace {

TEST_F(QueryTest, RequestLiveGivesAnEditableViewOfAPlainTable) {
  TABSTable& seatings = Seatings();
  seatings.Open();
  AddSeating(seatings, 1, 1);
  AddSeating(seatings, 2, 2);
  seatings.Close();
  TABSQuery& query = NewQuery();
  query.SetRequestLive(true);
  query.SQL().SetText("SELECT * FROM seskupeni WHERE Kolo = 2");
  query.Open();
  EXPECT_FALSE(query.ReadOnly());
  EXPECT_EQ(query.RecordCount(), 1);
  query.Edit();
  query.FieldByName("Body").SetAsInteger(9);
  query.Post();
  query.Close();
  seatings.Open();
  EXPECT_EQ(Column(seatings, "Body"), (std::vector<std::string>{"", "9"}));
  seatings.Close();
  // What cannot be live is read-only.
  for (const char* text : {"SELECT DISTINCT Kolo FROM seskupeni", "SELECT Kolo + 1 AS k FROM seskupeni",
                           "SELECT TOP 1 Kolo FROM seskupeni", "SELECT Kolo AS a, Body AS a FROM seskupeni",
                           "SELECT s.Kolo FROM seskupeni s, seskupeni t WHERE s.Kolo = t.Kolo",
                           "SELECT Kolo FROM seskupeni UNION SELECT Body FROM seskupeni"}) {
    SCOPED_TRACE(text);
    query.Close();
    query.SQL().SetText(text);
    query.Open();
    EXPECT_TRUE(query.ReadOnly());
  }
}

TEST_F(QueryTest, ALiveResultShowsTheSelectedColumnsUnderTheirAliasesInTheirOrder) {
  TABSTable& seatings = Seatings();
  seatings.Open();
  for (const auto& [player, round] : std::vector<std::pair<int32_t, int32_t>>{{3, 1}, {1, 2}, {2, 2}, {4, 2}}) {
    AddSeating(seatings, player, round);
  }
  seatings.Close();
  TABSQuery& query = NewQuery();
  query.SetRequestLive(true);
  // The alias names the column in WHERE; ORDER BY names it and a position.
  query.SQL().SetText("SELECT Body AS b, id_hrace AS hrac FROM seskupeni WHERE hrac > 1 AND Kolo = 2 "
                      "ORDER BY hrac DESC");
  query.Open();
  EXPECT_FALSE(query.ReadOnly());
  ASSERT_EQ(query.FieldCount(), 2);
  EXPECT_EQ(query.Fields(0).FieldName(), "b");
  EXPECT_EQ(query.Fields(1).FieldName(), "hrac");
  EXPECT_EQ(Column(query, "hrac"), (std::vector<std::string>{"4", "2"}));
  EXPECT_TRUE(query.Locate("hrac", {TDataVariant::Integer(2)}, 0));
  query.Edit();
  query.FieldByName("b").SetAsInteger(7);
  query.Post();
  // A new row through the view gets the shown fields; the others stay NULL.
  query.Insert();
  query.FieldByName("hrac").SetAsInteger(9);
  query.FieldByName("b").SetAsInteger(5);
  query.Post();
  query.Close();
  TABSQuery& check = NewQuery();
  check.SQL().SetText("SELECT id_hrace, Body, Kolo FROM seskupeni ORDER BY id_hrace");
  check.Open();
  EXPECT_EQ(Column(check, "Body"), (std::vector<std::string>{"", "7", "", "", "5"}));
  EXPECT_EQ(Column(check, "Kolo"), (std::vector<std::string>{"2", "2", "1", "2", ""}));
  check.Close();
  query.SQL().SetText("SELECT Kolo, id_hrace FROM seskupeni ORDER BY 1, seskupeni.id_hrace DESC");
  query.Open();
  EXPECT_FALSE(query.ReadOnly());
  EXPECT_EQ(Column(query, "id_hrace"), (std::vector<std::string>{"9", "3", "4", "2", "1"}));
}

TEST_F(QueryTest, AFailedRerunClosesTheQueryAndReachesTheErrorHook) {
  TABSTable& master = Seatings();
  master.Open();
  AddSeating(master, 1, 2);
  AddSeating(master, 2, 0);
  master.First();
  TABSQuery& query = NewQuery();
  query.SQL().SetText("SELECT COUNT(*) AS n FROM seskupeni WHERE Kolo = 4 / :Kolo");
  TDataSource source(&master);
  query.SetDataSource(&source);
  query.Open();
  EXPECT_EQ(query.FieldByName("n").AsInteger(), 1);
  // The second master row divides by zero: the scroll itself succeeds.
  EXPECT_EQ(Raised([&] { master.Next(); }), "");
  EXPECT_FALSE(query.Active());
  ASSERT_EQ(hook_.messages.size(), 1u);
  EXPECT_NE(hook_.messages[0].find("30128"), std::string::npos) << hook_.messages[0];
  // An inactive master gives NULL parameters.
  master.Close();
  query.SQL().SetText("SELECT COUNT(*) AS n FROM seskupeni WHERE Kolo = :Kolo");
  query.Open();
  EXPECT_EQ(query.FieldByName("n").AsInteger(), 0);
  query.SetDataSource(nullptr);
}

}  // namespace
}  // namespace kelvorin::testing
