#include "db/query/operators/ao_group_by.h"

#include "db/query/operators/operator_errors.h"

namespace kelvorin {

TABSAOGroupBy::TABSAOGroupBy(std::unique_ptr<TABSAO> child, std::vector<TABSSelectListItem>&, const TABSFields&)
    : TABSAO(std::move(child), nullptr) {
  CopyColumnsOf(*left_, 0);
}
TABSAOGroupBy::~TABSAOGroupBy() = default;
void TABSAOGroupBy::GetColumnValue(int32_t column, TABSVariant* value) { TABSAO::GetColumnValue(column, value); }
void TABSAOGroupBy::Prepare() { throw EABSException(native::kGroupByField, {"", "", 0, 0}); }
void TABSAOGroupBy::OwnFirst() {}
void TABSAOGroupBy::OwnNext() {}
bool TABSAOGroupBy::OwnEof() { return true; }

}  // namespace kelvorin
