// Pass-through operators: their rows are their child's rows.
// TABSAOTableExpr computes expression columns per row over them;
// TABSAOSQLTopRowCount carries the TOP limits that its materialization
// applies.
#pragma once

#include <memory>

#include "db/query/operators/ao.h"

namespace kelvorin {

class TABSAOTableExpr : public TABSAO {
 public:
  explicit TABSAOTableExpr(std::unique_ptr<TABSAO> child);

 protected:
  void OwnFirst() override;
  void OwnNext() override;
  bool OwnEof() override;
  void Prepare() override;
  void ForEachRow(const std::function<bool()>& row) override { left_->Rows(row); }
};

class TABSAOSQLTopRowCount : public TABSAO {
 public:
  // max_rows: n of TOP n; first_row: m of TOP n, m (1 when absent).
  TABSAOSQLTopRowCount(std::unique_ptr<TABSAO> child, int64_t max_rows, int64_t first_row);

 protected:
  void OwnFirst() override;
  void OwnNext() override;
  bool OwnEof() override;
  void Prepare() override;
  void ForEachRow(const std::function<bool()>& row) override { left_->Rows(row); }
};

}  // namespace kelvorin
