#include "db/access/table/hidden_table.h"

#include <atomic>

#include "db/access/dataset/engine_error.h"
#include "db/access/session/access_events.h"
#include "db/tables/metadata/index_def.h"

namespace kelvorin {

void CopyDefinitions(const TABSTableMetadata& from, TABSTableMetadata& to) {
  to.Fields().Assign(from.Fields());
  to.Indexes().Assign(from.Indexes());
  for (int32_t i = to.Indexes().Count() - 1; i >= 0; --i) {
    if (to.Indexes().Items(i)->Temporary()) to.Indexes().Delete(i);
  }
  to.Constraints().Assign(from.Constraints());
}

TABSHiddenTable::TABSHiddenTable(TABSLocalSession& session, const TABSTableMetadata& definitions,
                                 std::string_view target)
    : session_(session), disk_(session.DiskDatabase()), target_(target) {
  TABSCursorOptions options;
  options.exclusive = true;
  if (Hidden()) {
    name_ = disk_->CreateHiddenTable(definitions.Fields(), definitions.Indexes(), definitions.Constraints());
  } else {
    static std::atomic<int64_t> next_volatile{0};
    name_ = std::string(kHiddenTablePrefix) + "v" + std::to_string(++next_volatile);
    TABSLocalCursor maker(session_, name_);
    maker.CreateTable(definitions.Fields(), definitions.Indexes(), definitions.Constraints());
  }
  try {
    cursor_ = std::make_unique<TABSLocalCursor>(session_, name_, options);
    cursor_->Open();
    record_.resize(static_cast<size_t>(cursor_->RecordBufferSize()));
  } catch (...) {
    Drop();
    throw;
  }
}

TABSHiddenTable::~TABSHiddenTable() {
  if (!named_) Drop();
}

void TABSHiddenTable::SetAllOrNothing(bool all_or_nothing) noexcept {
  all_or_nothing_ = all_or_nothing;
  if (cursor_ && cursor_->IsOpen()) Table().SetPostsAllOrNothing(all_or_nothing);
}

void TABSHiddenTable::AllOrNothing() {
  if (Hidden()) SetAllOrNothing(true);
}

void TABSHiddenTable::Drop() noexcept {
  named_ = true;
  SetAllOrNothing(false);
  try {
    if (cursor_) {
      if (in_batch_) cursor_->CancelBatch();
      in_batch_ = false;
      cursor_->Close();
    }
    if (Hidden()) {
      disk_->DeleteTable(session_, name_);
    } else {
      TABSLocalCursor dropper(session_, name_);
      dropper.DeleteTable();
    }
  } catch (...) {
    // A hidden table left behind is reported by the checker and dropped by
    // Compact.
    ReportCaughtError();
  }
}

uint8_t* TABSHiddenTable::NewRecord() {
  cursor_->InitRecordBuffer(record_.data(), true);
  return record_.data();
}

void TABSHiddenTable::Append(int64_t blob_bytes) {
  if (!in_batch_) {
    cursor_->BeginBatch();
    in_batch_ = true;
  }
  if (!cursor_->Post(record_.data(), true)) {
    if (all_or_nothing_) {
      // The batch went with the refused record.
      cursor_->CancelBatch();
      in_batch_ = false;
    }
    const int32_t status = cursor_->Status();
    throw EABSEngineError(status, EABSEngineError::TextOf(status, cursor_->StatusMessage()));
  }
  ++count_;
  batch_bytes_ += cursor_->FieldsEnd() + blob_bytes;
  if (batch_bytes_ >= kBatchBytes) {
    cursor_->CommitBatch();
    in_batch_ = false;
    batch_bytes_ = 0;
  }
}

void TABSHiddenTable::Finish() {
  if (in_batch_) {
    cursor_->CommitBatch();
    in_batch_ = false;
  }
  batch_bytes_ = 0;
  SetAllOrNothing(false);
}

void TABSHiddenTable::TakeName(const std::vector<int64_t>& autoinc_floors, int64_t expected_change_counter) {
  Finish();
  if (!Hidden()) {
    Table().RaiseAutoIncValues(session_.SessionNumber(), autoinc_floors);
    cursor_->Close();
    // The process's own tables: nothing outlives it to see the steps.
    if (session_.TableExists(target_)) TABSLocalCursor(session_, target_).DeleteTable();
    TABSLocalCursor(session_, name_).RenameTable(target_);
    named_ = true;
    name_ = target_;
    return;
  }
  cursor_->Close();
  disk_->SwapHiddenTable(session_, name_, target_, autoinc_floors, expected_change_counter);
  named_ = true;
  name_ = target_;
}

}  // namespace kelvorin
