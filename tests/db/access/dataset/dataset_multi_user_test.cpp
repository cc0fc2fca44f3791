// Datasets of two processes on one file in multi-user mode: an edit of a
// record the other process changed meanwhile, and index changes while the
// other process has the table open. The other process is a child forked
// before this one connects (a forked open would share this one's file
// description and so its locks), driven step by step through pipes.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "tests/db/access/dataset/dataset_test_util.h"

namespace kelvorin::testing {
namespace {

// One direction of talk between the processes.
class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
  ~Pipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  void Send(char c) const { (void)!::write(fds_[1], &c, 1); }
  // The next character, or 0 when none comes within 30 seconds.
  char Receive() const {
    pollfd ready{fds_[0], POLLIN, 0};
    char c = 0;
    if (::poll(&ready, 1, 30000) == 1 && ::read(fds_[0], &c, 1) == 1) return c;
    return 0;
  }

 private:
  int fds_[2] = {-1, -1};
};

// The other process: its own database component (another alias, since the
// forked copy of this process's component keeps "turnaj") on the file.
class OtherProcess {
 public:
  using Script = std::function<void(TABSTable& players, const Pipe& in, const Pipe& out)>;

  OtherProcess(const std::string& file, const Script& script) {
    pid_ = ::fork();
    if (pid_ != 0) return;
    int status = 0;
    try {
      TABSDatabase database;
      database.SetDatabaseFileName(file);
      database.SetDatabaseName("other");
      database.SetMultiUser(true);
      database.Open();
      TABSTable players;
      players.SetDatabaseName("other");
      players.SetTableName("hraci");
      script(players, to_child_, from_child_);
    } catch (...) {
      from_child_.Send('!');
      status = 2;
    }
    ::_exit(status);
  }
  ~OtherProcess() {
    if (pid_ <= 0) return;
    to_child_.Send('x');
    int status = 0;
    EXPECT_EQ(::waitpid(pid_, &status, 0), pid_);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other process failed: status " << status;
  }

  void Send(char c) const { to_child_.Send(c); }
  // Waits for the other process's next step.
  void Expect(char c) const { ASSERT_EQ(from_child_.Receive(), c) << "the other process did not get there"; }

 private:
  Pipe to_child_;
  Pipe from_child_;
  pid_t pid_ = -1;
};

class MultiUserDatasetTest : public DatasetTest {
 protected:
  // The players table with one player, then this process disconnected so
  // that the other process can be forked clean.
  TABSTable& PlayersOnDisk() {
    TABSTable& players = Players();
    players.Open();
    AddPlayer(players, "Novak", 1);
    players.Close();
    database_->Close();
    return players;
  }
  void ConnectMultiUser() {
    database_->SetMultiUser(true);
    database_->Open();
  }
};

TEST_F(MultiUserDatasetTest, AnEditOfARecordTheOtherProcessChangedMeanwhileRaisesMinusFour) {
  TABSTable& players = PlayersOnDisk();
  OtherProcess other(database_->DatabaseFileName(), [](TABSTable& table, const Pipe& in, const Pipe& out) {
    table.Open();
    if (in.Receive() != 'g') return;
    table.First();
    table.Edit();
    table.FieldByName("Rating").SetAsInteger(7);
    table.Post();
    out.Send('d');
    in.Receive();
  });
  ConnectMultiUser();
  players.Open();
  players.First();
  ASSERT_EQ(players.FieldByName("Rating").AsInteger(), 1);
  other.Send('g');
  other.Expect('d');

  const std::string raised = Raised([&] {
    players.Edit();
    players.FieldByName("Rating").SetAsInteger(9);
    players.Post();
  });
  EXPECT_EQ(raised, "Kelvorin Engine Error # -4 Error updating record - record was modified by other process");
  if (players.State() != TDataSetState::dsBrowse) players.Cancel();
  players.Refresh();
  EXPECT_EQ(players.FieldByName("Rating").AsInteger(), 7) << "the other process's change stands";
}

TEST_F(MultiUserDatasetTest, IndexChangesWaitForTheTableTheOtherProcessHasOpen) {
  TABSTable& players = PlayersOnDisk();
  OtherProcess other(database_->DatabaseFileName(), [](TABSTable& table, const Pipe& in, const Pipe& out) {
    table.Open();
    out.Send('o');
    if (in.Receive() != 'c') return;
    table.Close();
    out.Send('c');
    in.Receive();
  });
  int sleeps = 0;
  database_->SetLockPacing({[&](int32_t) { ++sleeps; }, {}});
  ConnectMultiUser();
  other.Expect('o');

  const std::string refused = "Cannot access table 'hraci' in exclusive mode. Probably the table is open by another user";
  EXPECT_NE(Raised([&] { players.AddIndex("I_Jmeno", "Jmeno"); }).find(refused), std::string::npos);
  EXPECT_GT(sleeps, 1) << "the lock is tried again before it is refused";
  EXPECT_NE(Raised([&] { players.DeleteIndex("I_id"); }).find(refused), std::string::npos);
  players.UpdateIndexDefs();
  EXPECT_EQ(players.IndexDefs().Count(), 1) << "nothing changed while it was refused";

  other.Send('c');
  other.Expect('c');
  players.AddIndex("I_Jmeno", "Jmeno");
  players.DeleteIndex("I_id");
  players.UpdateIndexDefs();
  ASSERT_EQ(players.IndexDefs().Count(), 1);
  EXPECT_EQ(players.IndexDefs().Items(0).name, "I_Jmeno");
}

}  // namespace
}  // namespace kelvorin::testing
