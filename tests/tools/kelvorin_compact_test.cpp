// kelvorin compact, run as the built program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::RunProgram;
using tools_test::WriteFile;

class KelvorinCompactTest : public testing_support::ScratchDirTest {};

TEST_F(KelvorinCompactTest, KeepsTheRecordsInASmallerFile) {
  ASSERT_EQ(RunProgram("kelvorin", "create c.db --password pw").status, 0);
  ASSERT_EQ(RunProgram("kelvorin", "create-table c.db hraci id:AUTOINC Jmeno:STRING:20 --index pk:id:primary "
                                   "--password pw").status, 0);
  std::string rows = "Jmeno\n";
  for (int i = 0; i < 300; ++i) rows += "Player" + std::to_string(i) + "\n";
  WriteFile("rows.tsv", rows);
  ASSERT_EQ(RunProgram("kelvorin", "load c.db hraci rows.tsv --password pw").status, 0);
  ASSERT_EQ(RunProgram("kelvorin", "drop-table c.db hraci --password pw").status, 0);
  ASSERT_EQ(RunProgram("kelvorin", "create-table c.db hraci id:AUTOINC Jmeno:STRING:20 --index pk:id:primary "
                                   "--password pw").status, 0);
  WriteFile("few.tsv", "id\tJmeno\n7\tSeven\n");
  ASSERT_EQ(RunProgram("kelvorin", "load c.db hraci few.tsv --password pw").status, 0);
  const auto before = std::filesystem::file_size("c.db");
  const auto compact = RunProgram("kelvorin", "compact c.db --password pw");
  ASSERT_EQ(compact.status, 0) << compact.err;
  EXPECT_EQ(compact.err, "") << "no progress line when standard error is not a terminal";
  EXPECT_LT(std::filesystem::file_size("c.db"), before);
  EXPECT_FALSE(std::filesystem::exists("c.db.tmp"));
  EXPECT_EQ(RunProgram("kelvorin", "dump c.db hraci --password pw").out, "id\tJmeno\n7\tSeven\n");
  EXPECT_EQ(RunProgram("kelvorin", "check c.db --password pw").status, 0);
}

TEST_F(KelvorinCompactTest, ErrorsAsTheEnginesMessage) {
  ASSERT_EQ(RunProgram("kelvorin", "create c.db --password pw").status, 0);
  const auto wrong = RunProgram("kelvorin", "compact c.db --password nope");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err, "Cannot open database because incorrect password - Native error: 30445\n");
  EXPECT_FALSE(std::filesystem::exists("c.db.tmp"));
  const auto missing = RunProgram("kelvorin", "compact none.db");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Database file 'none.db' does not exist\n");
  EXPECT_EQ(RunProgram("kelvorin", "compact").status, 1);
  EXPECT_EQ(RunProgram("kelvorin", "compact c.db --bogus").status, 1);
}

}  // namespace
