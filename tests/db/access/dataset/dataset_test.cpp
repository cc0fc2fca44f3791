// The dataset over a table: opening, navigation, editing with its states
// and events, field values, filters, searches, bookmarks and record
// numbers, notifications.
#include "db/access/dataset/engine_error.h"
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
}

}  // namespace
}  // namespace kelvorin::testing
