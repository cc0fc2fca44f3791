#include "db/query/operators/ao_group_by.h"

#include "db/query/expressions/expr_compare.h"
#include "db/query/operators/operator_errors.h"

namespace kelvorin {

TABSAOGroupBy::TABSAOGroupBy(std::unique_ptr<TABSAO> child, std::vector<TABSSelectListItem>& select_list,
                             const TABSFields& group_by)
    : TABSAO(std::move(child), nullptr) {
  CopyColumnsOf(*left_, 0);
  child_columns_ = ColumnCount();
  for (size_t i = 0; i < group_by.size(); ++i) {
    std::vector<int32_t> found;
    const int32_t count = FindColumns(group_by[i].table_name, group_by[i].field_name, &found);
    if (count != 1) {
      throw EABSException(native::kGroupByField,
                          {group_by[i].table_name, group_by[i].field_name, static_cast<int32_t>(i), count});
    }
    RefuseBlobKey(found.front(), "group");
    group_columns_.push_back(found.front());
  }
  for (TABSSelectListItem& item : select_list) {
    if (item.is_expression && item.column_no < 0) AddExpressionColumn(item);
  }
  group_row_.resize(static_cast<size_t>(child_columns_));
}

TABSAOGroupBy::~TABSAOGroupBy() = default;

void TABSAOGroupBy::GetColumnValue(int32_t column, TABSVariant* value) {
  if (result_ != nullptr || column < 0 || column >= child_columns_) {
    TABSAO::GetColumnValue(column, value);
  } else if (accumulating_) {
    left_->GetColumnValue(column, value);
  } else {
    value->Assign(group_row_[static_cast<size_t>(column)], false);
  }
}

void TABSAOGroupBy::Prepare() {
  if (!group_columns_.empty()) {
    left_->SetSortColumns(group_columns_, std::vector<bool>(group_columns_.size(), false),
                          std::vector<bool>(group_columns_.size(), false));
  }
  left_->Execute(false);
}

void TABSAOGroupBy::CopyGroupRow() {
  for (int32_t i = 0; i < child_columns_; ++i) {
    left_->GetColumnValue(i, &value_in_child_);
    group_row_[static_cast<size_t>(i)].Assign(value_in_child_);
  }
}

void TABSAOGroupBy::ResetAggregates() {
  for (TABSFieldLink& link : columns_) {
    if (link.expression != nullptr) link.expression->ResetAggregate();
  }
  if (condition_ != nullptr) condition_->ResetAggregate();
}

void TABSAOGroupBy::Accumulate() {
  accumulating_ = true;
  for (TABSFieldLink& link : columns_) {
    if (link.expression != nullptr) link.expression->Accumulate();
  }
  if (condition_ != nullptr) condition_->Accumulate();
  accumulating_ = false;
}

bool TABSAOGroupBy::SameGroup() {
  for (const int32_t column : group_columns_) {
    left_->GetColumnValue(column, &value_in_child_);
    if (CompareSignedForExpression(group_row_[static_cast<size_t>(column)], value_in_child_, false) != 0) {
      return false;
    }
  }
  return true;
}

void TABSAOGroupBy::ForEachRow(const std::function<bool()>& row) {
  TABSAO& child = *left_;
  if (group_columns_.empty()) {
    ResetAggregates();
    bool first = true;
    child.Rows([&] {
      env_->Step("row");
      if (first) CopyGroupRow();
      first = false;
      Accumulate();
      return true;
    });
    if (first) {
      for (TABSVariant& value : group_row_) value.SetNull();
    }
    row();
    return;
  }
  child.First();
  while (!child.Eof()) {
    CopyGroupRow();
    ResetAggregates();
    do {
      env_->Step("row");
      Accumulate();
      child.Next();
    } while (!child.Eof() && SameGroup());
    if (!row()) return;
  }
}

}  // namespace kelvorin
