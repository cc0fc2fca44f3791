#include "db/tables/scans/table_scans.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "db/query/expressions/condition_nodes.h"
#include "db/query/expressions/expr_compare.h"
#include "db/query/expressions/expr_text.h"
#include "db/query/expressions/value_nodes.h"
#include "db/query/parser/expression.h"
#include "db/storage/blobs/blob_manager.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/locks/lock_errors.h"
#include "db/storage/pages/page_manager.h"
#include "db/storage/records/base_record_manager.h"
#include "db/tables/records/table_data.h"
#include "db/tables/records/table_lock_guards.h"
#include "db/tables/scans/scan_errors.h"

namespace kelvorin {

namespace {

using Kind = TABSScanConditionKind;
using Conditions = std::vector<const TABSScanCondition*>;

bool KindHolds(Kind kind, int order) {
  switch (kind) {
    case Kind::kEqual:
      return order == 0;
    case Kind::kLess:
      return order < 0;
    case Kind::kGreater:
      return order > 0;
    case Kind::kLessOrEqual:
      return order <= 0;
    case Kind::kGreaterOrEqual:
      return order >= 0;
  }
  return false;
}

bool IsLowerBound(Kind kind) { return kind == Kind::kGreater || kind == Kind::kGreaterOrEqual; }
bool IsUpperBound(Kind kind) { return kind == Kind::kLess || kind == Kind::kLessOrEqual; }

const char* KindText(Kind kind) {
  switch (kind) {
    case Kind::kEqual:
      return "=";
    case Kind::kLess:
      return "<";
    case Kind::kGreater:
      return ">";
    case Kind::kLessOrEqual:
      return "<=";
    case Kind::kGreaterOrEqual:
      return ">=";
  }
  return "?";
}

TABSTableData& TableOf(TABSScanCursor& cursor) {
  if (cursor.Table() == nullptr || !cursor.Table()->HasManagers()) {
    throw EABSException(native::kCursorIndexMissing, {cursor.IndexId()});
  }
  return *cursor.Table();
}

// Whether the bitmap and the position cache of a cursor are current.
int64_t StampOf(const TABSTableData& table) {
  return (int64_t{table.StateGeneration()} << 32) | static_cast<uint32_t>(table.ChangeCounter());
}

// One operation of a cursor on its table: the critical section, the read
// lock, and the state as it is now.
class Operation {
 public:
  Operation(TABSScanCursor& cursor, const TABSNativeError& locked)
      : table_(TableOf(cursor)),
        section_(table_.CriticalSection()),
        read_(table_, cursor.SessionNumber(), locked) {
    table_.RefreshSharedState(cursor.SessionNumber());
  }
  TABSTableData& Table() const { return table_; }

 private:
  TABSTableData& table_;
  std::lock_guard<std::recursive_mutex> section_;
  TABSTableReadLock read_;
};

// Counts the searches running for a cursor.
class SearchDepth {
 public:
  explicit SearchDepth(TABSScanCursor& cursor) : depth_(cursor.SearchDepth()) { ++depth_; }
  ~SearchDepth() { --depth_; }
  SearchDepth(const SearchDepth&) = delete;
  SearchDepth& operator=(const SearchDepth&) = delete;
  bool Nested() const { return depth_ > 1; }

 private:
  int32_t& depth_;
};

// The position of the index with that object number; -1 when none.
int32_t IndexPosition(TABSBaseIndexManager& indexes, int32_t object_id) {
  if (object_id < 0) return -1;
  for (int32_t i = 0; i < indexes.Count(); ++i) {
    if (indexes.Definition(i).ObjectId() == object_id) return i;
  }
  return -1;
}

// The cursor's own index, made current when it is a temporary one.
int32_t OwnIndex(TABSTableData& table, TABSScanCursor& cursor) {
  if (cursor.IndexId() < 0) return -1;
  TABSBaseIndexManager& indexes = table.IndexManager();
  const int32_t position = IndexPosition(indexes, cursor.IndexId());
  if (position < 0) throw EABSException(native::kCursorIndexMissing, {cursor.IndexId()});
  TABSIndexDef& definition = indexes.Definition(position);
  if (definition.Temporary() && !indexes.IsCurrent(position, table.ChangeCounter())) {
    table.RefreshTemporaryIndex(cursor.SessionNumber(), definition);
  }
  return position;
}

// Evaluates an expression condition on a record, leaving out the
// comparisons that index conditions stand for in this search.
bool ExpressionPasses(const TABSScanCondition& condition, const uint8_t* record) {
  TABSExpression& expression = *condition.expression;
  TABSExprNode* root = expression.RootNode();
  if (root == nullptr) return true;
  expression.BindToRecord(record);
  const auto taken = [&](const TABSExprNode* node) {
    return std::find(condition.taken_out.begin(), condition.taken_out.end(), node) != condition.taken_out.end();
  };
  if (condition.taken_out.empty()) return root->EvaluateTruth() == TABSTruth::kTrue;
  if (taken(root)) return true;
  for (size_t i = 0; i < root->ChildCount(); ++i) {
    TABSExprNode* child = root->Child(i);
    if (!taken(child) && child->EvaluateTruth() != TABSTruth::kTrue) return false;
  }
  return true;
}

// What remains of an expression once its taken-out comparisons are skipped.
bool HasRemainder(const TABSScanCondition& condition) {
  const TABSExprNode* root = condition.expression->RootNode();
  if (root == nullptr) return false;
  if (condition.taken_out.empty()) return true;
  if (std::find(condition.taken_out.begin(), condition.taken_out.end(), root) != condition.taken_out.end()) {
    return false;
  }
  return root->ChildCount() > condition.taken_out.size();
}

uint8_t Mirrored(uint8_t op) {
  switch (op) {
    case kOpGreater:
      return kOpLess;
    case kOpLess:
      return kOpGreater;
    case kOpGreaterOrEqual:
      return kOpLessOrEqual;
    case kOpLessOrEqual:
      return kOpGreaterOrEqual;
    default:
      return op;
  }
}

Kind KindOf(uint8_t op, bool descending) {
  switch (op) {
    case kOpGreater:
      return descending ? Kind::kLess : Kind::kGreater;
    case kOpLess:
      return descending ? Kind::kGreater : Kind::kLess;
    case kOpGreaterOrEqual:
      return descending ? Kind::kLessOrEqual : Kind::kGreaterOrEqual;
    case kOpLessOrEqual:
      return descending ? Kind::kGreaterOrEqual : Kind::kLessOrEqual;
    default:
      return Kind::kEqual;
  }
}

// A scan that goes on just past the entry of (record's key, id) in its
// direction, whether or not that entry is still there.
std::unique_ptr<TABSIndexScanState> ResumeAfter(TABSBTreeRecordIndex& index, const uint8_t* record, TABSRecordId id,
                                                bool ascending) {
  std::unique_ptr<TABSIndexScanState> state = index.NewScanState();
  const TABSRecordKeyRef& layout = index.KeyLayout();
  state->started = true;
  state->ascending = ascending;
  state->current.Clear();
  state->current_id = id;
  state->current_key.Allocate(layout.ShortKeySize());
  layout.BuildShortKey(record, state->current_key.bytes());
  if (layout.HasCutColumns()) {
    state->current_record.Allocate(layout.MemoryRecordSize());
    std::copy(record, record + layout.MemoryRecordSize(), state->current_record.bytes());
  }
  return state;
}

// One FindRecord: its conditions, the access path chosen and the run.
class Search {
 public:
  Search(TABSTableData& table, TABSScanCursor& cursor, const TABSFindRequest& request)
      : table_(table),
        cursor_(cursor),
        request_(request),
        session_(cursor.SessionNumber()),
        indexes_(table.IndexManager()),
        depth_(cursor),
        record_size_(table.RecordFields().MemorySize()),
        buffer_(static_cast<size_t>(record_size_)) {
    own_ = OwnIndex(table, cursor);
    onward_ = !request.from_start && cursor.OnRecord();
    Collect();
    if (!depth_.Nested()) DeriveAll();
    none_ = !conditions_.Combine([&](int32_t index, const uint8_t* a, const uint8_t* b, int32_t columns) {
      return IndexOf(index).CompareRecords(a, b, columns);
    });
    if (!none_) Choose();
  }
  ~Search() {
    // Field nodes keep the record they read last: leave them on the
    // cursor's record rather than on this search's buffer.
    const uint8_t* current = cursor_.CurrentRecord();
    for (const TABSScanCondition& condition : conditions_.Items()) {
      if (condition.expression != nullptr && current != nullptr) condition.expression->BindToRecord(current);
    }
  }
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;

  bool Run(TABSRecordId& id, uint8_t* record);
  std::string Explain();
  // Whether a step onward would visit every entry of the chosen range (an
  // index other than the cursor's order, whose entries are not in that
  // order): the cursor then steps through its filter bitmap instead.
  bool VisitsWholeRangePerStep() const {
    return onward_ && !none_ && plan_.index >= 0 && plan_.index != own_ && !IdOrdered();
  }

 private:
  struct Plan {
    int32_t index = -1;  // position in the index manager; -1: storage order
    const TABSScanCondition* lower = nullptr;
    const TABSScanCondition* upper = nullptr;
    Conditions residual;
  };

  TABSBTreeRecordIndex& IndexAt(int32_t position) { return indexes_.Index(position); }
  TABSBTreeRecordIndex& IndexOf(int32_t object_id) {
    const int32_t position = IndexPosition(indexes_, object_id);
    if (position < 0) throw EABSException(native::kInvalidScanCondition, {object_id, conditions_.Count()});
    return IndexAt(position);
  }
  // A record of the table with every field NULL.
  std::vector<uint8_t> NullRecord() const {
    std::vector<uint8_t> record(static_cast<size_t>(record_size_));
    table_.InitRecord(cursor_.Session(), record.data(), /*apply_defaults=*/false);
    return record;
  }

  void Collect();
  void AddExpression(TABSExpression* expression);
  void AddRange(const TABSRangeBound& bound, bool start);
  void DeriveAll();
  bool Derive(TABSExprNode& node, std::vector<TABSScanCondition>& derived);
  bool UsableForDerivation(int32_t position);
  bool WriteConstant(int32_t field_no, const TABSVariant& value, bool strict_nulls, bool case_insensitive,
                     std::vector<uint8_t>& record);
  void Choose();
  Plan FormRange(int32_t position) const;
  bool ChecksRemain(const Plan& plan) const;
  bool IndexCheaper(const Plan& plan, int64_t estimate, int64_t total);

  // Under an equality on every column of the chosen index its entries lie
  // in identifier order, which is storage order.
  bool IdOrdered() const {
    return own_ < 0 && plan_.index >= 0 && plan_.lower != nullptr && plan_.lower->Kind() == Kind::kEqual &&
           plan_.lower->Columns() == indexes_.Index(plan_.index).KeyLayout().ColumnCount();
  }
  bool Passes(const Conditions& conditions, const uint8_t* record);
  bool RunStorage(TABSRecordId& id, uint8_t* record);
  bool RunOwnIndex(TABSRecordId& id, uint8_t* record);
  bool RunNearest(TABSRecordId& id, uint8_t* record);
  bool Mark();
  int CompareInOwnOrder(const uint8_t* a, TABSRecordId a_id, const uint8_t* b, TABSRecordId b_id);
  std::string ConditionText(const TABSScanCondition& condition);

  TABSTableData& table_;
  TABSScanCursor& cursor_;
  const TABSFindRequest& request_;
  int32_t session_;
  TABSBaseIndexManager& indexes_;
  SearchDepth depth_;
  int32_t record_size_;
  std::vector<uint8_t> buffer_;
  int32_t own_ = -1;
  bool onward_ = false;
  TABSScanSearchConditionArray conditions_;
  bool none_ = false;
  Plan plan_;
};

void Search::Collect() {
  if (request_.extra_condition != nullptr) conditions_.Add(*request_.extra_condition);
  AddExpression(request_.extra_expression);
  AddExpression(cursor_.Filter());
  AddExpression(cursor_.SecondExpression());
  if (own_ < 0) return;
  AddRange(cursor_.RangeStart(), true);
  AddRange(cursor_.RangeEnd(), false);
  // Past the current key group, only when stepping from a record.
  const int32_t columns = IndexAt(own_).KeyLayout().ColumnCount();
  if (cursor_.DistinctCount() > 0 && onward_) {
    conditions_.Add(TABSScanCondition::ForIndex(request_.forward ? Kind::kGreater : Kind::kLess, cursor_.Record(),
                                                std::min(cursor_.DistinctCount(), columns), cursor_.IndexId()));
  }
}

void Search::AddExpression(TABSExpression* expression) {
  if (expression != nullptr && !expression->IsEmpty()) conditions_.Add(TABSScanCondition::ForExpression(*expression));
}

void Search::AddRange(const TABSRangeBound& bound, bool start) {
  if (!bound.present) return;
  const int32_t index_columns = IndexAt(own_).KeyLayout().ColumnCount();
  const int32_t columns = bound.columns == 0 || bound.columns > index_columns ? index_columns : bound.columns;
  const Kind kind = start ? (bound.exclusive ? Kind::kGreater : Kind::kGreaterOrEqual)
                          : (bound.exclusive ? Kind::kLess : Kind::kLessOrEqual);
  conditions_.Add(TABSScanCondition::ForIndex(kind, bound.record, columns, cursor_.IndexId()));
}

void Search::DeriveAll() {
  std::vector<TABSScanCondition> derived;
  for (TABSScanCondition& condition : conditions_.Items()) {
    if (condition.IsIndexCondition()) continue;
    TABSExprNode* root = condition.expression->RootNode();
    if (root->kind() == TABSExprNode::Kind::kComparison) {
      if (Derive(*root, derived)) condition.taken_out.push_back(root);
    } else if (root->kind() == TABSExprNode::Kind::kBoolean && root->Operator() == kOpAnd) {
      for (size_t i = 0; i < root->ChildCount(); ++i) {
        TABSExprNode* child = root->Child(i);
        if (child->kind() == TABSExprNode::Kind::kComparison && Derive(*child, derived)) {
          condition.taken_out.push_back(child);
        }
      }
    }
  }
  for (TABSScanCondition& condition : derived) conditions_.Add(std::move(condition));
}

bool Search::UsableForDerivation(int32_t position) {
  const TABSIndexDef& definition = indexes_.Definition(position);
  if (IndexAt(position).RootPage() < 0) return false;
  if (!definition.Temporary()) return true;
  return definition.SessionId() == session_ && indexes_.IsCurrent(position, table_.ChangeCounter());
}

// The constant written into a record as the field's value; false when it
// does not survive the trip unchanged (a fraction into an integer, a number
// beyond the field's range, an empty text that becomes NULL), or is NULL
// where NULL compares false.
bool Search::WriteConstant(int32_t field_no, const TABSVariant& value, bool strict_nulls, bool case_insensitive,
                           std::vector<uint8_t>& record) {
  if (value.IsNull()) return !strict_nulls;
  try {
    table_.FieldManager().SetFieldValue(field_no, value, record.data());
  } catch (const EABSException& e) {
    if (e.NativeError() == native::kMemoryLimitExceeded30004.code) throw;
    return false;
  } catch (const std::range_error&) {
    return false;
  } catch (const std::invalid_argument&) {
    return false;
  }
  TABSVariant stored;
  table_.FieldManager().GetFieldValue(field_no, stored, record.data());
  if (stored.IsNull()) return false;
  return CompareSignedForExpression(stored, value, case_insensitive) == 0;
}

bool Search::Derive(TABSExprNode& node, std::vector<TABSScanCondition>& derived) {
  uint8_t op = node.Operator();
  if (op != kOpEqual && op != kOpGreater && op != kOpLess && op != kOpGreaterOrEqual && op != kOpLessOrEqual) {
    return false;
  }
  if (node.ChildCount() != 2 || node.Child(0) == nullptr || node.Child(1) == nullptr) {
    throw EABSException(native::kDerivedOperandMissing);
  }
  TABSExprNode* left = node.Child(0);
  TABSExprNode* right = node.Child(1);
  using NodeKind = TABSExprNode::Kind;
  const bool field_left = left->kind() == NodeKind::kField && right->kind() == NodeKind::kConst;
  const bool field_right = right->kind() == NodeKind::kField && left->kind() == NodeKind::kConst;
  if (!field_left && !field_right) return false;
  auto& field = static_cast<TABSExprNodeField&>(field_left ? *left : *right);
  auto& constant = static_cast<TABSExprNodeConst&>(field_left ? *right : *left);
  if (!field.IsBound()) throw EABSException(native::kDerivedFieldUnbound);
  if (node.PartialKey()) return false;
  if (field_right) op = Mirrored(op);
  const bool strict_nulls = static_cast<TABSExprNodeComparison&>(node).StrictNulls();
  const TABSFieldDefs& fields = table_.Metadata().Fields();
  const int32_t field_no = fields.IndexOfName(field.FieldName());
  if (field_no < 0) return false;
  const TABSVariant& value = constant.GetValue();
  const int32_t constant_size = IsStringStorage(value.Type()) ? constant.GetDataSize() : 0;
  if (fields.Items(field_no)->DeclaredSize() < constant_size) return false;
  std::optional<std::vector<uint8_t>> values;
  for (int32_t position = 0; position < indexes_.Count(); ++position) {
    if (!UsableForDerivation(position)) continue;
    const TABSRecordKeyRef& layout = IndexAt(position).KeyLayout();
    if (layout.ColumnCount() < 1) throw EABSException(native::kIndexWithoutColumns);
    const TABSKeyColumn& column = layout.Columns()[0];
    if (column.field_no != field_no) continue;
    if (IsStringStorage(column.type) && column.case_insensitive != node.CaseInsensitive()) continue;
    // Prefix order is not full-value order: a cut column serves only equality.
    if (column.cut && op != kOpEqual) continue;
    if (!values) {
      values = NullRecord();
      if (!WriteConstant(field_no, value, strict_nulls, node.CaseInsensitive(), *values)) return false;
    }
    const int32_t index_id = indexes_.Definition(position).ObjectId();
    derived.push_back(TABSScanCondition::ForIndex(KindOf(op, column.descending), *values, 1, index_id));
    // NULL is false under < and <=, but lies within the bound that stands
    // for them: shut it out.
    if (strict_nulls && (op == kOpLess || op == kOpLessOrEqual)) {
      derived.push_back(TABSScanCondition::ForIndex(column.descending ? Kind::kLess : Kind::kGreater, NullRecord(),
                                                    1, index_id));
    }
    return true;
  }
  return false;
}

Search::Plan Search::FormRange(int32_t position) const {
  Plan plan;
  plan.index = position;
  const int32_t index_id = indexes_.Definition(position).ObjectId();
  const TABSScanCondition* equal = nullptr;
  const TABSScanCondition* lower = nullptr;
  const TABSScanCondition* upper = nullptr;
  for (const TABSScanCondition& c : conditions_.Items()) {
    if (!c.IsIndexCondition() || c.IndexId() != index_id) continue;
    if (c.Kind() == Kind::kEqual && equal == nullptr) equal = &c;
    if (IsLowerBound(c.Kind()) && lower == nullptr) lower = &c;
    if (IsUpperBound(c.Kind()) && upper == nullptr) upper = &c;
  }
  // One lower and one upper bound; an equality bounds both ways.
  plan.lower = equal != nullptr ? equal : lower;
  plan.upper = upper;
  for (const TABSScanCondition& c : conditions_.Items()) {
    if (&c != plan.lower && &c != plan.upper) plan.residual.push_back(&c);
  }
  return plan;
}

bool Search::ChecksRemain(const Plan& plan) const {
  if (cursor_.Callback()) return true;
  return std::any_of(plan.residual.begin(), plan.residual.end(), [](const TABSScanCondition* c) {
    return c->IsIndexCondition() || HasRemainder(*c);
  });
}

bool Search::IndexCheaper(const Plan& plan, int64_t estimate, int64_t total) {
  if (estimate <= 0) return true;
  const bool checks = ChecksRemain(plan);
  double fraction = static_cast<double>(estimate) / static_cast<double>(total);
  if (checks) fraction *= 0.2;
  const double record = table_.Metadata().StoredRecordSize();
  const double page = table_.PageManager() != nullptr ? table_.PageManager()->DataSize() : 4096.0;
  const double key = IndexAt(plan.index).KeyLayout().ShortKeySize() + TABSRecordId::kStoredSize;
  const double position = static_cast<double>(
      std::max<int64_t>(0, table_.RecordManager()->EstimatedPosition(session_, cursor_.CurrentId())));
  const double full_scan = record / page * (static_cast<double>(total) - position) * (1 - fraction);
  const bool other_order = own_ >= 0 && own_ != plan.index;
  const double e = static_cast<double>(estimate);
  double index_cost = key / page * e;
  if (checks || other_order) index_cost += record / page * e;
  if (other_order) index_cost += (IndexAt(own_).KeyLayout().ShortKeySize() + TABSRecordId::kStoredSize) / page * e;
  return index_cost <= full_scan;
}

void Search::Choose() {
  plan_ = Plan();
  for (const TABSScanCondition& c : conditions_.Items()) plan_.residual.push_back(&c);
  switch (cursor_.ForcedPath()) {
    case TABSAccessPath::kStorage:
      return;
    case TABSAccessPath::kIndex: {
      const int32_t position = IndexPosition(indexes_, cursor_.ForcedIndex());
      if (position < 0) throw EABSException(native::kForcedIndexMissing, {std::to_string(cursor_.ForcedIndex())});
      plan_ = FormRange(position);
      return;
    }
    case TABSAccessPath::kAuto:
      break;
  }
  const TABSFieldDefs& fields = table_.Metadata().Fields();
  // An equality on a unique index, or on one led by an auto-increment field.
  for (const TABSScanCondition& c : conditions_.Items()) {
    if (!c.IsIndexCondition() || c.Kind() != Kind::kEqual) continue;
    const int32_t position = IndexPosition(indexes_, c.IndexId());
    const TABSIndexDef& definition = indexes_.Definition(position);
    const int32_t first_field = IndexAt(position).KeyLayout().Columns()[0].field_no;
    if (definition.Unique() || definition.Primary() || IsAutoIncColumn(fields.Items(first_field)->ColumnType())) {
      plan_ = FormRange(position);
      return;
    }
  }
  std::vector<int32_t> candidates;
  for (const TABSScanCondition& c : conditions_.Items()) {
    if (!c.IsIndexCondition()) continue;
    const int32_t position = IndexPosition(indexes_, c.IndexId());
    if (std::find(candidates.begin(), candidates.end(), position) == candidates.end()) candidates.push_back(position);
  }
  if (candidates.empty()) return;
  // One range on the cursor's own index (a derived bound and the bound that
  // shuts NULL out count as one).
  if (candidates.size() == 1 && candidates[0] == own_) {
    Plan own = FormRange(own_);
    if (std::none_of(own.residual.begin(), own.residual.end(),
                     [](const TABSScanCondition* c) { return c->IsIndexCondition(); })) {
      plan_ = std::move(own);
      return;
    }
  }
  const int64_t total = table_.RecordManager()->RecordCount();
  std::optional<Plan> best;
  int64_t best_estimate = 0;
  for (int32_t position : candidates) {
    Plan plan = FormRange(position);
    const int64_t estimate = IndexAt(position).EstimateCount(session_, plan.lower ? &plan.lower->search : nullptr,
                                                             plan.upper ? &plan.upper->search : nullptr, total);
    if (estimate < total && (!best || estimate < best_estimate)) {
      best = std::move(plan);
      best_estimate = estimate;
    }
  }
  if (best && IndexCheaper(*best, best_estimate, total)) plan_ = std::move(*best);
}

bool Search::Passes(const Conditions& conditions, const uint8_t* record) {
  for (const TABSScanCondition* c : conditions) {
    if (c->IsIndexCondition()) {
      if (!KindHolds(c->Kind(), IndexOf(c->IndexId()).CompareRecords(record, c->search.record, c->Columns()))) {
        return false;
      }
    } else if (!ExpressionPasses(*c, record)) {
      return false;
    }
  }
  return !cursor_.Callback() || cursor_.Callback()(record);
}

int Search::CompareInOwnOrder(const uint8_t* a, TABSRecordId a_id, const uint8_t* b, TABSRecordId b_id) {
  TABSBTreeRecordIndex& own = IndexAt(own_);
  const int order = own.CompareRecords(a, b, own.KeyLayout().ColumnCount());
  return order != 0 ? order : CompareRecordIds(a_id, b_id);
}

bool Search::Run(TABSRecordId& id, uint8_t* record) {
  if (none_) return false;
  if (request_.marking != nullptr) return Mark();
  bool found;
  if (own_ < 0) {
    found = plan_.index < 0 ? RunStorage(id, record) : RunNearest(id, record);
  } else {
    found = plan_.index < 0 || plan_.index == own_ ? RunOwnIndex(id, record) : RunNearest(id, record);
  }
  return found;
}

bool Search::RunStorage(TABSRecordId& id, uint8_t* record) {
  TABSBaseRecordManager& records = *table_.RecordManager();
  TABSNavigateRequest step;
  step.direction = request_.forward ? TABSNavigateDirection::kNext : TABSNavigateDirection::kPrior;
  step.record = buffer_.data();
  if (onward_) {
    step.record_id = cursor_.CurrentId();
  } else {
    (request_.forward ? step.go_to_first : step.go_to_last) = true;
  }
  for (;;) {
    records.Navigate(session_, step);
    if (step.status != TABSNavigateStatus::kFound) return false;
    if (Passes(plan_.residual, buffer_.data())) {
      id = step.record_id;
      std::copy(buffer_.begin(), buffer_.end(), record);
      return true;
    }
  }
}

bool Search::RunOwnIndex(TABSRecordId& id, uint8_t* record) {
  TABSBTreeRecordIndex& index = IndexAt(own_);
  const bool forward = request_.forward;
  const bool through_own = plan_.index == own_;
  const TABSScanCondition* lower = through_own ? plan_.lower : nullptr;
  const TABSScanCondition* upper = through_own ? plan_.upper : nullptr;
  Conditions residual = plan_.residual;
  std::unique_ptr<TABSIndexScanState> state;
  if (onward_) {
    const uint8_t* current = cursor_.Record().data();
    const TABSScanCondition*& start = forward ? lower : upper;
    const TABSScanCondition*& end = forward ? upper : lower;
    bool current_within = true;
    if (start != nullptr) {
      const int order = index.CompareRecords(current, start->search.record, start->Columns());
      if (start->Kind() == Kind::kEqual) {
        if (forward ? order > 0 : order < 0) return false;
        current_within = order == 0;
        if (current_within) {
          // The equality still ends the scan.
          if (end == nullptr) {
            end = start;
          } else {
            residual.push_back(start);
          }
        }
      } else {
        current_within = KindHolds(start->Kind(), order);
      }
    }
    // Every entry past a current record that satisfies the start bound
    // satisfies it too; past one that does not, the bound starts later.
    if (current_within) {
      start = nullptr;
      state = ResumeAfter(index, current, cursor_.CurrentId(), forward);
    }
  }
  const bool restart = state == nullptr;
  if (restart) state = index.NewScanState();
  TABSRecordId entry;
  for (bool first = true; index.ScanStep(session_, first && restart, state.get(), entry, buffer_.data(),
                                         lower ? &lower->search : nullptr, upper ? &upper->search : nullptr, forward);
       first = false) {
    if (Passes(residual, buffer_.data())) {
      id = entry;
      std::copy(buffer_.begin(), buffer_.end(), record);
      return true;
    }
  }
  return false;
}

// Through an index other than the cursor's order: every qualifying entry
// is visited and the nearest one past the current record in the cursor's
// order wins (storage order, or the cursor's index).
bool Search::RunNearest(TABSRecordId& id, uint8_t* record) {
  TABSBTreeRecordIndex& index = IndexAt(plan_.index);
  TABSBaseRecordManager& records = *table_.RecordManager();
  const bool forward = request_.forward;
  const bool storage = own_ < 0;
  // In identifier order the first entry past the current record is it.
  const bool id_order = IdOrdered();
  const auto order_to = [&](const uint8_t* a, TABSRecordId a_id, const uint8_t* b, TABSRecordId b_id) {
    return storage ? records.CompareRecordIds(a_id, b_id) : CompareInOwnOrder(a, a_id, b, b_id);
  };
  std::unique_ptr<TABSIndexScanState> state;
  bool restart = true;
  if (id_order && onward_) {
    // Past the current identifier within the equal key.
    state = ResumeAfter(index, plan_.lower->search.record, cursor_.CurrentId(), forward);
    restart = false;
  } else {
    state = index.NewScanState();
  }
  TABSRecordId entry;
  bool found = false;
  while (index.ScanStep(session_, restart, state.get(), entry, buffer_.data(),
                        plan_.lower ? &plan_.lower->search : nullptr, plan_.upper ? &plan_.upper->search : nullptr,
                        id_order ? forward : true)) {
    restart = false;
    if (onward_) {
      const int order = order_to(buffer_.data(), entry, cursor_.Record().data(), cursor_.CurrentId());
      if (forward ? order <= 0 : order >= 0) continue;
    }
    if (found) {
      const int order = order_to(buffer_.data(), entry, record, id);
      if (forward ? order >= 0 : order <= 0) continue;
    }
    if (!Passes(plan_.residual, buffer_.data())) continue;
    id = entry;
    std::copy(buffer_.begin(), buffer_.end(), record);
    found = true;
    if (id_order) return true;
  }
  return found;
}

bool Search::Mark() {
  TABSRecordBitmap& bitmap = *request_.marking;
  bool any = false;
  if (plan_.index >= 0) {
    TABSBTreeRecordIndex& index = IndexAt(plan_.index);
    std::unique_ptr<TABSIndexScanState> state = index.NewScanState();
    TABSRecordId entry;
    bool restart = true;
    // Records are read only when something remains to test on them.
    const bool read = !plan_.residual.empty() || cursor_.Callback();
    while (index.ScanStep(session_, restart, state.get(), entry, read ? buffer_.data() : nullptr,
                          plan_.lower ? &plan_.lower->search : nullptr,
                          plan_.upper ? &plan_.upper->search : nullptr, true)) {
      restart = false;
      if (!read || Passes(plan_.residual, buffer_.data())) {
        bitmap.Set(entry);
        any = true;
      }
    }
    return any;
  }
  TABSNavigateRequest step;
  step.go_to_first = true;
  step.record = buffer_.data();
  for (;;) {
    table_.RecordManager()->Navigate(session_, step);
    if (step.status != TABSNavigateStatus::kFound) return any;
    if (Passes(plan_.residual, buffer_.data())) {
      bitmap.Set(step.record_id);
      any = true;
    }
  }
}

std::string Search::ConditionText(const TABSScanCondition& c) {
  if (!c.IsIndexCondition()) {
    const TABSExprNode* root = c.expression->RootNode();
    if (root == nullptr) return "TRUE";
    if (c.taken_out.empty()) return ExpressionText(*root);
    std::string text;
    for (size_t i = 0; i < root->ChildCount(); ++i) {
      const TABSExprNode* child = root->Child(i);
      if (std::find(c.taken_out.begin(), c.taken_out.end(), child) != c.taken_out.end()) continue;
      text += (text.empty() ? "" : " AND ") + ExpressionText(*child);
    }
    return text.empty() ? "TRUE" : text;
  }
  TABSBTreeRecordIndex& index = IndexOf(c.IndexId());
  const TABSFieldDefs& fields = table_.Metadata().Fields();
  std::string names, values;
  for (int32_t i = 0; i < c.Columns(); ++i) {
    const int32_t field_no = index.KeyLayout().Columns()[static_cast<size_t>(i)].field_no;
    TABSVariant value;
    table_.FieldManager().GetFieldValue(field_no, value, c.search.record);
    names += (i > 0 ? ", " : "") + fields.Items(field_no)->Name();
    values += (i > 0 ? ", " : "") + (value.IsNull() ? std::string("NULL") : value.AsString());
  }
  if (c.Columns() > 1) {
    names = "(" + names + ")";
    values = "(" + values + ")";
  }
  return index.Definition().Name() + ": " + names + " " + KindText(c.Kind()) + " " + values;
}

std::string Search::Explain() {
  if (none_) return "access\tnone: no record can qualify\n";
  std::string text = "access\t";
  text += plan_.index < 0 ? (own_ < 0 ? std::string("storage order") : "index " + indexes_.Definition(own_).Name() +
                                                                        " (the cursor's order), testing every record")
                          : "index " + indexes_.Definition(plan_.index).Name();
  text += "\n";
  if (plan_.lower != nullptr) text += "from\t" + ConditionText(*plan_.lower) + "\n";
  if (plan_.upper != nullptr) text += "to\t" + ConditionText(*plan_.upper) + "\n";
  for (const TABSScanCondition* c : plan_.residual) {
    // An expression whose every comparison became an index condition.
    if (!c->IsIndexCondition() && !HasRemainder(*c)) continue;
    text += "test\t" + ConditionText(*c) + "\n";
  }
  if (cursor_.Callback()) text += "test\tthe filter callback\n";
  return text;
}

// Reads the cursor's record again; false when it is gone.
bool Reread(TABSTableData& table, TABSScanCursor& cursor, std::vector<uint8_t>& record) {
  record.resize(static_cast<size_t>(table.RecordFields().MemorySize()));
  return cursor.OnRecord() && table.RecordManager()->ReadRecord(cursor.SessionNumber(), cursor.CurrentId(), record.data());
}

bool FindLocked(TABSTableData& table, TABSScanCursor& cursor, const TABSFindRequest& request, TABSRecordId& id,
                uint8_t* record) {
  Search search(table, cursor, request);
  return search.Run(id, record);
}

// A search from the start; on success the cursor moves to the record found.
bool FindAndMove(TABSTableData& table, TABSScanCursor& cursor, const TABSFindRequest& request) {
  std::vector<uint8_t> record(static_cast<size_t>(table.RecordFields().MemorySize()));
  TABSRecordId id;
  if (!FindLocked(table, cursor, request, id, record.data())) return false;
  cursor.SetCurrent(id, record.data(), static_cast<int32_t>(record.size()));
  return true;
}

// With a distinct count, the first record of the key group of a found one.
void FirstOfGroup(TABSTableData& table, TABSScanCursor& cursor, TABSRecordId& id, std::vector<uint8_t>& record) {
  const int32_t own = OwnIndex(table, cursor);
  const int32_t columns = table.IndexManager().Index(own).KeyLayout().ColumnCount();
  const TABSScanCondition group = TABSScanCondition::ForIndex(
      Kind::kEqual, record, std::min(cursor.DistinctCount(), columns), cursor.IndexId());
  TABSFindRequest request;
  request.extra_condition = &group;
  std::vector<uint8_t> first(record.size());
  TABSRecordId first_id;
  if (FindLocked(table, cursor, request, first_id, first.data())) {
    id = first_id;
    record = std::move(first);
  }
}

bool BitmapCurrent(TABSTableData& table, TABSScanCursor& cursor) {
  return cursor.Bitmap().IsCurrent(StampOf(table));
}

void BuildBitmapLocked(TABSTableData& table, TABSScanCursor& cursor) {
  TABSRecordBitmap& bitmap = cursor.Bitmap();
  bitmap.Reset(table.RecordManager()->SlotsPerPage());
  TABSFindRequest request;
  request.marking = &bitmap;
  TABSRecordId id;
  // Marking reads every qualifying record; the cursor's own position plays
  // no part.
  std::vector<uint8_t> record(static_cast<size_t>(table.RecordFields().MemorySize()));
  FindLocked(table, cursor, request, id, record.data());
  const int32_t own = OwnIndex(table, cursor);
  if (cursor.DistinctCount() > 0 && own >= 0) {
    TABSBTreeRecordIndex& index = table.IndexManager().Index(own);
    index.KeepFirstOfEqualKeys(cursor.SessionNumber(), bitmap,
                               std::min(cursor.DistinctCount(), index.KeyLayout().ColumnCount()));
  }
  bitmap.MarkBuilt(StampOf(table));
}

// One step of a restricted cursor whose bitmap is built: the next record in
// its order whose bit is set (one per key group under a distinct count).
bool StepThroughBitmap(TABSTableData& table, TABSScanCursor& cursor, int32_t own, bool forward, TABSRecordId& id,
                       uint8_t* record) {
  TABSRecordBitmap& bitmap = cursor.Bitmap();
  TABSBaseRecordManager& records = *table.RecordManager();
  const int32_t session = cursor.SessionNumber();
  if (own < 0) {
    for (TABSRecordId from = cursor.CurrentId(); bitmap.Step(from, forward, id); from = id) {
      if (records.ReadRecord(session, id, record)) return true;
    }
    return false;
  }
  TABSBTreeRecordIndex& index = table.IndexManager().Index(own);
  std::unique_ptr<TABSIndexScanState> state = ResumeAfter(index, cursor.Record().data(), cursor.CurrentId(), forward);
  while (index.ScanStep(session, false, state.get(), id, nullptr, nullptr, nullptr, forward)) {
    if (bitmap.IsSet(id) && records.ReadRecord(session, id, record)) return true;
  }
  return false;
}

int64_t CountLocked(TABSTableData& table, TABSScanCursor& cursor) {
  if (!cursor.IsRestricted()) return table.RecordManager()->RecordCount();
  if (!BitmapCurrent(table, cursor)) BuildBitmapLocked(table, cursor);
  return cursor.Bitmap().Count();
}

bool RangePasses(TABSTableData& table, TABSScanCursor& cursor, const uint8_t* record) {
  const int32_t own = OwnIndex(table, cursor);
  if (own < 0) return true;
  TABSBTreeRecordIndex& index = table.IndexManager().Index(own);
  const int32_t columns = index.KeyLayout().ColumnCount();
  const auto count = [&](const TABSRangeBound& b) { return b.columns == 0 || b.columns > columns ? columns : b.columns; };
  const TABSRangeBound& start = cursor.RangeStart();
  if (start.present) {
    const int order = index.CompareRecords(record, start.record.data(), count(start));
    if (start.exclusive ? order <= 0 : order < 0) return false;
  }
  const TABSRangeBound& end = cursor.RangeEnd();
  if (end.present) {
    const int order = index.CompareRecords(record, end.record.data(), count(end));
    if (end.exclusive ? order >= 0 : order > 0) return false;
  }
  return true;
}

}  // namespace

bool TABSTableScans::PassesRange(TABSScanCursor& cursor, const uint8_t* record) {
  const Operation operation(cursor, native::kTableLockedFilter);
  return RangePasses(operation.Table(), cursor, record);
}

bool TABSTableScans::PassesFilter(TABSScanCursor& cursor, const uint8_t* record) {
  const Operation operation(cursor, native::kTableLockedFilter);
  if (!RangePasses(operation.Table(), cursor, record)) return false;
  for (TABSExpression* expression : {cursor.Filter(), cursor.SecondExpression()}) {
    if (expression == nullptr || expression->IsEmpty()) continue;
    const TABSScanCondition condition = TABSScanCondition::ForExpression(*expression);
    const bool passes = ExpressionPasses(condition, record);
    if (const uint8_t* current = cursor.CurrentRecord()) expression->BindToRecord(current);
    if (!passes) return false;
  }
  return !cursor.Callback() || cursor.Callback()(record);
}

bool TABSTableScans::FindRecord(TABSScanCursor& cursor, const TABSFindRequest& request, TABSRecordId& id,
                                uint8_t* record) {
  const Operation operation(cursor, native::kTableLockedFetch);
  return FindLocked(operation.Table(), cursor, request, id, record);
}

TABSGetRecordResult TABSTableScans::GetRecord(TABSScanCursor& cursor, TABSGetRecordMode mode) {
  const Operation operation(cursor, native::kTableLockedFetch);
  TABSTableData& table = operation.Table();
  const int32_t session = cursor.SessionNumber();
  bool forward = mode == TABSGetRecordMode::kFirst || mode == TABSGetRecordMode::kNext;
  bool from_start = mode == TABSGetRecordMode::kFirst || mode == TABSGetRecordMode::kLast;
  if (mode == TABSGetRecordMode::kCurrent) {
    std::vector<uint8_t> record;
    if (!Reread(table, cursor, record)) return TABSGetRecordResult::kNotFound;
    cursor.SetCurrent(cursor.CurrentId(), record.data(), static_cast<int32_t>(record.size()));
    return TABSGetRecordResult::kFound;
  }
  // Stepping off either end, and stepping from an end toward the records.
  if (!from_start && !cursor.OnRecord()) {
    if (forward == cursor.AfterLast()) return forward ? TABSGetRecordResult::kEndOfIndex
                                                      : TABSGetRecordResult::kBeginningOfIndex;
    from_start = true;
  }
  std::vector<uint8_t> record(static_cast<size_t>(table.RecordFields().MemorySize()));
  TABSRecordId id;
  bool found = false;
  bool searched = false;
  const int32_t own = OwnIndex(table, cursor);
  if (!cursor.IsRestricted() && cursor.ForcedPath() == TABSAccessPath::kAuto && own >= 0) {
    // The position cache makes a step of an unrestricted cursor one move.
    TABSIndexPositionCache& cache = cursor.PositionCache();
    if (cursor.PositionCacheStamp() != StampOf(table)) cache.Clear();
    cursor.PositionCacheStamp() = StampOf(table);
    TABSIndexRecordRequest request;
    request.mode = from_start ? (forward ? TABSGetRecordMode::kFirst : TABSGetRecordMode::kLast)
                              : (forward ? TABSGetRecordMode::kNext : TABSGetRecordMode::kPrior);
    request.current_id = cursor.CurrentId();
    request.current_record = cursor.CurrentRecord();
    request.destination = record.data();
    table.IndexManager().Index(own).GetRecord(session, request, &cache);
    searched = request.result != TABSGetRecordResult::kNotFound;
    found = request.result == TABSGetRecordResult::kFound;
    id = request.found_id;
  }
  if (!searched && cursor.IsRestricted() && !from_start) {
    bool through_bitmap = BitmapCurrent(table, cursor);
    if (!through_bitmap) {
      TABSFindRequest request;
      request.forward = forward;
      request.from_start = false;
      {
        Search search(table, cursor, request);
        through_bitmap = search.VisitsWholeRangePerStep();
        if (!through_bitmap) {
          found = search.Run(id, record.data());
          searched = true;
        }
      }
      if (through_bitmap) BuildBitmapLocked(table, cursor);
    }
    if (through_bitmap) {
      found = StepThroughBitmap(table, cursor, own, forward, id, record.data());
    } else if (found && !forward && cursor.DistinctCount() > 0) {
      // Under a distinct count a group shows its first record.
      FirstOfGroup(table, cursor, id, record);
    }
    searched = true;
  }
  if (!searched) {
    TABSFindRequest request;
    request.forward = forward;
    request.from_start = from_start;
    found = FindLocked(table, cursor, request, id, record.data());
    if (found && !forward && cursor.DistinctCount() > 0) FirstOfGroup(table, cursor, id, record);
  }
  if (!found) {
    forward ? cursor.SetAfterLast() : cursor.SetBeforeFirst();
    return forward ? TABSGetRecordResult::kEndOfIndex : TABSGetRecordResult::kBeginningOfIndex;
  }
  cursor.SetCurrent(id, record.data(), static_cast<int32_t>(record.size()));
  return TABSGetRecordResult::kFound;
}

void TABSTableScans::BuildFilterBitmap(TABSScanCursor& cursor) {
  const Operation operation(cursor, native::kTableLockedFilter);
  BuildBitmapLocked(operation.Table(), cursor);
}

int64_t TABSTableScans::RecordCount(TABSScanCursor& cursor) {
  const Operation operation(cursor, native::kTableLockedCount);
  return CountLocked(operation.Table(), cursor);
}

int64_t TABSTableScans::RecordNumber(TABSScanCursor& cursor) {
  const Operation operation(cursor, native::kTableLockedRecordNumber);
  TABSTableData& table = operation.Table();
  const int32_t session = cursor.SessionNumber();
  if (!cursor.OnRecord() || table.RecordManager()->RecordCount() == 0) return -1;
  std::vector<uint8_t> record;
  if (!Reread(table, cursor, record)) return -1;
  const bool restricted = cursor.IsRestricted();
  if (restricted && !BitmapCurrent(table, cursor)) BuildBitmapLocked(table, cursor);
  TABSRecordBitmap* bitmap = restricted ? &cursor.Bitmap() : nullptr;
  const int32_t own = OwnIndex(table, cursor);
  if (own >= 0) return table.IndexManager().Index(own).RecordNumber(session, cursor.CurrentId(), bitmap, record.data());
  if (bitmap != nullptr) return bitmap->Rank(cursor.CurrentId());
  return table.RecordManager()->StoragePosition(session, cursor.CurrentId());
}

void TABSTableScans::GoToRecordNumber(TABSScanCursor& cursor, int64_t number) {
  const Operation operation(cursor, native::kTableLockedRecordNumber);
  TABSTableData& table = operation.Table();
  const int32_t session = cursor.SessionNumber();
  const int64_t count = CountLocked(table, cursor);
  if (count == 0) {
    cursor.SetBeforeFirst();
    return;
  }
  number = std::clamp<int64_t>(number, 1, count);
  TABSRecordBitmap* bitmap = cursor.IsRestricted() ? &cursor.Bitmap() : nullptr;
  TABSRecordId id;
  const int32_t own = OwnIndex(table, cursor);
  bool found = true;
  if (own >= 0) {
    table.IndexManager().Index(own).GoToRecordNumber(session, bitmap, id, number);
  } else if (bitmap != nullptr) {
    found = bitmap->Nth(number, id);
  } else {
    found = table.RecordManager()->RecordAtPosition(session, number, id);
  }
  std::vector<uint8_t> record(static_cast<size_t>(table.RecordFields().MemorySize()));
  if (!found || !table.RecordManager()->ReadRecord(session, id, record.data())) {
    throw EABSException(native::kErrorRetrievingRecord10019);
  }
  cursor.SetCurrent(id, record.data(), static_cast<int32_t>(record.size()));
}

bool TABSTableScans::FindByExpression(TABSScanCursor& cursor, TABSExpression& expression) {
  const Operation operation(cursor, native::kTableLockedFetch);
  TABSTableData& table = operation.Table();
  TABSFindRequest request;
  request.extra_expression = &expression;
  return FindAndMove(table, cursor, request);
}

bool TABSTableScans::FindByCondition(TABSScanCursor& cursor, TABSScanConditionKind kind) {
  const Operation operation(cursor, native::kTableLockedFetch);
  TABSTableData& table = operation.Table();
  const int32_t own = OwnIndex(table, cursor);
  if (own < 0) throw EABSException(native::kRangeWithoutIndex);
  const int32_t columns = table.IndexManager().Index(own).KeyLayout().ColumnCount();
  const int32_t count = cursor.SearchColumns() <= 0 || cursor.SearchColumns() > columns ? columns : cursor.SearchColumns();
  const TABSScanCondition condition = TABSScanCondition::ForIndex(kind, cursor.SearchRecord(), count, cursor.IndexId());
  TABSFindRequest request;
  request.extra_condition = &condition;
  return FindAndMove(table, cursor, request);
}

std::string TABSTableScans::Explain(TABSScanCursor& cursor) {
  const Operation operation(cursor, native::kTableLockedFetch);
  TABSFindRequest request;
  Search search(operation.Table(), cursor, request);
  return search.Explain();
}

}  // namespace kelvorin
