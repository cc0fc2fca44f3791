// TABSBTreeRecordIndex: an index of a table's records kept as a B-tree of
// short keys (record_key.h), each leaf entry carrying the identifier of its
// record. Entries are ordered by key, then by identifier, in the exact order
// of full values: where a cut prefix would decide, the records are read
// through the index's record reader.
//
// Searches without an identifier descend on equal keys to the leftmost
// child that may hold one (the first equal entry); searches with one (insert,
// delete, Locate) go straight to the entry of (key, identifier).
//
// The integrity check (CheckIntegrity) reports, never raises; see
// btree_check.h for what it returns.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "db/storage/memory/memory_manager.h"
#include "db/tables/btree/btree.h"
#include "db/tables/btree/btree_check.h"
#include "db/tables/btree/index.h"
#include "db/tables/btree/record_key.h"

namespace kelvorin {

class TABSBTreeRecordIndex : public TABSIndex {
 public:
  // `fields`: the table's field definitions with their record layout, kept
  // by the table for the index's life. `reader`: reads records to settle
  // cut keys and to hand found records back (may be null where neither is
  // ever needed; a needed read then fails with 20170).
  TABSBTreeRecordIndex(TABSPageManager& pages, const TABSFieldDefs& fields, TABSIndexRecordReader* reader);

  // Raises the uniqueness error of its constraint (30319 for a primary key,
  // 30320 for a unique index) when existing records repeat a key; the
  // partly built tree is removed and the definition keeps no root.
  void Build(int32_t session, TABSIndexCursor* cursor, TABSIndexDef& definition) override;
  void Drop(int32_t session) override;
  void Empty(int32_t session) override;
  void Open(const TABSIndexDef& definition) override;
  void Rebuild(TABSIndexCursor& cursor) override;
  void GetRecord(int32_t session, TABSIndexRecordRequest& request, TABSIndexPositionCache* cache) override;
  std::unique_ptr<TABSKeyPath> NewKeyPath() override { return std::make_unique<TABSKeyPath>(); }
  void FreeKeyPath(std::unique_ptr<TABSKeyPath>& path) override { path.reset(); }
  bool Locate(int32_t session, TABSRecordId id, TABSKeyPath& path, const uint8_t* record) override;
  int ComparePaths(const TABSKeyPath* left, const TABSKeyPath* right) override;
  int64_t RecordNumber(int32_t session, TABSRecordId id, const TABSFilterBitmap* filter,
                       const uint8_t* record) override;
  void GoToRecordNumber(int32_t session, const TABSFilterBitmap* filter, TABSRecordId& id,
                        int64_t number) override;
  void KeepFirstOfEqualKeys(int32_t session, TABSFilterBitmap& filter, int32_t columns = 0) override;
  std::unique_ptr<TABSIndexScanState> NewScanState() override { return std::make_unique<TABSIndexScanState>(); }
  void FreeScanState(std::unique_ptr<TABSIndexScanState>& state) override { state.reset(); }
  bool ScanStep(int32_t session, bool restart, TABSIndexScanState* state, TABSRecordId& id, uint8_t* record,
                const TABSScanSearchCondition* lower, const TABSScanSearchCondition* upper,
                bool ascending) override;
  int CompareRecords(const uint8_t* left, const uint8_t* right, int32_t columns) override;
  int ConditionBound(const TABSScanSearchCondition& condition) override;
  int64_t EstimateCount(int32_t session, const TABSScanSearchCondition* lower,
                        const TABSScanSearchCondition* upper, int64_t total) override;
  bool IsKeyFree(int32_t session, const uint8_t* record) override;
  bool IsKeyFreeOnUpdate(int32_t session, const uint8_t* old_record, const uint8_t* new_record,
                         TABSRecordId own_id) override;
  void Insert(TABSIndexCursor& cursor) override;
  void Delete(int32_t session, const uint8_t* record, TABSRecordId id) override;
  // Nothing is written when the edit leaves the key equal.
  void Update(TABSIndexCursor& cursor) override;

  // The integrity check of the tree (see btree_check.h): reports, never
  // raises. With a record reader, cut keys are ordered on their records'
  // full values and, with `check_records`, each entry's record is read and
  // its key compared with the entry's; without one (a check of the file
  // alone) the order of cut prefixes that tie is left unchecked.
  TABSBTreeCheckResult CheckIntegrity(int32_t session, bool check_records = true);

  int32_t RootPage() const { return tree_ ? tree_->RootPage() : -1; }
  const TABSRecordKeyRef& KeyLayout() const { return *layout_; }

 private:
  class Probe;
  class CheckOrder;
  // The conditions a scan starts from and those its entries must keep
  // satisfying, in its direction.
  struct ScanBounds {
    std::array<const TABSScanSearchCondition*, 2> starts{};
    std::array<const TABSScanSearchCondition*, 2> ends{};
  };

  void RequireRoot(const TABSNativeError& error) const;
  void InsertEntry(int32_t session, const uint8_t* record, TABSRecordId id);
  // Finds the entry of (record's key, id); false when absent.
  bool SeekEntry(int32_t session, const uint8_t* record, TABSRecordId id, TABSKeyPath& path);
  bool Unique() const { return definition_.Unique() || definition_.Primary(); }
  void ReadRecord(int32_t session, TABSRecordId id, uint8_t* record);
  void CheckCondition(const TABSScanSearchCondition* condition, bool lower) const;
  // The first (last) entry in index order that satisfies the condition.
  bool PositionFirst(int32_t session, const TABSScanSearchCondition& condition, TABSKeyPath& path);
  bool PositionLast(int32_t session, const TABSScanSearchCondition& condition, TABSKeyPath& path);
  bool Satisfies(int32_t session, const TABSKeyPath& path, const TABSScanSearchCondition& condition);
  bool SatisfiesEntry(int32_t session, const uint8_t* key, const uint8_t* payload,
                      const TABSScanSearchCondition& condition);
  ScanBounds Bounds(const TABSScanSearchCondition* lower, const TABSScanSearchCondition* upper,
                    bool ascending) const;
  bool PositionStart(int32_t session, const ScanBounds& bounds, bool ascending, TABSKeyPath& path);
  // Reads the scan's entry and tells whether it keeps within the bounds.
  bool WithinEnds(int32_t session, TABSIndexScanState& state, const ScanBounds& bounds);
  // Puts a scan back on its place after the tree changed under it.
  bool RelocateScan(int32_t session, TABSIndexScanState& state);
  void ReadScanEntry(int32_t session, TABSIndexScanState& state);
  // Keeps what finding the entry again needs; reads the record when asked.
  void RememberScanEntry(int32_t session, TABSIndexScanState& state, uint8_t* record);
  TABSRecordId EntryId(int32_t session, const TABSKeyPath& path);

  TABSPageManager& pages_;
  const TABSFieldDefs& fields_;
  TABSIndexRecordReader* reader_;
  std::unique_ptr<TABSRecordKeyRef> layout_;
  std::unique_ptr<TABSBTree> tree_;
  // Work areas: the key of the operation's probe, of a condition bound, of
  // an entry read back, and two records read to settle cut keys.
  TABSMemoryBlock probe_key_;
  TABSMemoryBlock bound_key_;
  TABSMemoryBlock entry_key_;
  TABSMemoryBlock entry_record_;
  TABSMemoryBlock other_record_;
};

}  // namespace kelvorin
