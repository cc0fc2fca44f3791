#include "db/tables/records/database_data.h"

#include <algorithm>

#include "db/storage/pages/page_manager.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

TABSDatabaseData::~TABSDatabaseData() = default;

void TABSDatabaseData::ConnectSession(TABSBaseSession& session) {
  std::lock_guard lock(critical_section_);
  sessions_.push_back(&session);
  session.SetSessionNumber(0);
}

void TABSDatabaseData::DisconnectSession(TABSBaseSession& session) {
  std::lock_guard lock(critical_section_);
  RemoveSession(session);
}

void TABSDatabaseData::RemoveSession(TABSBaseSession& session) {
  sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), &session), sessions_.end());
}

bool TABSDatabaseData::ReleaseIfUnused() {
  std::lock_guard lock(critical_section_);
  return sessions_.empty();
}

std::vector<std::string> TABSDatabaseData::GetTableNames() {
  std::lock_guard lock(critical_section_);
  std::vector<std::string> names;
  for (const auto& table : tables_) names.push_back(table->Name());
  return names;
}

void TABSDatabaseData::OpenStorage() {}

TABSTableData* TABSDatabaseData::FindTableObject(std::string_view table_name) {
  std::lock_guard lock(critical_section_);
  for (const auto& table : tables_) {
    if (SameObjectName(table->Name(), table_name)) return table.get();
  }
  return nullptr;
}

TABSTableData* TABSDatabaseData::GetTableObject(TABSCursor& cursor) {
  std::lock_guard lock(critical_section_);
  if (TABSTableData* table = FindTableObject(cursor.TableName())) return table;
  return CreateTableObject(cursor);
}

TABSTableData* TABSDatabaseData::AddTableObject(std::unique_ptr<TABSTableData> table) {
  tables_.push_back(std::move(table));
  return tables_.back().get();
}

void TABSDatabaseData::DropTableObject(TABSTableData* table) {
  tables_.erase(std::remove_if(tables_.begin(), tables_.end(), [&](const auto& t) { return t.get() == table; }),
                tables_.end());
}

void TABSDatabaseData::StartTransaction(int32_t session) {
  std::lock_guard lock(critical_section_);
  if (!InTransaction(session)) transactions_.push_back(session);
}

bool TABSDatabaseData::InTransaction(int32_t session) const {
  return std::find(transactions_.begin(), transactions_.end(), session) != transactions_.end();
}

void TABSDatabaseData::EndTransaction(int32_t session) { std::erase(transactions_, session); }

void TABSDatabaseData::CommitTransaction(int32_t session, bool) {
  std::lock_guard lock(critical_section_);
  page_manager_->CommitSession(session);
  EndTransaction(session);
}

void TABSDatabaseData::RollbackTransaction(int32_t session) {
  std::lock_guard lock(critical_section_);
  page_manager_->RollbackSession(session);
  EndTransaction(session);
  for (const auto& table : tables_) table->RollbackHook(session);
}

bool TABSDatabaseData::TableExists(std::string_view table_name) {
  const std::vector<std::string> names = GetTableNames();
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& name) { return SameObjectName(name, table_name); });
}

}  // namespace kelvorin
