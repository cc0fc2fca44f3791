// A process killed at a random write of ALTER TABLE leaves the table
// entirely as it was or entirely changed, and the file passes the check.
#include <gtest/gtest.h>
#include <filesystem>
#include <random>

#include "tests/db/access/ddl/ddl_test_support.h"
#include "tests/db/write_killer.h"

namespace kelvorin::testing {
namespace {

class AlterKillTest : public DDLTest {};

TEST_F(AlterKillTest, KilledAtRandomWritesTheTableIsOldOrNew) {
  Run("CREATE TABLE hraci (id AUTOINC, Jmeno VARCHAR(20), Rating INTEGER, PRIMARY KEY (id), INDEX ix (Jmeno))");
  std::string inserts;
  for (int i = 0; i < 60; ++i) {
    inserts += "INSERT INTO hraci (Jmeno, Rating) VALUES ('hrac" + std::to_string(i) + "', " +
               std::to_string(1000 + i) + ");";
  }
  Run(inserts);
  const std::string old_dump = Dump("hraci");
  session_.reset();
  const std::vector<uint8_t> original = StorageTest::ReadAll(Path());
  const std::vector<std::string> statements = {
      "ALTER TABLE hraci ADD (Klub VARCHAR(10) DEFAULT 'none')",
      "ALTER TABLE hraci DROP (Rating)",
      "ALTER TABLE hraci MODIFY (Jmeno VARCHAR(40) NOT NULL, PRIMARY KEY pk (Jmeno))",
  };
  std::mt19937 random(20);
  for (const std::string& statement : statements) {
    SCOPED_TRACE(statement);
    std::string new_dump;
    const int total = CountWrites([&] {
      Reconnect();
      Run(statement);
      new_dump = Dump("hraci");
      session_.reset();
    });
    ASSERT_GT(total, 3);
    std::vector<int> moments = {1, total};
    for (int i = 0; i < 10; ++i) moments.push_back(std::uniform_int_distribution<int>(1, total)(random));
    KillAtWrites(
        moments,
        [&] {
          WriteAll(Path(), original);
          std::filesystem::remove(Path() + "-journal");
        },
        [&] {
          Reconnect();
          Run(statement);
        },
        [&] {
          Reconnect();
          const std::string dump = Dump("hraci");
          EXPECT_TRUE(dump == old_dump || dump == new_dump) << dump;
          session_.reset();
          const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
          EXPECT_FALSE(report.HasCorruption()) << report.Describe();
        });
    if (HasFailure()) return;
    WriteAll(Path(), original);
    std::filesystem::remove(Path() + "-journal");
  }
  Reconnect();
}

}  // namespace
}  // namespace kelvorin::testing
