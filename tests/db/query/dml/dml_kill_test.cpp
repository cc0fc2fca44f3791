// Data statements killed at random moments: afterwards the table holds
// either every change of the statement or none, and the file is sound.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "db/access/local/local_cursor.h"
#include "db/query/dml/data_statements.h"
#include "db/query/sql/sql_processor.h"
#include "db/storage/catalog/catalog_check.h"
#include "db/storage/catalog/disk_database_data.h"
#include "tests/db/query/dml/dml_test_support.h"
#include "tests/db/storage/catalog/catalog_test_util.h"
#include "tests/kill_after.h"

namespace kelvorin::testing {
namespace {

constexpr int32_t kRows = 3000;

struct KillCase {
  std::string name;
  std::string statement;
  // SELECT COUNT(*) ... that tells the states apart: its value before the
  // statement and after it.
  std::string probe;
  int64_t before;
  int64_t after;
};

class DataKillTest : public CatalogTest {
 protected:
  TABSSessionSettings Settings() const {
    TABSSessionSettings settings;
    settings.file_name = Path();
    return settings;
  }

  void MakeTable() {
    RegisterDataStatements();
    TABSDiskDatabaseData::CreateDatabase(Path(), {}, {});
    TABSOpenDatabases list;
    TABSLocalSession session(Settings(), list);
    session.Connect();
    TABSLocalCursor cursor(session, "t");
    const auto defs = Definitions({Field("id", TABSColumnType::Integer), Field("v", TABSColumnType::Integer),
                                   Field("s", TABSColumnType::String, 30)},
                                  {"id", "v"});
    cursor.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
    ExecOn(session, "START TRANSACTION");
    for (int32_t i = 0; i < kRows; ++i) {
      const std::string id = std::to_string(i);
      ExecOn(session, "INSERT INTO t VALUES (" + id + ", " + id + ", 'radek " + id + "')");
    }
    ExecOn(session, "COMMIT");
  }

  int64_t Probe(const std::string& probe) {
    TABSOpenDatabases list;
    TABSLocalSession session(Settings(), list);
    session.Connect();
    TABSSQLQueryContext context;
    context.session = &session;
    TABSSQLProcessor processor(context);
    processor.SetSQL(probe);
    std::unique_ptr<TABSLocalCursor> rows = processor.Run();
    std::vector<uint8_t> buffer = rows->NewRecordBuffer();
    rows->First();
    if (rows->GetRecord(buffer.data(), TABSGetRecordMode::kNext) != TABSGetRecordResult::kFound) return -1;
    TABSVariant value;
    rows->OpenTable().FieldManager().GetFieldValue(0, value, buffer.data());
    return value.AsLargeInt();
  }

  // Runs the text in a child process and kills it after `delay_ms`; the
  // milliseconds the child ran.
  int RunAndKill(const std::string& text, int delay_ms) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
      int status = 0;
      try {
        TABSOpenDatabases list;
        TABSLocalSession session(Settings(), list);
        session.Connect();
        ExecOn(session, text);
      } catch (...) {
        status = 2;
      }
      _exit(status);
    }
    EXPECT_GE(child, 0);
    const int status = testing_support::WaitOrKill(child, child, delay_ms);
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  }
};

TEST_F(DataKillTest, AKilledStatementIsWholeOrAbsent) {
  MakeTable();
  const std::vector<KillCase> cases = {
      {"update", "UPDATE t SET v = v + 100000", "SELECT COUNT(*) FROM t WHERE v >= 100000", 0, kRows},
      {"update back in a transaction", "START TRANSACTION; UPDATE t SET v = v - 100000; COMMIT",
       "SELECT COUNT(*) FROM t WHERE v >= 100000", kRows, 0},
      {"insert select", "INSERT INTO t SELECT id + 100000 AS id, v, s FROM t", "SELECT COUNT(*) FROM t", kRows,
       2 * kRows},
      {"delete", "DELETE FROM t WHERE id >= 100000", "SELECT COUNT(*) FROM t", 2 * kRows, kRows},
  };
  std::mt19937 rng(29);
  for (const KillCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Probe(c.probe), c.before);
    // The kills spread over the longest run seen (a run that ended by
    // itself counts whole).
    int last_ms = 0;
    for (int round = 0; round < 6; ++round) {
      const int delay = std::uniform_int_distribution<int>(0, std::max(last_ms, 40))(rng);
      SCOPED_TRACE(delay);
      last_ms = std::max(last_ms, RunAndKill(c.statement, delay));
      const int64_t value = Probe(c.probe);
      EXPECT_TRUE(value == c.before || value == c.after) << value;
      const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
      EXPECT_FALSE(report.HasCorruption()) << report.Describe();
      // Taken back to where the next round starts.
      if (value == c.after) {
        TABSOpenDatabases list;
        TABSLocalSession session(Settings(), list);
        session.Connect();
        ExecOn(session, c.statement == cases[0].statement   ? "UPDATE t SET v = v - 100000"
                        : c.statement == cases[1].statement ? "UPDATE t SET v = v + 100000"
                        : c.statement == cases[2].statement ? "DELETE FROM t WHERE id >= 100000"
                                                            : "INSERT INTO t SELECT id + 100000 AS id, v, s FROM t");
      }
    }
    // A whole run leaves the state the next case starts from.
    if (Probe(c.probe) == c.before) RunAndKill(c.statement, 120000);
    EXPECT_EQ(Probe(c.probe), c.after);
  }
}

}  // namespace
}  // namespace kelvorin::testing
