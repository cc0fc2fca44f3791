// kelvorin create / info / check, run as the built program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::RunProgram;

class KelvorinFilesTest : public testing_support::ScratchDirTest {};

TEST_F(KelvorinFilesTest, CreateThenInfoPrintsTheHeader) {
  ASSERT_EQ(RunProgram("kelvorin", "create files.db --page-size 1024 --extent 4").status, 0);
  EXPECT_EQ(std::filesystem::file_size("files.db"), 380u);
  const auto info = RunProgram("kelvorin", "info files.db");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out,
            "signature: KELVORINDATABASE\nversion: 3.21\npage size: 1024\npages per extent: 4\n"
            "total pages: 0\nlast used page: -1\ncommit counter: 0\nstate: 2 (consistent)\n"
            "encrypted: no\ncipher: none\n");
  const auto check = RunProgram("kelvorin", "check files.db");
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.out, "no problems found\n");
}

TEST_F(KelvorinFilesTest, EncryptedFileNeedsItsPassword) {
  ASSERT_EQ(RunProgram("kelvorin", "create files.db --password pw --cipher DES_Triple").status, 0);
  const auto info = RunProgram("kelvorin", "info files.db --password pw");
  EXPECT_NE(info.out.find("encrypted: yes\ncipher: DES_Triple\n"), std::string::npos) << info.out;
  const auto wrong = RunProgram("kelvorin", "info files.db --password nope");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err, "Cannot open database because incorrect password - Native error: 30445\n");
  EXPECT_EQ(RunProgram("kelvorin", "check files.db --password nope").status, 1);
}

TEST_F(KelvorinFilesTest, CheckReportsDamageAndBadArgumentsFail) {
  ASSERT_EQ(RunProgram("kelvorin", "create files.db").status, 0);
  tools_test::WriteFile("files.db", tools_test::ReadFile("files.db").substr(0, 100));
  const auto check = RunProgram("kelvorin", "check files.db");
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, "corruption: the file is shorter than its headers\n");
  EXPECT_EQ(RunProgram("kelvorin", "create files.db --cipher Nope").status, 1);
  EXPECT_EQ(RunProgram("kelvorin", "create files.db --page-size 12").status, 1);
  EXPECT_EQ(RunProgram("kelvorin", "info").status, 1);
}

}  // namespace
