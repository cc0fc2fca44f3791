// Helpers of the operator tests: a database file with tables seeded from
// text rows, operator trees over them, conditions parsed from SQL text and
// pushed into a tree, and results read back as text rows ("a|b|NULL").
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/query/lexer/lexer.h"
#include "db/query/operators/ao_table.h"
#include "db/query/operators/push_down.h"
#include "db/storage/blobs/blob_manager.h"
#include "db/storage/temporary/temporary_database_data.h"
#include "tests/db/engine_error_capture.h"
#include "tests/db/storage/catalog/catalog_test_util.h"

namespace kelvorin::testing {

using Rows = std::vector<std::vector<const char*>>;  // nullptr: NULL

class OperatorTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    TABSDiskDatabaseData::CreateDatabase(Path(), {}, {});
    TABSSessionSettings settings;
    settings.file_name = Path();
    session_ = std::make_unique<TABSLocalSession>(settings, list_);
    session_->Connect();
    env_ = std::make_shared<TABSAOEnv>();
  }
  void TearDown() override {
    env_.reset();
    session_.reset();
    EXPECT_TRUE(TemporaryDatabase().GetTableNames().empty()) << "a temporary table outlived its operator";
    CatalogTest::TearDown();
  }

  void MakeTable(const std::string& name, const std::vector<TABSDatasetFieldDef>& fields, const Rows& rows) {
    TABSLocalCursor cursor(*session_, name);
    const auto defs = Definitions(fields);
    cursor.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
    cursor.Open();
    // One commit for all rows: a commit per row makes large fixtures slow.
    cursor.BeginBatch();
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    for (const auto& row : rows) {
      cursor.InitRecordBuffer(buffer.data(), false);
      for (size_t i = 0; i < row.size(); ++i) {
        if (row[i] == nullptr) continue;
        if (IsBlobColumn(fields[i].type)) {
          // MEMO and its kind take their contents through a stream (as text
          // of the column's own width).
          std::string bytes = row[i];
          if (fields[i].type == TABSColumnType::WideMemo) {
            std::string wide;
            for (const char c : bytes) wide += {c, '\0'};
            bytes = wide;
          }
          auto stream = cursor.OpenBlob(buffer.data(), static_cast<int32_t>(i), TABSBlobStreamMode::kWrite);
          ASSERT_NE(stream, nullptr);
          ASSERT_EQ(stream->Write(bytes.data(), static_cast<int64_t>(bytes.size())), static_cast<int64_t>(bytes.size()));
          continue;
        }
        TABSVariant value(TABSStorageType::String);
        value.SetString(row[i]);
        if (fields[i].type == TABSColumnType::LargeInt) value.SetLargeInt(std::stoll(row[i]));
        cursor.OpenTable().FieldManager().SetFieldValue(static_cast<int32_t>(i), value, buffer.data());
      }
      ASSERT_TRUE(cursor.Post(buffer.data(), true)) << cursor.StatusMessage();
      if (TABSBlobManager* blobs = cursor.OpenTable().BlobManager()) blobs->ReleaseDescriptors(buffer.data());
    }
    cursor.CommitBatch();
  }

  std::unique_ptr<TABSAO> Table(const std::string& name, const std::string& alias = "") {
    return std::make_unique<TABSAOTable>(env_, *session_, name, alias);
  }

  static std::unique_ptr<TABSExpression> Parse(const std::string& text, bool value = false) {
    TABSLexer lexer(text);
    lexer.NextCommand();
    auto expression = std::make_unique<TABSExpression>();
    if (value) {
      expression->ParseValue("", lexer);
    } else {
      expression->ParseCondition(lexer);
    }
    return expression;
  }
  // Pushes a WHERE condition into the tree; all of it must find a place.
  static void Where(TABSAO& op, const std::string& text) {
    auto condition = Parse(text);
    PushDown(*condition, op);
    EXPECT_TRUE(condition->IsEmpty()) << "not placed: " << text;
  }

  static TABSSelectListItem Column(const std::string& qualifier, const std::string& name, const std::string& alias = "") {
    TABSSelectListItem item;
    item.table_name = qualifier;
    item.field_name = name;
    item.all_fields = name == "*";
    item.alias = alias;
    return item;
  }
  static TABSSelectListItem Expr(const std::string& text, const std::string& alias = "") {
    TABSSelectListItem item;
    item.is_expression = true;
    item.expression = Parse(text, true);
    item.alias = alias;
    return item;
  }
  static std::vector<TABSSelectListItem> List(std::vector<TABSSelectListItem> items) { return items; }

  // Executes the tree as a statement's top and reads its result.
  static std::vector<std::string> Run(TABSAO& op) {
    op.Execute(true);
    return ReadAll(op);
  }
  static std::vector<std::string> ReadAll(TABSAO& op) {
    std::vector<std::string> rows;
    const std::vector<int32_t> output = op.OutputColumns();
    TABSVariant value;
    for (op.First(); !op.Eof(); op.Next()) {
      std::string row;
      for (size_t i = 0; i < output.size(); ++i) {
        op.GetColumnValue(output[i], &value);
        if (i > 0) row += "|";
        row += value.IsNull() ? "NULL" : value.AsString();
      }
      rows.push_back(row);
    }
    return rows;
  }
  static std::vector<std::string> Sorted(std::vector<std::string> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  TABSOpenDatabases list_;
  std::unique_ptr<TABSLocalSession> session_;
  std::shared_ptr<TABSAOEnv> env_;
};

}  // namespace kelvorin::testing
