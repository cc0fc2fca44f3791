// CREATE TABLE with its column grammar, DROP TABLE, ALTER TABLE, RENAME
// TABLE, CREATE INDEX and DROP INDEX: what each builds, the refusals of the
// grammar and of the checks at CREATE, and that a refused or failed
// statement changes nothing.
#include <gtest/gtest.h>

#include "db/access/ddl/ddl_errors.h"
#include "tests/db/access/ddl/ddl_test_support.h"

namespace kelvorin::testing {
namespace {

class CreateTableTest : public DDLTest {};

TEST_F(CreateTableTest, CreatesColumnsIndexesAndConstraints) {
  Run("CREATE TABLE t (id AUTOINC, name VARCHAR(20) NOT NULL UNIQUE, rating INTEGER DEFAULT 1500, "
      "PRIMARY KEY (id))");
  EXPECT_EQ(Schema("t"),
            "id:AUTOINC:0 autoinc 1/0/0/9223372036854775807\nname:STRING:20\nrating:INTEGER:0 default 1500\n"
            "index C_Unique$name: name unique\nindex C_PK$id: id primary\n"
            "constraint not null name\nconstraint unique C_Unique$name\nconstraint primary C_PK$id\n");
}

TEST_F(CreateTableTest, ColumnGrammar) {
  struct Case {
    std::string columns;
    std::string schema;
  };
  const std::vector<Case> cases = {
      {"a INTEGER, b INTEGER, INDEX (a, b)", "a:INTEGER:0\nb:INTEGER:0\nindex i$a$b: a b\n"},
      {"a INTEGER, PRIMARY KEY pk (a)", "a:INTEGER:0\nindex pk: a primary\nconstraint primary pk\n"},
      {"a INTEGER PRIMARY KEY", "a:INTEGER:0\nindex C_PK$a: a primary\nconstraint primary C_PK$a\n"},
      {"a INTEGER PRIMARY", "a:INTEGER:0\nindex C_PK$a: a primary\nconstraint primary C_PK$a\n"},
      {"a INTEGER, b VARCHAR(5), UNIQUE INDEX ux (b NOCASE, a DESC)",
       "a:INTEGER:0\nb:STRING:5\nindex ux: b nocase a desc unique\nconstraint unique ux\n"},
      {"a INTEGER, INDEX ix (a ASC CASE)", "a:INTEGER:0\nindex ix: a\n"},
      {"n AUTOINC (LARGEINT, INCREMENT 2, INITIALVALUE 100)", "n:AUTOINCLARGEINT:0 autoinc 2/100/0/9223372036854775807\n"},
      {"n AUTOINC (SHORTINT INCREMENT -1 INITIALVALUE 0 MINVALUE -100 MAXVALUE 100 CYCLED)",
       "n:AUTOINCSHORTINT:0 autoinc -1/0/-100/100 cycled\n"},
      {"n AUTOINCWORD (NOMINVALUE, NOMAXVALUE, NOCYCLED)", "n:AUTOINCWORD:0 autoinc 1/0/0/9223372036854775807\n"},
      {"a LARGEINT DEFAULT 5", "a:LARGEINT:0 default 5\n"},
      {"a INTEGER DEFAULT -5", "a:INTEGER:0 default -5\n"},
      {"a FLOAT DEFAULT 2.5", "a:FLOAT:0 default 2,5\n"},
      {"a FLOAT DEFAULT -2.5", "a:FLOAT:0 default -2,5\n"},
      {"a VARCHAR(3) DEFAULT 'x'", "a:STRING:3 default x\n"},
      {"a VARCHAR(3) DEFAULT abc", "a:STRING:3 default abc\n"},
      {"a INTEGER DEFAULT NULL", "a:INTEGER:0\n"},
      {"a INTEGER NULL", "a:INTEGER:0\n"},
      {"a INTEGER MINVALUE -5 MAXVALUE 10", "a:INTEGER:0\nconstraint check a -5..10\n"},
      {"a INTEGER MINVALUE 1 NOMINVALUE", "a:INTEGER:0\n"},
      {"a FLOAT MAXVALUE 1.5", "a:FLOAT:0\nconstraint check a -..1,5\n"},
      {"a BLOB BLOBBLOCKSIZE 4096 BLOBCOMPRESSIONALGORITHM zlib BLOBCOMPRESSIONMODE 6", "a:BLOB:0 blob 1/6/4096\n"},
      {"a MEMO BLOBCOMPRESSIONALGORITHM BZIP BLOBCOMPRESSIONMODE 9", "a:MEMO:0 blob 2/9/102400\n"},
      {"[a b] CHAR(2), \"c\" BYTES(4), d GUID(38)", "a b:CHAR:2\nc:BYTES:4\nd:GUID:38\n"},
      // Names travel as lists: separators inside a bracketed name stay.
      {"[a;b] INTEGER, [c,d] INTEGER, INDEX ([a;b], [c,d])", "a;b:INTEGER:0\nc,d:INTEGER:0\nindex i$a;b$c,d: a;b c,d\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.columns);
    ASSERT_EQ(ErrorOf([&] { Run("CREATE TABLE t (" + c.columns + ")"); }), "");
    EXPECT_EQ(Schema("t"), c.schema);
    Run("DROP TABLE t");
  }
}

TEST_F(CreateTableTest, DefaultsAndAutoIncrementSettingsReachNewRecords) {
  Run("CREATE TABLE t (n AUTOINC (INITIALVALUE 100, INCREMENT 5), a INTEGER DEFAULT -7, s VARCHAR(4) DEFAULT 'ab', "
      "f FLOAT DEFAULT 2.5)");
  Run("INSERT INTO t (a) VALUES (1)");
  Run("INSERT INTO t DEFAULT VALUES");
  EXPECT_EQ(Rows("SELECT * FROM t ORDER BY n"), (std::vector<std::string>{"105|1|ab|2,5", "110|-7|ab|2,5"}));
}

TEST_F(CreateTableTest, AMemoryTableLivesInTheMemoryDatabase) {
  Run("CREATE TABLE MEMORY m (a INTEGER, PRIMARY KEY (a))");
  EXPECT_FALSE(TableExists("m"));
  EXPECT_EQ(Schema("m", &Memory()), "a:INTEGER:0\nindex C_PK$a: a primary\nconstraint primary C_PK$a\n");
  EXPECT_EQ(CodeOf("CREATE TABLE MEMORY m (b INTEGER)"), native::kCreateTableExists.code);
  Run("DROP TABLE MEMORY m");
  EXPECT_FALSE(Memory().TableExists("m"));
}

TEST_F(CreateTableTest, DropTableDeletesAndAMissingTableIsSilent) {
  Run("CREATE TABLE t (a INTEGER)");
  ASSERT_TRUE(TableExists("t"));
  Run("DROP TABLE t");
  EXPECT_FALSE(TableExists("t"));
  EXPECT_EQ(CodeOf("DROP TABLE t"), 0);
  EXPECT_EQ(CodeOf("DROP TABLE MEMORY t"), 0);
}

TEST_F(CreateTableTest, AnExistingTableIsRefusedUnwrapped) {
  Run("CREATE TABLE t (a INTEGER)");
  Run("INSERT INTO t VALUES (1)");
  EXPECT_EQ(CodeOf("CREATE TABLE t (b INTEGER)"), native::kCreateTableExists.code);
  EXPECT_EQ(Dump("t"), "a:INTEGER:0\n1\n");
}

// A second connection that works like another process: its own open
// databases, both in multi-user mode.
TEST_F(CreateTableTest, ATableAnotherProcessJustCreatedIsNeverReplaced) {
  session_.reset();
  const auto connect = [&](TABSOpenDatabases& list) {
    TABSSessionSettings settings;
    settings.file_name = Path();
    settings.multi_user = true;
    auto session = std::make_unique<TABSLocalSession>(settings, list);
    session->Connect();
    return session;
  };
  TABSOpenDatabases other_list;
  session_ = connect(list_);
  std::unique_ptr<TABSLocalSession> other = connect(other_list);
  context_.session = session_.get();
  // This connection reads the table list before the other one writes it.
  EXPECT_FALSE(session_->TableExists("t"));
  TABSSQLQueryContext other_context = context_;
  other_context.session = other.get();
  {
    TABSSQLProcessor processor(other_context);
    processor.SetSQL("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (7)");
    processor.Run();
  }
  // The create of this connection decides under the table-list lock.
  const auto definitions = Definitions({Field("b", TABSColumnType::Integer)});
  TABSLocalCursor cursor(*session_, "t");
  EXPECT_EQ(ErrorCode([&] { cursor.CreateNewTable(definitions->Fields(), definitions->Indexes(), definitions->Constraints()); }),
            native::kTableAlreadyExists30395.code);
  EXPECT_EQ(CodeOf("CREATE TABLE t (b INTEGER)"), native::kCreateTableExists.code);
  EXPECT_EQ(Dump("t"), "a:INTEGER:0\n7\n");
  other.reset();
}

// --- Refusals: each statement raises its code and changes nothing ---

class DDLRefusalTest : public DDLTest {
 protected:
  void SetUp() override {
    DDLTest::SetUp();
    Run("CREATE TABLE hraci (id AUTOINC, Jmeno VARCHAR(20), Rating INTEGER, PRIMARY KEY (id), INDEX ix (Jmeno))");
    Run("INSERT INTO hraci (Jmeno, Rating) VALUES ('Alena', 1500)");
    Run("INSERT INTO hraci (Jmeno, Rating) VALUES ('Bohumil Kratochvil', 1600)");
    Run("CREATE TABLE jedno (a INTEGER)");
  }
};

TEST_F(DDLRefusalTest, EachTypoRaisesAndChangesNothing) {
  struct Case {
    std::string text;
    int32_t code;
  };
  const std::vector<Case> cases = {
      // The column grammar: no word is passed over.
      {"CREATE TABLE t (a INTEGER UNIQE)", 10931},
      {"CREATE TABLE t (a INTEGER NOTNULL)", 10931},
      {"CREATE TABLE t (a INTEGER PRIMAY KEY)", 10931},
      {"CREATE TABLE t (a INTEGER(4))", 10931},
      {"CREATE TABLE t (a INTEGER CHECK)", 10931},
      {"CREATE TABLE t (a INTEGER, b INTEGER, c INTEGER, INDEX (a b c))", 10936},
      {"CREATE TABLE t (a INTEGER, INDEX ix (a DESCC))", 10936},
      {"CREATE TABLE t (a INTEGER, PRIMARY KEY pk a)", 10935},
      {"CREATE TABLE t (a INTEGER, INDEX ix a)", 10935},
      {"CREATE TABLE t (a INTEGER) x", 30246},
      {"CREATE TABLE t ()", 30227},
      {"CREATE TABLE t (a INTEGER,)", 30227},
      {"CREATE TABLE t a INTEGER", 30226},
      {"CREATE TABLE t (a)", 30228},
      {"CREATE TABLE t (a FOO)", 30232},
      {"CREATE TABLE t (a VARCHAR)", 30233},
      {"CREATE TABLE t (a VARCHAR(x))", 30235},
      {"CREATE TABLE t (a VARCHAR(0))", 30235},
      {"CREATE TABLE t (a VARCHAR(5 6))", 30236},
      {"CREATE TABLE t (a INTEGER NOT 5)", 30237},
      {"CREATE TABLE t (a INTEGER NOT SELECT)", 2011},
      {"CREATE TABLE t (a INTEGER DEFAULT 5 NOT NULL)", 30298},
      {"CREATE TABLE t (a INTEGER DEFAULT 1 DEFAULT 2)", 30298},
      {"CREATE TABLE t (a INTEGER DEFAULT - x)", 30292},
      {"CREATE TABLE t (a AUTOINC (DATE))", 30295},
      {"CREATE TABLE t (a AUTOINC (FOO))", 30295},
      {"CREATE TABLE t (a AUTOINCLARGEINT (INTEGER))", 30294},
      {"CREATE TABLE t (a AUTOINC (5))", 30294},
      {"CREATE TABLE t (a AUTOINC (INCREMENT x))", 30292},
      {"CREATE TABLE t (a INTEGER PRIMARY KEY, b INTEGER PRIMARY KEY)", 10934},
      {"CREATE TABLE t (a INTEGER PRIMARY KEY, PRIMARY KEY (a))", 10934},
      {"CREATE TABLE t (a INTEGER, UNIQUE KEY (a))", 30268},
      {"CREATE TABLE t (a INTEGER, UNIQUE ix (a))", 30267},
      {"CREATE TABLE t (a INTEGER, INDEX 5 (a))", 30269},
      {"CREATE TABLE t (a INTEGER, INDEX (5))", 30274},
      {"CREATE TABLE 'q' (a INTEGER)", 30230},
      {"CREATE TABLE MEMORY 5 (a INTEGER)", 30231},
      {"CREATE TABLE", 30249},
      {"CREATE TABLE t (a INTEGER, A INTEGER)", 10942},
      {"CREATE TABLE t (a BLOB BLOBBLOCKSIZE 0)", 10937},
      {"CREATE TABLE t (a BLOB BLOBBLOCKSIZE 99999999999)", 10937},
      {"CREATE TABLE t (a BLOB BLOBCOMPRESSIONMODE 300)", 10938},
      {"CREATE TABLE t (a BLOB BLOBCOMPRESSIONMODE -1)", 10938},
      {"CREATE TABLE t (a BLOB BLOBCOMPRESSIONALGORITHM ZLIBB)", 10932},
      {"CREATE TABLE t (a INTEGER MINVALUE abc)", 10933},
      // Checked when CREATE runs, before anything is made.
      {"CREATE TABLE t (a INTEGER DEFAULT 'abc')", 10939},
      {"CREATE TABLE t (a INTEGER DEFAULT 2.5)", 10939},
      {"CREATE TABLE t (a SMALLINT DEFAULT 70000)", 10939},
      {"CREATE TABLE t (a BYTE DEFAULT -1)", 10939},
      {"CREATE TABLE t (a VARCHAR(3) DEFAULT 'abcd')", 10939},
      {"CREATE TABLE t (a DATE DEFAULT 'someday')", 10939},
      {"CREATE TABLE t (a BOOLEAN DEFAULT 'maybe')", 10939},
      {"CREATE TABLE t (a INTEGER MINVALUE 10 DEFAULT 5)", 10939},
      {"CREATE TABLE t (a INTEGER MAXVALUE -1 DEFAULT 0)", 10939},
      {"CREATE TABLE t (a AUTOINC DEFAULT 5)", 10941},
      {"CREATE TABLE t (a AUTOINC (INCREMENT 0))", 10941},
      {"CREATE TABLE t (a AUTOINC (SHORTINT, MAXVALUE 1000))", 10941},
      {"CREATE TABLE t (a AUTOINC (MINVALUE 10, MAXVALUE 5))", 10941},
      {"CREATE TABLE t (a AUTOINC (MINVALUE 10))", 10941},
      {"CREATE TABLE t (a INTEGER MINVALUE 10 MAXVALUE 5)", 10940},
      {"CREATE TABLE t (a SMALLINT MAXVALUE 100000)", 10940},
      {"CREATE TABLE t (a BLOB BLOBCOMPRESSIONALGORITHM ZLIB BLOBCOMPRESSIONMODE 12)", 10953},
      {"CREATE TABLE t (a INTEGER, INDEX (b))", 10943},
      {"CREATE TABLE t (a INTEGER, INDEX ix (a), UNIQUE INDEX ix (a))", 10952},
      {"CREATE TABLE hraci (a INTEGER)", 30247},
      // Nothing of a text runs when one of its commands does not parse.
      {"CREATE TABLE t (a INTEGER); CREATE TABLE u (a FOO)", 30232},
      {"DROP TABLE hraci; DROP TABLE jedno x", 30246},
      {"DROP TABLE hraci x", 30246},
      {"DROP TABLE", 30251},
      // ALTER TABLE.
      {"ALTER TABLE hraci DROP INDEX Jmeno", 10408},
      {"ALTER TABLE hraci DROP Jmeno", 10408},
      {"ALTER TABLE hraci DROP (Jmeno Rating)", 10948},
      {"ALTER TABLE hraci DROP (Rating,)", 10406},
      {"ALTER TABLE hraci DROP COLUMN Rating x", 10944},
      {"ALTER TABLE hraci RENAME TO", 10945},
      {"ALTER TABLE hraci RENAME COLUMN Jmeno TO", 10945},
      {"ALTER TABLE hraci RENAME Jmeno Name", 30352},
      {"ALTER TABLE hraci RENAME TO x y", 10944},
      {"ALTER TABLE hraci FOO", 30253},
      {"ALTER TABLE hraci SELECT", 30252},
      {"ALTER TABLE hraci", 30161},
      {"ALTER TABLE", 30261},
      {"ALTER TABLE hraci ADD x INTEGER", 30226},
      {"ALTER TABLE hraci ADD (x INTEGER) y", 10944},
      {"ALTER TABLE hraci ADD (x INTEGER DEFAULT 'abc')", 30265},
      {"ALTER TABLE hraci ADD (x INTEGER NOT NULL)", 30265},
      {"ALTER TABLE hraci ADD (x INTEGER MINVALUE 5 DEFAULT 1)", 30265},
      {"ALTER TABLE hraci MODIFY (Rating INTEGER MAXVALUE 2000 DEFAULT 2001)", 30265},
      {"ALTER TABLE hraci ADD (jmeno INTEGER)", 30265},
      {"ALTER TABLE hraci ADD (x INTEGER, INDEX ix (x))", 30265},
      {"ALTER TABLE hraci MODIFY (nope INTEGER)", 30265},
      {"ALTER TABLE hraci MODIFY (Jmeno VARCHAR(10))", 30265},
      {"ALTER TABLE hraci MODIFY (Rating SMALLINT MAXVALUE 1000)", 30265},
      {"ALTER TABLE hraci MODIFY (Jmeno INTEGER)", 30265},
      {"ALTER TABLE hraci DROP (nope)", 30265},
      {"ALTER TABLE hraci DROP (Jmeno)", 30265},
      {"ALTER TABLE hraci DROP COLUMN id", 30265},
      {"ALTER TABLE jedno DROP (a)", 30265},
      {"ALTER TABLE nope ADD (x INTEGER)", 30265},
      {"ALTER TABLE hraci RENAME COLUMN nope TO x", 30265},
      {"ALTER TABLE hraci RENAME COLUMN Jmeno TO Rating", 30265},
      {"ALTER TABLE hraci RENAME TO jedno", 30265},
      // RENAME TABLE.
      {"RENAME", 30353},
      {"RENAME TABLE", 30354},
      {"RENAME TABLE hraci", 30355},
      {"RENAME hraci u", 30355},
      {"RENAME hraci TO", 10945},
      {"RENAME TABLE hraci TO x y", 10944},
      {"RENAME TABLE nope TO x", 30265},
      // CREATE INDEX.
      {"CREATE UNIQUE KEY ix ON hraci (Jmeno)", 30268},
      {"CREATE UNIQUE 'x' ix ON hraci (Jmeno)", 30267},
      {"CREATE INDEX 5 ON hraci (Jmeno)", 30269},
      {"CREATE INDEX ix2 hraci (Jmeno)", 30270},
      {"CREATE INDEX ix2 FROM hraci (Jmeno)", 30271},
      {"CREATE INDEX ix2 ON 5 (Jmeno)", 30272},
      {"CREATE INDEX ix2 ON hraci Jmeno", 30273},
      {"CREATE INDEX ix2 ON hraci (5)", 30274},
      {"CREATE INDEX ix2 ON hraci (Jmeno DESCC)", 10936},
      {"CREATE INDEX ix2 ON hraci (Jmeno Rating)", 10936},
      {"CREATE INDEX ix2 ON hraci (Jmeno) x", 10950},
      {"CREATE INDEX ix2 ON hraci (PASSWORD x)", 30275},
      {"CREATE INDEX ix2 ON hraci (PASSWORD 'x' Jmeno)", 30276},
      {"CREATE INDEX ix2 ON hraci (nope)", 20050},
      {"CREATE INDEX ix ON hraci (Rating)", 20022},
      {"CREATE UNIQUE INDEX ux ON hraci (Rating, nope)", 20050},
      // DROP INDEX.
      {"DROP INDEX", 30278},
      {"DROP INDEX hraci", 30279},
      {"DROP INDEX hraci ix", 30280},
      {"DROP INDEX hraci.", 30281},
      {"DROP INDEX hraci.ix PASSWORD x", 30282},
      {"DROP INDEX hraci.ix x", 10951},
      {"DROP INDEX hraci.nope", 20021},
  };
  const std::string before = Dump("hraci") + Dump("jedno");
  const std::vector<std::string> tables = session_->TableNames();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CodeOf(c.text), c.code);
    EXPECT_EQ(Dump("hraci") + Dump("jedno"), before);
    EXPECT_EQ(session_->TableNames(), tables);
  }
  const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
  EXPECT_TRUE(report.Clean()) << report.Describe();
}

TEST_F(DDLRefusalTest, MessagesNameWhatIsWrong) {
  struct Case {
    std::string text;
    std::string part;
  };
  const std::vector<Case> cases = {
      {"CREATE TABLE t (a INTEGER UNIQE)", "'UNIQE' found at line 1, column 27"},
      {"ALTER TABLE hraci DROP (Jmeno)", "the index 'ix' uses it"},
      {"ALTER TABLE hraci DROP (id)", "the index 'C_PK$id' uses it"},
      {"ALTER TABLE jedno DROP (a)", "every column of table 'jedno'"},
      {"ALTER TABLE hraci MODIFY (Jmeno VARCHAR(10))", "Record #2, field 'Jmeno'"},
      {"CREATE TABLE t (a SMALLINT DEFAULT 70000)", "Default value of column 'a'"},
      {"CREATE TABLE t (a INTEGER DEFAULT 2.5)", "2,5 does not keep its value as INTEGER"},
      {"CREATE TABLE t (a VARCHAR(3) DEFAULT 'abcd')", "'abcd' is longer than 3"},
      {"ALTER TABLE hraci MODIFY (nope INTEGER)", "Error altering table: 'Field 'nope' not found"},
      {"ALTER TABLE hraci DROP (nope)", "Error altering table: 'Field 'nope' not found"},
      {"ALTER TABLE hraci ADD (jmeno INTEGER)", "Field by name 'jmeno' already exists"},
      {"ALTER TABLE hraci ADD (x INTEGER NOT NULL)", "Restructure table error"},
      {"DROP TABLE hraci x", "Unexpected token 'x' found at line 1, column 18"},
      {"DROP INDEX hraci ix", "Token '.' expected, but 'ix' found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_NE(ErrorOf([&] { Run(c.text); }).find(c.part), std::string::npos) << ErrorOf([&] { Run(c.text); });
  }
}

TEST_F(DDLRefusalTest, StructureChangesAreRefusedInsideATransaction) {
  const std::vector<std::string> statements = {
      "CREATE TABLE t (a INTEGER)",         "DROP TABLE jedno",
      "ALTER TABLE hraci ADD (x INTEGER)",  "ALTER TABLE hraci RENAME COLUMN Rating TO Elo",
      "RENAME TABLE jedno TO dve",          "CREATE INDEX ir ON hraci (Rating)",
      "DROP INDEX hraci.ix",
  };
  const std::string before = Dump("hraci") + Dump("jedno");
  for (const std::string& statement : statements) {
    SCOPED_TRACE(statement);
    Run("START TRANSACTION");
    EXPECT_EQ(CodeOf(statement), native::kDDLInTransaction.code);
    Run("ROLLBACK");
    EXPECT_EQ(Dump("hraci") + Dump("jedno"), before);
  }
  // Memory tables stand outside transactions.
  Run("START TRANSACTION");
  EXPECT_EQ(CodeOf("CREATE TABLE MEMORY m (a INTEGER)"), 0);
  Run("ROLLBACK");
  EXPECT_TRUE(Memory().TableExists("m"));
}

// --- ALTER TABLE, RENAME TABLE, CREATE INDEX, DROP INDEX ---

class AlterTableTest : public DDLRefusalTest {};

TEST_F(AlterTableTest, AddWithADefaultFillsTheRowsAndKeepsThePrimaryIndex) {
  Run("ALTER TABLE hraci ADD (Klub VARCHAR(10) NOT NULL DEFAULT 'none', Body FLOAT)");
  EXPECT_EQ(Dump("hraci"),
            "id:AUTOINC:0 autoinc 1/0/0/9223372036854775807\nJmeno:STRING:20\nRating:INTEGER:0\n"
            "Klub:STRING:10 default none\nBody:FLOAT:0\n"
            "index C_PK$id: id primary\nindex ix: Jmeno\n"
            "constraint primary C_PK$id\nconstraint not null Klub\n"
            "1|Alena|1500|none|NULL\n2|Bohumil Kratochvil|1600|none|NULL\n");
  // The counter goes on where it was.
  Run("INSERT INTO hraci (Jmeno) VALUES ('Cyril')");
  EXPECT_EQ(Rows("SELECT id, Klub FROM hraci WHERE Jmeno = 'Cyril'"), (std::vector<std::string>{"3|none"}));
}

TEST_F(AlterTableTest, ThePrimaryIndexIsReplacedOnlyWhenOneIsDeclared) {
  Run("CREATE TABLE k (a INTEGER, b INTEGER, PRIMARY KEY (a))");
  Run("INSERT INTO k VALUES (1, 10)");
  Run("ALTER TABLE k ADD (c INTEGER)");
  EXPECT_NE(CodeOf("INSERT INTO k VALUES (1, 11, 0)"), 0);
  Run("ALTER TABLE k MODIFY (b INTEGER, PRIMARY KEY pk (b))");
  EXPECT_EQ(Schema("k"), "a:INTEGER:0\nb:INTEGER:0\nc:INTEGER:0\nindex pk: b primary\nconstraint primary pk\n");
  Run("INSERT INTO k VALUES (1, 11, 0)");
  EXPECT_NE(CodeOf("INSERT INTO k VALUES (2, 10, 0)"), 0);
}

TEST_F(AlterTableTest, ModifyChangesOnlyWhatItWritesAndKeepsEveryValue) {
  Run("ALTER TABLE hraci MODIFY (Jmeno VARCHAR(40) NOT NULL, Rating LARGEINT MINVALUE 0 DEFAULT 1000)");
  EXPECT_EQ(Dump("hraci"),
            "id:AUTOINC:0 autoinc 1/0/0/9223372036854775807\nJmeno:STRING:40\nRating:LARGEINT:0 default 1000\n"
            "index C_PK$id: id primary\nindex ix: Jmeno\n"
            "constraint primary C_PK$id\nconstraint not null Jmeno\nconstraint check Rating 0..-\n"
            "1|Alena|1500\n2|Bohumil Kratochvil|1600\n");
  EXPECT_NE(CodeOf("INSERT INTO hraci (Jmeno, Rating) VALUES ('Zuzana', -1)"), 0);
  Run("ALTER TABLE hraci MODIFY (Jmeno VARCHAR(18) NULL, Rating LARGEINT NOMINVALUE)");
  EXPECT_EQ(Schema("hraci"),
            "id:AUTOINC:0 autoinc 1/0/0/9223372036854775807\nJmeno:STRING:18\nRating:LARGEINT:0 default 1000\n"
            "index C_PK$id: id primary\nindex ix: Jmeno\nconstraint primary C_PK$id\n");
}

TEST_F(AlterTableTest, ATypeChangeThatLosesAValueFailsAndChangesNothing) {
  Run("CREATE TABLE v (i INTEGER, f FLOAT, g FLOAT, s VARCHAR(10), w VARCHAR(10))");
  Run("INSERT INTO v VALUES (5, 1.5, 0.1, 'abc', 'true')");
  const std::string before = Dump("v");
  const std::vector<std::string> losing = {
      "i BOOLEAN",    // 5 would read back as 1
      "f INTEGER",    // the fraction
      "g SINGLE",     // digits of 0.1
      "s BOOLEAN",    // a word that says neither true nor false
  };
  for (const std::string& column : losing) {
    SCOPED_TRACE(column);
    EXPECT_NE(CodeOf("ALTER TABLE v MODIFY (" + column + ")"), 0);
    EXPECT_EQ(Dump("v"), before);
  }
  Run("ALTER TABLE v MODIFY (i LARGEINT, f EXTENDED, g VARCHAR(10), s VARCHAR(3), w BOOLEAN)");
  EXPECT_EQ(Rows("SELECT * FROM v"), (std::vector<std::string>{"5|1,5|0,1|abc|True"}));
  Run("ALTER TABLE v MODIFY (i FLOAT, w INTEGER)");
  EXPECT_EQ(Rows("SELECT i, w FROM v"), (std::vector<std::string>{"5|1"}));
}

TEST_F(AlterTableTest, DropRemovesColumnsByListOrColumnWord) {
  Run("ALTER TABLE hraci ADD (a INTEGER NOT NULL DEFAULT 1, b INTEGER MAXVALUE 5, c INTEGER)");
  Run("ALTER TABLE hraci DROP (a, [b])");
  Run("ALTER TABLE hraci DROP COLUMN c");
  EXPECT_EQ(Dump("hraci"),
            "id:AUTOINC:0 autoinc 1/0/0/9223372036854775807\nJmeno:STRING:20\nRating:INTEGER:0\n"
            "index C_PK$id: id primary\nindex ix: Jmeno\nconstraint primary C_PK$id\n"
            "1|Alena|1500\n2|Bohumil Kratochvil|1600\n");
}

TEST_F(AlterTableTest, RenamesColumnsByTheLocalesUpperCasingAndTables) {
  // "čas" renamed as "ČAS" (Windows-1250).
  Run("ALTER TABLE jedno ADD (\xe8" "as INTEGER)");
  Run("ALTER TABLE jedno RENAME COLUMN \xc8" "AS TO doba");
  Run("ALTER TABLE jedno RENAME a TO b");
  EXPECT_EQ(Schema("jedno"), "b:INTEGER:0\ndoba:INTEGER:0\n");
  Run("ALTER TABLE hraci RENAME COLUMN Jmeno TO Name");
  EXPECT_EQ(Schema("hraci"),
            "id:AUTOINC:0 autoinc 1/0/0/9223372036854775807\nName:STRING:20\nRating:INTEGER:0\n"
            "index C_PK$id: id primary\nindex ix: Name\nconstraint primary C_PK$id\n");
  Run("ALTER TABLE jedno RENAME TO dve");
  Run("RENAME TABLE dve TO tri");
  Run("RENAME tri TO ctyri");
  EXPECT_FALSE(TableExists("jedno"));
  EXPECT_EQ(Schema("ctyri"), "b:INTEGER:0\ndoba:INTEGER:0\n");
  Run("CREATE TABLE MEMORY m (a INTEGER)");
  Run("ALTER TABLE MEMORY m ADD (b INTEGER DEFAULT 3)");
  Run("RENAME TABLE MEMORY m TO n");
  EXPECT_EQ(Schema("n", &Memory()), "a:INTEGER:0\nb:INTEGER:0 default 3\n");
}

TEST_F(AlterTableTest, CreateAndDropIndexPassDirectionAndCaseOn) {
  Run("CREATE UNIQUE INDEX ux ON hraci (Jmeno NOCASE, Rating DESC)");
  Run("CREATE INDEX ir ON hraci (Rating DESC CASE, PASSWORD 'secret')");
  EXPECT_EQ(Schema("hraci"),
            "id:AUTOINC:0 autoinc 1/0/0/9223372036854775807\nJmeno:STRING:20\nRating:INTEGER:0\n"
            "index C_PK$id: id primary\nindex ix: Jmeno\nindex ux: Jmeno nocase Rating desc unique\n"
            "index ir: Rating desc\nconstraint primary C_PK$id\nconstraint unique ux\n");
  EXPECT_NE(CodeOf("INSERT INTO hraci (Jmeno, Rating) VALUES ('ALENA', 1500)"), 0);
  Run("CREATE INDEX [i;x] ON hraci ([Jmeno], Rating)");
  EXPECT_NE(Schema("hraci").find("index i;x: Jmeno Rating\n"), std::string::npos);
  Run("DROP INDEX hraci.[i;x]");
  Run("DROP INDEX hraci.ux");
  Run("DROP INDEX hraci.ir PASSWORD 'secret'");
  Run("INSERT INTO hraci (Jmeno, Rating) VALUES ('ALENA', 1500)");
  // Keys already duplicated: the index is refused and the table stays.
  const std::string before = Dump("hraci");
  EXPECT_NE(CodeOf("CREATE UNIQUE INDEX ux ON hraci (Rating)"), 0);
  EXPECT_NE(CodeOf("CREATE UNIQUE INDEX uj ON hraci (Jmeno NOCASE)"), 0);
  EXPECT_EQ(Dump("hraci"), before);
  Run("CREATE UNIQUE INDEX uj ON hraci (Jmeno)");
}

}  // namespace
}  // namespace kelvorin::testing
