#include "db/query/operators/row_table.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "db/query/operators/operator_errors.h"
#include "db/storage/blobs/blob_manager.h"
#include "db/storage/streams/memory_stream.h"
#include "db/storage/temporary/temporary_indexes.h"
#include "db/tables/records/field_access.h"

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

// ---------------------------------------------------------------- decoder

TABSRecordDecoder::TABSRecordDecoder(const TABSRecordFields& fields, TABSTableData* table, int32_t session)
    : fields_(&fields), table_(table), session_(session) {
  const bool blobs = table != nullptr && table->BlobManager() != nullptr;
  for (int32_t i = 0; i < fields.FieldCount(); ++i) {
    const TABSFieldSlot& field = fields.Field(i);
    Kind kind = Kind::kFixed;
    if (IsBlobStorage(field.storage_type)) {
      kind = blobs ? Kind::kBlob : Kind::kOther;
    } else if (IsWideStringStorage(field.storage_type)) {
      kind = Kind::kWide;
    } else if (IsStringStorage(field.storage_type)) {
      kind = Kind::kAnsi;
    }
    slots_.push_back({field.memory_offset, field.memory_size, field.storage_type, kind});
  }
}

void TABSRecordDecoder::Value(const uint8_t* record, int32_t field_no, TABSVariant* value) const {
  if (field_no < 0 || field_no >= static_cast<int32_t>(slots_.size()) ||
      slots_[static_cast<size_t>(field_no)].kind == Kind::kOther) {
    if (table_ != nullptr) {
      table_->FieldManager().GetFieldValue(field_no, *value, record);
    } else {
      GetFieldValue(*fields_, field_no, *value, record);
    }
    return;
  }
  const Slot& slot = slots_[static_cast<size_t>(field_no)];
  if (TABSRecordFields::IsNull(record, field_no)) {
    value->Clear(slot.type);
    value->SetNull();
    return;
  }
  if (slot.kind == Kind::kBlob) {
    // Reading leaves the record as it is (no value is kept for it).
    TABSMemoryStream contents;
    table_->BlobManager()->ReadValue(session_, const_cast<uint8_t*>(record), field_no, contents);
    value->Clear(slot.type);
    if (contents.Size() == 0) {
      value->SetNull();
    } else {
      value->SetRaw(contents.Memory(), static_cast<int32_t>(contents.Size()), slot.type, true);
    }
    return;
  }
  const uint8_t* data = record + slot.offset;
  if (slot.kind == Kind::kFixed) {
    value->SetRaw(data, slot.size, slot.type, false);
    return;
  }
  // A terminated text is pointed at; one that fills its slot is copied
  // with a terminator.
  size_t size = 0;
  if (slot.kind == Kind::kWide) {
    const size_t units = static_cast<size_t>(slot.size) / 2;
    size_t n = 0;
    while (n < units && (data[2 * n] != 0 || data[2 * n + 1] != 0)) ++n;
    if (n < units) size = 2 * (n + 1);
  } else {
    const void* end = std::memchr(data, 0, static_cast<size_t>(slot.size));
    if (end != nullptr) size = static_cast<size_t>(static_cast<const uint8_t*>(end) - data) + 1;
  }
  if (size == 0) {
    GetFieldValue(*fields_, field_no, *value, record);
    return;
  }
  value->SetRaw(data, static_cast<int32_t>(size), slot.type, false);
}

// ---------------------------------------------------------------- reader

TABSRowReader::TABSRowReader(TABSLocalCursor& cursor)
    : cursor_(&cursor),
      decoder_(cursor.OpenTable().RecordFields(), &cursor.OpenTable(), cursor.SessionNumber()) {}

void TABSRowReader::First() {
  if (cursor_ == nullptr && owner_ != nullptr) owner_->Open();
  visited_ = nullptr;
  cursor_->First();
  Next();
}

void TABSRowReader::Next() {
  eof_ = cursor_->GetRecord(nullptr, TABSGetRecordMode::kNext) != TABSGetRecordResult::kFound;
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
    : temp_session_(&temp_session), columns_(columns) {
  std::vector<TABSDatasetFieldDef> fields;
  fields.reserve(columns.size());
  for (const TABSRowColumn& column : columns) {
    TABSDatasetFieldDef field;
    field.name = column.name;
    field.type = PlainColumnType(column.type);
    field.size = column.size;
    has_blobs_ = has_blobs_ || IsBlobColumn(field.type);
    fields.push_back(std::move(field));
  }
  metadata_.DefineFields(fields);
  metadata_.ComputeLayout();
  fields_ = TABSRecordFields(metadata_.Fields());
  decoder_ = TABSRecordDecoder(fields_, nullptr);
  buffer_.assign(static_cast<size_t>(fields_.MemorySize()) + 16, 0);
  reader_.owner_ = this;
  reader_.decoder_ = decoder_;
  // BLOB values live with the table: it is there from the start.
  if (has_blobs_) Open();
}

TABSRowTable::~TABSRowTable() = default;

void TABSRowTable::Open() {
  if (cursor_ != nullptr) return;
  name_ = NextTemporaryTableName(*temp_session_);
  TABSCursorOptions options;
  options.create_missing = true;
  auto cursor = std::make_unique<TABSLocalCursor>(*temp_session_, name_, options);
  cursor->SetTableDefinitions(metadata_.Fields(), metadata_.Indexes(), metadata_.Constraints());
  cursor->Open();
  // Records built in memory are appended as they are: both layouts agree.
  if (cursor->FieldsEnd() != fields_.MemorySize()) throw EABSException(native::kResultLayout, {name_});
  buffer_.resize(static_cast<size_t>(cursor->RecordBufferSize()), 0);
  cursor_ = std::move(cursor);
  reader_.cursor_ = cursor_.get();
  reader_.decoder_ =
      TABSRecordDecoder(cursor_->OpenTable().RecordFields(), &cursor_->OpenTable(), cursor_->SessionNumber());
  decoder_ = reader_.decoder_;
}

const std::string& TABSRowTable::Name() {
  Open();
  return name_;
}

TABSLocalCursor& TABSRowTable::Cursor() {
  Open();
  return *cursor_;
}

void TABSRowTable::BeginRow() { fields_.InitRecord(buffer_.data()); }

void TABSRowTable::SetValue(int32_t column, const TABSVariant& value) {
  if (!has_blobs_) {
    SetFieldValue(fields_, column, value, buffer_.data(), nullptr);
    return;
  }
  TABSTableData& table = cursor_->OpenTable();
  const TABSColumnType type = columns_[static_cast<size_t>(column)].type;
  if (!IsBlobColumn(type) || value.IsNull()) {
    table.FieldManager().SetFieldValue(column, value, buffer_.data());
    return;
  }
  // The contents are copied: the value the row had goes with the row.
  if (IsBlobStorage(value.Type())) {
    table.BlobManager()->WriteValue(buffer_.data(), column, value.Data(), value.DataSize());
    return;
  }
  // A text (a set operation pairing it with a BLOB-like column), without
  // its terminator.
  TABSVariant text;
  text.Assign(value, false);
  const bool wide = type == TABSColumnType::WideMemo;
  text.ConvertTo(wide ? TABSStorageType::WideString : TABSStorageType::String);
  const int32_t unit = wide ? 2 : 1;
  const int32_t size = text.IsNull() ? 0 : std::max(0, text.DataSize() - unit);
  table.BlobManager()->WriteValue(buffer_.data(), column, text.Data(), size);
}

void TABSRowTable::ReleaseRecord(uint8_t* record) {
  if (has_blobs_) cursor_->OpenTable().BlobManager()->ReleaseDescriptors(record);
}

void TABSRowTable::AppendRow() {
  Open();
  if (!cursor_->Post(buffer_.data(), true)) {
    throw EABSException(cursor_->Status(), cursor_->StatusMessage());
  }
}

void TABSRowTable::AppendRecord(const uint8_t* record, const TABSRowTable* source) {
  if (!has_blobs_ || source == nullptr || source == this) {
    std::memcpy(buffer_.data(), record, static_cast<size_t>(RecordSize()));
    AppendRow();
    return;
  }
  // Its BLOB references name values of the other table's storage.
  BeginRow();
  TABSVariant value;
  for (int32_t i = 0; i < ColumnCount(); ++i) {
    source->RecordValue(record, i, &value);
    SetValue(i, value);
  }
  AppendRow();
}

int64_t TABSRowTable::RowCount() { return cursor_ == nullptr ? 0 : cursor_->OpenTable().RecordCount(); }

void TABSRowTable::SortBy(const std::vector<int32_t>& columns, const std::vector<bool>& descending,
                          const std::vector<bool>& no_case) {
  Open();
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
