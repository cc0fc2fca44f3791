#include "db/query/sql/sql_command.h"

#include "db/access/local/local_cursor.h"
#include "db/query/parser/expression.h"
#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

void CheckCancelled(const TABSSQLQueryContext& context) {
  if (context.cancelled && context.cancelled()) throw EABSException(native::kStatementCancelled);
}

bool TokenIn(const TToken& token, TTokenKinds kinds) {
  if ((kinds & TokenKind(token.token_type)) == 0) return false;
  if (token.token_type != tktString || token.text.empty()) return true;
  switch (token.text.front()) {
    case '-': case '+': case '*': case '/': case '=': case '|': case '<': case '>':
      return false;
    default:
      return true;
  }
}

TABSSQLCommand::TABSSQLCommand(TABSLexer& lexer, const TABSSQLQueryContext& context)
    : TABSSQLTokens(lexer), context_(context) {}

TABSSQLCommand::~TABSSQLCommand() = default;

std::unique_ptr<TABSLocalCursor> TABSSQLCommand::TakeResultCursor() { return nullptr; }

std::string TABSSQLTokens::FoundText() const {
  if (AtEnd() && lexer_.CurrentCommand() >= 0) return std::string(lexer_.LastToken().text);
  return std::string(Token().text);
}

void TABSSQLTokens::FailFound(const TABSNativeError& error) const {
  throw EABSException(error, {FoundText(), Token().line_num, Token().column_num});
}

void TABSSQLTokens::FailExpected(const TABSNativeError& error, std::string_view expected) const {
  throw EABSException(error, {expected, FoundText(), Token().line_num, Token().column_num});
}

void TABSSQLTokens::FailAt(const TABSNativeError& error, const TToken& at) const {
  throw EABSException(error, {at.line_num, at.column_num});
}

const TToken& TABSSQLTokens::NextTokenIn(TTokenKinds kinds, const TABSNativeError& error) {
  NextToken();
  if (AtEnd()) throw EABSException(native::kNextTokenMissing, {Token().line_num, Token().column_num});
  RequireIn(kinds, error);
  return Token();
}

void TABSSQLTokens::RequireIn(TTokenKinds kinds, const TABSNativeError& error) const {
  if (!TokenIn(Token(), kinds)) FailFound(error);
}

void TABSSQLTokens::ExpectReserved(uint16_t word, const TABSNativeError& error) {
  if (!IsReserved(word)) FailExpected(error, ReservedWordText(word));
  NextToken();
}

void TABSSQLTokens::Expect(TTokenType type, std::string_view text, const TABSNativeError& error) {
  if (!Is(type)) FailExpected(error, text);
  NextToken();
}

void TABSSQLTokens::ExpectEnd() const {
  if (!AtEnd()) FailFound(native::kCommandNotEnded);
}

std::vector<std::string> TABSSQLTokens::ParseColumnNameList() {
  std::vector<std::string> names;
  for (;;) {
    RequireIn(kNameOrKeywordKinds, native::kColumnListNameExpected);
    names.emplace_back(Token().text);
    NextToken();
    if (!Is(tktComma)) return names;
    NextToken();
  }
}

std::vector<TABSSQLTokens::ColumnReference> TABSSQLTokens::ParseColumnReferenceList(
    const TABSNativeError& not_a_column, const TABSNativeError& after_comma) {
  std::vector<ColumnReference> columns;
  for (;;) {
    const TToken start = Token();
    TABSExpression expression;
    expression.ParseValue("", lexer_);
    if (expression.IsEmpty() || !expression.IsField()) {
      throw EABSException(not_a_column, {start.text, start.line_num, start.column_num});
    }
    ColumnReference column;
    expression.GetFieldName(&column.table_name, &column.field_name);
    columns.push_back(std::move(column));
    if (!Is(tktComma)) return columns;
    NextTokenIn(kNameOrKeywordKinds, after_comma);
  }
}

}  // namespace kelvorin
