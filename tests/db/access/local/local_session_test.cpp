// The process's list of open databases and what a session asks of its
// database: one object per file whatever the path spelling, never one for
// two files; creating an open database; tables; transactions.
#include <filesystem>

#include "db/access/local/access_errors.h"
#include "tests/db/access/local/local_test_util.h"

namespace kelvorin::testing {
namespace {

TEST_F(LocalAccessTest, OneObjectPerFileWhateverThePath) {
  std::filesystem::copy_file(Path(), Path("other"));
  std::filesystem::create_symlink(Path(), Path("link"));
  TABSLocalSession* plain = NewSession(list_, false);
  TABSLocalSession* dotted = NewSession(list_, false, Path("./db"));
  TABSLocalSession* linked = NewSession(list_, false, Path("link"));
  EXPECT_EQ(&plain->Database(), &dotted->Database());
  EXPECT_EQ(&plain->Database(), &linked->Database());
  EXPECT_EQ(list_.Count(), 1);
  // A file that differs only in name case is another file on Linux.
  std::filesystem::copy_file(Path(), Path("DB"));
  TABSLocalSession* upper = NewSession(list_, false, Path("DB"));
  TABSLocalSession* other = NewSession(list_, false, Path("other"));
  EXPECT_NE(&upper->Database(), &plain->Database());
  EXPECT_NE(&other->Database(), &plain->Database());
  EXPECT_EQ(list_.Count(), 3);

  // The last session's leaving closes the database.
  upper->Disconnect();
  other->Disconnect();
  EXPECT_EQ(list_.Count(), 1);
  plain->Disconnect();
  dotted->Disconnect();
  EXPECT_EQ(list_.Count(), 1);
  linked->Disconnect();
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(ErrorCode([&] { plain->Database(); }), native::kSessionNotConnected.code);
}

TEST_F(LocalAccessTest, CreatingADatabaseThatIsOpenIsRefused) {
  TABSSessionSettings settings;
  settings.file_name = Path();
  TABSLocalSession* session = NewSession(list_, false);
  EXPECT_EQ(ErrorCode([&] { TABSLocalSession::CreateDatabase(settings, list_); }), 20092);
  EXPECT_TRUE(session->TableExists(kTable)) << "the open file is untouched";
  session->Disconnect();
  settings.file_name = Path("new");
  TABSLocalSession::CreateDatabase(settings, list_);
  TABSLocalSession fresh(settings, list_);
  EXPECT_TRUE(fresh.TableNames().empty());
}

TEST_F(LocalAccessTest, TableQuestionsOfAClosedSessionLeaveNothingOpen) {
  TABSSessionSettings settings;
  settings.file_name = Path();
  TABSLocalSession session(settings, list_);
  EXPECT_TRUE(session.TableExists("HRACI"));
  EXPECT_FALSE(session.TableExists("nikdo"));
  EXPECT_EQ(session.TableNames(), std::vector<std::string>{kTable});
  EXPECT_FALSE(session.Connected());
  EXPECT_EQ(list_.Count(), 0);
}

TEST_F(LocalAccessTest, TransactionsBelongToThePageSession) {
  TABSLocalSession* first = NewSession(list_, false);
  TABSLocalSession* second = NewSession(list_, false);
  EXPECT_EQ(ErrorCode([&] { first->Commit(); }), 20229);
  EXPECT_EQ(ErrorCode([&] { first->Rollback(); }), 20229);
  first->StartTransaction();
  EXPECT_EQ(ErrorCode([&] { first->StartTransaction(); }), native::kAlreadyInTransaction.code);
  // Single-user sessions of one process share a page session, and so the
  // transaction.
  EXPECT_TRUE(second->InTransaction());
  EXPECT_EQ(ErrorCode([&] { second->StartTransaction(); }), native::kAlreadyInTransaction.code);

  auto cursor = OpenCursor(*second);
  Insert(*cursor, "Novak", 3);
  first->Rollback();
  EXPECT_FALSE(second->InTransaction());
  EXPECT_EQ(cursor->RecordCount(), 0) << "the other session's post was part of the transaction";
  first->StartTransaction();
  Insert(*cursor, "Novak", 3);
  second->Commit();
  EXPECT_FALSE(first->InTransaction());
  EXPECT_EQ(cursor->RecordCount(), 1);
}

TEST_F(LocalAccessTest, MultiUserSessionsHaveTransactionsOfTheirOwn) {
  TABSLocalSession* first = NewSession(list_, true);
  TABSLocalSession* second = NewSession(list_, true);
  EXPECT_EQ(&first->Database(), &second->Database());
  first->StartTransaction();
  EXPECT_FALSE(second->InTransaction());
  second->StartTransaction();
  first->Commit();
  EXPECT_TRUE(second->InTransaction());
  second->Rollback();
}

TEST_F(LocalAccessTest, RecordPageCheckSwitchesEveryOpenTable) {
  TABSLocalSession* session = NewSession(list_, true);
  auto cursor = OpenCursor(*session);
  auto& records = static_cast<TABSDiskTableData&>(cursor->OpenTable()).DiskRecordManager();
  EXPECT_TRUE(records.AcceptanceCheck());
  session->SetRecordPageCheck(false);
  EXPECT_FALSE(records.AcceptanceCheck());
  auto second = OpenCursor(*session);
  EXPECT_FALSE(records.AcceptanceCheck());
  session->SetRecordPageCheck(true);
  EXPECT_TRUE(records.AcceptanceCheck());
}

}  // namespace
}  // namespace kelvorin::testing
