// The main window over the tournament file: New, Open, Close and Save, the
// round box with its two buttons, what the user typed being posted before
// any of them, and a second program holding the file.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QTest>

#include "tests/app/records_windows/main_form_fixture.h"

namespace app_test {
namespace {

using app::TMainForm;
using kelvorin::TDataSetState;

using FileActionsTest = MainFormTest;

TEST_F(FileActionsTest, SaveClosesTheFileAndNewReopensItWithFreshWindows) {
  TMainForm& form = Start();
  ASSERT_TRUE(data_->IsConnected());
  AddPlayer(1, "Novak");
  form.Action("FileSave1")->trigger();
  Settle();
  EXPECT_FALSE(data_->IsConnected());
  EXPECT_FALSE(data_->tblHraci().Active());
  EXPECT_EQ(form.HraciWin()->Grid().model()->rowCount(), 0);
  QPointer<app::THraciWin> old_players = form.HraciWin();
  pairing::TSystemWin* old_system = form.CurrentSystemWin();
  form.Action("FileNew1")->trigger();
  Settle();
  EXPECT_TRUE(data_->tblHraci().Active());
  EXPECT_EQ(data_->ListPlayers().size(), 1u);
  EXPECT_TRUE(old_players.isNull());
  EXPECT_NE(form.CurrentSystemWin(), old_system);
  EXPECT_EQ(Children(), (QStringList{"SystemWin(min)", "HraciWin", "SeskupeniWin", "SystemWin"}));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Pelmora - VElinari edition [velinari]"));
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

TEST_F(FileActionsTest, NewAfterThePlayersWindowWasClosedMakesANewOne) {
  TMainForm& form = Start();
  form.HraciWin()->close();
  Settle();
  EXPECT_EQ(form.HraciWin(), nullptr);
  form.Action("FileNew1")->trigger();
  Settle();
  ASSERT_NE(form.HraciWin(), nullptr);
  EXPECT_TRUE(form.HraciWin()->isVisible());
}

// Open: the dialog's answer decides; the file's own tables decide whether
// anything opens.
TEST_F(FileActionsTest, OpenCancelAFileWithoutTheTablesAndAGoodFile) {
  const std::string good = MakeOtherTournament("druhy");
  // The name's bytes go to the database as they are; the title decodes them.
  const std::string accented = MakeOtherTournament("turnaj-\xC4\x8D");
  const std::string incomplete = MakeFileWithoutParam("bez_param");
  QFile junk(QString::fromStdString(FilePath("poznamky.txt")));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(8192, 'x'));
  junk.close();
  const std::string missing = FilePath("nic");
  const char* const kNotADatabase = "";  // the engine's own text: any error
  const struct {
    const char* name;
    std::optional<std::string> chosen;
    bool connected;
    const char* title_file;  // nullptr: the title and the windows stay
    std::vector<std::string> errors;
    size_t players_listed;
  } cases[] = {
      {"cancel", std::nullopt, true, nullptr, {}, 1},
      {"a file that does not exist", missing, false, "nic", {TMainForm::kNotTournamentText}, 0},
      {"a database without the table param", incomplete, false, "bez_param",
       {TMainForm::kNotTournamentText}, 0},
      {"a file that is not a database", FilePath("poznamky.txt"), false, nullptr, {kNotADatabase}, 0},
      {"a good file", good, true, "druhy", {}, 1},
      {"a good file with an accented name", accented, true, "turnaj-\xC4\x8D", {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs_.errors.clear();
    TMainForm& form = Start();
    AddPlayer(1, "Novak");
    const QString title = form.windowTitle();
    if (c.chosen) dialogs_.texts.push_back(*c.chosen);
    QPointer<app::THraciWin> players = form.HraciWin();
    form.Action("FileOpen1")->trigger();
    Settle();
    EXPECT_EQ(data_->IsConnected(), c.connected);
    if (c.chosen && c.connected) {
      EXPECT_EQ(data_->Database().DatabaseFileName(), *c.chosen);
    }
    if (c.errors.size() == 1 && c.errors[0] == kNotADatabase) {
      EXPECT_EQ(dialogs_.errors.size(), 1u);
    } else {
      EXPECT_EQ(dialogs_.errors, c.errors);
    }
    if (c.title_file == nullptr) {
      EXPECT_EQ(form.windowTitle(), title);
      if (c.connected) {
        EXPECT_EQ(form.HraciWin(), players);
      }
    } else {
      EXPECT_EQ(form.windowTitle(), QStringLiteral("Pelmora - VElinari edition [") +
                                        QString::fromUtf8(FilePath(c.title_file)) + "]");
      EXPECT_EQ(form.CurrentFileName(), QString::fromStdString(FilePath(c.title_file)));
      EXPECT_NE(form.HraciWin(), players);
      EXPECT_EQ(form.HraciWin()->Grid().model()->rowCount(), static_cast<int>(c.players_listed));
    }
    form_->close();
    form_.reset();
    data_->InitNew(FilePath());
    data_->tblHraci().First();
    while (!data_->tblHraci().IsEmpty()) data_->tblHraci().Delete();
    data_->ShutDatabase();
  }
}

// With no active child Close is not available, yet Open still opens the
// chosen file.
TEST_F(FileActionsTest, WithoutAnActiveChildCloseIsUnavailableAndOpenStillOpens) {
  const std::string good = MakeOtherTournament("druhy");
  TMainForm& form = Start();
  EXPECT_TRUE(form.Action("FileClose1")->isEnabled());
  form.MdiArea()->setActiveSubWindow(nullptr);
  Settle();
  ASSERT_EQ(form.MdiArea()->currentSubWindow(), nullptr);
  EXPECT_FALSE(form.Action("FileClose1")->isEnabled());
  form.Action("FileClose1")->trigger();
  EXPECT_TRUE(data_->IsConnected());
  dialogs_.texts.push_back(good);
  form.Action("FileOpen1")->trigger();
  Settle();
  EXPECT_TRUE(data_->IsConnected());
  EXPECT_EQ(data_->Database().DatabaseFileName(), good);
  EXPECT_EQ(data_->ListPlayers().size(), 1u);
}

TEST_F(FileActionsTest, CloseSavesAndClosesThePlayersAndSeatingWindows) {
  TMainForm& form = Start();
  form.Action("FileClose1")->trigger();
  Settle();
  EXPECT_FALSE(data_->IsConnected());
  EXPECT_EQ(form.HraciWin(), nullptr);
  EXPECT_EQ(form.SeskupeniWin(), nullptr);
  EXPECT_EQ(Children(), QStringList{"SystemWin"});
  form.Action("FileSaveAs1")->trigger();  // no action
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

// A result typed into the seating window reaches the file before the file
// closes; one the field refuses stops the command with the file open.
TEST_F(FileActionsTest, TypedResultsArePostedBeforeAFileActionAndARefusalStopsIt) {
  const struct {
    const char* action;
    const char* typed;
    bool refused;
  } cases[] = {
      {"FileSave1", "2", false},   {"FileClose1", "3", false}, {"FileNew1", "4", false},
      {"FileSave1", "99999999999", true}, {"FileNew1", "99999999999", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.action) + " " + c.typed);
    dialogs_.errors.clear();
    TMainForm& form = Start();
    if (data_->tblSeskupeni().IsEmpty()) AddTournament();
    data_->SetCurrentRound(1);
    Settle();
    app::TDBGrid& grid = form.SeskupeniWin()->Grid();
    QLineEdit* editor = Type(grid, 1, 4, QString::fromLatin1(c.typed));
    ASSERT_NE(editor, nullptr);
    const QString player = Cell(grid, 1, 0);
    form.Action(c.action)->trigger();
    Settle();
    if (c.refused) {
      EXPECT_EQ(dialogs_.errors.size(), 1u);
      EXPECT_TRUE(data_->tblHraci().Active());
      EXPECT_EQ(grid.OpenEditor(), editor);
      editor->setText(QStringLiteral("1"));
    } else {
      EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
      if (!data_->IsConnected()) data_->InitNew(FilePath());
      EXPECT_EQ(StoredBody(player.toInt(), 1), QString::fromLatin1(c.typed).toInt());
    }
    form_->close();
    form_.reset();
    data_->ShutDatabase();
  }
}

// --- The round box ---

TEST_F(FileActionsTest, TypedRoundsOutsideOneToAThousandAreNeverStoredAndGoBackWhenLeft) {
  TMainForm& form = Start();
  AddTournament();
  EXPECT_EQ(Box().text(), "");
  QTest::keyClicks(&Box(), QStringLiteral("12"));  // round 1, then round 12
  EXPECT_EQ(data_->CurrentRoundText(), "12");
  PasteRound("2");
  EXPECT_EQ(data_->CurrentRoundText(), "2");
  EXPECT_EQ(form.SeskupeniWin()->windowTitle(), QStringLiteral("Rozesazení - kolo 2"));
  EXPECT_EQ(data_->tblSeskupeniWin().Filter(), "Kolo = 2");
  for (const char* typed : {"0", "-3", "abc", "1001", "2147483648", "99999999999999999999", "", "2,5"}) {
    SCOPED_TRACE(typed);
    PasteRound(QString::fromLatin1(typed));
    EXPECT_EQ(Box().text(), QString::fromLatin1(typed));  // kept while typing
    EXPECT_EQ(data_->CurrentRoundText(), "2");
    EXPECT_EQ(data_->tblParam().State(), TDataSetState::dsBrowse);
    EXPECT_EQ(form.SeskupeniWin()->windowTitle(), QStringLiteral("Rozesazení - kolo 2"));
    LeaveBox();
    EXPECT_EQ(Box().text(), "2");
  }
  PasteRound("1000");
  EXPECT_EQ(data_->CurrentRoundText(), "1000");
  PasteRound("1");
  EXPECT_EQ(data_->CurrentRoundText(), "1");
  EXPECT_EQ(data_->tblParam().RecordCount(), 1);
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

// The buttons step from the number at the start of the box's text, in
// 64 bits, and store only rounds 1..1000.
TEST_F(FileActionsTest, RoundButtonsStepWithinOneToAThousand) {
  Start();
  const struct {
    const char* text;  // put into the box first; nullptr: the stored round shows
    const char* button;
    const char* round_after;
  } cases[] = {
      {nullptr, "BitBtn2", "1"},  // the up button on an empty box sets round 1
      {nullptr, "BitBtn1", "1"},  // the down button at round 1 does nothing
      {nullptr, "BitBtn2", "2"},
      {"7abc", "BitBtn1", "6"},
      {"", "BitBtn2", "1"},
      {"1000", "BitBtn2", "1"},
      {"999", "BitBtn2", "1000"},
      {"2147483647", "BitBtn2", "1000"},
      {"-2147483648", "BitBtn1", "1000"},
      {"99999999999999999999", "BitBtn2", "1000"},
      {"1001", "BitBtn1", "1000"},
      {"5", "BitBtn1", "4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text ? c.text : "-") + " " + c.button);
    if (c.text != nullptr) Box().setText(QString::fromLatin1(c.text));
    ClickRoundButton(c.button);
    EXPECT_EQ(data_->CurrentRoundText(), c.round_after);
    LeaveBox();
    EXPECT_EQ(Box().text(), QString::fromLatin1(c.round_after));
  }
  EXPECT_EQ(data_->tblParam().RecordCount(), 1);
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

TEST_F(FileActionsTest, TheRoundBoxDoesNothingWhileTheFileIsClosed) {
  TMainForm& form = Start();
  form.Action("FileSave1")->trigger();
  PasteRound("3");
  ClickRoundButton("BitBtn2");
  LeaveBox();
  EXPECT_EQ(Box().text(), "");
  data_->InitNew(FilePath());
  EXPECT_EQ(data_->CurrentRoundText(), "");
  EXPECT_TRUE(dialogs_.errors.empty()) << dialogs_.errors.front();
}

// A result being typed is posted before the round changes (the list is
// filtered on another round afterwards); a refused one keeps the round.
TEST_F(FileActionsTest, ARoundChangePostsTheTypedResultFirst) {
  TMainForm& form = Start();
  AddTournament();
  data_->SetCurrentRound(1);
  Settle();
  app::TDBGrid& grid = form.SeskupeniWin()->Grid();
  QLineEdit* editor = Type(grid, 0, 4, QStringLiteral("99999999999"));
  ASSERT_NE(editor, nullptr);
  ClickRoundButton("BitBtn2");
  EXPECT_EQ(dialogs_.errors.size(), 1u);
  EXPECT_EQ(data_->CurrentRoundText(), "1");
  EXPECT_EQ(grid.OpenEditor(), editor);
  editor->setText(QStringLiteral("3"));
  const int32_t player = Cell(grid, 0, 0).toInt();
  ClickRoundButton("BitBtn2");
  EXPECT_EQ(data_->CurrentRoundText(), "2");
  EXPECT_EQ(StoredBody(player, 1), 3);
}

TEST(RoundBoxTextTest, RoundInTextAndLeadingNumber) {
  const struct {
    const char* text;
    std::optional<int32_t> round;
    int64_t leading;
  } cases[] = {
      {"", std::nullopt, 0},          {"1", 1, 1},
      {"1000", 1000, 1000},           {"1001", std::nullopt, 1001},
      {"0", std::nullopt, 0},         {"-3", std::nullopt, -3},
      {"12abc", std::nullopt, 12},    {"abc", std::nullopt, 0},
      {"2,5", std::nullopt, 2},       {"+7", 7, 7},
      {"2147483647", std::nullopt, 2147483647},
      {"99999999999999999999999", std::nullopt, int64_t{1} << 60},
      {"-99999999999999999999999", std::nullopt, -(int64_t{1} << 60)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(app::RoundInText(QString::fromLatin1(c.text)), c.round);
    EXPECT_EQ(app::LeadingNumber(QString::fromLatin1(c.text)), c.leading);
  }
}

// --- A second program on the same file ---

// Another process that holds "velinari" in single-user mode until told to
// let go. Forked while this process has the file closed, so that it opens
// the file (and takes its lock) on its own.
class HoldingProcess {
 public:
  explicit HoldingProcess(const std::string& file) {
    if (::pipe(ready_) != 0 || ::pipe(release_) != 0) ADD_FAILURE() << "no pipes";
    pid_ = ::fork();
    if (pid_ != 0) return;
    int status = 0;
    try {
      kelvorin::TABSDatabase database;
      database.SetDatabaseFileName(file);
      database.SetDatabaseName("drzitel");
      database.Open();
      char c = 'r';
      (void)!::write(ready_[1], &c, 1);
      (void)!::read(release_[0], &c, 1);
    } catch (...) {
      status = 2;
    }
    ::_exit(status);
  }
  ~HoldingProcess() {
    if (pid_ <= 0) return;
    char c = 'x';
    (void)!::write(release_[1], &c, 1);
    int status = 0;
    EXPECT_EQ(::waitpid(pid_, &status, 0), pid_);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    for (int fd : {ready_[0], ready_[1], release_[0], release_[1]}) ::close(fd);
  }
  bool Ready() const {
    pollfd ready{ready_[0], POLLIN, 0};
    char c = 0;
    return ::poll(&ready, 1, 30000) == 1 && ::read(ready_[0], &c, 1) == 1 && c == 'r';
  }

 private:
  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t pid_ = -1;
};

TEST_F(FileActionsTest, ASecondProgramGetsVelinariReadOnlyAndSaysSo) {
  data_->InitNew(FilePath());
  AddTournament();
  data_->ShutDatabase();
  {
    HoldingProcess holder(FilePath());
    ASSERT_TRUE(holder.Ready());
    Start();
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{TMainForm::kReadOnlyText});
    EXPECT_TRUE(data_->IsReadOnly());
    EXPECT_EQ(data_->ListPlayers().size(), 4u);
    form_->close();
    form_.reset();
    data_->ShutDatabase();
  }
  // Once the other program has let go, New gets the file writable.
  dialogs_.messages.clear();
  Start();
  EXPECT_FALSE(data_->IsReadOnly());
  EXPECT_TRUE(dialogs_.messages.empty());
  AddPlayer(5, "Pata");
}

}  // namespace
}  // namespace app_test
