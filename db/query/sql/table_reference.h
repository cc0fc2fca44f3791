// TABSTableReference: one item of a FROM list, a table or a join of two
// items (joins nest to the left), as the SELECT grammar reads it. The DML
// statements read their tables with it as well.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/query/operators/ao_join.h"
#include "db/query/parser/expression.h"
#include "db/query/sql/sql_command.h"

namespace kelvorin {

class TABSTableReference {
 public:
  enum class Kind : uint8_t { kTable = 0, kJoin = 1 };

  // Reads a table reference with its joins from the current token (which
  // the caller checked to be a table start). `in_memory` is the query's
  // setting, which a table takes unless MEMORY is written.
  static std::unique_ptr<TABSTableReference> Parse(TABSSQLTokens& tokens, bool in_memory);

  Kind kind = Kind::kTable;
  std::string database_name;
  std::string table_name;
  std::string alias;
  std::string password;
  bool in_memory = false;
  // Where the table's name stands, for messages about it.
  int32_t line_num = 0;
  int32_t column_num = 0;

  bool natural = false;
  TABSJoinType join_type = TABSJoinType::kCross;
  std::unique_ptr<TABSTableReference> left;
  std::unique_ptr<TABSTableReference> right;
  std::vector<std::string> using_columns;
  std::unique_ptr<TABSExpression> on_condition;

  // The name other parts of the statement qualify the table's columns with.
  const std::string& QualifierName() const { return alias.empty() ? table_name : alias; }

 private:
  static std::unique_ptr<TABSTableReference> ParsePrimary(TABSSQLTokens& tokens, bool in_memory);
  static std::unique_ptr<TABSTableReference> ParseTable(TABSSQLTokens& tokens, bool in_memory);
  // After a join keyword: moves on and requires a reserved word.
  static void NextJoinWord(TABSSQLTokens& tokens, const TABSNativeError& error);
  // Reads the join's type words up to and past JOIN; false when the
  // current token starts no join.
  static bool ParseJoinWords(TABSSQLTokens& tokens, TABSJoinType* type, bool* natural);
};

}  // namespace kelvorin
