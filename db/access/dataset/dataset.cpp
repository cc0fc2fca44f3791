#include "db/access/dataset/dataset.h"

#include <algorithm>
#include <cstring>

#include "db/access/dataset/caught_errors.h"
#include "db/access/dataset/dataset_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {
namespace {

// Bytes of a calculated value's slot in a record buffer.
int32_t CalcSlotSize(const TField& field) {
  switch (field.StorageType()) {
    case TABSStorageType::String: return std::max(field.Size(), 1) + 1;
    case TABSStorageType::WideString: return (std::max(field.Size(), 1) + 1) * 2;
    default: return std::max(FixedValueSize(field.StorageType()), 8);
  }
}

bool IsTextStorage(TABSStorageType type) {
  return type == TABSStorageType::String || type == TABSStorageType::WideString;
}

}  // namespace

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  for (TDataSource* source : std::vector<TDataSource*>(sources_)) source->SetDataSet(nullptr);
}

// --- Fields ---

TField& TDataSet::AddField(std::unique_ptr<TField> field) {
  if (Active()) throw EABSException(native::kDatasetOpen);
  field->dataset_ = this;
  field->index_ = FieldCount();
  fields_.push_back({std::move(field), true});
  return *fields_.back().field;
}

TField& TDataSet::AddField(std::string name, TFieldType type, int32_t size, TFieldKind kind) {
  return AddField(std::make_unique<TField>(std::move(name), type, size, kind));
}

TField& TDataSet::AddLookupField(std::string name, TFieldType type, int32_t size, TDataSet& lookup_dataset,
                                 std::string lookup_key_fields, std::string lookup_result_field,
                                 std::string key_fields) {
  TField& field = AddField(std::move(name), type, size, TFieldKind::fkLookup);
  field.SetLookup(&lookup_dataset, std::move(lookup_key_fields), std::move(lookup_result_field),
                  std::move(key_fields));
  return field;
}

TField* TDataSet::FindField(std::string_view name) const {
  for (const FieldEntry& entry : fields_) {
    if (SameObjectName(entry.field->FieldName(), name)) return entry.field.get();
  }
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
  TField* field = FindField(name);
  if (field == nullptr) throw EABSException(native::kFieldNotFound, {name});
  return *field;
}

void TDataSet::BindFields() {
  const bool defaults = std::none_of(fields_.begin(), fields_.end(),
                                     [](const FieldEntry& e) { return e.field->FieldKind() == TFieldKind::fkData; });
  if (defaults) {
    for (int32_t i = 0; i < field_defs_.Count(); ++i) {
      const TFieldDef& def = field_defs_.Items(i);
      auto field = std::make_unique<TField>(def.name, def.data_type, def.size);
      field->SetRequired(def.required);
      field->dataset_ = this;
      fields_.push_back({std::move(field), false});
    }
  }
  calc_size_ = 0;
  int32_t index = 0;
  for (FieldEntry& entry : fields_) {
    TField& field = *entry.field;
    field.index_ = index++;
    if (field.FieldKind() == TFieldKind::fkData) {
      field.field_no_ = field_defs_.IndexOf(field.FieldName());
      if (field.field_no_ < 0) throw EABSException(native::kFieldNotFound, {field.FieldName()});
      CheckPersistentField(field, field.field_no_);
    } else {
      field.calc_offset_ = RecordDataSize() + calc_size_;
      calc_size_ += 1 + CalcSlotSize(field);
    }
  }
}

void TDataSet::UnbindFields() {
  std::erase_if(fields_, [](const FieldEntry& e) { return !e.persistent; });
  int32_t index = 0;
  for (FieldEntry& entry : fields_) {
    entry.field->index_ = index++;
    entry.field->field_no_ = -1;
    entry.field->calc_offset_ = -1;
  }
  calc_size_ = 0;
}

// --- Opening and closing ---

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    DoOpen();
  } else {
    DoClose();
  }
}

void TDataSet::DoOpen() {
  RunEvent(BeforeOpen);
  InternalOpen();
  try {
    BindFields();
    active_ = NewBuffer();
    state_ = TDataSetState::dsBrowse;
    LoadEdge(false);
  } catch (...) {
    state_ = TDataSetState::dsInactive;
    active_.clear();
    UnbindFields();
    try {
      InternalClose();
    } catch (...) {
    }
    throw;
  }
  modified_ = false;
  DataEvent(TDataEvent::deUpdateState);
  for (TDataSource* source : std::vector<TDataSource*>(sources_)) source->NotifyActive();
  RunEvent(AfterOpen);
}

void TDataSet::DoClose() {
  std::exception_ptr failure;
  try {
    if (InEditState() || state_ == TDataSetState::dsSetKey) Cancel();
  } catch (...) {
    failure = std::current_exception();
  }
  RunEvent(BeforeClose);
  state_ = TDataSetState::dsInactive;
  try {
    InternalClose();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  ForgetRecords();
  if (failure) std::rethrow_exception(failure);
  RunEvent(AfterClose);
}

void TDataSet::ForgetRecords() noexcept {
  UnbindFields();
  active_.clear();
  saved_.clear();
  bof_ = eof_ = true;
  modified_ = false;
  DataEvent(TDataEvent::deUpdateState);
  for (TDataSource* source : std::vector<TDataSource*>(sources_)) source->NotifyActive();
}

void TDataSet::CloseQuietly() noexcept {
  if (!Active()) return;
  RunCaught([this] {
    if (InEditState()) InternalCancel(active_, state_ == TDataSetState::dsInsert);
  });
  state_ = TDataSetState::dsInactive;
  RunCaught([this] { InternalClose(); });
  ForgetRecords();
}

void TDataSet::CheckActive() const {
  if (!Active()) throw EABSException(native::kDatasetClosed);
}

// --- Navigation ---

void TDataSet::LoadEdge(bool last) {
  std::vector<uint8_t> buffer = NewBuffer();
  const bool found = FetchRecord(last ? Fetch::kLast : Fetch::kFirst, buffer);
  if (found) {
    CalculateFields(buffer);
    ReplaceActive(std::move(buffer));
  } else {
    ReplaceActive(NewBuffer());
  }
  bof_ = !last || !found;
  eof_ = last || !found;
}

void TDataSet::ReplaceActive(std::vector<uint8_t>&& buffer) {
  ReleaseBufferValues(active_);
  active_ = std::move(buffer);
}

void TDataSet::ScrollTo(std::vector<uint8_t>&& buffer, TDataEvent event) {
  CalculateFields(buffer);
  ReplaceActive(std::move(buffer));
  RunEvent(AfterScroll);
  DataEvent(event);
}

void TDataSet::MoveToEdge(bool last) {
  CheckActive();
  CheckBrowseMode();
  RunEvent(BeforeScroll);
  LoadEdge(last);
  RunEvent(AfterScroll);
  DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Step(bool forward) {
  CheckActive();
  CheckBrowseMode();
  bool& edge = forward ? eof_ : bof_;
  if (edge) return;
  RunEvent(BeforeScroll);
  // Moving away from one edge leaves it even when the other edge stops the
  // move: Next on the only record must not leave the dataset looking empty.
  (forward ? bof_ : eof_) = false;
  std::vector<uint8_t> buffer = active_;
  if (FetchRecord(forward ? Fetch::kNext : Fetch::kPrior, buffer)) {
    ScrollTo(std::move(buffer));
    return;
  }
  edge = true;
  RunEvent(AfterScroll);
  DataEvent(TDataEvent::deDataSetScroll);
}

int32_t TDataSet::MoveBy(int32_t distance) {
  int32_t moved = 0;
  for (; distance > 0 && !eof_; --distance) {
    Next();
    if (!eof_) ++moved;
  }
  for (; distance < 0 && !bof_; ++distance) {
    Prior();
    if (!bof_) --moved;
  }
  return moved;
}

int32_t TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty()) return b.empty() ? 0 : 1;
  if (b.empty()) return -1;
  return 0;
}

// --- Editing ---

void TDataSet::Insert() {
  CheckActive();
  if (ReadOnlyData()) throw EABSException(native::kReadOnlyDataset);
  CheckBrowseMode();
  RunEvent(BeforeInsert);
  saved_ = active_;
  saved_edges_[0] = bof_;
  saved_edges_[1] = eof_;
  std::vector<uint8_t> buffer = NewBuffer();
  InternalInitRecord(buffer);
  active_ = std::move(buffer);
  bof_ = eof_ = false;
  SetState(TDataSetState::dsInsert);
  try {
    InitNewRecord();
    modified_ = false;
    RunEvent(OnNewRecord);
    CalculateFields(active_);
  } catch (...) {
    RestoreAfterCancel(true);
    throw;
  }
  RunEvent(AfterInsert);
  DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Edit() {
  CheckActive();
  if (InEditState()) return;
  if (bof_ && eof_) {
    Insert();
    return;
  }
  CheckBrowseMode();
  RunEvent(BeforeEdit);
  // A read-only dataset prepares nothing: its post is refused.
  if (!ReadOnlyData()) WithErrorHandler(OnEditError, [this] { InternalEdit(active_); });
  saved_ = active_;
  saved_edges_[0] = bof_;
  saved_edges_[1] = eof_;
  modified_ = false;
  SetState(TDataSetState::dsEdit);
  RunEvent(AfterEdit);
  DataEvent(TDataEvent::deRecordChange);
}

void TDataSet::Post() {
  if (!Active()) throw EABSException(native::kDatasetNotOpened);
  DataEvent(TDataEvent::deUpdateRecord);
  if (state_ == TDataSetState::dsSetKey) {
    EndSetKey(true);
    SetState(TDataSetState::dsBrowse);
    return;
  }
  if (!InEditState()) throw EABSException(native::kNotInInsertOrEdit);
  if (ReadOnlyData()) throw EABSException(native::kReadOnlyDataset);
  RunEvent(BeforePost);
  const bool inserting = state_ == TDataSetState::dsInsert;
  // A failed post leaves the state, the record and the edit as they were,
  // so that a corrected record can be posted again.
  WithErrorHandler(OnPostError, [&] { InternalPost(active_, inserting); });
  // The record shown before an insert is not coming back (an edit's copy
  // shares its values with the record itself).
  if (inserting) ReleaseBufferValues(saved_);
  saved_.clear();
  modified_ = false;
  bof_ = eof_ = false;
  CalculateFields(active_);
  SetState(TDataSetState::dsBrowse);
  RunEvent(AfterPost);
  DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::RestoreAfterCancel(bool inserting) {
  if (inserting) {
    active_ = std::move(saved_);
    bof_ = saved_edges_[0];
    eof_ = saved_edges_[1];
  }
  saved_.clear();
  modified_ = false;
  SetState(TDataSetState::dsBrowse);
  if (!inserting) {
    // The stored record, as another writer may have left it.
    std::vector<uint8_t> buffer = active_;
    if (FetchRecord(Fetch::kCurrent, buffer)) {
      active_ = std::move(buffer);
    } else {
      Resync();
      return;
    }
  }
  if (!(bof_ && eof_)) CalculateFields(active_);
}

void TDataSet::Cancel() {
  if (state_ == TDataSetState::dsSetKey) {
    EndSetKey(false);
    SetState(TDataSetState::dsBrowse);
    DataEvent(TDataEvent::deDataSetChange);
    return;
  }
  if (!InEditState()) return;
  RunEvent(BeforeCancel);
  const bool inserting = state_ == TDataSetState::dsInsert;
  std::exception_ptr failure;
  try {
    InternalCancel(active_, inserting);
  } catch (...) {
    failure = std::current_exception();
  }
  if (!inserting) active_ = saved_;
  RestoreAfterCancel(inserting);
  if (failure) std::rethrow_exception(failure);
  RunEvent(AfterCancel);
  DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) {
    Cancel();
    return;
  }
  if (bof_ && eof_) throw EABSException(native::kEmptyDataset);
  if (ReadOnlyData()) throw EABSException(native::kReadOnlyDataset);
  DataEvent(TDataEvent::deCheckBrowseMode);
  RunEvent(BeforeDelete);
  RunEvent(BeforeScroll);
  // A record being edited is deleted as it is stored: its changed values
  // would neither match the stored record nor place it among its neighbours.
  std::vector<uint8_t>& stored = state_ == TDataSetState::dsEdit && !saved_.empty() ? saved_ : active_;
  // The neighbour the dataset goes to, noted while the record is there.
  std::vector<uint8_t> neighbour = stored;
  bool after_last = false;
  bool found = FetchRecord(Fetch::kNext, neighbour);
  if (!found) {
    neighbour = stored;
    found = FetchRecord(Fetch::kPrior, neighbour);
    after_last = found;
  }
  WithErrorHandler(OnDeleteError, [&] { InternalDelete(stored); });
  saved_.clear();
  modified_ = false;
  SetState(TDataSetState::dsBrowse);
  if (found) {
    CalculateFields(neighbour);
    ReplaceActive(std::move(neighbour));
    bof_ = false;
    eof_ = after_last;
  } else {
    ReplaceActive(NewBuffer());
    bof_ = eof_ = true;
  }
  RunEvent(AfterDelete);
  RunEvent(AfterScroll);
  DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(TDataEvent::deCheckBrowseMode);
  if (state_ == TDataSetState::dsSetKey) {
    Post();
  } else if (InEditState()) {
    DataEvent(TDataEvent::deUpdateRecord);
    if (modified_) {
      Post();
    } else {
      Cancel();
    }
  }
}

void TDataSet::WithErrorHandler(const ErrorEvent& handler, const std::function<void()>& operation) {
  for (;;) {
    try {
      operation();
      return;
    } catch (const std::exception& error) {
      if (!handler) throw;
      TDataAction action = TDataAction::daFail;
      handler(*this, error, action);
      if (action == TDataAction::daFail) throw;
      if (action == TDataAction::daAbort) throw EAbort();
    }
  }
}

void TDataSet::Resync() {
  CheckActive();
  if (InEditState()) return;
  std::vector<uint8_t> buffer = active_;
  bool found = false;
  if (!(bof_ && eof_)) {
    found = FetchRecord(Fetch::kCurrent, buffer);
    if (!found) {
      // The record is gone: the nearest one that is left.
      try {
        buffer = active_;
        found = FetchRecord(Fetch::kNext, buffer);
        if (!found) {
          buffer = active_;
          found = FetchRecord(Fetch::kPrior, buffer);
        }
      } catch (...) {
        found = false;
      }
    }
  }
  if (found) {
    CalculateFields(buffer);
    ReplaceActive(std::move(buffer));
    bof_ = eof_ = false;
  } else {
    LoadEdge(false);
  }
  DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  RunEvent(BeforeRefresh);
  Resync();
  RunEvent(AfterRefresh);
}

// --- Notifications ---

void TDataSet::DisableControls() { ++disable_count_; }

void TDataSet::EnableControls() {
  if (disable_count_ == 0) return;
  if (--disable_count_ == 0 && pending_change_) {
    pending_change_ = false;
    DataEvent(TDataEvent::deDataSetChange);
  }
}

void TDataSet::AddDataSource(TDataSource& source) { sources_.push_back(&source); }

void TDataSet::RemoveDataSource(TDataSource& source) { std::erase(sources_, &source); }

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  DataEvent(TDataEvent::deUpdateState);
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
  if (event == TDataEvent::deFieldChange && field != nullptr && field->OnChange) {
    RunCaught([field] { field->OnChange(*field); });
  }
  if (disable_count_ > 0) {
    if (event != TDataEvent::deUpdateRecord && event != TDataEvent::deCheckBrowseMode) pending_change_ = true;
    return;
  }
  for (TDataSource* source : std::vector<TDataSource*>(sources_)) source->Notify(event, field);
}

// --- Field values ---

const uint8_t* TDataSet::ViewRecord() const {
  if (view_ != nullptr) return view_;
  if (state_ == TDataSetState::dsSetKey) return KeyRecord();
  if (active_.empty() || (bof_ && eof_ && !InEditState())) return nullptr;
  return active_.data();
}

uint8_t* TDataSet::ViewRecordForWrite() {
  if (view_ != nullptr) return view_;
  if (state_ == TDataSetState::dsSetKey) return KeyRecord();
  return active_.empty() ? nullptr : active_.data();
}

bool TDataSet::ReadField(const TField& field, TABSVariant& value) const {
  if (!Active() || field.DataSet() != this) return false;
  const uint8_t* record = ViewRecord();
  if (record == nullptr) return false;
  if (field.FieldKind() == TFieldKind::fkData) {
    if (field.FieldNo() < 0) return false;
    return ReadDataField(field, record, value);
  }
  if (state_ == TDataSetState::dsSetKey && view_ == nullptr) return false;
  return CalcValue(field, record, value);
}

void TDataSet::WriteField(TField& field, const TABSVariant& value) {
  switch (state_) {
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
    case TDataSetState::dsSetKey:
    case TDataSetState::dsCalcFields:
    case TDataSetState::dsFilter:
    case TDataSetState::dsNewValue:
    case TDataSetState::dsApplyDefaults:
      break;
    default:
      throw EABSException(native::kNotInEditOrInsert);
  }
  if (field.DataSet() != this) throw EABSException(native::kNilPointerDataset);
  if (state_ == TDataSetState::dsSetKey) CheckKeyField(field);
  if (field.OnValidate) field.OnValidate(field);
  uint8_t* record = ViewRecordForWrite();
  if (record == nullptr) throw EABSException(native::kNilPointerDataset);
  if (field.FieldKind() == TFieldKind::fkData) {
    WriteDataField(field, record, value);
  } else {
    WriteCalcValue(field, record, value);
  }
  if (state_ == TDataSetState::dsCalcFields || state_ == TDataSetState::dsFilter) return;
  if (state_ != TDataSetState::dsSetKey) modified_ = true;
  DataEvent(TDataEvent::deFieldChange, &field);
}

bool TDataSet::CalcValue(const TField& field, const uint8_t* buffer, TABSVariant& value) const {
  if (field.calc_offset_ < 0 || buffer[field.calc_offset_] == 0) return false;
  const uint8_t* slot = buffer + field.calc_offset_ + 1;
  const int32_t size = CalcSlotSize(field);
  const TABSStorageType type = field.StorageType();
  if (type == TABSStorageType::String) {
    value.SetRaw(slot, static_cast<int32_t>(strnlen(reinterpret_cast<const char*>(slot), static_cast<size_t>(size))),
                 type);
  } else {
    value.SetRaw(slot, IsTextStorage(type) ? size : FixedValueSize(type), type);
  }
  return !value.IsNull();
}

void TDataSet::WriteCalcValue(const TField& field, uint8_t* buffer, const TABSVariant& value) {
  if (field.calc_offset_ < 0) return;
  uint8_t* slot = buffer + field.calc_offset_ + 1;
  const int32_t size = CalcSlotSize(field);
  std::memset(slot - 1, 0, static_cast<size_t>(size) + 1);
  if (value.IsNull()) return;
  TABSVariant converted;
  converted.Assign(value);
  if (converted.Type() == TABSStorageType::String && field.StorageType() == TABSStorageType::String) {
    const std::string text = field.CutToSize(converted.AsString());
    std::memcpy(slot, text.data(), std::min<size_t>(text.size(), static_cast<size_t>(size) - 1));
  } else {
    converted.ConvertTo(field.StorageType());
    if (!converted.GetRaw(slot, size)) return;
  }
  slot[-1] = 1;
}

void TDataSet::WithRecordView(uint8_t* buffer, TDataSetState state, const std::function<void()>& read) {
  uint8_t* const old_view = view_;
  const TDataSetState old_state = state_;
  view_ = buffer;
  state_ = state;
  try {
    read();
  } catch (...) {
    view_ = old_view;
    state_ = old_state;
    throw;
  }
  view_ = old_view;
  state_ = old_state;
}

void TDataSet::CalculateFields(std::vector<uint8_t>& buffer) {
  if (calc_size_ == 0 || buffer.size() < static_cast<size_t>(BufferSize())) return;
  std::memset(buffer.data() + RecordDataSize(), 0, static_cast<size_t>(calc_size_));
  WithRecordView(buffer.data(), TDataSetState::dsCalcFields, [&] {
    for (FieldEntry& entry : fields_) {
      TField& field = *entry.field;
      if (field.FieldKind() != TFieldKind::fkLookup || field.LookupDataSet() == nullptr) continue;
      if (!field.LookupDataSet()->Active()) continue;
      std::vector<TDataVariant> keys;
      bool any_null = false;
      for (const std::string& name : SplitFieldNames(field.KeyFields())) {
        keys.push_back(FieldByName(name).AsVariant());
        any_null = any_null || keys.back().IsNull();
      }
      if (any_null || keys.empty()) continue;
      const TDataVariant result =
          field.LookupDataSet()->Lookup(field.LookupKeyFields(), keys, field.LookupResultField());
      if (result.IsNull()) continue;
      TABSVariant value;
      value.FromDataVariant(result);
      WriteCalcValue(field, buffer.data(), value);
    }
    if (auto_calc_fields_ && OnCalcFields) OnCalcFields(*this);
  });
}

TDataVariant TDataSet::Lookup(std::string_view, const std::vector<TDataVariant>&, std::string_view) {
  return TDataVariant::Null();
}

}  // namespace kelvorin
