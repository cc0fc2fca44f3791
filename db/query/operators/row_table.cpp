#include "db/query/operators/row_table.h"

#include <atomic>
#include <cstring>

#include "db/storage/temporary/temporary_indexes.h"
#include "db/query/operators/operator_errors.h"
#include "db/tables/metadata/table_metadata.h"

namespace kelvorin {

TABSColumnType PlainColumnType(TABSColumnType type) {
  using C = TABSColumnType;
  switch (type) {
    case C::AutoInc:
    case C::AutoIncInteger:
      return C::Integer;
    case C::AutoIncShortInt:
      return C::ShortInt;
    case C::AutoIncSmallInt:
      return C::SmallInt;
    case C::AutoIncLargeInt:
      return C::LargeInt;
    case C::AutoIncByte:
      return C::Byte;
    case C::AutoIncWord:
      return C::Word;
    case C::AutoIncCardinal:
      return C::Cardinal;
    default:
      return type;
  }
}

// ---------------------------------------------------------------- reader

void TABSRowReader::First() {
  cursor_->First();
  Next();
}

void TABSRowReader::Next() {
  eof_ = cursor_->GetRecord(nullptr, TABSGetRecordMode::kNext) != TABSGetRecordResult::kFound;
}

void RecordFieldValue(TABSTableData& table, int32_t field_no, const uint8_t* record, TABSVariant* value) {
  const TABSRecordFields& fields = table.RecordFields();
  if (field_no < 0 || field_no >= fields.FieldCount() || IsBlobStorage(fields.Field(field_no).storage_type)) {
    table.FieldManager().GetFieldValue(field_no, *value, record);
    return;
  }
  const TABSFieldSlot& field = fields.Field(field_no);
  if (TABSRecordFields::IsNull(record, field_no)) {
    value->Clear(field.storage_type);
    value->SetNull();
    return;
  }
  const uint8_t* slot = fields.Slot(record, field_no);
  if (!IsStringStorage(field.storage_type)) {
    value->SetRaw(slot, field.memory_size, field.storage_type, false);
    return;
  }
  // A terminated text is pointed at; one that fills its slot is copied
  // with a terminator.
  size_t size = 0;
  if (IsWideStringStorage(field.storage_type)) {
    const size_t units = static_cast<size_t>(field.memory_size) / 2;
    size_t n = 0;
    while (n < units && (slot[2 * n] != 0 || slot[2 * n + 1] != 0)) ++n;
    if (n < units) size = 2 * (n + 1);
  } else {
    const void* end = std::memchr(slot, 0, static_cast<size_t>(field.memory_size));
    if (end != nullptr) size = static_cast<size_t>(static_cast<const uint8_t*>(end) - slot) + 1;
  }
  if (size == 0) {
    table.FieldManager().GetFieldValue(field_no, *value, record);
    return;
  }
  value->SetRaw(slot, static_cast<int32_t>(size), field.storage_type, false);
}

void TABSRowReader::Value(int32_t field_no, TABSVariant* value) const {
  if (eof_) {
    value->Clear();
    value->SetNull();
    return;
  }
  RecordFieldValue(cursor_->OpenTable(), field_no, visited_ != nullptr ? visited_ : cursor_->Record().data(), value);
}

TABSRowReader::Mark TABSRowReader::Position() const {
  Mark mark;
  mark.eof = eof_;
  if (!eof_) {
    mark.id = cursor_->CurrentId();
    mark.record = cursor_->Record();
  }
  return mark;
}

void TABSRowReader::Restore(const Mark& mark) {
  eof_ = mark.eof;
  if (eof_) {
    cursor_->SetAfterLast();
    return;
  }
  cursor_->SetCurrent(mark.id, mark.record.data(), static_cast<int32_t>(mark.record.size()));
}

// ---------------------------------------------------------------- table

std::string NextTemporaryTableName(TABSLocalSession& temp_session) {
  static std::atomic<uint64_t> counter{0};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string name = "TEMPORARY_TABLE_" + std::to_string(++counter);
    if (!temp_session.TableExists(name)) return name;
  }
  throw EABSException(native::kTemporaryNameExhausted);
}

TABSRowTable::TABSRowTable(TABSLocalSession& temp_session, const std::vector<TABSRowColumn>& columns)
    : columns_(columns), name_(NextTemporaryTableName(temp_session)) {
  std::vector<TABSDatasetFieldDef> fields;
  fields.reserve(columns.size());
  for (const TABSRowColumn& column : columns) {
    TABSDatasetFieldDef field;
    field.name = column.name;
    field.type = PlainColumnType(column.type);
    field.size = column.size;
    fields.push_back(std::move(field));
  }
  TABSTableMetadata metadata;
  metadata.DefineFields(fields);
  TABSCursorOptions options;
  options.create_missing = true;
  cursor_ = std::make_unique<TABSLocalCursor>(temp_session, name_, options);
  cursor_->SetTableDefinitions(metadata.Fields(), metadata.Indexes(), metadata.Constraints());
  cursor_->Open();
  buffer_ = cursor_->NewRecordBuffer();
  reader_ = TABSRowReader(*cursor_);
}

TABSRowTable::~TABSRowTable() = default;

void TABSRowTable::BeginRow() { cursor_->InitRecordBuffer(buffer_.data(), false); }

void TABSRowTable::SetValue(int32_t column, const TABSVariant& value) {
  cursor_->OpenTable().FieldManager().SetFieldValue(column, value, buffer_.data());
}

void TABSRowTable::AppendRow() {
  if (!cursor_->Post(buffer_.data(), true)) {
    throw EABSException(cursor_->Status(), cursor_->StatusMessage());
  }
}

void TABSRowTable::AppendRecord(const uint8_t* record) {
  std::memcpy(buffer_.data(), record, static_cast<size_t>(RecordSize()));
  AppendRow();
}

int64_t TABSRowTable::RowCount() { return cursor_->OpenTable().RecordCount(); }

void TABSRowTable::SortBy(const std::vector<int32_t>& columns, const std::vector<bool>& descending,
                          const std::vector<bool>& no_case) {
  if (columns.empty()) {
    cursor_->SwitchIndex("");
    index_name_.clear();
    return;
  }
  std::vector<std::string> names;
  std::vector<std::string> directions;
  std::vector<std::string> cases;
  for (size_t i = 0; i < columns.size(); ++i) {
    names.push_back(columns_[static_cast<size_t>(columns[i])].name);
    directions.push_back(i < descending.size() && descending[i] ? "DESC" : "ASC");
    cases.push_back(i < no_case.size() && no_case[i] ? "NO_CASE" : "CASE");
  }
  TABSIndexDef* index =
      IndexForOrdering(cursor_->OpenTable(), cursor_->SessionNumber(), names, directions, cases);
  cursor_->SwitchIndex(index->Name());
  index_name_ = index->Name();
}

}  // namespace kelvorin
