// The records tests' data module over "velinari", in a scratch directory
// that is also the home of the window settings, for the records windows'
// tests.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <cstdlib>
#include <string>

#include "app/grid/db_grid.h"
#include "tests/app/scripted_dialogs.h"
#include "tests/records/data/records_test_util.h"

namespace app_test {

class RecordsWindowsTest : public records::testing::RecordsTest {
 protected:
  void SetUp() override {
    RecordsTest::SetUp();
    const char* home = std::getenv("HOME");
    previous_home_ = home != nullptr ? home : "";
    ASSERT_EQ(setenv("HOME", dir_.c_str(), 1), 0);
    data_->InitNew(FilePath());
  }
  void TearDown() override {
    QApplication::processEvents();
    RecordsTest::TearDown();
    setenv("HOME", previous_home_.c_str(), 1);
  }

  // Players 1..4 ("Novák", "Říha", "Šťastný", "Žák" in the code page),
  // seated in rounds 1 and 2 at tables 2, 1, 1, 2 and 1, 2, 2, 1.
  void AddTournament() {
    const char* names[] = {"Nov\xE1k", "\xD8\xED" "ha", "\x8A\x9D" "astn\xFD", "\x8E\xE1k"};
    for (int32_t id = 1; id <= 4; ++id) AddPlayer(id, names[id - 1]);
    const int32_t tables[2][4] = {{2, 1, 1, 2}, {1, 2, 2, 1}};
    for (int32_t round = 1; round <= 2; ++round)
      for (int32_t id = 1; id <= 4; ++id) AddSeating(id, tables[round - 1][id - 1], round, 0);
    data_->tblSeskupeniWin().Refresh();
  }

  // Opens the editor of a cell and types into it, without committing.
  static QLineEdit* Type(app::TDBGrid& grid, int row, int column, const QString& text) {
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(row, column));
    grid.edit(grid.currentIndex());
    auto* editor = qobject_cast<QLineEdit*>(grid.OpenEditor());
    if (editor != nullptr) editor->setText(text);
    return editor;
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

 private:
  std::string previous_home_;
};

}  // namespace app_test
