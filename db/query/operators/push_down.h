// The expression operations that place a statement's conditions in its
// operator tree: PushDown gives each operator the conjuncts it can
// evaluate, deepest first (never below an outer join, whose output they
// filter); ExtractJoinKeys takes the column equalities between two
// operators out of a condition as join key pairs.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "db/query/operators/ao.h"

namespace kelvorin {

// Moves the parts of `condition` that `op`'s tree can evaluate into it;
// what is left stays in `condition` (empty when everything was placed).
void PushDown(TABSExpression& condition, TABSAO& op);

// Takes the conjuncts "l = r" with one column in each operator out of
// `condition`, appending their columns to the key lists; returns how many
// pairs it took.
int32_t ExtractJoinKeys(TABSExpression& condition, const TABSAO& left, const TABSAO& right, TABSFields* left_keys,
                        TABSFields* right_keys);

// One node of the conjuncts (an AND over several); none for none.
std::unique_ptr<TABSExprNode> JoinConjuncts(std::vector<std::unique_ptr<TABSExprNode>> conjuncts);

}  // namespace kelvorin
