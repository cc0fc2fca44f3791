// kelvorin expr, run as the built program: a value or a condition with its
// type on one line, or the engine's error and status 1.
#include <gtest/gtest.h>

#include <string>

#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::RunProgram;

class KelvorinExprTest : public testing_support::ScratchDirTest {};

TEST_F(KelvorinExprTest, PrintsTheValueAndItsType) {
  struct Case {
    const char* arguments;
    const char* out;
  } cases[] = {
      {"expr '1 + 2'", "3\tINTEGER\n"},
      {"expr '3000000000'", "3000000000\tLARGEINT\n"},
      {"expr '1.5 * 2'", "3\tFLOAT\n"},
      {"expr '7 / 2.0'", "3.5\tFLOAT\n"},
      {"expr \"'a' || 1\"", "a1\tSTRING\n"},
      {"expr \"''\"", "NULL\tSTRING\n"},
      {"expr 'CAST(NULL AS INTEGER)'", "NULL\tINTEGER\n"},
      {"expr 'TRUE'", "TRUE\tLOGICAL\n"},
      {"expr --condition \"'abc' LIKE 'A%'\"", "TRUE\tLOGICAL\n"},
      {"expr --condition 'NULL IN (1)'", "NULL\tLOGICAL\n"},
      {"expr --condition '1 = 2'", "FALSE\tLOGICAL\n"},
      // Texts in and out are UTF-8; the engine works in its 8-bit code page.
      {"expr \"UPPER('\xC4\x8D" "as')\"", "\xC4\x8C" "AS\tSTRING\n"},
      {"expr \"LENGTH('\xC4\x8D" "as')\"", "3\tINTEGER\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto result = RunProgram("kelvorin", c.arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
  }
}

TEST_F(KelvorinExprTest, ErrorsEndWithTheEngineMessage) {
  struct Case {
    const char* arguments;
    const char* err;
  } cases[] = {
      {"expr '1 / 0'", "Division error: Division by zero - Native error: 30128\n"},
      {"expr --condition '(1 + 2) > 3'",
       "Boolean expression expected, but '1' found at line 1, column 2 - Native error: 30066\n"},
      {"expr 'CAST(1 AS FOO)'",
       "Cannot convert an expression to specified type: 'Unknown' - Native error: 30077\n"},
      {"expr '1 2'", "kelvorin: unexpected '2' at line 1, column 3\n"},
      {"expr ')'", "Unexpected symbol ')' found at line 1, column 1 - Native error: 30060\n"},
      {"expr \"'a' \xC5\x99\"", "kelvorin: unexpected '\xC5\x99' at line 1, column 5\n"},
      {"expr --condition '\xC5\x99'",
       "Boolean expression expected, but '\xC5\x99' found at line 1, column 1 - Native error: "
       "30066\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto result = RunProgram("kelvorin", c.arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(RunProgram("kelvorin", "expr").status, 1);
}

}  // namespace
