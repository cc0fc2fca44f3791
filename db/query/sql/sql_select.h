// TABSSQLSelect: one SELECT as the grammar reads it (clauses in their fixed
// order), before it is built into operators.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/query/operators/ao.h"
#include "db/query/parser/expression.h"
#include "db/query/sql/sql_command.h"
#include "db/query/sql/table_reference.h"

namespace kelvorin {

struct TABSSortSpecification {
  std::string table_name;
  std::string field_name;
  // An integer token: the k-th result column.
  bool is_position = false;
  int64_t position = 0;
  bool descending = false;
};

class TABSSQLSelect {
 public:
  // Reads a SELECT from the current token, which the caller found to be
  // SELECT; stops at the first token that continues no clause.
  void Parse(TABSSQLTokens& tokens, bool in_memory);

  bool distinct = false;
  int32_t top_count = -1;
  int32_t top_first = -1;
  bool select_all = false;
  std::vector<TABSSelectListItem> select_list;
  std::string into_table_name;
  std::string into_database_name;
  bool into_in_memory = false;
  std::vector<std::unique_ptr<TABSTableReference>> table_references;
  std::unique_ptr<TABSExpression> where;
  std::vector<TABSSQLTokens::ColumnReference> group_by;
  std::unique_ptr<TABSExpression> having;
  std::vector<TABSSortSpecification> order_by;
  // Where INTO and ORDER BY were written (line 0: not written), for the
  // set operations that refuse them in an operand.
  TToken into_token;
  TToken order_by_token;

 private:
  void ParseTop(TABSSQLTokens& tokens);
  void ParseSelectList(TABSSQLTokens& tokens);
  // One item; false when the current token starts none.
  bool ParseItem(TABSSQLTokens& tokens);
  void ParseInto(TABSSQLTokens& tokens);
  void ParseFrom(TABSSQLTokens& tokens, bool in_memory);
  void ParseOrderBy(TABSSQLTokens& tokens);
  std::unique_ptr<TABSExpression> ParseCondition(TABSSQLTokens& tokens, bool in_memory);
};

}  // namespace kelvorin
