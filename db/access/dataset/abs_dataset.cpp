#include "db/access/dataset/abs_dataset.h"

#include <cstring>
#include <limits>

#include "db/access/dataset/blob_stream.h"
#include "db/access/dataset/caught_errors.h"
#include "db/access/dataset/dataset_errors.h"
#include "db/access/dataset/engine_error.h"
#include "db/access/session/session.h"
#include "db/storage/blobs/blob_manager.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/records/table_data.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {
namespace {

constexpr std::string_view kMemoryAlias = "MEMORY";

bool IsStringType(TFieldType type) { return type == ftString || type == ftFixedChar || type == ftWideString; }

}  // namespace

TABSDataSet::TABSDataSet(const void* owner) : owner_(owner) {}

TABSDataSet::~TABSDataSet() {
  CloseQuietly();
  cursor_.reset();
  for (size_t use = 0; use < uses_.size(); ++use) {
    if (uses_.test(use)) ReleaseDatabase(static_cast<TABSDatabaseUse>(use));
  }
}

std::string TABSDataSet::CurrentVersion() { return "3.21 "; }

void TABSDataSet::CheckClosed() const {
  if (Active()) throw EABSException(native::kDatasetOpen);
}

void TABSDataSet::SetDatabaseName(std::string_view name) {
  CheckClosed();
  if (database_ != nullptr) throw EABSException(native::kDatabaseHeld);
  database_name_ = std::string(name);
}

void TABSDataSet::SetSessionName(std::string_view name) {
  CheckClosed();
  if (database_ != nullptr) throw EABSException(native::kDatabaseHeld);
  session_name_ = std::string(name);
}

bool TABSDataSet::InMemory() const { return SameObjectName(database_name_, kMemoryAlias); }

void TABSDataSet::SetInMemory(bool in_memory) {
  CheckClosed();
  if (in_memory) SetDatabaseName(kMemoryAlias);
}

void TABSDataSet::SetReadOnly(bool read_only) {
  CheckClosed();
  read_only_ = read_only;
}

// --- The database ---

TABSSession& TABSDataSet::OwnSession() const {
  return session_name_.empty() ? TABSSessions::Default() : TABSSessions::Instance().Get(session_name_);
}

void TABSDataSet::AcquireDatabase(TABSDatabaseUse use) {
  if (uses_.none()) {
    TABSDatabase& database = OwnSession().OpenDatabase(database_name_, owner_);
    database.AddUser(*this);
    database_ = &database;
  }
  uses_.set(static_cast<size_t>(use));
}

void TABSDataSet::ReleaseDatabase(TABSDatabaseUse use) noexcept {
  if (!uses_.test(static_cast<size_t>(use))) return;
  uses_.reset(static_cast<size_t>(use));
  if (uses_.any() || database_ == nullptr) return;
  TABSDatabase* database = database_;
  database_ = nullptr;
  database->RemoveUser(*this);
  RunCaught([&] { database->Session().CloseDatabase(*database); });
}

TABSLocalSession& TABSDataSet::Connection() const {
  if (database_ == nullptr) throw EABSException(native::kNilPointerDataset);
  return database_->Connection();
}

bool TABSDataSet::CursorReadOnly() const { return read_only_ || (database_ != nullptr && database_->ReadOnly()); }

TABSLocalCursor& TABSDataSet::Cursor() const {
  if (cursor_ == nullptr) throw EABSException(native::kNilPointerDataset);
  return *cursor_;
}

void TABSDataSet::CloseForDisconnect() noexcept {
  try {
    Close();
  } catch (...) {
    ReportCaughtException(std::current_exception());
  }
  CloseQuietly();
}

// --- Opening and closing ---

void TABSDataSet::ReadFieldDefs() {
  const TABSFieldDefs& fields = cursor_->OpenTable().Metadata().Fields();
  table_field_nos_.clear();
  if (cursor_->ShownFields().empty()) {
    FieldDefsOf(fields, MutableFieldDefs());
    return;
  }
  TFieldDefs& defs = MutableFieldDefs();
  defs.Clear();
  for (const TABSLocalCursor::ShownField& shown : cursor_->ShownFields()) {
    const TABSFieldDef& field = *fields.Items(shown.field_no);
    const TFieldType type = DatasetTypeOf(field.ColumnType());
    defs.Add(shown.name, type, IsStringType(type) || type == ftBytes || type == ftVarBytes ? field.DeclaredSize() : 0);
    table_field_nos_.push_back(shown.field_no);
  }
}

int32_t TABSDataSet::TableFieldNo(const TField& field) const {
  const int32_t no = field.FieldNo();
  if (no < 0 || static_cast<size_t>(no) >= table_field_nos_.size()) return no;
  return table_field_nos_[static_cast<size_t>(no)];
}

void TABSDataSet::FieldDefsOf(const TABSFieldDefs& fields, TFieldDefs& defs) {
  defs.Clear();
  for (int32_t i = 0; i < fields.Count(); ++i) {
    const TABSFieldDef& field = *fields.Items(i);
    const TFieldType type = DatasetTypeOf(field.ColumnType());
    defs.Add(field.Name(), type, IsStringType(type) || type == ftBytes || type == ftVarBytes ? field.DeclaredSize() : 0);
  }
}

void TABSDataSet::InternalOpen() {
  if (database_name_.empty()) throw EABSException(native::kDatabaseNameBlank);
  AcquireDatabase(TABSDatabaseUse::kCursor);
  try {
    if (cursor_ == nullptr) cursor_ = CreateCursor();
    if (cursor_ == nullptr) throw EABSException(native::kNoTableHandle);
    if (!cursor_->IsOpen()) cursor_->Open();
    read_only_ = read_only_ || cursor_->Options().read_only;
    ReadFieldDefs();
    fields_end_ = cursor_->FieldsEnd();
    record_size_ = cursor_->RecordBufferSize();
    scratch_ = cursor_->NewRecordBuffer();
    seen_generation_ = cursor_->OpenTable().StateGeneration();
    CursorOpened();
    InstallFilter();
  } catch (...) {
    // Nothing of a failed open stays: no cursor, no lock, no use of the database.
    RunCaught([this] { CursorClosing(); });
    cursor_.reset();
    MutableFieldDefs().Clear();
    ReleaseDatabase(TABSDatabaseUse::kCursor);
    throw;
  }
}

void TABSDataSet::InternalClose() {
  std::exception_ptr failure;
  try {
    CursorClosing();
  } catch (...) {
    failure = std::current_exception();
  }
  if (cursor_ != nullptr) {
    try {
      cursor_->Close();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    cursor_.reset();
  }
  MutableFieldDefs().Clear();
  table_field_nos_.clear();
  scratch_.clear();
  filter_buffer_.clear();
  ReleaseDatabase(TABSDatabaseUse::kCursor);
  if (failure) std::rethrow_exception(failure);
}

void TABSDataSet::CheckPersistentField(const TField& field, int32_t field_no) const {
  const TFieldDef& def = FieldDefs().Items(field_no);
  if (field.DataType() != def.data_type) {
    throw EABSException(native::kFieldTypeMismatch, {field.FieldName(), static_cast<int32_t>(field.DataType()),
                                                      static_cast<int32_t>(def.data_type)});
  }
  if (IsStringType(def.data_type) && field.Size() != def.size) {
    throw EABSException(native::kFieldSizeMismatch, {field.FieldName(), field.Size(), def.size});
  }
}

// --- Records ---

TABSRecordId TABSDataSet::PositionOf(const std::vector<uint8_t>& buffer) const {
  return TABSRecordId::Load(buffer.data() + fields_end_);
}

void TABSDataSet::SyncCursor(const std::vector<uint8_t>& buffer) {
  TABSLocalCursor& cursor = Cursor();
  const TABSRecordId id = PositionOf(buffer);
  if (!id.IsValid()) return;
  const uint32_t generation = cursor.OpenTable().StateGeneration();
  if (generation == seen_generation_ && cursor.OnRecord() && cursor.CurrentId() == id) return;
  seen_generation_ = generation;
  cursor.SetCurrent(id, buffer.data(), fields_end_);
}

bool TABSDataSet::FetchRecord(Fetch fetch, std::vector<uint8_t>& buffer) {
  TABSLocalCursor& cursor = Cursor();
  TABSGetRecordMode mode = TABSGetRecordMode::kNext;
  switch (fetch) {
    case Fetch::kFirst:
      cursor.First();
      break;
    case Fetch::kLast:
      cursor.Last();
      mode = TABSGetRecordMode::kPrior;
      break;
    case Fetch::kNext:
    case Fetch::kPrior:
    case Fetch::kCurrent:
      if (!PositionOf(buffer).IsValid()) return false;
      SyncCursor(buffer);
      mode = fetch == Fetch::kNext    ? TABSGetRecordMode::kNext
             : fetch == Fetch::kPrior ? TABSGetRecordMode::kPrior
                                      : TABSGetRecordMode::kCurrent;
      break;
  }
  const TABSGetRecordResult result = cursor.GetRecord(scratch_.data(), mode);
  if (result != TABSGetRecordResult::kFound) {
    if (fetch == Fetch::kCurrent) cursor.First();
    return false;
  }
  std::memcpy(buffer.data(), scratch_.data(), static_cast<size_t>(record_size_));
  return true;
}

void TABSDataSet::InternalInitRecord(std::vector<uint8_t>& buffer) {
  TABSLocalCursor& cursor = Cursor();
  cursor.InitRecordBuffer(buffer.data(), true);
  // A new record: no position yet, flagged as inserted.
  std::memset(buffer.data() + fields_end_, 0xFF, 6);
  buffer[static_cast<size_t>(fields_end_) + 6] = static_cast<uint8_t>(TABSRecordFlag::kInserted);
}

void TABSDataSet::RaiseStatus() {
  const TABSLocalCursor& cursor = Cursor();
  throw EABSEngineError(cursor.Status(), EABSEngineError::TextOf(cursor.Status(), cursor.StatusMessage()));
}

void TABSDataSet::InternalEdit(std::vector<uint8_t>& buffer) {
  if (!Cursor().BeginEdit(buffer.data())) RaiseStatus();
}

void TABSDataSet::InternalPost(std::vector<uint8_t>& buffer, bool inserting) {
  if (!Cursor().Post(buffer.data(), inserting)) RaiseStatus();
  seen_generation_ = Cursor().OpenTable().StateGeneration();
}

void TABSDataSet::InternalCancel(std::vector<uint8_t>& buffer, bool inserting) {
  Cursor().Cancel(buffer.data(), inserting);
}

void TABSDataSet::InternalDelete(std::vector<uint8_t>& buffer) {
  if (!Cursor().Delete(buffer.data())) RaiseStatus();
}

void TABSDataSet::ReleaseBufferValues(std::vector<uint8_t>& buffer) noexcept {
  if (cursor_ == nullptr || !cursor_->IsOpen() || buffer.size() < static_cast<size_t>(fields_end_)) return;
  if (TABSBlobManager* blobs = cursor_->OpenTable().BlobManager()) blobs->ReleaseDescriptors(buffer.data());
}

bool TABSDataSet::ReadDataField(const TField& field, const uint8_t* record, TABSVariant& value) const {
  Cursor().OpenTable().FieldManager().GetFieldValue(TableFieldNo(field), value, record);
  return !value.IsNull();
}

void TABSDataSet::WriteDataField(TField& field, uint8_t* record, const TABSVariant& value) {
  TABSTableData& table = Cursor().OpenTable();
  if (!value.IsNull() && value.Type() == TABSStorageType::String && IsStringType(field.DataType())) {
    TABSVariant cut;
    cut.SetString(field.CutToSize(value.AsString()));
    table.FieldManager().SetFieldValue(TableFieldNo(field), cut, record);
    return;
  }
  table.FieldManager().SetFieldValue(TableFieldNo(field), value, record);
}

std::unique_ptr<TABSBLOBStream> TABSDataSet::CreateBlobStream(TField& field, TABSBlobStreamMode mode) {
  CheckActive();
  return std::make_unique<TABSBLOBStream>(*this, field, mode);
}

void TABSDataSet::FieldWrittenThroughStream(TField& field) {
  SetModified();
  DataEvent(TDataEvent::deFieldChange, &field);
}

// --- Counting and bookmarks ---

int32_t TABSDataSet::RecordCount() {
  CheckActive();
  const int64_t count = Cursor().RecordCount();
  if (count > std::numeric_limits<int32_t>::max()) throw EABSException(native::kRecordCountTooLarge, {count});
  return static_cast<int32_t>(count);
}

int32_t TABSDataSet::RecNo() {
  CheckActive();
  if (State() == TDataSetState::dsInsert || (Bof() && Eof())) return -1;
  SyncCursor(ActiveBuffer());
  return static_cast<int32_t>(Cursor().RecordNumber());
}

void TABSDataSet::SetRecNo(int32_t number) {
  CheckActive();
  if (number <= 0) return;
  CheckBrowseMode();
  if (Bof() && Eof()) return;
  RunEvent(BeforeScroll);
  TABSLocalCursor& cursor = Cursor();
  cursor.SetRecordNumber(number);
  std::vector<uint8_t> buffer = NewBuffer();
  if (!cursor.OnRecord() || cursor.GetRecord(scratch_.data(), TABSGetRecordMode::kCurrent) != TABSGetRecordResult::kFound) {
    RunEvent(AfterScroll);
    return;
  }
  std::memcpy(buffer.data(), scratch_.data(), static_cast<size_t>(record_size_));
  SetEdges(false, false);
  ScrollTo(std::move(buffer));
}

TBookmark TABSDataSet::GetBookmark() {
  if (!Active() || State() == TDataSetState::dsInsert || (Bof() && Eof())) return {};
  const uint8_t* position = ActiveBuffer().data() + fields_end_;
  return TBookmark(position, position + TABSRecordId::kStoredSize);
}

bool TABSDataSet::ReadAt(const TABSRecordId& id, std::vector<uint8_t>& buffer) {
  TABSLocalCursor& cursor = Cursor();
  std::vector<uint8_t> record(static_cast<size_t>(fields_end_));
  try {
    if (!id.IsValid() || !cursor.OpenTable().ReadRecord(cursor.SessionNumber(), id, record.data())) return false;
  } catch (const EABSException&) {
    // A position that names no record of the table (a crafted bookmark).
    return false;
  }
  buffer = NewBuffer();
  std::memcpy(buffer.data(), record.data(), record.size());
  id.Store(buffer.data() + fields_end_);
  buffer[static_cast<size_t>(fields_end_) + 6] = static_cast<uint8_t>(TABSRecordFlag::kCurrent);
  return true;
}

bool TABSDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (!Active() || bookmark.size() < TABSRecordId::kStoredSize) return false;
  std::vector<uint8_t> buffer;
  return ReadAt(TABSRecordId::Load(bookmark.data()), buffer);
}

void TABSDataSet::GotoBookmark(const TBookmark& bookmark) {
  CheckActive();
  std::vector<uint8_t> buffer;
  if (bookmark.size() < TABSRecordId::kStoredSize || !ReadAt(TABSRecordId::Load(bookmark.data()), buffer)) {
    throw EABSException(native::kInvalidBookmark);
  }
  CheckBrowseMode();
  RunEvent(BeforeScroll);
  SetEdges(false, false);
  ScrollTo(std::move(buffer), TDataEvent::deDataSetChange);
}

int32_t TABSDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() || b.empty()) return TDataSet::CompareBookmarks(a, b);
  const auto rank = [this](const TBookmark& bookmark) -> int64_t {
    std::vector<uint8_t> buffer;
    if (bookmark.size() < TABSRecordId::kStoredSize || !ReadAt(TABSRecordId::Load(bookmark.data()), buffer)) {
      return -1;
    }
    SyncCursor(buffer);
    return Cursor().RecordNumber();
  };
  const int64_t first = rank(a);
  const int64_t second = rank(b);
  return first > second ? 1 : (first < second ? -1 : 0);
}

// --- Filtering ---

void TABSDataSet::RunFilterEvent(const uint8_t* record, bool& accept) {
  try {
    if (filter_buffer_.size() != static_cast<size_t>(BufferSize())) filter_buffer_ = NewBuffer();
    std::memcpy(filter_buffer_.data(), record, static_cast<size_t>(fields_end_));
    CalculateFields(filter_buffer_);
    WithRecordView(filter_buffer_.data(), TDataSetState::dsFilter, [&] { on_filter_record_(*this, accept); });
  } catch (...) {
    ReportCaughtException(std::current_exception());
  }
}

void TABSDataSet::InstallFilter() {
  TABSLocalCursor& cursor = Cursor();
  if (filtered_ && !filter_.empty()) {
    cursor.SetFilterText(filter_, (filter_options_ & foCaseInsensitive) != 0,
                         (filter_options_ & foNoPartialCompare) == 0);
  } else if (!cursor.FilterText().empty()) {
    cursor.ClearFilter();
  }
  if (filtered_ && on_filter_record_) {
    cursor.SetCallback([this](const uint8_t* record) {
      bool accept = true;
      RunFilterEvent(record, accept);
      return accept;
    });
  } else {
    cursor.SetCallback(nullptr);
  }
}

void TABSDataSet::ReinstallFilter(const std::function<void()>& change, const std::function<void()>& undo) {
  change();
  if (!Active()) return;
  try {
    InstallFilter();
  } catch (...) {
    undo();
    RunCaught([this] { InstallFilter(); });
    throw;
  }
}

void TABSDataSet::SetFilter(std::string_view filter) {
  if (Active()) CheckBrowseMode();
  const std::string old = filter_;
  ReinstallFilter([&] { filter_ = std::string(filter); }, [&] { filter_ = old; });
  if (Active() && filtered_) First();
}

void TABSDataSet::SetFilterOptions(TFilterOptions options) {
  if (Active()) CheckBrowseMode();
  const TFilterOptions old = filter_options_;
  ReinstallFilter([&] { filter_options_ = options; }, [&] { filter_options_ = old; });
  if (Active() && filtered_) First();
}

void TABSDataSet::SetFiltered(bool filtered) {
  if (!Active()) {
    filtered_ = filtered;
    return;
  }
  CheckBrowseMode();
  if (filtered != filtered_) {
    ReinstallFilter([&] { filtered_ = filtered; }, [&] { filtered_ = !filtered; });
  }
  First();
}

void TABSDataSet::SetOnFilterRecord(FilterEvent handler) {
  if (Active()) CheckBrowseMode();
  FilterEvent old = std::move(on_filter_record_);
  ReinstallFilter([&] { on_filter_record_ = std::move(handler); }, [&] { on_filter_record_ = std::move(old); });
  if (Active() && filtered_) First();
}

// --- Searching ---

bool TABSDataSet::FindRecord(bool restart, bool forward) {
  CheckActive();
  CheckBrowseMode();
  // The filter serves the search even when the dataset is not filtered.
  const bool temporary = !filtered_;
  if (temporary) ReinstallFilter([&] { filtered_ = true; }, [&] { filtered_ = false; });
  std::vector<uint8_t> buffer = restart ? NewBuffer() : ActiveBuffer();
  bool found = false;
  try {
    if (restart) {
      found = FetchRecord(forward ? Fetch::kFirst : Fetch::kLast, buffer);
    } else if (!(Bof() && Eof())) {
      found = FetchRecord(forward ? Fetch::kNext : Fetch::kPrior, buffer);
    }
  } catch (...) {
    if (temporary) {
      filtered_ = false;
      RunCaught([this] { InstallFilter(); });
    }
    throw;
  }
  if (temporary) {
    filtered_ = false;
    InstallFilter();
  }
  found_ = found;
  if (found) {
    RunEvent(BeforeScroll);
    SetEdges(false, false);
    ScrollTo(std::move(buffer), TDataEvent::deDataSetChange);
  }
  return found;
}

std::vector<TABSVariant> TABSDataSet::KeyValues(const std::vector<TDataVariant>& values) const {
  std::vector<TABSVariant> keys(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    if (!values[i].IsNull()) keys[i].FromDataVariant(values[i]);
  }
  return keys;
}

std::string TABSDataSet::TableFieldNames(std::string_view names) const {
  if (table_field_nos_.empty()) return std::string(names);
  const TABSFieldDefs& fields = Cursor().OpenTable().Metadata().Fields();
  std::string table_names;
  for (const std::string& name : SplitFieldNames(names)) {
    const int32_t no = FieldDefs().IndexOf(name);
    if (!table_names.empty()) table_names += ';';
    table_names += no < 0 ? name : fields.Items(table_field_nos_[static_cast<size_t>(no)])->Name();
  }
  return table_names;
}

bool TABSDataSet::Locate(std::string_view key_fields, const std::vector<TDataVariant>& key_values,
                         TLocateOptions options) {
  CheckActive();
  CheckBrowseMode();
  const std::vector<TABSVariant> keys = KeyValues(key_values);
  TABSLocalCursor& cursor = Cursor();
  if (!cursor.Locate(scratch_.data(), TableFieldNames(key_fields), keys, (options & loCaseInsensitive) != 0,
                     (options & loPartialKey) != 0)) {
    return false;
  }
  std::vector<uint8_t> buffer = NewBuffer();
  std::memcpy(buffer.data(), scratch_.data(), static_cast<size_t>(record_size_));
  RunEvent(BeforeScroll);
  SetEdges(false, false);
  ScrollTo(std::move(buffer), TDataEvent::deDataSetChange);
  return true;
}

TDataVariant TABSDataSet::Lookup(std::string_view key_fields, const std::vector<TDataVariant>& key_values,
                                 std::string_view result_fields) {
  if (!Active()) return TDataVariant::Null();
  const std::vector<TABSVariant> keys = KeyValues(key_values);
  TABSLocalCursor& cursor = Cursor();
  // A scratch buffer of its own: the record being typed stays as it is.
  std::vector<uint8_t> buffer = NewBuffer();
  const bool found = cursor.Locate(buffer.data(), TableFieldNames(key_fields), keys, false, false);
  // The cursor goes back to the dataset's record.
  if (!(Bof() && Eof()) && State() != TDataSetState::dsInsert) {
    seen_generation_ = ~cursor.OpenTable().StateGeneration();
    SyncCursor(ActiveBuffer());
  }
  if (!found) return TDataVariant::Null();
  CalculateFields(buffer);
  TDataVariant result = TDataVariant::Null();
  WithRecordView(buffer.data(), State(), [&] {
    const std::vector<std::string> names = SplitFieldNames(result_fields);
    if (!names.empty()) result = FieldByName(names.front()).AsVariant();
  });
  return result;
}

void TABSDataSet::RecordsChanged() {
  if (!Active() || State() != TDataSetState::dsBrowse) return;
  Resync();
}

void TABSDataSet::RecordsRolledBack() noexcept {
  RunCaught([this] { RecordsChanged(); });
}

}  // namespace kelvorin
