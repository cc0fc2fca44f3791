#include "records/data/players_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/records/data/records_test_util.h"

namespace records::testing {
namespace {

class PlayersFileTest : public RecordsTest {
 protected:
  void SetUp() override {
    RecordsTest::SetUp();
    data_->InitNew(FilePath());
  }
  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
};

TEST_F(PlayersFileTest, SaveAllThenLoadAllRestoresTheIdsAndNames) {
  AddPlayer(3, "Jan Nov\xE1k");
  AddPlayer(1, "\"Kulich\" \x8A");
  AddPlayer(7, "a,b");
  const std::vector<std::string> before = Players();
  SaveAll(*data_, FilePath("hraci.txt"));
  EXPECT_EQ(ReadFile("hraci.txt"), "3,\"Jan Nov\xE1k\"\r\n1,\"\"\"Kulich\"\" \x8A\"\r\n7,\"a,b\"\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "hraci.txt.tmp"));
  AddPlayer(9, "Navíc");
  LoadAll(*data_, FilePath("hraci.txt"));
  EXPECT_EQ(Players(), before);
  EXPECT_EQ(data_->tblHraci().State(), kelvorin::TDataSetState::dsBrowse);
}

TEST_F(PlayersFileTest, SaveAllWithNoPlayersWritesAnEmptyFileOverTheOldOne) {
  WriteFile("hraci.txt", "old");
  SaveAll(*data_, FilePath("hraci.txt"));
  EXPECT_EQ(ReadFile("hraci.txt"), "");
}

TEST_F(PlayersFileTest, SaveAllIntoAMissingFolderReportsTheErrorAndWritesNothing) {
  const std::string path = FilePath("missing/hraci.txt");
  EXPECT_EQ(Raised([&] { SaveAll(*data_, path); }),
            "Cannot create file \"" + path + ".tmp\". No such file or directory");
}

TEST_F(PlayersFileTest, SaveAllPostsThePlayerBeingTyped) {
  AddPlayer(1, "A");
  kelvorin::TABSTable& players = data_->tblHraci();
  players.Edit();
  players.FieldByName("Jmeno").SetAsString("B");
  SaveAll(*data_, FilePath("hraci.txt"));
  EXPECT_EQ(ReadFile("hraci.txt"), "1,\"B\"\r\n");
}

TEST_F(PlayersFileTest, ABadLine7LeavesThePlayersExactlyAsBefore) {
  AddPlayer(4, "Prvn\xED");
  AddPlayer(2, "Druh\xFD");
  const std::vector<std::string> before = Players();
  std::string bytes;
  for (int id = 1; id <= 6; ++id) bytes += std::to_string(id) + ",\"H\"\r\n";
  WriteFile("hraci.txt", bytes + "x7,\"G\"\r\n");
  EXPECT_EQ(Raised([&] { LoadAll(*data_, FilePath("hraci.txt")); }), "Řádek 7: 'x7' není celé číslo hráče");
  EXPECT_EQ(Players(), before);
  EXPECT_EQ(data_->tblHraci().State(), kelvorin::TDataSetState::dsBrowse);
}

TEST_F(PlayersFileTest, AFailureWhileStoringRollsBackToThePlayersBefore) {
  AddPlayer(4, "A");
  const std::vector<std::string> before = Players();
  WriteFile("hraci.txt", "1,\"X\"\r\n2,\"Y\"\r\n3,\"Z\"\r\n");
  int posts = 0;
  data_->tblHraci().AfterInsert = [&](kelvorin::TDataSet&) {
    if (++posts == 3) throw std::runtime_error("disk full");
  };
  EXPECT_EQ(Raised([&] { LoadAll(*data_, FilePath("hraci.txt")); }), "disk full");
  data_->tblHraci().AfterInsert = nullptr;
  EXPECT_EQ(Players(), before);
  EXPECT_EQ(data_->tblHraci().State(), kelvorin::TDataSetState::dsBrowse);
  EXPECT_FALSE(data_->Database().InTransaction());
}

TEST_F(PlayersFileTest, AFileThatCannotBeOpenedLeavesThePlayers) {
  AddPlayer(4, "A");
  const std::string path = FilePath("nic.txt");
  EXPECT_EQ(Raised([&] { LoadAll(*data_, path); }), "Cannot open file \"" + path + "\". No such file or directory");
  EXPECT_EQ(Players(), std::vector<std::string>{"4:A"});
}

TEST_F(PlayersFileTest, LoadedNamesShowInTheSeatingList) {
  AddPlayer(1, "Star\xFD");
  AddSeating(1, 1, 1, 0);
  data_->tblSeskupeniWin().Refresh();
  WriteFile("hraci.txt", "\xEF\xBB\xBF" "1,\"Nov\xC3\xBD\"\n");
  LoadAll(*data_, FilePath("hraci.txt"));
  EXPECT_EQ(SeatingColumn("Jmeno"), std::vector<std::string>{"Nov\xFD"});
}

}  // namespace
}  // namespace records::testing
