#include "db/query/dml/sql_insert.h"

#include <utility>

#include "db/query/dml/dml_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/meta_object_def.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

TABSSQLInsert::~TABSSQLInsert() = default;

void TABSSQLInsert::Parse() {
  NextToken();
  if (AtEnd()) FailAt(native::kInsertIntoMissing, Token());
  ExpectReserved(rwINTO, native::kInsertIntoExpected);
  target_ = ParseTargetName(*this, {native::kInsertTableExpected, native::kInsertMemoryTableExpected,
                                    native::kInsertPasswordExpected});
  if (Is(tktLeftParenthesis)) ParseColumnList();
  if (IsReserved(rwVALUES)) {
    ParseValues();
  } else if (IsReserved(rwSELECT)) {
    source_select_ = std::make_unique<TABSSQLUnion>(Lexer(), Context());
    source_select_->Parse();
    if (!source_select_->YieldsRows()) FailFound(native::kCommandNotEnded);
    return;
  } else if (IsReserved(rwDEFAULT)) {
    NextToken();
    ExpectReserved(rwVALUES, native::kInsertDefaultValuesExpected);
  } else if (!column_names_.empty() && AtEnd()) {
    // A column list names what values follow.
    FailAt(native::kInsertColumnsUnexpectedEnd, Token());
  }
  ExpectEnd();
}

void TABSSQLInsert::ParseColumnList() {
  NextToken();
  for (;;) {
    if (AtEnd()) FailAt(native::kInsertValuesUnexpectedEnd, Token());
    RequireIn(kNameOrKeywordKinds, native::kInsertColumnExpected);
    column_names_.emplace_back(Token().text);
    NextToken();
    if (Is(tktRightParenthesis)) break;
    if (!Is(tktComma)) FailFound(native::kInsertColumnSeparator);
    NextToken();
  }
  NextToken();
  CheckDistinctColumns(column_names_);
}

void TABSSQLInsert::ParseValues() {
  NextToken();
  if (!Is(tktLeftParenthesis)) FailFound(native::kInsertValuesOpenExpected);
  NextToken();
  for (;;) {
    if (AtEnd()) FailAt(native::kInsertValuesUnexpectedEnd, Token());
    auto value = std::make_unique<TABSExpression>();
    value->SetInMemoryTables(Context().in_memory);
    value->SetAutoIncProvider(Context().auto_inc);
    value->ParseValue(target_.database_name, Lexer());
    if (value->IsEmpty()) FailFound(native::kInsertValueExpected);
    values_.push_back(std::move(value));
    if (Is(tktRightParenthesis)) break;
    if (AtEnd()) FailAt(native::kInsertValuesUnexpectedEnd, Token());
    if (!Is(tktComma)) FailFound(native::kInsertValueSeparator);
    NextToken();
  }
  NextToken();
  if (!column_names_.empty() && column_names_.size() != values_.size()) {
    throw EABSException(native::kInsertCountsDiffer,
                        {static_cast<int64_t>(column_names_.size()), static_cast<int64_t>(values_.size())});
  }
}

void TABSSQLInsert::Execute(bool, bool* read_only, bool) {
  rows_affected_ = 0;
  if (read_only != nullptr) *read_only = true;
  std::unique_ptr<TABSLocalCursor> cursor = OpenTarget(Context(), target_);
  if (source_select_ != nullptr) {
    InsertSelection(*cursor);
  } else {
    InsertValues(*cursor);
  }
}

void TABSSQLInsert::InsertValues(TABSLocalCursor& cursor) {
  const TABSFieldDefs& fields = cursor.FieldDefs();
  std::vector<int32_t> numbers;
  if (!column_names_.empty()) {
    numbers = ResolveColumns(cursor, column_names_);
  } else {
    if (static_cast<int32_t>(values_.size()) > fields.Count()) {
      throw EABSException(native::kInsertTooManyValues,
                          {cursor.TableName(), fields.Count(), static_cast<int64_t>(values_.size())});
    }
    for (int32_t i = 0; i < static_cast<int32_t>(values_.size()); ++i) numbers.push_back(i);
  }
  std::vector<TABSVariant> values;
  values.reserve(values_.size());
  for (size_t i = 0; i < values_.size(); ++i) {
    const TABSVariant* value = values_[i]->GetValue(true);
    if (value == nullptr) {
      const TABSFieldDef& field = *fields.Items(numbers[i]);
      throw EABSException(native::kInsertValueUndefined, {field.Name(), ColumnTypeName(field.ColumnType())});
    }
    values.push_back(*value);
  }
  TABSSQLRecordBuffer record(cursor);
  cursor.InitRecordBuffer(record.data(), true);
  for (size_t i = 0; i < values.size(); ++i) AssignField(cursor, record.data(), numbers[i], values[i]);
  // One post is whole or nothing by itself, in a transaction or not.
  PostRecord(cursor, record.data(), true);
  rows_affected_ = 1;
}

void TABSSQLInsert::InsertSelection(TABSLocalCursor& cursor) {
  bool read_only = true;
  // The selection is a table of its own (the result is always written
  // out), so a statement reading the table it fills sees it as it was.
  source_select_->Execute(true, &read_only, false);
  std::unique_ptr<TABSLocalCursor> rows = source_select_->TakeResultCursor();
  if (rows == nullptr) throw EABSException(native::kNilPointer10009);
  const TABSFieldDefs& source_fields = rows->FieldDefs();
  std::vector<std::pair<int32_t, int32_t>> mapping;
  if (!column_names_.empty()) {
    const std::vector<int32_t> numbers = ResolveColumns(cursor, column_names_);
    if (static_cast<int32_t>(numbers.size()) != source_fields.Count()) {
      throw EABSException(native::kInsertSelectCountsDiffer,
                          {static_cast<int64_t>(numbers.size()), source_fields.Count()});
    }
    for (int32_t i = 0; i < source_fields.Count(); ++i) mapping.emplace_back(i, numbers[static_cast<size_t>(i)]);
  } else {
    std::vector<std::string> names;
    for (int32_t i = 0; i < source_fields.Count(); ++i) {
      const std::string& name = source_fields.Items(i)->Name();
      const int32_t target = cursor.FieldDefs().IndexOfName(name);
      if (target < 0) throw EABSException(native::kInsertSelectFieldMissing, {name, cursor.TableName()});
      names.push_back(name);
      mapping.emplace_back(i, target);
    }
    CheckDistinctColumns(names);
  }
  TABSSQLWriteUnit unit(cursor, Context(), native::kInsertTableLocked);
  TABSSQLRecordBuffer source(*rows);
  TABSSQLRecordBuffer record(cursor);
  TABSVariant value;
  int64_t count = 0;
  rows->First();
  while (rows->GetRecord(source.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
    CheckCancelled(Context());
    cursor.InitRecordBuffer(record.data(), true);
    for (const auto& [from, to] : mapping) {
      ReadField(*rows, source.data(), from, value);
      AssignField(cursor, record.data(), to, value);
    }
    PostRecord(cursor, record.data(), true);
    ++count;
  }
  unit.Commit();
  rows_affected_ = count;
}

}  // namespace kelvorin
