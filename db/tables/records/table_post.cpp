// The insert, update and delete flows of TABSTableData (see table_post.h).
#include <algorithm>
#include <cstring>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/little_endian.h"
#include "db/storage/pages/page_manager.h"
#include "db/storage/records/base_record_manager.h"
#include "db/storage/records/record_errors.h"
#include "db/tables/records/database_data.h"
#include "db/tables/records/table_data.h"
#include "db/tables/records/table_data_errors.h"
#include "db/tables/records/table_lock_guards.h"

namespace kelvorin {
namespace {

TABSPostResult Refused(TABSPostCode code) {
  TABSPostResult result;
  result.code = code;
  return result;
}

TABSPostResult Violated(const EABSException& error) {
  TABSPostResult result;
  result.code = TABSPostCode::kConstraintViolated;
  result.message = error.what();
  result.native_error = error.NativeError();
  return result;
}

}  // namespace

std::string_view PostCodeText(int32_t code) {
  switch (code) {
    case -1: return "Error adding record";
    case -2: return "Error updating record";
    case -3: return "Error deleting record";
    case -4: return "Error updating record - record was modified by other process";
    case -5: return "Error deleting record - record was modified by other process";
    case -6: return "Error updating record - record was deleted by other process";
    case -7: return "Error deleting record - record was deleted by other process";
    case -8: return "Constraint violated";
    case -9: return "Cannot update record in temporary mode";
    case -10: return "Cannot delete record in temporary mode";
    case -11: return "Cannot cancel operation in temporary mode";
    case -12: return "Record is locked";
    case -13: return "Table is locked";
    default: return "Unknown error";
  }
}

// One post's way back: the caller's record and the table's state as they
// were before it, and, once it changes pages, the undoing of those changes
// (the statement inside an explicit transaction, else the session).
class TABSTableData::PostScope {
 public:
  PostScope(TABSTableData& table, TABSBaseSession& session, uint8_t* record)
      : table_(table),
        session_(session.SessionNumber()),
        record_(record),
        saved_record_(table.saved_record_),
        saved_state_(table.saved_state_) {
    // Kept by the table from post to post: a post allocates nothing for them.
    saved_state_ = table.state_;
    if (record_ == nullptr) return;
    const int32_t size = table.RecordFields().MemorySize();
    if (saved_record_.size() != size) saved_record_.Allocate(size);
    std::memcpy(saved_record_.data(), record_, static_cast<size_t>(size));
  }
  PostScope(const PostScope&) = delete;
  PostScope& operator=(const PostScope&) = delete;
  ~PostScope() {
    if (!done_) Undo();
  }

  int32_t Session() const { return session_; }

  // From here on pages change. A post inside a statement that holds a
  // savepoint of its own (an SQL statement's write unit) joins it: the
  // post's failure then takes the whole statement back, which its owner
  // ends anyway.
  void BeginChanges() {
    in_transaction_ = table_.Database().InTransaction(session_);
    // An all-or-nothing fill needs no savepoint per post: a refused post
    // takes its whole transaction back.
    statement_ = in_transaction_ && !table_.posts_all_or_nothing_;
    if (statement_) {
      joined_ = table_.PageManager()->InStatement(session_);
      if (!joined_) table_.PageManager()->BeginStatement(session_);
    }
    changing_ = true;
  }

  // The post stands: kept in the transaction, or committed at once.
  void Finish() {
    if (statement_) {
      if (!joined_) table_.PageManager()->ReleaseStatement(session_);
    } else if (!in_transaction_) {
      table_.Database().CommitTransaction(session_, false);
    }
    done_ = true;
  }

  void Undo() noexcept {
    done_ = true;
    if (changing_) UndoPages();
    table_.state_ = saved_state_;
    if (TABSBaseRecordManager* records = table_.RecordManager()) {
      records->SetCounters(table_.state_.record_count, table_.state_.change_counter);
    }
    if (record_ != nullptr) std::memcpy(record_, saved_record_.data(), static_cast<size_t>(saved_record_.size()));
  }

 private:
  void UndoPages() noexcept {
    bool rolled_back = false;
    if (statement_) {
      try {
        table_.PageManager()->RollbackStatement(session_);
        rolled_back = true;
      } catch (...) {
        // The statement cannot be told apart any more: the whole
        // transaction goes rather than half a post.
      }
    }
    if (!rolled_back) {
      try {
        table_.Database().RollbackTransaction(session_);
      } catch (...) {
        // What is cached is dropped below; the pages stay the session's.
      }
    }
    try {
      table_.PagesRolledBack(session_);
    } catch (...) {
    }
  }

  TABSTableData& table_;
  int32_t session_;
  uint8_t* record_;
  TABSMemoryBlock& saved_record_;
  TABSTableState& saved_state_;
  bool in_transaction_ = false;
  bool statement_ = false;
  bool joined_ = false;
  bool changing_ = false;
  bool done_ = false;
};

void TABSTableData::CheckBlobReferences(const uint8_t* record, const uint8_t* old_record,
                                        const TABSBlobStore& store) const {
  const TABSRecordFields& fields = RecordFields();
  for (const int32_t field : fields.BlobFields()) {
    if (TABSRecordFields::IsNull(record, field)) continue;
    const TABSBlobReference reference = TABSBlobReference::Load(fields.Slot(record, field));
    if (!reference.NamesStoredValue()) continue;
    const bool own = !TABSRecordFields::IsNull(old_record, field) &&
                     reference == TABSBlobReference::Load(fields.Slot(old_record, field));
    const bool stored = std::any_of(store.fields.begin(), store.fields.end(), [&](const TABSBlobStore::Field& f) {
      return f.field_no == field && f.new_reference == reference;
    });
    if (!own && !stored) {
      throw EABSException(native::kForeignBlobReference, {name_, metadata_.Fields().Items(field)->Name()});
    }
  }
}

void TABSTableData::DeleteReplacedBlobs(int32_t session, const uint8_t* old_record, const uint8_t* new_record) {
  const TABSRecordFields& fields = RecordFields();
  // The old record with only the fields whose value goes left non-NULL.
  TABSMemoryBlock replaced(fields.MemorySize());
  std::memcpy(replaced.bytes(), old_record, static_cast<size_t>(fields.MemorySize()));
  bool any = false;
  for (const int32_t field : fields.BlobFields()) {
    const bool kept = !TABSRecordFields::IsNull(new_record, field) &&
                      TABSBlobReference::Load(fields.Slot(new_record, field)) ==
                          TABSBlobReference::Load(fields.Slot(old_record, field));
    if (kept) TABSRecordFields::SetNull(replaced.bytes(), field, true);
    any = any || (!kept && !TABSRecordFields::IsNull(old_record, field));
  }
  if (any) BlobManager()->DeleteRecordBlobs(session, replaced.bytes());
}

TABSPostCode TABSTableData::ReadForChange(int32_t session, TABSRecordId id, const uint8_t* before_image,
                                          uint8_t* old_record, TABSPostCode deleted, TABSPostCode modified) {
  if (Shared()) ReadState(session);
  if (!Records().ReadRecord(session, id, old_record)) return deleted;
  if (before_image != nullptr && !RecordFields().SameStoredForm(old_record, before_image)) return modified;
  return TABSPostCode::kSuccess;
}

void TABSTableData::Posted(PostScope& scope, uint8_t* record, const TABSBlobStore* store, int32_t old_counter) {
  SaveState(scope.Session());
  scope.Finish();
  if (store != nullptr) BlobManager()->ReleaseStored(record, *store);
  index_manager_->KeepTemporaryIndexesCurrent(old_counter, state_.change_counter);
}

TABSLockType TABSTableData::WriteLockType(int32_t session) const {
  return database_->InTransaction(session) ? TABSLockType::kTransactionWrite : TABSLockType::kWrite;
}

void TABSTableData::KeepTransactionLock(int32_t session, TABSTableLockHold& hold) const {
  if (WriteLockType(session) == TABSLockType::kTransactionWrite) hold.Keep();
}

TABSPostResult TABSTableData::InsertRecord(TABSBaseSession& session, uint8_t* record) {
  std::lock_guard lock(critical_section_);
  const int32_t session_no = session.SessionNumber();
  // Held through the commit of a post outside a transaction, and released
  // only after a failed one was rolled back.
  TABSTableLockHold write(*this, session_no, WriteLockType(session_no), lock_wait::kPost);
  if (!write.Granted()) return Refused(TABSPostCode::kTableLocked);
  KeepTransactionLock(session_no, write);
  if (Shared()) ReadState(session_no);
  PostScope scope(*this, session, record);
  TABSBaseRecordManager& records = Records();
  try {
    field_manager_->AssignAutoIncValues(session, record);
    if (records.RecordCount() >= TABSBaseRecordManager::kMaxRecordCount) {
      throw EABSException(native::kTableFull, {records.RecordCount()});
    }
    constraint_manager_->CheckConstraints(session_no, record, {}, true, nullptr, records.RecordCount());
  } catch (const EABSException& error) {
    scope.Undo();
    return Violated(error);
  }
  const int32_t old_counter = state_.change_counter;
  TABSPostResult result;
  scope.BeginChanges();
  TABSBlobManager* blobs = BlobManager();
  const TABSBlobStore store = blobs != nullptr ? blobs->StoreBlobs(session_no, record, true) : TABSBlobStore{};
  if (!records.Insert(session_no, record, result.id)) {
    scope.Undo();
    return Refused(TABSPostCode::kInsertFailed);
  }
  index_manager_->InsertKeys(session_no, record, result.id, old_counter);
  Posted(scope, record, blobs != nullptr ? &store : nullptr, old_counter);
  return result;
}

TABSPostResult TABSTableData::UpdateRecord(TABSBaseSession& session, TABSRecordId id, uint8_t* record,
                                           const uint8_t* before_image) {
  std::lock_guard lock(critical_section_);
  const int32_t session_no = session.SessionNumber();
  TABSTableLockHold write(*this, session_no, WriteLockType(session_no), lock_wait::kPost);
  if (!write.Granted()) return Refused(TABSPostCode::kTableLocked);
  KeepTransactionLock(session_no, write);
  // The edit's own record lock, or one for the post.
  TABSRecordLockHold record_lock(*this, session_no, id, lock_wait::kRecord);
  if (!record_lock.Granted()) return Refused(TABSPostCode::kRecordLocked);
  TABSMemoryBlock old_record(RecordFields().MemorySize());
  const TABSPostCode refused = ReadForChange(session_no, id, before_image, old_record.bytes(),
                                             TABSPostCode::kUpdateDeleted, TABSPostCode::kUpdateModified);
  if (refused != TABSPostCode::kSuccess) return Refused(refused);
  if (Shared()) ReadState(session_no);
  TABSBaseRecordManager& records = Records();
  PostScope scope(*this, session, record);
  try {
    field_manager_->RaiseAutoIncCounters(record);
    constraint_manager_->CheckConstraints(session_no, record, id, false, old_record.bytes(), records.RecordCount());
  } catch (const EABSException& error) {
    scope.Undo();
    return Violated(error);
  }
  const int32_t old_counter = state_.change_counter;
  scope.BeginChanges();
  TABSBlobManager* blobs = BlobManager();
  const TABSBlobStore store = blobs != nullptr ? blobs->StoreBlobs(session_no, record, false) : TABSBlobStore{};
  if (blobs != nullptr) CheckBlobReferences(record, old_record.bytes(), store);
  // The indexes first: settling cut keys reads the old version of the record.
  index_manager_->UpdateKeys(session_no, old_record.bytes(), record, id, old_counter);
  if (!records.Update(session_no, record, id)) {
    scope.Undo();
    return Refused(TABSPostCode::kUpdateFailed);
  }
  if (blobs != nullptr) DeleteReplacedBlobs(session_no, old_record.bytes(), record);
  Posted(scope, record, blobs != nullptr ? &store : nullptr, old_counter);
  return {};
}

TABSPostResult TABSTableData::DeleteRecord(TABSBaseSession& session, TABSRecordId id, const uint8_t* before_image) {
  std::lock_guard lock(critical_section_);
  const int32_t session_no = session.SessionNumber();
  TABSTableLockHold write(*this, session_no, WriteLockType(session_no), lock_wait::kDelete);
  if (!write.Granted()) return Refused(TABSPostCode::kTableLocked);
  KeepTransactionLock(session_no, write);
  TABSRecordLockHold record_lock(*this, session_no, id, lock_wait::kRecord);
  if (!record_lock.Granted()) return Refused(TABSPostCode::kRecordLocked);
  TABSMemoryBlock old_record(RecordFields().MemorySize());
  const TABSPostCode refused = ReadForChange(session_no, id, before_image, old_record.bytes(),
                                             TABSPostCode::kDeleteDeleted, TABSPostCode::kDeleteModified);
  if (refused != TABSPostCode::kSuccess) return Refused(refused);
  TABSBaseRecordManager& records = Records();
  PostScope scope(*this, session, nullptr);
  const int32_t old_counter = state_.change_counter;
  scope.BeginChanges();
  // The indexes first: settling cut keys reads the record.
  index_manager_->DeleteKeys(session_no, old_record.bytes(), id, old_counter);
  if (!records.Delete(session_no, id)) {
    scope.Undo();
    return Refused(TABSPostCode::kDeleteFailed);
  }
  if (TABSBlobManager* blobs = BlobManager()) blobs->DeleteRecordBlobs(session_no, old_record.bytes());
  Posted(scope, nullptr, nullptr, old_counter);
  return {};
}

}  // namespace kelvorin
