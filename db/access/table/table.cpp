#include "db/access/table/table.h"

#include <algorithm>
#include <cstring>

#include "db/access/dataset/dataset_errors.h"
#include "db/access/local/access_errors.h"
#include "db/access/table/table_maintenance.h"
#include "db/storage/catalog/table_list_file.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/little_endian.h"
#include "db/tables/records/table_data.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {
namespace {

constexpr std::string_view kTemporaryAlias = "TEMP";
// Offsets of a key buffer's trailer from the end of the fields.
constexpr int32_t kKeyAssigned = 6;
constexpr int32_t kKeyExclusive = 7;
constexpr int32_t kKeyColumns = 8;

bool NeedsSize(TFieldType type) {
  return type == ftString || type == ftFixedChar || type == ftWideString || type == ftBytes || type == ftVarBytes;
}

bool Listed(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return SameObjectName(n, name); });
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ";") + name;
  return joined;
}

}  // namespace

void TABSTable::MasterLink::RecordChanged(TField* field) {
  if (field == nullptr || Listed(SplitFieldNames(table_.master_fields_), field->FieldName())) table_.MasterChanged();
}

TABSTable::TABSTable(const void* owner) : TABSDataSet(owner) {}

TABSTable::~TABSTable() {
  CloseQuietly();
  master_link_.SetDataSource(nullptr);
}

void TABSTable::CheckClosed() const {
  if (Active()) throw EABSException(native::kDatasetOpen);
}

void TABSTable::CheckTableName() const {
  if (table_name_.empty()) throw EABSException(native::kMissingTableName);
}

void TABSTable::CheckNotInTransaction(const TABSNativeError& error, const char* operation) {
  if (Database() != nullptr && Database()->InTransaction()) throw EABSException(error, {operation});
}

void TABSTable::SetTableName(std::string_view name) {
  CheckClosed();
  // The tables a copy fills are no user's to open.
  if (IsHiddenTableName(name)) CheckUserTableName(name);
  table_name_ = std::string(name);
}

void TABSTable::SetExclusive(bool exclusive) {
  CheckClosed();
  exclusive_ = exclusive;
}

void TABSTable::SetTemporary(bool temporary) {
  CheckClosed();
  temporary_ = temporary;
  if (temporary) SetDatabaseName(kTemporaryAlias);
}

// --- Definitions ---

void TABSTable::AddPersistentFieldDefs() {
  for (int32_t i = 0; i < FieldCount(); ++i) {
    const TField& field = Fields(i);
    if (field.FieldKind() != TFieldKind::fkData || declared_fields_.IndexOf(field.FieldName()) >= 0) continue;
    declared_fields_.Add(field.FieldName(), field.DataType(), field.Size(), field.Required());
    store_defs_ = true;
  }
}

std::unique_ptr<TABSIndexDef> TABSTable::EngineIndex(const TIndexDef& def) const {
  const std::vector<std::string> names = SplitFieldNames(def.fields);
  const std::vector<std::string> descending = SplitFieldNames(def.desc_fields);
  const std::vector<std::string> case_insensitive = SplitFieldNames(def.case_ins_fields);
  std::vector<std::string> directions;
  std::vector<std::string> cases;
  for (const std::string& name : names) {
    directions.push_back((def.options & ixDescending) != 0 || Listed(descending, name) ? "DESC" : "");
    cases.push_back((def.options & ixCaseInsensitive) != 0 || Listed(case_insensitive, name) ? "NO_CASE" : "");
  }
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName(def.name);
  index->SetColumns(names, directions, cases);
  index->SetPrimary((def.options & ixPrimary) != 0);
  index->SetUnique((def.options & (ixPrimary | ixUnique)) != 0);
  return index;
}

std::unique_ptr<TABSTableMetadata> TABSTable::CreateDefinitions() const {
  auto metadata = std::make_unique<TABSTableMetadata>();
  if (advanced_.Fields().Count() > 0) {
    metadata->Fields().Assign(advanced_.Fields());
    metadata->Indexes().Assign(advanced_.Indexes());
    metadata->Constraints().Assign(advanced_.Constraints());
    return metadata;
  }
  std::vector<TABSDatasetFieldDef> fields;
  for (int32_t i = 0; i < declared_fields_.Count(); ++i) {
    const TFieldDef& def = declared_fields_.Items(i);
    const TABSColumnType type = ColumnTypeOfDatasetType(def.data_type);
    if (NeedsSize(def.data_type) && def.size <= 0) {
      throw EABSException(native::kFieldNeedsSize, {table_name_, def.name, ColumnTypeName(type), def.size});
    }
    TABSDatasetFieldDef field;
    field.name = def.name;
    field.type = type;
    field.size = NeedsSize(def.data_type) ? def.size : 0;
    field.required = def.required;
    fields.push_back(std::move(field));
  }
  metadata->DefineFields(fields);
  for (int32_t i = 0; i < index_defs_.Count(); ++i) metadata->Indexes().Add(EngineIndex(index_defs_.Items(i)));
  metadata->DeriveIndexConstraints();
  return metadata;
}

void TABSTable::ReadDefinitions(const TABSTableData& table) {
  const TABSTableMetadata& stored = table.Metadata();
  restructure_.Fields().Assign(stored.Fields());
  read_fields_ = FieldsFingerprint(stored.Fields());
  restructure_.Indexes().Assign(stored.Indexes());
  restructure_.Constraints().Assign(stored.Constraints());
  for (int32_t i = restructure_.Indexes().Count() - 1; i >= 0; --i) {
    if (restructure_.Indexes().Items(i)->Temporary()) restructure_.Indexes().Delete(i);
  }
  FieldDefsOf(stored.Fields(), declared_fields_);
  index_defs_.Clear();
  for (int32_t i = 0; i < restructure_.Indexes().Count(); ++i) {
    const TABSIndexDef& index = *restructure_.Indexes().Items(i);
    std::vector<std::string> names, descending, case_insensitive;
    for (const TABSIndexColumn& column : index.Columns()) {
      names.push_back(column.field_name);
      if (column.descending) descending.push_back(column.field_name);
      if (column.case_insensitive) case_insensitive.push_back(column.field_name);
    }
    TIndexOptions options = 0;
    if (index.Primary()) options |= ixPrimary;
    if (index.Unique()) options |= ixUnique;
    if (!names.empty() && descending.size() == names.size()) options |= ixDescending;
    if (!names.empty() && case_insensitive.size() == names.size()) options |= ixCaseInsensitive;
    TIndexDef& def = index_defs_.Add(index.Name(), JoinNames(names), options);
    def.desc_fields = JoinNames(descending);
    def.case_ins_fields = JoinNames(case_insensitive);
  }
  index_defs_.SetUpdated(true);
}

void TABSTable::InitFieldDefs() {
  CheckTableName();
  if (Active()) {
    ReadDefinitions(Cursor().OpenTable());
    return;
  }
  WithDatabase(TABSDatabaseUse::kFieldList, [&] {
    TABSCursorOptions options;
    options.read_only = true;
    TABSLocalCursor cursor(Connection(), table_name_, options);
    cursor.Open();
    ReadDefinitions(cursor.OpenTable());
  });
}

template <typename Work>
void TABSTable::WithIndexCursor(Work&& work) {
  WithDatabase(TABSDatabaseUse::kIndexList, [&] {
    if (Active()) {
      CheckBrowseMode();
      work(Cursor());
      return;
    }
    CheckTableName();
    TABSLocalCursor cursor(Connection(), table_name_);
    cursor.Open();
    work(cursor);
  });
}

void TABSTable::UpdateIndexDefs() {
  if (index_defs_.Updated()) return;
  WithIndexCursor([&](TABSLocalCursor& cursor) { ReadDefinitions(cursor.OpenTable()); });
}

// --- Opening ---

std::unique_ptr<TABSLocalCursor> TABSTable::CreateCursor() {
  CheckTableName();
  AddPersistentFieldDefs();
  TABSCursorOptions options;
  options.read_only = CursorReadOnly();
  options.exclusive = exclusive_;
  options.create_missing = InMemory() || temporary_;
  auto cursor = std::make_unique<TABSLocalCursor>(Connection(), table_name_, options);
  if (options.create_missing && (declared_fields_.Count() > 0 || advanced_.Fields().Count() > 0)) {
    const auto definitions = CreateDefinitions();
    cursor->SetTableDefinitions(definitions->Fields(), definitions->Indexes(), definitions->Constraints());
  }
  cursor->Open();
  return cursor;
}

void TABSTable::CursorOpened() {
  TABSLocalCursor& cursor = Cursor();
  ReadDefinitions(cursor.OpenTable());
  for (std::vector<uint8_t>& key : keys_) {
    key.assign(static_cast<size_t>(cursor.KeyBufferSize()), 0);
    ClearKey(key);
  }
  if (!index_name_.empty()) {
    SelectIndex(index_name_);
  } else if (!index_field_names_.empty()) {
    SelectIndex(FindIndexForFields(index_field_names_));
  }
  ReadIndexFields();
  if (master_link_.Active() && !master_fields_.empty()) ApplyMasterRange();
}

void TABSTable::CursorClosing() {
  for (std::vector<uint8_t>& key : keys_) key.clear();
  master_range_ = false;
  index_fields_.clear();
}

// --- Existence and maintenance ---

bool TABSTable::Exists() {
  if (table_name_.empty()) return false;
  if (Database() != nullptr) return Database()->TableExists(table_name_);
  return WithDatabase(TABSDatabaseUse::kMaintenance, [&] { return Database()->TableExists(table_name_); });
}

void TABSTable::CreateTable() {
  CheckClosed();
  CheckTableName();
  WithDatabase(TABSDatabaseUse::kMaintenance, [&] {
    CheckNotInTransaction(native::kCreateTableInTransaction, "CreateTable");
    AddPersistentFieldDefs();
    const auto definitions = CreateDefinitions();
    // Engine definitions given: the plain ones follow them.
    if (advanced_.Fields().Count() > 0) FieldDefsOf(advanced_.Fields(), declared_fields_);
    TABSCursorOptions options;
    options.exclusive = true;
    TABSLocalCursor cursor(Connection(), table_name_, options);
    cursor.CreateTable(definitions->Fields(), definitions->Indexes(), definitions->Constraints());
  });
}

void TABSTable::DeleteTable() {
  CheckClosed();
  CheckTableName();
  WithDatabase(TABSDatabaseUse::kMaintenance, [&] {
    CheckNotInTransaction(native::kDeleteTableInTransaction, "DeleteTable");
    TABSCursorOptions options;
    options.exclusive = true;
    TABSLocalCursor cursor(Connection(), table_name_, options);
    cursor.DeleteTable();
  });
}

void TABSTable::EmptyTable() {
  CheckClosed();
  CheckTableName();
  WithDatabase(TABSDatabaseUse::kMaintenance, [&] {
    TABSCursorOptions options;
    options.exclusive = true;
    TABSLocalCursor cursor(Connection(), table_name_, options);
    cursor.EmptyTable();
  });
}

void TABSTable::RenameTable(std::string_view new_name) {
  CheckClosed();
  CheckTableName();
  WithDatabase(TABSDatabaseUse::kMaintenance, [&] {
    CheckNotInTransaction(native::kRenameTableInTransaction, "RenameTable");
    TABSCursorOptions options;
    options.exclusive = true;
    TABSLocalCursor cursor(Connection(), table_name_, options);
    cursor.RenameTable(new_name);
  });
  table_name_ = std::string(new_name);
}

// --- Indexes ---

void TABSTable::AddIndex(std::string_view name, std::string_view fields, TIndexOptions options,
                         std::string_view descending_fields, std::string_view case_insensitive_fields) {
  if (name.empty()) throw EABSException(native::kInvalidIndexName, {name});
  const std::vector<std::string> names = SplitFieldNames(fields);
  if (names.empty()) throw EABSException(native::kIndexFieldsEmpty, {fields});
  WithIndexCursor([&](TABSLocalCursor& cursor) {
    CheckNotInTransaction(native::kAddIndexInTransaction, "AddIndex");
    TIndexDef def{std::string(name), std::string(fields), options, std::string(descending_fields),
                  std::string(case_insensitive_fields)};
    AddTableIndex(cursor, EngineIndex(def));
  });
  index_defs_.SetUpdated(false);
}

void TABSTable::DeleteIndex(std::string_view name) {
  bool was_current = false;
  WithIndexCursor([&](TABSLocalCursor& cursor) {
    CheckNotInTransaction(native::kDeleteIndexInTransaction, "DeleteIndex");
    was_current = DeleteTableIndex(cursor, name);
  });
  index_defs_.SetUpdated(false);
  if (Active() && was_current) {
    index_name_.clear();
    index_field_names_.clear();
    for (size_t k = kRangeStart; k <= kCurRangeEnd; ++k) ClearKey(keys_[k]);
    ReadIndexFields();
    Resync();
  }
}

void TABSTable::DeleteAllIndexes() {
  WithIndexCursor([&](TABSLocalCursor& cursor) {
    CheckNotInTransaction(native::kDeleteAllIndexesInTransaction, "DeleteAllIndexes");
    TABSTableData& table = cursor.OpenTable();
    for (TABSCursor* other : table.Cursors()) {
      const auto* scan = dynamic_cast<const TABSScanCursor*>(other);
      if (other != &cursor && scan != nullptr && scan->IndexId() >= 0) {
        const TABSIndexDef* used = static_cast<const TABSIndexDef*>(table.Metadata().Indexes().FindByNumber(scan->IndexId()));
        if (used != nullptr && !used->Temporary()) throw EABSException(native::kIndexInUse, {used->Name()});
      }
    }
    const TABSIndexLock lock(cursor);
    cursor.DeleteAllIndexes();
  });
  index_defs_.SetUpdated(false);
  if (Active()) {
    index_name_.clear();
    index_field_names_.clear();
    for (size_t k = kRangeStart; k <= kCurRangeEnd; ++k) ClearKey(keys_[k]);
    ReadIndexFields();
    Resync();
  }
}

void TABSTable::ReadIndexFields() {
  index_fields_.clear();
  TABSLocalCursor& cursor = Cursor();
  if (cursor.IndexId() < 0) return;
  const auto* index =
      static_cast<const TABSIndexDef*>(cursor.OpenTable().Metadata().Indexes().FindByNumber(cursor.IndexId()));
  if (index == nullptr) throw EABSException(native::kCurrentIndexMissing, {std::to_string(cursor.IndexId())});
  for (const TABSIndexColumn& column : index->Columns()) index_fields_.push_back(column.field_name);
}

std::string TABSTable::FindIndexForFields(std::string_view fields) {
  const std::vector<std::string> wanted = SplitFieldNames(fields);
  if (wanted.empty()) return {};
  const TABSIndexDefs& indexes = Cursor().OpenTable().Metadata().Indexes();
  for (int32_t i = 0; i < indexes.Count(); ++i) {
    const TABSIndexDef& index = *indexes.Items(i);
    if (index.Temporary() || index.Columns().size() != wanted.size()) continue;
    if (std::equal(wanted.begin(), wanted.end(), index.Columns().begin(),
                   [](const std::string& name, const TABSIndexColumn& column) {
                     return SameObjectName(name, column.field_name);
                   })) {
      return index.Name();
    }
  }
  throw EABSException(native::kNoIndexForFields, {fields});
}

void TABSTable::SelectIndex(std::string_view name) {
  // The cursor drops its range with the old order: the keys were of its columns.
  Cursor().SwitchIndex(name);
  for (size_t k = kRangeStart; k <= kCurRangeEnd; ++k) ClearKey(keys_[k]);
  master_range_ = false;
  ReadIndexFields();
}

void TABSTable::SetIndexName(std::string_view name) {
  if (!Active()) {
    index_name_ = std::string(name);
    index_field_names_.clear();
    return;
  }
  CheckBrowseMode();
  if (SameObjectName(name, index_name_) && index_field_names_.empty()) return;
  SelectIndex(name);
  index_name_ = std::string(name);
  index_field_names_.clear();
  if (master_link_.Active() && !master_fields_.empty()) ApplyMasterRange();
  Resync();
}

void TABSTable::SetIndexFieldNames(std::string_view fields) {
  if (!Active()) {
    index_field_names_ = std::string(fields);
    index_name_.clear();
    return;
  }
  CheckBrowseMode();
  if (SameObjectName(fields, index_field_names_) && index_name_.empty()) return;
  SelectIndex(FindIndexForFields(fields));
  index_field_names_ = std::string(fields);
  index_name_.clear();
  if (master_link_.Active() && !master_fields_.empty()) ApplyMasterRange();
  Resync();
}

// --- Keys and ranges ---

void TABSTable::ClearKey(std::vector<uint8_t>& key) {
  if (key.empty()) return;
  TABSLocalCursor& cursor = Cursor();
  std::fill(key.begin(), key.end(), 0);
  cursor.InitRecordBuffer(key.data(), false);
  cursor.SetKeyTrailer(key.data(), false, false, 0);
}

bool TABSTable::KeyAssigned(const std::vector<uint8_t>& key) const {
  return !key.empty() && key[static_cast<size_t>(FieldsEnd() + kKeyAssigned)] != 0;
}

bool TABSTable::RangeApplied() const { return KeyAssigned(keys_[kCurRangeStart]) || KeyAssigned(keys_[kCurRangeEnd]); }

void TABSTable::StartKeyEdit(KeyIndex key, bool clear) {
  CheckActive();
  CheckBrowseMode();
  keys_[kSave] = keys_[key];
  if (clear) ClearKey(keys_[key]);
  editing_key_ = key;
  SetState(TDataSetState::dsSetKey);
  DataEvent(TDataEvent::deDataSetChange);
}

void TABSTable::SetRangeStart() { StartKeyEdit(kRangeStart, true); }
void TABSTable::SetRangeEnd() { StartKeyEdit(kRangeEnd, true); }
void TABSTable::EditRangeStart() { StartKeyEdit(kRangeStart, false); }
void TABSTable::EditRangeEnd() { StartKeyEdit(kRangeEnd, false); }

uint8_t* TABSTable::KeyRecord() { return keys_[editing_key_].empty() ? nullptr : keys_[editing_key_].data(); }

const uint8_t* TABSTable::KeyRecord() const {
  return keys_[editing_key_].empty() ? nullptr : keys_[editing_key_].data();
}

void TABSTable::CheckKeyField(const TField& field) const {
  if (field.FieldKind() != TFieldKind::fkData || !Listed(index_fields_, field.FieldName())) {
    throw EABSException(native::kFieldNotInIndex, {field.FieldName()});
  }
}

void TABSTable::EndSetKey(bool keep) {
  std::vector<uint8_t>& key = keys_[editing_key_];
  if (keep) {
    key[static_cast<size_t>(FieldsEnd() + kKeyAssigned)] = 1;
  } else {
    key = keys_[kSave];
  }
}

bool TABSTable::KeyExclusive() const {
  const std::vector<uint8_t>& key = keys_[editing_key_];
  return !key.empty() && key[static_cast<size_t>(FieldsEnd() + kKeyExclusive)] != 0;
}

void TABSTable::SetKeyExclusive(bool exclusive) {
  std::vector<uint8_t>& key = keys_[editing_key_];
  if (key.empty()) throw EABSException(native::kDatasetClosed);
  key[static_cast<size_t>(FieldsEnd() + kKeyExclusive)] = exclusive ? 1 : 0;
}

int32_t TABSTable::KeyFieldCount() const {
  const std::vector<uint8_t>& key = keys_[editing_key_];
  return key.empty() ? 0 : LoadLE<int32_t>(key.data() + FieldsEnd() + kKeyColumns);
}

void TABSTable::SetKeyFieldCount(int32_t count) {
  if (count < 0) throw EABSException(native::kKeyFieldCount, {count});
  std::vector<uint8_t>& key = keys_[editing_key_];
  if (key.empty()) throw EABSException(native::kDatasetClosed);
  StoreLE(key.data() + FieldsEnd() + kKeyColumns, count);
}

void TABSTable::ApplyKeys(bool move_first) {
  std::vector<uint8_t>& start = keys_[kRangeStart];
  std::vector<uint8_t>& end = keys_[kRangeEnd];
  if (start == keys_[kCurRangeStart] && end == keys_[kCurRangeEnd]) return;
  TABSLocalCursor& cursor = Cursor();
  if (KeyAssigned(start) || KeyAssigned(end)) {
    cursor.SetKeyRange(start.data(), end.data());
  } else {
    cursor.CancelRange();
  }
  keys_[kCurRangeStart] = start;
  keys_[kCurRangeEnd] = end;
  if (move_first) First();
}

void TABSTable::ApplyRange() {
  CheckActive();
  CheckBrowseMode();
  ApplyKeys(true);
  master_range_ = false;
}

void TABSTable::CancelRange() {
  CheckActive();
  CheckBrowseMode();
  if (!RangeApplied()) return;
  master_range_ = false;
  Cursor().CancelRange();
  ClearKey(keys_[kCurRangeStart]);
  ClearKey(keys_[kCurRangeEnd]);
  Resync();
}

void TABSTable::SetRange(const std::vector<TDataVariant>& start, const std::vector<TDataVariant>& end) {
  const auto write_key = [&](KeyIndex key, const std::vector<TDataVariant>& values) {
    StartKeyEdit(key, true);
    try {
      for (size_t i = 0; i < values.size() && i < index_fields_.size(); ++i) {
        FieldByName(index_fields_[i]).SetAsVariant(values[i]);
      }
      SetKeyFieldCount(static_cast<int32_t>(values.size()));
    } catch (...) {
      Cancel();
      throw;
    }
    Post();
  };
  write_key(kRangeStart, start);
  write_key(kRangeEnd, end);
  ApplyRange();
}

// --- Master and detail ---

void TABSTable::SetMasterSource(TDataSource* source) {
  for (TDataSet* dataset = source == nullptr ? nullptr : source->DataSet(); dataset != nullptr;
       dataset = dataset->MasterDataSet()) {
    if (dataset == this) throw EABSException(native::kCircularDataLinks);
  }
  master_link_.SetDataSource(source);
}

void TABSTable::SetMasterFields(std::string_view fields) {
  master_fields_ = std::string(fields);
  MasterChanged();
}

std::vector<TDataVariant> TABSTable::MasterValues() const {
  std::vector<TDataVariant> values;
  TDataSet* master = MasterDataSet();
  for (const std::string& name : SplitFieldNames(master_fields_)) values.push_back(master->FieldByName(name).AsVariant());
  return values;
}

void TABSTable::ApplyMasterRange() {
  const std::vector<TDataVariant> values = MasterValues();
  const size_t count = std::min(values.size(), index_fields_.size());
  TABSTableData& table = Cursor().OpenTable();
  for (KeyIndex k : {kRangeStart, kRangeEnd}) {
    std::vector<uint8_t>& key = keys_[k];
    ClearKey(key);
    for (size_t i = 0; i < count; ++i) {
      TABSVariant value;
      if (!values[i].IsNull()) value.FromDataVariant(values[i]);
      table.FieldManager().SetFieldValue(table.Metadata().Fields().IndexOfName(index_fields_[i]), value, key.data());
    }
    Cursor().SetKeyTrailer(key.data(), true, false, static_cast<int32_t>(count));
  }
  ApplyKeys(false);
  master_range_ = true;
}

void TABSTable::DropMasterRange() {
  master_range_ = false;
  for (size_t k = kRangeStart; k <= kCurRangeEnd; ++k) ClearKey(keys_[k]);
  Cursor().CancelRange();
  First();
}

void TABSTable::MasterChanged() {
  if (!Active() || State() == TDataSetState::dsSetKey) return;
  if (master_fields_.empty() || !master_link_.Active()) {
    if (!master_range_) return;
    CheckBrowseMode();
    DropMasterRange();
    return;
  }
  CheckBrowseMode();
  const std::vector<uint8_t> start = keys_[kCurRangeStart];
  const std::vector<uint8_t> end = keys_[kCurRangeEnd];
  ApplyMasterRange();
  if (start != keys_[kCurRangeStart] || end != keys_[kCurRangeEnd]) First();
}

void TABSTable::InitNewRecord() {
  if (master_fields_.empty() || !master_link_.Active()) return;
  const std::vector<TDataVariant> values = MasterValues();
  for (size_t i = 0; i < values.size() && i < index_fields_.size(); ++i) {
    if (TField* field = FindField(index_fields_[i])) field->SetAsVariant(values[i]);
  }
}

// --- Auto-increment ---

int64_t TABSTable::LastAutoIncValue(int32_t field_index) {
  CheckActive();
  TABSLocalCursor& cursor = Cursor();
  TABSTableData& table = cursor.OpenTable();
  std::lock_guard lock(table.CriticalSection());
  table.RefreshSharedState(cursor.SessionNumber());
  const std::vector<int64_t>& values = table.State().autoinc_values;
  if (field_index < 0 || static_cast<size_t>(field_index) >= values.size()) {
    throw EABSException(native::kFieldNotFound, {std::to_string(field_index)});
  }
  return values[static_cast<size_t>(field_index)];
}

int64_t TABSTable::LastAutoIncValue(std::string_view field_name) {
  CheckActive();
  const int32_t index = Cursor().OpenTable().Metadata().Fields().IndexOfName(field_name);
  if (index < 0) throw EABSException(native::kFieldNotFound, {field_name});
  return LastAutoIncValue(index);
}

}  // namespace kelvorin
