// Faults under a dataset: a commit that fails inside Post, and a rollback
// of records another dataset stands among.
#include "db/access/dataset/engine_error.h"
#include "db/storage/catalog/catalog_check.h"
#include "tests/db/access/dataset/dataset_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin::testing {
namespace {

using Names = std::vector<std::string>;

TEST_F(DatasetTest, CommitFailingInsidePostLosesNothingAndARetryAddsOnce) {
  TABSTable& players = Players();
  players.Open();
  const std::string path = database_->DatabaseFileName();
  {
    WriteFaults faults(path, WriteFaults::Scope::kFileAndJournal);
    faults.fail_at = 1;
    players.Insert();
    players.FieldByName("Jmeno").SetAsString("Novak");
    EXPECT_NE(Raised([&] { players.Post(); }), "");
    EXPECT_EQ(players.State(), TDataSetState::dsInsert) << "the record stays for a retry";
    EXPECT_EQ(players.FieldByName("Jmeno").AsString(), "Novak");
    EXPECT_TRUE(players.FieldByName("id").IsNull()) << "the number it was given is taken back";
  }
  players.Post();
  EXPECT_EQ(players.RecordCount(), 1);
  {
    WriteFaults faults(path, WriteFaults::Scope::kFileAndJournal);
    faults.fail_at = 1;
    players.Insert();
    players.FieldByName("Jmeno").SetAsString("Svoboda");
    EXPECT_NE(Raised([&] { players.Post(); }), "");
  }
  players.Close();
  database_->Close();
  EXPECT_TRUE(CheckDatabaseCatalogue(path).Clean()) << CheckDatabaseCatalogue(path).Describe();
  database_->Open();
  players.Open();
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"Novak"})) << "the failed post left nothing behind";
  EXPECT_EQ(Column(players, "id"), (Names{"1"}));
}

TEST_F(DatasetTest, RollbackLeavesEveryDatasetOnCommittedRecords) {
  TABSTable& writer = Players();
  writer.Open();
  for (int i = 0; i < 10; ++i) AddPlayer(writer, "C" + std::to_string(i), i);
  TABSTable& reader = NewTable("hraci");
  reader.SetIndexName("I_id");
  reader.Open();
  TABSTable& storage_order = NewTable("hraci");
  storage_order.Open();

  database_->StartTransaction();
  for (int i = 0; i < 200; ++i) AddPlayer(writer, "T" + std::to_string(i), i);
  reader.SetRecNo(105);
  storage_order.SetRecNo(150);
  EXPECT_EQ(reader.FieldByName("Jmeno").AsString(), "T94");
  database_->Rollback();
  // Without a move of their own: a view showing them must not paint records
  // that are gone.
  EXPECT_EQ(reader.FieldByName("Jmeno").AsString(), "C9") << "the nearest record left";
  EXPECT_EQ(storage_order.FieldByName("Jmeno").AsString().substr(0, 1), "C") << "the nearest record left";

  Names committed;
  for (int i = 0; i < 10; ++i) committed.push_back("C" + std::to_string(i));
  Names backwards(committed.rbegin(), committed.rend());
  reader.Next();
  EXPECT_TRUE(reader.Eof()) << "nothing committed lies after the record it stood on";
  for (TABSTable* dataset : {&writer, &reader, &storage_order}) {
    EXPECT_EQ(Column(*dataset, "Jmeno"), committed);
    EXPECT_EQ(ColumnBackwards(*dataset, "Jmeno"), backwards);
    EXPECT_EQ(dataset->RecordCount(), 10);
  }
  AddPlayer(writer, "N", 0);
  EXPECT_EQ(writer.FieldByName("id").AsInteger(), 11) << "numbers of rolled-back records come again";
  writer.Close();
  reader.Close();
  storage_order.Close();
  database_->Close();
  const TABSIntegrityReport report = CheckDatabaseCatalogue(database_->DatabaseFileName());
  EXPECT_TRUE(report.Clean()) << report.Describe();
}

}  // namespace
}  // namespace kelvorin::testing
