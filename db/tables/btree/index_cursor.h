// What an index needs from the record layer, kept narrow so that the record
// and table layers above implement it (and tests fake it in memory).
//
// Records are memory records: the null bitmap and the fields at their memory
// offsets, as the table's field definitions lay them out.
#pragma once

#include <cstdint>
#include <functional>

#include "db/tables/btree/record_id.h"

namespace kelvorin {

// Reads records for an index: a key whose cut prefix ties is settled by the
// full values of its record, and lookups hand the found record to the caller.
class TABSIndexRecordReader {
 public:
  virtual ~TABSIndexRecordReader() = default;
  // Fills `record` (the table's memory record size) with the record's memory
  // form as the session sees it. False when there is no such record; the
  // index then raises "Cannot retreive record for index" (20170).
  virtual bool ReadRecord(int32_t session, TABSRecordId id, uint8_t* record) = 0;
};

// The cursor through which a record is inserted, updated or an index built.
class TABSIndexCursor {
 public:
  virtual ~TABSIndexCursor() = default;
  virtual int32_t SessionId() const = 0;
  // The record being inserted, or the edited record of an update.
  virtual const uint8_t* Record() const = 0;
  // The record's identifier (given by the record manager on insert).
  virtual TABSRecordId RecordId() const = 0;
  // The record as it was before the edit (update only).
  virtual const uint8_t* BeforeImage() const = 0;
  // Visits every record of the table in storage order (building an index).
  virtual void ForEachRecord(const std::function<void(TABSRecordId id, const uint8_t* record)>& visit) = 0;
};

// A cursor's filter: one bit per record that passes its range and filters.
class TABSFilterBitmap {
 public:
  virtual ~TABSFilterBitmap() = default;
  virtual bool IsSet(TABSRecordId id) const = 0;
  virtual void Clear(TABSRecordId id) = 0;
};

}  // namespace kelvorin
