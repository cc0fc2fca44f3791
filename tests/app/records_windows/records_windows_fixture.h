// A data module over "velinari" in a scratch home and working directory,
// with players and seatings typed in through its cursors, for the records
// windows' tests.
#pragma once

#include <QApplication>
#include <memory>
#include <string>

#include "app/grid/db_grid.h"
#include "records/data/tournament_data.h"
#include "tests/app/scripted_dialogs.h"

namespace app_test {

class RecordsWindowsTest : public QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    data_ = std::make_unique<records::TData>();
    data_->InitNew(records::TData::kFileName);
  }
  void TearDown() override {
    QApplication::processEvents();
    data_.reset();
    QtFixture::TearDown();
  }

  void AddPlayer(int32_t id, const std::string& name) {
    kelvorin::TABSTable& players = data_->tblHraci();
    players.Insert();
    players.FieldByName("id").SetAsInteger(id);
    players.FieldByName("Jmeno").SetAsString(name);
    players.Post();
  }
  void AddSeating(int32_t player, int32_t table, int32_t round) {
    kelvorin::TABSTable& seatings = data_->tblSeskupeni();
    seatings.Insert();
    seatings.FieldByName("id_hrace").SetAsInteger(player);
    seatings.FieldByName("Stul").SetAsInteger(table);
    seatings.FieldByName("Kolo").SetAsInteger(round);
    seatings.Post();
    data_->tblSeskupeniWin().Refresh();
  }
  void SetRound(int32_t round) {
    kelvorin::TABSTable& param = data_->tblParam();
    param.Edit();
    param.FieldByName("Kolo").SetAsInteger(round);
    param.Post();
  }
  // Players 1..4 ("Novák", "Říha", "Šťastný", "Žák" in the code page),
  // seated in rounds 1 and 2 at tables 2, 1, 1, 2 and 1, 2, 2, 1.
  void AddTournament() {
    const char* names[] = {"Nov\xE1k", "\xD8\xED" "ha", "\x8A\x9D" "astn\xFD", "\x8E\xE1k"};
    for (int32_t id = 1; id <= 4; ++id) AddPlayer(id, names[id - 1]);
    const int32_t tables[2][4] = {{2, 1, 1, 2}, {1, 2, 2, 1}};
    for (int32_t round = 1; round <= 2; ++round)
      for (int32_t id = 1; id <= 4; ++id) AddSeating(id, tables[round - 1][id - 1], round);
  }

  static QString Cell(app::TDBGrid& grid, int row, int column) {
    return grid.model()->index(row, column).data().toString();
  }
  static QStringList Column(app::TDBGrid& grid, int column) {
    QApplication::processEvents();
    grid.Model().Sync();
    QStringList values;
    for (int row = 0; row < grid.model()->rowCount(); ++row) values << Cell(grid, row, column);
    return values;
  }

  ScriptedDialogs dialogs_;
  std::unique_ptr<records::TData> data_;
};

}  // namespace app_test
