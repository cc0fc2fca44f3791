// TABSAOJoin: cross, inner, left, right and full outer joins of two
// operators. With key pairs both inputs are ordered on the keys and merged
// (keys equal as the SQL "=" compares them: a NULL key never matches,
// strings without regard to case, keys of different types in their common
// type); without keys a nested loop. An outer join's match condition (the
// rest of ON) decides which pairs match; rows that match nothing are
// completed with NULLs. The join's own condition filters its output.
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
  // The rest of an ON condition: for an inner or cross join a filter like
  // WHERE; for an outer join part of the match (conjuncts on the
  // null-supplying side alone go into that child).
  void AddOnCondition(std::unique_ptr<TABSExprNode> node);

  void GetColumnValue(int32_t column, TABSVariant* value) override;

 protected:
  void OwnFirst() override;
  void OwnNext() override;
  bool OwnEof() override;
  int64_t OwnRecordCount() override;
  void Prepare() override;

 private:
  struct State;
  bool KeysUsable() const;
  bool MatchHolds();
  void Advance(bool from_start);
  void AdvanceMerge(bool from_start);
  void AdvanceLoop(bool from_start);
  int CompareKeys();
  bool LeftKeyHasNull();
  bool RightKeyHasNull();

  TABSJoinType type_;
  std::vector<int32_t> left_keys_;   // column numbers in the left child
  std::vector<int32_t> right_keys_;  // in the right child
  std::unique_ptr<TABSExpression> match_;
  std::unique_ptr<State> state_;
  bool left_null_ = false;
  bool right_null_ = false;
};

}  // namespace kelvorin
