#include "db/query/sql/sql_select.h"

#include <limits>

#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

void TABSSQLSelect::Parse(TABSSQLTokens& tokens, bool in_memory) {
  if (!tokens.IsReserved(rwSELECT)) tokens.FailFound(native::kSelectExpected);
  tokens.NextToken();
  if (tokens.IsReserved(rwALL)) {
    tokens.NextToken();
  } else if (tokens.IsReserved(rwDISTINCT)) {
    distinct = true;
    tokens.NextToken();
  }
  if (tokens.IsReserved(rwTOP)) ParseTop(tokens);
  ParseSelectList(tokens);
  if (tokens.IsReserved(rwINTO)) ParseInto(tokens);
  if (!tokens.IsReserved(rwFROM)) tokens.FailExpected(native::kFromExpected, "FROM");
  ParseFrom(tokens, in_memory);
  if (tokens.IsReserved(rwWHERE)) {
    tokens.NextToken();
    where = ParseCondition(tokens, in_memory);
  }
  if (tokens.IsReserved(rwGROUP)) {
    tokens.NextToken();
    tokens.ExpectReserved(rwBY, native::kGroupByExpected);
    group_by = tokens.ParseColumnReferenceList(native::kGroupByColumnExpected,
                                               native::kGroupByNextColumnExpected);
  }
  if (tokens.IsReserved(rwHAVING)) {
    tokens.NextToken();
    having = ParseCondition(tokens, in_memory);
  }
  if (tokens.IsReserved(rwORDER)) ParseOrderBy(tokens);
}

std::unique_ptr<TABSExpression> TABSSQLSelect::ParseCondition(TABSSQLTokens& tokens, bool in_memory) {
  auto condition = std::make_unique<TABSExpression>();
  condition->SetInMemoryTables(in_memory);
  condition->ParseCondition(tokens.Lexer());
  return condition;
}

void TABSSQLSelect::ParseTop(TABSSQLTokens& tokens) {
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  const TToken& count = tokens.NextTokenIn(TokenKind(tktInt), native::kTopCountExpected);
  if (count.int_value > kLargest) tokens.FailFound(native::kTopCountExpected);
  top_count = static_cast<int32_t>(count.int_value);
  tokens.NextToken();
  if (!tokens.Is(tktComma)) return;
  const TToken& first = tokens.NextTokenIn(TokenKind(tktInt), native::kTopFirstExpected);
  if (first.int_value < 1 || first.int_value > kLargest) tokens.FailFound(native::kTopFirstExpected);
  top_first = static_cast<int32_t>(first.int_value);
  tokens.NextToken();
}

void TABSSQLSelect::ParseSelectList(TABSSQLTokens& tokens) {
  if (tokens.IsSymbol("*")) {
    select_all = true;
    tokens.NextToken();
    return;
  }
  if (!ParseItem(tokens)) tokens.FailFound(native::kSelectListExpected);
  while (tokens.Is(tktComma)) {
    tokens.NextToken();
    if (!ParseItem(tokens)) tokens.FailFound(native::kSelectItemExpected);
  }
}

bool TABSSQLSelect::ParseItem(TABSSQLTokens& tokens) {
  TABSSelectListItem item;
  TABSLexer& lexer = tokens.Lexer();
  const int32_t at = lexer.GetCurrentTokenNo();
  if (TokenIn(tokens.Token(), kNameOrKeywordKinds) && lexer.NextToken().token_type == tktDot) {
    std::string qualifier(tokens.Token().text);
    lexer.SetCurrentTokenNo(at + 2);
    if (tokens.IsSymbol("*")) {
      item.table_name = std::move(qualifier);
      item.all_fields = true;
      item.field_name = "*";
      tokens.NextToken();
      select_list.push_back(std::move(item));
      return true;
    }
    lexer.SetCurrentTokenNo(at);
  }
  if (tokens.AtEnd()) return false;
  auto expression = std::make_unique<TABSExpression>();
  expression->ParseValue("", tokens.Lexer());
  if (expression->IsEmpty()) {
    tokens.Lexer().SetCurrentTokenNo(at);
    return false;
  }
  if (expression->IsField()) {
    expression->GetFieldName(&item.table_name, &item.field_name);
  } else {
    item.is_expression = true;
    item.expression = std::move(expression);
  }
  if (tokens.IsReserved(rwAS)) {
    item.alias = tokens.NextTokenIn(kNameKinds, native::kSelectAliasExpected).text;
    tokens.NextToken();
  } else if (TokenIn(tokens.Token(), kNameKinds)) {
    item.alias = tokens.Token().text;
    tokens.NextToken();
  }
  select_list.push_back(std::move(item));
  return true;
}

void TABSSQLSelect::ParseInto(TABSSQLTokens& tokens) {
  into_token = tokens.Token();
  tokens.NextTokenIn(kNameOrKeywordKinds, native::kIntoTableExpected);
  // MEMORY is a table's name when FROM follows it.
  const TToken& after = tokens.Lexer().NextToken();
  if (tokens.IsReserved(rwMEMORY) && TokenIn(after, kNameOrKeywordKinds) &&
      !TABSLexer::IsReservedWord(after, rwFROM)) {
    into_in_memory = true;
    tokens.NextToken();
  }
  into_table_name = tokens.Token().text;
  tokens.NextToken();
  if (tokens.Is(tktDot)) {
    into_database_name = std::move(into_table_name);
    into_table_name = tokens.NextTokenIn(kNameOrKeywordKinds, native::kIntoTableAfterDotExpected).text;
    tokens.NextToken();
  }
}

void TABSSQLSelect::ParseFrom(TABSSQLTokens& tokens, bool in_memory) {
  tokens.NextTokenIn(kTableStartKinds, native::kFromTableExpected);
  table_references.push_back(TABSTableReference::Parse(tokens, in_memory));
  while (tokens.Is(tktComma)) {
    tokens.NextTokenIn(kTableStartKinds, native::kFromNextTableExpected);
    table_references.push_back(TABSTableReference::Parse(tokens, in_memory));
  }
}

void TABSSQLSelect::ParseOrderBy(TABSSQLTokens& tokens) {
  order_by_token = tokens.Token();
  tokens.NextToken();
  tokens.ExpectReserved(rwBY, native::kOrderByExpected);
  constexpr TTokenKinds kSortStart = kNameOrKeywordKinds | TokenKind(tktInt);
  tokens.RequireIn(kSortStart, native::kOrderByColumnExpected);
  for (;;) {
    TABSSortSpecification sort;
    const TToken& first = tokens.Token();
    if (first.token_type == tktInt) {
      sort.is_position = true;
      sort.position = first.int_value;
    }
    sort.field_name = first.text;
    tokens.NextToken();
    if (tokens.Is(tktDot)) {
      sort.is_position = false;
      sort.table_name = std::move(sort.field_name);
      sort.field_name = tokens.NextTokenIn(kNameOrKeywordKinds, native::kOrderByAfterDotExpected).text;
      tokens.NextToken();
    }
    if (tokens.IsReserved(rwASC)) {
      tokens.NextToken();
    } else if (tokens.IsReserved(rwDESC)) {
      sort.descending = true;
      tokens.NextToken();
    }
    order_by.push_back(std::move(sort));
    if (!tokens.Is(tktComma)) return;
    tokens.NextTokenIn(kSortStart, native::kOrderByNextColumnExpected);
  }
}

}  // namespace kelvorin
