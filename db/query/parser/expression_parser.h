// The grammar of search conditions and value expressions: a recursive
// descent over the lexer's tokens that tries alternatives from the same
// token and backtracks quietly, raising errors only where no other reading
// is possible.
//
// Work stays linear in the text: a composite primary (a parenthesised
// value, an aggregate, a CAST) is parsed once. An alternative that fails
// gives the primaries it had read back to a memo keyed by their first
// token, and the alternative that retries there takes them from it. Nesting
// (parentheses, function arguments, casts) is refused beyond
// kMaxNestingDepth levels and trees beyond kMaxTreeHeight nodes, so neither
// parsing nor the recursive operations on the tree can exhaust the stack.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "db/query/expressions/expr_node.h"
#include "db/query/lexer/lexer.h"
#include "db/query/parser/expression.h"

namespace kelvorin {

inline constexpr int32_t kMaxNestingDepth = 100;

class TABSExpressionParser {
 public:
  using Node = std::unique_ptr<TABSExprNode>;

  TABSExpressionParser(TABSExpression& expression, TABSLexer& lexer,
                       TABSParseStatistics* statistics);
  ~TABSExpressionParser();
  TABSExpressionParser(const TABSExpressionParser&) = delete;
  TABSExpressionParser& operator=(const TABSExpressionParser&) = delete;

  // nullptr when the tokens hold no condition (Condition raises instead for
  // a condition that is not there at all).
  Node Condition();
  Node ValueExpression();
  // Whether an aggregate was read (only then need trees be searched for one).
  bool ReadAggregate() const { return read_aggregate_; }

 private:
  class Nesting;

  Node BooleanTerm();
  Node BooleanFactor();
  Node BooleanTest();
  Node BooleanPrimary();
  Node Predicate();
  Node Comparison(uint8_t op, Node left);
  Node Like(bool negated, Node left);
  Node Operand();
  Node BooleanLiteral();
  Node NumericExpression();
  Node Term();
  Node Factor();
  Node NumericPrimary();
  Node Primary();
  Node ParsePrimary();
  Node Literal();
  Node ColumnReference();
  Node Aggregate();
  Node ParenthesisedValue();
  Node Cast();
  Node NumericFunction();
  Node StringExpression();
  Node StringPrimary();
  Node StringFunction();
  Node DateExpression();

  // The lexer's cursor, with its token kept at hand: the grammar looks at
  // the current token many times before it moves.
  const TToken& Current() const { return *current_; }
  void Next() { Reset(mark_ + 1); }
  int32_t Mark() const { return mark_; }
  void Reset(int32_t mark) {
    lexer_.SetCurrentTokenNo(mark);
    mark_ = mark;
    current_ = &lexer_.CurrentToken();
  }
  bool IsWord(std::string_view text) const {
    return current_->token_type == tktString && current_->text == text;
  }
  bool IsReserved(uint16_t word) const { return TABSLexer::IsReservedWord(Current(), word); }
  bool Is(TTokenType type) const { return Current().token_type == type; }
  // The text of the current token as messages show it (at the end of a
  // command the last token's).
  std::string FoundText() const;
  [[noreturn]] void Fail(const TABSNativeError& error) const;
  [[noreturn]] void FailExpected(const TABSNativeError& error, std::string_view expected) const;
  [[noreturn]] void FailArgument(const TABSNativeError& error, std::string_view function) const;
  [[noreturn]] void FailFound(const TABSNativeError& error) const;
  void Expect(TTokenType type, const TABSNativeError& error, std::string_view expected);
  // Refuses trees higher than the limit.
  Node Checked(Node node) const;

  // Gives the composite primaries of an abandoned result back to the memo,
  // for the alternative that retries at their tokens to take them again.
  void Recycle(Node node);

  // A composite primary read at a token: where it ended and, while no
  // alternative holds it, the node itself.
  struct Memo {
    bool none = false;  // no primary starts there
    int32_t end = 0;
    Node kept;
  };

  TABSExpression& expression_;
  TABSLexer& lexer_;
  TABSParseStatistics* statistics_;
  int64_t nodes_placed_at_start_;
  int32_t depth_ = 0;
  bool read_aggregate_ = false;
  int32_t mark_;
  const TToken* current_;
  std::unordered_map<int32_t, Memo> memo_;
};

}  // namespace kelvorin
