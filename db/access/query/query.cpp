#include "db/access/query/query.h"

#include "db/access/dataset/caught_errors.h"
#include "db/access/ddl/ddl_statements.h"
#include "db/access/dataset/dataset_errors.h"
#include "db/access/dataset/field.h"
#include "db/access/query/query_errors.h"
#include "db/access/query/select_into.h"
#include "db/access/session/session.h"
#include "db/query/dml/data_statements.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/meta_object_def.h"
#include "platform/locale_profile.h"

namespace kelvorin {

// --- TQueryLines ---

std::string TQueryLines::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TQueryLines::Changed() {
  if (OnChange) OnChange();
}

void TQueryLines::Add(std::string_view line) {
  lines_.emplace_back(line);
  Changed();
}

void TQueryLines::Clear() {
  lines_.clear();
  Changed();
}

void TQueryLines::Assign(const std::vector<std::string>& lines) {
  lines_ = lines;
  Changed();
}

void TQueryLines::SetText(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  Assign(lines);
}

void TQueryLines::SetCommaText(std::string_view text) {
  std::vector<std::string> items;
  size_t i = 0;
  const auto blank = [&](size_t at) { return static_cast<unsigned char>(text[at]) <= ' '; };
  while (i < text.size() && blank(i)) ++i;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      for (++i; i < text.size(); ++i) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        item += text[i];
      }
    } else {
      while (i < text.size() && text[i] != ',' && !blank(i)) item += text[i++];
    }
    items.push_back(std::move(item));
    while (i < text.size() && blank(i)) ++i;
    if (i < text.size() && text[i] == ',') {
      ++i;
      while (i < text.size() && blank(i)) ++i;
      if (i == text.size()) items.emplace_back();
    }
  }
  Assign(items);
}

// --- TABSQuery ---

TABSQuery::TABSQuery(const void* owner) : TABSDataSet(owner) {
  sql_.OnChange = [this] { SQLChanged(); };
}

TABSQuery::~TABSQuery() {
  CloseQuietly();
  RunCaught([&] { Unprepare(); });
  master_link_.SetDataSource(nullptr);
}

void TABSQuery::AssignSQL(const std::vector<std::string>& lines) {
  if (lines == sql_.Lines()) return;
  Close();
  Unprepare();
  sql_.Assign(lines);
}

void TABSQuery::SQLChanged() {
  Close();
  Unprepare();
  if (param_check_) ReadParams();
}

void TABSQuery::ReadParams() {
  std::vector<std::string> names;
  try {
    names = TABSLexer::ParameterNames(sql_.Text());
  } catch (const EABSException&) {
    // A text being edited may not be whole yet: running it reports the fault.
    return;
  }
  const auto& locale = platform::CurrentLocale();
  std::vector<TQueryParam> params;
  for (const std::string& name : names) {
    TQueryParam param;
    param.name = name;
    for (TQueryParam& old : params_) {
      if (locale.UpperAnsi(old.name) == locale.UpperAnsi(name)) {
        param.value = old.value;
        param.bound = old.bound;
        break;
      }
    }
    params.push_back(std::move(param));
  }
  params_ = std::move(params);
}

TQueryParam& TABSQuery::ParamByName(std::string_view name) {
  const auto& locale = platform::CurrentLocale();
  for (TQueryParam& param : params_) {
    if (locale.UpperAnsi(param.name) == locale.UpperAnsi(name)) return param;
  }
  throw EABSException(native::kQueryParamNotFound, {name});
}

void TABSQuery::SetParamValue(std::string_view name, const TABSVariant& value) {
  TQueryParam& param = ParamByName(name);
  param.value = value;
  param.bound = true;
}

void TABSQuery::SetRequestLive(bool on) {
  if (Active()) throw EABSException(native::kQueryPrepareOpen);
  request_live_ = on;
  Unprepare();
}

void TABSQuery::SetDataSource(TDataSource* source) {
  for (TDataSet* dataset = source == nullptr ? nullptr : source->DataSet(); dataset != nullptr;
       dataset = dataset->MasterDataSet()) {
    if (dataset == this) throw EABSException(native::kCircularDataLinks);
  }
  master_link_.SetDataSource(source);
}

TABSLocalSession& TABSQuery::OpenDatabase(std::string_view name) {
  if (name.empty() || SameObjectName(name, DatabaseName())) return Connection();
  for (TABSDatabase* database : other_databases_) {
    if (SameObjectName(database->DatabaseName(), name)) return database->Connection();
  }
  TABSDatabase& database = OwnSession().OpenDatabase(name, Owner());
  other_databases_.push_back(&database);
  return database.Connection();
}

void TABSQuery::CloseOtherDatabases() noexcept {
  for (TABSDatabase* database : other_databases_) {
    RunCaught([&] { database->Session().CloseDatabase(*database); });
  }
  other_databases_.clear();
}

TABSDatabase& TABSQuery::HeldDatabase() const {
  TABSDatabase* database = Database();
  if (database == nullptr) throw EABSException(native::kNilPointer10009);
  return *database;
}

void TABSQuery::Prepare() {
  RegisterDataStatements();
  RegisterDDLStatements();
  if (Active()) throw EABSException(native::kQueryPrepareOpen);
  if (Prepared()) return;
  const std::string text = sql_.Text();
  if (text.size() < 2) throw EABSException(native::kQueryTextTooShort);
  rows_affected_ = -1;
  AcquireDatabase(TABSDatabaseUse::kPreparedQuery);
  try {
    TABSSQLQueryContext context;
    context.session = &Connection();
    context.in_memory = InMemory();
    context.request_live = request_live_;
    context.open_database = [this](std::string_view name) -> TABSLocalSession& { return OpenDatabase(name); };
    context.copy_into = CopyIntoNewTable;
    context.cancelled = [this] { return OnCancelCheck && OnCancelCheck(); };
    // Through the database object, so that its datasets hear of a rollback.
    context.start_transaction = [this] { HeldDatabase().StartTransaction(); };
    context.commit = [this](bool flush) { HeldDatabase().Commit(flush); };
    context.rollback = [this] { HeldDatabase().Rollback(); };
    processor_ = std::make_unique<TABSSQLProcessor>(std::move(context));
    processor_->SetSQL(text);
    PassParams();
    processor_->Parse();
  } catch (...) {
    processor_.reset();
    CloseOtherDatabases();
    ReleaseDatabase(TABSDatabaseUse::kPreparedQuery);
    throw;
  }
}

void TABSQuery::Unprepare() {
  if (processor_ == nullptr) return;
  processor_.reset();
  CloseOtherDatabases();
  ReleaseDatabase(TABSDatabaseUse::kPreparedQuery);
}

void TABSQuery::PassParams() {
  TABSSQLParams& target = processor_->Params();
  target.Clear();
  TDataSet* master = master_link_.DataSet();
  for (const TQueryParam& param : params_) {
    TABSSQLParam& item = target.AddParam();
    item.SetName(param.name);
    TABSVariant& value = item;
    if (param.bound || master == nullptr) {
      value = param.value;
    } else if (master->Active()) {
      // The master's value goes to this run only; the parameter stays unbound.
      if (TField* field = master->FindField(param.name)) value = field->Value();
    }
    // A NULL needs a type to stand in an expression.
    if (value.IsNull() && value.Type() == TABSStorageType::None) {
      value = TABSVariant(TABSStorageType::String);
      value.SetNull();
    }
  }
}

std::unique_ptr<TABSLocalCursor> TABSQuery::Run(bool open) {
  if (sql_.Count() == 0) throw EABSException(native::kQueryNoLines);
  Prepare();
  PassParams();
  processor_->Parse();
  // Refused before anything runs: the statements before the last would
  // otherwise change the data and then the query fail.
  if (open && !processor_->LastYieldsRows()) throw EABSException(native::kQueryLastStatementNoRows);
  std::unique_ptr<TABSLocalCursor> cursor = processor_->Run(open);
  if (!open) rows_affected_ = processor_->RowsAffected();
  return cursor;
}

std::unique_ptr<TABSLocalCursor> TABSQuery::CreateCursor() {
  TABSDatabase* database = Database();
  const bool silent = database != nullptr && database->SilentMode();
  struct RestoreSilent {
    TABSDatabase* database;
    bool silent;
    ~RestoreSilent() {
      if (database != nullptr) database->SetSilentMode(silent);
    }
  } restore{database, silent};
  if (database != nullptr) database->SetSilentMode(true);
  // Read-only unless the processor delivers a live result.
  SetReadOnly(!request_live_);
  try {
    std::unique_ptr<TABSLocalCursor> cursor = Run(true);
    if (cursor == nullptr) throw EABSException(native::kQueryLastStatementNoRows);
    return cursor;
  } catch (...) {
    Unprepare();
    throw;
  }
}

void TABSQuery::InternalClose() {
  TABSDataSet::InternalClose();
  Unprepare();
}

void TABSQuery::CloseForDisconnect() noexcept {
  TABSDataSet::CloseForDisconnect();
  RunCaught([&] { Unprepare(); });
}

void TABSQuery::ExecSQL() {
  if (Active()) throw EABSException(native::kQueryExecOpen);
  try {
    WithDatabase(TABSDatabaseUse::kPreparedQuery, [&] { Run(false); });
  } catch (...) {
    Unprepare();
    throw;
  }
}

void TABSQuery::MasterChanged() {
  if (!Active() || rerunning_) return;
  TDataSet* master = master_link_.DataSet();
  if (master != nullptr && master->State() == TDataSetState::dsSetKey) return;
  rerunning_ = true;
  DisableControls();
  struct Restore {
    TABSQuery* query;
    ~Restore() {
      query->EnableControls();
      query->rerunning_ = false;
    }
  } restore{this};
  try {
    Close();
    Open();
  } catch (...) {
    // The link hands the error to the hook; the query stays closed.
    CloseQuietly();
    throw;
  }
}

}  // namespace kelvorin
