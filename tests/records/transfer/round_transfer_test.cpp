#include "records/transfer/round_transfer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/pairing/engine_fixture.h"
#include "tests/records/data/records_test_util.h"

namespace records::testing {
namespace {

class RoundTransferTest : public RecordsTest {
 protected:
  RoundTransferTest() : engine_(dialogs_) {}

  pairing_test::ScriptedDialogs dialogs_;
  pairing::PairingEngine engine_;
};

TEST_F(RoundTransferTest, GridToSeatingThenSeatingToGridGivesTheGridBack) {
  data_->InitNew(FilePath());
  for (int id = 1; id <= 4; ++id) AddPlayer(id, "H" + std::to_string(id));
  engine_.ImportFromText("1\t3\r1\t1\r2\t\r2\t0\r");
  ASSERT_TRUE(GridToSeating(*data_, &engine_, {}));
  pairing::PairingEngine loaded(dialogs_);
  SeatingToGrid(*data_, &loaded);
  EXPECT_EQ(loaded.RoundCount(), 1);
  EXPECT_EQ(loaded.PlayerCount(), 4);
  EXPECT_EQ(loaded.ExportToText(), engine_.ExportToText());
}

TEST_F(RoundTransferTest, ChainDrawsTheFirstRoundIntoTheTable) {
  data_->InitNew(FilePath());
  for (int id = 1; id <= 8; ++id) AddPlayer(id, "H" + std::to_string(id));
  ASSERT_TRUE(RoundChain(*data_, &engine_));
  EXPECT_EQ(data_->tblSeskupeni().RecordCount(), 8);
  EXPECT_EQ(data_->CurrentRound(), 1);
}

}  // namespace
}  // namespace records::testing
