// The whole-table copies of the table component: copy, import, restructure
// and the field rename. Each fills a hidden table (hidden_table.h) and lets
// it take its name in one commit, so that a failure, a stop or the
// process's death leaves the destination as it was or wholly new.
#include <algorithm>
#include <mutex>
#include <random>

#include "db/access/dataset/dataset_errors.h"
#include "db/access/dataset/engine_error.h"
#include "db/access/session/access_events.h"
#include "db/access/session/database.h"
#include "db/access/table/hidden_table.h"
#include "db/access/table/record_copy.h"
#include "db/access/table/stored_copy.h"
#include "db/access/table/table.h"
#include "db/access/table/table_maintenance.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/index_def.h"
#include "db/tables/records/table_data.h"
#include "platform/file.h"

namespace kelvorin {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::string_view kMemoryAlias = "MEMORY";

std::string RandomSuffix() {
  static std::mutex mutex;
  static std::minstd_rand random{std::random_device{}()};
  std::lock_guard lock(mutex);
  return std::to_string(std::uniform_int_distribution<int32_t>(0, 999999)(random));
}

bool SameFile(const std::string& a, const std::string& b) {
  platform::FileIdentity first;
  platform::FileIdentity second;
  if (platform::IdentifyFile(a, &first) != 0 || platform::IdentifyFile(b, &second) != 0) return false;
  return first == second;
}

}  // namespace

// The progress of one copy: the table's own events, or else (unless the
// database is silent) the application's progress window.
class TABSTable::CopyEvents {
 public:
  CopyEvents(TABSTable& table, const TableEvent& before, const CopyProgressEvent& progress, const TableEvent& after,
             std::string_view caption)
      : table_(table), progress_(progress), after_(after) {
    if (before) {
      before(table_);
    } else if (!progress_ && (table_.Database() == nullptr || !table_.Database()->SilentMode())) {
      window_ = true;
      AccessProgress().Open(caption);
      AccessProgress().Step(0);
    }
  }
  ~CopyEvents() {
    try {
      if (after_) {
        after_(table_);
      } else if (window_) {
        AccessProgress().Close();
      }
    } catch (...) {
      ReportCaughtError();
    }
  }
  CopyEvents(const CopyEvents&) = delete;
  CopyEvents& operator=(const CopyEvents&) = delete;

  void Report(int32_t percent, bool& continue_flag) {
    if (progress_) {
      progress_(table_, percent, continue_flag);
    } else if (window_ && !AccessProgress().Step(percent)) {
      continue_flag = false;
    }
  }

 private:
  TABSTable& table_;
  const CopyProgressEvent& progress_;
  const TableEvent& after_;
  bool window_ = false;
};

std::string TABSTable::FieldsFingerprint(const TABSFieldDefs& fields) {
  std::string print;
  for (int32_t i = 0; i < fields.Count(); ++i) {
    const TABSFieldDef& field = *fields.Items(i);
    print += field.Name() + '\0' + std::to_string(static_cast<int>(field.ColumnType())) + '\0' +
             std::to_string(field.DeclaredSize()) + '\0';
  }
  return print;
}

// --- Copy ---

bool TABSTable::CopyTable(std::string_view new_name, std::string& error_text, int32_t progress_end,
                          int32_t progress_start, bool copy_indexes, bool overwrite, bool ignore_errors,
                          std::string_view destination_file) {
  bool continue_flag = true;
  return CopyTable(new_name, error_text, progress_end, progress_start, copy_indexes, overwrite, ignore_errors,
                   destination_file, continue_flag);
}

bool TABSTable::CopyTable(std::string_view new_name, std::string& error_text, int32_t progress_end,
                          int32_t progress_start, bool copy_indexes, bool overwrite, bool ignore_errors,
                          std::string_view destination_file, bool& continue_flag) {
  CheckClosed();
  CheckTableName();
  CheckUserTableName(new_name);
  const std::string file(destination_file);
  return WithDatabase(TABSDatabaseUse::kMaintenance, [&]() -> bool {
    const auto refuse = [&](const TABSNativeError& error, std::initializer_list<TABSFormatArg> args) {
      const EABSException refusal(error, args);
      if (!ignore_errors) throw refusal;
      error_text += refusal.what();
      return false;
    };
    const bool own = file.empty();
    const bool memory = !own && SameObjectName(file, kMemoryAlias);
    const std::string own_file = Connection().Settings().file_name;
    if ((own || (!memory && SameFile(file, own_file)) || (memory && SameObjectName(own_file, kMemoryAlias))) &&
        SameObjectName(new_name, table_name_)) {
      return refuse(native::kCannotCopyIntoItself, {file, table_name_});
    }
    // The destination's connection: this table's own, "MEMORY", or a
    // temporary database component on the file.
    std::unique_ptr<TABSLocalSession> memory_session;
    std::unique_ptr<TABSDatabase> temporary;
    TABSLocalSession* destination = &Connection();
    if (memory) {
      TABSSessionSettings settings;
      settings.file_name = std::string(kMemoryAlias);
      memory_session = std::make_unique<TABSLocalSession>(settings);
      memory_session->Connect();
      destination = memory_session.get();
    } else if (!own) {
      temporary = std::make_unique<TABSDatabase>(nullptr, "TempDb" + RandomSuffix());
      temporary->SetDatabaseName(temporary->Name());
      temporary->SetDatabaseFileName(file);
      temporary->SetSilentMode(true);
      temporary->Open();
      destination = &temporary->Connection();
    }
    return CopyInto(*destination, new_name, file, copy_indexes, overwrite, ignore_errors, progress_end,
                    progress_start, continue_flag, error_text);
  });
}

bool TABSTable::CopyInto(TABSLocalSession& destination, std::string_view new_name,
                         const std::string& destination_label, bool copy_indexes, bool overwrite, bool ignore_errors,
                         int32_t progress_end, int32_t progress_start, bool& continue_flag, std::string& error_text) {
  // A copy into TEMP (a statement's temporary copy) is never refused.
  if (destination.VolatileDatabase() == nullptr && destination.InTransaction()) {
    throw EABSException(native::kCopyTableInTransaction, {"CopyTable"});
  }
  TABSCursorOptions options;
  options.read_only = true;
  TABSLocalCursor reader(Connection(), table_name_, options);
  reader.Open();
  ReadDefinitions(reader.OpenTable());
  CopyEvents events(*this, BeforeCopy, OnCopyProgress, AfterCopy, "Copy Table...");
  if (destination.TableExists(new_name) && !overwrite) {
    const EABSException refusal(native::kCopyTargetExists, {destination_label, table_name_});
    if (!ignore_errors) throw refusal;
    error_text += refusal.what();
    return false;
  }
  TABSTableMetadata definitions;
  CopyDefinitions(reader.OpenTable().Metadata(), definitions);
  if (!copy_indexes) {
    definitions.Indexes().Clear();
    definitions.Constraints().Clear();
  }
  std::unique_ptr<TABSHiddenTable> copy;
  try {
    copy = std::make_unique<TABSHiddenTable>(destination, definitions, new_name);
  } catch (const std::exception& error) {
    const EABSException refusal(native::kCopyCreateError, {destination_label, table_name_, error.what()});
    if (!ignore_errors) throw refusal;
    error_text += refusal.what();
    return false;
  }
  const TABSRecordMap map(reader.OpenTable().Metadata().Fields(), copy->Table().Metadata().Fields());
  TABSStoredCopyRequest request;
  request.progress_start = progress_start;
  request.progress_end = progress_end;
  request.progress = [&events](int32_t percent, bool& flag) { events.Report(percent, flag); };
  TABSCopyMessages messages;
  // Records are never left out of a copy: the first error stops it.
  const bool copied = CopyStoredRecords(reader, *copy, map, request, continue_flag, messages);
  error_text += messages.Text();
  if (!copied) return false;
  copy->TakeName(AutoIncFloors(reader.OpenTable(), copy->Table(), map));
  return true;
}

// --- Restructure ---

bool TABSTable::RestructureTable(std::string& error_text) {
  CheckClosed();
  CheckTableName();
  return WithDatabase(TABSDatabaseUse::kMaintenance, [&]() -> bool {
    TABSLocalSession& session = Connection();
    if (session.InTransaction()) throw EABSException(native::kRestructureInTransaction, {"RestructureTable"});
    TABSStoredCopyRequest request;
    request.progress_start = 0;
    request.progress_end = 99;
    request.ignore_errors = true;
    const auto edit = [&](const TABSTableMetadata& stored, TABSTableMetadata& definitions) {
      if (FieldsFingerprint(stored.Fields()) != read_fields_) {
        throw EABSException(native::kStoredFieldsChanged, {table_name_});
      }
      CopyDefinitions(restructure_, definitions);
    };
    CopyEvents events(*this, BeforeRestructure, OnRestructureProgress, AfterRestructure, "Restructure Table...");
    request.progress = [&events](int32_t percent, bool& flag) { events.Report(percent, flag); };
    bool continue_flag = true;
    return RestructureStoredTable(session, table_name_, edit, request, continue_flag, error_text);
  });
}

// --- Field rename ---

void TABSTable::RenameField(std::string_view old_name, std::string_view new_name) {
  CheckClosed();
  CheckTableName();
  const bool exclusive = exclusive_;
  exclusive_ = true;
  struct RestoreExclusive {
    bool& flag;
    bool value;
    ~RestoreExclusive() { flag = value; }
  } restore{exclusive_, exclusive};
  WithDatabase(TABSDatabaseUse::kMaintenance, [&] {
    TABSLocalSession& session = Connection();
    if (session.InTransaction()) throw EABSException(native::kRenameFieldInTransaction, {"RenameField"});
    TABSCursorOptions options;
    options.exclusive = true;
    TABSLocalCursor cursor(session, table_name_, options);
    cursor.Open();
    cursor.RenameField(old_name, new_name);
    ReadDefinitions(cursor.OpenTable());
  });
}

// --- Import ---

bool TABSTable::ImportTable(TDataSet& source, std::string& error_text, const TIndexDefs* index_defs) {
  CheckClosed();
  CheckTableName();
  declared_fields_.Clear();
  index_defs_.Clear();
  advanced_.Fields().Clear();
  advanced_.Indexes().Clear();
  advanced_.Constraints().Clear();
  std::string appended;
  if (auto* engine = dynamic_cast<TABSDataSet*>(&source); engine != nullptr && engine->HasCursor() &&
                                                           engine->Cursor().IsOpen()) {
    CopyDefinitions(engine->Cursor().OpenTable().Metadata(), advanced_);
  } else {
    for (int32_t i = 0; i < source.FieldDefs().Count(); ++i) {
      const TFieldDef& def = source.FieldDefs().Items(i);
      declared_fields_.Add(def.name, def.data_type, def.size, def.required);
    }
    bool primary_named = false;
    for (int32_t i = 0; index_defs != nullptr && i < index_defs->Count(); ++i) {
      TIndexDef def = index_defs->Items(i);
      if (def.fields.empty()) {
        appended += "Cannot import index '" + def.name + "'. Index type is not supported, index skipped";
        continue;
      }
      if (def.name.empty() && !primary_named) {
        def.name = "idxPrimaryKey";
        primary_named = true;
      }
      TIndexDef& added = index_defs_.Add(def.name, def.fields, def.options);
      added.desc_fields = def.desc_fields;
      added.case_ins_fields = def.case_ins_fields;
    }
  }
  error_text += appended;
  bool result = appended.empty();
  WithDatabase(TABSDatabaseUse::kMaintenance, [&] {
    TABSLocalSession& session = Connection();
    if (session.VolatileDatabase() == nullptr && session.InTransaction()) {
      throw EABSException(native::kImportTableInTransaction, {"ImportTable"});
    }
    std::unique_ptr<TABSHiddenTable> imported;
    try {
      const auto definitions = CreateDefinitions();
      imported = std::make_unique<TABSHiddenTable>(session, *definitions, table_name_);
    } catch (const std::exception& error) {
      error_text += std::string("Error importing table. Cannot create table due to error: ") + error.what() + kLineEnd;
      result = false;
      return;
    }
    TABSTableData& table = imported->Table();
    TABSCopyMessages messages;
    {
      CopyEvents events(*this, BeforeImport, OnImportProgress, AfterImport, "Import Table...");
      bool continue_flag = true;
      source.CheckBrowseMode();
      source.Refresh();
      const int64_t count = source.RecordCount();
      const int64_t step = CopyProgressStep(count, 0, 100);
      const TBookmark position = source.GetBookmark();
      source.First();
      int64_t n = 1;
      while (!source.Eof()) {
        uint8_t* record = imported->NewRecord();
        for (int32_t i = 0; i < source.FieldCount(); ++i) {
          TField& from = source.Fields(i);
          const TABSFieldDef* to = table.Metadata().Fields().Find(from.FieldName());
          if (to == nullptr) continue;
          try {
            const int32_t field_no = table.Metadata().Fields().IndexOfName(to->Name());
            table.FieldManager().SetFieldValue(field_no, from.Value(), record);
          } catch (const std::exception& error) {
            messages.Add("Error copying table. Record #" + std::to_string(n) + ", field '" + from.FieldName() +
                         "' was copied with Null value due to error: " + error.what() + kLineEnd);
          }
        }
        try {
          imported->Append();
        } catch (const EABSEngineError& error) {
          if (error.ErrorCode() != static_cast<int32_t>(TABSPostCode::kConstraintViolated)) throw;
          messages.Add("Error copying table. Record #" + std::to_string(n) + " was not imported due to error: " +
                       error.what() + kLineEnd + kLineEnd);
        }
        ++n;
        source.Next();
        if ((n - 2) % step == 0) {
          events.Report(std::clamp(CopyProgress(n - 1, count, 0, 100), 0, 100), continue_flag);
          if (!continue_flag) {
            messages.Add(std::string("Terminated by User.") + kLineEnd);
            break;
          }
        }
      }
      if (source.BookmarkValid(position)) source.GotoBookmark(position);
      if (!continue_flag) {
        error_text += "Error importing table. Cannot copy data due to error: " + messages.Text() + kLineEnd;
        result = false;
        return;
      }
    }
    imported->TakeName({});
    if (!messages.Empty()) {
      error_text += "Error importing table. Cannot copy data due to error: " + messages.Text() + kLineEnd;
      result = false;
    }
  });
  return result;
}

}  // namespace kelvorin
