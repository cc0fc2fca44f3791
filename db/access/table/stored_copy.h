// The copy of a table's stored records into a hidden table that Copy,
// Restructure and Compact share: every record of the source, all of its
// stored fields, unfiltered, in storage order, mapped by field name into
// the destination, with progress reports that may stop it.
//
// With errors ignored a field value that does not convert or fit is left
// out (and described) and the copy goes on; a record the destination's keys
// or constraints refuse is described and ends the copy, which then fails
// (every caller drops the whole destination then, so a record needs no way
// back of its own). Storage, memory and lock errors always stop the copy
// with their error. The messages are kept to the first hundred and a count
// of the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "db/access/table/hidden_table.h"
#include "db/tables/records/record_map.h"

namespace kelvorin {

// The messages of a copy: the first `kLimit` in full, then a count.
class TABSCopyMessages {
 public:
  static constexpr int32_t kLimit = 100;
  void Add(const std::string& message);
  bool Empty() const { return count_ == 0; }
  int64_t Count() const { return count_; }
  // The messages, and a line for those left out.
  std::string Text() const;

 private:
  std::string text_;
  int64_t count_ = 0;
};

struct TABSStoredCopyRequest {
  int32_t progress_start = 0;
  int32_t progress_end = 100;
  // Receives the percentage; clears the flag to stop. No engine lock is
  // held while it runs.
  std::function<void(int32_t percent, bool& continue_flag)> progress;
  bool ignore_errors = false;
};

// The record after which progress is reported: every `step` records,
// never 0 however the count and the range compare.
int64_t CopyProgressStep(int64_t count, int32_t start, int32_t end);

// Copies every stored record of the source cursor's open table. Returns
// false when a field was left out, a record refused or the copy stopped
// (the reasons in `messages`); an error that may not be ignored is raised.
bool CopyStoredRecords(TABSLocalCursor& source, TABSHiddenTable& destination, const TABSRecordMap& map,
                       const TABSStoredCopyRequest& request, bool& continue_flag, TABSCopyMessages& messages);

// The auto-increment floors of a copy: each destination auto-increment
// field takes the last value of the source field it is copied from.
std::vector<int64_t> AutoIncFloors(const TABSTableData& source, const TABSTableData& destination,
                                   const TABSRecordMap& map);

}  // namespace kelvorin
