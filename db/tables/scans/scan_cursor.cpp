#include "db/tables/scans/scan_cursor.h"

#include "db/query/parser/expression.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/records/table_data.h"
#include "db/tables/scans/scan_errors.h"

namespace kelvorin {

namespace {

void SetBound(TABSRangeBound& bound, const uint8_t* record, int32_t columns, bool exclusive, int32_t size) {
  bound = TABSRangeBound();
  if (record == nullptr) return;
  bound.present = true;
  bound.record.assign(record, record + size);
  bound.columns = columns;
  bound.exclusive = exclusive;
}

}  // namespace

void TABSScanCursor::SetIndexId(int32_t index_object_id) {
  if (index_object_id == index_id_) return;
  index_id_ = index_object_id;
  range_start_ = TABSRangeBound();
  range_end_ = TABSRangeBound();
  position_cache_.Clear();
  SetBeforeFirst();
  RestrictionsChanged();
}

void TABSScanCursor::SetBeforeFirst() {
  before_first_ = true;
  after_last_ = false;
  current_id_ = TABSRecordId();
}

void TABSScanCursor::SetAfterLast() {
  before_first_ = false;
  after_last_ = true;
  current_id_ = TABSRecordId();
}

void TABSScanCursor::SetCurrent(TABSRecordId id, const uint8_t* record, int32_t size) {
  before_first_ = false;
  after_last_ = false;
  current_id_ = id;
  record_.assign(record, record + size);
}

void TABSScanCursor::SetRange(const uint8_t* start, int32_t start_columns, bool start_exclusive, const uint8_t* end,
                              int32_t end_columns, bool end_exclusive, int32_t record_size) {
  if (index_id_ < 0) throw EABSException(native::kRangeWithoutIndex);
  if (start != nullptr && start_columns < 0) throw EABSException(native::kRangeColumnCount, {start_columns});
  if (end != nullptr && end_columns < 0) throw EABSException(native::kRangeColumnCount, {end_columns});
  SetBound(range_start_, start, start_columns, start_exclusive, record_size);
  SetBound(range_end_, end, end_columns, end_exclusive, record_size);
  RestrictionsChanged();
}

void TABSScanCursor::ClearRange() {
  range_start_ = TABSRangeBound();
  range_end_ = TABSRangeBound();
  RestrictionsChanged();
}

void TABSScanCursor::SetFilter(TABSExpression* filter) {
  filter_ = filter;
  RestrictionsChanged();
}

void TABSScanCursor::SetSecondExpression(TABSExpression* expression) {
  second_expression_ = expression;
  RestrictionsChanged();
}

void TABSScanCursor::SetCallback(RecordFilter callback) {
  callback_ = std::move(callback);
  RestrictionsChanged();
}

void TABSScanCursor::SetDistinctCount(int32_t columns) {
  distinct_count_ = columns < 0 ? 0 : columns;
  RestrictionsChanged();
}

void TABSScanCursor::SetSearchRecord(const uint8_t* record, int32_t columns, int32_t record_size) {
  search_record_.assign(record, record + record_size);
  search_columns_ = columns;
}

bool TABSScanCursor::IsRestricted() const {
  const auto has_tree = [](const TABSExpression* e) { return e != nullptr && !e->IsEmpty(); };
  return range_start_.present || range_end_.present || has_tree(filter_) || has_tree(second_expression_) ||
         static_cast<bool>(callback_) || DistinctCount() > 0;
}

const TABSFieldDefs& TABSScanCursor::FieldDefs() const { return Table()->Metadata().Fields(); }

}  // namespace kelvorin
