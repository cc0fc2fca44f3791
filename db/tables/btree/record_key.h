// TABSRecordKeyRef: the key layout of one index over a table's memory
// records, and the comparisons of keys and records in index order.
//
// Per index column a slot: 1 null byte (1 = NULL, then the value bytes are
// 0), then the value. A string column whose maximum indexed size M is below
// its memory size S is cut: its short-key slot keeps the first M bytes and
// two 0 bytes (M + 3 in all); every other slot keeps all S bytes (S + 1).
// The short key is what the tree stores; full values are read from memory
// records.
//
// A cut slot holds a cut value when no terminator falls within its M bytes
// (the value is M bytes long or longer). Prefix order under the locale's
// collation is not the order of full values, so a comparison in which a cut
// value takes part is left undecided here, and the caller lets the full
// values decide (CompareRecords).
//
// Order: columns in turn by the engine's value comparison (NULL first, two
// NULLs equal, the column's case option), a descending column reversed.
// So a unique index admits one record per key value, NULL counted as a
// value: two records whose key columns are NULL in the same places and
// equal elsewhere are duplicates.
#pragma once

#include <cstdint>
#include <vector>

#include "db/tables/metadata/index_def.h"
#include "db/tables/metadata/meta_object_defs.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

struct TABSKeyColumn {
  int32_t field_no = 0;
  int32_t memory_offset = 0;
  int32_t memory_size = 0;  // S
  TABSStorageType type = TABSStorageType::None;
  bool descending = false;
  bool case_insensitive = false;
  bool wide = false;
  bool cut = false;
  int32_t cut_size = 0;      // M, for cut columns
  int32_t short_offset = 0;  // of the slot's null byte
  int32_t short_size = 0;    // slot bytes after the null byte
};

class TABSRecordKeyRef {
 public:
  // The entry payload of a record index: the record identifier.
  static constexpr int32_t kLeafPayloadSize = 6;
  static constexpr int32_t kMaxKeySize = 0xFFFF;

  // Builds the layout of `index` over `fields` (whose record layout is
  // computed) for pages of `page_data_size` bytes. Raises an engine error for
  // a layout it cannot use: no columns, a missing field, a type without an
  // order, an unusable indexed size, a key too large for its count or for
  // the page (two leaf and three inner entries must fit).
  TABSRecordKeyRef(const TABSIndexDef& index, const TABSFieldDefs& fields, int32_t page_data_size);

  int32_t ColumnCount() const { return static_cast<int32_t>(columns_.size()); }
  const std::vector<TABSKeyColumn>& Columns() const { return columns_; }
  int32_t ShortKeySize() const { return short_key_size_; }
  int32_t FullKeySize() const { return full_key_size_; }
  int32_t MemoryRecordSize() const { return memory_record_size_; }
  bool HasCutColumns() const { return has_cut_columns_; }

  // The short key of a memory record (ShortKeySize bytes).
  void BuildShortKey(const uint8_t* record, uint8_t* key) const;
  // Whether the column's slot in a short key holds a cut value.
  bool IsCutValue(const uint8_t* key, int32_t column) const;
  bool HoldsCutValue(const uint8_t* key) const;
  // A memory record (MemoryRecordSize bytes) with the key's values in its
  // key fields, for a short key that holds no cut value.
  void RecordFromKey(const uint8_t* key, uint8_t* record) const;
  // Sign of (a - b) over the first `columns` columns of two short keys, or
  // TABSBTreeProbe::kUndecided when a cut value takes part before the order
  // is decided.
  int CompareShortKeys(const uint8_t* a, const uint8_t* b, int32_t columns) const;
  // Sign of (a - b) over the first `columns` columns of two memory records.
  int CompareRecords(const uint8_t* a, const uint8_t* b, int32_t columns) const;
  // Whether every key column of the record is NULL.
  bool AllColumnsNull(const uint8_t* record) const;

 private:
  bool IsNull(const uint8_t* record, const TABSKeyColumn& column) const;

  std::vector<TABSKeyColumn> columns_;
  int32_t short_key_size_ = 0;
  int32_t full_key_size_ = 0;
  int32_t memory_record_size_ = 0;
  bool has_cut_columns_ = false;
};

}  // namespace kelvorin
