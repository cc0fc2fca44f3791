// TABSExprNode: one node of an expression tree, the base of every node kind.
// A node owns its children and the value of its last evaluation. Trees are
// built by the expression parser (or the Locate builder) and evaluated many
// times against the current row of a cursor or a relational operator.
//
// Conditions (comparisons and boolean nodes) also answer EvaluateTruth,
// which computes the three-valued result without touching the node's value:
// the per-row path of filters allocates nothing.
//
// Trees are at most kMaxTreeHeight nodes high (the parser refuses deeper
// ones), so the recursive operations below stay far from the stack's end;
// destruction does not recurse at all.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "db/query/expressions/expr_sources.h"
#include "db/query/expressions/node_arena.h"
#include "db/tables/values/abs_variant.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

// Operator codes of the nodes.
enum TABSExprOp : uint8_t {
  kOpNone = 0,
  kOpEqual = 1,
  kOpNotEqual = 2,
  kOpGreater = 3,
  kOpLess = 4,
  kOpGreaterOrEqual = 5,
  kOpLessOrEqual = 6,
  kOpNot = 7,
  kOpAnd = 8,
  kOpOr = 9,
  kOpIn = 10,
  kOpNotIn = 11,
  kOpBetween = 12,
  kOpNotBetween = 13,
  kOpLike = 14,
  kOpNotLike = 15,
  kOpIsNull = 16,
  kOpIsNotNull = 17,
  kOpConst = 18,
  kOpField = 19,
  kOpSum = 20,
  kOpNegate = 21,
  kOpProduct = 22,
  kOpQuotient = 23,
  kOpConcat = 24,
  kOpUpper = 25,
  kOpLower = 26,
  kOpTrim = 27,
  kOpLTrim = 28,
  kOpRTrim = 29,
  kOpLength = 30,
  kOpPos = 31,
  kOpSubstring = 32,
  kOpSumAggregate = 33,
  kOpAvg = 34,
  kOpMin = 35,
  kOpMax = 36,
  kOpCount = 37,
  kOpCountAll = 38,
  kOpNow = 39,
  kOpCurrentDate = 40,
  kOpCurrentTime = 41,
  kOpToDate = 42,
  kOpToString = 43,
  kOpCast = 44,
  kOpLastAutoInc = 45,
};

// The text messages show for an operator ("unknown" when it has none).
std::string_view OperatorText(uint8_t op);

// Result of a condition: SQL's three truth values.
enum class TABSTruth : uint8_t { kFalse = 0, kTrue = 1, kNull = 2 };

inline constexpr int32_t kMaxTreeHeight = 1000;

class TABSExprNode {
 public:
  enum class Kind : uint8_t {
    kConst,
    kField,
    kComparison,
    kBoolean,
    kArithmetic,
    kAggregated,
    kCast,
    kStringFunction,
    kSystem,
    kDateFunction,
  };

  // Marks the constructors that copy one node for Clone.
  struct CloneTag {};

  TABSExprNode(Kind kind, uint8_t op);
  virtual ~TABSExprNode();
  // Nodes are placed in the slabs of the node arena (a tree is freed whole).
  static void* operator new(size_t size) { return AllocateExprNode(size); }
  static void operator delete(void* p, size_t size) noexcept { ReleaseExprNode(p, size); }
  TABSExprNode(const TABSExprNode&) = delete;
  TABSExprNode& operator=(const TABSExprNode&) = delete;

  virtual void Prepare();
  virtual const TABSVariant& GetValue() = 0;
  virtual bool IsAggregated() const;
  virtual void ResetAggregate();
  virtual void Accumulate();
  virtual void BindToAO(TABSExprOperator* op);
  virtual void BindToCursor(TABSExprFieldSource* cursor);
  virtual void BindToRecord(const uint8_t* buffer);
  virtual TABSColumnType GetDataType();
  virtual int32_t GetDataSize();
  virtual int32_t GetPrecision();
  virtual bool CanEvaluateIn(const TABSExprOperator& op);
  virtual bool IsJoinCondition(const TABSExprOperator& left, const TABSExprOperator& right);
  virtual void ResolveAliases(std::span<const TABSSelectAlias> select_list);
  // The value as a truth value; conditions compute it without their value.
  virtual TABSTruth EvaluateTruth();
  // A deep copy of the tree below this node, bindings included.
  virtual std::unique_ptr<TABSExprNode> Clone() const = 0;

  Kind kind() const { return kind_; }
  uint8_t Operator() const { return operator_; }
  bool CaseInsensitive() const { return case_insensitive_; }
  bool PartialKey() const { return partial_key_; }
  void SetCaseInsensitive(bool on) { case_insensitive_ = on; }
  void SetPartialKey(bool on) { partial_key_ = on; }

  size_t ChildCount() const { return children_.size(); }
  TABSExprNode* Child(size_t i) const { return children_[i].get(); }
  void AddChild(std::unique_ptr<TABSExprNode> child);
  std::unique_ptr<TABSExprNode> TakeChild(size_t i);
  // Moves all children out; the node keeps none.
  std::vector<std::unique_ptr<TABSExprNode>> TakeChildren();
  // The token at which the parser keeps this node for an alternative that
  // retries there (-1: none). Only the parser reads it, while it parses.
  int32_t ParseKey() const { return parse_key_; }
  void SetParseKey(int32_t token) { parse_key_ = token; }
  // Nodes on the longest path down from this one (1 for a leaf).
  int32_t Height() const { return height_; }
  const TABSVariant& Value() const { return value_; }

 protected:
  // Copies kind, operator and flags; the children follow with CloneChildren.
  TABSExprNode(const TABSExprNode& other, CloneTag);
  template <class Node>
  std::unique_ptr<TABSExprNode> CloneAs() const {
    auto copy = std::make_unique<Node>(static_cast<const Node&>(*this), CloneTag{});
    copy->CloneChildrenOf(*this);
    return copy;
  }
  void CloneChildrenOf(const TABSExprNode& other);
  void RecomputeHeight();
  // The value of a condition from its truth value, reusing the value's buffer.
  void SetTruthValue(TABSTruth truth);
  // The type of a string result from its first child (wide stays wide).
  TABSColumnType StringResultType(size_t child);

  std::vector<std::unique_ptr<TABSExprNode>> children_;
  TABSVariant value_;

 private:
  Kind kind_;
  uint8_t operator_;
  bool case_insensitive_ = true;
  bool partial_key_ = false;
  int32_t height_ = 1;
  int32_t parse_key_ = -1;
};

// Width of a value of `type` converted to a string; strings and BLOBs
// keep `own_size`. Raises 30466 for a type without one.
int32_t StringWidthOf(TABSColumnType type, int32_t own_size);
// A child's size as part of a string result: its own when it is a string,
// else its width as text.
int32_t StringPartSize(TABSExprNode& node);

// Truth of a logical value (NULL -> kNull).
TABSTruth TruthOf(const TABSVariant& value);

}  // namespace kelvorin
