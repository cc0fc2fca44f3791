// What navigating is alike in tables whose records are numbered in
// sequence (temporary and in-memory tables): an empty table and the
// go-to-first and go-to-last requests, and handing a found record over.
#pragma once

#include <cstdint>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/records/base_record_manager.h"
#include "db/storage/records/record_layout.h"
#include "db/storage/temporary/record_array.h"

namespace kelvorin::sequence_navigation {

// Settles a request on an empty table or with a go-to flag: true when it
// is settled, with its status, and `number` the record reached when found.
inline bool SettleEdges(TABSNavigateRequest& request, int64_t count, int64_t first, int64_t last, int64_t& number) {
  request.status = TABSNavigateStatus::kFound;
  if (count == 0) {
    request.status = TABSNavigateStatus::kAfterLast;
    return true;
  }
  if (!request.go_to_first && !request.go_to_last) return false;
  const bool to_first = request.go_to_first;
  if (request.direction == TABSNavigateDirection::kCurrent) {
    request.status = TABSNavigateStatus::kNotFound;
  } else if (request.direction == TABSNavigateDirection::kNext) {
    if (to_first) {
      number = first;
    } else {
      request.status = TABSNavigateStatus::kAfterLast;
    }
  } else if (to_first) {
    request.status = TABSNavigateStatus::kBeforeFirst;
  } else {
    number = last;
  }
  return true;
}

// Hands the found record over (its memory form, when asked for) and clears
// the go-to flags. A record that cannot be read raises `read_error`: an
// error, never the end of a scan.
template <typename StoredRecord>
void Reach(TABSNavigateRequest& request, int64_t number, const TABSRecordLayout& layout,
           const TABSNativeError& read_error, StoredRecord stored) {
  if (request.record != nullptr) {
    try {
      layout.ToMemory(stored(number), request.record);
    } catch (const EABSException&) {
      throw EABSException(read_error);
    }
  }
  request.record_id = SequenceRecordId(number);
  request.go_to_first = false;
  request.go_to_last = false;
}

}  // namespace kelvorin::sequence_navigation
