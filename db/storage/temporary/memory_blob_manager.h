// TABSMemoryBlobManager: the BLOB values of an in-memory table, each held
// in memory by the manager. A record names its value by a checked handle,
// never an address: the reference's page field holds the value's slot
// number + 1 and its slot field the slot's generation, so a reference to a
// value that was freed, or that never existed, is refused. A value is freed
// when its record is deleted, when an update replaces it, when the table is
// emptied and when the manager goes.
//
// The values of an operation that failed are taken back by the journal
// (operation_journal.h): values it stored are freed, and values it
// deleted are kept; a deleted value is freed only when its operation is
// kept.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/temporary/operation_journal.h"

namespace kelvorin {

class TABSMemoryBlobManager : public TABSBlobManager, public TABSOperationJournal {
 public:
  static constexpr int32_t kMaxValues = 0x7FFFFFFE;

  explicit TABSMemoryBlobManager(const TABSRecordLayout& layout) : TABSBlobManager(layout) {}

  // Stored values held (those deleted by an unfinished operation included).
  int64_t ValueCount() const { return live_; }
  void DeleteAll(int32_t session) override;

  void KeepChanges() noexcept override;
  void UndoChanges() noexcept override;

 protected:
  TABSBlobReference StoreValue(int32_t session, const TABSBlobValue& value) override;
  void ReadStoredValue(int32_t session, TABSBlobReference reference, TABSBlobValue& value) override;
  void DeleteValue(int32_t session, TABSBlobReference reference) override;

 private:
  struct Slot {
    int16_t generation = 1;
    std::optional<TABSBlobValue> value;
  };

  // The value a reference names; raises for one that names none.
  TABSBlobValue& ValueAt(TABSBlobReference reference);
  void Free(TABSBlobReference reference) noexcept;

  std::vector<Slot> slots_;
  std::vector<int32_t> free_;
  int64_t live_ = 0;
  std::vector<TABSBlobReference> stored_;   // since the last kept operation
  std::vector<TABSBlobReference> deleted_;  // likewise, freed when kept
};

}  // namespace kelvorin
