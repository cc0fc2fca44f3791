#include "db/query/operators/ao_join.h"

#include "db/query/expressions/expr_compare.h"
#include "db/query/operators/operator_errors.h"
#include "db/query/operators/push_down.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

namespace {

bool IsNumericColumn(TABSColumnType type) {
  const TABSStorageType storage = StorageTypeOf(PlainColumnType(type));
  switch (storage) {
    case TABSStorageType::ShortInt:
    case TABSStorageType::SmallInt:
    case TABSStorageType::Integer:
    case TABSStorageType::LargeInt:
    case TABSStorageType::Byte:
    case TABSStorageType::Word:
    case TABSStorageType::Cardinal:
    case TABSStorageType::Single:
    case TABSStorageType::Float:
    case TABSStorageType::Extended:
    case TABSStorageType::Currency:
      return true;
    default:
      return false;
  }
}

// Whether two key columns sort alike, so that both inputs can be merged in
// their own orders.
bool SortAlike(TABSColumnType a, TABSColumnType b) {
  if (IsNumericColumn(a) && IsNumericColumn(b)) return true;
  if (IsStringColumn(a) && IsStringColumn(b)) return true;
  return StorageTypeOf(PlainColumnType(a)) == StorageTypeOf(PlainColumnType(b));
}

}  // namespace

TABSAOJoin::TABSAOJoin(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right, const TABSFields& left_keys,
                       const TABSFields& right_keys, bool natural, TABSJoinType type)
    : TABSAO(std::move(left), std::move(right)), type_(type) {
  CopyColumnsOf(*left_, 0);
  CopyColumnsOf(*right_, 1);
  if (natural) {
    PairNaturalColumns();
    ShareKeyNames();
  } else if (type_ != TABSJoinType::kCross) {
    ResolveKeys(left_keys, right_keys);
  }
  for (size_t i = 0; i < left_keys_.size(); ++i) {
    RefuseBlobKey(left_keys_[i], "join");
    RefuseBlobKey(left_->ColumnCount() + right_keys_[i], "join");
    no_case_.push_back(IsStringColumn(left_->ColumnType(left_keys_[i])) ||
                       IsStringColumn(right_->ColumnType(right_keys_[i])));
  }
  MakeColumnNamesUnique();
}

TABSAOJoin::~TABSAOJoin() {
  match_.reset();
}

void TABSAOJoin::PairNaturalColumns() {
  for (int32_t l = 0; l < left_->ColumnCount(); ++l) {
    for (int32_t r = 0; r < right_->ColumnCount(); ++r) {
      if (!SameObjectName(left_->Columns()[static_cast<size_t>(l)].name, right_->Columns()[static_cast<size_t>(r)].name)) {
        continue;
      }
      left_keys_.push_back(l);
      right_keys_.push_back(r);
      columns_[static_cast<size_t>(l)].hidden = false;
      columns_[static_cast<size_t>(left_->ColumnCount() + r)].hidden = false;
    }
  }
}

void TABSAOJoin::ShareKeyNames() {
  const bool right_wins = type_ == TABSJoinType::kRight;
  for (size_t i = 0; i < left_keys_.size(); ++i) {
    const int32_t hidden = right_wins ? left_keys_[i] : left_->ColumnCount() + right_keys_[i];
    columns_[static_cast<size_t>(hidden)].shadowed = true;
  }
}

void TABSAOJoin::ResolveKeys(const TABSFields& left_keys, const TABSFields& right_keys) {
  if (left_keys.size() != right_keys.size()) {
    throw EABSException(native::kJoinListsLength, {static_cast<int32_t>(left_keys.size()),
                                                   static_cast<int32_t>(right_keys.size())});
  }
  for (size_t i = 0; i < left_keys.size(); ++i) {
    const TABSAOField& a = left_keys[i];
    const TABSAOField& b = right_keys[i];
    std::vector<int32_t> a_left, a_right, b_left, b_right;
    left_->FindColumns(a.table_name, a.field_name, &a_left);
    right_->FindColumns(a.table_name, a.field_name, &a_right);
    left_->FindColumns(b.table_name, b.field_name, &b_left);
    right_->FindColumns(b.table_name, b.field_name, &b_right);
    const int32_t a_count = static_cast<int32_t>(a_left.size() + a_right.size());
    const int32_t b_count = static_cast<int32_t>(b_left.size() + b_right.size());
    const int32_t index = static_cast<int32_t>(i);
    if (a_count != 1) throw EABSException(native::kJoinLeftField, {a.table_name, a.field_name, index, a_count});
    if (b_count != 1) throw EABSException(native::kJoinRightField, {b.table_name, b.field_name, index, b_count});
    if (a_left.size() == b_left.size()) {
      throw EABSException(native::kJoinSameSide, {a.field_name, b.field_name, index, index});
    }
    left_keys_.push_back(a_left.empty() ? b_left.front() : a_left.front());
    right_keys_.push_back(a_left.empty() ? a_right.front() : b_right.front());
  }
}

bool TABSAOJoin::Merges() const {
  if (left_keys_.empty()) return false;
  for (size_t i = 0; i < left_keys_.size(); ++i) {
    if (!SortAlike(left_->ColumnType(left_keys_[i]), right_->ColumnType(right_keys_[i]))) return false;
  }
  return true;
}

void TABSAOJoin::AddOnCondition(std::unique_ptr<TABSExprNode> node) {
  if (node == nullptr) return;
  TABSExpression condition;
  condition.SetRootNode(std::move(node));
  if (!IsOuterJoin()) {
    PushDown(condition, *this);
    if (!condition.IsEmpty()) AddCondition(condition.RootNode()->Clone());
    return;
  }
  // Only what concerns the side that gets NULLs alone may filter that
  // side before the join; the rest decides the match.
  if (type_ == TABSJoinType::kLeft) PushDown(condition, *right_);
  if (type_ == TABSJoinType::kRight) PushDown(condition, *left_);
  if (condition.IsEmpty()) return;
  std::unique_ptr<TABSExprNode> rest = condition.RootNode()->Clone();
  if (match_ == nullptr || match_->IsEmpty()) {
    match_ = std::make_unique<TABSExpression>();
    match_->SetRootNode(std::move(rest));
  } else {
    std::vector<std::unique_ptr<TABSExprNode>> both;
    both.push_back(match_->RootNode()->Clone());
    both.push_back(std::move(rest));
    match_->SetRootNode(JoinConjuncts(std::move(both)));
  }
  match_->BindToAO(this, false);
}

void TABSAOJoin::Prepare() {
  if (Merges()) {
    std::vector<bool> ascending(left_keys_.size(), false);
    left_->SetSortColumns(left_keys_, ascending, no_case_);
    right_->SetSortColumns(right_keys_, ascending, no_case_);
  }
  left_->Execute(false);
  right_->Execute(false);
}

int64_t TABSAOJoin::OwnRecordCount() { return left_->RecordCount() * right_->RecordCount(); }

bool TABSAOJoin::MatchHolds() {
  if (match_ == nullptr || match_->IsEmpty()) return true;
  left_null_ = false;
  right_null_ = false;
  return match_->RootNode()->EvaluateTruth() == TABSTruth::kTrue;
}

bool TABSAOJoin::KeyHasNull(TABSAO& side, const std::vector<int32_t>& keys, TABSVariant* value) {
  for (const int32_t key : keys) {
    side.GetColumnValue(key, value);
    if (value->IsNull()) return true;
  }
  return false;
}

int TABSAOJoin::CompareKeys() {
  for (size_t i = 0; i < left_keys_.size(); ++i) {
    left_->GetColumnValue(left_keys_[i], &left_value_);
    right_->GetColumnValue(right_keys_[i], &right_value_);
    const int order = CompareSignedForExpression(left_value_, right_value_, no_case_[i]);
    if (order != 0) return order;
  }
  return 0;
}

bool TABSAOJoin::KeysEqual() {
  for (size_t i = 0; i < left_keys_.size(); ++i) {
    left_->GetColumnValue(left_keys_[i], &left_value_);
    right_->GetColumnValue(right_keys_[i], &right_value_);
    if (CompareForExpression(left_value_, right_value_, no_case_[i]) != kCompareEqual) return false;
  }
  return true;
}

bool TABSAOJoin::Emit(const std::function<bool()>& row, bool left_null, bool right_null) {
  left_null_ = left_null;
  right_null_ = right_null;
  const bool more = row();
  left_null_ = false;
  right_null_ = false;
  if (!more) stopped_ = true;
  return more;
}

void TABSAOJoin::ForEachRow(const std::function<bool()>& row) {
  stopped_ = false;
  right_matched_.assign(KeepsRight() ? static_cast<size_t>(right_->RecordCount()) : 0, false);
  if (Merges()) {
    MergeRows(row);
  } else {
    LoopRows(row);
  }
  if (!stopped_ && KeepsRight()) UnmatchedRightRows(row);
}

void TABSAOJoin::MergeRows(const std::function<bool()>& row) {
  TABSAO& left = *left_;
  TABSAO& right = *right_;
  int64_t ordinal = 0;
  right.First();
  for (left.First(); !left.Eof(); left.Next()) {
    env_->Step("row");
    if (KeyHasNull(left, left_keys_, &left_value_)) {
      if (KeepsLeft() && !Emit(row, false, true)) return;
      continue;
    }
    // Right rows below the left key (or with a NULL key) match no later
    // left row either.
    while (!right.Eof() && (KeyHasNull(right, right_keys_, &right_value_) || CompareKeys() > 0)) {
      right.Next();
      ++ordinal;
    }
    const TABSAO::Position start = right.SavePosition();
    const int64_t start_ordinal = ordinal;
    bool matched = false;
    while (!right.Eof() && !KeyHasNull(right, right_keys_, &right_value_) && CompareKeys() == 0) {
      env_->Step("row");
      if (MatchHolds()) {
        matched = true;
        if (KeepsRight()) right_matched_[static_cast<size_t>(ordinal)] = true;
        if (!Emit(row, false, false)) return;
      }
      right.Next();
      ++ordinal;
    }
    if (!matched && KeepsLeft() && !Emit(row, false, true)) return;
    // The next left row may have the same key: it meets the run again.
    right.RestorePosition(start);
    ordinal = start_ordinal;
  }
}

void TABSAOJoin::LoopRows(const std::function<bool()>& row) {
  TABSAO& right = *right_;
  const bool keyed = !left_keys_.empty();
  left_->Rows([&] {
    env_->Step("row");
    bool matched = false;
    int64_t ordinal = 0;
    for (right.First(); !right.Eof(); right.Next(), ++ordinal) {
      env_->Step("row");
      if (keyed && !KeysEqual()) continue;
      if (!MatchHolds()) continue;
      matched = true;
      if (KeepsRight()) right_matched_[static_cast<size_t>(ordinal)] = true;
      if (!Emit(row, false, false)) return false;
    }
    return matched || !KeepsLeft() || Emit(row, false, true);
  });
}

void TABSAOJoin::UnmatchedRightRows(const std::function<bool()>& row) {
  int64_t ordinal = 0;
  for (right_->First(); !right_->Eof(); right_->Next(), ++ordinal) {
    env_->Step("row");
    if (right_matched_[static_cast<size_t>(ordinal)]) continue;
    if (!Emit(row, true, false)) return;
  }
}

}  // namespace kelvorin
