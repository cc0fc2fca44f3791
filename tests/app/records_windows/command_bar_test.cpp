// The command bar over the real engine and the real draw (cmd and wmatch):
// rounds drawn with "Seskup kolo" from the players and results the user
// typed, the two transfers of "System Level", and the tournament kept in
// "velinari" when the program starts again.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QToolBox>

#include "pairing/system_win.h"
#include "tests/app/records_windows/main_form_fixture.h"

namespace app_test {
namespace {

using CommandBarTest = MainFormTest;

constexpr int kPlayers = 12;

TEST_F(CommandBarTest, TheUseLevelPageShowsAtStart) {
  app::TMainForm& form = Start();
  auto* pages = form.findChild<QToolBox*>();
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(pages->itemText(pages->currentIndex()), "Use Level");
  EXPECT_EQ(pages->itemText(0), "System Level");
  for (const char* name : {"GridToSeating", "SeatingToGrid", "RoundChain"})
    EXPECT_TRUE(form.findChild<QPushButton*>(name)->isEnabled()) << name;
}

// Results typed into the seating window, one of them still in its editor,
// go into the history the next round is drawn from: no result is missing,
// so nothing is asked.
TEST_F(CommandBarTest, SeskupKoloDrawsEachRoundFromTheTypedResults) {
  app::TMainForm& form = Start();
  for (int32_t id = 1; id <= kPlayers; ++id) AddPlayer(id, "Hrac " + std::to_string(id));
  ClickCommand("RoundChain");
  ASSERT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
  EXPECT_EQ(StoredRounds(), (std::map<int32_t, int>{{1, kPlayers}}));
  EXPECT_EQ(TableSizes(1), (std::map<int32_t, int>{{1, 4}, {2, 4}, {3, 4}}));
  EXPECT_EQ(data_->CurrentRoundText(), "1");
  EXPECT_EQ(Box().text(), "1");
  EXPECT_EQ(form.SeskupeniWin()->windowTitle(), QStringLiteral("Rozesazení - kolo 1"));
  EXPECT_EQ(form.SeskupeniWin()->Grid().model()->rowCount(), kPlayers);
  EXPECT_EQ(form.CurrentSystemWin()->StaticText1()->text(), "1");

  app::TDBGrid& grid = form.SeskupeniWin()->Grid();
  const int32_t typed_player = Cell(grid, 0, 0).toInt();
  for (int32_t id = 1; id <= kPlayers; ++id)
    if (id != typed_player) SetStoredBody(id, 1, id % 4);
  data_->tblSeskupeniWin().Refresh();
  Settle();
  ASSERT_NE(Type(grid, 0, 4, QStringLiteral("2")), nullptr);
  ClickCommand("RoundChain");
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
  EXPECT_TRUE(dialogs_.questions.empty()) << dialogs_.questions.front();
  EXPECT_EQ(StoredRounds(), (std::map<int32_t, int>{{1, kPlayers}, {2, kPlayers}}));
  EXPECT_EQ(StoredBody(typed_player, 1), 2);
  EXPECT_EQ(TableSizes(2), (std::map<int32_t, int>{{1, 4}, {2, 4}, {3, 4}}));
  EXPECT_EQ(data_->CurrentRoundText(), "2");
  EXPECT_EQ(form.SeskupeniWin()->windowTitle(), QStringLiteral("Rozesazení - kolo 2"));
  EXPECT_EQ(form.CurrentSystemWin()->Engine().RoundCount(), 2);
}

// After Save the file is closed; the chain opens it again and keeps every
// round.
TEST_F(CommandBarTest, SaveThenSeskupKoloKeepsEveryRound) {
  app::TMainForm& form = Start();
  for (int32_t id = 1; id <= 8; ++id) AddPlayer(id, "Hrac " + std::to_string(id));
  ClickCommand("RoundChain");
  form.Action("FileSave1")->trigger();
  Settle();
  ASSERT_FALSE(data_->tblSeskupeni().Active());
  dialogs_.answers = {true, true};  // the missing results count as zero
  ClickCommand("RoundChain");
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
  EXPECT_EQ(StoredRounds(), (std::map<int32_t, int>{{1, 8}, {2, 8}}));
  EXPECT_EQ(data_->CurrentRoundText(), "2");
}

// "Seskup kolo" without players draws nothing and leaves the table alone.
TEST_F(CommandBarTest, SeskupKoloWithoutPlayersChangesNothing) {
  Start();
  AddTournament();
  kelvorin::TABSTable& players = data_->tblHraci();
  for (players.First(); !players.IsEmpty();) players.Delete();
  ClickCommand("RoundChain");
  EXPECT_EQ(StoredRounds(), (std::map<int32_t, int>{{1, 4}, {2, 4}}));
  EXPECT_EQ(data_->CurrentRoundText(), "");
  EXPECT_EQ(dialogs_.messages.size() + dialogs_.errors.size(), 1u);
}

// A fresh pairing window holds no rounds: writing its grid over the stored
// history is asked first, and No (the default) keeps the history.
TEST_F(CommandBarTest, SysToSeskupWithAShorterGridAsksFirst) {
  const struct {
    bool answer;
    std::map<int32_t, int> rounds_after;
  } cases[] = {{false, {{1, 4}, {2, 4}}}, {true, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    app::TMainForm& form = Start();
    if (data_->tblSeskupeni().IsEmpty()) AddTournament();
    form.Action("SytemWindow1")->trigger();
    dialogs_.questions.clear();
    dialogs_.default_no_questions.clear();
    dialogs_.answers = {c.answer};
    ClickCommand("GridToSeating");
    EXPECT_EQ(dialogs_.default_no_questions.size(), 1u);
    EXPECT_EQ(dialogs_.questions, dialogs_.default_no_questions);
    EXPECT_EQ(StoredRounds(), c.rounds_after);
    EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
    form_->close();
    form_.reset();
    data_->ShutDatabase();
  }
}

// "Seskup > Sys" fills the current pairing window from the table; "Sys >
// Seskup" writes it back as it stands, what is in a cell editor included.
TEST_F(CommandBarTest, SeskupToSysAndBack) {
  app::TMainForm& form = Start();
  AddTournament();
  ClickCommand("SeatingToGrid");
  pairing::TSystemWin& window = *form.CurrentSystemWin();
  EXPECT_EQ(window.Engine().RoundCount(), 2);
  EXPECT_EQ(window.Engine().PlayerCount(), 4);
  EXPECT_EQ(window.StaticText1()->text(), "2");
  // Model (row, column) is cell (column + 1, row + 1): player 1's table in round 2.
  EXPECT_EQ(window.Grid()->model()->index(0, 2).data().toString(), "1");
  // Player 1's result in round 2 typed into the pairing grid, editor open.
  QTableView* view = window.Grid();
  view->setCurrentIndex(view->model()->index(0, 3));
  view->edit(view->currentIndex());
  auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("3"));
  ClickCommand("GridToSeating");
  EXPECT_TRUE(dialogs_.questions.empty());
  EXPECT_EQ(StoredRounds(), (std::map<int32_t, int>{{1, 4}, {2, 4}}));
  EXPECT_EQ(StoredBody(1, 2), 3);
  EXPECT_EQ(view->indexWidget(view->currentIndex()), nullptr);
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

// When New failed at the first showing there is no pairing window: each
// transfer says so.
TEST_F(CommandBarTest, WithoutAPairingWindowEveryTransferReportsAnError) {
  QFile junk(QStringLiteral("velinari"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(8192, 'x'));
  junk.close();
  app::TMainForm& form = Start();
  ASSERT_EQ(form.CurrentSystemWin(), nullptr);
  ASSERT_EQ(dialogs_.errors.size(), 1u);  // the file is not a database
  for (const char* name : {"GridToSeating", "SeatingToGrid", "RoundChain"}) {
    SCOPED_TRACE(name);
    dialogs_.errors.clear();
    ClickCommand(name);
    EXPECT_EQ(dialogs_.errors, std::vector<std::string>{app::TMainForm::kNoSystemWinText});
  }
}

// Players entered, a round drawn, results typed: a new run of the program
// on the same working directory finds all of it in "velinari".
TEST_F(CommandBarTest, TheTournamentIsKeptWhenTheProgramStartsAgain) {
  {
    app::TMainForm& form = Start();
    for (int32_t id = 1; id <= 8; ++id) AddPlayer(id, "Hrac " + std::to_string(id));
    ClickCommand("RoundChain");
    ASSERT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
    app::TDBGrid& grid = form.SeskupeniWin()->Grid();
    ASSERT_NE(Type(grid, 3, 4, QStringLiteral("1")), nullptr);
    form_->close();  // the typed result is posted as the program ends
    form_.reset();
    data_.reset();
  }
  data_ = std::make_unique<records::TData>();
  app::TMainForm& form = Start();
  EXPECT_EQ(data_->ListPlayers().size(), 8u);
  EXPECT_EQ(StoredRounds(), (std::map<int32_t, int>{{1, 8}}));
  EXPECT_EQ(data_->CurrentRoundText(), "1");
  EXPECT_EQ(form.SeskupeniWin()->windowTitle(), QStringLiteral("Rozesazení - kolo 1"));
  EXPECT_EQ(Cell(form.SeskupeniWin()->Grid(), 3, 4), "1");
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

}  // namespace
}  // namespace app_test
