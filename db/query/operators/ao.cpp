#include "db/query/operators/ao.h"

#include <algorithm>
#include <cstring>

#include "db/query/expressions/condition_nodes.h"
#include "db/query/expressions/expr_compare.h"
#include "db/query/operators/operator_errors.h"
#include "db/query/operators/operator_names.h"
#include "db/tables/metadata/meta_object_def.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/temporary/record_array.h"
#include "db/storage/temporary/temporary_budget.h"

namespace kelvorin {

namespace {

// Above this many rows TOP n ORDER BY sorts through an index instead of
// keeping the best rows in memory.
constexpr int64_t kTopRowsInMemory = 100000;

TABSSessionSettings TempSettings() {
  TABSSessionSettings settings;
  settings.file_name = "TEMP";
  return settings;
}


}  // namespace

TABSAORecords::TABSAORecords() = default;
TABSAORecords::~TABSAORecords() = default;
TABSAORecords::TABSAORecords(TABSAORecords&&) noexcept = default;
TABSAORecords& TABSAORecords::operator=(TABSAORecords&&) noexcept = default;

void TABSAORecords::SetRecordSize(size_t size) {
  array_ = std::make_unique<TABSRecordArray>(static_cast<int32_t>(size));
  count_ = 0;
}

size_t TABSAORecords::RecordSize() const { return array_ == nullptr ? 0 : static_cast<size_t>(array_->RecordSize()); }
const uint8_t* TABSAORecords::Record(size_t i) const { return array_->At(static_cast<int64_t>(i)); }
uint8_t* TABSAORecords::Record(size_t i) { return array_->At(static_cast<int64_t>(i)); }
bool TABSAORecords::HasRoom() const { return static_cast<int64_t>(count_) < array_->Capacity(); }
int64_t TABSAORecords::GrowthRecords() const {
  return array_->GrowthBytes(kMaxSequenceNumber) / array_->RecordSize();
}
void TABSAORecords::Grow() { array_->Grow(kMaxSequenceNumber); }

void TABSAORecords::Append(const uint8_t* record) {
  std::memcpy(Record(count_), record, RecordSize());
  ++count_;
}

int64_t TABSAORecords::Trim() {
  if (array_ == nullptr) return 0;
  const int64_t before = array_->Capacity();
  array_->ShrinkTo(static_cast<int64_t>(count_));
  return before - array_->Capacity();
}

TABSAOMemoryRows::~TABSAOMemoryRows() = default;
TABSAOSortRuns::~TABSAOSortRuns() = default;

// ---------------------------------------------------------------- env

TABSAOEnv::TABSAOEnv() : temp_session_(TempSettings()) { temp_session_.Connect(); }
TABSAOEnv::~TABSAOEnv() = default;

// ---------------------------------------------------------------- tree

TABSAO::TABSAO(std::shared_ptr<TABSAOEnv> env) : env_(std::move(env)) {}

TABSAO::TABSAO(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right)
    : env_(left->Env()), left_(std::move(left)), right_(std::move(right)) {}

TABSAO::~TABSAO() {
  // Expressions of parents are gone first; the result table goes with its
  // cursor; children last.
  columns_.clear();
  condition_.reset();
  memory_.reset();
  result_.reset();
  right_.reset();
  left_.reset();
}

void TABSAO::ReleaseChildren() {
  right_.reset();
  left_.reset();
}

void TABSAO::CopyColumnsOf(TABSAO& child, int32_t side) {
  for (int32_t i = 0; i < child.ColumnCount(); ++i) {
    const TABSFieldLink& source = child.columns_[static_cast<size_t>(i)];
    TABSFieldLink link;
    link.name = source.name;
    link.base_name = source.base_name;
    link.qualifier = source.qualifier;
    link.alias = source.alias;
    link.data_type = source.data_type;
    link.size = source.size;
    link.precision = source.precision;
    link.source_ao = &child;
    link.source_no = i;
    link.side = side;
    link.hidden = true;
    link.computed = source.computed;
    link.shadowed = source.shadowed;
    columns_.push_back(std::move(link));
  }
}

void TABSAO::AddCondition(std::unique_ptr<TABSExprNode> node) {
  if (node == nullptr) return;
  if (condition_ == nullptr || condition_->IsEmpty()) {
    condition_ = std::make_unique<TABSExpression>();
    condition_->SetRootNode(std::move(node));
  } else {
    auto both = std::make_unique<TABSExprNodeBoolean>(kOpAnd);
    both->AddChild(condition_->RootNode()->Clone());
    both->AddChild(std::move(node));
    condition_->SetRootNode(std::move(both));
  }
  condition_->BindToAO(this, IsGrouping());
}

bool TABSAO::PassesCondition() {
  if (condition_ == nullptr || condition_->IsEmpty()) return true;
  return condition_->RootNode()->EvaluateTruth() == TABSTruth::kTrue;
}

// ---------------------------------------------------------------- rows

void TABSAO::First() {
  if (memory_ != nullptr) {
    memory_->at = 0;
    ShowMemoryRow();
  } else if (result_ != nullptr) {
    result_->Reader().First();
  } else {
    OwnFirst();
  }
}

void TABSAO::Next() {
  if (memory_ != nullptr) {
    ++memory_->at;
    ShowMemoryRow();
  } else if (result_ != nullptr) {
    result_->Reader().Next();
  } else {
    OwnNext();
  }
}

bool TABSAO::Eof() {
  if (memory_ != nullptr) return memory_->at >= memory_->order.size();
  return result_ != nullptr ? result_->Reader().Eof() : OwnEof();
}

int64_t TABSAO::RecordCount() {
  if (memory_ != nullptr) return static_cast<int64_t>(memory_->order.size());
  return result_ != nullptr ? result_->RowCount() : OwnRecordCount();
}

void TABSAO::ShowMemoryRow() {
  const bool on_row = memory_->at < memory_->order.size();
  result_->Reader().SetVisited(on_row ? memory_->order[memory_->at] : nullptr);
}

TABSAO::Position TABSAO::SavePosition() const {
  Position position;
  if (memory_ != nullptr) {
    position.at = memory_->at;
  } else if (result_ != nullptr) {
    position.mark = result_->Reader().Position();
  }
  return position;
}

void TABSAO::RestorePosition(const Position& position) {
  if (memory_ != nullptr) {
    memory_->at = position.at;
    ShowMemoryRow();
  } else if (result_ != nullptr) {
    result_->Reader().Restore(position.mark);
  }
}

int64_t TABSAO::OwnRecordCount() { return 0; }

void TABSAO::Rows(const std::function<bool()>& row) {
  if (result_ == nullptr) {
    ForEachRow(row);
    return;
  }
  for (First(); !Eof(); Next()) {
    if (!row()) return;
  }
}

void TABSAO::ForEachRow(const std::function<bool()>& row) {
  for (OwnFirst(); !OwnEof(); OwnNext()) {
    if (!row()) return;
  }
}

// ---------------------------------------------------------------- columns

int32_t TABSAO::FindColumns(std::string_view qualifier, std::string_view name, std::vector<int32_t>* out) const {
  // Columns that come from tables win over computed ones of the same name.
  for (const bool computed : {false, true}) {
    int32_t count = 0;
    for (int32_t i = 0; i < ColumnCount(); ++i) {
      const TABSFieldLink& link = columns_[static_cast<size_t>(i)];
      if (link.computed != computed) continue;
      if (link.shadowed && qualifier.empty() && name != "*") continue;
      // An aliased table is named by its alias alone, so that a table
      // joined to itself under an alias is not found twice.
      if (!qualifier.empty() && !SameObjectName(qualifier, link.alias.empty() ? link.qualifier : link.alias)) {
        continue;
      }
      if (name != "*" && !SameObjectName(name, link.name) &&
          (link.base_name.empty() || !SameObjectName(name, link.base_name))) {
        continue;
      }
      if (out != nullptr) out->push_back(i);
      ++count;
    }
    if (count > 0 || !qualifier.empty()) return count;
  }
  return 0;
}

int32_t TABSAO::MatchColumns(std::string_view qualifier, std::string_view name, int32_t* first) const {
  std::vector<int32_t> found;
  const int32_t count = FindColumns(qualifier, name, &found);
  if (first != nullptr) *first = found.empty() ? -1 : found.front();
  return count;
}

TABSColumnType TABSAO::ColumnType(int32_t column) const {
  if (column < 0 || column >= ColumnCount()) throw EABSException(native::kAOInvalidFieldNo, {column, ColumnCount()});
  return columns_[static_cast<size_t>(column)].data_type;
}

int32_t TABSAO::ColumnSize(int32_t column) const {
  if (column < 0 || column >= ColumnCount()) throw EABSException(native::kAOInvalidFieldNo, {column, ColumnCount()});
  return columns_[static_cast<size_t>(column)].size;
}

void TABSAO::GetColumnValue(int32_t column, TABSVariant* value) {
  if (column < 0 || column >= ColumnCount()) throw EABSException(native::kAOInvalidFieldNo, {column, ColumnCount()});
  OwnValue(columns_[static_cast<size_t>(column)], column, value);
}

void TABSAO::OwnValue(const TABSFieldLink& link, int32_t column, TABSVariant* value) {
  if (link.from_table) {
    rows_->Value(link.source_no, value);
    return;
  }
  if (link.expression != nullptr) {
    const TABSVariant* result = link.expression->GetValue(true);
    if (result == nullptr) {
      value->Clear();
      value->SetNull();
    } else {
      value->Assign(*result, false);
    }
    return;
  }
  if (link.source_ao != nullptr) {
    if (SideIsNull(link.side)) {
      value->Clear(StorageTypeOf(link.data_type));
      value->SetNull();
      return;
    }
    link.source_ao->GetColumnValue(link.source_no, value);
    return;
  }
  throw EABSException(native::kAOInvalidFieldLink, {table_name_, column});
}

void TABSAO::MakeColumnNamesUnique() {
  std::vector<std::string> names;
  names.reserve(columns_.size());
  for (const TABSFieldLink& link : columns_) names.push_back(link.name);
  MakeNamesUnique(names);
  for (size_t i = 0; i < names.size(); ++i) columns_[i].name = std::move(names[i]);
}

void TABSAO::SetProjection(std::vector<TABSSelectListItem>& items, bool distinct) {
  distinct_ = distinct;
  projection_.clear();
  projection_names_.clear();
  projection_set_ = true;
  const auto project = [&](int32_t column, const std::string& alias) {
    TABSFieldLink& link = columns_[static_cast<size_t>(column)];
    link.hidden = false;
    projection_.push_back(column);
    projection_names_.push_back(alias.empty() ? link.name : alias);
  };
  if (items.empty()) {
    for (int32_t i = 0; i < ColumnCount(); ++i) project(i, "");
    return;
  }
  for (TABSSelectListItem& item : items) {
    if (item.column_no >= 0) {
      project(item.column_no, item.alias);
    } else if (item.is_expression) {
      project(AddExpressionColumn(item), item.alias);
    } else {
      std::vector<int32_t> found;
      const std::string name = item.all_fields ? "*" : item.field_name;
      const int32_t count = FindColumns(item.table_name, name, &found);
      const std::string full = item.table_name.empty() ? name : item.table_name + "." + name;
      if (count == 0) throw EABSException(native::kAOFieldNotFound, {full});
      if (item.all_fields) {
        for (const int32_t column : found) project(column, "");
      } else {
        if (count > 1) throw EABSException(native::kAOAmbiguousField, {full});
        // A bare USING column keeps the name it was asked by, whichever
        // side's copy (renamed to be unique) gives its value.
        const TABSFieldLink& link = columns_[static_cast<size_t>(found.front())];
        const bool renamed = item.table_name.empty() && !SameObjectName(link.name, name);
        project(found.front(), item.alias.empty() && renamed ? name : item.alias);
      }
    }
  }
}

int32_t TABSAO::AddExpressionColumn(TABSSelectListItem& item) {
  if (item.expression == nullptr || item.expression->IsEmpty()) {
    throw EABSException(native::kAOFieldNotFound, {item.alias});
  }
  std::shared_ptr<TABSExpression> expression(std::move(item.expression));
  if (expression->IsAggregated() && !IsGrouping()) {
    throw EABSException(native::kAggregateOutsideGroup, {item.alias.empty() ? "Expr" : item.alias});
  }
  expression->BindToAO(this, IsGrouping());
  TABSFieldLink link;
  link.name = item.alias.empty() ? "Expr" : item.alias;
  link.data_type = expression->GetDataType();
  link.size = expression->GetDataSize();
  link.precision = expression->GetPrecision();
  link.is_aggregated = expression->IsAggregated();
  link.computed = true;
  link.hidden = false;
  link.expression = std::move(expression);
  columns_.push_back(std::move(link));
  const int32_t column = ColumnCount() - 1;
  item.is_expression = false;
  item.column_no = column;
  return column;
}

void TABSAO::SetColumnType(int32_t column, TABSColumnType type, int32_t size) {
  if (column < 0 || column >= ColumnCount()) throw EABSException(native::kAOInvalidFieldNo, {column, ColumnCount()});
  columns_[static_cast<size_t>(column)].data_type = type;
  columns_[static_cast<size_t>(column)].size = size;
}

std::vector<int32_t> TABSAO::OutputColumns() const {
  if (projection_set_) return projection_;
  std::vector<int32_t> all(columns_.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int32_t>(i);
  return all;
}

std::vector<std::string> TABSAO::OutputNames() const {
  std::vector<std::string> names;
  if (projection_set_) {
    names = projection_names_;
  } else {
    for (const TABSFieldLink& link : columns_) names.push_back(link.name);
  }
  MakeNamesUnique(names);
  return names;
}

void TABSAO::SetSortOrder(const std::vector<std::string>& fields, const std::vector<std::string>& descending,
                          const std::vector<std::string>& no_case) {
  const std::vector<int32_t> output = OutputColumns();
  const std::vector<std::string> names = OutputNames();
  std::vector<int32_t> columns;
  std::vector<bool> desc;
  std::vector<bool> insensitive;
  const auto named = [](const std::vector<std::string>& list, const std::string& name) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& n) { return SameObjectName(n, name); });
  };
  for (const std::string& field : fields) {
    int32_t position = -1;
    for (size_t i = 0; i < names.size() && position < 0; ++i) {
      if (SameObjectName(names[i], field)) position = static_cast<int32_t>(i);
    }
    if (position < 0) throw EABSException(native::kAOFieldNotFound, {field});
    columns.push_back(output[static_cast<size_t>(position)]);
    desc.push_back(named(descending, field));
    insensitive.push_back(named(no_case, field));
  }
  SetSortColumns(columns, desc, insensitive);
}

void TABSAO::SetSortColumns(const std::vector<int32_t>& columns, const std::vector<bool>& descending,
                            const std::vector<bool>& no_case) {
  for (const int32_t column : columns) {
    if (column < 0 || column >= ColumnCount()) {
      throw EABSException(native::kAOInvalidFieldNo, {column, ColumnCount()});
    }
    RefuseBlobKey(column, "sort");
  }
  sort_columns_ = columns;
  sort_descending_ = descending;
  sort_no_case_ = no_case;
  sort_descending_.resize(columns.size(), false);
  sort_no_case_.resize(columns.size(), false);
}

void TABSAO::RefuseBlobKey(int32_t column, std::string_view use) const {
  const TABSFieldLink& link = columns_[static_cast<size_t>(column)];
  if (IsBlobColumn(link.data_type) || IsByteArrayColumn(link.data_type)) {
    throw EABSException(native::kBlobKeyRefused, {link.name, ColumnTypeName(link.data_type), use});
  }
}

// ---------------------------------------------------------------- execution

void TABSAO::Execute(bool is_top) {
  if (executed_) return;
  env_->Step("execute");
  Prepare();
  const bool ordered = !sort_columns_.empty() || distinct_ || max_rows_ >= 0;
  if (is_top || MustMaterialize() || ordered) Materialize(is_top);
  executed_ = true;
}

std::vector<TABSRowColumn> TABSAO::ResultColumns(const std::vector<int32_t>& output, bool is_top) const {
  std::vector<std::string> names;
  if (is_top) {
    names = OutputNames();
  } else {
    for (const int32_t column : output) names.push_back(columns_[static_cast<size_t>(column)].name);
    MakeNamesUnique(names);
  }
  std::vector<TABSRowColumn> columns;
  for (size_t i = 0; i < output.size(); ++i) {
    const TABSFieldLink& link = columns_[static_cast<size_t>(output[i])];
    columns.push_back({names[i], link.data_type, link.size});
  }
  return columns;
}

void TABSAO::WriteRow(TABSRowTable& table, const std::vector<int32_t>& output) {
  table.BeginRow();
  for (size_t i = 0; i < output.size(); ++i) {
    GetColumnValue(output[i], &value_);
    table.SetValue(static_cast<int32_t>(i), value_);
  }
  table.AppendRow();
}

void TABSAO::Materialize(bool is_top) {
  const std::vector<int32_t> output = OutputColumns();
  // Sort columns as positions in the output.
  std::vector<int32_t> sort_positions;
  for (const int32_t column : sort_columns_) {
    const auto at = std::find(output.begin(), output.end(), column);
    if (at == output.end()) throw EABSException(native::kAOFieldNotFound, {columns_[static_cast<size_t>(column)].name});
    sort_positions.push_back(static_cast<int32_t>(at - output.begin()));
  }
  env_->Step("materialize");
  const std::vector<TABSRowColumn> result_columns = ResultColumns(output, is_top);
  auto table = std::make_unique<TABSRowTable>(env_->TempSession(), result_columns);
  const bool check = !FiltersOwnRows();
  const int64_t skip = first_row_ - 1;
  if (!distinct_ && max_rows_ >= 0 && !sort_positions.empty() && skip + max_rows_ <= kTopRowsInMemory) {
    WriteTopRows(*table, output, sort_positions, check);
  } else if (!distinct_ && sort_positions.empty()) {
    WriteRows(*table, output, check, skip, max_rows_);
  } else {
    // Ordered on the sort columns, then (for DISTINCT) on every other
    // column: equal rows are then neighbours whatever the order asked for.
    std::vector<int32_t> order = sort_positions;
    std::vector<bool> descending = sort_descending_;
    std::vector<bool> no_case = sort_no_case_;
    if (distinct_) {
      for (int32_t i = 0; i < static_cast<int32_t>(output.size()); ++i) {
        RefuseBlobKey(output[static_cast<size_t>(i)], "distinct");
        if (std::find(order.begin(), order.end(), i) != order.end()) continue;
        order.push_back(i);
        descending.push_back(false);
        no_case.push_back(false);
      }
    }
    // Rows are sorted in memory while the temporary-storage budget grants
    // room for them; beyond it each full memory is sorted and written out
    // as a run, and the runs are merged.
    TABSAOSortRuns runs;
    runs.share = std::make_unique<TABSBudgetShare>();
    GatherRuns(output, check, *table, order, descending, no_case, &runs);
    if (runs.tables.empty() && max_rows_ < 0 && !distinct_ && !is_top) {
      // An input of another operator: its rows stay in memory, in order.
      auto memory = std::make_unique<TABSAOMemoryRows>();
      memory->order = std::move(runs.order);
      memory->records = std::move(runs.records);
      memory->share = std::move(runs.share);
      AdoptResult(std::move(table), output, is_top);
      memory_ = std::move(memory);
      First();
      return;
    }
    WriteMerged(runs, *table, order, descending, no_case, skip, max_rows_, distinct_);
  }
  AdoptResult(std::move(table), output, is_top);
}

void TABSAO::SortRecords(const TABSRowTable& table, const std::vector<int32_t>& order,
                         const std::vector<bool>& descending, const std::vector<bool>& no_case,
                         std::vector<const uint8_t*>* records) {
  TABSVariant a;
  TABSVariant b;
  const TABSColumnType first_type = table.Columns()[static_cast<size_t>(order.front())].type;
  if (order.size() == 1 && IsIntegerStorage(StorageTypeOf(PlainColumnType(first_type)))) {
    // One integer key: read once per record, not once per comparison.
    struct Keyed {
      int64_t key;
      bool null;
      const uint8_t* record;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(records->size());
    for (const uint8_t* record : *records) {
      table.RecordValue(record, order.front(), &a);
      int64_t key = 0;
      const bool null = a.IsNull() || !IntegerValueOf(a, &key);
      keyed.push_back({key, null, record});
    }
    const bool down = descending.front();
    std::stable_sort(keyed.begin(), keyed.end(), [down](const Keyed& x, const Keyed& y) {
      int compared = x.null == y.null ? (x.null ? 0 : (x.key < y.key ? -1 : (x.key > y.key ? 1 : 0)))
                                      : (x.null ? -1 : 1);
      if (down) compared = -compared;
      return compared < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i) (*records)[i] = keyed[i].record;
    return;
  }
  std::stable_sort(records->begin(), records->end(), [&](const uint8_t* x, const uint8_t* y) {
    for (size_t i = 0; i < order.size(); ++i) {
      table.RecordValue(x, order[i], &a);
      table.RecordValue(y, order[i], &b);
      int compared = CompareSignedForExpression(a, b, no_case[i]);
      if (descending[i]) compared = -compared;
      if (compared != 0) return compared < 0;
    }
    return false;
  });
}

namespace {

// A run holds at least this many rows whatever the budget has left, so
// that a crowded budget cannot make a run per row.
constexpr size_t kMinRunRows = 256;

// What a sort holds for each record besides the record: its place in the
// order, and the key and merge buffer of the sort itself.
constexpr int64_t kSortBytesPerRecord = 48;

int64_t SortCharge(const TABSAORecords& rows, int64_t records) {
  return records * (static_cast<int64_t>(rows.RecordSize()) + kSortBytesPerRecord);
}

}  // namespace

// Memory is full: the rows so far become a sorted run in a table, and the
// memory they used takes the next ones.
void TABSAO::WriteRun(TABSRowTable& table, const std::vector<int32_t>& order, const std::vector<bool>& descending,
                      const std::vector<bool>& no_case, TABSAOSortRuns* runs) {
  TABSAORecords& rows = runs->records;
  std::vector<const uint8_t*> sorted(rows.Count());
  for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = rows.Record(i);
  SortRecords(table, order, descending, no_case, &sorted);
  auto run = std::make_unique<TABSRowTable>(env_->TempSession(), table.Columns());
  for (const uint8_t* record : sorted) {
    env_->Step("row");
    run->AppendRecord(record, &table);
  }
  runs->tables.push_back(std::move(run));
  for (size_t i = 0; i < sorted.size(); ++i) table.ReleaseRecord(rows.Record(i));
  rows.Clear();
}

void TABSAO::GatherRuns(const std::vector<int32_t>& output, bool check, TABSRowTable& table,
                        const std::vector<int32_t>& order, const std::vector<bool>& descending,
                        const std::vector<bool>& no_case, TABSAOSortRuns* runs) {
  TABSAORecords& rows = runs->records;
  rows.SetRecordSize(static_cast<size_t>(table.RecordSize()));
  TABSBudgetShare& share = *runs->share;
  ForEachRow([&] {
    env_->Step("row");
    if (check && !PassesCondition()) return true;
    table.BeginRow();
    for (size_t i = 0; i < output.size(); ++i) {
      GetColumnValue(output[i], &value_);
      table.SetValue(static_cast<int32_t>(i), value_);
    }
    if (!rows.HasRoom()) {
      // A run holds its minimum rows even past the budget.
      if (share.TryGrow(SortCharge(rows, rows.GrowthRecords())) || rows.Count() < kMinRunRows) {
        rows.Grow();
      } else {
        WriteRun(table, order, descending, no_case, runs);
      }
    }
    rows.Append(table.RowRecord());
    return true;
  });
  // The last rows stay in memory; the chunks they do not use go back.
  share.Shrink(SortCharge(rows, rows.Trim()));
  runs->order.resize(rows.Count());
  for (size_t i = 0; i < runs->order.size(); ++i) runs->order[i] = rows.Record(i);
  SortRecords(table, order, descending, no_case, &runs->order);
}

void TABSAO::WriteMerged(TABSAOSortRuns& runs, TABSRowTable& table, const std::vector<int32_t>& order,
                         const std::vector<bool>& descending, const std::vector<bool>& no_case, int64_t skip,
                         int64_t limit, bool distinct) {
  // Sources: each run table's reader, then the rows still in memory.
  const size_t tables = runs.tables.size();
  std::vector<size_t> at(tables + 1, 0);
  for (auto& run : runs.tables) run->Reader().First();
  const auto current = [&](size_t source) -> const uint8_t* {
    if (source < tables) {
      return runs.tables[source]->Reader().Record();
    }
    return at[source] < runs.order.size() ? runs.order[at[source]] : nullptr;
  };
  TABSVariant a;
  TABSVariant b;
  const auto compare = [&](const uint8_t* x, const uint8_t* y, size_t columns, bool sensitive) {
    for (size_t i = 0; i < columns; ++i) {
      const int32_t column = sensitive ? static_cast<int32_t>(i) : order[i];
      table.RecordValue(x, column, &a);
      table.RecordValue(y, column, &b);
      int compared = CompareSignedForExpression(a, b, !sensitive && no_case[i]);
      if (!sensitive && descending[i]) compared = -compared;
      if (compared != 0) return compared;
    }
    return 0;
  };
  std::vector<uint8_t> previous;
  int64_t passed = 0;
  int64_t written = 0;
  for (;;) {
    // The smallest current record; ties go to the earlier source, which
    // holds the earlier rows.
    size_t best = tables + 1;
    const uint8_t* best_record = nullptr;
    for (size_t source = 0; source <= tables; ++source) {
      const uint8_t* record = current(source);
      if (record == nullptr) continue;
      if (best_record == nullptr || compare(record, best_record, order.size(), false) < 0) {
        best = source;
        best_record = record;
      }
    }
    if (best_record == nullptr) break;
    env_->Step("row");
    bool skip_row = false;
    if (distinct) {
      skip_row = !previous.empty() && compare(previous.data(), best_record, static_cast<size_t>(table.ColumnCount()), true) == 0;
      previous.assign(best_record, best_record + table.RecordSize());
    }
    if (!skip_row) {
      if (limit >= 0 && written >= limit) break;
      if (passed++ >= skip) {
        table.AppendRecord(best_record, best < tables ? runs.tables[best].get() : &table);
        ++written;
      }
    }
    if (best < tables) {
      runs.tables[best]->Reader().Next();
    } else {
      ++at[best];
    }
  }
}

void TABSAO::WriteRows(TABSRowTable& table, const std::vector<int32_t>& output, bool check, int64_t skip,
                       int64_t limit) {
  int64_t passed = 0;
  int64_t written = 0;
  ForEachRow([&] {
    env_->Step("row");
    if (check && !PassesCondition()) return true;
    if (limit >= 0 && written >= limit) return false;
    if (passed++ < skip) return true;
    WriteRow(table, output);
    ++written;
    return true;
  });
}

void TABSAO::WriteTopRows(TABSRowTable& table, const std::vector<int32_t>& output,
                          const std::vector<int32_t>& sort_positions, bool check) {
  const size_t keep = static_cast<size_t>(first_row_ - 1 + max_rows_);
  const size_t size = static_cast<size_t>(table.RecordSize());
  struct Entry {
    std::vector<uint8_t> record;
    int64_t sequence;
  };
  TABSVariant a;
  TABSVariant b;
  const auto compare = [&](const uint8_t* x, const uint8_t* y) {
    for (size_t i = 0; i < sort_positions.size(); ++i) {
      table.RecordValue(x, sort_positions[i], &a);
      table.RecordValue(y, sort_positions[i], &b);
      int order = CompareSignedForExpression(a, b, sort_no_case_[i]);
      if (sort_descending_[i]) order = -order;
      if (order != 0) return order;
    }
    return 0;
  };
  // The worst kept row on top, so that a better one replaces it.
  const auto worse = [&](const Entry& x, const Entry& y) {
    const int order = compare(x.record.data(), y.record.data());
    return order != 0 ? order < 0 : x.sequence < y.sequence;
  };
  // A heap of the best rows kept so far, the worst of them at its front;
  // a row is copied only when it enters.
  std::vector<Entry> rows;
  int64_t sequence = 0;
  if (keep > 0) {
    ForEachRow([&] {
      env_->Step("row");
      if (check && !PassesCondition()) return true;
      table.BeginRow();
      for (size_t i = 0; i < output.size(); ++i) {
        GetColumnValue(output[i], &value_);
        table.SetValue(static_cast<int32_t>(i), value_);
      }
      const uint8_t* candidate = table.RowRecord();
      if (rows.size() < keep) {
        rows.push_back({std::vector<uint8_t>(candidate, candidate + size), sequence++});
        std::push_heap(rows.begin(), rows.end(), worse);
      } else if (compare(candidate, rows.front().record.data()) < 0) {
        std::pop_heap(rows.begin(), rows.end(), worse);
        std::memcpy(rows.back().record.data(), candidate, size);
        rows.back().sequence = sequence++;
        std::push_heap(rows.begin(), rows.end(), worse);
      } else {
        ++sequence;
      }
      return true;
    });
  }
  std::sort_heap(rows.begin(), rows.end(), worse);
  for (size_t r = static_cast<size_t>(first_row_ - 1); r < rows.size(); ++r) table.AppendRecord(rows[r].record.data());
}

void TABSAO::AdoptResult(std::unique_ptr<TABSRowTable> table, const std::vector<int32_t>& output, bool is_top) {
  std::vector<TABSFieldLink> columns;
  std::vector<std::string> names = projection_names_;
  for (size_t i = 0; i < output.size(); ++i) {
    TABSFieldLink link = columns_[static_cast<size_t>(output[i])];
    link.from_table = true;
    link.source_ao = nullptr;
    link.source_no = static_cast<int32_t>(i);
    link.side = -1;
    link.expression.reset();
    link.hidden = false;
    link.data_type = PlainColumnType(link.data_type);
    if (is_top) link.display_name = table->Columns()[i].name;
    columns.push_back(std::move(link));
  }
  // Sort columns follow their columns to their new places.
  for (int32_t& column : sort_columns_) {
    column = static_cast<int32_t>(std::find(output.begin(), output.end(), column) - output.begin());
  }
  condition_.reset();
  columns_ = std::move(columns);
  if (projection_set_) {
    projection_.clear();
    for (size_t i = 0; i < output.size(); ++i) projection_.push_back(static_cast<int32_t>(i));
  }
  max_rows_ = -1;
  first_row_ = 1;
  distinct_ = false;
  result_ = std::move(table);
  rows_ = &result_->Reader();
  ReleaseChildren();
}

}  // namespace kelvorin
