// TABSIndex: what a table asks of each of its indexes, whatever keeps it.
// Its operations are all abstract; TABSBTreeRecordIndex implements them over
// a B-tree. The types around it: the scan condition that ranges, filters and
// SQL searches become, the position cache a cursor keeps per index, the
// state of a scan and the request of a record lookup.
#pragma once

#include <cstdint>
#include <memory>

#include "db/storage/memory/memory_manager.h"
#include "db/tables/btree/index_cursor.h"
#include "db/tables/btree/key_path.h"
#include "db/tables/metadata/index_def.h"

namespace kelvorin {

enum class TABSScanConditionKind : uint8_t {
  kEqual = 1,
  kLess = 2,
  kGreater = 3,
  kLessOrEqual = 4,
  kGreaterOrEqual = 5,
};

// One bound of a scan over an index: the index's leading `columns` columns
// compared with the same fields of `record` (a memory record the caller owns
// for as long as the condition is used). Greater and greater-or-equal are
// lower bounds, less and less-or-equal upper bounds; equal bounds both ways.
struct TABSScanSearchCondition {
  TABSScanConditionKind kind = TABSScanConditionKind::kEqual;
  const uint8_t* record = nullptr;
  int32_t columns = 0;
  int32_t index_object_id = -1;  // -1: not tied to an index
};

// Where a cursor stands in one index, so that stepping from its current
// record needs no search. Empty when the session is -1.
struct TABSIndexPositionCache {
  TABSKeyPath path;
  int32_t index_object_id = -1;
  TABSRecordId record_id;
  int32_t session = -1;

  void Clear() {
    path.Clear();
    index_object_id = -1;
    session = -1;
  }
  bool Holds(int32_t index, int32_t session_id, TABSRecordId id) const {
    return session == session_id && session != -1 && index_object_id == index && record_id == id;
  }
};

// The progress of one scan: started, its direction, where it stands, and the
// entry it stands on (its key, identifier and, where keys are cut, record),
// so that a step after the tree changed finds its place again.
struct TABSIndexScanState {
  bool started = false;
  bool ascending = true;
  bool finished = false;
  TABSKeyPath current;
  TABSRecordId current_id;
  TABSMemoryBlock current_key;
  TABSMemoryBlock current_record;
};

enum class TABSGetRecordMode { kFirst, kLast, kNext, kPrior, kCurrent };
enum class TABSGetRecordResult { kFound, kNotFound, kEndOfIndex, kBeginningOfIndex };

struct TABSIndexRecordRequest {
  TABSGetRecordMode mode = TABSGetRecordMode::kFirst;
  // Next and prior: the cursor's current record and its identifier.
  TABSRecordId current_id;
  const uint8_t* current_record = nullptr;
  // Receives the found record when given.
  uint8_t* destination = nullptr;
  // Results.
  TABSRecordId found_id;
  TABSGetRecordResult result = TABSGetRecordResult::kNotFound;
};

class TABSIndex {
 public:
  TABSIndex() = default;
  virtual ~TABSIndex() = default;
  TABSIndex(const TABSIndex&) = delete;
  TABSIndex& operator=(const TABSIndex&) = delete;

  // The index's own copy of its definition.
  const TABSIndexDef& Definition() const { return definition_; }

  // Makes a new empty tree, stores its root in both definitions and, with a
  // cursor, inserts every record of the table.
  virtual void Build(int32_t session, TABSIndexCursor* cursor, TABSIndexDef& definition) = 0;
  virtual void Drop(int32_t session) = 0;
  virtual void Empty(int32_t session) = 0;
  // Takes the definition and builds the key layout; touches no page.
  virtual void Open(const TABSIndexDef& definition) = 0;
  virtual void Rebuild(TABSIndexCursor& cursor) = 0;
  virtual void GetRecord(int32_t session, TABSIndexRecordRequest& request, TABSIndexPositionCache* cache) = 0;
  virtual std::unique_ptr<TABSKeyPath> NewKeyPath() = 0;
  virtual void FreeKeyPath(std::unique_ptr<TABSKeyPath>& path) = 0;
  virtual bool Locate(int32_t session, TABSRecordId id, TABSKeyPath& path, const uint8_t* record) = 0;
  virtual int ComparePaths(const TABSKeyPath* left, const TABSKeyPath* right) = 0;
  // 1-based position in index order (counting only records the filter
  // passes, when one is given); -1 when the entry is not found.
  virtual int64_t RecordNumber(int32_t session, TABSRecordId id, const TABSFilterBitmap* filter,
                               const uint8_t* record) = 0;
  virtual void GoToRecordNumber(int32_t session, const TABSFilterBitmap* filter, TABSRecordId& id,
                                int64_t number) = 0;
  // Clears the bit of every set record whose first `columns` columns (all
  // when 0) equal, on full values, those of an earlier set record.
  virtual void KeepFirstOfEqualKeys(int32_t session, TABSFilterBitmap& filter, int32_t columns = 0) = 0;
  virtual std::unique_ptr<TABSIndexScanState> NewScanState() = 0;
  virtual void FreeScanState(std::unique_ptr<TABSIndexScanState>& state) = 0;
  // One step of a scan between two bounds (either may be none); false when
  // the scan has no further entry. The found record goes to `record` when
  // one is given.
  virtual bool ScanStep(int32_t session, bool restart, TABSIndexScanState* state, TABSRecordId& id,
                        uint8_t* record, const TABSScanSearchCondition* lower,
                        const TABSScanSearchCondition* upper, bool ascending) = 0;
  virtual int CompareRecords(const uint8_t* left, const uint8_t* right, int32_t columns) = 0;
  virtual int ConditionBound(const TABSScanSearchCondition& condition) = 0;
  virtual int64_t EstimateCount(int32_t session, const TABSScanSearchCondition* lower,
                                const TABSScanSearchCondition* upper, int64_t total) = 0;
  virtual bool IsKeyFree(int32_t session, const uint8_t* record) = 0;
  // Whether the edited record's key is free, not counting the record itself
  // (`own_id`), compared as the index compares keys.
  virtual bool IsKeyFreeOnUpdate(int32_t session, const uint8_t* old_record, const uint8_t* new_record,
                                 TABSRecordId own_id) = 0;
  virtual void Insert(TABSIndexCursor& cursor) = 0;
  virtual void Delete(int32_t session, const uint8_t* record, TABSRecordId id) = 0;
  virtual void Update(TABSIndexCursor& cursor) = 0;

 protected:
  TABSIndexDef definition_;
};

}  // namespace kelvorin
