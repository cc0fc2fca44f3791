#include "db/query/sql/query_expression.h"

#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

std::unique_ptr<TABSQueryExprNode> Combine(TABSSetOperation operation, std::unique_ptr<TABSQueryExprNode> left) {
  auto node = std::make_unique<TABSQueryExprNode>();
  node->set_operation = operation;
  node->left = std::move(left);
  return node;
}

}  // namespace

std::unique_ptr<TABSQueryExprNode> TABSQueryExprNode::Parse(TABSSQLTokens& tokens, bool in_memory, int32_t depth) {
  std::unique_ptr<TABSQueryExprNode> node = ParseTerm(tokens, in_memory, depth);
  while (tokens.IsReserved(rwUNION) || tokens.IsReserved(rwEXCEPT) || tokens.IsReserved(rwMINUS)) {
    node = Combine(tokens.IsReserved(rwUNION) ? TABSSetOperation::kUnion : TABSSetOperation::kExcept,
                   std::move(node));
    tokens.NextToken();
    ParseOptions(tokens, *node);
    node->right = ParseTerm(tokens, in_memory, depth);
  }
  return node;
}

std::unique_ptr<TABSQueryExprNode> TABSQueryExprNode::ParseTerm(TABSSQLTokens& tokens, bool in_memory, int32_t depth) {
  std::unique_ptr<TABSQueryExprNode> node = ParsePrimary(tokens, in_memory, depth);
  while (tokens.IsReserved(rwINTERSECT)) {
    node = Combine(TABSSetOperation::kIntersect, std::move(node));
    tokens.NextToken();
    ParseOptions(tokens, *node);
    node->right = ParsePrimary(tokens, in_memory, depth);
  }
  return node;
}

std::unique_ptr<TABSQueryExprNode> TABSQueryExprNode::ParsePrimary(TABSSQLTokens& tokens, bool in_memory, int32_t depth) {
  if (tokens.Is(tktLeftParenthesis)) {
    tokens.NextToken();
    std::unique_ptr<TABSQueryExprNode> inner = Parse(tokens, in_memory, depth + 1);
    tokens.Expect(tktRightParenthesis, ")", native::kQueryCloseExpected);
    return inner;
  }
  if (!tokens.IsReserved(rwSELECT)) tokens.FailExpected(native::kQueryPrimaryExpected, "SELECT");
  auto leaf = std::make_unique<TABSQueryExprNode>();
  leaf->depth = depth;
  leaf->select = std::make_unique<TABSSQLSelect>();
  leaf->select->Parse(tokens, in_memory);
  return leaf;
}

void TABSQueryExprNode::ParseOptions(TABSSQLTokens& tokens, TABSQueryExprNode& node) {
  if (tokens.IsReserved(rwALL)) {
    node.all = true;
    tokens.NextToken();
  }
  if (!tokens.IsReserved(rwCORRESPONDING)) return;
  node.corresponding = true;
  tokens.NextToken();
  if (!tokens.IsReserved(rwBY)) return;
  tokens.NextToken();
  tokens.Expect(tktLeftParenthesis, "(", native::kCorrespondingOpenExpected);
  node.corresponding_fields = tokens.ParseColumnNameList();
  tokens.Expect(tktRightParenthesis, ")", native::kCorrespondingCloseExpected);
}

TABSQueryExprNode& TABSQueryExprNode::LastLeaf() {
  TABSQueryExprNode* node = this;
  while (node->set_operation != TABSSetOperation::kNone) node = node->right.get();
  return *node;
}

}  // namespace kelvorin
