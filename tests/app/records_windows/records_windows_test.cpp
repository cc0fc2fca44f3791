// The players and seating windows over the real engine, and the main
// window's first showing with the data module.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include "app/main_form.h"
#include "app/records_windows/hraci_win.h"
#include "app/records_windows/seskupeni_win.h"
#include "tests/app/records_windows/records_windows_fixture.h"

namespace app_test {
namespace {

using app::THraciWin;
using app::TSeskupeniWin;
using kelvorin::TDataSetState;

class PlayersWindowTest : public RecordsWindowsTest {
 protected:
  std::unique_ptr<THraciWin> Open() {
    auto window = std::make_unique<THraciWin>(*data_, dialogs_);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    QApplication::processEvents();
    return window;
  }
};

TEST_F(PlayersWindowTest, TypingAPlayerAndLeavingTheRowPostsIt) {
  AddPlayer(1, "Nov\xE1k");
  auto window = Open();
  app::TDBGrid& grid = window->Grid();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Hráči"));
  grid.setFocus();
  grid.setCurrentIndex(grid.model()->index(0, 1));
  QTest::keyClick(&grid, Qt::Key_Down);
  ASSERT_EQ(data_->tblHraci().State(), TDataSetState::dsInsert);
  QTest::keyClick(&grid, Qt::Key_C);  // any key opens the editor
  auto* editor = qobject_cast<QLineEdit*>(grid.OpenEditor());
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("Černý"));
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();
  QTest::keyClick(&grid, Qt::Key_Up);
  EXPECT_EQ(data_->tblHraci().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Column(grid, 1), (QStringList{QStringLiteral("Novák"), QStringLiteral("Černý")}));
  EXPECT_EQ(Column(grid, 0), (QStringList{"1", "2"}));
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

TEST_F(PlayersWindowTest, DeletingAPlayerWithSeatingsAsksFirst) {
  AddPlayer(1, "A");
  AddPlayer(2, "B");
  AddSeating(1, 1, 1, 0);
  auto window = Open();
  struct Case {
    int row;
    std::deque<bool> answers;
    size_t questions;
    QStringList left;
  };
  const std::vector<Case> cases = {
      {0, {false}, 1, {"A", "B"}},  // has seatings, No: kept
      {1, {}, 1, {"A"}},            // no seatings: no question
      {0, {true}, 2, {}},           // has seatings, Yes: deleted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    window->Grid().setCurrentIndex(window->Grid().model()->index(c.row, 1));
    dialogs_.answers = c.answers;
    window->MenuAction(QStringLiteral("Delete1"))->trigger();
    EXPECT_EQ(dialogs_.questions.size(), c.questions);
    EXPECT_EQ(Column(window->Grid(), 1), c.left);
  }
  window->MenuAction(QStringLiteral("Delete1"))->trigger();
  EXPECT_EQ(dialogs_.errors, std::vector<std::string>{"Cannot perform this operation on an empty dataset - Native error: 10836"});
}

TEST_F(PlayersWindowTest, SaveAllAndLoadAllThroughTheMenu) {
  AddPlayer(3, "Nov\xE1k");
  AddPlayer(5, "\xD8\xED" "ha");
  auto window = Open();
  dialogs_.texts = {"hraci.txt"};
  window->MenuAction(QStringLiteral("SaveAll1"))->trigger();
  window->MenuAction(QStringLiteral("SaveAll1"))->trigger();  // cancelled: nothing written
  EXPECT_EQ(dialogs_.questions, (std::vector<std::string>{"Save to filename", "Save to filename"}));
  data_->tblHraci().First();
  data_->tblHraci().Delete();
  EXPECT_EQ(Column(window->Grid(), 1), (QStringList{"Říha"}));
  dialogs_.texts = {"hraci.txt"};
  window->MenuAction(QStringLiteral("LoadAll1"))->trigger();
  EXPECT_EQ(Column(window->Grid(), 0), (QStringList{"3", "5"}));
  EXPECT_EQ(Column(window->Grid(), 1), (QStringList{"Novák", "Říha"}));
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

TEST_F(PlayersWindowTest, PopUpMenuInItsOrder) {
  auto window = Open();
  QStringList texts;
  for (QAction* action : window->Grid().actions()) texts << (action->isSeparator() ? "-" : action->text());
  EXPECT_EQ(texts, (QStringList{"Delete", "-", "SaveAll", "LoadAll"}));
}

class SeatingWindowTest : public RecordsWindowsTest {
 protected:
  std::unique_ptr<TSeskupeniWin> Open() {
    auto window = std::make_unique<TSeskupeniWin>(*data_, dialogs_);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    QApplication::processEvents();
    return window;
  }
};

TEST_F(SeatingWindowTest, ColumnsAndTheLookedUpNames) {
  AddTournament();
  SetRound(1);
  auto window = Open();
  app::TDBGrid& grid = window->Grid();
  QStringList titles;
  for (int column = 0; column < grid.model()->columnCount(); ++column)
    titles << grid.model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  EXPECT_EQ(titles, (QStringList{"id", "Jméno", "Stůl", "Kolo", "Body", "Skóre"}));
  EXPECT_EQ(Column(grid, 1),
            (QStringList{"Novák", "Říha", "Šťastný", "Žák"}));
}

TEST_F(SeatingWindowTest, TheNameColumnOffersThePlayersAndSetsTheId) {
  AddTournament();
  SetRound(1);
  auto window = Open();
  app::TDBGrid& grid = window->Grid();
  grid.setFocus();
  grid.setCurrentIndex(grid.model()->index(0, 1));
  grid.edit(grid.currentIndex());
  auto* combo = qobject_cast<QComboBox*>(grid.OpenEditor());
  ASSERT_NE(combo, nullptr);
  QStringList names;
  for (int i = 0; i < combo->count(); ++i) names << combo->itemText(i);
  EXPECT_EQ(names, (QStringList{"Novák", "Říha", "Šťastný", "Žák"}));
  EXPECT_EQ(combo->currentText(), QStringLiteral("Novák"));
  combo->setCurrentIndex(names.indexOf(QStringLiteral("Žák")));
  ASSERT_TRUE(grid.CommitPending());
  grid.Model().Sync();
  EXPECT_EQ(Cell(grid, 0, 0), QStringLiteral("4"));
  EXPECT_EQ(Cell(grid, 0, 1), QStringLiteral("Žák"));
  EXPECT_EQ(data_->tblSeskupeniWin().FieldByName("id_hrace").AsInteger(), 4);
}

TEST_F(SeatingWindowTest, FilterAndCaptionFollowTheRoundAndTheCheckMark) {
  AddTournament();
  auto window = Open();
  app::TDBGrid& grid = window->Grid();
  // No current round: nothing filtered out, nothing after "kolo ".
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Rozesazení - kolo "));
  EXPECT_EQ(Column(grid, 3).size(), 8);
  SetRound(2);
  data_->ApplyRoundFilter();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Rozesazení - kolo 2"));
  EXPECT_EQ(Column(grid, 3), (QStringList{"2", "2", "2", "2"}));
  window->MenuAction(QStringLiteral("Filtered1"))->trigger();
  EXPECT_FALSE(window->MenuAction(QStringLiteral("Filtered1"))->isChecked());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Rozesazení"));
  EXPECT_EQ(Column(grid, 3).size(), 8);
  window->Filtered1Click();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Rozesazení - kolo 2"));
  EXPECT_EQ(Column(grid, 3).size(), 4);
}

TEST_F(SeatingWindowTest, SortingByTableCommitsTheTypedResultFirst) {
  AddTournament();
  SetRound(1);
  auto window = Open();
  app::TDBGrid& grid = window->Grid();
  ASSERT_NE(Type(grid, 0, 4, QStringLiteral("3")), nullptr);  // Body of player 1
  window->GridTitleBtnClick(2);                                // "Stůl"
  EXPECT_EQ(grid.OpenEditor(), nullptr);
  EXPECT_EQ(data_->tblSeskupeniWin().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Column(grid, 2), (QStringList{"1", "1", "2", "2"}));
  const QStringList ids = Column(grid, 0);
  const QStringList results = Column(grid, 4);
  EXPECT_EQ(results[ids.indexOf("1")], "3");
  EXPECT_EQ(grid.horizontalHeader()->sortIndicatorSection(), 2);
  EXPECT_TRUE(grid.horizontalHeader()->isSortIndicatorShown());
  // The looked-up name orders nothing.
  window->GridTitleBtnClick(1);
  EXPECT_EQ(data_->tblSeskupeniWin().IndexFields(), std::vector<std::string>{"Stul"});
  EXPECT_EQ(grid.horizontalHeader()->sortIndicatorSection(), 2);
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

TEST_F(SeatingWindowTest, ARefusedResultStopsTheSortAndKeepsTheEditor) {
  AddTournament();
  SetRound(1);
  auto window = Open();
  app::TDBGrid& grid = window->Grid();
  QLineEdit* editor = Type(grid, 0, 4, QStringLiteral("99999999999"));
  ASSERT_NE(editor, nullptr);
  window->GridTitleBtnClick(2);
  EXPECT_EQ(dialogs_.errors.size(), 1u);
  EXPECT_EQ(grid.OpenEditor(), editor);
  EXPECT_TRUE(data_->tblSeskupeniWin().IndexName().empty());
  EXPECT_FALSE(grid.horizontalHeader()->isSortIndicatorShown());
}

// Results are typed down the result column: each move posts the row above,
// and the list read again afterwards keeps the cursor in that column.
TEST_F(SeatingWindowTest, TypingResultsDownTheColumnStaysInIt) {
  AddTournament();
  SetRound(1);
  auto window = Open();
  app::TDBGrid& grid = window->Grid();
  grid.setFocus();
  grid.setCurrentIndex(grid.model()->index(0, 4));
  for (int row = 0; row < 4; ++row) {
    SCOPED_TRACE(row);
    ASSERT_EQ(grid.currentIndex(), grid.model()->index(row, 4));
    QTest::keyClick(&grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid.OpenEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText(QString::number(row + 1));
    QTest::keyClick(editor, Qt::Key_Return);
    if (row < 3) QTest::keyClick(&grid, Qt::Key_Down);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  EXPECT_TRUE(grid.CommitPending());
  EXPECT_EQ(Column(grid, 4), (QStringList{"1", "2", "3", "4"}));
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

TEST_F(SeatingWindowTest, ClosingPostsThePendingResult) {
  AddTournament();
  SetRound(1);
  auto window = Open();
  ASSERT_NE(Type(window->Grid(), 1, 4, QStringLiteral("2")), nullptr);
  EXPECT_TRUE(window->close());
  data_->tblSeskupeni().Refresh();
  int32_t stored = -1;
  kelvorin::TABSTable& seatings = data_->tblSeskupeni();
  for (seatings.First(); !seatings.Eof(); seatings.Next())
    if (seatings.FieldByName("Kolo").AsInteger() == 1 && seatings.FieldByName("id_hrace").AsInteger() == 2)
      stored = seatings.FieldByName("Body").AsInteger();
  EXPECT_EQ(stored, 2);
}

TEST_F(SeatingWindowTest, ColumnWidthsAreKeptAcrossARestart) {
  AddTournament();
  {
    auto seating = Open();
    auto players = std::make_unique<THraciWin>(*data_, dialogs_);
    seating->Settings().Load();
    players->Settings().Load();
    for (int column = 0; column < 6; ++column) EXPECT_EQ(seating->Grid().columnWidth(column), 120);
    seating->Grid().setColumnWidth(2, 55);
    players->Grid().setColumnWidth(1, 77);
    seating->close();
    players->close();
  }
  data_.reset();
  data_ = std::make_unique<records::TData>();
  data_->InitNew(FilePath());
  auto seating = Open();
  THraciWin players(*data_, dialogs_);
  seating->Settings().Load();
  players.Settings().Load();
  EXPECT_EQ(seating->Grid().columnWidth(2), 55);
  EXPECT_EQ(seating->Grid().columnWidth(1), 120);
  EXPECT_EQ(players.Grid().columnWidth(1), 77);
  EXPECT_EQ(players.Grid().columnWidth(0), 120);
}

TEST_F(RecordsWindowsTest, FirstShowingOpensVelinariWithTheThreeWindows) {
  data_->ShutDatabase();
  {
    app::TMainForm form(dialogs_, data_.get());
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Pelmora - VElinari edition [velinari]"));
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("velinari")));
    EXPECT_TRUE(data_->tblHraci().Active());
    QStringList children;
    for (QMdiSubWindow* child : form.MdiArea()->subWindowList(QMdiArea::CreationOrder))
      children << child->objectName();
    EXPECT_EQ(children, (QStringList{"HraciWin", "SeskupeniWin", "SystemWin"}));
    EXPECT_EQ(form.SeskupeniWin()->windowTitle(), QStringLiteral("Rozesazení - kolo "));
    dialogs_.answers.clear();
    form.close();
  }
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"konec"});
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

TEST_F(RecordsWindowsTest, TheApplicationLeavesWindowTitlesAlone) {
  // Qt appends a display name that was set to every title on X11; an unset
  // one follows the application name.
  const QString name = QApplication::applicationName();
  QApplication::setApplicationName(QStringLiteral("Probe"));
  EXPECT_EQ(QApplication::applicationDisplayName(), QStringLiteral("Probe"));
  QApplication::setApplicationName(name);
}

}  // namespace
}  // namespace app_test
