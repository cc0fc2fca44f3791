#include "db/query/dml/sql_rows.h"

#include "db/query/dml/dml_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

void SkipOrderBy(TABSSQLTokens& tokens) {
  tokens.NextToken();
  tokens.ExpectReserved(rwBY, native::kDataOrderByExpected);
  for (;;) {
    if (tokens.AtEnd()) tokens.FailAt(native::kNextTokenMissing, tokens.Token());
    tokens.RequireIn(kNameOrKeywordKinds, native::kDataOrderByColumnExpected);
    tokens.NextToken();
    if (tokens.IsReserved(rwASC) || tokens.IsReserved(rwDESC)) tokens.NextToken();
    if (!tokens.Is(tktComma)) return;
    tokens.NextToken();
  }
}

// Takes the condition off the cursor on every path.
struct ConditionOnCursor {
  TABSLocalCursor& cursor;
  ~ConditionOnCursor() { cursor.SetSecondExpression(nullptr); }
};

}  // namespace

std::unique_ptr<TABSExpression> ParseRowsTail(TABSSQLTokens& tokens, const TABSSQLQueryContext& context) {
  std::unique_ptr<TABSExpression> condition;
  if (tokens.IsReserved(rwWHERE)) {
    tokens.NextToken();
    condition = std::make_unique<TABSExpression>();
    condition->SetInMemoryTables(context.in_memory);
    condition->SetAutoIncProvider(context.auto_inc);
    condition->ParseCondition(tokens.Lexer());
  }
  if (tokens.IsReserved(rwORDER)) SkipOrderBy(tokens);
  tokens.ExpectEnd();
  return condition;
}

std::vector<TABSRecordId> CollectRecordIds(TABSLocalCursor& cursor, TABSExpression* condition,
                                           const TABSSQLQueryContext& context) {
  std::vector<TABSRecordId> ids;
  ConditionOnCursor on_cursor{cursor};
  if (condition != nullptr) {
    condition->BindToCursor(&cursor);
    cursor.SetSecondExpression(condition);
  }
  cursor.First();
  int64_t rows = 0;
  while (cursor.GetRecord(nullptr, TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
    if ((++rows & 1023) == 0) CheckCancelled(context);
    ids.push_back(cursor.CurrentId());
  }
  return ids;
}

}  // namespace kelvorin
