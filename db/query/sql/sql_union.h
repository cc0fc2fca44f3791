// TABSSQLUnion: the query statement, one SELECT or set operations over
// SELECTs. A trailing ORDER BY of a compound statement orders the whole
// compound; ORDER BY and INTO inside another operand are refused.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/query/sql/query_expression.h"
#include "db/query/sql/sql_cursor_command.h"

namespace kelvorin {

class TABSSQLUnion : public TABSSQLCursorCommand {
 public:
  TABSSQLUnion(TABSLexer& lexer, const TABSSQLQueryContext& context);
  ~TABSSQLUnion() override;

  void Parse() override;
  // A live result (asked for, and the statement a plain SELECT of columns
  // of one table, ordered or not) is a cursor on the table itself that
  // shows the selected columns under their aliases, its rows filtered by
  // WHERE and in the order of ORDER BY; everything else runs the operator
  // tree and is read-only.
  void Execute(bool open, bool* read_only, bool request_live) override;
  std::unique_ptr<TABSLocalCursor> TakeResultCursor() override;
  bool YieldsRows() const override { return into_table_name_.empty(); }

  const TABSQueryExprNode& Root() const { return *root_; }
  // The compound's own ORDER BY (a single SELECT keeps its own).
  const std::vector<TABSSortSpecification>& CompoundOrderBy() const { return order_by_; }
 protected:
  std::unique_ptr<TABSAO> BuildAO(const std::shared_ptr<TABSAOEnv>& env) override;

 private:
  bool CanBeLive() const;
  // Moves the trailing ORDER BY of a compound to the statement and refuses
  // ORDER BY and INTO anywhere else in it.
  void CheckOperands();

  std::unique_ptr<TABSQueryExprNode> root_;
  std::vector<TABSSortSpecification> order_by_;
  std::unique_ptr<TABSLocalCursor> live_;
};

}  // namespace kelvorin
