// TABSMemoryRecordManager: the records of an in-memory table, in their
// stored form in a memory array indexed by record number (the id holds the
// number, record_array.h), with one bit per slot telling whether it holds a
// record. A new record takes the highest number + 1 (0 in an empty table):
// a freed slot below the highest is not used again. Walks skip free slots.
//
// Insert, update and delete report false when they cannot be done (a
// record that is not there, or memory refused) and change nothing then.
// Changes are not transactional; the journal (operation_journal.h) takes
// back those of an operation that failed.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/records/base_record_manager.h"
#include "db/storage/records/record_layout.h"
#include "db/storage/temporary/operation_journal.h"
#include "db/storage/temporary/record_array.h"

namespace kelvorin {

class TABSMemoryRecordManager : public TABSBaseRecordManager, public TABSOperationJournal {
 public:
  // Raises "Invalid record size = 0" for a layout without stored bytes.
  explicit TABSMemoryRecordManager(const TABSRecordLayout& layout);

  const TABSRecordLayout& Layout() const { return layout_; }
  // The lowest and highest numbers in use (0 when the table is empty).
  int64_t Lowest() const { return lowest_; }
  int64_t Highest() const { return highest_; }

  void Empty(int32_t session) override;
  bool Insert(int32_t session, const uint8_t* record, TABSRecordId& id) override;
  bool Update(int32_t session, const uint8_t* record, TABSRecordId id) override;
  bool Delete(int32_t session, TABSRecordId id) override;
  void Navigate(int32_t session, TABSNavigateRequest& request) override;
  int CompareRecordIds(TABSRecordId a, TABSRecordId b) const override { return kelvorin::CompareRecordIds(a, b); }
  int64_t EstimatedPosition(int32_t session, TABSRecordId id) override;

  void KeepChanges() noexcept override;
  void UndoChanges() noexcept override;

 private:
  enum class ChangeKind : uint8_t { kInsert, kUpdate, kDelete };
  struct Change {
    ChangeKind kind;
    int64_t number;
    TABSMemoryBlock image;  // the record an update replaced
  };
  struct Counters {
    int64_t record_count = 0;
    int32_t change_counter = 0;
    int64_t lowest = 0;
    int64_t highest = 0;
  };

  bool IsUsed(int64_t number) const {
    return number >= 0 && number < static_cast<int64_t>(used_.size()) * 64 &&
           ((used_[static_cast<size_t>(number / 64)] >> (number % 64)) & 1) != 0;
  }
  void SetUsed(int64_t number, bool used);
  // The nearest slot in use after (or before) the number, or -1.
  int64_t NextUsed(int64_t number) const;
  int64_t PriorUsed(int64_t number) const;
  // A record in the range and in use.
  bool Holds(int64_t number) const { return RecordCount() > 0 && number >= lowest_ && number <= highest_ && IsUsed(number); }
  void Clear();

  TABSRecordLayout layout_;
  TABSRecordArray records_;
  std::vector<uint64_t> used_;
  int64_t lowest_ = 0;
  int64_t highest_ = 0;
  std::vector<Change> journal_;
  Counters kept_;
};

}  // namespace kelvorin
