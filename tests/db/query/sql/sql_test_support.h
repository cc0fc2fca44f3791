// Helpers of the statement tests: SQL texts run through the processor over
// the operator tests' seeded database, their rows read back as text rows
// ("a|b|NULL"), with the header of column names.
#pragma once

#include <string>
#include <vector>

#include "db/query/operators/row_table.h"
#include "db/query/sql/sql_processor.h"
#include "tests/db/query/operators/operator_test_support.h"

namespace kelvorin::testing {

// A text and its rows.
struct SqlCase {
  std::string text;
  std::vector<std::string> rows;
  // The text orders its rows; otherwise they are compared as a multiset.
  bool ordered = false;
};

class SqlTest : public OperatorTest {
 protected:
  void SetUp() override {
    OperatorTest::SetUp();
    context_.session = session_.get();
  }

  struct Result {
    std::vector<std::string> header;
    std::vector<std::string> rows;
  };

  static Result ReadCursor(TABSLocalCursor& cursor) {
    Result result;
    const TABSFieldDefs& fields = cursor.OpenTable().Metadata().Fields();
    for (int32_t i = 0; i < fields.Count(); ++i) result.header.push_back(fields.Items(i)->Name());
    TABSRowReader reader(cursor);
    TABSVariant value;
    for (reader.First(); !reader.Eof(); reader.Next()) {
      std::string row;
      for (int32_t i = 0; i < fields.Count(); ++i) {
        reader.Value(i, &value);
        if (i > 0) row += "|";
        row += value.IsNull() ? "NULL" : CellText(value);
      }
      result.rows.push_back(row);
    }
    return result;
  }

  // A value as text; BLOB-like contents as their bytes (a wide memo's
  // characters narrowed, the tests keep them ASCII).
  static std::string CellText(const TABSVariant& value) {
    if (!IsBlobStorage(value.Type())) return value.AsString();
    const auto* bytes = static_cast<const char*>(value.Data());
    if (value.Type() != TABSStorageType::WideMemo) return std::string(bytes, static_cast<size_t>(value.DataSize()));
    std::string text;
    for (int32_t i = 0; i + 1 < value.DataSize(); i += 2) text += bytes[i];
    return text;
  }

  // Runs the text; the last statement's rows.
  Result Query(const std::string& text) {
    TABSSQLProcessor processor(context_);
    processor.SetSQL(text);
    std::unique_ptr<TABSLocalCursor> cursor = processor.Run();
    if (cursor == nullptr) return {};
    return ReadCursor(*cursor);
  }
  std::vector<std::string> Rows(const std::string& text) { return Query(text).rows; }

  // Each text runs without error and gives its rows.
  void ExpectRows(const std::vector<SqlCase>& cases) {
    for (const SqlCase& c : cases) {
      SCOPED_TRACE(c.text);
      std::vector<std::string> rows;
      EXPECT_EQ(ErrorOf([&] { rows = Rows(c.text); }), "");
      EXPECT_EQ(c.ordered ? rows : Sorted(rows), c.ordered ? c.rows : Sorted(c.rows));
    }
  }

  TABSSQLQueryContext context_;
};

}  // namespace kelvorin::testing
