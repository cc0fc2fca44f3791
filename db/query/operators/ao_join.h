// TABSAOJoin: cross, inner, left, right and full outer joins of two
// operators. With key pairs both inputs are ordered on the keys and merged;
// keys are equal as the SQL "=" compares them: a NULL key never matches and
// strings compare without regard to case. Keys whose types order
// differently (a number against a string) are compared pair by pair in
// their common type instead. Without keys the join is a nested loop. An
// outer join's match condition (the rest of ON) decides which pairs match;
// rows that match nothing are completed with NULLs. The join's own
// condition (from WHERE) filters its output.
#pragma once

#include <memory>
#include <vector>

#include "db/query/operators/ao.h"

namespace kelvorin {

enum class TABSJoinType : uint8_t { kCross = 0, kInner = 1, kLeft = 2, kRight = 3, kFull = 4 };

class TABSAOJoin : public TABSAO {
 public:
  // Keys name columns of the children (a pair given the other way round is
  // swapped). NATURAL pairs the equally named columns of the children.
  TABSAOJoin(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right, const TABSFields& left_keys,
             const TABSFields& right_keys, bool natural, TABSJoinType type);
  ~TABSAOJoin() override;

  TABSJoinType Type() const { return type_; }
  bool IsOuterJoin() const override { return type_ >= TABSJoinType::kLeft; }
  int32_t KeyCount() const { return static_cast<int32_t>(left_keys_.size()); }
  // The key columns' numbers in the left and the right child.
  const std::vector<int32_t>& LeftKeys() const { return left_keys_; }
  const std::vector<int32_t>& RightKeys() const { return right_keys_; }
  // Whether the inputs are merged on sorted keys (else a nested loop).
  bool Merges() const;
  // The rest of an ON condition: for an inner or cross join a filter like
  // WHERE; for an outer join part of the match (conjuncts on the
  // null-supplying side alone go into that child).
  void AddOnCondition(std::unique_ptr<TABSExprNode> node);
  // USING: an unqualified key name means the left child's column (the
  // right child's in a right join, whose left side may be NULL).
  void ShareKeyNames();

 protected:
  void OwnFirst() override {}
  void OwnNext() override {}
  bool OwnEof() override { return true; }
  int64_t OwnRecordCount() override;
  void Prepare() override;
  void ForEachRow(const std::function<bool()>& row) override;
  bool SideIsNull(int32_t side) const override {
    return (side == 0 && left_null_) || (side == 1 && right_null_);
  }

 private:
  void ResolveKeys(const TABSFields& left_keys, const TABSFields& right_keys);
  void PairNaturalColumns();
  bool KeepsLeft() const { return type_ == TABSJoinType::kLeft || type_ == TABSJoinType::kFull; }
  bool KeepsRight() const { return type_ == TABSJoinType::kRight || type_ == TABSJoinType::kFull; }
  bool MatchHolds();
  // Left key against right key: <0, 0, >0 (both without NULLs).
  int CompareKeys();
  bool KeysEqual();
  static bool KeyHasNull(TABSAO& side, const std::vector<int32_t>& keys, TABSVariant* value);
  bool Emit(const std::function<bool()>& row, bool left_null, bool right_null);
  void MergeRows(const std::function<bool()>& row);
  void LoopRows(const std::function<bool()>& row);
  void UnmatchedRightRows(const std::function<bool()>& row);

  TABSJoinType type_;
  std::vector<int32_t> left_keys_;   // column numbers in the left child
  std::vector<int32_t> right_keys_;  // in the right child
  std::vector<bool> no_case_;        // per key: strings compared without case
  std::unique_ptr<TABSExpression> match_;
  std::vector<bool> right_matched_;
  bool stopped_ = false;
  bool left_null_ = false;
  bool right_null_ = false;
  TABSVariant left_value_;
  TABSVariant right_value_;
};

}  // namespace kelvorin
