#include "db/query/operators/ao_join.h"

#include "db/query/operators/operator_errors.h"

namespace kelvorin {

struct TABSAOJoin::State {};

TABSAOJoin::TABSAOJoin(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right, const TABSFields&,
                       const TABSFields&, bool, TABSJoinType type)
    : TABSAO(std::move(left), std::move(right)), type_(type) {
  CopyColumnsOf(*left_, 0);
  CopyColumnsOf(*right_, 1);
  MakeColumnNamesUnique();
}
TABSAOJoin::~TABSAOJoin() = default;
void TABSAOJoin::AddOnCondition(std::unique_ptr<TABSExprNode> node) { AddCondition(std::move(node)); }
void TABSAOJoin::GetColumnValue(int32_t column, TABSVariant* value) { TABSAO::GetColumnValue(column, value); }
void TABSAOJoin::Prepare() { throw EABSException(native::kOuterJoinNeedsCondition); }
void TABSAOJoin::OwnFirst() {}
void TABSAOJoin::OwnNext() {}
bool TABSAOJoin::OwnEof() { return true; }
int64_t TABSAOJoin::OwnRecordCount() { return 0; }

}  // namespace kelvorin
