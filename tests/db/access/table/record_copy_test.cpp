// The record copy (progress steps, messages, ignored errors, the continue
// flag) and the table copy that compacting uses.
#include "db/access/table/record_copy.h"
#include "db/access/table/table_copy.h"
#include "tests/db/access/dataset/dataset_test_util.h"

namespace kelvorin::testing {
namespace {

using Names = std::vector<std::string>;

class RecordCopyTest : public DatasetTest {
 protected:
  TABSTable& Source(int32_t records) {
    TABSTable& source = NewTable("zdroj");
    source.DeclaredFieldDefs().Add("n", ftInteger);
    source.DeclaredFieldDefs().Add("Jmeno", ftString, 20);
    source.CreateTable();
    source.Open();
    // One commit for all of them: the copy is under test, not the file.
    database_->StartTransaction();
    for (int32_t i = 1; i <= records; ++i) {
      source.Insert();
      source.FieldByName("n").SetAsInteger(i);
      source.FieldByName("Jmeno").SetAsString("P" + std::to_string(i));
      source.Post();
    }
    database_->Commit();
    return source;
  }
  // A destination whose "n" must be unique and below `limit` (a check).
  TABSTable& Destination(bool unique_n = false) {
    TABSTable& destination = NewTable("cil");
    destination.DeclaredFieldDefs().Add("n", ftInteger);
    destination.DeclaredFieldDefs().Add("Jmeno", ftString, 3);
    destination.DeclaredFieldDefs().Add("navic", ftInteger);
    if (unique_n) destination.IndexDefs().Add("I_n", "n", ixUnique);
    destination.CreateTable();
    destination.Open();
    return destination;
  }
};

TEST_F(RecordCopyTest, ProgressOfTheWorkedExample) {
  TABSTable& source = Source(250);
  TABSTable& destination = Destination();
  std::vector<int32_t> reports;
  TABSRecordCopyRequest request;
  request.progress = [&](TDataSet&, int32_t percent, bool&) { reports.push_back(percent); };
  bool go_on = true;
  std::string errors;
  source.SetRecNo(17);
  database_->StartTransaction();
  EXPECT_TRUE(CopyRecords(source, destination, request, go_on, errors)) << errors;
  database_->Commit();
  EXPECT_EQ(destination.RecordCount(), 250);
  ASSERT_GE(reports.size(), 3u);
  EXPECT_EQ(reports[0], 0) << "after record 1";
  EXPECT_EQ(reports[1], 2) << "after record 4";
  EXPECT_EQ(reports.size(), 84u) << "after records 1, 4, 7 … 250";
  EXPECT_EQ(reports.back(), 100);
  EXPECT_EQ(source.RecNo(), 17) << "the source comes back";
  EXPECT_EQ(CopyProgress(1, 250, 0, 100), 0);
  EXPECT_EQ(CopyProgress(4, 250, 0, 100), 2);
  EXPECT_EQ(CopyProgress(5, 2, 10, 11), 12) << "2.5 rounds to even";
}

TEST_F(RecordCopyTest, IgnoredErrorsAreWrittenDown) {
  TABSTable& source = Source(3);
  source.Last();
  source.Edit();
  source.FieldByName("n").SetAsInteger(1);  // a duplicate for the unique index
  source.Post();
  TABSTable& destination = Destination(true);
  TABSRecordCopyRequest request;
  request.ignore_errors = true;
  bool go_on = true;
  std::string errors;
  EXPECT_FALSE(CopyRecords(source, destination, request, go_on, errors));
  EXPECT_EQ(destination.RecordCount(), 2);
  EXPECT_NE(errors.find("Error copying table. Record #3 was not imported due to error: "), std::string::npos) << errors;
  EXPECT_EQ(errors.substr(errors.size() - 4), "\r\n\r\n");
  EXPECT_EQ(Column(destination, "Jmeno"), (Names{"P1", "P2"})) << "texts cut to the destination's size";

  request.ignore_errors = false;
  destination.Close();
  destination.EmptyTable();
  destination.Open();
  errors.clear();
  EXPECT_NE(Raised([&] { CopyRecords(source, destination, request, go_on, errors); }), "");
  EXPECT_NE(errors.find("Record #3 was not imported"), std::string::npos);
}

TEST_F(RecordCopyTest, AHandlerStopsTheCopy) {
  TABSTable& source = Source(10);
  TABSTable& destination = Destination();
  TABSRecordCopyRequest request;
  request.progress = [](TDataSet&, int32_t percent, bool& go_on) { go_on = percent < 30; };
  bool go_on = true;
  std::string errors;
  EXPECT_FALSE(CopyRecords(source, destination, request, go_on, errors));
  EXPECT_EQ(destination.RecordCount(), 3) << "stopped after the record that reported 30";
  EXPECT_EQ(errors, "Terminated by User.\r\n");
}

TEST_F(RecordCopyTest, AProgressRangeRunningBackwardsCountsDown) {
  TABSTable& source = Source(100);
  TABSTable& destination = Destination();
  std::vector<int32_t> reports;
  TABSRecordCopyRequest request;
  request.progress_start = 100;
  request.progress_end = 0;
  request.progress = [&](TDataSet&, int32_t percent, bool&) { reports.push_back(percent); };
  bool go_on = true;
  std::string errors;
  database_->StartTransaction();
  EXPECT_TRUE(CopyRecords(source, destination, request, go_on, errors)) << errors;
  database_->Commit();
  EXPECT_EQ(destination.RecordCount(), 100);
  ASSERT_EQ(reports.size(), 50u) << "after records 1, 3, 5 … 99";
  EXPECT_EQ(reports.front(), 99);
  EXPECT_EQ(reports.back(), 1);
}

TEST_F(DatasetTest, TableCopyKeepsIndexesAndAutoIncrementState) {
  TABSTable& players = Players();
  players.Open();
  for (const char* name : {"A", "B", "C"}) AddPlayer(players, name, 1);
  players.Last();
  players.Delete();  // the number 3 must never come back
  players.Close();

  TABSDatabase copy;
  copy.SetDatabaseFileName((dir_ / "kopie.kdb").string());
  copy.SetDatabaseName("kopie");
  copy.CreateDatabase();
  copy.Open();
  std::vector<int32_t> reports;
  TABSProgressRange range{0, 50, [&](int32_t percent, bool&) { reports.push_back(percent); }};
  bool go_on = true;
  std::string errors;
  CopyTableForCompact(*database_, copy, "hraci", range, go_on, errors);
  EXPECT_EQ(errors, "");
  EXPECT_EQ(reports.back(), 50);

  TABSTable& copied = NewTable("hraci");
  copied.SetDatabaseName("kopie");
  copied.SetIndexName("I_id");
  copied.Open();
  EXPECT_EQ(Column(copied, "Jmeno"), (Names{"A", "B"}));
  AddPlayer(copied, "D", 1);
  EXPECT_EQ(copied.FieldByName("id").AsInteger(), 4);
  copied.Close();
}

TEST_F(DatasetTest, CompactCopiesThroughTheRegisteredCopier) {
  RegisterTableCopier();
  TABSTable& players = Players();
  players.Open();
  for (const char* name : {"A", "B", "C"}) AddPlayer(players, name, 1);
  players.Last();
  players.Delete();
  players.Close();
  database_->Close();
  EXPECT_EQ(database_->Compact(), "");
  database_->Open();
  players.Open();
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"A", "B"}));
  AddPlayer(players, "D", 1);
  EXPECT_EQ(players.FieldByName("id").AsInteger(), 4);
}

}  // namespace
}  // namespace kelvorin::testing
