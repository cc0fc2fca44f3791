// CREATE TABLE with its column grammar and DROP TABLE.
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
            "id:AUTOINC:0\nname:STRING:20\nrating:INTEGER:0 default 1500\n"
            "index C_Unique$name: name unique\nindex C_PK$id: id primary\n"
            "constraint 3 name\nconstraint 2 C_Unique$name\nconstraint 0 C_PK$id\n");
}

TEST_F(CreateTableTest, DropTableDeletesAndAMissingTableIsSilent) {
  Run("CREATE TABLE t (a INTEGER)");
  ASSERT_TRUE(TableExists("t"));
  Run("DROP TABLE t");
  EXPECT_FALSE(TableExists("t"));
  EXPECT_EQ(CodeOf("DROP TABLE t"), 0);
}

TEST_F(CreateTableTest, AnExistingTableIsRefusedUnwrapped) {
  Run("CREATE TABLE t (a INTEGER)");
  EXPECT_EQ(CodeOf("CREATE TABLE t (b INTEGER)"), 30247);
  EXPECT_EQ(Schema("t"), "a:INTEGER:0\n");
}

}  // namespace
}  // namespace kelvorin::testing
