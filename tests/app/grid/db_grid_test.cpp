// The data-aware grid over a real "hraci" table: what it shows, how the
// view and the dataset keep in step, editing, and the grid's keys.
#include "app/grid/db_grid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include "tests/app/scripted_dialogs.h"
#include "tests/db/access/dataset/dataset_test_util.h"

namespace app {
namespace {

using kelvorin::TDataSetState;
using kelvorin::TABSTable;

class DBGridTest : public kelvorin::testing::DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    TABSTable& players = Players();
    players.Open();
    // "Novák", "Říha", "Šťastný" in the code page.
    for (const char* name : {"Nov\xE1k", "\xD8\xED" "ha", "\x8A\x9D" "astn\xFD"}) AddPlayer(players, name, 0);
    players.First();
    table_ = &players;
    source_.SetDataSet(table_);
    grid_ = std::make_unique<TDBGrid>(
        source_, std::vector<TDBGridColumn>{{"id", QStringLiteral("id"), 46}, {"Jmeno", {}, 131}},
        dialogs_);
    grid_->resize(300, 200);
    grid_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    grid_.reset();
    DatasetTest::TearDown();
  }

  QString Cell(int row, int column) const {
    return grid_->model()->index(row, column).data().toString();
  }
  void Settle() {
    QApplication::processEvents();
    grid_->Model().Sync();
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(grid_.get(), static_cast<Qt::Key>(key), modifiers);
    Settle();
  }

  TABSTable* table_ = nullptr;
  kelvorin::TDataSource source_;
  app_test::ScriptedDialogs dialogs_;
  std::unique_ptr<TDBGrid> grid_;
};

TEST_F(DBGridTest, ShowsTheRecordsWithTheirCzechLetters) {
  ASSERT_EQ(grid_->model()->rowCount(), 3);
  EXPECT_EQ(Cell(0, 1), QStringLiteral("Novák"));
  EXPECT_EQ(Cell(1, 1), QStringLiteral("Říha"));
  EXPECT_EQ(Cell(2, 1), QStringLiteral("Šťastný"));
  EXPECT_EQ(Cell(2, 0), QStringLiteral("3"));
  EXPECT_EQ(grid_->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Jmeno");
}

TEST_F(DBGridTest, PaintingNeverMovesTheDataset) {
  int scrolls = 0;
  table_->AfterScroll = [&scrolls](kelvorin::TDataSet&) { ++scrolls; };
  grid_->grab();
  grid_->viewport()->repaint();
  EXPECT_EQ(scrolls, 0);
}

TEST_F(DBGridTest, TheViewAndTheDatasetFollowEachOther) {
  table_->Next();
  Settle();
  EXPECT_EQ(grid_->currentIndex().row(), 1);
  grid_->setCurrentIndex(grid_->model()->index(2, 1));
  EXPECT_EQ(table_->FieldByName("id").AsInteger(), 3);
  table_->First();
  Settle();
  EXPECT_EQ(grid_->currentIndex().row(), 0);
}

TEST_F(DBGridTest, LeavingARowPostsWhatWasTyped) {
  grid_->setCurrentIndex(grid_->model()->index(1, 1));
  ASSERT_TRUE(grid_->model()->setData(grid_->model()->index(1, 1), QStringLiteral("Žák")));
  EXPECT_EQ(table_->State(), TDataSetState::dsEdit);
  grid_->setCurrentIndex(grid_->model()->index(0, 1));
  Settle();
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Cell(1, 1), QStringLiteral("Žák"));
  table_->First();
  table_->Next();
  EXPECT_EQ(table_->FieldByName("Jmeno").AsString(), "\x8E\xE1k");
}

TEST_F(DBGridTest, RefusedValuesKeepTheRecordAndNameTheProblem) {
  struct Case {
    int column;
    QString text;
    std::string error_part;
  };
  const std::vector<Case> cases = {
      {1, QStringLiteral("Søren"), "'ø'"},
      {0, QStringLiteral("99999999999"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    EXPECT_FALSE(grid_->model()->setData(grid_->model()->index(0, c.column), c.text));
    EXPECT_FALSE(grid_->Model().LastError().empty());
    EXPECT_NE(grid_->Model().LastError().find(c.error_part), std::string::npos) << grid_->Model().LastError();
    table_->Cancel();
  }
  EXPECT_EQ(Cell(0, 1), QStringLiteral("Novák"));
}

TEST_F(DBGridTest, AnEditorWhoseValueIsRefusedStaysOpen) {
  grid_->setFocus();
  grid_->setCurrentIndex(grid_->model()->index(0, 1));
  grid_->edit(grid_->currentIndex());
  auto* editor = qobject_cast<QLineEdit*>(grid_->OpenEditor());
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("Søren"));
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
  EXPECT_EQ(grid_->OpenEditor(), editor);
  ASSERT_EQ(dialogs_.errors.size(), 1u);
  // Esc gives up the editor, a second Esc the record.
  QTest::keyClick(editor, Qt::Key_Escape);
  Settle();
  EXPECT_EQ(grid_->OpenEditor(), nullptr);
  EXPECT_EQ(Cell(0, 1), QStringLiteral("Novák"));
}

TEST_F(DBGridTest, IntegerEditorsTakeWholeNumbersOnly) {
  grid_->setCurrentIndex(grid_->model()->index(0, 0));
  grid_->edit(grid_->currentIndex());
  auto* editor = qobject_cast<QLineEdit*>(grid_->OpenEditor());
  ASSERT_NE(editor, nullptr);
  editor->clear();
  QTest::keyClicks(editor, QStringLiteral("2.5x"));
  EXPECT_EQ(editor->text(), QStringLiteral("25"));
}

TEST_F(DBGridTest, EscCancelsTheRecordBeingEdited) {
  grid_->setFocus();
  ASSERT_TRUE(grid_->model()->setData(grid_->model()->index(0, 1), QStringLiteral("X")));
  EXPECT_EQ(Cell(0, 1), QStringLiteral("X"));
  Key(Qt::Key_Escape);
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Cell(0, 1), QStringLiteral("Novák"));
}

TEST_F(DBGridTest, InsertShowsANewRowThatLeavingUnchangedCancels) {
  grid_->setFocus();
  grid_->setCurrentIndex(grid_->model()->index(1, 1));
  Key(Qt::Key_Insert);
  EXPECT_EQ(table_->State(), TDataSetState::dsInsert);
  ASSERT_EQ(grid_->model()->rowCount(), 4);
  EXPECT_TRUE(grid_->Model().IsInsertRow(1));
  EXPECT_EQ(grid_->currentIndex().row(), 1);
  EXPECT_EQ(Cell(2, 1), QStringLiteral("Říha"));
  grid_->clearFocus();
  Settle();
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(grid_->model()->rowCount(), 3);
  EXPECT_EQ(table_->RecordCount(), 3);
}

TEST_F(DBGridTest, DownOnTheLastRowAppendsAndLeavingPostsTheTypedPlayer) {
  grid_->setFocus();
  grid_->setCurrentIndex(grid_->model()->index(2, 1));
  Key(Qt::Key_Down);
  ASSERT_EQ(table_->State(), TDataSetState::dsInsert);
  EXPECT_TRUE(grid_->Model().IsInsertRow(3));
  Key(Qt::Key_Down);  // an unchanged new row appends no second one
  EXPECT_EQ(grid_->model()->rowCount(), 4);
  ASSERT_TRUE(grid_->model()->setData(grid_->model()->index(3, 1), QStringLiteral("Černý")));
  Key(Qt::Key_Up);
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(table_->RecordCount(), 4);
  EXPECT_EQ(Cell(3, 1), QStringLiteral("Černý"));
  EXPECT_EQ(Cell(3, 0), QStringLiteral("4"));
}

TEST_F(DBGridTest, CtrlDeleteAsksFirst) {
  grid_->setFocus();
  grid_->setCurrentIndex(grid_->model()->index(1, 1));
  dialogs_.answers = {false, true};
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(table_->RecordCount(), 3);
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(dialogs_.questions, (std::vector<std::string>{"Delete record?", "Delete record?"}));
  EXPECT_EQ(table_->RecordCount(), 2);
  EXPECT_EQ(Cell(1, 1), QStringLiteral("Šťastný"));
}

TEST_F(DBGridTest, ARightClickMovesTheCurrentRow) {
  const QRect cell = grid_->visualRect(grid_->model()->index(2, 1));
  QTest::mouseClick(grid_->viewport(), Qt::RightButton, {}, cell.center());
  EXPECT_EQ(table_->FieldByName("id").AsInteger(), 3);
}

TEST_F(DBGridTest, TitlesReportClicksAndShowTheSortMark) {
  std::vector<int> clicked;
  QObject::connect(grid_.get(), &TDBGrid::TitleClicked, [&clicked](int column) { clicked.push_back(column); });
  QHeaderView* titles = grid_->horizontalHeader();
  QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                    QPoint(titles->sectionViewportPosition(1) + 5, titles->height() / 2));
  EXPECT_EQ(clicked, std::vector<int>{1});
  grid_->SetSortField("Jmeno");
  EXPECT_TRUE(titles->isSortIndicatorShown());
  EXPECT_EQ(titles->sortIndicatorSection(), 1);
}

TEST_F(DBGridTest, ClosingAndOpeningTheDatasetEmptiesAndRefillsTheGrid) {
  table_->Close();
  EXPECT_EQ(grid_->model()->rowCount(), 0);
  table_->Open();
  Settle();
  EXPECT_EQ(grid_->model()->rowCount(), 3);
}

}  // namespace
}  // namespace app
