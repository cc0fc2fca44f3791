// kelvorin datefmt, run as the built program under the Czech profile: values
// are written and texts read through a format string, and every bad format,
// value or text ends with the engine's message and status 1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::RunProgram;

class KelvorinDateFormatTest : public testing_support::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    setenv("LC_ALL", "cs_CZ.UTF-8", 1);
  }
};

TEST_F(KelvorinDateFormatTest, ValuesAreWrittenAndTextsRead) {
  struct Case {
    const char* arguments;
    const char* out;
  } cases[] = {
      {"'DD MONTH YYYY, DAY HH24:NN' --format '2024-03-05 14:30:00.250'",
       "05 b\xC5\x99" "ezen 2024, \xC3\xBAter\xC3\xBD 14:30\n"},
      {"'HH12 AMPM' --format '12:30'", "00 PM\n"},
      {"'YYYY-MM-DD' --format 1800-01-01", "1800-01-01\n"},
      {"'DD-RM-YYYY' --format '2024-08-20 23:59:59'", "20-VIII-2024\n"},
      {"YYYY-MM-DD --parse 2024-03-05", "2024-03-05 00:00:00.000\n"},
      {"'HH24:NN:SS' --parse 13:45:10", "1899-12-30 13:45:10.000\n"},
      {"'DD.MM.YY HH AMPM' --parse '05.03.29 03 pm'", "2029-03-05 15:00:00.000\n"},
      {"'YYYY-MM-DD HH24:NN' --parse '1800-01-01 12:30'", "1800-01-01 12:30:00.000\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    auto result = RunProgram("kelvorin", std::string("datefmt ") + c.arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
  }
}

TEST_F(KelvorinDateFormatTest, BadInputEndsWithAMessage) {
  struct Case {
    const char* arguments;
    const char* err;
  } cases[] = {
      {"YYYY-MM-DD --parse 2024-03-5",
       "Date format field 'DD' needs 2 characters, but '5' found - Native error: 30711\n"},
      {"'HH12 AMPM' --parse '03 XM'", "AM/PM word expected, but 'XM' found - Native error: 30129\n"},
      {"YYYY --parse '2\xC5\x99" "24'",
       "'2\xC5\x99" "24' is not a valid integer value - Native error: 30710\n"},
      {"YYYY-MM-DD --parse 2024-02-30", "Invalid argument to date encode - Native error: 30712\n"},
      {"YYYY --format 2024-02-30",
       "kelvorin: '2024-02-30' is not a date-time (YYYY-MM-DD[ HH:MM[:SS[.mmm]]] or "
       "HH:MM[:SS[.mmm]])\n"},
      {"YYYY --format 'noon'",
       "kelvorin: 'noon' is not a date-time (YYYY-MM-DD[ HH:MM[:SS[.mmm]]] or "
       "HH:MM[:SS[.mmm]])\n"},
      {"YYYY --print 2024", "usage: kelvorin datefmt FORMAT --format VALUE | --parse TEXT\n"},
      {"YYYY", "usage: kelvorin datefmt FORMAT --format VALUE | --parse TEXT\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    auto result = RunProgram("kelvorin", std::string("datefmt ") + c.arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
}

}  // namespace
