// Sessions and database components: names, the session list, opening and
// closing databases by alias with use counts, connecting (sharing, the
// password retry, the repair question), disconnecting and transactions.
#include <gtest/gtest.h>

#include <utility>

#include "db/access/session/access_error.h"
#include "tests/db/access/session/session_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin::testing {
namespace {

// What a component raised: the message of an EDatabaseError or an
// EABSException, "" when nothing was raised.
template <class F>
std::string Raised(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

class FakeUser : public TABSDatabaseUser {
 public:
  FakeUser(std::vector<std::string>& log, std::string name, bool query)
      : log_(log), name_(std::move(name)), query_(query) {}
  void CloseForDisconnect() override { log_.push_back(name_); }
  bool IsQuery() const override { return query_; }
  const void* Owner() const override { return nullptr; }

 private:
  std::vector<std::string>& log_;
  std::string name_;
  bool query_;
};

using DatabaseTest = SessionTest;

TEST_F(DatabaseTest, ConnectRefusalsLeaveItDisconnected) {
  TABSDatabase unnamed(nullptr, "Db1");
  unnamed.SetDatabaseFileName(Path());
  EXPECT_EQ(Raised([&] { unnamed.Open(); }), "Db1: Database name missing");
  auto missing = NewDatabase("gone", Path("nothing-here"));
  EXPECT_EQ(Raised([&] { missing->Open(); }), "Dbgone: Database file '" + Path("nothing-here") + "' does not exist");
  EXPECT_FALSE(missing->Connected());
  auto orphan = NewDatabase("orphan");
  orphan->SetSessionName("NoSuchSession");
  EXPECT_EQ(ErrorOf([&] { orphan->Open(); }), "Invalid session name 'NoSuchSession' - Native error: 20002");
  EXPECT_FALSE(orphan->Connected());
}

TEST_F(DatabaseTest, ConnectTakesOverTheFileAndCreateRefusesWhileConnected) {
  auto database = NewDatabase("players");
  database->SetMaxConnections(7);
  database->Open();
  EXPECT_TRUE(database->Connected());
  EXPECT_EQ(database->MaxConnections(), 500) << "the file's value";
  EXPECT_EQ(Raised([&] { database->CreateDatabase(); }), "Dbplayers: Cannot perform this operation on an open database");
  EXPECT_EQ(Raised([&] { database->SetDatabaseName("other"); }),
            "Dbplayers: Cannot perform this operation on an open database");
  EXPECT_TRUE(database->TableExists(kTable));
  EXPECT_FALSE(database->TableExists("none"));
  std::vector<std::string> tables;
  database->GetTablesList(tables);
  EXPECT_EQ(tables, std::vector<std::string>{kTable});
  database->SetDatabaseFileName(Path());
  EXPECT_TRUE(database->Connected()) << "the same file keeps the connection";
  database->SetDatabaseFileName(Path("other"));
  EXPECT_FALSE(database->Connected());
}

TEST_F(DatabaseTest, CreateAndDeleteDatabase) {
  auto database = NewDatabase("fresh", Path("fresh"));
  EXPECT_FALSE(database->Exists());
  database->CreateDatabase();
  EXPECT_TRUE(database->Exists());
  EXPECT_FALSE(database->Connected());
  auto holder = NewDatabase("holder", Path("fresh"));
  holder->Open();
  EXPECT_EQ(ErrorCode([&] { database->CreateDatabase(); }), 20092);
  EXPECT_EQ(ErrorCode([&] { database->DeleteDatabase(); }), 10823) << "open through another component";
  EXPECT_TRUE(database->Exists());
  holder->Close();
  database->DeleteDatabase();
  EXPECT_FALSE(database->Exists());
}

TEST_F(DatabaseTest, AliasesAreUniqueWithinTheSession) {
  auto first = NewDatabase("players");
  auto second = std::make_unique<TABSDatabase>(nullptr, "Second");
  EXPECT_EQ(Raised([&] { second->SetDatabaseName("PLAYERS"); }),
            "Second: Cannot perform this operation on an open database");
  TABSSession other(nullptr, "Other");
  other.SetSessionName("Other");
  second->SetSessionName("Other");
  second->SetDatabaseName("players");  // another session
  EXPECT_EQ(second->DatabaseName(), "players");
  // Components that handle sharing may share an alias.
  auto shared_a = NewDatabase("shared");
  shared_a->SetHandleShared(true);
  auto shared_b = std::make_unique<TABSDatabase>(nullptr, "B");
  shared_b->SetHandleShared(true);
  shared_b->SetDatabaseName("shared");
  EXPECT_EQ(shared_b->DatabaseName(), "shared");
}

TEST_F(DatabaseTest, NamesThatCannotBeKeptAreRefused) {
  TABSDatabase database(nullptr, "Db");
  TABSSession session(nullptr, "S");
  const struct {
    std::string name;
    int32_t code;
  } cases[] = {
      {std::string(255, 'a'), 0},
      {std::string(256, 'a'), 10820},
      {"tab\there", 10821},
      {std::string("nul\0here", 8), 10821},
      {"\x81unassigned", 10821},
      {"\x8A\x9E\xE8", 0},  // Š ž č
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorCode([&] { database.SetDatabaseName(c.name); }), c.code);
    EXPECT_EQ(ErrorCode([&] { database.SetSessionName(c.name); }), c.code);
    EXPECT_EQ(ErrorCode([&] { session.SetSessionName(c.name); }), c.code);
    EXPECT_EQ(ErrorCode([&] { TABSSessions::Default().OpenDatabase(c.name + "x"); }) != 0, true);
  }
  EXPECT_EQ(Raised([&] { TABSSessions::Default().OpenDatabase(""); }), "Database name missing");
}

TEST_F(DatabaseTest, TemporaryDatabasesLiveWhileUsed) {
  TABSSession& session = TABSSessions::Default();
  TABSDatabase& temporary = session.OpenDatabase(Path());
  EXPECT_TRUE(temporary.Temporary());
  EXPECT_TRUE(temporary.Connected());
  EXPECT_EQ(temporary.DatabaseFileName(), Path()) << "the alias names the file";
  EXPECT_EQ(&session.OpenDatabase(Path()), &temporary);
  EXPECT_EQ(temporary.UseCount(), 2);
  session.CloseDatabase(temporary);
  EXPECT_EQ(session.FindDatabase(Path()), &temporary);
  session.CloseDatabase(temporary);
  EXPECT_EQ(session.FindDatabase(Path()), nullptr) << "freed with its last user";
  // A temporary database that fails to connect is freed at once.
  EXPECT_NE(Raised([&] { session.OpenDatabase(Path("missing")); }), "");
  EXPECT_EQ(session.FindDatabase(Path("missing")), nullptr);
  // The memory database by its alias.
  TABSDatabase& memory = session.OpenDatabase("MEMORY");
  EXPECT_TRUE(memory.Connected());
  session.CloseDatabase(memory);
}

TEST_F(DatabaseTest, KeepConnectionDecidesAfterTheLastUser) {
  TABSSession& session = TABSSessions::Default();
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep);
    auto database = NewDatabase("players");
    database->SetKeepConnection(keep);
    TABSDatabase& opened = session.OpenDatabase("PLAYERS");
    EXPECT_EQ(&opened, database.get());
    session.CloseDatabase(opened);
    session.CloseDatabase(opened);  // never below 0
    EXPECT_EQ(database->UseCount(), 0);
    EXPECT_EQ(database->Connected(), keep);
    database->SetKeepConnection(false);
    EXPECT_FALSE(database->Connected());
  }
}

TEST_F(DatabaseTest, AnUnusedTemporaryDatabaseGivesWayToAComponent) {
  TABSSession& session = TABSSessions::Default();
  TABSDatabase& temporary = session.OpenDatabase(Path());
  TABSDatabase component(nullptr, "C");
  EXPECT_EQ(Raised([&] { component.SetDatabaseName(Path()); }), "C: Cannot perform this operation on an open database");
  session.CloseDatabase(temporary);
  // The temporary database was freed when its user left: nothing in the way.
  component.SetDatabaseName(Path());
  EXPECT_EQ(session.FindDatabase(Path()), &component);
}

TEST_F(DatabaseTest, DisconnectClosesQueriesFirstThenOthersLastToFirst) {
  auto database = NewDatabase("players");
  database->Open();
  std::vector<std::string> log;
  FakeUser t1(log, "t1", false), q1(log, "q1", true), t2(log, "t2", false), q2(log, "q2", true);
  for (TABSDatabaseUser* user : std::vector<TABSDatabaseUser*>{&t1, &q1, &t2, &q2}) database->AddUser(*user);
  database->Close();
  EXPECT_EQ(log, (std::vector<std::string>{"q1", "q2", "t2", "t1"}));
  EXPECT_EQ(database->UseCount(), 0);
}

// A dataset closed by Disconnect releases its database on the way out.
class ReleasingUser : public TABSDatabaseUser {
 public:
  ReleasingUser(TABSSession& session, TABSDatabase& database) : session_(session), database_(&database) {
    database.AddUser(*this);
  }
  void CloseForDisconnect() override {
    if (database_ == nullptr) return;
    database_->RemoveUser(*this);
    session_.CloseDatabase(*std::exchange(database_, nullptr));
    ++closed;
  }
  bool IsQuery() const override { return false; }
  const void* Owner() const override { return nullptr; }
  int closed = 0;

 private:
  TABSSession& session_;
  TABSDatabase* database_;
};

TEST_F(DatabaseTest, UsersReleasingTheDatabaseWhileItDisconnects) {
  TABSSession session(nullptr, "S");
  session.SetSessionName("Releasing");
  auto component = NewDatabase("players");
  component->SetSessionName("Releasing");
  component->SetKeepConnection(false);
  ReleasingUser on_component(session, session.OpenDatabase("players"));
  ReleasingUser on_temporary(session, session.OpenDatabase(Path()));
  session.Close();
  EXPECT_EQ(on_component.closed, 1);
  EXPECT_EQ(on_temporary.closed, 1);
  EXPECT_FALSE(component->Connected());
  EXPECT_EQ(session.FindDatabase(Path()), nullptr);
}

TEST_F(DatabaseTest, TransactionsAndTheirRefusals) {
  auto database = NewDatabase("players");
  EXPECT_EQ(Raised([&] { database->StartTransaction(); }),
            "Dbplayers: Cannot perform this operation on a closed database");
  database->Open();
  EXPECT_EQ(Raised([&] { database->Commit(); }),
            "Dbplayers: Database is not in transaction. Cannot perform operation");
  EXPECT_EQ(Raised([&] { database->Rollback(); }),
            "Dbplayers: Database is not in transaction. Cannot perform operation");
  database->StartTransaction();
  EXPECT_EQ(Raised([&] { database->StartTransaction(); }), "Dbplayers: Database already in transaction");
  // Another component of the file shares page session 0, and so the
  // transaction.
  auto other = NewDatabase("again");
  other->Open();
  EXPECT_TRUE(other->InTransaction());
  EXPECT_EQ(Raised([&] { other->StartTransaction(); }), "Dbagain: Database already in transaction");
  AddPlayers(*database, 3);
  other->Close();
  EXPECT_TRUE(database->InTransaction()) << "the other component's disconnect leaves the transaction alone";
  database->Commit();
  EXPECT_FALSE(database->InTransaction());
  database->Close();
  EXPECT_EQ(Players().size(), 3u);
}

TEST_F(DatabaseTest, DisconnectInsideATransactionRollsBack) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroyed" : "disconnected");
    auto database = NewDatabase("players");
    database->Open();
    database->StartTransaction();
    AddPlayers(*database, 5);
    if (destroy) {
      database.reset();
    } else {
      database->Close();
    }
    EXPECT_TRUE(Players().empty());
    ExpectClean(Path());
  }
}

TEST_F(DatabaseTest, AFailedCommitKeepsTheTransaction) {
  auto database = NewDatabase("players");
  database->Open();
  database->StartTransaction();
  AddPlayers(*database, 4);
  {
    WriteFaults faults(Path(), WriteFaults::Scope::kFileAndJournal);
    faults.fail_at = 1;
    faults.keep_failing = true;
    EXPECT_NE(Raised([&] { database->Commit(); }), "");
  }
  EXPECT_TRUE(database->InTransaction());
  database->Commit();
  EXPECT_FALSE(database->InTransaction());
  database->Close();
  EXPECT_EQ(Players().size(), 4u);
  ExpectClean(Path());
}

TEST_F(DatabaseTest, HandleSharedConnectionsAreCounted) {
  auto first = NewDatabase("shared");
  first->SetHandleShared(true);
  first->Open();
  auto second = std::make_unique<TABSDatabase>(nullptr, "Second");
  second->SetHandleShared(true);
  second->SetDatabaseName("shared");
  second->SetDatabaseFileName(Path("not-the-same"));  // the shared connection is used instead
  second->Open();
  EXPECT_EQ(&second->Connection(), &first->Connection());
  first->Close();
  EXPECT_TRUE(second->Connection().Connected()) << "the first one's disconnect keeps the other's connection";
  AddPlayers(*second, 2);
  second->Close();
  EXPECT_EQ(Players().size(), 2u);
  // Without sharing on both sides each has a connection of its own.
  auto plain = NewDatabase("plain");
  plain->Open();
  auto sharer = NewDatabase("plain2");
  sharer->SetHandleShared(true);
  sharer->Open();
  EXPECT_NE(&sharer->Connection(), &plain->Connection());
}

TEST_F(DatabaseTest, OpenDatabasePrefersTheOwnersSharedDatabase) {
  int form_a = 0, form_b = 0;
  auto a = NewDatabase("shared", "", &form_a);
  a->SetHandleShared(true);
  auto b = std::make_unique<TABSDatabase>(&form_b, "B");
  b->SetHandleShared(true);
  b->SetDatabaseName("shared");
  b->SetDatabaseFileName(Path());
  TABSSession& session = TABSSessions::Default();
  EXPECT_EQ(&session.OpenDatabase("shared", &form_b), b.get());
  EXPECT_EQ(&session.OpenDatabase("shared", &form_a), a.get());
  session.CloseDatabase(*a);
  session.CloseDatabase(*b);
}

// An encrypted file opened with a wrong password: the question comes back
// until it gives the right one, and stops when it gives the same again.
TEST_F(DatabaseTest, PasswordRetry) {
  auto creator = NewDatabase("secret", Path("secret"));
  creator->SetPassword("right");
  creator->CreateDatabase();
  creator.reset();
  struct Case {
    const char* name;
    std::vector<std::string> answers;  // through the questions interface
    bool use_event;
    bool connects;
    int questions;
  };
  const Case cases[] = {
      {"questions, right at once", {"right"}, false, true, 1},
      {"questions, wrong then right", {"nope", "right"}, false, true, 2},
      {"questions, the same password again", {"wrong"}, false, false, 1},
      {"questions, cancelled", {}, false, false, 1},
      {"event answering yes without a change", {}, true, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedQuestions questions;
    questions.passwords = c.answers;
    auto database = NewDatabase("secret", Path("secret"));
    database->SetPassword("wrong");
    int events = 0;
    if (c.use_event) {
      database->OnPassword = [&](TABSDatabase&) {
        ++events;
        return true;
      };
    }
    const int32_t code = ErrorCode([&] { database->Open(); });
    EXPECT_EQ(code, c.connects ? 0 : 30445);
    EXPECT_EQ(database->Connected(), c.connects);
    EXPECT_EQ(c.use_event ? events : questions.password_questions, c.questions);
  }
  auto database = NewDatabase("secret", Path("secret"));
  database->OnPassword = [](TABSDatabase& db) {
    db.SetPassword("right");
    return true;
  };
  database->Open();
  EXPECT_TRUE(database->Connected());
}

class RepairTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    {
      auto database = NewDatabase("players");
      database->Open();
      AddPlayers(*database, 6);
    }
    MarkNotClosedProperly();
  }
  void MarkNotClosedProperly() {
    std::vector<uint8_t> bytes = ReadAll(Path());
    bytes[42] = 1;  // committing, with no journal left to settle it
    WriteAll(Path(), bytes);
  }
};

TEST_F(RepairTest, TheQuestionDecidesAndARepairConnectsAgain) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "yes" : "no");
    ScriptedQuestions questions;
    questions.answer_yes = yes;
    auto database = NewDatabase("players");
    database->Open();
    EXPECT_TRUE(database->Connected());
    EXPECT_EQ(questions.asked, std::vector<std::string>{TABSDatabase::kRepairQuestion});
    EXPECT_EQ(database->Connection().NeedsRepair(), !yes);
    EXPECT_EQ(Players().size(), 6u);
  }
  EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
  ExpectClean(Path());
}

TEST_F(RepairTest, AHandlerAnsweringYesDoesNotRecurse) {
  auto database = NewDatabase("players");
  int asked = 0;
  database->OnNeedRepair = [&](TABSDatabase&) {
    ++asked;
    return true;
  };
  database->Open();
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(database->Connection().NeedsRepair());
  database->Close();
  database->Open();
  EXPECT_EQ(asked, 1) << "a repaired file asks no more";
}

TEST_F(RepairTest, TheQuestionWhileADatasetOpensTheDatabaseKeepsItsUseCount) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "yes" : "no");
    MarkNotClosedProperly();
    auto database = NewDatabase("players");
    database->SetKeepConnection(false);
    database->OnNeedRepair = [yes](TABSDatabase&) { return yes; };
    TABSSession& session = TABSSessions::Default();
    EXPECT_EQ(&session.OpenDatabase("players"), database.get());
    EXPECT_EQ(database->UseCount(), 1);
    session.OpenDatabase("players");
    session.CloseDatabase(*database);
    EXPECT_TRUE(database->Connected()) << "one user is left";
    session.CloseDatabase(*database);
    EXPECT_FALSE(database->Connected());
  }
}

TEST_F(RepairTest, SilentModeAndAFailedRebuild) {
  ScriptedQuestions questions;
  questions.answer_yes = true;
  auto silent = NewDatabase("players");
  silent->SetSilentMode(true);
  silent->Open();
  EXPECT_TRUE(questions.asked.empty());
  silent.reset();
  TABSDatabase::SetTableCopier([](TABSDatabase&, TABSDatabase&, const std::string&, const TABSProgressRange&, bool&,
                                  std::string& error_text) { error_text += "cannot copy"; });
  auto database = NewDatabase("players");
  EXPECT_EQ(ErrorCode([&] { database->Open(); }), 20238);
  EXPECT_FALSE(database->Connected());
  EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
}

TEST(SessionListTest, DefaultSessionAndLookupWithoutRegardToCase) {
  TABSSessions& list = TABSSessions::Instance();
  EXPECT_EQ(&list.Get(""), &TABSSessions::Default());
  EXPECT_EQ(&list.Get("default"), &TABSSessions::Default());
  EXPECT_EQ(ErrorOf([&] { list.Get("Nobody"); }), "Invalid session name 'Nobody' - Native error: 20002");
  TABSSession session(nullptr, "Mine");
  session.SetSessionName("Turnaj");
  EXPECT_EQ(list.Find("TURNAJ"), &session);
  TABSSession other(nullptr, "Other");
  EXPECT_EQ(Raised([&] { other.SetSessionName("turnaj"); }), "Other: Duplicate session name 'turnaj'");
  EXPECT_EQ(Raised([&] { other.Open(); }), "Other: Session name missing");
  other.SetSessionName("Druhy");
  bool started = false;
  other.OnStartup = [&](TABSSession&) { started = true; };
  other.Open();
  EXPECT_TRUE(started);
  EXPECT_TRUE(TABSSessions::Default().Active());
  EXPECT_EQ(Raised([&] { other.SetSessionName("Treti"); }), "Other: Cannot perform this operation on an active session");
}

TEST(SessionListTest, AutomaticNamesTakeTheLowestFreeNumber) {
  int form1 = 0, form2 = 0, form3 = 0;
  auto a = std::make_unique<TABSSession>(&form1, "Session1");
  auto b = std::make_unique<TABSSession>(&form2, "Session1");
  TABSDatabase on_form2(&form2, "Db");
  a->SetAutoSessionName(true);
  b->SetAutoSessionName(true);
  EXPECT_EQ(a->SessionName(), "Session1_1");
  EXPECT_EQ(b->SessionName(), "Session1_2");
  EXPECT_EQ(on_form2.SessionName(), "Session1_2");
  TABSDatabase later(&form2, "Later");
  EXPECT_EQ(later.SessionName(), "Session1_2");
  EXPECT_EQ(Raised([&] { b->SetSessionName("x"); }), "Session1: Cannot modify SessionName while AutoSessionName is enabled");
  EXPECT_EQ(Raised([&] { TABSSession third(&form2, "S3"); }),
            "S3: Cannot add a session to the form or data-module while session 'Session1_2' has AutoSessionName "
            "enabled");
  a.reset();
  TABSSession c(&form3, "Session1");
  c.SetAutoSessionName(true);
  EXPECT_EQ(c.SessionName(), "Session1_1") << "the freed number is used again";
  int form4 = 0;
  TABSSession d1(&form4, "D"), d2(&form4, "D2");
  EXPECT_EQ(Raised([&] { d1.SetAutoSessionName(true); }),
            "D: Cannot enable AutoSessionName property with more than one session on a form or data-module");
}

TEST_F(DatabaseTest, DestroyingASessionMovesItsDatabasesToTheDefault) {
  auto session = std::make_unique<TABSSession>(nullptr, "S");
  session->SetSessionName("Own");
  auto database = NewDatabase("players");
  database->SetSessionName("own");
  database->Open();
  EXPECT_TRUE(session->Active());
  EXPECT_EQ(session->Databases(), std::vector<TABSDatabase*>{database.get()});
  TABSDatabase& temporary = session->OpenDatabase(Path());
  EXPECT_TRUE(temporary.Temporary());
  session->Close();
  EXPECT_FALSE(database->Connected());
  EXPECT_EQ(session->FindDatabase(Path()), nullptr) << "deactivation frees temporary databases";
  database->Open();
  session.reset();
  EXPECT_FALSE(database->Connected());
  EXPECT_EQ(database->SessionName(), "");
  database->Open();
  EXPECT_TRUE(database->Connected());
}

}  // namespace
}  // namespace kelvorin::testing
