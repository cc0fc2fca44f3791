// TABSAOGroupBy: groups the child's rows on the GROUP BY columns (NULLs
// equal, strings case sensitive) and computes the select list's
// expressions per group. Keys and bare columns are copied at each group's
// start, so they read the group's first row; without GROUP BY the whole
// input is one group (one row, also when the input is empty, its bare
// columns NULL). HAVING is its condition.
#pragma once

#include <memory>
#include <vector>

#include "db/query/operators/ao.h"

namespace kelvorin {

class TABSAOGroupBy : public TABSAO {
 public:
  // Expression items of the select list become columns of this operator;
  // each such item is left naming its column (column_no).
  TABSAOGroupBy(std::unique_ptr<TABSAO> child, std::vector<TABSSelectListItem>& select_list,
                const TABSFields& group_by);
  ~TABSAOGroupBy() override;

  bool IsGrouping() const override { return true; }
  void GetColumnValue(int32_t column, TABSVariant* value) override;

 protected:
  void OwnFirst() override {}
  void OwnNext() override {}
  bool OwnEof() override { return true; }
  void Prepare() override;
  void ForEachRow(const std::function<bool()>& row) override;

 private:
  void CopyGroupRow();
  void ResetAggregates();
  void Accumulate();
  bool SameGroup();

  std::vector<int32_t> group_columns_;  // child column numbers
  int32_t child_columns_ = 0;
  std::vector<TABSVariant> group_row_;  // the group's first row
  TABSVariant value_in_child_;
  bool accumulating_ = false;
};

}  // namespace kelvorin
