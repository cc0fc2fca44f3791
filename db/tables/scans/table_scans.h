// The table operations a cursor calls to read a table under its
// restrictions: navigation (first, last, next, prior), counting and
// numbering its records, going to a record number and finding a record by
// an expression or by its search key. Each runs inside the table's
// critical section and holds the table's read lock (a lock that cannot be
// had raises "Table is locked").
//
// A search collects the cursor's restrictions as scan conditions, turns the
// comparisons at the top of its filters into index conditions where an
// index can serve them (the filter trees are left untouched: those
// comparisons are only skipped for that search), combines the conditions of
// each index, chooses by a cost rule whether to walk an index or the table
// in storage order, and runs. Whatever it chooses, the records it finds are
// the same; only the work differs.
#pragma once

#include <cstdint>
#include <string>

#include "db/tables/btree/index.h"
#include "db/tables/scans/scan_conditions.h"
#include "db/tables/scans/scan_cursor.h"

namespace kelvorin {

class TABSExpression;

// One search: an extra expression or condition besides the cursor's own
// restrictions, the direction, from the start (first, last) or onward from
// the cursor's record, and a bitmap to mark every qualifying record in
// instead of stopping at the first.
struct TABSFindRequest {
  TABSExpression* extra_expression = nullptr;
  const TABSScanCondition* extra_condition = nullptr;
  TABSRecordBitmap* marking = nullptr;
  bool forward = true;
  bool from_start = true;
};

class TABSTableScans {
 public:
  // The record lies within the cursor's range (compared as its index
  // compares keys, on full values).
  static bool PassesRange(TABSScanCursor& cursor, const uint8_t* record);
  // The range, the filter, the second expression and the callback.
  static bool PassesFilter(TABSScanCursor& cursor, const uint8_t* record);
  // The first qualifying record in the request's direction, read into
  // `record` (the table's memory record size); false when there is none.
  // With a marking bitmap every qualifying record is marked and the result
  // is whether any was.
  static bool FindRecord(TABSScanCursor& cursor, const TABSFindRequest& request, TABSRecordId& id,
                         uint8_t* record);
  // Moves the cursor; kFound, or kEndOfIndex (after the last record) or
  // kBeginningOfIndex (before the first).
  static TABSGetRecordResult GetRecord(TABSScanCursor& cursor, TABSGetRecordMode mode);
  // Marks every record the cursor sees (one per key group with a distinct
  // count) in its bitmap.
  static void BuildFilterBitmap(TABSScanCursor& cursor);
  static int64_t RecordCount(TABSScanCursor& cursor);
  // 1-based, in the cursor's order; -1 off a record or on an empty table.
  static int64_t RecordNumber(TABSScanCursor& cursor);
  // Below 1 goes to the first record, above the count to the last; on an
  // empty table (as the cursor sees it) the cursor is before the first.
  static void GoToRecordNumber(TABSScanCursor& cursor, int64_t number);
  // From the start; on success the cursor moves to the record found.
  static bool FindByExpression(TABSScanCursor& cursor, TABSExpression& expression);
  // The cursor's search record compared with its index's leading columns.
  static bool FindByCondition(TABSScanCursor& cursor, TABSScanConditionKind kind);
  // How a search from the start would run: the access path and its
  // conditions, one per line.
  static std::string Explain(TABSScanCursor& cursor);
};

}  // namespace kelvorin
