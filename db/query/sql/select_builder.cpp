#include "db/query/sql/select_builder.h"

#include <algorithm>

#include "db/access/local/local_session.h"
#include "db/query/operators/ao_group_by.h"
#include "db/query/operators/ao_join.h"
#include "db/query/operators/ao_pass_through.h"
#include "db/query/operators/ao_table.h"
#include "db/query/operators/ao_union.h"
#include "db/query/expressions/value_nodes.h"
#include "db/query/operators/push_down.h"
#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {
namespace {

bool HasRoot(const TABSExpression* expression) {
  return expression != nullptr && !expression->IsEmpty();
}

// Whether WHERE holds an equality between a column of `left` and one of
// `right` (tried on a copy, which keeps the condition whole).
bool Joinable(const TABSExpression& where, const TABSAO& left, const TABSAO& right) {
  if (where.IsEmpty()) return false;
  TABSExpression copy;
  copy.SetRootNode(where.RootNode()->Clone());
  TABSFields left_keys;
  TABSFields right_keys;
  return ExtractJoinKeys(copy, left, right, &left_keys, &right_keys) > 0;
}

// Raises the error of an aggregate where rows are not grouped.
void RefuseAggregates(const TABSExprNode& node) {
  if (node.kind() == TABSExprNode::Kind::kAggregated) {
    throw EABSException(native::kAggregateNotAllowed, {OperatorText(node.Operator())});
  }
  for (size_t i = 0; i < node.ChildCount(); ++i) RefuseAggregates(*node.Child(i));
}

// The qualifier under which `op` has exactly one column `name`, among the
// tables of a reference (USING names a column of each side).
std::string SideQualifier(const TABSTableReference& reference, const TABSAO& op, const std::string& name);

// A column name of a condition must name one column of the tree (push-down
// would otherwise bind it to whichever side it tries first).
void CheckConditionNames(const TABSExprNode& node, const TABSAO& from) {
  if (node.kind() == TABSExprNode::Kind::kField) {
    const auto& field = static_cast<const TABSExprNodeField&>(node);
    if (from.FindColumns(field.TableName(), field.FieldName(), nullptr) > 1) {
      throw EABSException(native::kAmbiguousColumn, {field.FieldName()});
    }
  }
  for (size_t i = 0; i < node.ChildCount(); ++i) CheckConditionNames(*node.Child(i), from);
}

// The qualifiers of the tables of a reference, left to right.
void TableQualifiers(const TABSTableReference& reference, std::vector<std::string>* out) {
  if (reference.kind == TABSTableReference::Kind::kTable) {
    out->push_back(reference.QualifierName());
    return;
  }
  TableQualifiers(*reference.left, out);
  TableQualifiers(*reference.right, out);
}

std::string SideQualifier(const TABSTableReference& reference, const TABSAO& op, const std::string& name) {
  // A side that is itself joined USING this name has one column for it.
  std::vector<int32_t> unqualified;
  if (op.FindColumns("", name, &unqualified) == 1) {
    const TABSFieldLink& link = op.Columns()[static_cast<size_t>(unqualified.front())];
    if (!link.computed) return link.alias.empty() ? link.qualifier : link.alias;
  }
  std::vector<std::string> qualifiers;
  TableQualifiers(reference, &qualifiers);
  std::string found;
  int32_t matches = 0;
  for (const std::string& qualifier : qualifiers) {
    if (op.FindColumns(qualifier, name, nullptr) == 1) {
      found = qualifier;
      ++matches;
    }
  }
  if (matches > 1) throw EABSException(native::kAmbiguousColumn, {name});
  if (matches == 0) throw EABSException(native::kColumnNotFound, {name});
  return found;
}

// Every plain column of the select list must name exactly one column.
void CheckSelectColumns(const TABSAO& top, const std::vector<TABSSelectListItem>& items) {
  for (const TABSSelectListItem& item : items) {
    if (item.is_expression || item.all_fields || item.column_no >= 0) continue;
    if (top.FindColumns(item.table_name, item.field_name, nullptr) > 1) {
      throw EABSException(native::kAmbiguousColumn, {item.field_name});
    }
  }
}

}  // namespace

std::unique_ptr<TABSAO> TABSSelectBuilder::Build(TABSQueryExprNode& node,
                                                 std::vector<TABSSortSpecification>& order_by) {
  if (node.set_operation == TABSSetOperation::kNone) {
    std::unique_ptr<TABSAO> top = BuildSelect(*node.select);
    if (!order_by.empty()) ApplyOrder(*top, order_by);
    return top;
  }
  std::unique_ptr<TABSAO> top = BuildSetOperation(node);
  if (!order_by.empty()) ApplyOrder(*top, order_by);
  return top;
}

std::unique_ptr<TABSAO> TABSSelectBuilder::BuildSetOperation(TABSQueryExprNode& node) {
  std::vector<TABSSortSpecification> none;
  std::unique_ptr<TABSAO> left = Build(*node.left, none);
  std::unique_ptr<TABSAO> right = Build(*node.right, none);
  const TABSSetKind kind = node.set_operation == TABSSetOperation::kUnion   ? TABSSetKind::kUnion
                           : node.set_operation == TABSSetOperation::kExcept ? TABSSetKind::kExcept
                                                                             : TABSSetKind::kIntersect;
  auto set = std::make_unique<TABSAOUnion>(std::move(left), std::move(right), node.corresponding_fields, !node.all,
                                           node.corresponding, kind);
  std::vector<TABSSelectListItem> all;
  set->SetProjection(all, false);
  return set;
}

std::unique_ptr<TABSAO> TABSSelectBuilder::BuildSelect(TABSSQLSelect& select) {
  select_list_ = select.select_all ? nullptr : &select.select_list;
  std::unique_ptr<TABSAO> top = BuildFrom(select);
  ResolveAliases(select, *top);
  bool aggregated = !select.group_by.empty();
  bool plain_expressions = false;
  if (!select.select_all) {
    for (const TABSSelectListItem& item : select.select_list) {
      if (!item.is_expression) continue;
      if (item.expression->IsAggregated()) {
        aggregated = true;
      } else {
        plain_expressions = true;
      }
    }
  }
  if (HasRoot(select.where.get())) {
    RefuseAggregates(*select.where->RootNode());
    CheckConditionNames(*select.where->RootNode(), *top);
  }
  if (!select.select_all) CheckSelectColumns(*top, select.select_list);
  if (!aggregated && plain_expressions && top->IsTable()) {
    top = std::make_unique<TABSAOTableExpr>(std::move(top));
  } else if (aggregated && plain_expressions) {
    top = ComputeGroupedExpressions(select, std::move(top));
  }
  if (HasRoot(select.where.get())) PushDown(*select.where, *top);
  if (aggregated) {
    TABSFields group_by;
    const std::vector<TABSSelectAlias> aliases = ColumnAliases({top.get()});
    for (const auto& column : select.group_by) {
      TABSAOField field{column.table_name, column.field_name};
      // GROUP BY may name a column by its select-list alias.
      for (const TABSSelectAlias& alias : aliases) {
        if (column.table_name.empty() && SameObjectName(alias.alias, column.field_name)) {
          field = {alias.table_name, alias.field_name};
        }
      }
      group_by.push_back(std::move(field));
    }
    top = std::make_unique<TABSAOGroupBy>(std::move(top), select.select_list, group_by);
    if (HasRoot(select.having.get())) {
      PushDown(*select.having, *top);
      if (!select.having->IsEmpty()) throw EABSException(native::kHavingNotApplicable);
    }
  } else if (HasRoot(select.having.get())) {
    PushDown(*select.having, *top);
    if (!select.having->IsEmpty()) throw EABSException(native::kHavingNotApplicable);
  }
  if (select.top_count >= 0) {
    top = std::make_unique<TABSAOSQLTopRowCount>(std::move(top), select.top_count,
                                                 select.top_first < 0 ? 1 : select.top_first);
  }
  if (select.select_all && select.table_references.size() > 1) {
    // The tables may have been joined in another order than written: the
    // columns of * still follow the FROM list.
    std::vector<std::string> qualifiers;
    for (const auto& reference : select.table_references) TableQualifiers(*reference, &qualifiers);
    std::vector<TABSSelectListItem> items;
    for (const std::string& qualifier : qualifiers) {
      TABSSelectListItem item;
      item.table_name = qualifier;
      item.all_fields = true;
      item.field_name = "*";
      items.push_back(std::move(item));
    }
    top->SetProjection(items, select.distinct);
  } else {
    std::vector<TABSSelectListItem> none;
    top->SetProjection(select.select_all ? none : select.select_list, select.distinct);
  }
  if (HasRoot(select.where.get())) {
    PushDown(*select.where, *top);
    if (!select.where->IsEmpty()) throw EABSException(native::kSearchConditionNotApplicable);
  }
  if (!select.order_by.empty()) ApplyOrder(*top, select.order_by);
  return top;
}

std::unique_ptr<TABSAO> TABSSelectBuilder::ComputeGroupedExpressions(TABSSQLSelect& select,
                                                                     std::unique_ptr<TABSAO> from) {
  // Items grouped on by their alias are computed per row below the grouping.
  std::vector<TABSSelectListItem*> grouped;
  for (TABSSelectListItem& item : select.select_list) {
    if (!item.is_expression || item.alias.empty() || item.expression->IsAggregated()) continue;
    if (from->FindColumns("", item.alias, nullptr) > 0) continue;
    for (const auto& column : select.group_by) {
      if (column.table_name.empty() && SameObjectName(column.field_name, item.alias)) {
        grouped.push_back(&item);
        break;
      }
    }
  }
  if (grouped.empty()) return from;
  auto computed = std::make_unique<TABSAOTableExpr>(std::move(from));
  std::vector<TABSSelectListItem> items(1);
  items[0].all_fields = true;
  items[0].field_name = "*";
  for (TABSSelectListItem* item : grouped) {
    TABSSelectListItem moved;
    moved.is_expression = true;
    moved.expression = std::move(item->expression);
    moved.alias = item->alias;
    items.push_back(std::move(moved));
    // Above, the item is the column computed here.
    item->is_expression = false;
    item->field_name = item->alias;
  }
  computed->SetProjection(items, false);
  return computed;
}

void TABSSelectBuilder::ApplyOrder(TABSAO& top, std::vector<TABSSortSpecification>& order_by) {
  const std::vector<int32_t> output = top.OutputColumns();
  const std::vector<std::string> names = top.OutputNames();
  std::vector<int32_t> columns;
  std::vector<bool> descending;
  for (const TABSSortSpecification& sort : order_by) {
    int32_t column = -1;
    if (sort.is_position) {
      if (sort.position < 1 || sort.position > static_cast<int64_t>(output.size())) {
        throw EABSException(native::kOrderByInvalidNumber, {sort.position});
      }
      column = output[static_cast<size_t>(sort.position - 1)];
    } else {
      // Output names first (ORDER BY n for COUNT(*) AS n), then the columns.
      if (sort.table_name.empty()) {
        for (size_t i = 0; i < names.size() && column < 0; ++i) {
          if (SameObjectName(names[i], sort.field_name)) column = output[i];
        }
      }
      if (column < 0) {
        std::vector<int32_t> found;
        top.FindColumns(sort.table_name, sort.field_name, &found);
        std::vector<int32_t> shown;
        for (const int32_t c : found) {
          for (const int32_t o : output) {
            if (c == o) shown.push_back(c);
          }
        }
        if (shown.size() > 1) throw EABSException(native::kAmbiguousColumn, {sort.field_name});
        if (!shown.empty()) column = shown.front();
      }
      if (column < 0) {
        const std::string name = sort.table_name.empty() ? sort.field_name : sort.table_name + "." + sort.field_name;
        throw EABSException(native::kOrderByColumnNotFound, {name});
      }
    }
    columns.push_back(column);
    descending.push_back(sort.descending);
  }
  top.SetSortColumns(columns, descending, std::vector<bool>(columns.size(), false));
}

std::vector<TABSSelectAlias> TABSSelectBuilder::ColumnAliases(std::initializer_list<const TABSAO*> sides) const {
  std::vector<TABSSelectAlias> aliases;
  if (select_list_ == nullptr) return aliases;
  for (const TABSSelectListItem& item : *select_list_) {
    if (item.is_expression || item.all_fields || item.alias.empty()) continue;
    int32_t first = -1;
    const bool is_column = std::any_of(sides.begin(), sides.end(),
                                       [&](const TABSAO* side) { return side->MatchColumns("", item.alias, &first) > 0; });
    if (is_column) continue;
    aliases.push_back({item.alias, true, item.table_name, item.field_name});
  }
  return aliases;
}

void TABSSelectBuilder::ResolveAliases(TABSSQLSelect& select, const TABSAO& from) {
  const std::vector<TABSSelectAlias> aliases = ColumnAliases({&from});
  if (aliases.empty()) return;
  if (select.where != nullptr) select.where->ResolveAliases(aliases);
  if (select.having != nullptr) select.having->ResolveAliases(aliases);
}

std::unique_ptr<TABSAO> TABSSelectBuilder::BuildFrom(TABSSQLSelect& select) {
  // Each table is named once: a column qualified by a name given twice
  // would come from either table.
  std::vector<std::string> qualifiers;
  for (const auto& reference : select.table_references) TableQualifiers(*reference, &qualifiers);
  for (size_t i = 0; i < qualifiers.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (SameObjectName(qualifiers[i], qualifiers[j])) throw EABSException(native::kTableNamedTwice, {qualifiers[i]});
    }
  }
  TABSExpression* where = select.where.get();
  std::vector<std::unique_ptr<TABSAO>> items;
  for (const auto& reference : select.table_references) items.push_back(BuildReference(*reference, where));
  std::unique_ptr<TABSAO> top = std::move(items.front());
  items.erase(items.begin());
  while (!items.empty()) {
    // The next table joined is one WHERE relates to those already joined,
    // so that no cross product is built that a later equality would cut.
    size_t next = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      if (HasRoot(where) && Joinable(*where, *top, *items[i])) {
        next = i;
        break;
      }
    }
    std::unique_ptr<TABSAO> right = std::move(items[next]);
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(next));
    TABSFields left_keys;
    TABSFields right_keys;
    if (HasRoot(where)) ExtractJoinKeys(*where, *top, *right, &left_keys, &right_keys);
    const TABSJoinType type = left_keys.empty() ? TABSJoinType::kCross : TABSJoinType::kInner;
    top = std::make_unique<TABSAOJoin>(std::move(top), std::move(right), left_keys, right_keys, false, type);
  }
  return top;
}

std::unique_ptr<TABSAO> TABSSelectBuilder::BuildReference(TABSTableReference& reference, TABSExpression* where) {
  if (reference.kind == TABSTableReference::Kind::kTable) return BuildTable(reference);
  return BuildJoin(reference, where);
}

std::unique_ptr<TABSAO> TABSSelectBuilder::BuildTable(TABSTableReference& reference) {
  TABSLocalSession* session = context_.session;
  std::string database = reference.database_name;
  if (reference.in_memory && database.empty()) database = "MEMORY";
  if (!database.empty()) {
    if (!context_.open_database) throw EABSException(native::kStatementNotAvailable, {database, reference.line_num, reference.column_num});
    session = &context_.open_database(database);
  }
  if (session == nullptr) throw EABSException(native::kNilPointer10009);
  return std::make_unique<TABSAOTable>(env_, *session, reference.table_name, reference.alias);
}

std::unique_ptr<TABSAO> TABSSelectBuilder::BuildJoin(TABSTableReference& reference, TABSExpression* where) {
  std::unique_ptr<TABSAO> left = BuildReference(*reference.left, where);
  std::unique_ptr<TABSAO> right = BuildReference(*reference.right, where);
  TABSFields left_keys;
  TABSFields right_keys;
  TABSJoinType type = reference.join_type;
  const bool outer = type == TABSJoinType::kLeft || type == TABSJoinType::kRight || type == TABSJoinType::kFull;
  if (!reference.natural && type != TABSJoinType::kCross) {
    if (!reference.using_columns.empty()) {
      for (const std::string& name : reference.using_columns) {
        left_keys.push_back({SideQualifier(*reference.left, *left, name), name});
        right_keys.push_back({SideQualifier(*reference.right, *right, name), name});
      }
    } else {
      if (HasRoot(reference.on_condition.get())) {
        const std::vector<TABSSelectAlias> aliases = ColumnAliases({left.get(), right.get()});
        if (!aliases.empty()) reference.on_condition->ResolveAliases(aliases);
        ExtractJoinKeys(*reference.on_condition, *left, *right, &left_keys, &right_keys);
      }
      // Keys of an outer join come from its own condition only: WHERE
      // filters the rows completed with NULLs, a key would match them.
      if (!outer && HasRoot(where)) ExtractJoinKeys(*where, *left, *right, &left_keys, &right_keys);
    }
    // An inner join without a key is a cross join filtered by ON.
    if (type == TABSJoinType::kInner && left_keys.empty()) type = TABSJoinType::kCross;
  }
  auto join = std::make_unique<TABSAOJoin>(std::move(left), std::move(right), left_keys, right_keys,
                                           reference.natural, type);
  if (!reference.using_columns.empty()) join->ShareKeyNames();
  if (HasRoot(reference.on_condition.get())) {
    std::unique_ptr<TABSExprNode> rest = reference.on_condition->RootNode()->Clone();
    reference.on_condition->SetRootNode(nullptr);
    join->AddOnCondition(std::move(rest));
  }
  return join;
}

}  // namespace kelvorin
