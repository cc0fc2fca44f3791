// TABSBaseIndexManager: the indexes of one table: an index object over each
// index definition, and the maintenance of all of them when a record is
// inserted, updated or deleted (in index-list order, each definition's
// change counter raised).
//
// Persistent indexes keep their trees in the table's pages, inside the
// session's transaction. Temporary indexes keep theirs in pages of their
// own (the table's temporary index pages), outside any transaction: a
// temporary index is current while its change counter equals the table's;
// one that is not is left alone and rebuilt before it is used.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "db/tables/btree/record_index.h"
#include "db/tables/metadata/meta_object_defs.h"

namespace kelvorin {

class TABSBaseIndexManager {
 public:
  TABSBaseIndexManager(TABSPageManager& pages, TABSIndexDefs& definitions, const TABSFieldDefs& fields,
                       TABSIndexRecordReader& reader);
  virtual ~TABSBaseIndexManager() = default;
  TABSBaseIndexManager(const TABSBaseIndexManager&) = delete;
  TABSBaseIndexManager& operator=(const TABSBaseIndexManager&) = delete;

  // Where temporary indexes keep their trees (none: the table has none).
  void SetTemporaryPages(TABSPageManager* pages) { temporary_pages_ = pages; }
  TABSPageManager* TemporaryPages() const { return temporary_pages_; }

  // An index object for every definition, in list order (after the
  // definitions were loaded, created or changed).
  void OpenIndexes();
  int32_t Count() const { return static_cast<int32_t>(indexes_.size()); }
  TABSBTreeRecordIndex& Index(int32_t position) { return *indexes_[static_cast<size_t>(position)]; }
  TABSIndexDef& Definition(int32_t position) { return *definitions_.Items(position); }
  TABSBTreeRecordIndex* FindIndex(int32_t object_id);

  // Whether a temporary index's tree is current with the table.
  bool IsCurrent(int32_t position, int32_t table_change_counter);
  // Marks every temporary index as needing a rebuild.
  void InvalidateTemporaryIndexes();
  // Sets every current temporary index to the table's new change counter.
  void KeepTemporaryIndexesCurrent(int32_t old_counter, int32_t new_counter) noexcept;

  // Maintenance of every index (temporary ones only while current).
  void InsertKeys(int32_t session, const uint8_t* record, TABSRecordId id, int32_t table_change_counter);
  void UpdateKeys(int32_t session, const uint8_t* old_record, const uint8_t* new_record, TABSRecordId id,
                  int32_t table_change_counter);
  void DeleteKeys(int32_t session, const uint8_t* record, TABSRecordId id, int32_t table_change_counter);
  // Empties every persistent index and drops the temporary ones' trees.
  void EmptyIndexes(int32_t session);

  // A new tree for the definition at `position`, filled by the walk over
  // the table's records; a temporary index's counter becomes the table's.
  void BuildIndex(int32_t session, int32_t position,
                  const std::function<void(const std::function<void(TABSRecordId, const uint8_t*)>&)>& walk,
                  int32_t table_change_counter);
  // Frees a temporary index's tree (its definition stays).
  void DropTemporaryTree(int32_t position) noexcept;

 private:
  bool Maintained(int32_t position, int32_t table_change_counter);
  static void CountChange(TABSIndexDef& definition);

  TABSPageManager& pages_;
  TABSPageManager* temporary_pages_ = nullptr;
  TABSIndexDefs& definitions_;
  const TABSFieldDefs& fields_;
  TABSIndexRecordReader& reader_;
  std::vector<std::unique_ptr<TABSBTreeRecordIndex>> indexes_;
};

}  // namespace kelvorin
