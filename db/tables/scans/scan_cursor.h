// TABSScanCursor: a cursor as the table's scans read it: the order it reads
// in (an index, or storage order), where it stands, and what restricts what
// it sees (a key range on its index, a filter, a second expression from the
// SQL layer, a per-record callback, a distinct count), with the filter
// bitmap and the index position cache that the table keeps for it.
//
// The cursor layer above owns the expressions and sets the restrictions
// through the setters, each of which forgets the bitmap; the table
// operations (table_scans.h) read them and move the position.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/query/expressions/expr_sources.h"
#include "db/tables/btree/index.h"
#include "db/tables/records/cursor.h"
#include "db/tables/scans/record_bitmap.h"

namespace kelvorin {

class TABSExpression;

// How a search reaches the records: as the cost rule chooses, always in
// storage order, or always through one index (for tests and the tool).
enum class TABSAccessPath : uint8_t { kAuto, kStorage, kIndex };

// One bound of a range: the bound's values in a memory record of the table,
// the leading index columns it uses (0 or more than the index has: all of
// them) and whether the bound itself is excluded.
struct TABSRangeBound {
  bool present = false;
  std::vector<uint8_t> record;
  int32_t columns = 0;
  bool exclusive = false;
};

class TABSScanCursor : public TABSCursor, public TABSExprFieldSource {
 public:
  using RecordFilter = std::function<bool(const uint8_t* record)>;

  TABSScanCursor(TABSBaseSession& session, std::string table_name, bool exclusive = false)
      : TABSCursor(session, std::move(table_name), exclusive) {}

  // --- Order and position ---
  // The object number of the index that orders the cursor; -1: storage order.
  int32_t IndexId() const { return index_id_; }
  // Changing the order leaves the cursor before the first record and drops
  // the range (it bounds columns of the old index).
  void SetIndexId(int32_t index_object_id);
  bool BeforeFirst() const { return before_first_; }
  bool AfterLast() const { return after_last_; }
  bool OnRecord() const { return !before_first_ && !after_last_; }
  TABSRecordId CurrentId() const { return current_id_; }
  // The current record as it was last read (a memory record of the table).
  const std::vector<uint8_t>& Record() const { return record_; }
  void SetBeforeFirst();
  void SetAfterLast();
  // Stands on a record read just now.
  void SetCurrent(TABSRecordId id, const uint8_t* record, int32_t size);

  // --- Restrictions ---
  // Raises when the cursor has no index or a column count is negative; a
  // bound not given is absent.
  void SetRange(const uint8_t* start, int32_t start_columns, bool start_exclusive, const uint8_t* end,
                int32_t end_columns, bool end_exclusive, int32_t record_size);
  void ClearRange();
  const TABSRangeBound& RangeStart() const { return range_start_; }
  const TABSRangeBound& RangeEnd() const { return range_end_; }
  void SetFilter(TABSExpression* filter);
  TABSExpression* Filter() const { return filter_; }
  void SetSecondExpression(TABSExpression* expression);
  TABSExpression* SecondExpression() const { return second_expression_; }
  void SetCallback(RecordFilter callback);
  const RecordFilter& Callback() const { return callback_; }
  void SetDistinctCount(int32_t columns);
  int32_t DistinctCount() const { return index_id_ >= 0 ? distinct_count_ : 0; }
  // A range bound, a filter or second expression with a tree, a callback or
  // a distinct count.
  bool IsRestricted() const;

  // The key values that FindByCondition compares with.
  void SetSearchRecord(const uint8_t* record, int32_t columns, int32_t record_size);
  const std::vector<uint8_t>& SearchRecord() const { return search_record_; }
  int32_t SearchColumns() const { return search_columns_; }

  // The access path searches take (for tests and the tool).
  void ForceAccessPath(TABSAccessPath path, int32_t index_object_id = -1) {
    forced_path_ = path;
    forced_index_ = index_object_id;
  }
  TABSAccessPath ForcedPath() const { return forced_path_; }
  int32_t ForcedIndex() const { return forced_index_; }

  // --- What the table keeps for the cursor ---
  TABSRecordBitmap& Bitmap() { return bitmap_; }
  // The position in the cursor's index, valid while the stamp is the table's.
  TABSIndexPositionCache& PositionCache() { return position_cache_; }
  int64_t& PositionCacheStamp() { return position_cache_stamp_; }
  // Searches running for this cursor (a callback may search again).
  int32_t& SearchDepth() { return search_depth_; }

  // TABSExprFieldSource: the table's fields and the current record.
  const TABSFieldDefs& FieldDefs() const override;
  const uint8_t* CurrentRecord() const override { return record_.empty() ? nullptr : record_.data(); }

 private:
  void RestrictionsChanged() { bitmap_.Invalidate(); }

  int32_t index_id_ = -1;
  bool before_first_ = true;
  bool after_last_ = false;
  TABSRecordId current_id_;
  std::vector<uint8_t> record_;

  TABSRangeBound range_start_;
  TABSRangeBound range_end_;
  TABSExpression* filter_ = nullptr;
  TABSExpression* second_expression_ = nullptr;
  RecordFilter callback_;
  int32_t distinct_count_ = 0;
  std::vector<uint8_t> search_record_;
  int32_t search_columns_ = 0;

  TABSAccessPath forced_path_ = TABSAccessPath::kAuto;
  int32_t forced_index_ = -1;
  TABSRecordBitmap bitmap_;
  TABSIndexPositionCache position_cache_;
  int64_t position_cache_stamp_ = -1;
  int32_t search_depth_ = 0;
};

}  // namespace kelvorin
