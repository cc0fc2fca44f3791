#include "db/query/operators/ao_pass_through.h"

namespace kelvorin {

TABSAOTableExpr::TABSAOTableExpr(std::unique_ptr<TABSAO> child) : TABSAO(std::move(child), nullptr) {
  CopyColumnsOf(*left_, 0);
}

void TABSAOTableExpr::Prepare() { left_->Execute(false); }
void TABSAOTableExpr::OwnFirst() { left_->First(); }
void TABSAOTableExpr::OwnNext() { left_->Next(); }
bool TABSAOTableExpr::OwnEof() { return left_->Eof(); }

TABSAOSQLTopRowCount::TABSAOSQLTopRowCount(std::unique_ptr<TABSAO> child, int64_t max_rows, int64_t first_row)
    : TABSAO(std::move(child), nullptr) {
  CopyColumnsOf(*left_, 0);
  SetTop(max_rows, first_row);
}

void TABSAOSQLTopRowCount::Prepare() { left_->Execute(false); }
void TABSAOSQLTopRowCount::OwnFirst() { left_->First(); }
void TABSAOSQLTopRowCount::OwnNext() { left_->Next(); }
bool TABSAOSQLTopRowCount::OwnEof() { return left_->Eof(); }

}  // namespace kelvorin
