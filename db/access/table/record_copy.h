// The record copy that every whole-table copy shares (copying a table,
// importing one, restructuring one, compacting a database): each record
// of a source dataset is inserted into an open destination table, field by
// field where the destination has a field of the same name, with progress
// reports that may stop it, and, when errors are to be ignored, a readable
// account of the records and fields it could not copy instead of an error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kelvorin {

class TDataSet;
class TABSTable;

// Called with the source, the percentage and the continue flag, which it
// clears to stop the copy.
using TABSCopyProgress = std::function<void(TDataSet& source, int32_t percent, bool& continue_flag)>;

struct TABSRecordCopyRequest {
  int32_t progress_end = 100;
  int32_t progress_start = 0;
  TABSCopyProgress progress;
  bool ignore_errors = false;
};

// Copies every record; returns false when a record or a field was left
// out or the copy was stopped (the reasons appended to `error_text`).
// Unless errors are ignored, the first error is raised once its text is
// appended. The source comes back to the record it was on.
bool CopyRecords(TDataSet& source, TABSTable& destination, const TABSRecordCopyRequest& request,
                 bool& continue_flag, std::string& error_text);

// The percentage reported after `copied` of `count` records: rounded to
// the nearest integer (halves to even), from `start` toward `end`.
int32_t CopyProgress(int64_t copied, int64_t count, int32_t start, int32_t end);

}  // namespace kelvorin
