// Arithmetic (sum, negation, product, quotient) and the string functions
// (||, UPPER, LOWER, TRIM, LTRIM, RTRIM, LENGTH, POS, SUBSTRING).
#pragma once

#include <cstdint>

#include "db/query/expressions/expr_node.h"

namespace kelvorin {

// Sum and product take any number of children; negation one; quotient two.
// A NULL operand makes the result NULL, except that a sum of texts skips
// NULL parts as concatenation does.
class TABSExprNodeArithmetic : public TABSExprNode {
 public:
  explicit TABSExprNodeArithmetic(uint8_t op);
  TABSExprNodeArithmetic(const TABSExprNodeArithmetic& other, CloneTag tag)
      : TABSExprNode(other, tag) {}
  std::unique_ptr<TABSExprNode> Clone() const override {
    return CloneAs<TABSExprNodeArithmetic>();
  }

  const TABSVariant& GetValue() override;
  int32_t GetDataSize() override;

 private:
  // INTEGER operands (the usual case) are combined in place, without a
  // memory block per step. An integer result that does not hold the exact
  // value raises instead of wrapping around as the value layer does.
  bool AllIntegers(bool evaluate);
  void SetInteger(int64_t result);
  bool SumOfIntegers();
  bool ProductOfIntegers();
  // value_ op= operand, checked for integer overflow.
  void Combine(const TABSVariant& operand);
  [[noreturn]] void Overflow() const;
};

// Non-string arguments are converted to text; wide text stays wide.
class TABSExprNodeStringFunction : public TABSExprNode {
 public:
  explicit TABSExprNodeStringFunction(uint8_t op);
  TABSExprNodeStringFunction(const TABSExprNodeStringFunction& other, CloneTag tag)
      : TABSExprNode(other, tag) {}
  std::unique_ptr<TABSExprNode> Clone() const override {
    return CloneAs<TABSExprNodeStringFunction>();
  }

  const TABSVariant& GetValue() override;
  TABSColumnType GetDataType() override;
  int32_t GetDataSize() override;

 private:
  void Concatenate();
  void ChangeCase();
  void Trim();
  void Length();
  void Position();
  void Substring();
};

}  // namespace kelvorin
