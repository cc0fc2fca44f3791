#include "db/query/operators/push_down.h"

#include <utility>
#include <vector>

#include "db/query/expressions/condition_nodes.h"
#include "db/query/expressions/value_nodes.h"

namespace kelvorin {

namespace {

bool IsAnd(const TABSExprNode& node) { return node.kind() == TABSExprNode::Kind::kBoolean && node.Operator() == kOpAnd; }

// The condition's conjuncts, taken out of it (the condition is left empty).
std::vector<std::unique_ptr<TABSExprNode>> TakeConjuncts(TABSExpression& condition) {
  std::vector<std::unique_ptr<TABSExprNode>> conjuncts;
  if (condition.IsEmpty()) return conjuncts;
  std::unique_ptr<TABSExprNode> root = condition.RootNode()->Clone();
  condition.SetRootNode(nullptr);
  if (IsAnd(*root)) {
    conjuncts = root->TakeChildren();
  } else {
    conjuncts.push_back(std::move(root));
  }
  return conjuncts;
}

}  // namespace

std::unique_ptr<TABSExprNode> JoinConjuncts(std::vector<std::unique_ptr<TABSExprNode>> conjuncts) {
  if (conjuncts.empty()) return nullptr;
  if (conjuncts.size() == 1) return std::move(conjuncts.front());
  auto both = std::make_unique<TABSExprNodeBoolean>(kOpAnd);
  for (auto& conjunct : conjuncts) both->AddChild(std::move(conjunct));
  return both;
}

void PushDown(TABSExpression& condition, TABSAO& op) {
  if (condition.IsEmpty()) return;
  if (!op.IsOuterJoin()) {
    if (op.Left() != nullptr) PushDown(condition, *op.Left());
    if (op.Right() != nullptr) PushDown(condition, *op.Right());
  }
  if (condition.IsEmpty()) return;
  std::vector<std::unique_ptr<TABSExprNode>> taken;
  std::vector<std::unique_ptr<TABSExprNode>> rest;
  for (auto& conjunct : TakeConjuncts(condition)) {
    (conjunct->CanEvaluateIn(op) ? taken : rest).push_back(std::move(conjunct));
  }
  condition.SetRootNode(JoinConjuncts(std::move(rest)));
  if (!taken.empty()) op.AddCondition(JoinConjuncts(std::move(taken)));
}

int32_t ExtractJoinKeys(TABSExpression& condition, const TABSAO& left, const TABSAO& right, TABSFields* left_keys,
                        TABSFields* right_keys) {
  int32_t pairs = 0;
  std::vector<std::unique_ptr<TABSExprNode>> rest;
  for (auto& conjunct : TakeConjuncts(condition)) {
    if (!conjunct->IsJoinCondition(left, right)) {
      rest.push_back(std::move(conjunct));
      continue;
    }
    const auto& first = static_cast<const TABSExprNodeField&>(*conjunct->Child(0));
    const auto& second = static_cast<const TABSExprNodeField&>(*conjunct->Child(1));
    int32_t column = -1;
    const bool first_left = left.MatchColumns(first.TableName(), first.FieldName(), &column) == 1;
    const TABSExprNodeField& in_left = first_left ? first : second;
    const TABSExprNodeField& in_right = first_left ? second : first;
    left_keys->push_back({in_left.TableName(), in_left.FieldName()});
    right_keys->push_back({in_right.TableName(), in_right.FieldName()});
    ++pairs;
  }
  condition.SetRootNode(JoinConjuncts(std::move(rest)));
  return pairs;
}

}  // namespace kelvorin
