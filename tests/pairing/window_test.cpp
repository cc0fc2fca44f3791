// The pairing window over the real matching exchange (cmd and wmatch), with
// scripted dialogs and the in-process clipboard.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "pairing/command_prefix.h"
#include "pairing/system_win.h"
#include "pairing/window_spin_box.h"
#include "tests/app/scripted_dialogs.h"

namespace {

using pairing::TSystemWin;

constexpr char kMissingResultsQuestion[] =
    "Asi jste nezadal výsledky a chcete nalosovat další kolo. Mám ignorovat nevyplněné "
    "výsledky a považovat je za 0 a nalosovat další kolo?";
constexpr char kMissingResultsError[] =
    "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu.";
constexpr char kNoData[] = "Žádná data. Načtěte data a zkuste to znovu.";

std::string Clipboard() { return QGuiApplication::clipboard()->text().toStdString(); }
void SetClipboard(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

// `players` rows of `rounds` rounds, CR after each row; cells from `cell`.
template <typename Cell>
std::string History(int players, int rounds, Cell cell) {
  std::string text;
  for (int r = 1; r <= players; ++r) {
    for (int c = 1; c <= 2 * rounds; ++c) {
      if (c > 1) text += '\t';
      text += cell(c, r);
    }
    text += '\r';
  }
  return text;
}

// Players of each table number in one column.
std::map<int, std::set<int>> Tables(pairing::PairingEngine& engine, int col) {
  std::map<int, std::set<int>> tables;
  for (int r = 1; r <= engine.PlayerCount(); ++r)
    tables[std::stoi(engine.grid().Cell(col, r))].insert(r);
  return tables;
}

class PairingWindowTest : public app_test::QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    window_ = std::make_unique<TSystemWin>(dialogs_, &area_);
    area_.addSubWindow(window_.get());
  }
  void TearDown() override {
    window_.reset();
    QtFixture::TearDown();
  }
  pairing::PairingEngine& Engine() { return window_->Engine(); }
  void Import(const std::string& text) {
    SetClipboard(text);
    window_->Button1Click();
  }

  app_test::ScriptedDialogs dialogs_;
  QMdiArea area_;
  std::unique_ptr<TSystemWin> window_;
};

TEST_F(PairingWindowTest, StartsWithTheCreationState) {
  EXPECT_EQ(window_->windowTitle(), QString::fromUtf8("KESH tournament system"));
  EXPECT_EQ(Engine().RoundCount(), 0);
  EXPECT_EQ(Engine().PlayerCount(), 32);
  EXPECT_EQ(pairing::CommandPrefix(), "cmd ");
  EXPECT_EQ(window_->StaticText1()->text(), "0");
  EXPECT_EQ(window_->Edit1()->value(), 32);
  EXPECT_EQ(window_->Edit1()->maximum(), 511);
  EXPECT_EQ(window_->EdByes()->text(), "0");
  EXPECT_EQ(window_->Edit2()->text(), "command");
  EXPECT_FALSE(window_->CheckBox1()->isChecked());
  EXPECT_EQ(window_->Memo1()->toPlainText(), "VAHY");
  EXPECT_EQ(window_->Memo2()->toPlainText(), "PAROVANI");
  EXPECT_EQ(window_->PageControl()->tabText(0), QString::fromUtf8("Párování"));
  EXPECT_EQ(window_->PageControl()->tabText(1), "WM files");
  EXPECT_EQ(window_->PageControl()->tabPosition(), QTabWidget::South);
  // Row 0 and column 0 are the headings; the model shows the cells after them.
  EXPECT_EQ(window_->Grid()->model()->rowCount(), 32);
  EXPECT_EQ(window_->Grid()->model()->columnCount(), 14);
  EXPECT_EQ(window_->Grid()->model()->headerData(4, Qt::Vertical).toString(), "5");
}

// The one-click run from clipboard text to clipboard text through the real
// command interpreter and matching program.
TEST_F(PairingWindowTest, OneClickRunFromClipboardToClipboard) {
  const struct {
    int players;
    const char* byes;
    int unseated;
  } cases[] = {{8, "0", 0}, {9, "2", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.players);
    Engine().ClearTable();
    window_->EdByes()->setText(c.byes);
    Import(std::string(c.players, '\r'));  // no history: every row only its CR
    ASSERT_EQ(Engine().PlayerCount(), c.players);
    ASSERT_EQ(Engine().RoundCount(), 0);

    window_->Button6Click();
    ASSERT_EQ(dialogs_.errors, std::vector<std::string>{});
    EXPECT_EQ(Engine().RoundCount(), 1);
    EXPECT_EQ(window_->StaticText1()->text(), "1");
    std::map<int, std::set<int>> tables = Tables(Engine(), 1);
    EXPECT_EQ(tables.size(), c.unseated ? 3u : 2u);
    EXPECT_EQ(tables[1].size(), 4u);
    EXPECT_EQ(tables[2].size(), 4u);
    EXPECT_EQ(tables[0].size(), std::size_t(c.unseated));
    EXPECT_TRUE(tables[1].count(1)) << "tables are numbered from the lowest player";
    if (c.players == 9) {
      // The two byes (8 and 9) never share a table.
      for (int t : {1, 2}) EXPECT_FALSE(tables[t].count(8) && tables[t].count(9));
    }
    std::string expected;
    for (int r = 1; r <= c.players; ++r) expected += Engine().grid().Cell(1, r) + "\t\r";
    EXPECT_EQ(Clipboard(), expected);
    EXPECT_EQ(Clipboard().find('\n'), std::string::npos);
    EXPECT_EQ(window_->PageControl()->currentIndex(), 0);
    EXPECT_FALSE(window_->Memo1()->isHidden());
    // The weights list of the pairs is shown in one go: four pairs.
    EXPECT_TRUE(window_->Memo1()->toPlainText().startsWith("4 6 U\n3 1 0 0\n"));
  }
}

// Linux programs end lines with LF alone; the import takes them as row ends.
TEST_F(PairingWindowTest, ImportTakesLoneLineFeedsAsRowEnds) {
  Import("1\t3\t2\t1\n2\t1\t1\t2\n");
  EXPECT_EQ(Engine().PlayerCount(), 2);
  EXPECT_EQ(Engine().RoundCount(), 2);
  window_->Button5Click();
  EXPECT_EQ(Clipboard(), "1\t3\t2\t1\r2\t1\t1\t2\r");
  EXPECT_EQ(window_->Edit1()->value(), 2);
  EXPECT_EQ(window_->StaticText1()->text(), "2");
  EXPECT_EQ(window_->Grid()->model()->index(1, 1).data().toString(), "1");
}

// Missing results of the last round: the question is asked by each of the two
// weights computations; a No stops the run and takes the round back.
TEST_F(PairingWindowTest, MissingResultsQuestion) {
  const struct {
    std::deque<bool> answers;
    std::size_t questions;
    bool drawn;
  } cases[] = {{{true, true}, 2, true}, {{false}, 1, false}, {{true, false}, 2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers.size());
    Engine().ClearTable();
    dialogs_ = app_test::ScriptedDialogs();
    // Round 1 seated, results not entered yet.
    Import(History(8, 1, [](int col, int row) {
      return col == 1 ? std::to_string((row + 3) / 4) : std::string();
    }));
    SetClipboard("untouched");
    dialogs_.answers = c.answers;
    window_->Button6Click();
    EXPECT_EQ(dialogs_.questions.size(), c.questions);
    for (const std::string& question : dialogs_.questions)
      EXPECT_EQ(question, kMissingResultsQuestion);
    if (c.drawn) {
      EXPECT_TRUE(dialogs_.errors.empty());
      EXPECT_EQ(Engine().RoundCount(), 2);
      EXPECT_EQ(Tables(Engine(), 3).size(), 2u);
    } else {
      EXPECT_EQ(dialogs_.errors, std::vector<std::string>{kMissingResultsError});
      EXPECT_EQ(Engine().RoundCount(), 1);
      EXPECT_EQ(window_->StaticText1()->text(), "1");
      for (int r = 1; r <= 8; ++r) EXPECT_EQ(Engine().grid().Cell(3, r), "");
      EXPECT_EQ(Clipboard(), "untouched");
      EXPECT_FALSE(window_->Memo1()->isHidden());
    }
  }
}

TEST_F(PairingWindowTest, NoPlayersShowsOnlyTheMessage) {
  Import("");
  Engine().SetPlayerCount(0);
  for (void (TSystemWin::*button)() : {&TSystemWin::Button6Click, &TSystemWin::Button4Click}) {
    dialogs_.messages.clear();
    (window_.get()->*button)();
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kNoData});
    EXPECT_EQ(Engine().RoundCount(), 0);
    EXPECT_EQ(window_->Memo1()->toPlainText(), "VAHY");
  }
}

// A matching step uses the weights list as the user left it in its editor.
TEST_F(PairingWindowTest, PairIntoTwosUsesTheEditedWeightsList) {
  Import("\r\r\r\r");
  window_->Button4Click();
  EXPECT_TRUE(window_->Memo1()->toPlainText().startsWith("4 6 U\n3 1 0 0\n2 1000000\n"));
  // Only 1-4 and 2-3 are worth anything now.
  window_->Memo1()->setPlainText(
      "4 6 U\n3 1 0 0\n2 1\n3 1\n4 50\n3 2 0 0\n1 1\n3 50\n4 1\n"
      "3 3 0 0\n1 1\n2 50\n4 1\n3 4 0 0\n1 50\n2 1\n3 1\n");
  window_->Button7Click();
  ASSERT_EQ(dialogs_.errors, std::vector<std::string>{});
  EXPECT_EQ(Engine().RoundCount(), 1);
  const std::vector<std::string> expected = {"1", "2", "2", "1"};
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(Engine().grid().Cell(1, r), expected[r - 1]);
  EXPECT_TRUE(window_->Memo2()->toPlainText().startsWith("1 4\n2 3\n"));
}

// An error of a step shows in a message box; "Manual match" only shows the
// commands, so no "wm.out" appears.
TEST_F(PairingWindowTest, StepErrorIsShownAndTheWindowGoesOn) {
  Import("\r\r\r\r");
  window_->CheckBox1()->setChecked(true);
  window_->Button4Click();
  window_->Button7Click();
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0],
            "Prosim provedete manualne akci odpovidajici prikazu: cmd  /c del wm.out");
  ASSERT_EQ(dialogs_.errors.size(), 1u);
  EXPECT_EQ(dialogs_.errors[0].rfind("Cannot open file \"", 0), 0u) << dialogs_.errors[0];
  // The exchange failed before the round was counted.
  EXPECT_EQ(Engine().RoundCount(), 0);
  EXPECT_EQ(Engine().grid().Cell(1, 1), "");
}

TEST_F(PairingWindowTest, PrefixBoxSetsTheSharedPrefix) {
  window_->Edit2()->setText("/bin/sh -c true ");
  window_->Button8Click();
  EXPECT_EQ(pairing::CommandPrefix(), "/bin/sh -c true ");
  TSystemWin second(dialogs_);
  EXPECT_EQ(pairing::CommandPrefix(), "cmd ");
}

TEST_F(PairingWindowTest, SystemMenu) {
  const char* captions[] = {"Schránka > @", "Spočti váhy", "Seskup 2", "@ > Schránka",
                            "Vycisti tabulku"};
  for (int key = 1; key <= 5; ++key) {
    QAction* action = window_->MenuAction(key);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString::fromUtf8(captions[key - 1]));
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::Key_F1 + key - 1));
  }
  Import("1\t2\r3\t4\r");
  SetClipboard("kept");
  window_->MenuAction(2)->trigger();  // F2 does nothing
  EXPECT_EQ(Clipboard(), "kept");
  EXPECT_EQ(Engine().RoundCount(), 1);
  window_->MenuAction(4)->trigger();
  EXPECT_EQ(Clipboard(), "1\t2\r3\t4\r");
  window_->MenuAction(5)->trigger();
  EXPECT_EQ(Engine().RoundCount(), 0);
  EXPECT_EQ(Engine().grid().Cell(1, 1), "");
  EXPECT_EQ(window_->StaticText1()->text(), "0");
}

TEST_F(PairingWindowTest, ZeroFillWritesTheLatestResultsColumn) {
  window_->BitBtn1Click();  // no round yet: the player numbers stay
  EXPECT_EQ(Engine().grid().Cell(0, 1), "1");
  Import("1\t\r1\t\r");
  window_->BitBtn1Click();
  EXPECT_EQ(Engine().grid().Cell(2, 1), "0");
  EXPECT_EQ(Engine().grid().Cell(2, 2), "0");
  EXPECT_EQ(window_->Grid()->model()->index(1, 1).data().toString(), "0");
}

// Only steps change the player count; typing alone does not.
TEST_F(PairingWindowTest, PlayerCountChangesOnlyByStepping) {
  pairing::WindowSpinBox& box = *window_->Edit1();
  box.stepBy(1);
  EXPECT_EQ(Engine().PlayerCount(), 33);
  EXPECT_EQ(window_->Grid()->model()->rowCount(), 33);
  box.setValue(200);  // as if typed and confirmed
  EXPECT_EQ(Engine().PlayerCount(), 33);
  box.stepBy(1);  // a step starts from the box's value, as the arrows do
  EXPECT_EQ(Engine().PlayerCount(), 201);
  EXPECT_EQ(Engine().grid().Cell(0, 201), "201");
  box.setValue(511);
  box.stepBy(1);
  EXPECT_EQ(Engine().PlayerCount(), 511);
  // The wheel does nothing.
  QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&box, &wheel);
  EXPECT_EQ(Engine().PlayerCount(), 511);
  EXPECT_EQ(box.value(), 511);
  // Typing "16" passes through "1" without touching the count; the Up key
  // steps from the typed number. Page keys do nothing.
  box.selectAll();
  QTest::keyClicks(&box, "16");
  EXPECT_EQ(Engine().PlayerCount(), 511);
  EXPECT_EQ(Engine().grid().Cell(0, 511), "511");
  QTest::keyClick(&box, Qt::Key_Up);
  EXPECT_EQ(Engine().PlayerCount(), 17);
  QTest::keyClick(&box, Qt::Key_Down);
  EXPECT_EQ(Engine().PlayerCount(), 16);
  QTest::keyClick(&box, Qt::Key_PageUp);
  EXPECT_EQ(Engine().PlayerCount(), 16);
}

// Leaving the box fits the grid (emptying a column beyond the rounds); the
// focus going to a dialog or another application does not.
TEST_F(PairingWindowTest, LeavingThePlayerCountFitsTheGrid) {
  const struct {
    Qt::FocusReason reason;
    const char* left_in_column_3;
  } cases[] = {{Qt::TabFocusReason, ""},
               {Qt::MouseFocusReason, ""},
               {Qt::ActiveWindowFocusReason, "x"},
               {Qt::PopupFocusReason, "x"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    Engine().grid().SetCell(3, 1, "x");
    QFocusEvent focus_out(QEvent::FocusOut, c.reason);
    QApplication::sendEvent(window_->Edit1(), &focus_out);
    EXPECT_EQ(Engine().grid().Cell(3, 1), c.left_in_column_3);
  }
}

// Cells typed into the grid are what the steps and the export read.
TEST_F(PairingWindowTest, TypedCellsReachTheEngine) {
  Import("1\t2\r3\t4\r");
  QAbstractItemModel& model = *window_->Grid()->model();
  EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
  ASSERT_TRUE(model.setData(model.index(0, 1), "2.5", Qt::EditRole));
  window_->Button5Click();
  EXPECT_EQ(Clipboard(), "1\t2.5\r3\t4\r");
}

TEST_F(PairingWindowTest, ClosingOnlyMinimizes) {
  area_.show();
  window_->show();
  Import("1\t2\r");
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isMinimized());
  EXPECT_EQ(Engine().grid().Cell(2, 1), "2");
}

TEST(PairingWindowGuardTest, ShowsTheErrorTextAndSwallowsIt) {
  const struct {
    std::function<void()> command;
    bool ran;
    std::vector<std::string> errors;
  } cases[] = {
      {[] {}, true, {}},
      {[] { throw std::runtime_error("Range check error"); }, false, {"Range check error"}},
      {[] { throw 42; }, false, {"Unknown error"}},
  };
  for (const auto& c : cases) {
    app_test::ScriptedDialogs dialogs;
    EXPECT_EQ(pairing::RunGuarded(dialogs, c.command), c.ran);
    EXPECT_EQ(dialogs.errors, c.errors);
  }
}

}  // namespace
