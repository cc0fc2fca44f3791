#include "db/query/operators/ao_table.h"

#include "db/query/operators/operator_errors.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

TABSAOTable::TABSAOTable(std::shared_ptr<TABSAOEnv> env, TABSLocalSession& session, std::string table_name,
                         std::string alias)
    : TABSAO(std::move(env)), session_(&session) {
  table_name_ = std::move(table_name);
  alias_ = std::move(alias);
  cursor_ = std::make_unique<TABSLocalCursor>(session, table_name_);
  cursor_->Open();
  reader_ = TABSRowReader(*cursor_);
  rows_ = &reader_;
  const TABSFieldDefs& fields = cursor_->OpenTable().Metadata().Fields();
  for (int32_t i = 0; i < fields.Count(); ++i) {
    const TABSFieldDef& field = *fields.Items(i);
    TABSFieldLink link;
    link.name = field.Name();
    link.base_name = field.Name();
    link.qualifier = table_name_;
    link.alias = alias_;
    link.data_type = field.ColumnType();
    link.size = field.DeclaredSize();
    link.from_table = true;
    link.source_no = i;
    columns_.push_back(std::move(link));
  }
}

TABSAOTable::~TABSAOTable() {
  if (locked_) {
    try {
      Unlock();
    } catch (...) {
      // The cursor's close below gives up what the table still holds.
    }
  }
}

bool TABSAOTable::Lock(int32_t sleep_ms, int32_t tries) {
  if (locked_) return true;
  locked_ = cursor_->LockTable(TABSLockType::kRead, sleep_ms, tries);
  return locked_;
}

void TABSAOTable::Unlock() {
  if (!locked_) return;
  locked_ = false;
  cursor_->UnlockTable(TABSLockType::kRead);
}

void TABSAOTable::SetProjection(std::vector<TABSSelectListItem>& items, bool distinct) {
  for (const TABSSelectListItem& item : items) {
    if (item.is_expression || item.table_name.empty() || item.column_no >= 0) continue;
    if (!SameObjectName(item.table_name, table_name_) && !SameObjectName(item.table_name, alias_)) {
      throw EABSException(native::kAOInvalidQualifier, {table_name_, alias_, item.table_name});
    }
  }
  TABSAO::SetProjection(items, distinct);
}

void TABSAOTable::SkipFailing() {
  while (!reader_.Eof()) {
    env_->Step("row");
    if (PassesCondition()) return;
    reader_.Next();
  }
}

void TABSAOTable::OwnFirst() {
  reader_.First();
  SkipFailing();
}

void TABSAOTable::OwnNext() {
  reader_.Next();
  SkipFailing();
}

namespace {
// Ends a visit of the records early.
struct StopVisit {};
}  // namespace

void TABSAOTable::ForEachRow(const std::function<bool()>& row) {
  TABSTableData& table = cursor_->OpenTable();
  try {
    table.ForEachRecord(cursor_->SessionNumber(), [&](TABSRecordId, const uint8_t* record) {
      reader_.SetVisited(record);
      env_->Step("row");
      if (PassesCondition() && !row()) throw StopVisit{};
    });
  } catch (const StopVisit&) {
    // The caller has the rows it wanted.
  } catch (...) {
    reader_.SetVisited(nullptr);
    throw;
  }
  reader_.SetVisited(nullptr);
}

bool TABSAOTable::OwnEof() { return reader_.Eof(); }

int64_t TABSAOTable::OwnRecordCount() {
  if (condition_ == nullptr || condition_->IsEmpty()) return cursor_->RecordCount();
  int64_t count = 0;
  for (OwnFirst(); !OwnEof(); OwnNext()) ++count;
  return count;
}

}  // namespace kelvorin
