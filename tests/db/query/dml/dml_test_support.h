// Helpers of the data statement tests: SQL texts run over a database file
// (and the memory database for MEMORY tables), the rows they affect, and a
// table read back whole (definition, rows in id order, the next
// auto-increment number) so that a failed statement can be shown to have
// changed nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/query/dml/data_statements.h"
#include "db/storage/memory/memory_manager.h"
#include "tests/db/access/ddl/ddl_test_support.h"

namespace kelvorin::testing {

// Runs every statement of the text over a session of its own (another
// connection, or a child process's); the rows the statements affected.
inline int64_t ExecOn(TABSLocalSession& session, const std::string& text) {
  TABSSQLQueryContext context;
  context.session = &session;
  TABSSQLProcessor processor(context);
  processor.SetSQL(text);
  processor.Run(false);
  return processor.RowsAffected();
}

class DMLTest : public DDLTest {
 protected:
  void SetUp() override {
    DDLTest::SetUp();
    RegisterDataStatements();
  }
  void TearDown() override {
    MemoryManager().SetMemoryLimit(0);
    DDLTest::TearDown();
  }

  // Runs every statement of the text; the rows the statements affected.
  int64_t Exec(const std::string& text) {
    TABSSQLProcessor processor(context_);
    processor.SetSQL(text);
    processor.Run(false);
    return processor.RowsAffected();
  }

  // The MEMORY database's session (the memory tables' prefix "MEMORY ").
  TABSLocalSession& Memory() { return context_.open_database("MEMORY"); }

  // What a table is: its definition, its rows and the counts of its
  // indexes' entries; `table` may start with "MEMORY ".
  std::string State(const std::string& table) {
    const bool memory = table.rfind("MEMORY ", 0) == 0;
    const std::string name = memory ? table.substr(7) : table;
    std::string text = Schema(name, memory ? &Memory() : nullptr);
    TABSLocalCursor cursor(memory ? Memory() : *session_, name);
    cursor.Open();
    text += "count " + std::to_string(cursor.RecordCount()) + "\n";
    const TABSTableMetadata& metadata = cursor.OpenTable().Metadata();
    for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
      const TABSIndexDef& index = *metadata.Indexes().Items(i);
      if (index.Temporary()) continue;
      cursor.SwitchIndex(index.Name());
      text += "index " + index.Name() + " holds " + std::to_string(RecordsInOrder(cursor)) + "\n";
    }
    for (const int64_t value : cursor.OpenTable().State().autoinc_values) text += "autoinc " + std::to_string(value) + "\n";
    cursor.SwitchIndex("");
    for (const std::string& row : Rows("SELECT * FROM " + table)) text += row + "\n";
    return text;
  }

  static int64_t RecordsInOrder(TABSLocalCursor& cursor) {
    int64_t count = 0;
    cursor.First();
    while (cursor.GetRecord(nullptr, TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) ++count;
    return count;
  }

  void ExpectFileClean() {
    const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
    EXPECT_TRUE(report.Clean()) << report.Describe();
  }
};

}  // namespace kelvorin::testing
