#include "db/query/sql/table_reference.h"

#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

std::unique_ptr<TABSTableReference> TABSTableReference::Parse(TABSSQLTokens& tokens, bool in_memory) {
  std::unique_ptr<TABSTableReference> reference = ParsePrimary(tokens, in_memory);
  for (;;) {
    TABSJoinType type = TABSJoinType::kInner;
    bool natural = false;
    if (!ParseJoinWords(tokens, &type, &natural)) return reference;
    if (!TokenIn(tokens.Token(), kTableStartKinds)) {
      if (tokens.AtEnd()) {
        throw EABSException(native::kNextTokenMissing, {tokens.Token().line_num, tokens.Token().column_num});
      }
      tokens.FailFound(native::kJoinTableExpected);
    }
    auto join = std::make_unique<TABSTableReference>();
    join->kind = Kind::kJoin;
    join->join_type = type;
    join->natural = natural;
    join->line_num = reference->line_num;
    join->column_num = reference->column_num;
    join->left = std::move(reference);
    join->right = ParsePrimary(tokens, in_memory);
    if (type != TABSJoinType::kCross && !natural) {
      if (tokens.IsReserved(rwON)) {
        tokens.NextToken();
        join->on_condition = std::make_unique<TABSExpression>();
        join->on_condition->SetInMemoryTables(in_memory);
        join->on_condition->ParseCondition(tokens.Lexer());
      } else if (tokens.IsReserved(rwUSING)) {
        tokens.NextToken();
        tokens.Expect(tktLeftParenthesis, "(", native::kUsingOpenExpected);
        join->using_columns = tokens.ParseColumnNameList();
        tokens.Expect(tktRightParenthesis, ")", native::kUsingCloseExpected);
      } else if (type != TABSJoinType::kInner) {
        tokens.FailFound(native::kOuterJoinConditionExpected);
      }
    }
    reference = std::move(join);
  }
}

void TABSTableReference::NextJoinWord(TABSSQLTokens& tokens, const TABSNativeError& error) {
  tokens.NextTokenIn(TokenKind(tktReservedWord), error);
}

bool TABSTableReference::ParseJoinWords(TABSSQLTokens& tokens, TABSJoinType* type, bool* natural) {
  if (tokens.IsReserved(rwCROSS)) {
    NextJoinWord(tokens, native::kAfterCrossUnexpected);
    tokens.ExpectReserved(rwJOIN, native::kJoinExpected);
    *type = TABSJoinType::kCross;
    return true;
  }
  if (tokens.IsReserved(rwNATURAL)) {
    NextJoinWord(tokens, native::kAfterNaturalUnexpected);
    *natural = true;
  }
  *type = TABSJoinType::kInner;
  if (tokens.IsReserved(rwINNER)) {
    NextJoinWord(tokens, native::kAfterInnerUnexpected);
  } else if (tokens.IsReserved(rwLEFT) || tokens.IsReserved(rwRIGHT) || tokens.IsReserved(rwFULL)) {
    const uint16_t word = tokens.Token().reserved_word;
    *type = word == rwLEFT ? TABSJoinType::kLeft
          : word == rwRIGHT ? TABSJoinType::kRight
                            : TABSJoinType::kFull;
    NextJoinWord(tokens, word == rwLEFT ? native::kAfterLeftUnexpected
                         : word == rwRIGHT ? native::kAfterRightUnexpected
                                           : native::kAfterFullUnexpected);
    if (tokens.IsReserved(rwOUTER)) NextJoinWord(tokens, native::kAfterOuterUnexpected);
  } else if (!*natural && !tokens.IsReserved(rwJOIN)) {
    return false;
  }
  tokens.ExpectReserved(rwJOIN, native::kJoinExpected);
  return true;
}

std::unique_ptr<TABSTableReference> TABSTableReference::ParsePrimary(TABSSQLTokens& tokens, bool in_memory) {
  if (!tokens.Is(tktLeftParenthesis)) return ParseTable(tokens, in_memory);
  tokens.NextToken();
  if (!TokenIn(tokens.Token(), kNameOrKeywordKinds | TokenKind(tktLeftParenthesis))) {
    tokens.FailFound(native::kNestedTableExpected);
  }
  std::unique_ptr<TABSTableReference> inner = Parse(tokens, in_memory);
  tokens.Expect(tktRightParenthesis, ")", native::kTableCloseExpected);
  return inner;
}

std::unique_ptr<TABSTableReference> TABSTableReference::ParseTable(TABSSQLTokens& tokens, bool in_memory) {
  auto table = std::make_unique<TABSTableReference>();
  table->in_memory = in_memory;
  if (tokens.IsReserved(rwMEMORY)) {
    table->in_memory = true;
    tokens.NextTokenIn(kNameOrKeywordKinds, native::kFromTableExpected);
  }
  tokens.RequireIn(kNameOrKeywordKinds, native::kFromTableExpected);
  table->line_num = tokens.Token().line_num;
  table->column_num = tokens.Token().column_num;
  table->table_name = tokens.Token().text;
  tokens.NextToken();
  if (tokens.Is(tktDot)) {
    table->database_name = std::move(table->table_name);
    table->table_name = tokens.NextTokenIn(kNameOrKeywordKinds, native::kTableAfterDotExpected).text;
    tokens.NextToken();
  }
  if (tokens.IsReserved(rwAS)) {
    table->alias = tokens.NextTokenIn(kNameKinds, native::kTableAliasExpected).text;
    tokens.NextToken();
  } else if (TokenIn(tokens.Token(), TokenKind(tktString) | TokenKind(tktBracketedString))) {
    table->alias = tokens.Token().text;
    tokens.NextToken();
  }
  if (tokens.IsReserved(rwPASSWORD)) {
    table->password = tokens.NextTokenIn(TokenKind(tktQuotedString), native::kTablePasswordExpected).text;
    tokens.NextToken();
  }
  return table;
}

}  // namespace kelvorin
