#include "db/query/dml/sql_update.h"

#include "db/query/dml/dml_errors.h"
#include "db/query/dml/sql_rows.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

// --- UPDATE ---

TABSSQLUpdate::~TABSSQLUpdate() = default;

void TABSSQLUpdate::Parse() {
  if (AtEnd()) throw EABSException(native::kUpdateBlank);
  NextToken();
  target_ = ParseTargetName(*this, {native::kUpdateTableExpected, native::kUpdateMemoryTableExpected,
                                    native::kUpdatePasswordExpected});
  ExpectReserved(rwSET, native::kUpdateSetExpected);
  for (;;) {
    if (AtEnd()) FailAt(native::kUpdateUnexpectedEnd, Token());
    RequireIn(kNameOrKeywordKinds, native::kUpdateColumnExpected);
    column_names_.emplace_back(Token().text);
    NextToken();
    if (!IsSymbol("=")) FailExpected(native::kUpdateEqualsExpected, "=");
    NextToken();
    if (AtEnd()) FailAt(native::kUpdateUnexpectedEnd, Token());
    auto value = std::make_unique<TABSExpression>();
    value->SetInMemoryTables(Context().in_memory);
    value->SetAutoIncProvider(Context().auto_inc);
    value->ParseValue(target_.database_name, Lexer());
    if (value->IsEmpty()) FailFound(native::kUpdateValueExpected);
    values_.push_back(std::move(value));
    if (!Is(tktComma)) break;
    NextToken();
  }
  if (!AtEnd() && !IsReserved(rwWHERE) && !IsReserved(rwORDER)) FailExpected(native::kUpdateCommaExpected, ",");
  CheckDistinctColumns(column_names_);
  condition_ = ParseRowsTail(*this, Context());
}

void TABSSQLUpdate::Execute(bool, bool* read_only, bool) {
  rows_affected_ = 0;
  if (read_only != nullptr) *read_only = true;
  std::unique_ptr<TABSLocalCursor> cursor = OpenTarget(Context(), target_);
  const std::vector<int32_t> numbers = ResolveColumns(*cursor, column_names_);
  for (const auto& value : values_) value->BindToCursor(cursor.get());
  TABSSQLWriteUnit unit(*cursor, Context(), native::kRowsTableLocked);
  const std::vector<TABSRecordId> ids = CollectRecordIds(*cursor, condition_.get(), Context());
  TABSSQLRecordBuffer record(*cursor);
  std::vector<TABSVariant> values(values_.size());
  int64_t count = 0;
  for (const TABSRecordId& id : ids) {
    if ((count & 1023) == 0) CheckCancelled(Context());
    // Under the statement's lock no other process removes it.
    if (!cursor->GoToRecord(id, record.data())) continue;
    for (size_t i = 0; i < values_.size(); ++i) {
      // Every value reads the row as it was read, before any assignment.
      values_[i]->BindToRecord(record.data());
      const TABSVariant* value = values_[i]->GetValue(true);
      if (value == nullptr) {
        const TABSFieldDef& field = *cursor->FieldDefs().Items(numbers[i]);
        throw EABSException(native::kUpdateValueUndefined, {field.Name(), ColumnTypeName(field.ColumnType())});
      }
      values[i] = *value;
    }
    if (!cursor->BeginEdit(record.data())) RaiseRefusal(*cursor);
    for (size_t i = 0; i < values.size(); ++i) AssignField(*cursor, record.data(), numbers[i], values[i]);
    PostRecord(*cursor, record.data(), false);
    ++count;
  }
  unit.Commit();
  rows_affected_ = count;
}

// --- DELETE ---

TABSSQLDelete::~TABSSQLDelete() = default;

void TABSSQLDelete::Parse() {
  if (AtEnd()) throw EABSException(native::kUpdateBlank);
  NextToken();
  if (!IsReserved(rwFROM)) FailExpected(native::kDeleteFromExpected, "FROM");
  NextToken();
  target_ = ParseTargetName(*this, {native::kDeleteTableExpected, native::kDeleteTableExpected,
                                    native::kUpdatePasswordExpected});
  condition_ = ParseRowsTail(*this, Context());
}

void TABSSQLDelete::Execute(bool, bool* read_only, bool) {
  rows_affected_ = 0;
  if (read_only != nullptr) *read_only = true;
  std::unique_ptr<TABSLocalCursor> cursor = OpenTarget(Context(), target_);
  TABSSQLWriteUnit unit(*cursor, Context(), native::kRowsTableLocked);
  const std::vector<TABSRecordId> ids = CollectRecordIds(*cursor, condition_.get(), Context());
  TABSSQLRecordBuffer record(*cursor);
  int64_t count = 0;
  for (const TABSRecordId& id : ids) {
    if ((count & 1023) == 0) CheckCancelled(Context());
    if (!cursor->GoToRecord(id, record.data())) continue;
    DeleteRecord(*cursor, record.data());
    ++count;
  }
  unit.Commit();
  rows_affected_ = count;
}

}  // namespace kelvorin
