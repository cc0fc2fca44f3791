#include "db/tables/records/index_manager.h"

#include "db/tables/records/record_index_cursor.h"

namespace kelvorin {
namespace {

// Temporary trees change outside the table's transactions.
constexpr int32_t kTemporarySession = 0;

}  // namespace

TABSBaseIndexManager::TABSBaseIndexManager(TABSPageManager& pages, TABSIndexDefs& definitions,
                                           const TABSFieldDefs& fields, TABSIndexRecordReader& reader)
    : pages_(pages), definitions_(definitions), fields_(fields), reader_(reader) {}

void TABSBaseIndexManager::OpenIndexes() {
  std::vector<std::unique_ptr<TABSBTreeRecordIndex>> indexes;
  indexes.reserve(static_cast<size_t>(definitions_.Count()));
  for (int32_t i = 0; i < definitions_.Count(); ++i) {
    const TABSIndexDef& definition = *definitions_.Items(i);
    TABSPageManager& pages = definition.Temporary() && temporary_pages_ ? *temporary_pages_ : pages_;
    indexes.push_back(std::make_unique<TABSBTreeRecordIndex>(pages, fields_, &reader_));
    indexes.back()->Open(definition);
  }
  indexes_ = std::move(indexes);
}

TABSBTreeRecordIndex* TABSBaseIndexManager::FindIndex(int32_t object_id) {
  for (int32_t i = 0; i < Count(); ++i) {
    if (definitions_.Items(i)->ObjectId() == object_id) return indexes_[static_cast<size_t>(i)].get();
  }
  return nullptr;
}

bool TABSBaseIndexManager::IsCurrent(int32_t position, int32_t table_change_counter) {
  const TABSIndexDef& definition = Definition(position);
  return !definition.Temporary() ||
         (definition.RootPage() >= 0 && definition.ChangeCounter() == table_change_counter);
}

void TABSBaseIndexManager::InvalidateTemporaryIndexes() {
  for (int32_t i = 0; i < Count(); ++i) {
    TABSIndexDef& definition = Definition(i);
    if (definition.Temporary()) DropTemporaryTree(i);
  }
}

void TABSBaseIndexManager::KeepTemporaryIndexesCurrent(int32_t old_counter, int32_t new_counter) noexcept {
  if (temporary_pages_ == nullptr) return;
  try {
    temporary_pages_->CommitSession(kTemporarySession);
  } catch (...) {
    InvalidateTemporaryIndexes();
    return;
  }
  for (int32_t i = 0; i < Count(); ++i) {
    TABSIndexDef& definition = Definition(i);
    if (definition.Temporary() && IsCurrent(i, old_counter)) definition.SetChangeCounter(new_counter);
  }
}

bool TABSBaseIndexManager::Maintained(int32_t position, int32_t table_change_counter) {
  return !Definition(position).Temporary() || IsCurrent(position, table_change_counter);
}

void TABSBaseIndexManager::CountChange(TABSIndexDef& definition) {
  if (definition.Temporary()) return;
  definition.SetChangeCounter(static_cast<int32_t>(static_cast<uint32_t>(definition.ChangeCounter()) + 1));
}

void TABSBaseIndexManager::InsertKeys(int32_t session, const uint8_t* record, TABSRecordId id,
                                      int32_t table_change_counter) {
  for (int32_t i = 0; i < Count(); ++i) {
    if (!Maintained(i, table_change_counter)) continue;
    const bool temporary = Definition(i).Temporary();
    TABSRecordIndexCursor cursor(temporary ? kTemporarySession : session, record, id);
    Index(i).Insert(cursor);
    CountChange(Definition(i));
  }
}

void TABSBaseIndexManager::UpdateKeys(int32_t session, const uint8_t* old_record, const uint8_t* new_record,
                                      TABSRecordId id, int32_t table_change_counter) {
  for (int32_t i = 0; i < Count(); ++i) {
    if (!Maintained(i, table_change_counter)) continue;
    const bool temporary = Definition(i).Temporary();
    TABSRecordIndexCursor cursor(temporary ? kTemporarySession : session, new_record, id, old_record);
    Index(i).Update(cursor);
    CountChange(Definition(i));
  }
}

void TABSBaseIndexManager::DeleteKeys(int32_t session, const uint8_t* record, TABSRecordId id,
                                      int32_t table_change_counter) {
  for (int32_t i = 0; i < Count(); ++i) {
    if (!Maintained(i, table_change_counter)) continue;
    Index(i).Delete(Definition(i).Temporary() ? kTemporarySession : session, record, id);
    CountChange(Definition(i));
  }
}

void TABSBaseIndexManager::EmptyIndexes(int32_t session) {
  for (int32_t i = 0; i < Count(); ++i) {
    if (Definition(i).Temporary()) {
      DropTemporaryTree(i);
    } else {
      Index(i).Empty(session);
      CountChange(Definition(i));
    }
  }
}

void TABSBaseIndexManager::BuildIndex(
    int32_t session, int32_t position,
    const std::function<void(const std::function<void(TABSRecordId, const uint8_t*)>&)>& walk,
    int32_t table_change_counter) {
  TABSIndexDef& definition = Definition(position);
  const bool temporary = definition.Temporary();
  if (temporary) DropTemporaryTree(position);
  TABSRecordIndexCursor cursor(temporary ? kTemporarySession : session, walk);
  try {
    Index(position).Build(temporary ? kTemporarySession : session, &cursor, definition);
    if (temporary) temporary_pages_->CommitSession(kTemporarySession);
  } catch (...) {
    if (temporary) DropTemporaryTree(position);
    throw;
  }
  if (temporary) definition.SetChangeCounter(table_change_counter);
}

void TABSBaseIndexManager::DropTemporaryTree(int32_t position) noexcept {
  TABSIndexDef& definition = Definition(position);
  if (temporary_pages_ == nullptr) return;
  try {
    temporary_pages_->RollbackSession(kTemporarySession);
    if (definition.RootPage() >= 0) {
      Index(position).Drop(kTemporarySession);
      temporary_pages_->CommitSession(kTemporarySession);
    }
  } catch (...) {
    // The pages stay taken in memory until the table closes.
  }
  definition.SetRootPage(-1);
  Index(position).Open(definition);
}

}  // namespace kelvorin
