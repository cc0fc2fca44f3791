// TABSBaseRecordManager: what every kind of table storage (disk, temporary,
// in-memory) offers the table layer for its records: insert, update, delete,
// walk in storage order, compare identifiers and estimate a position. It
// keeps the record count and the change counter (a version stamp raised by
// every insert, update, delete and emptying) that the table writes into its
// state block.
//
// Records cross this interface in their memory form (null bitmap, then each
// field at its memory offset); each kind of storage keeps them as it likes.
// Every operation works in the given session's page transaction.
//
// As an index's record reader, a record manager hands an index the memory
// form of a record by its identifier (tied cut prefixes, lookups).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>

#include "db/tables/btree/index_cursor.h"
#include "db/tables/btree/record_id.h"

namespace kelvorin {

enum class TABSNavigateDirection : uint8_t { kCurrent = 0, kNext = 1, kPrior = 2 };

enum class TABSNavigateStatus : uint8_t {
  kFound = 0,
  kBeforeFirst = 1,
  kAfterLast = 2,
  kNotFound = 3,
};

// One step through a table in storage order. The identifier is the record
// stepped from (ignored with a go-to flag) and, when found, the record
// reached; the record is converted into `record` when one is given. Finding
// a record clears both go-to flags.
struct TABSNavigateRequest {
  TABSNavigateDirection direction = TABSNavigateDirection::kNext;
  TABSRecordId record_id;
  uint8_t* record = nullptr;
  bool go_to_first = false;
  bool go_to_last = false;
  TABSNavigateStatus status = TABSNavigateStatus::kNotFound;
};

class TABSBaseRecordManager : public TABSIndexRecordReader {
 public:
  // The state block keeps the record count in 32 bits.
  static constexpr int64_t kMaxRecordCount = std::numeric_limits<int32_t>::max();

  TABSBaseRecordManager() = default;
  ~TABSBaseRecordManager() override = default;
  TABSBaseRecordManager(const TABSBaseRecordManager&) = delete;
  TABSBaseRecordManager& operator=(const TABSBaseRecordManager&) = delete;

  int64_t RecordCount() const { return record_count_; }
  int32_t ChangeCounter() const { return change_counter_; }
  // Takes the counters of the table's state block (opening, after a
  // rollback, or when another process may have changed them).
  void SetCounters(int64_t record_count, int32_t change_counter) {
    record_count_ = record_count;
    change_counter_ = change_counter;
  }

  // Forgets what the manager caches about its storage: its pages were rolled
  // back (the session's or a statement's), or another process may have
  // changed them.
  virtual void InvalidateCaches() {}

  // Removes every record. The count becomes 0; the change counter is raised.
  virtual void Empty(int32_t session) = 0;
  // Stores a new record and gives its identifier; false when it could not be
  // stored (nothing is left behind then).
  virtual bool Insert(int32_t session, const uint8_t* record, TABSRecordId& id) = 0;
  // Replaces the record; false when there is no record with that identifier.
  virtual bool Update(int32_t session, const uint8_t* record, TABSRecordId id) = 0;
  // Removes the record; false when there is no record with that identifier.
  virtual bool Delete(int32_t session, TABSRecordId id) = 0;
  virtual void Navigate(int32_t session, TABSNavigateRequest& request) = 0;
  // -1, 0 or 1 in storage order.
  virtual int CompareRecordIds(TABSRecordId a, TABSRecordId b) const = 0;
  // The position of the record in storage order counted from 1, or -1 when
  // unknown (an estimate for choosing an index).
  virtual int64_t EstimatedPosition(int32_t session, TABSRecordId id) = 0;

  // Visits every record in storage order, each read into `record` (a
  // memory record); the visitor returns false to stop. Storage that can
  // read a page's records at once overrides the walk record by record.
  virtual void ForEachRecord(int32_t session, uint8_t* record,
                             const std::function<bool(TABSRecordId id)>& visit) {
    TABSNavigateRequest request;
    request.direction = TABSNavigateDirection::kNext;
    request.go_to_first = true;
    request.record = record;
    for (;;) {
      Navigate(session, request);
      if (request.status != TABSNavigateStatus::kFound || !visit(request.record_id)) return;
    }
  }

  // The most slots a record identifier's page can have.
  virtual int32_t SlotsPerPage() const { return 0x10000; }
  // The exact position of a record in storage order, counted from 1; -1
  // when the table has no such record. Storage keeps no ranks by default, so
  // the records before it are walked.
  virtual int64_t StoragePosition(int32_t session, TABSRecordId id) {
    TABSNavigateRequest request;
    request.go_to_first = true;
    for (int64_t position = 1;; ++position) {
      Navigate(session, request);
      if (request.status != TABSNavigateStatus::kFound) return -1;
      if (request.record_id == id) return position;
    }
  }
  // The record at a position in storage order (1 .. the record count);
  // false when there is none.
  virtual bool RecordAtPosition(int32_t session, int64_t position, TABSRecordId& id) {
    if (position < 1) return false;
    TABSNavigateRequest request;
    request.go_to_first = true;
    for (int64_t at = 1;; ++at) {
      Navigate(session, request);
      if (request.status != TABSNavigateStatus::kFound) return false;
      if (at == position) {
        id = request.record_id;
        return true;
      }
    }
  }

  // TABSIndexRecordReader: the record's memory form, read as the session
  // sees it; false when there is none.
  bool ReadRecord(int32_t session, TABSRecordId id, uint8_t* record) override {
    TABSNavigateRequest request;
    request.direction = TABSNavigateDirection::kCurrent;
    request.record_id = id;
    request.record = record;
    Navigate(session, request);
    return request.status == TABSNavigateStatus::kFound;
  }

 protected:
  void CountInsert() {
    ++record_count_;
    RaiseChangeCounter();
  }
  void CountDelete() {
    --record_count_;
    RaiseChangeCounter();
  }
  void CountUpdate() { RaiseChangeCounter(); }
  void CountEmptied() {
    record_count_ = 0;
    RaiseChangeCounter();
  }

 private:
  // A version stamp: it wraps around, and a value once used is not given
  // back by emptying.
  void RaiseChangeCounter() { change_counter_ = static_cast<int32_t>(static_cast<uint32_t>(change_counter_) + 1); }

  int64_t record_count_ = 0;
  int32_t change_counter_ = 0;
};

}  // namespace kelvorin
