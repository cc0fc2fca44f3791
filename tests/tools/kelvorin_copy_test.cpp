// kelvorin copy-table and restructure, run as the built program: the new
// table or the rebuilt one appears whole, and a refused command changes
// nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::RunProgram;
using tools_test::WriteFile;

class KelvorinCopyTest : public testing_support::ScratchDirTest {
 protected:
  // Players 1..4 with ratings; player 4 deleted by a rebuild without it,
  // so that the next id tells whether the counter went back.
  void SetUp() override {
    ScratchDirTest::SetUp();
    ASSERT_EQ(RunProgram("kelvorin", "create c.db").status, 0);
    ASSERT_EQ(RunProgram("kelvorin", "create-table c.db hraci id:AUTOINC Jmeno:STRING:20 Rating:INTEGER "
                                     "--index pk:id:primary --index jmena:Jmeno").status, 0);
    WriteFile("rows.tsv", "Jmeno\tRating\nAda\t10\nBob\t20\nCyril\t100000\n");
    ASSERT_EQ(RunProgram("kelvorin", "load c.db hraci rows.tsv").status, 0);
  }
  std::string Dump(const std::string& table, const std::string& options = "") {
    return RunProgram("kelvorin", "dump c.db " + table + " " + options).out;
  }
  static constexpr const char* kPlayers = "id\tJmeno\tRating\n1\tAda\t10\n2\tBob\t20\n3\tCyril\t100000\n";
};

TEST_F(KelvorinCopyTest, CopyMakesAWholeTableAndOverwritesOnlyWhenAsked) {
  const auto copy = RunProgram("kelvorin", "copy-table c.db hraci kopie");
  ASSERT_EQ(copy.status, 0) << copy.err;
  EXPECT_EQ(copy.err, "") << "no progress line when standard error is not a terminal";
  EXPECT_EQ(Dump("kopie"), kPlayers);
  EXPECT_EQ(Dump("kopie", "--index jmena"), kPlayers) << "the indexes are copied";
  WriteFile("more.tsv", "Jmeno\tRating\nDana\t40\n");
  ASSERT_EQ(RunProgram("kelvorin", "load c.db hraci more.tsv").status, 0);
  const auto refused = RunProgram("kelvorin", "copy-table c.db hraci kopie");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Table '.hraci' already exists - Native error: 30448\n");
  EXPECT_EQ(Dump("kopie"), kPlayers);
  ASSERT_EQ(RunProgram("kelvorin", "copy-table c.db hraci kopie --overwrite").status, 0);
  EXPECT_EQ(Dump("kopie"), Dump("hraci"));
  WriteFile("next.tsv", "Jmeno\nEva\n");
  ASSERT_EQ(RunProgram("kelvorin", "load c.db kopie next.tsv").status, 0);
  EXPECT_NE(Dump("kopie").find("5\tEva\t\n"), std::string::npos) << Dump("kopie");
  EXPECT_EQ(RunProgram("kelvorin", "check c.db").status, 0);
}

TEST_F(KelvorinCopyTest, RestructureMapsTheNewFieldListByName) {
  // Rating widened and moved, Jmeno narrowed to what fits, Klub added, id kept.
  const auto rebuilt =
      RunProgram("kelvorin", "restructure c.db hraci Rating:LARGEINT id:AUTOINC Jmeno:STRING:5 Klub:STRING:10");
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_EQ(Dump("hraci"), "Rating\tid\tJmeno\tKlub\n10\t1\tAda\t\n20\t2\tBob\t\n100000\t3\tCyril\t\n");
  EXPECT_EQ(RunProgram("kelvorin", "tables c.db").out.find("$copy$"), std::string::npos);
  EXPECT_EQ(RunProgram("kelvorin", "check c.db").status, 0);
}

TEST_F(KelvorinCopyTest, ARefusedRestructureChangesNothing) {
  struct Case {
    const char* fields;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"id:AUTOINC Jmeno:STRING:20 Rating:SMALLINT",
       "Error copying table. Record #3, field 'Rating' was copied with Null value due to error: "
       "Cannot cast from 'INTEGER' to 'SMALLINT'"},
      {"id:AUTOINC Jmeno:STRING:4 Rating:INTEGER", "Record #3, field 'Jmeno'"},
      {"Jmeno:STRING:20 Rating:INTEGER", "Error restructuring table. Cannot create table due to error:"},
      {"id:AUTOINC Jmeno:STRING", "field 'Jmeno' of type STRING needs a size"},
      {"id:AUTOINC Jmeno:WHAT:3", "is not FIELD:TYPE[:SIZE]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields);
    const auto refused = RunProgram("kelvorin", std::string("restructure c.db hraci ") + c.fields);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(c.message), std::string::npos) << refused.err;
    EXPECT_EQ(Dump("hraci"), kPlayers);
  }
  EXPECT_EQ(RunProgram("kelvorin", "check c.db").status, 0) << "no hidden table left";
}

TEST_F(KelvorinCopyTest, ErrorsAsTheEnginesMessage) {
  struct Case {
    const char* arguments;
    const char* error;
  };
  const std::vector<Case> cases = {
      {"copy-table c.db nic kopie", "Table not found, table name = nic - Native error: 10028\n"},
      {"copy-table c.db hraci HRACI", "Cannot copy table '.hraci' into it self - Native error: 30447\n"},
      {"copy-table c.db hraci '$copy$9'", "Invalid table name '$copy$9'. Names beginning with '$copy$' are "
                                          "reserved - Native error: 10717\n"},
      {"copy-table none.db hraci kopie", "Database file 'none.db' does not exist\n"},
      {"copy-table c.db hraci", "kelvorin: copy-table takes FILE SOURCE TARGET\n"},
      {"copy-table c.db hraci kopie --bogus", "kelvorin: unknown option --bogus\n"},
      {"restructure c.db nic id:INTEGER", "Table not found, table name = nic - Native error: 10028\n"},
      {"restructure c.db hraci", "kelvorin: restructure takes FILE TABLE FIELD:TYPE[:SIZE]...\n"},
      {"restructure c.db hraci id:AUTOINC --overwrite", "kelvorin: unknown option --overwrite\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto result = RunProgram("kelvorin", c.arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, c.error);
  }
  EXPECT_EQ(Dump("hraci"), kPlayers);
}

}  // namespace
