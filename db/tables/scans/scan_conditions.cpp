#include "db/tables/scans/scan_conditions.h"

#include <algorithm>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/scans/scan_errors.h"

namespace kelvorin {

namespace {

using R = TABSCombineResult;
using Rule = TABSCountRule;

constexpr TABSCombineOutcome A(R result) { return {result}; }
// `result` when the rule holds, else both conditions stay.
constexpr TABSCombineOutcome When(R result, Rule rule) { return {result, rule, R::kBoth}; }

// An equality with a strict bound on the same values says "none" only when
// the equality has at least as many columns: x = 3 and x < (3, 5) both hold
// for (3, 4).
constexpr TABSCombineTable kCombinations{{
    // kept =
    {{{A(R::kNone), A(R::kMore), A(R::kNone)},
      {A(R::kKept), When(R::kNone, Rule::kKeptNotFewer), A(R::kNone)},
      {A(R::kNone), When(R::kNone, Rule::kKeptNotFewer), A(R::kKept)},
      {A(R::kKept), When(R::kKept, Rule::kKeptNotFewer), A(R::kNone)},
      {A(R::kNone), When(R::kKept, Rule::kKeptNotFewer), A(R::kKept)}}},
    // kept <
    {{{A(R::kNone), When(R::kNone, Rule::kKeptNotMore), A(R::kNew)},
      {A(R::kKept), A(R::kFewer), A(R::kNew)},
      {A(R::kNone), A(R::kNone), A(R::kBoth)},
      {A(R::kKept), A(R::kKept), A(R::kNew)},
      {A(R::kNone), When(R::kNone, Rule::kKeptNotMore), A(R::kBoth)}}},
    // kept >
    {{{A(R::kNew), When(R::kNone, Rule::kKeptNotMore), A(R::kNone)},
      {A(R::kBoth), A(R::kNone), A(R::kNone)},
      {A(R::kNew), A(R::kFewer), A(R::kKept)},
      {A(R::kBoth), When(R::kNone, Rule::kKeptNotMore), A(R::kNone)},
      {A(R::kNew), A(R::kKept), A(R::kKept)}}},
    // kept <=
    {{{A(R::kNone), When(R::kNew, Rule::kKeptNotMore), A(R::kNew)},
      {A(R::kKept), A(R::kBoth), A(R::kNew)},
      {A(R::kNone), When(R::kNone, Rule::kKeptNotFewer), A(R::kBoth)},
      {A(R::kKept), A(R::kMore), A(R::kNew)},
      {A(R::kNone), When(R::kEquality, Rule::kSameCount), A(R::kBoth)}}},
    // kept >=
    {{{A(R::kNew), When(R::kNew, Rule::kKeptNotMore), A(R::kNone)},
      {A(R::kBoth), When(R::kNone, Rule::kKeptNotFewer), A(R::kNone)},
      {A(R::kNew), A(R::kNew), A(R::kKept)},
      {A(R::kBoth), When(R::kEquality, Rule::kSameCount), A(R::kNone)},
      {A(R::kNew), A(R::kMore), A(R::kKept)}}},
}};

bool RuleHolds(Rule rule, int32_t ka, int32_t kc) {
  switch (rule) {
    case Rule::kAlways:
      return true;
    case Rule::kKeptNotFewer:
      return ka >= kc;
    case Rule::kKeptNotMore:
      return ka <= kc;
    case Rule::kSameCount:
      return ka == kc;
  }
  return false;
}

size_t KindIndex(TABSScanConditionKind kind) { return static_cast<size_t>(kind) - 1; }

bool ValidKind(TABSScanConditionKind kind) {
  return kind >= TABSScanConditionKind::kEqual && kind <= TABSScanConditionKind::kGreaterOrEqual;
}

}  // namespace

const TABSCombineTable& ConditionCombinations() { return kCombinations; }

TABSCombineResult CombineResultOf(TABSScanConditionKind kept, TABSScanConditionKind added, int order,
                                  int32_t kept_columns, int32_t added_columns) {
  const TABSCombineCell& cell = kCombinations[KindIndex(kept)][KindIndex(added)];
  const TABSCombineOutcome& outcome = order < 0 ? cell.less : order == 0 ? cell.equal : cell.greater;
  return RuleHolds(outcome.rule, kept_columns, added_columns) ? outcome.result : outcome.otherwise;
}

TABSScanCondition TABSScanCondition::ForIndex(TABSScanConditionKind kind, std::vector<uint8_t> values,
                                              int32_t columns, int32_t index_object_id) {
  TABSScanCondition condition;
  auto owned = std::make_shared<const std::vector<uint8_t>>(std::move(values));
  condition.search = {kind, owned->data(), columns, index_object_id};
  condition.values = std::move(owned);
  return condition;
}

TABSScanCondition TABSScanCondition::ForExpression(TABSExpression& expression) {
  TABSScanCondition condition;
  condition.expression = &expression;
  return condition;
}

void TABSScanSearchConditionArray::Add(TABSScanCondition condition) {
  if (condition.expression == nullptr &&
      (condition.IndexId() < 0 || condition.values == nullptr || !ValidKind(condition.Kind()))) {
    throw EABSException(native::kInvalidScanCondition, {condition.IndexId(), Count()});
  }
  items_.push_back(std::move(condition));
}

void TABSScanSearchConditionArray::Remove(int32_t item) {
  if (item < 0 || item >= Count()) throw EABSException(native::kScanConditionItemNumber, {item, Count()});
  items_.erase(items_.begin() + item);
}

const TABSScanCondition& TABSScanSearchConditionArray::Item(int32_t item) const {
  if (item < 0 || item >= Count()) throw EABSException(native::kScanConditionItemNumber, {item, Count()});
  return items_[static_cast<size_t>(item)];
}

TABSScanCondition& TABSScanSearchConditionArray::Item(int32_t item) {
  if (item < 0 || item >= Count()) throw EABSException(native::kScanConditionItemNumber, {item, Count()});
  return items_[static_cast<size_t>(item)];
}

bool TABSScanSearchConditionArray::Combine(const Compare& compare) {
  // Kept conditions per index, the indexes in order of first appearance.
  std::vector<std::pair<int32_t, std::vector<TABSScanCondition>>> groups;
  std::vector<TABSScanCondition> expressions;
  for (const TABSScanCondition& added : items_) {
    if (!added.IsIndexCondition()) {
      expressions.push_back(added);
      continue;
    }
    auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == added.IndexId(); });
    if (group == groups.end()) {
      groups.push_back({added.IndexId(), {}});
      group = groups.end() - 1;
    }
    bool absorbed = false;
    for (TABSScanCondition& kept : group->second) {
      const int32_t ka = kept.Columns();
      const int32_t kc = added.Columns();
      const int order = compare(added.IndexId(), kept.search.record, added.search.record, std::min(ka, kc));
      switch (CombineResultOf(kept.Kind(), added.Kind(), order, ka, kc)) {
        case R::kKept:
          break;
        case R::kNew:
          kept = added;
          break;
        case R::kFewer:
          if (kc < ka) kept = added;
          break;
        case R::kMore:
          if (kc > ka) kept = added;
          break;
        case R::kEquality:
          kept.search.kind = TABSScanConditionKind::kEqual;
          break;
        case R::kBoth:
          continue;
        case R::kNone:
          return false;
      }
      absorbed = true;
    }
    if (!absorbed) group->second.push_back(added);
  }
  std::vector<TABSScanCondition> combined;
  for (auto& group : groups) {
    for (TABSScanCondition& condition : group.second) combined.push_back(std::move(condition));
  }
  // Of equal conditions the last stays.
  std::vector<TABSScanCondition> unique;
  for (size_t i = 0; i < combined.size(); ++i) {
    const TABSScanCondition& c = combined[i];
    const bool repeated = std::any_of(combined.begin() + static_cast<std::ptrdiff_t>(i) + 1, combined.end(),
                                      [&](const TABSScanCondition& other) {
                                        return other.IndexId() == c.IndexId() && other.Kind() == c.Kind() &&
                                               other.Columns() == c.Columns() &&
                                               compare(c.IndexId(), c.search.record, other.search.record,
                                                       c.Columns()) == 0;
                                      });
    if (!repeated) unique.push_back(c);
  }
  for (TABSScanCondition& expression : expressions) unique.push_back(std::move(expression));
  items_ = std::move(unique);
  return true;
}

}  // namespace kelvorin
