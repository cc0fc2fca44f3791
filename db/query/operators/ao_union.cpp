#include "db/query/operators/ao_union.h"

#include <algorithm>

#include "db/query/expressions/expr_compare.h"
#include "db/query/operators/ao_pass_through.h"
#include "db/query/operators/operator_errors.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

namespace {

// Ranks of the numeric storage types by the values they hold (0: not numeric).
int NumericRank(TABSColumnType type) {
  switch (StorageTypeOf(PlainColumnType(type))) {
    case TABSStorageType::ShortInt:
    case TABSStorageType::Byte:
      return 1;
    case TABSStorageType::SmallInt:
    case TABSStorageType::Word:
      return 2;
    case TABSStorageType::Integer:
      return 3;
    case TABSStorageType::Cardinal:
    case TABSStorageType::LargeInt:
      return 4;
    case TABSStorageType::Currency:
      return 5;
    case TABSStorageType::Single:
    case TABSStorageType::Float:
      return 6;
    case TABSStorageType::Extended:
      return 7;
    default:
      return 0;
  }
}

TABSColumnType NumericOfRank(int rank) {
  using C = TABSColumnType;
  const C types[] = {C::None, C::SmallInt, C::SmallInt, C::Integer, C::LargeInt, C::Currency, C::Float, C::Extended};
  return types[rank];
}

// Characters a value of the type takes as text.
int32_t TextWidth(TABSColumnType type, int32_t size) {
  if (IsStringColumn(type)) return size;
  return 40;
}

// The type and size of a result column that holds the values of both
// sides.
void CombineColumnTypes(TABSColumnType a, int32_t a_size, TABSColumnType b, int32_t b_size, TABSColumnType* type,
                        int32_t* size) {
  a = PlainColumnType(a);
  b = PlainColumnType(b);
  *size = std::max(a_size, b_size);
  if (a == b) {
    *type = a;
    return;
  }
  const int ra = NumericRank(a);
  const int rb = NumericRank(b);
  if (ra > 0 && rb > 0) {
    *type = NumericOfRank(std::max(ra, rb));
    *size = 0;
    return;
  }
  *type = IsWideStringColumn(a) || IsWideStringColumn(b) ? TABSColumnType::WideString : TABSColumnType::String;
  *size = std::max(TextWidth(a, a_size), TextWidth(b, b_size));
}

}  // namespace

TABSAOUnion::TABSAOUnion(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right,
                         std::vector<std::string> corresponding_names, bool distinct, bool corresponding,
                         TABSSetKind kind)
    : TABSAO(std::move(left), std::move(right)),
      corresponding_names_(std::move(corresponding_names)),
      set_distinct_(distinct),
      corresponding_(corresponding),
      kind_(kind) {
  PairColumns();
  distinct_ = set_distinct_ && kind_ == TABSSetKind::kUnion;
}

TABSAOUnion::~TABSAOUnion() = default;

void TABSAOUnion::PairColumns() {
  const std::vector<int32_t> left_output = left_->OutputColumns();
  const std::vector<int32_t> right_output = right_->OutputColumns();
  const std::vector<std::string> left_names = left_->OutputNames();
  const std::vector<std::string> right_names = right_->OutputNames();
  const auto position = [](const std::vector<std::string>& names, const std::string& name) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (SameObjectName(names[i], name)) return static_cast<int32_t>(i);
    }
    return -1;
  };
  if (!corresponding_names_.empty()) {
    for (const std::string& name : corresponding_names_) {
      const int32_t l = position(left_names, name);
      const int32_t r = position(right_names, name);
      if (l < 0 || r < 0) throw EABSException(native::kCorrespondingNameUnknown, {name});
      left_pairs_.push_back(l);
      right_pairs_.push_back(r);
    }
  } else if (corresponding_) {
    for (size_t l = 0; l < left_names.size(); ++l) {
      const int32_t r = position(right_names, left_names[l]);
      if (r < 0) continue;
      left_pairs_.push_back(static_cast<int32_t>(l));
      right_pairs_.push_back(r);
    }
  } else {
    if (left_output.size() != right_output.size()) {
      throw EABSException(native::kSetColumnCounts,
                          {static_cast<int32_t>(left_output.size()), static_cast<int32_t>(right_output.size())});
    }
    for (size_t i = 0; i < left_output.size(); ++i) {
      left_pairs_.push_back(static_cast<int32_t>(i));
      right_pairs_.push_back(static_cast<int32_t>(i));
    }
  }
  if (left_pairs_.empty()) throw EABSException(native::kUnionNoPairs, {0});
  for (size_t i = 0; i < left_pairs_.size(); ++i) {
    const TABSFieldLink& a = left_->Columns()[static_cast<size_t>(left_output[static_cast<size_t>(left_pairs_[i])])];
    const TABSFieldLink& b =
        right_->Columns()[static_cast<size_t>(right_output[static_cast<size_t>(right_pairs_[i])])];
    TABSFieldLink link;
    link.name = left_names[static_cast<size_t>(left_pairs_[i])];
    CombineColumnTypes(a.data_type, a.size, b.data_type, b.size, &link.data_type, &link.size);
    link.hidden = false;
    columns_.push_back(std::move(link));
    if (kind_ != TABSSetKind::kUnion || set_distinct_) RefuseBlobKey(ColumnCount() - 1, "distinct");
  }
}

void TABSAOUnion::SetProjection(std::vector<TABSSelectListItem>& items, bool distinct) {
  TABSAO::SetProjection(items, distinct || (set_distinct_ && kind_ == TABSSetKind::kUnion));
}

void TABSAOUnion::Prepare() {
  left_->Execute(false);
  right_->Execute(false);
  if (kind_ != TABSSetKind::kUnion) {
    // Each side's paired columns in the result's types, ordered on all of
    // them, so that equal rows of both sides meet in a merge.
    left_ = SortedSide(std::move(left_), &left_pairs_);
    right_ = SortedSide(std::move(right_), &right_pairs_);
  }
  left_columns_ = ChildColumns(*left_, left_pairs_);
  right_columns_ = ChildColumns(*right_, right_pairs_);
}

std::vector<int32_t> TABSAOUnion::ChildColumns(const TABSAO& side, const std::vector<int32_t>& pairs) {
  const std::vector<int32_t> output = side.OutputColumns();
  std::vector<int32_t> columns;
  for (const int32_t pair : pairs) columns.push_back(output[static_cast<size_t>(pair)]);
  return columns;
}

std::unique_ptr<TABSAO> TABSAOUnion::SortedSide(std::unique_ptr<TABSAO> side, std::vector<int32_t>* pairs) {
  const std::vector<int32_t> columns = ChildColumns(*side, *pairs);
  auto sorted = std::make_unique<TABSAOTableExpr>(std::move(side));
  std::vector<TABSSelectListItem> items(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    items[i].column_no = columns[i];
    sorted->SetColumnType(columns[i], columns_[i].data_type, columns_[i].size);
  }
  sorted->SetProjection(items, false);
  sorted->SetSortColumns(columns, std::vector<bool>(columns.size(), false), std::vector<bool>(columns.size(), false));
  sorted->Execute(false);
  for (size_t i = 0; i < pairs->size(); ++i) (*pairs)[i] = static_cast<int32_t>(i);
  return sorted;
}

void TABSAOUnion::GetColumnValue(int32_t column, TABSVariant* value) {
  if (result_ != nullptr || column < 0 || column >= ColumnCount()) {
    TABSAO::GetColumnValue(column, value);
  } else if (reading_ == 0) {
    left_->GetColumnValue(left_columns_[static_cast<size_t>(column)], value);
  } else if (reading_ == 1) {
    right_->GetColumnValue(right_columns_[static_cast<size_t>(column)], value);
  } else {
    value->Assign(run_[static_cast<size_t>(column)], false);
  }
}

int TABSAOUnion::CompareWithRun(TABSAO& side, const std::vector<int32_t>& columns) {
  for (size_t i = 0; i < columns.size(); ++i) {
    side.GetColumnValue(columns[i], &left_value_);
    const int order = CompareSignedForExpression(left_value_, run_[i], false);
    if (order != 0) return order;
  }
  return 0;
}

void TABSAOUnion::ForEachRow(const std::function<bool()>& row) {
  if (kind_ == TABSSetKind::kUnion) {
    bool more = true;
    for (reading_ = 0; more && reading_ < 2; ++reading_) {
      (reading_ == 0 ? left_ : right_)->Rows([&] {
        env_->Step("row");
        more = row();
        return more;
      });
    }
    return;
  }
  reading_ = 2;
  TABSAO& left = *left_;
  TABSAO& right = *right_;
  run_.resize(static_cast<size_t>(ColumnCount()));
  left.First();
  right.First();
  while (!left.Eof()) {
    // A run of equal left rows (m) against the equal right rows (n).
    for (size_t i = 0; i < run_.size(); ++i) {
      left.GetColumnValue(left_columns_[i], &left_value_);
      run_[i].Assign(left_value_);
    }
    int64_t m = 0;
    while (!left.Eof() && CompareWithRun(left, left_columns_) == 0) {
      env_->Step("row");
      ++m;
      left.Next();
    }
    while (!right.Eof() && CompareWithRun(right, right_columns_) < 0) right.Next();
    int64_t n = 0;
    while (!right.Eof() && CompareWithRun(right, right_columns_) == 0) {
      env_->Step("row");
      ++n;
      right.Next();
    }
    int64_t copies = 0;
    if (kind_ == TABSSetKind::kIntersect) {
      copies = set_distinct_ ? (n > 0 ? 1 : 0) : std::min(m, n);
    } else {
      copies = set_distinct_ ? (n == 0 ? 1 : 0) : std::max<int64_t>(m - n, 0);
    }
    for (int64_t k = 0; k < copies; ++k) {
      if (!row()) return;
    }
  }
}

}  // namespace kelvorin
