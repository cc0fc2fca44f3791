// kelvorin create-table / load / dump / drop-table, run as the built program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::ReadFile;
using tools_test::RunProgram;
using tools_test::WriteFile;

// One field of every column type, by its SQL name.
const char* const kFields =
    "c:CHAR:5 s:STRING:12 wc:WIDECHAR:5 ws:WIDESTRING:12 si8:SHORTINT si16:SMALLINT i32:INTEGER i64:LARGEINT "
    "u8:BYTE u16:WORD u32:CARDINAL a:AUTOINC a8:AUTOINCSHORTINT a16:AUTOINCSMALLINT a32:AUTOINCINTEGER "
    "a64:AUTOINCLARGEINT au8:AUTOINCBYTE au16:AUTOINCWORD au32:AUTOINCCARDINAL f32:SINGLE f64:FLOAT "
    "f80:EXTENDED l:LOGICAL m:CURRENCY d:DATE t:TIME dt:DATETIME ts:TIMESTAMP b:BYTES:4 vb:VARBYTES:4 "
    "bl:BLOB g:GRAPHIC me:MEMO fm:FORMATTEDMEMO wm:WIDEMEMO guid:GUID";

const std::string kHeader =
    "c\ts\twc\tws\tsi8\tsi16\ti32\ti64\tu8\tu16\tu32\ta\ta8\ta16\ta32\ta64\tau8\tau16\tau32\tf32\tf64\tf80\tl\tm\td\tt"
    "\tdt\tts\tb\tvb\tbl\tg\tme\tfm\twm\tguid\n";
// Values in their text forms (the strings in Windows-1250: \x8A is Š).
const std::string kRows =
    "abc\t\x8A" "a\\tb\\\\c\txy\t\xE8\x65sk\xFD\t-128\t-32768\t-2147483648\t-9223372036854775808\t255\t65535\t"
    "4294967295\t1\t-5\t300\t7\t9223372036854775807\t255\t65535\t4294967295\t2.25\t0.1\t3.75\tTrue\t12.3456\t"
    "2024-01-05\t13:45:10.250\t2024-01-05 13:45:10.250\t1899-12-30 00:00:00.001\t00FF10AB\t01020304\t48656C6C6F\t"
    "00\t61\t\t0A0D09\t{12345678-1234-1234-1234-123456789012}\n"
    "\t\t\t\t\t\t\t\t\t\t\t2\t6\t301\t8\t10\t3\t4\t5\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n";

class KelvorinTablesTest : public testing_support::ScratchDirTest {
 protected:
  void CreateTable() {
    ASSERT_EQ(RunProgram("kelvorin", "create t.db").status, 0);
    const auto created = RunProgram("kelvorin", std::string("create-table t.db every ") + kFields +
                                                     " --index I_a:a:primary --index I_s:s,i32:unique:nocase"
                                                     " --index I_f:f64:desc");
    ASSERT_EQ(created.status, 0) << created.err;
  }
};

TEST_F(KelvorinTablesTest, EveryColumnTypeRoundTripsInBothLoadModes) {
  for (const char* mode : {"", " --autocommit"}) {
    SCOPED_TRACE(mode);
    CreateTable();
    WriteFile("in.tsv", kHeader + kRows);
    const auto loaded = RunProgram("kelvorin", std::string("load t.db every in.tsv --blobs hex") + mode);
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    const auto dumped = RunProgram("kelvorin", "dump t.db every --blobs hex");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(dumped.out, kHeader + kRows);
    // By default a BLOB-like value shows its length.
    const auto lengths = RunProgram("kelvorin", "dump t.db every");
    EXPECT_NE(lengths.out.find("\t5\t1\t1\t\t3\t{1234"), std::string::npos) << lengths.out;
    EXPECT_EQ(RunProgram("kelvorin", "tables t.db").out, "name\tobject number\trecord count\nevery\t1\t2\n");
    EXPECT_EQ(RunProgram("kelvorin", "check t.db").out, "no problems found\n");
    ASSERT_EQ(RunProgram("kelvorin", "drop-table t.db every").status, 0);
    EXPECT_EQ(RunProgram("kelvorin", "tables t.db").out, "name\tobject number\trecord count\n");
    std::remove("t.db");
  }
}

// The first bad row stops the load with its line number; in one transaction
// nothing of the file is kept, with --autocommit the rows before it are.
TEST_F(KelvorinTablesTest, ABadRowStopsTheLoad) {
  ASSERT_EQ(RunProgram("kelvorin", "create t.db").status, 0);
  ASSERT_EQ(RunProgram("kelvorin", "create-table t.db hraci Jmeno:STRING:20 Rating:INTEGER id:AUTOINC "
                                   "--index I_id:id:primary --index I_Jmeno:Jmeno:unique").status,
            0);
  struct Case {
    std::string rows;
    std::string error;
  } cases[] = {
      {"Novak\t1500\nSvoboda\tx\nDvorak\t1\n", "kelvorin: line 3: 'x' is not an integer\n"},
      {"Novak\t1500\nNovak\t1\nDvorak\t1\n",
       "kelvorin: line 3: Constraint unique 'C_Unique$Jmeno' violated. Duplicate found. - Native error: 30320\n"},
      {"Novak\t1500\nSvoboda\t99999999999\n", "kelvorin: line 3: Cannot cast from 'LARGEINT' to 'INTEGER' - Native "
                                             "error: 30051\n"},
      {"Novak\t1500\nSvoboda\n", "kelvorin: line 3: 1 cells for 2 fields\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    WriteFile("in.tsv", "Jmeno\tRating\n" + c.rows);
    const auto loaded = RunProgram("kelvorin", "load t.db hraci in.tsv");
    EXPECT_EQ(loaded.status, 1);
    EXPECT_EQ(loaded.err, c.error);
    EXPECT_EQ(RunProgram("kelvorin", "dump t.db hraci").out, "Jmeno\tRating\tid\n");
  }
  const auto autocommit = RunProgram("kelvorin", "load t.db hraci --autocommit", "Jmeno\tRating\nNovak\t1\nNovak\t2\n");
  EXPECT_EQ(autocommit.status, 1);
  EXPECT_EQ(RunProgram("kelvorin", "dump t.db hraci").out, "Jmeno\tRating\tid\nNovak\t1\t1\n");
  EXPECT_EQ(RunProgram("kelvorin", "check t.db").out, "no problems found\n");
}

TEST_F(KelvorinTablesTest, BadDefinitionsAndNamesFail) {
  ASSERT_EQ(RunProgram("kelvorin", "create t.db").status, 0);
  const struct {
    const char* arguments;
    const char* error;
  } cases[] = {
      {"create-table t.db x a:NOTYPE", "kelvorin: 'a:NOTYPE' is not FIELD:TYPE[:SIZE] with an SQL type name such as INTEGER or STRING\n"},
      {"create-table t.db x a:STRING", "kelvorin: field 'a' of type STRING needs a size\n"},
      {"create-table t.db x a:INTEGER --index I:a:sideways", "kelvorin: 'I:a:sideways': unknown index option 'sideways'\n"},
      {"create-table t.db x a:INTEGER --index I:b", "Cannot find index field 'b' - Native error: 20043\n"},
      {"drop-table t.db nothing", "Table 'nothing' not exists. - Native error: 30405\n"},
      {"dump t.db nothing", "Table 'nothing' not exists. - Native error: 30396\n"},
  };
  for (const auto& c : cases) {
    const auto result = RunProgram("kelvorin", c.arguments);
    EXPECT_EQ(result.status, 1) << c.arguments;
    EXPECT_EQ(result.err, c.error) << c.arguments;
  }
  EXPECT_EQ(RunProgram("kelvorin", "tables t.db").out, "name\tobject number\trecord count\n");
}

// Two processes load into one table at once, each row committed on its own:
// no row is lost and no id is handed out twice.
TEST_F(KelvorinTablesTest, TwoMultiUserLoadsIntoOneTable) {
  ASSERT_EQ(RunProgram("kelvorin", "create t.db --connections 4").status, 0);
  ASSERT_EQ(RunProgram("kelvorin", "create-table t.db hraci Jmeno:STRING:20 id:AUTOINC --index I:id:primary").status, 0);
  constexpr int kRowsEach = 150;
  for (const char* name : {"a", "b"}) {
    std::string rows = "Jmeno\n";
    for (int i = 0; i < kRowsEach; ++i) rows += std::string(name) + std::to_string(i) + "\n";
    WriteFile(std::string(name) + ".tsv", rows);
  }
  const std::string load = std::string(VESTRUM_BIN_DIR) + "/kelvorin load t.db hraci ";
  const std::string both = "(" + load + "a.tsv --multi-user --autocommit 2>a.err; echo $? >a.status) & (" + load +
                           "b.tsv --multi-user --autocommit 2>b.err; echo $? >b.status) & wait";
  ASSERT_EQ(std::system(both.c_str()), 0);
  EXPECT_EQ(ReadFile("a.status"), "0\n") << ReadFile("a.err");
  EXPECT_EQ(ReadFile("b.status"), "0\n") << ReadFile("b.err");
  const auto dump = RunProgram("kelvorin", "dump t.db hraci");
  std::set<std::string> names;
  std::set<int> ids;
  std::istringstream lines(dump.out);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    const size_t tab = line.find('\t');
    names.insert(line.substr(0, tab));
    ids.insert(std::stoi(line.substr(tab + 1)));
  }
  EXPECT_EQ(names.size(), 2u * kRowsEach) << "every row of both files";
  EXPECT_EQ(ids.size(), 2u * kRowsEach) << "no id twice";
  EXPECT_EQ(*ids.rbegin(), 2 * kRowsEach);
  EXPECT_EQ(RunProgram("kelvorin", "check t.db").out, "no problems found\n");
  EXPECT_EQ(RunProgram("kelvorin", "locks t.db").out, "slot\ttable\tlock\trecord\n");
}

}  // namespace

namespace {

// dump through an index, under a filter and a range, with the access path
// forced or explained.
class KelvorinDumpScanTest : public testing_support::ScratchDirTest {
 protected:
  void SetUp() override {
    testing_support::ScratchDirTest::SetUp();
    ASSERT_EQ(RunProgram("kelvorin", "create t.db").status, 0);
    ASSERT_EQ(RunProgram("kelvorin", "create-table t.db s Kolo:INTEGER Stul:INTEGER Jmeno:STRING:20 "
                                     "--index I_Kolo:Kolo --index I_KS:Kolo,Stul --index I_Stul:Stul:desc")
                  .status,
              0);
    std::string rows = "Kolo\tStul\tJmeno\n";
    for (int i = 0; i < 12; ++i) {
      rows += (i == 11 ? std::string() : std::to_string(i % 4)) + "\t" + std::to_string(1 + i / 4) + "\tH" +
              std::to_string(i) + "\n";
    }
    WriteFile("in.tsv", rows);
    ASSERT_EQ(RunProgram("kelvorin", "load t.db s in.tsv").status, 0);
  }
  std::string Names(const std::string& options) {
    const auto dumped = RunProgram("kelvorin", "dump t.db s --blobs length " + options);
    EXPECT_EQ(dumped.status, 0) << dumped.err;
    std::string names;
    std::istringstream lines(dumped.out);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) names += line.substr(line.rfind('\t') + 1) + " ";
    return names;
  }
};

TEST_F(KelvorinDumpScanTest, EveryPathGivesTheSameRows) {
  struct Case {
    std::string options;
    std::string names;
  };
  const std::vector<Case> cases{
      {"--filter \"Kolo = 2\"", "H2 H6 H10 "},
      {"--index I_Stul --filter \"Kolo < 2\"", "H8 H9 H4 H5 H0 H1 "},
      {"--index I_KS --range 1..2", "H1 H5 H9 H2 H6 H10 "},
      {"--index I_KS --range 1,2..", "H5 H9 H2 H6 H10 H3 H7 "},
      {"--index I_Kolo --range ..0", "H11 H0 H4 H8 "},
      {"--filter \"Kolo = 3 AND Kolo > 5\"", ""},
  };
  for (const Case& c : cases) {
    for (const char* plan : {"", " --plan auto", " --plan storage", " --plan I_Kolo", " --plan I_KS", " --plan I_Stul"}) {
      SCOPED_TRACE(c.options + plan);
      EXPECT_EQ(Names(c.options + plan), c.names);
    }
  }
}

TEST_F(KelvorinDumpScanTest, ExplainShowsThePathAndErrorsGoToStandardError) {
  const auto explained = RunProgram("kelvorin", "dump t.db s --filter \"Kolo = 2 AND Stul > 1\" --explain");
  ASSERT_EQ(explained.status, 0) << explained.err;
  EXPECT_NE(explained.out.find("from\tI_Kolo: Kolo = 2"), std::string::npos) << explained.out;
  EXPECT_NE(explained.out.find("test\tI_Stul: Stul < 1"), std::string::npos) << explained.out;
  const auto storage = RunProgram("kelvorin", "dump t.db s --filter \"Kolo = 2\" --plan storage --explain");
  EXPECT_EQ(storage.out, "access\tstorage order\ntest\tI_Kolo: Kolo = 2\n");
  struct Case {
    std::string options;
    std::string error;
  };
  const std::vector<Case> errors{
      {"--index I_Nic", "kelvorin: table 's' has no index 'I_Nic'\n"},
      {"--range 1..2", "kelvorin: --range needs --index\n"},
      {"--index I_Kolo --range 1", "kelvorin: --range takes LOW..HIGH\n"},
      {"--plan I_Nic", "kelvorin: table 's' has no index 'I_Nic'\n"},
  };
  for (const Case& c : errors) {
    const auto failed = RunProgram("kelvorin", "dump t.db s " + c.options);
    EXPECT_EQ(failed.status, 1) << c.options;
    EXPECT_EQ(failed.err, c.error);
  }
  const auto bad_filter = RunProgram("kelvorin", "dump t.db s --filter \"Kolo = \"");
  EXPECT_EQ(bad_filter.status, 1);
  EXPECT_NE(bad_filter.err.find("Native error"), std::string::npos) << bad_filter.err;
}

}  // namespace
