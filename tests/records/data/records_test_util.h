// Shared helpers of the tournament records tests: a data module over a
// database file in a scratch directory, with players and seatings typed in
// through its cursors.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/locale_profile.h"
#include "records/data/tournament_data.h"
#include "tests/db/access/dataset/dataset_test_util.h"

namespace records::testing {

using kelvorin::testing::Raised;

class RecordsTest : public testing_support::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    kelvorin::SetAccessErrorHook(&hook_);
    data_ = std::make_unique<TData>();
  }
  void TearDown() override {
    data_.reset();
    kelvorin::SetAccessErrorHook(nullptr);
    EXPECT_TRUE(hook_.messages.empty()) << hook_.messages.front();
    ScratchDirTest::TearDown();
  }

  std::string FilePath(const char* name = TData::kFileName) const { return (dir_ / name).string(); }

  void AddPlayer(int32_t id, const std::string& name) {
    kelvorin::TABSTable& players = data_->tblHraci();
    players.Insert();
    players.FieldByName("id").SetAsInteger(id);
    players.FieldByName("Jmeno").SetAsString(name);
    players.Post();
  }
  void AddSeating(int32_t player, int32_t table, int32_t round, int32_t result) {
    kelvorin::TABSTable& seatings = data_->tblSeskupeni();
    seatings.Insert();
    seatings.FieldByName("id_hrace").SetAsInteger(player);
    seatings.FieldByName("Stul").SetAsInteger(table);
    seatings.FieldByName("Kolo").SetAsInteger(round);
    seatings.FieldByName("Body").SetAsInteger(result);
    seatings.Post();
  }
  void SetRound(int32_t round) {
    kelvorin::TABSTable& param = data_->tblParam();
    param.Edit();  // inserts the first record of an empty table
    param.FieldByName("Kolo").SetAsInteger(round);
    param.Post();
  }
  // "id:name" of every player, in the cursor's order.
  std::vector<std::string> Players() {
    std::vector<std::string> rows;
    kelvorin::TABSTable& players = data_->tblHraci();
    for (players.First(); !players.Eof(); players.Next()) {
      rows.push_back(players.FieldByName("id").AsString() + ":" + players.FieldByName("Jmeno").AsString());
    }
    return rows;
  }
  // One field of every record of the seating list, in its order.
  std::vector<std::string> SeatingColumn(const char* field) {
    std::vector<std::string> values;
    kelvorin::TABSTable& list = data_->tblSeskupeniWin();
    for (list.First(); !list.Eof(); list.Next()) values.push_back(list.FieldByName(field).AsString());
    return values;
  }

  kelvorin::testing::RecordingErrorHook hook_;
  std::unique_ptr<TData> data_;
};

}  // namespace records::testing
