// Conditions: comparisons and the boolean nodes (NOT, AND, OR, IN,
// BETWEEN, LIKE, IS NULL and their negations). Their value is LOGICAL;
// EvaluateTruth gives it without building a value.
#pragma once

#include <cstdint>
#include <memory>

#include "db/query/expressions/expr_node.h"
#include "db/query/expressions/like_matcher.h"

namespace kelvorin {

// left op right, one of = <> > < >= <=. The result is never NULL: with
// StrictNulls a NULL operand makes every operator but <> false; without it
// NULL equals NULL and is less than every value. With PartialKey strings
// are compared on the first len(key constant) characters, so a shorter
// field value is less.
class TABSExprNodeComparison : public TABSExprNode {
 public:
  TABSExprNodeComparison(uint8_t op, std::unique_ptr<TABSExprNode> left,
                         std::unique_ptr<TABSExprNode> right, bool strict_nulls);
  TABSExprNodeComparison(const TABSExprNodeComparison& other, CloneTag tag)
      : TABSExprNode(other, tag),
        strict_nulls_(other.strict_nulls_),
        empty_key_side_(other.empty_key_side_) {}
  std::unique_ptr<TABSExprNode> Clone() const override {
    return CloneAs<TABSExprNodeComparison>();
  }

  void Prepare() override;
  const TABSVariant& GetValue() override;
  bool IsJoinCondition(const TABSExprOperator& left, const TABSExprOperator& right) override;
  TABSTruth EvaluateTruth() override;

  bool StrictNulls() const { return strict_nulls_; }
  // The operand (0 left, 1 right) whose partial key was a '*' alone: an
  // empty prefix, which every value but NULL starts with. -1: none.
  void SetEmptyKeySide(int8_t side) { empty_key_side_ = side; }
  int8_t EmptyKeySide() const { return empty_key_side_; }

 private:
  // Characters compared under PartialKey (-1: whole values).
  int32_t PrefixLength(const TABSVariant& left, const TABSVariant& right) const;

  bool strict_nulls_;
  int8_t empty_key_side_ = -1;
};

class TABSExprNodeBoolean : public TABSExprNode {
 public:
  explicit TABSExprNodeBoolean(uint8_t op);
  TABSExprNodeBoolean(const TABSExprNodeBoolean& other, CloneTag tag) : TABSExprNode(other, tag) {}
  std::unique_ptr<TABSExprNode> Clone() const override { return CloneAs<TABSExprNodeBoolean>(); }

  const TABSVariant& GetValue() override;
  TABSTruth EvaluateTruth() override;

 private:
  TABSTruth Conjunction();
  TABSTruth Disjunction();
  TABSTruth InList();
  TABSTruth Between();
  TABSTruth Like();

  // LIKE's compiled pattern and collation answers; made at the first match,
  // so that the many other boolean nodes stay small.
  TABSLikeMatcher& Matcher();
  std::unique_ptr<TABSLikeMatcher> matcher_;
};

// The truth of a condition negated (NULL stays NULL).
inline TABSTruth Negated(TABSTruth truth) {
  return truth == TABSTruth::kNull    ? truth
         : truth == TABSTruth::kTrue ? TABSTruth::kFalse
                                     : TABSTruth::kTrue;
}

}  // namespace kelvorin
