#include "db/query/operators/ao_union.h"

#include "db/query/operators/operator_errors.h"

namespace kelvorin {

TABSAOUnion::TABSAOUnion(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right,
                         std::vector<std::string> corresponding_names, bool distinct, bool corresponding,
                         TABSSetKind kind)
    : TABSAO(std::move(left), std::move(right)),
      corresponding_names_(std::move(corresponding_names)),
      set_distinct_(distinct),
      corresponding_(corresponding),
      kind_(kind) {}
TABSAOUnion::~TABSAOUnion() = default;
void TABSAOUnion::GetColumnValue(int32_t column, TABSVariant* value) { TABSAO::GetColumnValue(column, value); }
void TABSAOUnion::Prepare() { throw EABSException(native::kUnionNoPairs, {0}); }
void TABSAOUnion::OwnFirst() {}
void TABSAOUnion::OwnNext() {}
bool TABSAOUnion::OwnEof() { return true; }

}  // namespace kelvorin
