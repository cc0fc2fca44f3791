// Helpers of the structure statement tests: SQL texts run over a database
// file (and the memory database for MEMORY tables), and a table read back
// as its definition and rows, so that a failed statement can be shown to
// have changed nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/access/ddl/ddl_statements.h"
#include "db/query/dml/data_statements.h"
#include "db/storage/catalog/catalog_check.h"
#include "tests/db/query/sql/sql_test_support.h"

namespace kelvorin::testing {

class DDLTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    RegisterDDLStatements();
    RegisterDataStatements();
    context_.open_database = [this](std::string_view name) -> TABSLocalSession& {
      if (memory_ == nullptr) {
        TABSSessionSettings settings;
        settings.file_name = std::string(name);
        memory_ = std::make_unique<TABSLocalSession>(settings, list_);
        memory_->Connect();
      }
      return *memory_;
    };
  }
  void TearDown() override {
    // The memory database outlives the test: its tables go.
    if (memory_ != nullptr) {
      for (const std::string& name : memory_->TableNames()) TABSLocalCursor(*memory_, name).DeleteTable();
    }
    memory_.reset();
    SqlTest::TearDown();
  }

  // The test's connection to the file again (after `session_.reset()`).
  void Reconnect() {
    TABSSessionSettings settings;
    settings.file_name = Path();
    session_ = std::make_unique<TABSLocalSession>(settings, list_);
    session_->Connect();
    context_.session = session_.get();
  }

  // Runs every statement of the text.
  void Run(const std::string& text) {
    TABSSQLProcessor processor(context_);
    processor.SetSQL(text);
    processor.Run();
  }
  int32_t CodeOf(const std::string& text) {
    return ErrorCode([&] { Run(text); });
  }

  // The fields (name:type:size), indexes (name:columns:flags) and
  // constraints of a table, one line each.
  std::string Schema(const std::string& table, TABSLocalSession* session = nullptr) {
    TABSLocalCursor cursor(session != nullptr ? *session : *session_, table);
    cursor.Open();
    const TABSTableMetadata& metadata = cursor.OpenTable().Metadata();
    std::string text;
    for (int32_t i = 0; i < metadata.Fields().Count(); ++i) {
      const TABSFieldDef& field = *metadata.Fields().Items(i);
      text += field.Name() + ":" + std::string(ColumnTypeName(field.ColumnType())) + ":" +
              std::to_string(field.DeclaredSize());
      if (!field.DefaultValue().IsNull()) text += " default " + field.DefaultValue().AsString();
      if (IsAutoIncColumn(field.ColumnType())) {
        text += " autoinc " + std::to_string(field.AutoIncIncrement()) + "/" + std::to_string(field.AutoIncInitialValue()) +
                "/" + std::to_string(field.AutoIncMinimum()) + "/" + std::to_string(field.AutoIncMaximum()) +
                (field.AutoIncCycle() ? " cycled" : "");
      }
      if (IsBlobColumn(field.ColumnType())) {
        text += " blob " + std::to_string(field.BlobCompressionAlgorithm()) + "/" +
                std::to_string(field.BlobCompressionLevel()) + "/" + std::to_string(field.BlobBlockSize());
      }
      text += "\n";
    }
    for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
      const TABSIndexDef& index = *metadata.Indexes().Items(i);
      if (index.Temporary()) continue;
      text += "index " + index.Name() + ":";
      for (const TABSIndexColumn& column : index.Columns()) {
        text += " " + column.field_name + (column.descending ? " desc" : "") + (column.case_insensitive ? " nocase" : "");
      }
      text += std::string(index.Primary() ? " primary" : index.Unique() ? " unique" : "") + "\n";
    }
    for (int32_t i = 0; i < metadata.Constraints().Count(); ++i) {
      const TABSConstraintDef& constraint = *metadata.Constraints().Items(i);
      static const char* const kKinds[] = {"primary", "?", "unique", "not null", "check"};
      text += std::string("constraint ") + kKinds[constraint.Kind() % 5] + " " + constraint.SubjectPair().name;
      if (constraint.Kind() == static_cast<uint8_t>(TABSConstraintKind::kCheck)) {
        const auto& check = static_cast<const TABSConstraintDefCheck&>(constraint);
        text += " " + (check.Minimum().IsNull() ? std::string("-") : check.Minimum().AsString()) + ".." +
                (check.Maximum().IsNull() ? std::string("-") : check.Maximum().AsString());
      }
      text += "\n";
    }
    return text;
  }
  // The schema and every row of the table in storage order.
  std::string Dump(const std::string& table) {
    std::string text = Schema(table);
    for (const std::string& row : Rows("SELECT * FROM " + table)) text += row + "\n";
    return text;
  }
  bool TableExists(const std::string& table) { return session_->TableExists(table); }
  TABSLocalSession& Memory() { return context_.open_database("MEMORY"); }

  std::unique_ptr<TABSLocalSession> memory_;
};

}  // namespace kelvorin::testing
